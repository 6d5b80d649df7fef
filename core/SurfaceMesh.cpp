#include "SurfaceMesh.h"

#include "Allocation.h"
#include "DocumentStream.h"
#include "SurfaceMap.h"
#include "SurfaceMaps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <climits>
#include <cmath>
#include <memory>

namespace {

const int meshColorsSize = 8 * 4;

const int directColor = 0x3F000000;

// Positions are millimetres. The view looks from 350 mm away into a depth of
// 1100 mm; a position a hundred metres out is damage, and its squares would
// overflow the float sums of lighting and framing.
const float maxCoordinate = 100000.0f;

QString unreadable(const QString &why)
{
    return QString("not a readable SRF mesh (%1)").arg(why);
}

// The versions written are 0 to 4 in steps that are no smaller than a tenth;
// an int stored where the float belongs reads as a tiny fraction.
bool isSrfVersion(float version)
{
    return version == 0.0f || (version >= 0.1f && version <= 4.0f);
}

// Why a position cannot be drawn; empty when it can.
QString badPosition(const QString &what, float x, float y, float z)
{
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z))
        return what + " has a coordinate that is not a number";
    if (std::abs(x) > maxCoordinate || std::abs(y) > maxCoordinate || std::abs(z) > maxCoordinate)
        return QString("%1 lies at (%2, %3, %4), beyond ±%5 mm")
            .arg(what)
            .arg(x)
            .arg(y)
            .arg(z)
            .arg(maxCoordinate);
    return QString();
}

int directColorCode(const int *rgb)
{
    return directColor + rgb[0] * 65536 + rgb[1] * 256 + rgb[2];
}

// Where a value lies between the thresholds, 0..1; with no room between
// them every value that passed is at the top.
float position(float value, const StatisticalMap::Thresholds &thresholds)
{
    if (!(thresholds.upper > thresholds.lower))
        return 1.0f;
    const float t = (value - thresholds.lower) / (thresholds.upper - thresholds.lower);
    return t > 0.0f ? qMin(t, 1.0f) : 0.0f;
}

void blend(const StatisticalMap::Color &a, const StatisticalMap::Color &b, float f, int *rgb)
{
    f = f > 0.0f ? qMin(f, 1.0f) : 0.0f;
    for (int i = 0; i < 3; ++i)
        rgb[i] = int(a[i] * (1.0f - f) + b[i] * f);
}

void tableColor(int entry, int *rgb)
{
    const StatisticalMap::Color &c = StatisticalMap::scaleColor(entry);
    for (int i = 0; i < 3; ++i)
        rgb[i] = c[i];
}

} // namespace

SurfaceMesh::SurfaceMesh(const ReadContext &context) : context(context)
{
    for (int i = 0; i < 3; ++i) {
        meshColor0[i] = defaultMeshColor0[i];
        meshColor1[i] = defaultMeshColor1[i];
    }
    meshColor0[3] = meshColor1[3] = 1.0f;
}

SurfaceMesh::~SurfaceMesh() = default;

void SurfaceMesh::releaseMesh()
{
    vertexX.reset();
    vertexY.reset();
    vertexZ.reset();
    normalX.reset();
    normalY.reset();
    normalZ.reset();
    vertexColors.reset();
    triangles.reset();
    triangleStrips.reset();
    savedVertexColors.reset();
    surfaceMaps.reset();
    nrOfNeighbors.clear();
    neighbors.clear();
    indirectMeshFile.clear();
    nrOfVertices = nrOfTriangles = nrOfTriangleStrips = 0;
    hasTriangleStrips = meshLoaded = false;
}

void SurfaceMesh::releaseAlternateVertices()
{
    altVertexX.reset();
    altVertexY.reset();
    altVertexZ.reset();
    altNormalX.reset();
    altNormalY.reset();
    altNormalZ.reset();
    altVertexColors.reset();
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

bool SurfaceMesh::fail(const QString &reason)
{
    failure = reason;
    return false;
}

bool SurfaceMesh::readMesh(QString name)
{
    QFile file(name);
    if (!DocumentStream::openFile(file))
        return fail(DocumentStream::openFailure(name));
    if (!readMesh(file))
        return false;
    if (!indirectMeshFile.isEmpty()) {
        // The name travels with the mesh: a relative one means beside it, not
        // wherever the viewer happens to run.
        const QString alternate =
            QFileInfo(name).dir().filePath(QFile::decodeName(indirectMeshFile));
        indirectVerticesLoaded = !loadIndirectMeshVerticesFromFile(alternate).isEmpty();
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
    failure.clear();
    DocumentStream in(&device, context);

    in >> srfVersion >> reservedValue;
    if (in.status() != QDataStream::Ok)
        return fail(unreadable("cut short in its header"));
    if (!isSrfVersion(srfVersion))
        return fail(QString("SRF version %1 is not one the viewer reads (0 to 4)").arg(srfVersion));
    // A negative reserved value ends the file before any vertex.
    if (reservedValue < 0)
        return fail("an empty mesh: it holds no vertices");

    qint32 vertexCount;
    qint32 triangleCount;
    in >> vertexCount >> triangleCount >> meshCenter[0] >> meshCenter[1] >> meshCenter[2];
    const bool hasMeshColors = srfVersion >= 1.0f;
    if (in.status() != QDataStream::Ok)
        return fail(unreadable("cut short in its header"));
    if (vertexCount < 0 || triangleCount < 0 || triangleCount > INT_MAX / 3)
        return fail(unreadable(
            QString("%1 vertices and %2 triangles").arg(vertexCount).arg(triangleCount)));
    // Positions, normals, colour codes and at least a neighbour count per vertex.
    const qint64 requiredSize = qint64(vertexCount) * (6 * 4 + 4 + 4) +
                                (hasMeshColors ? meshColorsSize : 0) +
                                qint64(triangleCount) * 3 * 4;
    if (requiredSize > in.bytesLeft())
        return fail(unreadable(QString("cut short: %1 vertices and %2 triangles need %3 bytes, "
                                       "%4 are left")
                                   .arg(vertexCount)
                                   .arg(triangleCount)
                                   .arg(requiredSize)
                                   .arg(in.bytesLeft())));

    vertexX = allocateArray<float>(vertexCount);
    vertexY = allocateArray<float>(vertexCount);
    vertexZ = allocateArray<float>(vertexCount);
    normalX = allocateArray<float>(vertexCount);
    normalY = allocateArray<float>(vertexCount);
    normalZ = allocateArray<float>(vertexCount);
    vertexColors = allocateArray<int>(vertexCount);
    triangles = allocateArray<int>(qint64(triangleCount) * 3);
    if (!vertexX || !vertexY || !vertexZ || !normalX || !normalY || !normalZ || !vertexColors ||
        !triangles)
        return fail(QString("no memory for %1 vertices").arg(vertexCount));
    nrOfVertices = vertexCount;
    nrOfTriangles = triangleCount;

    const QString cutShort = unreadable("cut short");
    for (float *block : {vertexX.get(), vertexY.get(), vertexZ.get(), normalX.get(), normalY.get(),
                         normalZ.get()}) {
        if (!in.readFloats(block, nrOfVertices))
            return fail(cutShort);
    }
    if (hasMeshColors) {
        for (float &c : meshColor0)
            in >> c;
        for (float &c : meshColor1)
            in >> c;
    }
    if (!in.readInts(vertexColors.get(), nrOfVertices))
        return fail(cutShort);

    nrOfNeighbors.resize(nrOfVertices);
    neighbors.resize(nrOfVertices);
    for (int v = 0; v < nrOfVertices; ++v) {
        qint32 count;
        in >> count;
        if (count > SHRT_MAX || !in.fits(count, 4))
            return fail(unreadable(QString("vertex %1 has %2 neighbours").arg(v).arg(count)));
        nrOfNeighbors[v] = qint16(count);
        QList<int> &ring = neighbors[v];
        ring.resize(count);
        if (!in.readInts(ring.data(), count))
            return fail(cutShort);
        if (!areVertexIndices(ring.constData(), count))
            return fail(
                unreadable(QString("a neighbour of vertex %1 is no vertex of the mesh").arg(v)));
    }

    if (!in.readInts(triangles.get(), qint64(nrOfTriangles) * 3) || in.status() != QDataStream::Ok)
        return fail(cutShort);
    if (!areVertexIndices(triangles.get(), qint64(nrOfTriangles) * 3))
        return fail(unreadable("a triangle corner is no vertex of the mesh"));

    if (srfVersion >= 3.0f) {
        in >> nrOfTriangleStrips;
        if (nrOfTriangleStrips >= 1) {
            if (!in.fits(nrOfTriangleStrips, 4))
                return fail(cutShort);
            triangleStrips = allocateArray<int>(nrOfTriangleStrips);
            if (!triangleStrips)
                return fail(QString("no memory for %1 strip entries").arg(nrOfTriangleStrips));
            if (!in.readInts(triangleStrips.get(), nrOfTriangleStrips))
                return fail(cutShort);
            for (int i = 0; i < nrOfTriangleStrips; ++i) {
                if (triangleStrips[i] >= nrOfVertices)
                    return fail(unreadable("a strip entry is no vertex of the mesh"));
            }
            hasTriangleStrips = true;
        }
    }

    if (srfVersion >= 4.0f) {
        const QByteArray name = in.readText(DocumentStream::maxTextLength);
        if (!name.isEmpty())
            indirectMeshFile = name;
    }

    const QString why = unshowable();
    if (!why.isEmpty())
        return fail(why);
    meshLoaded = true;
    noDeletedRegions = hasNoDeletedRegions();
    computeVertexNormals();
    return true;
}

// What the view would draw as a black picture, or not at all.
QString SurfaceMesh::unshowable() const
{
    if (nrOfVertices < 3)
        return QString("a mesh of %1 %2 has no surface to show")
            .arg(nrOfVertices)
            .arg(nrOfVertices == 1 ? "vertex" : "vertices");
    QString why = badPosition("the mesh centre", meshCenter[0], meshCenter[1], meshCenter[2]);
    bool onePoint = true;
    for (int v = 0; v < nrOfVertices && why.isEmpty(); ++v) {
        why = badPosition(QString("vertex %1").arg(v), vertexX[v], vertexY[v], vertexZ[v]);
        onePoint = onePoint && vertexX[v] == vertexX[0] && vertexY[v] == vertexY[0] &&
                   vertexZ[v] == vertexZ[0];
    }
    if (!why.isEmpty())
        return why;
    if (onePoint)
        return QString("all %1 vertices lie at one point").arg(nrOfVertices);
    if (hasTriangleStrips) {
        // A strip draws triangles from its third entry on; a negative entry ends it.
        int run = 0;
        for (int i = 0; i < nrOfTriangleStrips && run < 3; ++i)
            run = triangleStrips[i] < 0 ? 0 : run + 1;
        if (run < 3)
            return "its triangle strips hold no triangle";
    } else if (nrOfTriangles == 0) {
        return QString("a mesh of %1 vertices and no triangles has no surface to show")
            .arg(nrOfVertices);
    }
    return QString();
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
    DocumentStream in(&device, context);
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

    altVertexX = allocateArray<float>(vertexCount);
    altVertexY = allocateArray<float>(vertexCount);
    altVertexZ = allocateArray<float>(vertexCount);
    altNormalX = allocateArray<float>(vertexCount);
    altNormalY = allocateArray<float>(vertexCount);
    altNormalZ = allocateArray<float>(vertexCount);
    altVertexColors = allocateArray<int>(vertexCount);
    bool ok = altVertexX && altVertexY && altVertexZ && altNormalX && altNormalY && altNormalZ &&
              altVertexColors;
    for (float *block : {altVertexX.get(), altVertexY.get(), altVertexZ.get(), altNormalX.get(),
                         altNormalY.get(), altNormalZ.get()})
        ok = ok && in.readFloats(block, vertexCount);
    if (ok && hasMeshColors) {
        float color[4];
        for (float *kept : {altMeshColor0, altMeshColor1}) {
            for (float &c : color)
                in >> c;
            std::copy(color, color + 3, kept);
        }
    }
    ok = ok && in.readInts(altVertexColors.get(), vertexCount);
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
        savedVertexColors = allocateArray<int>(nrOfVertices);
    if (savedVertexColors)
        std::copy(vertexColors.get(), vertexColors.get() + nrOfVertices, savedVertexColors.get());
}

void SurfaceMesh::undoMeshColors()
{
    if (savedVertexColors)
        std::copy(savedVertexColors.get(), savedVertexColors.get() + nrOfVertices,
                  vertexColors.get());
    noDeletedRegions = hasNoDeletedRegions();
}

// A file that cannot be read leaves the maps already loaded as they were.
bool SurfaceMesh::loadSMPs(QString name)
{
    mapFailure.clear();
    auto maps = std::make_unique<SurfaceMaps>();
    if (!maps->loadSurfaceMaps(name, nrOfVertices, context)) {
        mapFailure = maps->failureReason();
        return false;
    }
    surfaceMaps = std::move(maps);
    return true;
}

void SurfaceMesh::prepareDisplayOfSMP()
{
    if (!savedVertexColors)
        saveMeshColorsForUndo();
    else
        undoMeshColors();
}

// Each selected map colours the vertices it passes; the colours of several
// maps are averaged. A selected index past the last map is passed over.
void SurfaceMesh::overlaySMP(const MapDisplay &display)
{
    if (!surfaceMaps || surfaceMaps->maps.empty() || surfaceMaps->nrOfSelectedMaps == 0 ||
        reservedValue < 0 || nrOfVertices <= 0 || surfaceMaps->nrOfVertices != nrOfVertices)
        return;
    QList<const SurfaceMap *> selected;
    const int count = qMin(surfaceMaps->nrOfSelectedMaps, int(surfaceMaps->selectedMaps.size()));
    for (int k = 0; k < count; ++k) {
        const int m = qMax(surfaceMaps->selectedMaps[k], 0);
        if (m < int(surfaceMaps->maps.size()))
            selected << surfaceMaps->maps[m].get();
    }
    auto codes = allocateArray<int>(qint64(nrOfVertices) * selected.size());
    if (selected.isEmpty() || !codes)
        return;

    std::fill(codes.get(), codes.get() + qint64(nrOfVertices) * selected.size(), -1);
    for (qsizetype k = 0; k < selected.size(); ++k)
        colorVerticesByMap(*selected[k], display, codes.get() + k * nrOfVertices);
    if (display.clusterFilter) {
        for (qsizetype k = 0; k < selected.size(); ++k)
            removeSmallClusters(codes.get() + k * nrOfVertices, display.clusterSize);
    }

    for (int v = 0; v < nrOfVertices; ++v) {
        if (vertexColors[v] < 0)
            continue;
        float sum[3] = {0.0f, 0.0f, 0.0f};
        int contributions = 0;
        for (qsizetype k = 0; k < selected.size(); ++k) {
            const int code = codes[k * nrOfVertices + v];
            if (code < 0)
                continue;
            float rgb[3];
            colorOfCode(code, rgb);
            for (int i = 0; i < 3; ++i)
                sum[i] += rgb[i];
            ++contributions;
        }
        if (contributions == 0)
            continue;
        int rgb[3];
        for (int i = 0; i < 3; ++i)
            rgb[i] = qBound(0, int(sum[i] / contributions + 0.5f), 255);
        vertexColors[v] = directColorCode(rgb);
    }
}

void SurfaceMesh::colorOfCode(int code, float *rgb) const
{
    if (code >= directColor) {
        rgb[0] = (code >> 16) & 0xFF;
        rgb[1] = (code >> 8) & 0xFF;
        rgb[2] = code & 0xFF;
        return;
    }
    const float *meshColor = code == 0 ? meshColor0 : meshColor1;
    for (int i = 0; i < 3; ++i)
        rgb[i] = meshColor[i] * 255.0f;
}

void SurfaceMesh::mapScaleColour(const SurfaceMap &map, float t, bool negative, int rgb[3])
{
    if (map.useMapColors)
        blend(negative ? map.mapColor3 : map.mapColor1, negative ? map.mapColor4 : map.mapColor2, t,
              rgb);
    else
        tableColor((negative ? 10 : 0) + qMin(int(9.0f * t), 9), rgb);
}

// Lag maps keep the lag in thousands in the integer part of a value and the
// correlation in its fraction.
void SurfaceMesh::colorVerticesByMap(const SurfaceMap &map, const MapDisplay &display,
                                     int *colorCodes) const
{
    const bool positive = display.showsPositive();
    const bool negative = display.showsNegative();
    const StatisticalMap::Thresholds thresholds = map.thresholds(display);
    const bool lagMap = map.mapType == 3;
    const bool colorByLag = lagMap && map.lagValues[3] == 0;
    const double lagDivisor = double(map.lagValues[0]) - 1.0;
    const bool upperLimit = map.mapOption == 0;

    for (int v = 0; v < nrOfVertices; ++v) {
        if (vertexColors[v] < 0)
            continue;
        float value = map.mapData[v];
        double lag = 0.0;
        if (lagMap && positive) {
            lag = std::trunc(std::abs(std::trunc(double(value))) / 1000.0 + 0.5);
            if (lag < map.lagValues[1] || lag > map.lagValues[2])
                continue;
            value -= std::trunc(value);
        }

        int rgb[3];
        float tested;
        if (negative && !colorByLag && -value > thresholds.lower &&
            (!upperLimit || -value <= thresholds.upper)) {
            tested = -value;
            mapScaleColour(map, position(tested, thresholds), true, rgb);
        } else if (positive && value >= thresholds.lower &&
                   (!upperLimit || value <= thresholds.upper)) {
            tested = value;
            if (colorByLag) {
                // Too few lags to spread over the table: the first colour.
                const double s = lagDivisor > 0 ? lag / lagDivisor : 0.0;
                if (map.useMapColors)
                    blend(map.mapColor1, map.mapColor2, float(s), rgb);
                else
                    tableColor(int(qBound(0.0, 19.0 * s, 19.0)), rgb);
            } else {
                mapScaleColour(map, position(tested, thresholds), false, rgb);
            }
        } else {
            continue;
        }

        if (map.mapAlpha < 1.0f && savedVertexColors) {
            float w = qMax(map.mapAlpha, 0.0f);
            if (w == 0.0f)
                w = position(tested, thresholds);
            float meshRgb[3];
            colorOfCode(savedVertexColors[v], meshRgb);
            for (int i = 0; i < 3; ++i)
                rgb[i] = qBound(0, int(rgb[i] * w + meshRgb[i] * (1.0f - w)), 255);
        }
        colorCodes[v] = directColorCode(rgb);
    }
}

// Patches grow from vertex to vertex through shared triangles; a triangle
// adds its area once all its corners have joined.
void SurfaceMesh::removeSmallClusters(int *colorCodes, int minArea)
{
    if (!colorCodes || nrOfVertices <= 0 || reservedValue < 0)
        return;
    const bool alternate = indirectVerticesLoaded && altVertexX && altVertexY && altVertexZ;
    const float *px = (alternate ? altVertexX : vertexX).get();
    const float *py = (alternate ? altVertexY : vertexY).get();
    const float *pz = (alternate ? altVertexZ : vertexZ).get();

    // The triangles of vertex v are trianglesOf[firstTriangle[v]] up to firstTriangle[v + 1].
    const qint64 nrOfCorners = qint64(nrOfTriangles) * 3;
    auto firstTriangle = allocateArray<qint64>(qint64(nrOfVertices) + 1);
    auto trianglesOf = allocateArray<int>(nrOfCorners);
    auto cornersJoined = allocateArray<unsigned char>(nrOfTriangles);
    auto cluster = allocateArray<int>(nrOfVertices);
    auto visited = allocateArray<bool>(nrOfVertices);
    if (!firstTriangle || !trianglesOf || !cornersJoined || !cluster || !visited)
        return;
    std::fill(firstTriangle.get(), firstTriangle.get() + nrOfVertices + 1, 0);
    for (qint64 c = 0; c < nrOfCorners; ++c)
        ++firstTriangle[triangles[c] + 1];
    for (int v = 0; v < nrOfVertices; ++v)
        firstTriangle[v + 1] += firstTriangle[v];
    {
        auto next = allocateArray<qint64>(nrOfVertices);
        if (!next)
            return;
        std::copy(firstTriangle.get(), firstTriangle.get() + nrOfVertices, next.get());
        for (qint64 c = 0; c < nrOfCorners; ++c)
            trianglesOf[next[triangles[c]]++] = int(c / 3);
    }
    std::fill(cornersJoined.get(), cornersJoined.get() + nrOfTriangles, 0);
    std::fill(visited.get(), visited.get() + nrOfVertices, false);

    auto area = [&](int t) {
        const int *corner = triangles.get() + 3 * qint64(t);
        const double a[3] = {double(px[corner[1]]) - px[corner[0]],
                             double(py[corner[1]]) - py[corner[0]],
                             double(pz[corner[1]]) - pz[corner[0]]};
        const double b[3] = {double(px[corner[2]]) - px[corner[0]],
                             double(py[corner[2]]) - py[corner[0]],
                             double(pz[corner[2]]) - pz[corner[0]]};
        const double n[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
                             a[0] * b[1] - a[1] * b[0]};
        return 0.5 * std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    };

    for (int seed = 0; seed < nrOfVertices; ++seed) {
        if (visited[seed] || vertexColors[seed] < 0 || colorCodes[seed] < 0)
            continue;
        int size = 0;
        cluster[size++] = seed;
        visited[seed] = true;
        double clusterArea = 0.0;
        for (int head = 0; head < size; ++head) {
            const int v = cluster[head];
            for (qint64 i = firstTriangle[v]; i < firstTriangle[v + 1]; ++i) {
                const int t = trianglesOf[i];
                if (++cornersJoined[t] == 3)
                    clusterArea += area(t);
                for (int c = 0; c < 3; ++c) {
                    const int u = triangles[3 * qint64(t) + c];
                    if (!visited[u] && colorCodes[u] >= 0) {
                        visited[u] = true;
                        cluster[size++] = u;
                    }
                }
            }
        }
        if (clusterArea <= minArea) {
            for (int i = 0; i < size; ++i)
                colorCodes[cluster[i]] = savedVertexColors ? savedVertexColors[cluster[i]] : 0;
        }
    }
}
