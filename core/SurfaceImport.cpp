#include "SurfaceImport.h"

#include "Allocation.h"
#include "FreeSurferFiles.h"
#include "GiftiFile.h"
#include "LocalFiles.h"
#include "SurfaceMap.h"
#include "SurfaceMaps.h"
#include "SurfaceMesh.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <QtEndian>

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <new>

namespace {

// The head of a GIfTI file that is looked through for the first array's size:
// its metadata and perhaps a label table come first.
constexpr qint64 giftiHeadSize = 1 << 20;

// Where the centre of the volume's cube lies in the SRF axes.
constexpr float cubeCentre = 128.0f;

QString madeFor(qint64 count, int nrOfVertices)
{
    return QString("made for a mesh of %1 vertices, not %2").arg(count).arg(nrOfVertices);
}

// The words of a name, split at dots, dashes and underscores, in lower case.
QStringList wordsOf(const QString &name)
{
    static const QRegularExpression separators("[._\\-]");
    return name.toLower().split(separators, Qt::SkipEmptyParts);
}

// 'L', 'R', or 0 when the name says no hemisphere.
char hemisphereOf(const QString &name)
{
    for (const QString &word : wordsOf(name)) {
        if (word == "lh" || word == "l" || word == "left")
            return 'L';
        if (word == "rh" || word == "r" || word == "right")
            return 'R';
    }
    return 0;
}

// Six times the volume the triangles enclose, seen from the mean vertex:
// positive when they turn counter-clockwise as seen from outside.
double enclosedVolume(const SurfaceGeometry &geometry)
{
    const qint64 vertices = geometry.vertexCount();
    double centre[3] = {0, 0, 0};
    for (qint64 v = 0; v < vertices; ++v)
        for (int k = 0; k < 3; ++k)
            centre[k] += geometry.xyz[size_t(3 * v + k)];
    for (double &c : centre)
        c /= double(qMax<qint64>(vertices, 1));
    double volume = 0;
    const qint32 *corner = geometry.faces.data();
    for (qint64 t = 0; t < geometry.faceCount(); ++t, corner += 3) {
        double p[3][3];
        for (int i = 0; i < 3; ++i)
            for (int k = 0; k < 3; ++k)
                p[i][k] = geometry.xyz[size_t(3 * qint64(corner[i]) + k)] - centre[k];
        volume += p[0][0] * (p[1][1] * p[2][2] - p[1][2] * p[2][1]) -
                  p[0][1] * (p[1][0] * p[2][2] - p[1][2] * p[2][0]) +
                  p[0][2] * (p[1][0] * p[2][1] - p[1][1] * p[2][0]);
    }
    return volume;
}

// The triangles of each vertex: those of vertex v are trianglesOf[first[v]]
// up to trianglesOf[first[v + 1]].
struct TrianglesOfVertices
{
    std::vector<qint64> first;
    std::vector<int> trianglesOf;

    explicit TrianglesOfVertices(const SurfaceMesh &mesh)
        : first(size_t(mesh.nrOfVertices) + 1, 0),
          trianglesOf(static_cast<size_t>(3 * qint64(mesh.nrOfTriangles)))
    {
        const qint64 corners = 3 * qint64(mesh.nrOfTriangles);
        for (qint64 c = 0; c < corners; ++c)
            ++first[size_t(mesh.triangles[c]) + 1];
        for (int v = 0; v < mesh.nrOfVertices; ++v)
            first[size_t(v) + 1] += first[size_t(v)];
        std::vector<qint64> next(first.begin(), first.end() - 1);
        for (qint64 c = 0; c < corners; ++c)
            trianglesOf[size_t(next[size_t(mesh.triangles[c])]++)] = int(c / 3);
    }
};

// The ring of each vertex from the triangles (counter-clockwise as seen from
// outside): each triangle (v, a, b) gives the step b -> a, and the steps are
// joined end to start. Where a vertex's triangles do not close round it (the
// edge of an open surface, or several fans meeting at it) the ring goes from
// an end that no step leads to, and the fans follow each other.
bool makeRings(SurfaceMesh &mesh, const TrianglesOfVertices &adjacent, QString &reason)
{
    const int vertices = mesh.nrOfVertices;
    const std::vector<qint64> &first = adjacent.first;
    const std::vector<int> &trianglesOf = adjacent.trianglesOf;
    mesh.nrOfNeighbors.resize(vertices);
    mesh.neighbors.resize(vertices);
    std::vector<std::pair<int, int>> steps; // (from, to), sorted by from
    std::vector<char> taken;
    std::vector<int> ring;
    for (int v = 0; v < vertices; ++v) {
        steps.clear();
        for (qint64 i = first[size_t(v)]; i < first[size_t(v) + 1]; ++i) {
            const int *t = mesh.triangles.get() + 3 * qint64(trianglesOf[size_t(i)]);
            const int k = t[0] == v ? 0 : t[1] == v ? 1 : 2;
            const int a = t[(k + 1) % 3], b = t[(k + 2) % 3];
            // A triangle with a corner twice has no side to turn.
            if (a != v && b != v && a != b)
                steps.emplace_back(b, a);
        }
        std::sort(steps.begin(), steps.end());
        taken.assign(steps.size(), 0);
        // The first step from a vertex not yet taken; -1 when there is none.
        QHash<int, size_t> firstUntaken;
        const auto takeFrom = [&](int from) -> qint64 {
            auto found = firstUntaken.find(from);
            size_t i = found != firstUntaken.end()
                           ? found.value()
                           : size_t(std::lower_bound(steps.begin(), steps.end(),
                                                     std::make_pair(from, INT_MIN)) -
                                    steps.begin());
            while (i < steps.size() && steps[i].first == from && taken[i])
                ++i;
            firstUntaken.insert(from, i);
            if (i >= steps.size() || steps[i].first != from)
                return -1;
            taken[i] = 1;
            return qint64(i);
        };
        std::vector<int> ends;
        ends.reserve(steps.size());
        for (const auto &step : steps)
            ends.push_back(step.second);
        std::sort(ends.begin(), ends.end());
        const auto isEnd = [&](int u) { return std::binary_search(ends.begin(), ends.end(), u); };

        ring.clear();
        const auto walk = [&](qint64 s) {
            const int start = steps[size_t(s)].first;
            ring.push_back(start);
            int at = steps[size_t(s)].second;
            for (qint64 next; (next = takeFrom(at)) >= 0; at = steps[size_t(next)].second)
                ring.push_back(at);
            if (at != start)
                ring.push_back(at);
        };
        // Open fans from their free ends first, then the closed ones.
        for (int pass = 0; pass < 2; ++pass) {
            for (size_t s = 0; s < steps.size(); ++s) {
                if (taken[s] || (pass == 0 && isEnd(steps[s].first)))
                    continue;
                taken[s] = 1;
                walk(qint64(s));
            }
        }
        if (ring.size() > size_t(SHRT_MAX)) {
            reason = QString("vertex %1 has %2 neighbours, more than the viewer draws (%3)")
                         .arg(v)
                         .arg(ring.size())
                         .arg(SHRT_MAX);
            return false;
        }
        mesh.nrOfNeighbors[v] = qint16(ring.size());
        mesh.neighbors[v] = QList<int>(ring.begin(), ring.end());
    }
    return true;
}

// Triangle strips, as SRF files hold them, so that a surface draws as fast as
// an SRF mesh: every triangle in one strip, in the turn of the triangle list.
// A strip s0 s1 s2 s3 ... holds (s0 s1 s2), (s2 s1 s3), (s2 s3 s4) ...; strips
// are ended by -1. Each grows from its first triangle, turned whichever of
// the three ways leads furthest, while an unused triangle lies on its last
// side.
void makeStrips(SurfaceMesh &mesh, const TrianglesOfVertices &adjacent)
{
    const int *corners = mesh.triangles.get();
    std::vector<char> used(size_t(mesh.nrOfTriangles), 0);
    // The unused triangle with the side from -> to, and its third corner; -1 when none.
    const auto onSide = [&](int from, int to, int &third) {
        for (qint64 i = adjacent.first[size_t(from)]; i < adjacent.first[size_t(from) + 1]; ++i) {
            const int t = adjacent.trianglesOf[size_t(i)];
            if (used[size_t(t)])
                continue;
            const int *c = corners + 3 * qint64(t);
            for (int k = 0; k < 3; ++k) {
                if (c[k] == from && c[(k + 1) % 3] == to) {
                    third = c[(k + 2) % 3];
                    return t;
                }
            }
        }
        return -1;
    };
    std::vector<int> list, strip, taken;
    // Grows strip; the triangles taken stay used when kept.
    const auto grow = [&](bool keep) {
        taken.clear();
        for (;;) {
            const int a = strip[strip.size() - 2], b = strip.back();
            // Every second triangle runs the last side the other way round.
            int third = 0;
            const int t = strip.size() % 2 == 1 ? onSide(b, a, third) : onSide(a, b, third);
            if (t < 0)
                break;
            used[size_t(t)] = 1;
            taken.push_back(t);
            strip.push_back(third);
        }
        for (const int t : taken)
            used[size_t(t)] = keep;
    };
    for (int t = 0; t < mesh.nrOfTriangles; ++t) {
        if (used[size_t(t)])
            continue;
        used[size_t(t)] = 1;
        const int *c = corners + 3 * qint64(t);
        const auto start = [&](int turn) {
            strip = {c[turn], c[(turn + 1) % 3], c[(turn + 2) % 3]};
        };
        int bestTurn = 0;
        size_t bestLength = 0;
        for (int turn = 0; turn < 3; ++turn) {
            start(turn);
            grow(false);
            if (strip.size() > bestLength) {
                bestLength = strip.size();
                bestTurn = turn;
            }
        }
        start(bestTurn);
        grow(true);
        if (!list.empty())
            list.push_back(-1);
        list.insert(list.end(), strip.begin(), strip.end());
    }
    if (list.size() > size_t(INT_MAX))
        return;
    mesh.triangleStrips = allocateArray<int>(qint64(list.size()));
    if (!mesh.triangleStrips)
        return;
    std::copy(list.begin(), list.end(), mesh.triangleStrips.get());
    mesh.nrOfTriangleStrips = int(list.size());
    mesh.hasTriangleStrips = true;
}

qint64 giftiVertexCount(const QString &fileName)
{
    QFile file;
    if (!LocalFiles::openRegular(file, fileName))
        return -1;
    QXmlStreamReader xml(file.read(giftiHeadSize));
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != u"DataArray")
            continue;
        const QXmlStreamAttributes attributes = xml.attributes();
        // Triangles count faces, not vertices.
        if (attributes.value("Intent").trimmed() == u"NIFTI_INTENT_TRIANGLE")
            continue;
        bool ok = false;
        const qint64 count = attributes.value("Dim0").trimmed().toLongLong(&ok);
        return ok && count >= 0 ? count : -1;
    }
    return -1;
}

// The first 32-bit big-endian number after offset bytes, if the file has it.
qint64 bigEndianNumber(const QString &fileName, int offset, bool freeSurferValues)
{
    QFile file;
    if (!LocalFiles::openRegular(file, fileName))
        return -1;
    const QByteArray head = file.read(15);
    if (head.size() < offset + 4)
        return -1;
    if (freeSurferValues && FreeSurferReader::kindOf(head) != FreeSurferReader::Kind::Values)
        return -1;
    const qint32 count = qFromBigEndian<qint32>(head.constData() + offset);
    return count >= 0 ? count : -1;
}

// Statistics start where NIfTI maps do; a measure shows all its vertices but
// those of no value (FreeSurfer's thickness is 0 where there is no cortex).
void showAsMap(SurfaceMap &map, bool statistic, int nrOfVertices)
{
    float largest = 0.0f;
    float smallest = std::numeric_limits<float>::infinity();
    for (int v = 0; v < nrOfVertices; ++v) {
        const float magnitude = std::abs(map.mapData[v]);
        if (!std::isfinite(magnitude))
            continue;
        largest = std::max(largest, magnitude);
        if (magnitude > 0.0f)
            smallest = std::min(smallest, magnitude);
    }
    map.mapType = 1;
    map.clusterCheckEnabled = false;
    map.showPosNeg = 3;
    map.useMapColors = false;
    if (statistic)
        map.threshMin = 4.0f;
    else
        // As the maps panel shows it: two decimals, at least 0.01.
        map.threshMin = std::isfinite(smallest)
                            ? std::max(0.01f, float(std::floor(double(smallest) * 100.0) / 100.0))
                            : 0.01f;
    if (largest > map.threshMin)
        map.threshMax = largest;
}

} // namespace

namespace SurfaceImport {

const float convexGrey[3] = {0.78f, 0.78f, 0.78f};
const float concaveGrey[3] = {0.42f, 0.42f, 0.42f};

Format formatOf(const QString &fileName)
{
    if (fileName.endsWith(".srf", Qt::CaseInsensitive))
        return Format::Srf;
    return GiftiFile::isGiftiFileName(fileName) ? Format::Gifti : Format::FreeSurfer;
}

QString typeName(Format format)
{
    switch (format) {
    case Format::FreeSurfer:
        return "FreeSurfer surface";
    case Format::Gifti:
        return "GIfTI surface";
    case Format::Srf:
        break;
    }
    return QString();
}

std::unique_ptr<SurfaceMesh> readMesh(const QString &fileName, QString &reason)
{
    std::optional<SurfaceGeometry> geometry;
    if (formatOf(fileName) == Format::Gifti) {
        GiftiFile gifti;
        if (!gifti.read(fileName)) {
            reason = gifti.failureReason();
            return nullptr;
        }
        geometry = gifti.surface();
        if (!geometry) {
            reason = "a GIfTI file without a surface (no arrays of vertices and triangles)";
            return nullptr;
        }
    } else {
        FreeSurferReader reader;
        geometry = reader.readSurface(fileName);
        if (!geometry) {
            reason = reader.failureReason();
            return nullptr;
        }
    }
    auto mesh = meshOfGeometry(*geometry, reason);
    if (mesh)
        mesh->fileNameWithPath = fileName;
    return mesh;
}

std::unique_ptr<SurfaceMesh> meshOfGeometry(const SurfaceGeometry &geometry, QString &reason)
{
    const qint64 vertices = geometry.vertexCount();
    const qint64 triangles = geometry.faceCount();
    if (vertices > SurfaceFiles::maxVertices || triangles > SurfaceFiles::maxFaces) {
        reason = QString("a surface of %1 vertices and %2 triangles is more than the viewer holds")
                     .arg(vertices)
                     .arg(triangles);
        return nullptr;
    }
    const QString problem = SurfaceFiles::geometryProblem(geometry.xyz.data(), vertices,
                                                          geometry.faces.data(), triangles);
    if (!problem.isEmpty()) {
        reason = problem;
        return nullptr;
    }
    auto mesh = std::make_unique<SurfaceMesh>();
    const QString noMemory = QString("no memory for a surface of %1 vertices").arg(vertices);
    mesh->vertexX = allocateArray<float>(vertices);
    mesh->vertexY = allocateArray<float>(vertices);
    mesh->vertexZ = allocateArray<float>(vertices);
    mesh->normalX = allocateArray<float>(vertices);
    mesh->normalY = allocateArray<float>(vertices);
    mesh->normalZ = allocateArray<float>(vertices);
    mesh->vertexColors = allocateZeroed<int>(vertices);
    mesh->triangles = allocateArray<int>(3 * triangles);
    if (!mesh->vertexX || !mesh->vertexY || !mesh->vertexZ || !mesh->normalX || !mesh->normalY ||
        !mesh->normalZ || !mesh->vertexColors || !mesh->triangles) {
        reason = noMemory;
        return nullptr;
    }
    mesh->nrOfVertices = int(vertices);
    mesh->nrOfTriangles = int(triangles);
    for (qint64 v = 0; v < vertices; ++v) {
        const float *p = geometry.xyz.data() + 3 * v;
        mesh->vertexX[v] = cubeCentre - p[1];
        mesh->vertexY[v] = cubeCentre - p[2];
        mesh->vertexZ[v] = cubeCentre - p[0];
    }
    const bool turnsInwards = enclosedVolume(geometry) < 0;
    for (qint64 t = 0; t < triangles; ++t) {
        const qint32 *corner = geometry.faces.data() + 3 * t;
        int *into = mesh->triangles.get() + 3 * t;
        into[0] = corner[0];
        into[1] = turnsInwards ? corner[1] : corner[2];
        into[2] = turnsInwards ? corner[2] : corner[1];
    }
    std::fill(std::begin(mesh->meshCenter), std::end(mesh->meshCenter), cubeCentre);
    std::copy(convexGrey, convexGrey + 3, mesh->meshColor0);
    std::copy(concaveGrey, concaveGrey + 3, mesh->meshColor1);
    try {
        const TrianglesOfVertices adjacent(*mesh);
        if (!makeRings(*mesh, adjacent, reason))
            return nullptr;
        makeStrips(*mesh, adjacent);
    } catch (const std::bad_alloc &) {
        reason = noMemory;
        return nullptr;
    }
    mesh->reservedValue = 0;
    mesh->meshLoaded = true;
    mesh->computeVertexNormals();
    mesh->noDeletedRegions = mesh->hasNoDeletedRegions();
    return mesh;
}

void shadeByCurvature(SurfaceMesh &mesh, const std::vector<float> &curvature)
{
    if (curvature.size() != size_t(mesh.nrOfVertices))
        return;
    for (int v = 0; v < mesh.nrOfVertices; ++v)
        if (mesh.vertexColors[v] >= 0)
            mesh.vertexColors[v] = curvature[size_t(v)] > 0.0f ? 1 : 0;
}

QString curvatureFileFor(const QString &meshFile, int nrOfVertices)
{
    const QFileInfo mesh(meshFile);
    const char hemisphere = hemisphereOf(mesh.fileName());
    struct Candidate
    {
        int rank;
        QString name;
    };
    std::vector<Candidate> candidates;
    const QStringList names = mesh.dir().entryList(QDir::Files | QDir::NoSymLinks, QDir::Name);
    for (const QString &name : names) {
        const QString lower = name.toLower();
        const bool values = lower.endsWith(".shape.gii") || lower.endsWith(".func.gii") ||
                            !(lower.endsWith(".gii") || lower.endsWith(".smp") ||
                              lower.endsWith(".annot") || name == mesh.fileName());
        if (!values || hemisphereOf(name) != hemisphere)
            continue;
        const QStringList words = wordsOf(name);
        const int rank = words.contains("curv") || words.contains("curvature") ? 0
                         : words.contains("sulc")                              ? 1
                                                                               : -1;
        if (rank >= 0)
            candidates.push_back({rank, name});
    }
    std::stable_sort(candidates.begin(), candidates.end(), [](const auto &a, const auto &b) {
        return a.rank != b.rank ? a.rank < b.rank : a.name.size() < b.name.size();
    });
    for (const Candidate &candidate : candidates) {
        const QString path = mesh.dir().filePath(candidate.name);
        if (statedVertexCount(path) == nrOfVertices)
            return path;
    }
    return QString();
}

QString shadeFromFileBeside(SurfaceMesh &mesh, const QString &meshFile)
{
    const QString file = curvatureFileFor(meshFile, mesh.nrOfVertices);
    if (file.isEmpty())
        return QString();
    QString reason;
    const std::optional<VertexFile> read = readVertexFile(file, mesh.nrOfVertices, reason);
    if (!read || !read->maps || read->maps->maps.empty())
        return QString();
    const SurfaceMap &map = *read->maps->maps.front();
    shadeByCurvature(mesh,
                     std::vector<float>(map.mapData.get(), map.mapData.get() + mesh.nrOfVertices));
    return file;
}

qint64 statedVertexCount(const QString &fileName)
{
    const QString lower = fileName.toLower();
    if (lower.endsWith(".smp"))
        return SurfaceMaps::statedVertexCount(fileName);
    if (lower.endsWith(".annot"))
        return bigEndianNumber(fileName, 0, false);
    if (GiftiFile::isGiftiFileName(fileName))
        return giftiVertexCount(fileName);
    return bigEndianNumber(fileName, 3, true);
}

VertexFile::VertexFile() = default;
VertexFile::VertexFile(VertexFile &&) = default;
VertexFile::~VertexFile() = default;

std::optional<VertexFile> readVertexFile(const QString &fileName, int nrOfVertices, QString &reason)
{
    VertexFile file;
    std::vector<PerVertexValues> values;
    const auto takeLabels = [&](std::optional<VertexLabels> labels) {
        if (labels->labelOfVertex.size() != size_t(nrOfVertices)) {
            reason = madeFor(qint64(labels->labelOfVertex.size()), nrOfVertices);
            return false;
        }
        file.labels = std::move(labels);
        file.labelsName = QFileInfo(fileName).fileName();
        return true;
    };
    if (fileName.endsWith(".annot", Qt::CaseInsensitive)) {
        FreeSurferReader reader;
        std::optional<VertexLabels> labels = reader.readAnnotation(fileName);
        if (!labels) {
            reason = reader.failureReason();
            return std::nullopt;
        }
        return takeLabels(std::move(labels)) ? std::optional<VertexFile>(std::move(file))
                                             : std::nullopt;
    }
    if (GiftiFile::isGiftiFileName(fileName)) {
        // The file's arrays go as soon as their values are copied out.
        GiftiFile gifti;
        if (!gifti.read(fileName)) {
            reason = gifti.failureReason();
            return std::nullopt;
        }
        if (std::optional<VertexLabels> labels = gifti.vertexLabels())
            return takeLabels(std::move(labels)) ? std::optional<VertexFile>(std::move(file))
                                                 : std::nullopt;
        try {
            values = gifti.perVertexValues();
        } catch (const std::bad_alloc &) {
            reason = "no memory for its values";
            return std::nullopt;
        }
        if (values.empty()) {
            reason = "a GIfTI file without values per vertex";
            return std::nullopt;
        }
    } else {
        FreeSurferReader reader;
        std::optional<PerVertexValues> read = reader.readValues(fileName);
        if (!read) {
            reason = reader.failureReason();
            return std::nullopt;
        }
        values.push_back(std::move(*read));
    }
    for (const PerVertexValues &array : values) {
        if (array.values.size() != size_t(nrOfVertices)) {
            reason = madeFor(qint64(array.values.size()), nrOfVertices);
            return std::nullopt;
        }
    }
    file.maps = std::make_unique<SurfaceMaps>();
    file.maps->nrOfVertices = nrOfVertices;
    if (values.size() > size_t(INT_MAX) ||
        !file.maps->allocateMapsMemory(int(values.size()), false)) {
        reason = "no memory for its maps";
        return std::nullopt;
    }
    const QString shownName = QFileInfo(fileName).fileName();
    for (size_t i = 0; i < values.size(); ++i) {
        SurfaceMap &map = *file.maps->maps[i];
        map.mapName = !values[i].name.isEmpty() ? values[i].name
                      : values.size() > 1       ? QString("%1 (%2)").arg(shownName).arg(i + 1)
                                                : shownName;
        std::copy(values[i].values.begin(), values[i].values.end(), map.mapData.get());
        std::vector<float>().swap(values[i].values);
        showAsMap(map, GiftiFile::isStatisticIntent(values[i].intentCode), nrOfVertices);
    }
    file.maps->fileNameWithPath = fileName;
    return std::optional<VertexFile>(std::move(file));
}

} // namespace SurfaceImport
