#include "CommandLine.h"

#include "DicomSeries.h"
#include "Documents.h"
#include "FileHelpers.h"
#include "FolderBrowser.h"
#include "LocalFiles.h"
#include "NameLinks.h"
#include "NiftiImage.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cmath>
#include <sys/stat.h>

namespace {

const QStringList valueOptions = {"render",    "size",    "cross", "map",   "map-index",
                                  "threshold", "cluster", "sign",  "series"};
// What a figure adds to the view: taken by takeFigureOption.
const QStringList figureValueOptions = {"cross-mm", "layout", "axis", "slices"};

// Figure sets and mesh views.
const QStringList batchOptions = {"view",          "azimuth", "elevation", "render-each",
                                  "contact-sheet", "mode",    "columns"};

// The file's name without its extension, ".nii.gz" as one.
QByteArray stemOf(const QByteArray &name)
{
    QByteArray stem = name.mid(name.lastIndexOf('/') + 1);
    if (stem.toLower().endsWith(".nii.gz"))
        stem.chop(3);
    const int dot = stem.lastIndexOf('.');
    return dot > 0 ? stem.left(dot) : stem;
}

std::optional<double> degrees(const QString &text, double limit)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < -limit || value > limit)
        return std::nullopt;
    return value;
}

std::optional<int> number(const QString &text, int lowest, int highest)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < lowest || value > highest)
        return std::nullopt;
    return value;
}

QList<QByteArray> encoded(const QStringList &arguments)
{
    QList<QByteArray> bytes;
    for (const QString &argument : arguments)
        bytes << QFile::encodeName(argument);
    return bytes;
}

} // namespace

CommandLine::CommandLine(const QStringList &arguments) : CommandLine(encoded(arguments)) {}

CommandLine::~CommandLine() = default;

CommandLine::CommandLine(const QList<QByteArray> &rawArguments)
{
    QStringList arguments;
    for (const QByteArray &argument : rawArguments)
        arguments << QFile::decodeName(argument);
    bool optionsEnded = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (optionsEnded || !argument.startsWith('-') || argument == "-") {
            files << argument;
            rawFiles << rawArguments[i];
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (argument == "--help" || argument == "-h") {
            todo = PrintHelp;
            return;
        }
        if (argument == "--version") {
            todo = PrintVersion;
            return;
        }
        if (takeFigureFlag(argument)) {
            figureFlags << rawArguments[i];
            continue;
        }
        // --name value or --name=value.
        const QString name = argument.section('=', 0, 0).mid(2);
        if (!argument.startsWith("--") ||
            !(valueOptions.contains(name) || figureValueOptions.contains(name) ||
              batchOptions.contains(name))) {
            refuse("unknown option " + argument);
            return;
        }
        QString value;
        QByteArray rawValue;
        if (argument.contains('=')) {
            value = argument.section('=', 1);
            rawValue = rawArguments[i].mid(rawArguments[i].indexOf('=') + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
            rawValue = rawArguments[i];
        } else {
            refuse(QString("--%1 needs a value").arg(name));
            return;
        }
        if (!take(name, value, rawValue))
            return;
        if (name != "render-each" && name != "contact-sheet" && !sheetOptions.contains(name))
            figureOptions << "--" + name.toUtf8() << rawValue;
    }
    if (!figureFolder.isEmpty() || !sheet.isEmpty() || !sheetOptions.isEmpty()) {
        checkBatch();
        return;
    }
    if (check() && !output.isEmpty())
        todo = Render;
}

bool CommandLine::refuse(const QString &reason)
{
    todo = Refuse;
    refusal = "cxviewer: " + LocalFiles::printable(reason);
    return false;
}

bool CommandLine::refuse(const QStringList &lines)
{
    todo = Refuse;
    QStringList shown;
    for (const QString &line : lines)
        shown << LocalFiles::printable(line);
    refusal = "cxviewer: " + shown.join('\n');
    return false;
}

bool CommandLine::take(const QString &option, const QString &value, const QByteArray &rawValue)
{
    if (option == "render") {
        if (value.isEmpty())
            return refuse("--render needs a file name");
        output = value;
        rawOutput = rawValue;
        return true;
    }
    if (figureValueOptions.contains(option)) {
        renderOptions << option;
        return takeFigureOption(option, value);
    }
    if (batchOptions.contains(option))
        return takeBatch(option, value, rawValue);
    if (option == "map-index" || option == "threshold" || option == "cluster" || option == "sign")
        mapOptions << option;
    if (option != "map")
        renderOptions << option;

    if (option == "size") {
        const QRegularExpressionMatch m = QRegularExpression(R"(^(\d+)x(\d+)$)").match(value);
        const std::optional<int> w = m.hasMatch() ? number(m.captured(1), 1, 8192) : std::nullopt;
        const std::optional<int> h = m.hasMatch() ? number(m.captured(2), 1, 8192) : std::nullopt;
        if (!w || !h)
            return refuse("--size takes WIDTHxHEIGHT, each from 1 to 8192, not " + value);
        figureSize = QSize(*w, *h);
    } else if (option == "cross") {
        const QRegularExpressionMatch m = QRegularExpression(R"(^(\d+),(\d+),(\d+)$)").match(value);
        std::array<int, 3> voxel{};
        for (int axis = 0; axis < 3; ++axis) {
            const std::optional<int> v =
                m.hasMatch() ? number(m.captured(axis + 1), 0, 65535) : std::nullopt;
            if (!v)
                return refuse("--cross takes voxel indices X,Y,Z, not " + value);
            voxel[axis] = *v;
        }
        crossAt = voxel;
    } else if (option == "map") {
        map = value;
        rawMap = rawValue;
    } else if (option == "map-index") {
        const std::optional<int> k = number(value, 1, 1000000);
        if (!k)
            return refuse("--map-index takes a map number from 1, not " + value);
        mapNumber = *k;
    } else if (option == "threshold") {
        bool ok = false;
        const float t = value.toFloat(&ok);
        if (!ok || !std::isfinite(t) || t < 0 || t > 1000)
            return refuse("--threshold takes a number from 0 to 1000, not " + value);
        thresh = t;
    } else if (option == "cluster") {
        cluster = number(value, 0, 10000);
        if (!cluster)
            return refuse("--cluster takes a voxel or vertex count from 0 to 10000, not " + value);
    } else if (option == "series") {
        const std::optional<int> n = number(value, 1, 1000000);
        if (!n)
            return refuse("--series takes a series number from 1, as cxvinfo lists them, not " +
                          value);
        seriesNumber = *n;
    } else if (option == "sign") {
        const int s = value == "pos" ? 1 : value == "neg" ? 2 : value == "both" ? 3 : 0;
        if (!s)
            return refuse("--sign takes pos, neg or both, not " + value);
        sign = s;
    }
    return true;
}

bool CommandLine::takeFigureFlag(const QString &argument)
{
    if (argument != "--legend")
        return false;
    renderOptions << argument.mid(2);
    fig.legend = true;
    return true;
}

bool CommandLine::takeFigureOption(const QString &option, const QString &value)
{
    if (option == "cross-mm") {
        const QStringList parts = value.split(',');
        std::array<double, 3> mm{};
        for (int axis = 0; axis < 3; ++axis) {
            bool ok = parts.size() == 3;
            const double v = ok ? parts[axis].trimmed().toDouble(&ok) : 0.0;
            if (!ok || !std::isfinite(v) || std::abs(v) > 100000)
                return refuse("--cross-mm takes world coordinates X,Y,Z in millimetres, not " +
                              value);
            mm[axis] = v;
        }
        fig.crossMm = mm;
    } else if (option == "layout") {
        if (value != "mosaic" && value != "lightbox")
            return refuse("--layout takes mosaic or lightbox, not " + value);
        fig.lightbox = value == "lightbox";
    } else if (option == "axis") {
        fig.axis = QStringList{"axial", "coronal", "sagittal"}.indexOf(value);
        if (fig.axis < 0)
            return refuse("--axis takes axial, coronal or sagittal, not " + value);
    } else if (option == "slices") {
        const std::optional<int> n = number(value, 1, 256);
        if (!n)
            return refuse("--slices takes a count from 1 to 256, not " + value);
        fig.slices = *n;
    }
    return true;
}

bool CommandLine::takeBatch(const QString &option, const QString &value, const QByteArray &rawValue)
{
    if (option == "render-each") {
        if (value.isEmpty())
            return refuse("--render-each needs a folder name");
        figureFolder = value;
        rawFigureFolder = rawValue;
        return true;
    }
    if (option == "contact-sheet") {
        if (value.isEmpty())
            return refuse("--contact-sheet needs a file name");
        sheet = value;
        rawSheet = rawValue;
        return true;
    }
    // Columns of a contact sheet or of a lightbox, checked with the one asked for.
    if (option == "columns") {
        const std::optional<int> c = number(value, 1, 1000);
        if (!c)
            return refuse("--columns takes a number from 1 to 1000, not " + value);
        columns = *c;
        return true;
    }
    if (option == "mode") {
        sheetOptions << option;
        const int m = value == "images" ? 1 : value == "raw" ? 2 : value == "cx" ? 3 : 0;
        if (!m)
            return refuse("--mode takes images, raw or cx, not " + value);
        sheetBrowsingMode = browsingModeOfNumber(m);
        return true;
    }
    if (option == "view") {
        meshSide = MeshViewpoint::sideNamed(value);
        if (!meshSide)
            return refuse("--view takes " + MeshViewpoint::sideNames().mid(0, 5).join(", ") +
                          " or " + MeshViewpoint::sideNames().last() + ", not " + value);
    } else if (option == "azimuth") {
        azimuth = degrees(value, 360);
        if (!azimuth)
            return refuse("--azimuth takes degrees from -360 to 360, not " + value);
    } else if (option == "elevation") {
        elevation = degrees(value, 90);
        if (!elevation)
            return refuse("--elevation takes degrees from -90 to 90, not " + value);
    }
    renderOptions << option;
    return true;
}

bool CommandLine::checkBatch()
{
    if (!sheet.isEmpty() && (!output.isEmpty() || !figureFolder.isEmpty()))
        return refuse(QString("--contact-sheet and --%1 cannot be given together")
                          .arg(output.isEmpty() ? "render-each" : "render"));
    if (sheet.isEmpty() && !sheetOptions.isEmpty())
        return refuse(QString("--%1 is only for --contact-sheet").arg(sheetOptions.first()));
    if (!sheet.isEmpty())
        return checkSheet();
    if (!output.isEmpty())
        return refuse("--render and --render-each cannot be given together");
    if (!LocalFiles::isDecodable(rawFigureFolder))
        return refuse("--render-each cannot write into " +
                      LocalFiles::decodedName(rawFigureFolder) + ": the name is not valid UTF-8");
    if (QFileInfo::exists(figureFolder) && !QFileInfo(figureFolder).isDir())
        return refuse("--render-each writes into a folder, not " + figureFolder);
    if (files.isEmpty())
        return refuse("--render-each draws one figure per file; no file given");
    if (map.isEmpty() && !mapOptions.isEmpty())
        return refuse(QString("--%1 needs --map").arg(mapOptions.first()));
    todo = RenderEach;
    return true;
}

bool CommandLine::checkSheet()
{
    if (!renderOptions.isEmpty() || !map.isEmpty())
        return refuse(QString("--%1 is not for --contact-sheet")
                          .arg(renderOptions.isEmpty() ? "map" : renderOptions.first()));
    if (!LocalFiles::isDecodable(rawSheet))
        return refuse("--contact-sheet cannot write " + LocalFiles::decodedName(rawSheet) +
                      ": the name is not valid UTF-8");
    if (files.size() != 1 || !LocalFiles::isDecodable(rawFiles.first()) ||
        !QFileInfo(files.first()).isDir())
        return refuse("--contact-sheet shows one folder");
    // Not over a file of the folder in any mode: the sheet shows them.
    if (QFileInfo::exists(sheet))
        for (const BrowsingMode mode :
             {BrowsingMode::Images, BrowsingMode::RawMRI, BrowsingMode::CXData})
            for (const QString &file : FolderBrowser::filesToShow(files.first(), mode))
                if (LocalFiles::sameFile(sheet, file))
                    return refuse("--contact-sheet would write over " + file +
                                  ", which the sheet shows");
    todo = ContactSheet;
    return true;
}

QString CommandLine::shownPath(int i) const
{
    return LocalFiles::decodedName(rawFiles.value(i));
}

std::unique_ptr<CommandLine> CommandLine::eachFigure(int i) const
{
    const QByteArray &file = rawFiles.value(i);
    const int slash = file.lastIndexOf('/');
    QList<QByteArray> arguments = figureOptions;
    for (int k = 0; k + 1 < arguments.size(); k += 2)
        if (arguments[k] == "--map")
            arguments[k + 1]
                .replace("{stem}", stemOf(file))
                .replace("{dir}", slash < 0 ? QByteArray(".") : file.left(qMax(slash, 1)));
    arguments << figureFlags;
    QByteArray folder = rawFigureFolder;
    if (!folder.endsWith('/'))
        folder += '/';
    arguments << "--render" << folder + file.mid(slash + 1) + ".png"
              << "--" << file;
    return std::make_unique<CommandLine>(arguments);
}

std::optional<MeshViewpoint> CommandLine::meshViewpoint() const
{
    if (!meshSide && !azimuth && !elevation)
        return std::nullopt;
    return MeshViewpoint(meshSide.value_or(MeshViewpoint::Lateral),
                         MeshViewpoint::hemisphereOf(files.value(0)), azimuth.value_or(0),
                         elevation.value_or(0));
}

// Names that are not valid UTF-8: through links for a figure, which can be
// drawn from them, and refused by the window, whose folder listings would not
// show them. A figure is never written under such a name.
bool CommandLine::reachNames()
{
    if (!output.isEmpty() && !LocalFiles::isDecodable(rawOutput))
        return refuse("--render cannot write " + LocalFiles::decodedName(rawOutput) +
                      ": the name is not valid UTF-8");
    for (int i = 0; i < files.size(); ++i)
        if (!reach(files[i], rawFiles[i]))
            return false;
    return output.isEmpty() || map.isEmpty() || reach(map, rawMap);
}

bool CommandLine::reach(QString &path, const QByteArray &raw)
{
    if (LocalFiles::isDecodable(raw))
        return true;
    const QString shown = LocalFiles::decodedName(raw);
    struct stat info;
    if (::stat(raw.constData(), &info) != 0)
        return refuse("no such file or folder: " + shown);
    if (output.isEmpty())
        return refuse(shown + ": the window cannot open a name that is not valid UTF-8; rename "
                              "it, or draw it with --render");
    if (!links)
        links = std::make_unique<NameLinks>();
    QString why;
    const QString reached = links->reach(raw, &why);
    if (reached.isEmpty())
        return refuse(shown + ": " + why);
    path = reached;
    return true;
}

QStringList CommandLine::inputs() const
{
    QStringList read = files.mid(0, 1) + seriesFiles;
    if (!map.isEmpty())
        read << map;
    for (const QString &file : QStringList(read)) {
        if (NiftiImage::isNiftiFileName(file))
            read << NiftiImage::namesLookedFor(file);
        if (FileTypes::kindOfFile(file) == FileTypes::Mesh)
            read << MeshDocument::viewingParameterFiles(file);
    }
    return read;
}

// What holds only for the options together, and the paths.
bool CommandLine::check()
{
    if (!reachNames())
        return false;
    for (const QString &path : std::as_const(files))
        if (!QFileInfo::exists(path))
            return refuse("no such file or folder: " + path);
    if (output.isEmpty()) {
        if (!renderOptions.isEmpty() || !map.isEmpty())
            return refuse(QString("--%1 is only for --render")
                              .arg(renderOptions.isEmpty() ? "map" : renderOptions.first()));
        return true;
    }
    if (files.size() != 1)
        return refuse("--render draws one file");
    if (QFileInfo(files.first()).isDir()) {
        if (!chooseSeries(files.first()))
            return false;
    } else if (seriesNumber > 0) {
        return refuse("--series is for a folder of DICOM series");
    }
    kind = FileTypes::kindOfFile(figureFile());
    if (kind != FileTypes::Image && kind != FileTypes::Dicom && kind != FileTypes::Volume &&
        kind != FileTypes::Mesh && kind != FileTypes::DicomSeries)
        return refuse("--render draws an image, DICOM, VMR, NIfTI, SRF, FreeSurfer or GIfTI "
                      "surface file or a folder of DICOM series, not " +
                      files.first());
    const bool volume = kind == FileTypes::Volume || kind == FileTypes::DicomSeries;
    if (crossAt && !volume)
        return refuse("--cross is for a volume");
    if (meshViewpoint() && kind != FileTypes::Mesh)
        return refuse(QString("--%1 is for a mesh")
                          .arg(meshSide  ? "view"
                               : azimuth ? "azimuth"
                                         : "elevation"));
    if (!checkFigureOptions())
        return false;
    if (map.isEmpty() && !mapOptions.isEmpty())
        return refuse(QString("--%1 needs --map").arg(mapOptions.first()));
    if (!map.isEmpty()) {
        // A FIFO or a device is refused by the figure, as a file it cannot read.
        if (!QFileInfo::exists(map) || QFileInfo(map).isDir())
            return refuse("no such file: " + map);
        const FileTypes::Kind mapKind = FileTypes::kindOfFile(map);
        // A NIfTI file over a volume is read as statistics when the volume view takes it.
        if (!(volume && (mapKind == FileTypes::VolumeMaps || mapKind == FileTypes::Volume)) &&
            !(kind == FileTypes::Mesh && mapKind == FileTypes::SurfaceMaps))
            return refuse("--map takes a VMP or NIfTI file for a volume, or for a mesh an SMP "
                          "file or a FreeSurfer or GIfTI file of values or labels per vertex");
    }
    // By whatever name, link or hard link it is given.
    for (const QString &input : inputs())
        if (LocalFiles::sameFile(output, input))
            return refuse("--render would write over " + input + ", which the figure reads");
    return true;
}

// The series of a folder to draw: the one asked for, or the one volume there is.
bool CommandLine::chooseSeries(const QString &folder)
{
    const std::vector<DicomSeries> all = DicomSeriesGrouping::scanFolder(folder);
    QStringList list;
    std::vector<int> volumes;
    for (size_t i = 0; i < all.size(); ++i) {
        list << QString("  %1  %2%3")
                    .arg(i + 1)
                    .arg(all[i].displayName())
                    .arg(all[i].isVolume() ? QString() : QString(" (not a volume)"));
        if (all[i].isVolume())
            volumes.push_back(int(i));
    }
    int chosen = -1;
    if (seriesNumber > 0) {
        if (seriesNumber > int(all.size()))
            return refuse(QStringList{QString("%1 holds %2 DICOM series, not %3:")
                                          .arg(folder)
                                          .arg(all.size())
                                          .arg(seriesNumber)} +
                          list);
        chosen = seriesNumber - 1;
        if (!all[size_t(chosen)].isVolume())
            return refuse(QString("series %1 of %2, %3, is not a volume of 3 slices or more")
                              .arg(seriesNumber)
                              .arg(folder, all[size_t(chosen)].displayName()));
    } else if (volumes.size() == 1) {
        chosen = volumes.front();
    } else if (volumes.empty()) {
        return refuse(folder + " holds no DICOM series of 3 slices or more");
    } else {
        return refuse(QStringList{QString("%1 holds %2 DICOM series; choose one with --series N:")
                                      .arg(folder)
                                      .arg(all.size())} +
                      list);
    }
    const DicomSeries &series = all[size_t(chosen)];
    seriesCover = FileTypes::seriesCoverName(series.slices.front().fileName, series.displayName());
    for (const DicomSlice &slice : series.slices)
        if (!seriesFiles.contains(slice.fileName))
            seriesFiles << slice.fileName;
    return true;
}

bool CommandLine::checkFigureOptions()
{
    const bool volume = kind == FileTypes::Volume || kind == FileTypes::DicomSeries;
    if (fig.legend && !volume && kind != FileTypes::Mesh)
        return refuse("--legend is for a volume or a mesh");
    if (fig.lightbox && !volume)
        return refuse("--layout lightbox is for a volume");
    for (const QString option : {"axis", "slices"})
        if (!fig.lightbox && renderOptions.contains(option))
            return refuse(QString("--%1 is for --layout lightbox").arg(option));
    if (!fig.lightbox && columns)
        return refuse("--columns is for --layout lightbox");
    fig.columns = columns;
    if (fig.crossMm && !volume)
        return refuse("--cross-mm is for a volume");
    if (fig.crossMm && crossAt)
        return refuse("--cross and --cross-mm name the same cross: give one");
    return true;
}

QString CommandLine::usage()
{
    return "Usage: cxviewer [PATH...]\n"
           "       cxviewer --render OUT.png [--size WxH] [--cross X,Y,Z | --cross-mm X,Y,Z]\n"
           "                [--legend] [--layout lightbox [--axis A] [--slices N] [--columns C]]\n"
           "                [--map FILE] [--map-index K] [--threshold T] [--cluster N]\n"
           "                [--sign pos|neg|both] FILE\n"
           "       cxviewer --render OUT.png [options as above] [--series N] FOLDER\n"
           "       cxviewer --render-each OUTDIR [--render's options] FILE...\n"
           "       cxviewer --contact-sheet OUT.png [--mode images|raw|cx] [--columns C] FOLDER\n"
           "\n"
           "Opens folders and files in the viewer: a folder in the browsing mode that fits it,\n"
           "a file in its folder with its cover chosen, a map file after its volume or mesh\n"
           "in the maps panel.\n"
           "\n"
           "--render draws FILE as the viewer's inspection view does into a PNG and exits,\n"
           "also without a display:\n"
           "  --size WxH        the figure's size in pixels (800x600)\n"
           "  --cross X,Y,Z     a volume's red cross, in voxel indices\n"
           "  --cross-mm X,Y,Z  a volume's red cross in its world space (NIfTI sform or qform,\n"
           "                    Talairach for a VMR in Talairach space), in millimetres\n"
           "  --legend          a volume's legend in the empty quadrant: colour bars, the\n"
           "                    cross in voxels and millimetres, the values there, file names;\n"
           "                    a mesh's colour bars in its lower-left corner\n"
           "  --layout lightbox  parallel slices of a volume side by side instead, each with\n"
           "                    its world coordinate, evenly spaced across the anatomy:\n"
           "  --axis axial|coronal|sagittal  the slices' direction (axial)\n"
           "  --slices N        how many (24)\n"
           "  --columns C       in C columns (as fits the figure best)\n"
           "  --map FILE        a VMP or NIfTI file over a volume; over a mesh an SMP file,\n"
           "                    FreeSurfer values or annotation, GIfTI values or labels\n"
           "  --map-index K     the map of the file to show, from 1 (1)\n"
           "  --threshold T     the map's threshold (the map's own)\n"
           "  --cluster N       the cluster filter on, at N voxels or vertices\n"
           "  --sign pos|neg|both  the values shown (the map's own)\n"
           "  --series N        the DICOM series N of FOLDER, numbered as cxvinfo FOLDER\n"
           "                    lists them (needed when it holds several volumes)\n"
           "  --view SIDE       a mesh seen from its lateral, medial, superior, inferior,\n"
           "                    anterior or posterior side; lateral and medial of the\n"
           "                    hemisphere its name gives (lh, rh, left, right, hemi-L),\n"
           "                    else lateral from the right\n"
           "  --azimuth A       the mesh's camera turned A degrees round the head's vertical\n"
           "  --elevation E     axis and raised E degrees, from --view (lateral)\n"
           "Exit status: 0 written, 1 a file could not be read or written, 2 bad options.\n"
           "\n"
           "--render-each draws each FILE with the same options into OUTDIR/NAME.png, NAME\n"
           "the FILE's name; in --map, {stem} and {dir} stand for each FILE's name without\n"
           "its extension and its folder. Exit status 1 when any failed, each named on a line.\n"
           "\n"
           "--contact-sheet draws the covers of FOLDER's strip in a grid, named:\n"
           "  --mode images|raw|cx  the browsing mode (the one the folder opens in)\n"
           "  --columns C       covers per row (as many as there are rows)\n"
           "\n"
           "  --help            this text\n"
           "  --version         the version\n";
}

QString CommandLine::version()
{
    return QStringLiteral("cxviewer " CXV_VERSION);
}
