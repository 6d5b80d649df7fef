#ifndef FILETYPES_H
#define FILETYPES_H

#include "BrowsingMode.h"

#include <QString>
#include <QStringList>

#include <optional>

// What the viewer makes of a file by its name, the one place that decides it:
// the view that shows it, the browsing mode that lists it, and the name
// filters a folder is listed by.
class FileTypes
{
public:
    enum Kind { Unknown, Image, Dicom, Volume, Mesh, VolumeMaps, SurfaceMaps };

    static Kind kindOf(const QString &fileName);
    // The mode whose strip lists the kind, or offers it (maps, in CX data); none for Unknown.
    static std::optional<BrowsingMode> browsingMode(Kind kind);
    // "*.jpg" and the like, for the files of a kind.
    static QStringList nameFilters(Kind kind);
    // The files a browsing mode shows in its strip (maps are not among them).
    static QStringList modeNameFilters(BrowsingMode mode);
};

#endif
