#include "SurfaceMesh.h"

#include "CXSCore.h"
#include "DocumentStream.h"

#include <QFile>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// Room of the file-name buffer of the format, without the terminating zero.
const int maxNameLength = 263;
const int meshColorsSize = 8 * 4;

// Never asks for zero bytes, so that null always means failure.
template <typename T> T *allocate(qint64 count)
{
    return static_cast<T *>(malloc(size_t(qMax<qint64>(count, 1)) * sizeof(T)));
}

template <typename T> void release(T *&array)
{
    free(array);
    array = nullptr;
}

} // namespace

SurfaceMesh::SurfaceMesh(CXSCore *core) : core(core)
{
    for (int i = 0; i < 3; ++i) {
        meshColor0[i] = core->defaultMeshColor0[i];
        meshColor1[i] = core->defaultMeshColor1[i];
    }
    meshColor0[3] = meshColor1[3] = 1.0f;
}

SurfaceMesh::~SurfaceMesh()
{
    releaseMesh();
    releaseAlternateVertices();
}

void SurfaceMesh::releaseMesh()
{
    release(vertexX);
    release(vertexY);
    release(vertexZ);
    release(normalX);
    release(normalY);
    release(normalZ);
    release(vertexColors);
    release(triangles);
    release(triangleStrips);
    release(savedVertexColors);
    nrOfNeighbors.clear();
    neighbors.clear();
    indirectMeshFile.clear();
    nrOfVertices = nrOfTriangles = nrOfTriangleStrips = 0;
    hasTriangleStrips = meshLoaded = false;
}

void SurfaceMesh::releaseAlternateVertices()
{
    release(altVertexX);
    release(altVertexY);
    release(altVertexZ);
    release(altNormalX);
    release(altNormalY);
    release(altNormalZ);
    release(altVertexColors);
    altNrOfVertices = altNrOfTriangles = 0;
    indirectVerticesLoaded = false;
}

bool SurfaceMesh::areVertexIndices(const int *indices, qint64 count) const
{
    for (qint64 i = 0; i < count; ++i) {
        if (indices[i] < 0 || indices[i] >= nrOfVertices)
            return false;
    }
    return true;
}

bool SurfaceMesh::readMesh(QString name)
{
    QFile file(name);
    if (!DocumentStream::openFile(file) || !readMesh(file))
        return false;
    if (!indirectMeshFile.isEmpty()) {
        indirectVerticesLoaded =
            !loadIndirectMeshVerticesFromFile(QFile::decodeName(indirectMeshFile)).isEmpty();
        if (!indirectVerticesLoaded)
            indirectMeshFile.clear();
    }
    fileNameWithPath = name;
    return true;
}

// Everything up to the triangles must be in the file; the strips and the
// alternate file name at the end may be missing. Counts are checked against
// the rest of the file before anything is allocated, and every vertex index
// is checked before it can be followed.
bool SurfaceMesh::readMesh(QIODevice &device)
{
    releaseMesh();
    DocumentStream in(&device, core->hostIsBigEndian);

    in >> srfVersion >> reservedValue;
    if (in.status() != QDataStream::Ok)
        return false;
    if (reservedValue < 0)
        return true;

    qint32 vertexCount;
    qint32 triangleCount;
    in >> vertexCount >> triangleCount >> meshCenter[0] >> meshCenter[1] >> meshCenter[2];
    const bool hasMeshColors = srfVersion >= 1.0f;
    if (in.status() != QDataStream::Ok || vertexCount < 0 || triangleCount < 0 ||
        triangleCount > INT_MAX / 3)
        return false;
    // Positions, normals, colour codes and at least a neighbour count per vertex.
    const qint64 requiredSize = qint64(vertexCount) * (6 * 4 + 4 + 4) +
                                (hasMeshColors ? meshColorsSize : 0) +
                                qint64(triangleCount) * 3 * 4;
    if (requiredSize > in.bytesLeft())
        return false;

    vertexX = allocate<float>(vertexCount);
    vertexY = allocate<float>(vertexCount);
    vertexZ = allocate<float>(vertexCount);
    normalX = allocate<float>(vertexCount);
    normalY = allocate<float>(vertexCount);
    normalZ = allocate<float>(vertexCount);
    vertexColors = allocate<int>(vertexCount);
    triangles = allocate<int>(qint64(triangleCount) * 3);
    if (!vertexX || !vertexY || !vertexZ || !normalX || !normalY || !normalZ || !vertexColors ||
        !triangles)
        return false;
    nrOfVertices = vertexCount;
    nrOfTriangles = triangleCount;

    for (float *block : {vertexX, vertexY, vertexZ, normalX, normalY, normalZ}) {
        if (!in.readFloats(block, nrOfVertices))
            return false;
    }
    if (hasMeshColors) {
        for (float &c : meshColor0)
            in >> c;
        for (float &c : meshColor1)
            in >> c;
    }
    if (!in.readInts(vertexColors, nrOfVertices))
        return false;

    nrOfNeighbors.resize(nrOfVertices);
    neighbors.resize(nrOfVertices);
    for (int v = 0; v < nrOfVertices; ++v) {
        qint32 count;
        in >> count;
        if (count > SHRT_MAX || !in.fits(count, 4))
            return false;
        nrOfNeighbors[v] = qint16(count);
        QList<int> &ring = neighbors[v];
        ring.resize(count);
        if (!in.readInts(ring.data(), count) || !areVertexIndices(ring.constData(), count))
            return false;
    }

    if (!in.readInts(triangles, qint64(nrOfTriangles) * 3) ||
        !areVertexIndices(triangles, qint64(nrOfTriangles) * 3) || in.status() != QDataStream::Ok)
        return false;

    if (srfVersion >= 3.0f) {
        in >> nrOfTriangleStrips;
        if (nrOfTriangleStrips >= 1) {
            if (!in.fits(nrOfTriangleStrips, 4))
                return false;
            triangleStrips = allocate<int>(nrOfTriangleStrips);
            if (!triangleStrips || !in.readInts(triangleStrips, nrOfTriangleStrips))
                return false;
            for (int i = 0; i < nrOfTriangleStrips; ++i) {
                if (triangleStrips[i] >= nrOfVertices)
                    return false;
            }
            hasTriangleStrips = true;
        }
    }

    if (srfVersion >= 4.0f) {
        const QByteArray name = in.readText(maxNameLength);
        if (!name.isEmpty())
            indirectMeshFile = name;
    }

    meshLoaded = true;
    noDeletedRegions = hasNoDeletedRegions();
    computeVertexNormals();
    return true;
}

QString SurfaceMesh::loadIndirectMeshVerticesFromFile(QString name)
{
    QFile file(name);
    if (!DocumentStream::openFile(file) || !readIndirectMeshVertices(file))
        return QString();
    return name;
}

// Takes positions, normals and colours of another file of the same mesh. A
// file that does not match or is damaged leaves no alternate set.
bool SurfaceMesh::readIndirectMeshVertices(QIODevice &device)
{
    DocumentStream in(&device, core->hostIsBigEndian);
    float version;
    qint32 reserved;
    in >> version >> reserved;
    if (in.status() != QDataStream::Ok || reserved != reservedValue)
        return false;
    releaseAlternateVertices();

    qint32 vertexCount;
    qint32 triangleCount;
    in >> vertexCount >> triangleCount;
    if (in.status() != QDataStream::Ok || vertexCount != nrOfVertices)
        return false;
    in.skipRawData(3 * 4);
    const bool hasMeshColors = version >= 1.0f;
    const qint64 requiredSize =
        qint64(vertexCount) * (6 * 4 + 4) + (hasMeshColors ? meshColorsSize : 0);
    if (requiredSize > in.bytesLeft())
        return false;

    altVertexX = allocate<float>(vertexCount);
    altVertexY = allocate<float>(vertexCount);
    altVertexZ = allocate<float>(vertexCount);
    altNormalX = allocate<float>(vertexCount);
    altNormalY = allocate<float>(vertexCount);
    altNormalZ = allocate<float>(vertexCount);
    altVertexColors = allocate<int>(vertexCount);
    bool ok = altVertexX && altVertexY && altVertexZ && altNormalX && altNormalY && altNormalZ &&
              altVertexColors;
    for (float *block : {altVertexX, altVertexY, altVertexZ, altNormalX, altNormalY, altNormalZ})
        ok = ok && in.readFloats(block, vertexCount);
    if (ok && hasMeshColors) {
        float color[4];
        for (float *kept : {altMeshColor0, altMeshColor1}) {
            for (float &c : color)
                in >> c;
            memcpy(kept, color, 3 * sizeof(float));
        }
    }
    ok = ok && in.readInts(altVertexColors, vertexCount);
    if (!ok) {
        releaseAlternateVertices();
        return false;
    }
    altNrOfVertices = vertexCount;
    altNrOfTriangles = triangleCount;
    indirectVerticesLoaded = true;
    return true;
}

void SurfaceMesh::computeVertexNormals()
{
    if (reservedValue < 0 || nrOfVertices <= 0)
        return;
    for (int v = 0; v < nrOfVertices; ++v) {
        float sum[3] = {0.0f, 0.0f, 0.0f};
        int count = 0;
        const QList<int> &ring = neighbors.at(v);
        if (vertexColors[v] >= 0) {
            // Each neighbour with the next one round the ring.
            for (qsizetype i = 0, last = ring.size() - 1; i <= last; ++i) {
                const int a = ring[i];
                const int b = ring[i < last ? i + 1 : 0];
                if (vertexColors[a] < 0 || vertexColors[b] < 0)
                    continue;
                float p[3][3] = {{vertexX[v], vertexY[v], vertexZ[v]},
                                 {vertexX[a], vertexY[a], vertexZ[a]},
                                 {vertexX[b], vertexY[b], vertexZ[b]}};
                float n[3];
                calcNormal(p, n);
                for (int k = 0; k < 3; ++k)
                    sum[k] += n[k];
                ++count;
            }
        }
        if (count > 0) {
            for (float &s : sum)
                s /= count;
            reduceToUnit(sum);
        } else {
            vertexColors[v] = -10000;
        }
        normalX[v] = sum[0];
        normalY[v] = sum[1];
        normalZ[v] = sum[2];
    }
}

float SurfaceMesh::calculateMeanNrOfNeighbors()
{
    if (nrOfVertices <= 0)
        return 0.0f;
    qint64 sum = 0;
    for (qint16 count : std::as_const(nrOfNeighbors))
        sum += count;
    return float(sum) / nrOfVertices;
}

double SurfaceMesh::computeAverageEdgeLength(int &nrOfEdges, float &minLength, float &maxLength)
{
    nrOfEdges = 0;
    minLength = 1000.0f;
    maxLength = 0.0f;
    if (reservedValue < 0 || nrOfVertices <= 0)
        return 0.0;
    double sum = 0.0;
    for (int v = 0; v < nrOfVertices; ++v) {
        if (vertexColors[v] < 0)
            continue;
        for (int n : neighbors.at(v)) {
            // Each edge once, from its lower end.
            if (n < v || vertexColors[n] < 0)
                continue;
            const double dx = double(vertexX[n]) - vertexX[v];
            const double dy = double(vertexY[n]) - vertexY[v];
            const double dz = double(vertexZ[n]) - vertexZ[v];
            const double length = std::sqrt(dx * dx + dy * dy + dz * dz);
            sum += length;
            ++nrOfEdges;
            minLength = qMin(minLength, float(length));
            maxLength = qMax(maxLength, float(length));
        }
    }
    return nrOfEdges > 0 ? sum / nrOfEdges : 0.0;
}

bool SurfaceMesh::hasNoDeletedRegions()
{
    for (int v = 0; v < nrOfVertices; ++v) {
        if (vertexColors[v] < 0)
            return false;
    }
    return true;
}

void SurfaceMesh::saveMeshColorsForUndo()
{
    if (nrOfVertices <= 0)
        return;
    if (!savedVertexColors)
        savedVertexColors = allocate<int>(nrOfVertices);
    if (savedVertexColors)
        memcpy(savedVertexColors, vertexColors, size_t(nrOfVertices) * sizeof(int));
}

void SurfaceMesh::undoMeshColors()
{
    if (savedVertexColors)
        memcpy(vertexColors, savedVertexColors, size_t(nrOfVertices) * sizeof(int));
    noDeletedRegions = hasNoDeletedRegions();
}
