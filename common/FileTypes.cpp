#include "FileTypes.h"

#include "DicomHeader.h"

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
    return Unknown;
}

FileTypes::Kind FileTypes::kindOfFile(const QString &fileName)
{
    const Kind kind = kindOf(fileName);
    if (kind == Unknown && isDicomWithoutEnding(fileName))
        return Dicom;
    return kind;
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
