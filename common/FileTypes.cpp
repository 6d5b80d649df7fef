#include "FileTypes.h"

#include "DicomHeader.h"
#include "FreeSurferFiles.h"
#include "LocalFiles.h"

#include <QFile>
#include <QFileInfo>

namespace {

// Compared with the file name in lower case.
const struct
{
    const char *ending;
    FileTypes::Kind kind;
} endings[] = {
    {".jpg", FileTypes::Image},  {".jpeg", FileTypes::Image},     {".png", FileTypes::Image},
    {".gif", FileTypes::Image},  {".dcm", FileTypes::Dicom},      {".vmr", FileTypes::Volume},
    {".srf", FileTypes::Mesh},   {".vmp", FileTypes::VolumeMaps}, {".smp", FileTypes::SurfaceMaps},
    {".nii", FileTypes::Volume}, {".nii.gz", FileTypes::Volume},  {".hdr", FileTypes::Volume},
};

// Surfaces and what lies on them: GIfTI by its endings, FreeSurfer's files of
// a hemisphere by their whole names, "lh." or "rh." and the name.
const struct
{
    const char *ending;
    FileTypes::Kind kind;
} surfaceEndings[] = {
    {".surf.gii", FileTypes::Mesh},         {".func.gii", FileTypes::SurfaceMaps},
    {".shape.gii", FileTypes::SurfaceMaps}, {".label.gii", FileTypes::SurfaceMaps},
    {".annot", FileTypes::SurfaceMaps},
};
const struct
{
    const char *name;
    FileTypes::Kind kind;
} hemisphereFiles[] = {
    {"white", FileTypes::Mesh},        {"pial", FileTypes::Mesh},
    {"inflated", FileTypes::Mesh},     {"sphere", FileTypes::Mesh},
    {"orig", FileTypes::Mesh},         {"smoothwm", FileTypes::Mesh},
    {"midthickness", FileTypes::Mesh}, {"curv", FileTypes::SurfaceMaps},
    {"sulc", FileTypes::SurfaceMaps},  {"thickness", FileTypes::SurfaceMaps},
    {"area", FileTypes::SurfaceMaps},
};
const char *const hemispheres[] = {"lh.", "rh."};
const QLatin1String seriesEnding(".series");

} // namespace

FileTypes::Kind FileTypes::kindOf(const QString &fileName)
{
    if (!seriesMemberFile(fileName).isEmpty())
        return DicomSeries;
    const QString lower = fileName.toLower();
    for (const auto &entry : endings)
        if (lower.endsWith(QLatin1String(entry.ending)))
            return entry.kind;
    for (const auto &entry : surfaceEndings)
        if (lower.endsWith(QLatin1String(entry.ending)))
            return entry.kind;
    const QString name = lower.mid(lower.lastIndexOf('/') + 1);
    for (const char *hemisphere : hemispheres)
        for (const auto &entry : hemisphereFiles)
            if (name == QLatin1String(hemisphere) + QLatin1String(entry.name))
                return entry.kind;
    return Unknown;
}

FileTypes::Kind FileTypes::kindOfFile(const QString &path)
{
    const Kind byName = kindOf(path);
    if (byName != Unknown)
        return byName;
    const QString name = QFileInfo(path).fileName().toLower();
    if (!name.contains('.') || name.startsWith("lh.") || name.startsWith("rh.")) {
        QFile file;
        if (!LocalFiles::openRegular(file, path))
            return Unknown;
        switch (FreeSurferReader::kindOf(file.read(15))) {
        case FreeSurferReader::Kind::Surface:
            return Mesh;
        case FreeSurferReader::Kind::Values:
            return SurfaceMaps;
        default:
            break;
        }
    }
    return isDicomWithoutEnding(path) ? Dicom : Unknown;
}

bool FileTypes::isDicomWithoutEnding(const QString &fileName)
{
    return QFileInfo(fileName).suffix().isEmpty() && Dicom::isDicomByContent(fileName);
}

QString FileTypes::seriesCoverName(const QString &memberFile, const QString &label)
{
    QString name = label;
    name.replace('/', '_');
    name.replace(QChar(0), '_');
    return memberFile + '/' + name + seriesEnding;
}

QString FileTypes::seriesMemberFile(const QString &name)
{
    if (!name.endsWith(seriesEnding))
        return QString();
    const qsizetype slash = name.lastIndexOf('/');
    if (slash <= 0)
        return QString();
    const QString member = name.left(slash);
    return member.endsWith('/') ? QString() : member;
}

QString FileTypes::folderOf(const QString &name)
{
    const QString member = seriesMemberFile(name);
    return QFileInfo(member.isEmpty() ? name : member).absolutePath();
}

std::optional<BrowsingMode> FileTypes::browsingMode(Kind kind)
{
    switch (kind) {
    case Image:
        return BrowsingMode::Images;
    case Dicom:
        return BrowsingMode::RawMRI;
    case Volume:
    case Mesh:
    case DicomSeries:
    case VolumeMaps:
    case SurfaceMaps:
        return BrowsingMode::CXData;
    case Unknown:
        break;
    }
    return std::nullopt;
}

QStringList FileTypes::nameFilters(Kind kind)
{
    QStringList filters;
    for (const auto &entry : endings)
        if (entry.kind == kind)
            filters << QLatin1Char('*') + QLatin1String(entry.ending);
    for (const auto &entry : surfaceEndings)
        if (entry.kind == kind)
            filters << QLatin1Char('*') + QLatin1String(entry.ending);
    for (const char *hemisphere : hemispheres)
        for (const auto &entry : hemisphereFiles)
            if (entry.kind == kind)
                filters << QLatin1String(hemisphere) + QLatin1String(entry.name);
    return filters;
}

QStringList FileTypes::modeNameFilters(BrowsingMode mode)
{
    switch (mode) {
    case BrowsingMode::Images:
        return nameFilters(Image);
    case BrowsingMode::RawMRI:
        return nameFilters(Dicom);
    case BrowsingMode::CXData:
        break;
    }
    return nameFilters(Mesh) + nameFilters(Volume);
}
