#ifndef SURFACEMESH_H
#define SURFACEMESH_H

#include "DocumentStream.h"
#include "StatisticalMap.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cmath>
#include <memory>

class QIODevice;
class SurfaceMap;
class SurfaceMaps;

// One triangulated surface read from an SRF file. Per-vertex data live in flat
// arrays indexed by vertex number.
//
// Vertex colour codes: 0 and 1 select meshColor0 and meshColor1, a negative
// code marks a deleted vertex, 0x3F000000 + r·65536 + g·256 + b is a direct colour.
class SurfaceMesh
{
public:
    // The colours of codes 0 and 1 of a mesh whose file stores none.
    static constexpr float defaultMeshColor0[3] = {1.0f, 0.7f, 0.3f};
    static constexpr float defaultMeshColor1[3] = {0.3f, 0.3f, 0.3f};

    explicit SurfaceMesh(const ReadContext &context = {});
    ~SurfaceMesh();

    // Reads the file, loads the alternate vertex set it names, if any (a
    // relative name is taken from the mesh file's folder), and sets
    // fileNameWithPath.
    bool readMesh(QString fileName);
    // Reads the contents of an SRF file. The name of an alternate vertex file
    // is kept in indirectMeshFile but not followed. A mesh with nothing to
    // show (fewer than three vertices, no triangle, all vertices at one
    // point, strips without a triangle) or vertices at no position that can
    // be drawn is refused.
    bool readMesh(QIODevice &device);
    // Why the last readMesh failed, in a few words for the user; empty after
    // one that succeeded.
    QString failureReason() const { return failure; }
    // Why the last loadSMPs failed.
    QString mapFailureReason() const { return mapFailure; }

    // Returns fileName when its vertex set became the alternate one, else "".
    // Only a regular file is opened.
    QString loadIndirectMeshVerticesFromFile(QString fileName);
    bool readIndirectMeshVertices(QIODevice &device);

    void computeVertexNormals();
    // The unit normal of the triangle p: (p0 - p1) x (p1 - p2).
    static void calcNormal(float p[3][3], float *n)
    {
        const float a[3] = {p[0][0] - p[1][0], p[0][1] - p[1][1], p[0][2] - p[1][2]};
        const float b[3] = {p[1][0] - p[2][0], p[1][1] - p[2][1], p[1][2] - p[2][2]};
        n[0] = a[1] * b[2] - a[2] * b[1];
        n[1] = a[2] * b[0] - a[0] * b[2];
        n[2] = a[0] * b[1] - a[1] * b[0];
        reduceToUnit(n);
    }
    // Divides v by its length, or by 1 when that is 0.
    static void reduceToUnit(float *v)
    {
        float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        if (length == 0.0f)
            length = 1.0f;
        v[0] /= length;
        v[1] /= length;
        v[2] /= length;
    }
    float calculateMeanNrOfNeighbors();
    double computeAverageEdgeLength(int &nrOfEdges, float &minLength, float &maxLength);
    bool hasNoDeletedRegions();
    void saveMeshColorsForUndo();
    void undoMeshColors();

    // Replaces surfaceMaps with the maps of an SMP file made for this mesh.
    bool loadSMPs(QString fileName);
    // Gives the vertices back the colours they had when the mesh was read.
    void prepareDisplayOfSMP();
    // Paints the selected maps of surfaceMaps, shown as display says, into the
    // vertex colour codes.
    void overlaySMP(const MapDisplay &display);
    // The colour of map's scale at t, from 0 at the threshold to 1 at the top,
    // for its positive or negative values, as a vertex of that value is
    // coloured before any blending with the mesh's own colour.
    static void mapScaleColour(const SurfaceMap &map, float t, bool negative, int rgb[3]);
    // Gives the vertices of every connected patch of colourCodes ≥ 0 whose
    // triangles cover at most minArea back their saved colour code.
    void removeSmallClusters(int *colorCodes, int minArea);

    float srfVersion = 0;
    int nrOfVertices = 0;
    int nrOfTriangles = 0;
    int nrOfTriangleStrips = 0;
    std::unique_ptr<float[]> vertexX;
    std::unique_ptr<float[]> vertexY;
    std::unique_ptr<float[]> vertexZ;
    std::unique_ptr<float[]> normalX;
    std::unique_ptr<float[]> normalY;
    std::unique_ptr<float[]> normalZ;
    std::unique_ptr<int[]> vertexColors;
    float meshCenter[3] = {};
    // The int after the version in the file header; -1 until a mesh is read.
    int reservedValue = -1;
    std::unique_ptr<int[]> triangles; // three vertex indices per triangle
    QList<qint16> nrOfNeighbors;
    QList<QList<int>> neighbors;           // a ring around each vertex, in file order
    std::unique_ptr<int[]> triangleStrips; // a negative entry ends a strip
    bool hasTriangleStrips = false;
    float meshColor0[4];
    float meshColor1[4];
    int renderMode = 1; // 1 Gouraud, 2 wireframe, 3 flat, 4 points; +100 transparent
    bool meshLoaded = false;
    bool noDeletedRegions = true;
    std::unique_ptr<int[]> savedVertexColors;
    QString fileNameWithPath = QStringLiteral("untitled.srf");

    std::unique_ptr<SurfaceMaps> surfaceMaps;

    QByteArray indirectMeshFile;
    bool indirectVerticesLoaded = false;
    std::unique_ptr<float[]> altVertexX;
    std::unique_ptr<float[]> altVertexY;
    std::unique_ptr<float[]> altVertexZ;
    std::unique_ptr<float[]> altNormalX;
    std::unique_ptr<float[]> altNormalY;
    std::unique_ptr<float[]> altNormalZ;
    std::unique_ptr<int[]> altVertexColors;
    float altMeshColor0[3] = {0.5f, 0.5f, 0.5f};
    float altMeshColor1[3] = {0.25f, 0.25f, 0.25f};
    int altNrOfVertices = 0;
    int altNrOfTriangles = 0;

private:
    Q_DISABLE_COPY(SurfaceMesh)

    void releaseMesh();
    void releaseAlternateVertices();
    bool fail(const QString &reason);
    // Why the mesh read cannot be shown; empty when it can.
    QString unshowable() const;
    bool areVertexIndices(const int *indices, qint64 count) const;
    void colorVerticesByMap(const SurfaceMap &map, const MapDisplay &display,
                            int *colorCodes) const;
    void colorOfCode(int code, float *rgb) const;

    ReadContext context;
    QString failure;
    QString mapFailure;
};

#endif
