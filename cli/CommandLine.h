#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include "FileTypes.h"

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
    enum Action { OpenWindow, Render, PrintHelp, PrintVersion, Refuse };

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
    QString figureFile() const { return figure.isEmpty() ? files.value(0) : figure; }
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
    bool check();
    bool reachNames();
    bool reach(QString &path, const QByteArray &raw);

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
    QString figure;
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
};

#endif
