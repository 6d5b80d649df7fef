#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include "FileTypes.h"
#include "MeshViewpoint.h"

#include <QSize>
#include <QStringList>

#include <array>
#include <memory>
#include <optional>

class NameLinks;

// The viewer's command line, read before any window is made: the paths to
// open in the window, or the one file to draw into a figure with --render.
class CommandLine
{
public:
    enum Action { OpenWindow, Render, PrintHelp, PrintVersion, Refuse, RenderEach, ContactSheet };

    // The arguments after the program's name, as the system gives them: a
    // name that is not valid UTF-8 is reached through a link (NameLinks) while
    // the command line lasts.
    explicit CommandLine(const QList<QByteArray> &arguments);
    explicit CommandLine(const QStringList &arguments);
    ~CommandLine();

    Action action() const { return todo; }
    // Why the command line is refused, one line.
    QString error() const { return refusal; }
    QStringList paths() const { return files; }

    // What --render asks for; the file is the one path.
    QString outputFile() const { return output; }
    // What the figure shows: the one path, or for a folder the cover name
    // (FileTypes::seriesCoverName) of its DICOM series asked for.
    QString figureFile() const { return seriesCover.isEmpty() ? files.value(0) : seriesCover; }
    QSize size() const { return figureSize; }
    FileTypes::Kind fileKind() const { return kind; }
    std::optional<std::array<int, 3>> cross() const { return crossAt; }
    QString mapFile() const { return map; }
    // Counted from 1, as the maps are listed.
    int mapIndex() const { return mapNumber; }
    std::optional<float> threshold() const { return thresh; }
    // The cluster filter is on with this size.
    std::optional<int> clusterSize() const { return cluster; }
    // 1 positive values only, 2 negative only, 3 both.
    std::optional<int> signSelection() const { return sign; }
    // What a figure adds to the view's picture.
    struct Figure
    {
        // The cross in the volume's world space, millimetres.
        std::optional<std::array<double, 3>> crossMm;
        // A volume's legend in the mosaic's empty quadrant.
        bool legend = false;
        // A lightbox of parallel slices instead of the view's three.
        bool lightbox = false;
        int axis = 0; // 0 axial, 1 coronal, 2 sagittal
        int slices = 24;
        int columns = 0; // 0: to fit the figure
    };
    const Figure &figure() const { return fig; }
    // What --render-each asks for: the folder of the figures, and the one
    // figure of paths()[i] as --render draws it, into the folder under the
    // file's name and ".png", with {stem} and {dir} of a --map pattern
    // standing for the file's name without extension and its folder.
    QString eachFolder() const { return figureFolder; }
    std::unique_ptr<CommandLine> eachFigure(int i) const;
    // How paths()[i] is named in a message: its bytes that are no UTF-8 as \xNN.
    QString shownPath(int i) const;

    // What --contact-sheet asks for: the sheet's file, the folder is the one
    // path; the browsing mode if given, the columns or 0 to fit.
    QString sheetFile() const { return sheet; }
    std::optional<BrowsingMode> sheetMode() const { return sheetBrowsingMode; }
    int sheetColumns() const { return columns; }

    // The side a mesh is seen from, and the camera's turn from it.
    std::optional<MeshViewpoint> meshViewpoint() const;

    // The files the figure reads, as far as they are known before it is drawn:
    // the file and the map, and those read beside them.
    QStringList inputs() const;

    static QString usage();
    static QString version();

private:
    bool take(const QString &option, const QString &value, const QByteArray &rawValue);
    bool refuse(const QString &reason);
    // A reason of several lines, each made printable.
    bool refuse(const QStringList &lines);
    bool chooseSeries(const QString &folder);
    // False for an argument that is no flag of a figure.
    bool takeFigureFlag(const QString &argument);
    bool takeFigureOption(const QString &option, const QString &value);
    bool checkFigureOptions();
    bool check();
    bool reachNames();
    bool reach(QString &path, const QByteArray &raw);
    // The options of figure sets and mesh views.
    bool takeBatch(const QString &option, const QString &value, const QByteArray &rawValue);
    bool checkBatch();
    bool checkSheet();

    Action todo = OpenWindow;
    QString refusal;
    QStringList files;
    QList<QByteArray> rawFiles;
    QByteArray rawMap;
    QByteArray rawOutput;
    std::unique_ptr<NameLinks> links;
    QStringList renderOptions;
    QStringList mapOptions;
    QString output;
    QString seriesCover;
    // Counted from 1, as cxvinfo lists a folder's series; 0 when not given.
    int seriesNumber = 0;
    QStringList seriesFiles;
    QSize figureSize{800, 600};
    FileTypes::Kind kind = FileTypes::Unknown;
    std::optional<std::array<int, 3>> crossAt;
    QString map;
    int mapNumber = 1;
    std::optional<float> thresh;
    std::optional<int> cluster;
    std::optional<int> sign;
    Figure fig;
    QString sheet;
    QByteArray rawSheet;
    std::optional<BrowsingMode> sheetBrowsingMode;
    int columns = 0;
    QStringList sheetOptions;
    QString figureFolder;
    QByteArray rawFigureFolder;
    // The options of every figure of a set, as given: with values, and flags.
    QList<QByteArray> figureOptions;
    QList<QByteArray> figureFlags;
    std::optional<MeshViewpoint::Side> meshSide;
    std::optional<double> azimuth, elevation;
};

#endif
