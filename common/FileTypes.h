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
    // The kind of a file that its name leaves unknown, told by its first
    // bytes: FreeSurfer's surfaces and values per vertex have no ending of
    // their own, so a name without a dot, or a hemisphere's name with another
    // ending (lh.sphere.reg, lh.white.H), is a mesh or a map by its magic.
    // Reads at most 15 bytes of a regular file.
    static Kind kindOfFile(const QString &path);
    // The mode whose strip lists the kind, or offers it (maps, in CX data); none for Unknown.
    static std::optional<BrowsingMode> browsingMode(Kind kind);
    // "*.jpg" and the like, for the files of a kind.
    static QStringList nameFilters(Kind kind);
    // The files a browsing mode shows in its strip (maps are not among them).
    static QStringList modeNameFilters(BrowsingMode mode);
};

#endif
