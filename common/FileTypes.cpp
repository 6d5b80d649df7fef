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

int FileTypes::browsingMode(Kind kind)
{
    switch (kind) {
    case Image:
        return 1;
    case Dicom:
        return 2;
    case Volume:
    case Mesh:
    case VolumeMaps:
    case SurfaceMaps:
        return 3;
    case Unknown:
        break;
    }
    return 0;
}

QStringList FileTypes::nameFilters(Kind kind)
{
    QStringList filters;
    for (const auto &entry : endings)
        if (entry.kind == kind)
            filters << QLatin1Char('*') + QLatin1String(entry.ending);
    return filters;
}

QStringList FileTypes::modeNameFilters(int mode)
{
    switch (mode) {
    case 1:
        return nameFilters(Image);
    case 2:
        return nameFilters(Dicom);
    case 3:
        return nameFilters(Mesh) + nameFilters(Volume);
    default:
        return {};
    }
}
