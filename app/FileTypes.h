#ifndef FILETYPES_H
#define FILETYPES_H

#include <QString>

// What the viewer makes of a file by its name: the view that shows it and the
// browsing mode that opens it, for files named on the command line or dropped.
// (Each mode lists its folder by its own name filters.)
class FileTypes
{
public:
    enum Kind { Unknown, Image, Dicom, Volume, Mesh, VolumeMaps, SurfaceMaps };

    static Kind kindOf(const QString &fileName);
    // 1 images, 2 raw MRI data, 3 CX data (maps are offered there); 0 for Unknown.
    static int browsingMode(Kind kind);
};

#endif
