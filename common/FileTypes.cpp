#include "FileTypes.h"

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

} // namespace

FileTypes::Kind FileTypes::kindOf(const QString &fileName)
{
    const QString lower = fileName.toLower();
    for (const auto &entry : endings)
        if (lower.endsWith(QLatin1String(entry.ending)))
            return entry.kind;
    return Unknown;
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
