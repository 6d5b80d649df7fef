#ifndef FREESURFERFILES_H
#define FREESURFERFILES_H

#include "SurfaceFileData.h"

#include <QByteArray>
#include <QString>

#include <optional>

class QFile;
class QIODevice;

// Reads the binary files of a FreeSurfer subject, all big-endian:
// - triangle surfaces (surf/lh.white, lh.pial, ...): the magic 0xFFFFFE, a
//   created-by line ended by an empty line, vertex and triangle counts, float
//   coordinates, int triangles, then perhaps the volume the surface was made in;
// - curvature-like values in the "new" layout (lh.curv, lh.sulc, lh.thickness,
//   lh.area): the magic 0xFFFFFF, vertex and triangle counts, values per vertex
//   (1), then a float per vertex;
// - annotations (label/lh.aparc.annot): pairs of vertex and colour value
//   (red + green·256 + blue·65536), then a colour table in the old layout or
//   in version 2, which number and name the labels.
// Every count is weighed against what is left of the file before anything is
// allocated for it.
class FreeSurferReader
{
public:
    enum class Kind { Unknown, Surface, QuadSurface, Values };
    // What the first bytes of a file say it is. Annotations have no magic;
    // a quadrangle surface and curvature share theirs, told apart by the
    // values-per-vertex field.
    static Kind kindOf(const QByteArray &firstBytes);

    // Only regular files are opened.
    std::optional<SurfaceGeometry> readSurface(const QString &fileName);
    std::optional<SurfaceGeometry> readSurface(QIODevice &device);
    std::optional<PerVertexValues> readValues(const QString &fileName);
    std::optional<PerVertexValues> readValues(QIODevice &device);
    std::optional<VertexLabels> readAnnotation(const QString &fileName);
    std::optional<VertexLabels> readAnnotation(QIODevice &device);

    // Why the last read failed, in a few words for the user; empty after one
    // that succeeded.
    QString failureReason() const { return failure; }

private:
    bool open(QFile &file, const QString &fileName);
    std::nullopt_t refuse(const QString &why);

    QString failure;
};

#endif
