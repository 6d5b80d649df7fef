#ifndef SURFACEFILEDATA_H
#define SURFACEFILEDATA_H

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <vector>

// What the FreeSurfer and GIfTI readers give: plain values, owned by whoever
// holds them, with nothing of the viewer's own mesh or map classes.

// A triangle mesh: three coordinates per vertex, three vertex numbers per
// triangle, every one of them a vertex of the mesh.
struct SurfaceGeometry
{
    std::vector<float> xyz;
    std::vector<qint32> faces;
    // FreeSurfer: the line after the magic ("created by ... on ...").
    QString createdBy;
    // FreeSurfer: the key = value lines of the volume the surface was made
    // in (valid, filename, volume, voxelsize, xras, yras, zras, cras), as
    // written; empty when the file has none.
    QStringList volumeInfo;

    qint64 vertexCount() const { return qint64(xyz.size() / 3); }
    qint64 faceCount() const { return qint64(faces.size() / 3); }
};

// One value per vertex: curvature, sulcal depth, thickness, area, a shape or
// a statistic.
struct PerVertexValues
{
    std::vector<float> values;
    // GIfTI: the array's Name metadata; empty when it has none.
    QString name;
    // The NIfTI intent code (0 none, 2 to 24 statistics, 2005 shape); 0 for
    // FreeSurfer files.
    int intentCode = 0;
    // FreeSurfer: the triangles of the surface the values were made on; -1
    // when the file does not say.
    qint64 faceCount = -1;
};

// A label per vertex with a table of the labels' names and colours.
struct VertexLabels
{
    struct Label
    {
        // FreeSurfer: the entry's number in the colour table; GIfTI: its Key.
        int key = 0;
        QString name;
        quint8 red = 0, green = 0, blue = 0, alpha = 255;
        // GIfTI labels may come without a colour.
        bool hasColour = true;
    };
    // For each vertex the position in table of its label; -1 for a vertex
    // with none, or with a value that no label of the table has.
    std::vector<int> labelOfVertex;
    std::vector<Label> table;
};

namespace SurfaceFiles {
// More than any surface a neuroscientist meets (FreeSurfer's are some
// hundred thousand vertices, high-resolution ones a few million), and what the
// viewer can still hold beside the normals and neighbours it makes.
constexpr qint64 maxVertices = qint64(1) << 22;
constexpr qint64 maxFaces = qint64(1) << 23;
// Colour table entries, GIfTI labels and metadata entries.
constexpr qint64 maxTableEntries = qint64(1) << 20;

// Why a mesh cannot be shown, or an empty text when it can: too few vertices
// or no triangle, a triangle corner that is no vertex, a vertex at no finite
// position or beyond ±100 m, or every vertex at one point. The corners and positions are not
// looked at again when scanned says the two below found nothing.
QString geometryProblem(const float *xyz, qint64 vertices, const qint32 *faces, qint64 triangles,
                        bool scanned = false);
// Nonzero when one of the coordinates is no number or beyond ±100 m.
quint32 outsidePositions(const float *values, qint64 count);
// Nonzero when one of the corners is no vertex of so many.
quint32 outsideCorners(const qint32 *corners, qint64 count, qint64 vertices);

// count 32-bit words of the byte order given, in place, into the host's.
void bigEndianToHost(void *words, qint64 count);
void littleEndianToHost(void *words, qint64 count);
// The same for coordinates and corners, with the checks above in the same pass.
quint32 coordinatesFromBigEndian(float *values, qint64 count);
quint32 cornersFromBigEndian(qint32 *corners, qint64 count, qint64 vertices);
} // namespace SurfaceFiles

#endif
