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
    enum Kind { Unknown, Image, Dicom, Volume, Mesh, VolumeMaps, SurfaceMaps, DicomSeries };

    static Kind kindOf(const QString &fileName);
    // The kind of a file that its name leaves unknown, told by its first
    // bytes: FreeSurfer's surfaces and values per vertex have no ending of
    // their own, so a name without a dot, or a hemisphere's name with another
    // ending (lh.sphere.reg, lh.white.H), is a mesh or a map by its magic; a
    // name without an ending is DICOM when the file's bytes 128 to 131 are
    // "DICM" (as scanners write them). Reads at most 132 bytes of a regular file.
    static Kind kindOfFile(const QString &path);
    // Whether a file listed by name in raw MRI mode is one: extensionless and "DICM".
    static bool isDicomWithoutEnding(const QString &fileName);

    // A DICOM series shown as one volume cover is named "FOLDER/FILE/LABEL.series":
    // FILE is one of the series' files, a regular file, so that no such path
    // can exist, be opened or be written; LABEL names the series ('/' made '_').
    static QString seriesCoverName(const QString &memberFile, const QString &label);
    // The series file a cover name holds; empty for any other name.
    static QString seriesMemberFile(const QString &name);
    // The folder whose files a cover stands for: a file's own, a series' folder.
    static QString folderOf(const QString &name);
    // The mode whose strip lists the kind, or offers it (maps, in CX data); none for Unknown.
    static std::optional<BrowsingMode> browsingMode(Kind kind);
    // "*.jpg" and the like, for the files of a kind.
    static QStringList nameFilters(Kind kind);
    // The files a browsing mode shows in its strip (maps are not among them).
    static QStringList modeNameFilters(BrowsingMode mode);
};

#endif
