#include "CommandLine.h"

#include "DicomSeries.h"
#include "Documents.h"
#include "FileHelpers.h"
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
        // --name value or --name=value.
        const QString name = argument.section('=', 0, 0).mid(2);
        if (!argument.startsWith("--") || !valueOptions.contains(name)) {
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
    figure = FileTypes::seriesCoverName(series.slices.front().fileName, series.displayName());
    for (const DicomSlice &slice : series.slices)
        if (!seriesFiles.contains(slice.fileName))
            seriesFiles << slice.fileName;
    return true;
}

QString CommandLine::usage()
{
    return "Usage: cxviewer [PATH...]\n"
           "       cxviewer --render OUT.png [--size WxH] [--cross X,Y,Z] [--map FILE]\n"
           "                [--map-index K] [--threshold T] [--cluster N] [--sign pos|neg|both] "
           "FILE\n"
           "       cxviewer --render OUT.png [options as above] [--series N] FOLDER\n"
           "\n"
           "Opens folders and files in the viewer: a folder in the browsing mode that fits it,\n"
           "a file in its folder with its cover chosen, a map file after its volume or mesh\n"
           "in the maps panel.\n"
           "\n"
           "--render draws FILE as the viewer's inspection view does into a PNG and exits,\n"
           "also without a display:\n"
           "  --size WxH        the figure's size in pixels (800x600)\n"
           "  --cross X,Y,Z     a volume's red cross, in voxel indices\n"
           "  --map FILE        a VMP or NIfTI file over a volume; over a mesh an SMP file,\n"
           "                    FreeSurfer values or annotation, GIfTI values or labels\n"
           "  --map-index K     the map of the file to show, from 1 (1)\n"
           "  --threshold T     the map's threshold (the map's own)\n"
           "  --cluster N       the cluster filter on, at N voxels or vertices\n"
           "  --sign pos|neg|both  the values shown (the map's own)\n"
           "  --series N        the DICOM series N of FOLDER, numbered as cxvinfo FOLDER\n"
           "                    lists them (needed when it holds several volumes)\n"
           "Exit status: 0 written, 1 a file could not be read or written, 2 bad options.\n"
           "\n"
           "  --help            this text\n"
           "  --version         the version\n";
}

QString CommandLine::version()
{
    return QStringLiteral("cxviewer " CXV_VERSION);
}
