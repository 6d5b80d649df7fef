#ifndef SURFACEIMPORT_H
#define SURFACEIMPORT_H

#include "SurfaceFileData.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

class SurfaceMaps;
class SurfaceMesh;

// FreeSurfer and GIfTI surfaces, and the files of values and labels per vertex
// beside them, made into the viewer's own meshes and maps.
//
// Where a surface lies. FreeSurfer and GIfTI give millimetres with x to the
// subject's right, y anterior and z superior, the middle of the head near 0;
// an SRF mesh lies in the volume's cube of 256 with x anterior to posterior, y
// superior to inferior and z right to left, the middle at 128. A surface is
// put into those axes, (x, y, z) -> (128 - y, 128 - z, 128 - x), with its
// centre at 128, so that the mesh view frames it as it frames an SRF mesh of
// the same brain. That mirror turns each triangle round; SRF meshes list theirs
// counter-clockwise as seen from outside, so two corners of every triangle
// are swapped, unless the surface encloses a negative volume (its triangles
// turn inwards already).
//
// What the SRF reader reads, made from the triangles: every vertex's
// neighbours as a ring, clockwise as seen from outside (a neighbour and the
// next form a triangle with the vertex), the normals made from the rings,
// and triangle strips, with which the view draws a mesh twice as fast.
namespace SurfaceImport {

enum class Format { Srf, FreeSurfer, Gifti };
// By the name: .srf, any .gii, and FreeSurfer's files, which have no ending.
Format formatOf(const QString &fileName);
// "FreeSurfer surface", "GIfTI surface"; empty for SRF.
QString typeName(Format format);

// The greys of convex (code 0) and concave (code 1) vertices.
extern const float convexGrey[3];
extern const float concaveGrey[3];

// Reads a FreeSurfer or GIfTI surface into a mesh; null, with the reason,
// when it cannot be read or shown.
std::unique_ptr<SurfaceMesh> readMesh(const QString &fileName, QString &reason);
std::unique_ptr<SurfaceMesh> meshOfGeometry(const SurfaceGeometry &geometry, QString &reason);

// Colours the vertices of positive curvature or sulcal depth (FreeSurfer's
// sign: sulci are positive) with code 1, the others with code 0.
void shadeByCurvature(SurfaceMesh &mesh, const std::vector<float> &curvature);
// The file of curvature, else of sulcal depth, beside a mesh of that many
// vertices: of the same hemisphere (lh., hemi-L, .L. in the name), its name
// holding "curv" or "sulc" as a word, the shortest such name first (lh.curv
// before lh.curv.pial); empty when there is none.
QString curvatureFileFor(const QString &meshFile, int nrOfVertices);
// Shades the mesh read from meshFile by the curvature beside it; the file
// used, or empty when there is none that can be read.
QString shadeFromFileBeside(SurfaceMesh &mesh, const QString &meshFile);

// The number of vertices a file of values or labels per vertex (SMP,
// FreeSurfer values or annotation, GIfTI) is made for, read from its head
// alone; -1 when it cannot be read or is no such file.
qint64 statedVertexCount(const QString &fileName);

// What a file of values or labels per vertex holds for a mesh: one map for
// each of its arrays of values, or the labels of its vertices.
struct VertexFile
{
    std::unique_ptr<SurfaceMaps> maps;
    std::optional<VertexLabels> labels;
    QString labelsName;

    VertexFile();
    VertexFile(VertexFile &&);
    ~VertexFile();
};
// Reads a FreeSurfer values or annotation file or a GIfTI file of values or
// labels for a mesh of nrOfVertices vertices. Each map of values is shown as
// NIfTI maps are: statistics from 4, other measures (thickness, curvature)
// from their smallest magnitude above 0, the colours reaching the largest
// magnitude, clusters not filtered.
std::optional<VertexFile> readVertexFile(const QString &fileName, int nrOfVertices,
                                         QString &reason);

} // namespace SurfaceImport

#endif
