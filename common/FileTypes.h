#ifndef FILETYPES_H
#define FILETYPES_H

#include <QString>
#include <QStringList>

// What the viewer makes of a file by its name, the one place that decides it:
// the view that shows it, the browsing mode that lists it, and the name
// filters a folder is listed by.
class FileTypes
{
public:
    enum Kind { Unknown, Image, Dicom, Volume, Mesh, VolumeMaps, SurfaceMaps };

    static Kind kindOf(const QString &fileName);
    // 1 images, 2 raw MRI data, 3 CX data (maps are offered there); 0 for Unknown.
    static int browsingMode(Kind kind);
    // "*.jpg" and the like, for the files of a kind.
    static QStringList nameFilters(Kind kind);
    // The files a browsing mode shows in its strip (maps are not among them).
    static QStringList modeNameFilters(int mode);
};

#endif
