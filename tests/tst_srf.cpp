#include "CXSCore.h"
#include "FixtureStream.h"
#include "SrfFixture.h"
#include "SurfaceMesh.h"

#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstring>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

bool readBytes(SurfaceMesh &mesh, const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return mesh.readMesh(buffer);
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

template <typename T> QList<T> toList(const T *values, int count)
{
    return QList<T>(values, values + count);
}

// x, y and z of every vertex, vertex by vertex.
QList<float> corners(const SrfFixture &f)
{
    QList<float> values;
    for (const SrfFixture::Vertex &v : f.vertices)
        values << v.x << v.y << v.z;
    return values;
}

QList<float> corners(const float *x, const float *y, const float *z, int count)
{
    QList<float> values;
    for (int v = 0; v < count; ++v)
        values << x[v] << y[v] << z[v];
    return values;
}

QList<float> normalOf(const SurfaceMesh &mesh, int v)
{
    return {mesh.normalX[v], mesh.normalY[v], mesh.normalZ[v]};
}

bool fuzzyEqual(const QList<float> &a, const QList<float> &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](float x, float y) { return std::abs(x - y) <= 1e-6f; });
}

// A header with the given counts, and room after it for what they announce
// when they are small.
QByteArray header(qint32 vertices, qint32 triangles)
{
    FixtureStream s;
    s.f32(4).i32(0).i32(vertices).i32(triangles).f32(0).f32(0).f32(0);
    return s.data + QByteArray(1000, 0);
}

// The octahedron up to a section, then a count, and room after it.
QByteArray countAfter(SrfFixture::Section section, qint32 count)
{
    return SrfFixture::octahedron().bytes(section) + FixtureStream().i32(count).data +
           QByteArray(1000, 0);
}

// The octahedron of an alternate vertex set: stretched, with stored normals
// and colours of its own and fewer triangles.
SrfFixture inflated()
{
    SrfFixture f = SrfFixture::octahedron();
    for (SrfFixture::Vertex &v : f.vertices) {
        v.x *= 2;
        v.nz = -1;
        v.color = 0x3F102030;
    }
    f.triangles.resize(6);
    f.meshColor0[0] = 0.125f;
    f.meshColor1[2] = 0.625f;
    return f;
}

} // namespace

class TestSrf : public QObject
{
    Q_OBJECT

private slots:
    void versions_data();
    void versions();
    void deletedVertices();
    void meshStatistics();
    void shortFiles();
    void files();
    void brokenFiles_data();
    void brokenFiles();
    void hugeCountsAllocateNothing();
    void indirectVertices_data();
    void indirectVertices();

private:
    QTemporaryDir dir;
};

void TestSrf::versions_data()
{
    QTest::addColumn<float>("version");
    for (float version : {0.5f, 1.0f, 2.0f, 3.0f, 4.0f})
        QTest::addRow("%g", version) << version;
    // Value by value on a big-endian host gives what the raw reads give here.
    QTest::newRow("4, big-endian host") << 4.0f;
}

// Mesh colours come with version 1, strips with 3, the alternate file name
// with 4; what a version lacks keeps its default.
void TestSrf::versions()
{
    QFETCH(float, version);
    SrfFixture f = SrfFixture::octahedron();
    f.version = version;
    f.reservedValue = 2;
    f.indirectFile = "alt.srf";
    QByteArray bytes = f.bytes();
    if (version < 3) // what a reader of the wrong version would take for strips or a name
        bytes += FixtureStream().i32(2).i32(1).i32(0).cstr("x").data;

    ReadContext host;
    host.hostIsBigEndian = QByteArray(QTest::currentDataTag()).contains("big-endian");
    SurfaceMesh mesh(host);
    QVERIFY(readBytes(mesh, bytes));
    QVERIFY(mesh.meshLoaded && mesh.noDeletedRegions && !mesh.indirectVerticesLoaded);
    QCOMPARE(mesh.fileNameWithPath, "untitled.srf");
    QCOMPARE(QList<int>({mesh.reservedValue, mesh.nrOfVertices, mesh.nrOfTriangles,
                         mesh.nrOfTriangleStrips}),
             QList<int>({2, 6, 8, version >= 3 ? 8 : 0}));
    QCOMPARE(toList(mesh.meshCenter, 3), QList<float>({128.0f, 127.5f, 126.0f}));
    QCOMPARE(corners(mesh.vertexX.get(), mesh.vertexY.get(), mesh.vertexZ.get(), 6), corners(f));
    QCOMPARE(toList(mesh.vertexColors.get(), 6), QList<int>({0, 1, 0, 1, 0, 1}));
    QCOMPARE(mesh.nrOfNeighbors, QList<qint16>(6, 4));
    for (int v = 0; v < 6; ++v)
        QCOMPARE(mesh.neighbors[v], f.vertices[v].neighbors);
    QCOMPARE(toList(mesh.triangles.get(), 24), f.triangles);
    // The stored normals (0, 0, 7) give way to computed ones, outward here.
    QVERIFY(fuzzyEqual(corners(mesh.normalX.get(), mesh.normalY.get(), mesh.normalZ.get(), 6),
                       corners(f)));

    QCOMPARE(toList(mesh.meshColor0, 4) + toList(mesh.meshColor1, 4),
             version >= 1 ? QList<float>({0.9f, 0.8f, 0.1f, 0.5f, 0.2f, 0.3f, 0.4f, 0.6f})
                          : QList<float>({1.0f, 0.7f, 0.3f, 1.0f, 0.3f, 0.3f, 0.3f, 1.0f}));
    QCOMPARE(mesh.hasTriangleStrips, version >= 3);
    if (version >= 3)
        QCOMPARE(toList(mesh.triangleStrips.get(), 8), f.strips);
    QCOMPARE(mesh.indirectMeshFile, version >= 4 ? QByteArray("alt.srf") : QByteArray());
}

void TestSrf::deletedVertices()
{
    SrfFixture f = SrfFixture::octahedron();
    f.vertices[1].color = -1;
    SurfaceMesh mesh;
    QVERIFY(readBytes(mesh, f.bytes()));
    QVERIFY(!mesh.noDeletedRegions);
    // Vertex 0 keeps the two of its four triangles that avoid vertex 1.
    QVERIFY(fuzzyEqual(normalOf(mesh, 0), {float(M_SQRT1_2), -float(M_SQRT1_2), 0}));
    QCOMPARE(mesh.vertexColors[0], 0);
    QCOMPARE(normalOf(mesh, 1), QList<float>({0, 0, 0}));
    QCOMPARE(mesh.vertexColors[1], -10000);

    // Every neighbour of vertices 0 and 3 deleted.
    for (int v : {1, 2, 4, 5})
        f.vertices[v].color = -3;
    QVERIFY(readBytes(mesh, f.bytes()));
    QCOMPARE(corners(mesh.normalX.get(), mesh.normalY.get(), mesh.normalZ.get(), 6),
             QList<float>(18, 0));
    QCOMPARE(toList(mesh.vertexColors.get(), 6), QList<int>(6, -10000));

    // Without neighbours there is no normal either.
    f = SrfFixture::octahedron();
    f.vertices[2].neighbors.clear();
    QVERIFY(readBytes(mesh, f.bytes()));
    QCOMPARE(mesh.vertexColors[2], -10000);
    QVERIFY(mesh.noDeletedRegions); // judged before the normals were computed
    QVERIFY(!mesh.hasNoDeletedRegions());

    // Undo restores the saved colours, or keeps the current ones when none
    // were saved, and judges the deleted regions again.
    QVERIFY(readBytes(mesh, SrfFixture::octahedron().bytes()));
    mesh.vertexColors[3] = -1;
    mesh.undoMeshColors();
    QCOMPARE(mesh.vertexColors[3], -1);
    QVERIFY(!mesh.noDeletedRegions);

    mesh.vertexColors[3] = 1;
    mesh.saveMeshColorsForUndo();
    mesh.vertexColors[0] = 0x3F00FF00;
    mesh.vertexColors[4] = -2;
    mesh.undoMeshColors();
    QCOMPARE(toList(mesh.vertexColors.get(), 6), QList<int>({0, 1, 0, 1, 0, 1}));
    QVERIFY(mesh.noDeletedRegions);

    mesh.vertexColors[1] = 7;
    mesh.saveMeshColorsForUndo();
    mesh.vertexColors[1] = 8;
    mesh.undoMeshColors();
    QCOMPARE(mesh.vertexColors[1], 7);
}

// Edge lengths and the mean number of neighbours.
void TestSrf::meshStatistics()
{
    SrfFixture f = SrfFixture::octahedron();
    f.vertices[0].x = 2; // edges from vertex 0 become sqrt(5)
    f.vertices[5].neighbors << 1 << 2 << 3;
    SurfaceMesh mesh;
    QVERIFY(readBytes(mesh, f.bytes()));
    QCOMPARE(mesh.calculateMeanNrOfNeighbors(), 27.0f / 6);
    int edges = 0;
    float minLength = 0, maxLength = 0;
    const double mean = mesh.computeAverageEdgeLength(edges, minLength, maxLength);
    QCOMPARE(edges, 12); // each edge once, though vertex 5 lists some twice
    QCOMPARE(mean, (4 * std::sqrt(5.0) + 8 * std::sqrt(2.0)) / 12);
    QCOMPARE(minLength, float(std::sqrt(2.0)));
    QCOMPARE(maxLength, float(std::sqrt(5.0)));

    f.vertices[5].color = -1;
    QVERIFY(readBytes(mesh, f.bytes()));
    QCOMPARE(mesh.computeAverageEdgeLength(edges, minLength, maxLength),
             (3 * std::sqrt(5.0) + 5 * std::sqrt(2.0)) / 8);
    QCOMPARE(edges, 8);

    // No usable edge, no vertex: no division by zero.
    for (SrfFixture::Vertex &v : f.vertices)
        v.color = -1;
    QVERIFY(readBytes(mesh, f.bytes()));
    QCOMPARE(mesh.computeAverageEdgeLength(edges, minLength, maxLength), 0.0);
    QCOMPARE(QList<float>({float(edges), minLength, maxLength}), QList<float>({0, 1000, 0}));
    QVERIFY(!readBytes(mesh, SrfFixture().bytes()));
    QCOMPARE(mesh.calculateMeanNrOfNeighbors(), 0.0f);
}

// Strips and the alternate file name may be missing at the end of a file.
void TestSrf::shortFiles()
{
    SurfaceMesh mesh;
    SrfFixture f = SrfFixture::octahedron();
    f.indirectFile = "other.srf";
    const QByteArray triangles = f.bytes(SrfFixture::Triangles);
    const QByteArray strips = f.bytes(SrfFixture::Strips);
    for (int extra : {0, 1, 3}) {
        QVERIFY(readBytes(mesh, strips.left(triangles.size() + extra)));
        QVERIFY(mesh.meshLoaded && !mesh.hasTriangleStrips && mesh.indirectMeshFile.isNull());
        QCOMPARE(mesh.nrOfTriangleStrips, 0);
    }
    QVERIFY(readBytes(mesh, strips));
    QVERIFY(mesh.hasTriangleStrips && mesh.indirectMeshFile.isNull());
    QVERIFY(readBytes(mesh, f.bytes().chopped(1)));
    QCOMPARE(mesh.indirectMeshFile, "other.srf");
    QVERIFY(readBytes(mesh, f.bytes().chopped(4)));
    QCOMPARE(mesh.indirectMeshFile, "other.");
    // A strip count below one means no strips.
    QVERIFY(readBytes(mesh, triangles + FixtureStream().i32(-5).cstr("").data));
    QVERIFY(!mesh.hasTriangleStrips && !mesh.triangleStrips);
}

// A failed read leaves the mesh unnamed. The core keeps one mesh, replaced
// only by one that reads.
void TestSrf::files()
{
    const SrfFixture f = SrfFixture::octahedron();
    const QString first = dir.filePath("first.srf"), second = dir.filePath("second.srf"),
                  broken = dir.filePath("broken.srf"), missing = dir.filePath("none.srf");
    QVERIFY(writeFile(first, f.bytes()) && writeFile(second, f.bytes()) &&
            writeFile(broken, f.bytes(SrfFixture::Neighbors)));
    SurfaceMesh unread;
    QVERIFY(!unread.readMesh(missing) && !unread.readMesh(dir.path()));
    QCOMPARE(unread.fileNameWithPath, "untitled.srf");

    CXSCore loader;
    QVERIFY(!loader.getMesh(0) && !loader.loadMesh(broken));
    QCOMPARE(QList<int>({loader.getNrOfMeshes(), loader.currentMesh}), QList<int>({0, -1}));
    QVERIFY(loader.loadMesh(first) && loader.loadMesh(second));
    for (const QString &name : {broken, missing}) {
        QVERIFY(!loader.loadMesh(name));
        QCOMPARE(QList<int>({loader.getNrOfMeshes(), loader.currentMesh}), QList<int>({1, 0}));
        QCOMPARE(loader.getMesh(0)->fileNameWithPath, second);
    }
    QVERIFY(!loader.getMesh(1));
}

void TestSrf::brokenFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason"); // a part of it

    const SrfFixture f = SrfFixture::octahedron();
    auto withRing = [&f](int v, const QList<qint32> &ring) {
        SrfFixture g = f;
        g.vertices[v].neighbors = ring;
        return g.bytes();
    };
    auto withTriangle = [&f](int i, qint32 index) {
        SrfFixture g = f;
        g.triangles[i] = index;
        return g.bytes();
    };

    const QString damaged = "not a readable SRF mesh (";
    QTest::newRow("empty") << QByteArray() << damaged;
    QTest::newRow("reserved value cut") << f.bytes(SrfFixture::Header).left(6) << damaged;
    QTest::newRow("counts cut") << f.bytes(SrfFixture::Header).left(14) << damaged;
    QTest::newRow("centre cut") << f.bytes(SrfFixture::Header).chopped(1) << damaged;
    QTest::newRow("negative vertex count") << header(-1, 0) << damaged;
    QTest::newRow("negative triangle count") << header(0, -1) << damaged;
    QTest::newRow("huge triangle count") << header(0, 0x7fffffff) << damaged;
    QTest::newRow("vertices cut") << f.bytes(SrfFixture::Vertices).chopped(1) << damaged;
    QTest::newRow("colour codes cut") << f.bytes(SrfFixture::VertexColors).chopped(1) << damaged;
    QTest::newRow("neighbours cut") << f.bytes(SrfFixture::Neighbors).chopped(1) << damaged;
    QTest::newRow("triangles cut") << f.bytes(SrfFixture::Triangles).chopped(1) << damaged;
    QTest::newRow("negative neighbour count")
        << countAfter(SrfFixture::VertexColors, -1) << damaged;
    QTest::newRow("huge neighbour count")
        << countAfter(SrfFixture::VertexColors, 0x20000000) << damaged;
    QTest::newRow("neighbour count beyond int16")
        << withRing(2, QList<qint32>(32768, 1)) << damaged;
    QTest::newRow("neighbour index too large") << withRing(3, {5, 4, 6, 1}) << damaged;
    QTest::newRow("negative neighbour index") << withRing(0, {1, 2, -1, 5}) << damaged;
    QTest::newRow("triangle index too large") << withTriangle(23, 6) << damaged;
    QTest::newRow("negative triangle index") << withTriangle(0, -1) << damaged;
    QTest::newRow("huge triangle index") << withTriangle(5, 0x7fffffff) << damaged;

    SrfFixture badStrip = f;
    badStrip.strips[2] = 6;
    QTest::newRow("strip index too large") << badStrip.bytes() << damaged;
    QTest::newRow("strips cut") << f.bytes(SrfFixture::Strips).chopped(1) << damaged;
    SrfFixture noTriangles;
    noTriangles.vertices = f.vertices.mid(0, 1);
    noTriangles.vertices[0].neighbors = {0};
    noTriangles.strips = {0, 1};
    QTest::newRow("strip index past the only vertex") << noTriangles.bytes() << damaged;

    // Meshes that read but would show nothing, or nothing sound.
    auto rowWith = [&f](const char *name, const QString &reason, auto change) {
        SrfFixture g = f;
        change(g);
        QTest::newRow(name) << g.bytes() << reason;
    };
    const float nan = std::nanf("");
    const QString noVertices = "an empty mesh: it holds no vertices",
                  noStripTriangle = "its triangle strips hold no triangle";
    rowWith("no vertices after a reserved -1", noVertices,
            [](SrfFixture &g) { g.reservedValue = -1; });
    QTest::newRow("nothing after a reserved -1")
        << FixtureStream().f32(4).i32(-1).data << noVertices;
    QTest::newRow("no vertices") << SrfFixture().bytes()
                                 << "a mesh of 0 vertices has no surface to show";
    SrfFixture one;
    one.vertices = f.vertices.mid(0, 1);
    one.vertices[0].neighbors.clear();
    QTest::newRow("one vertex") << one.bytes() << "a mesh of 1 vertex has no surface to show";
    rowWith("coordinate not a number", "vertex 4 has a coordinate that is not a number",
            [nan](SrfFixture &g) { g.vertices[4].z = nan; });
    rowWith("coordinate 3e38", "vertex 2 lies at (0, 3e+38, 1), beyond ±100000 mm",
            [](SrfFixture &g) { g.vertices[2].y = 3e38f; });
    rowWith("coordinate -3e38", "vertex 0 lies at (-3e+38, 0, 0), beyond ±100000 mm",
            [](SrfFixture &g) { g.vertices[0].x = -3e38f; });
    rowWith("centre not a number", "the mesh centre has a coordinate that is not a number",
            [nan](SrfFixture &g) { g.meshCenter[1] = nan; });
    rowWith("all vertices at one point", "all 6 vertices lie at one point", [](SrfFixture &g) {
        for (SrfFixture::Vertex &v : g.vertices)
            v.x = v.y = v.z = 7;
    });
    rowWith("strips all separators", noStripTriangle,
            [](SrfFixture &g) { g.strips = QList<qint32>(9, -1); });
    rowWith("strips of two", noStripTriangle,
            [](SrfFixture &g) { g.strips = {0, 1, -1, 2, 3, -1}; });
    rowWith("no triangles", "a mesh of 6 vertices and no triangles has no surface to show",
            [](SrfFixture &g) {
                g.version = 2;
                g.triangles.clear();
            });
    rowWith("version not a number", "SRF version nan is not one the viewer reads (0 to 4)",
            [nan](SrfFixture &g) { g.version = nan; });
    rowWith("version 5", "SRF version 5 is not one the viewer reads",
            [](SrfFixture &g) { g.version = 5; });
    rowWith("negative version", "SRF version -4 is not", [](SrfFixture &g) { g.version = -4; });
    QByteArray intVersion = f.bytes();
    const qint32 four = 4;
    std::memcpy(intVersion.data(), &four, 4);
    QTest::newRow("version stored as an int") << intVersion << "SRF version 5.60519e-45 is not";
}

void TestSrf::brokenFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    SurfaceMesh mesh;
    QVERIFY(!readBytes(mesh, bytes));
    QVERIFY2(mesh.failureReason().contains(reason), qPrintable(mesh.failureReason()));
}

// Counts are weighed against the file before any array is made for them.
void TestSrf::hugeCountsAllocateNothing()
{
    SurfaceMesh mesh;
    QVERIFY(!readBytes(mesh, header(0x7fffffff, 0)) && !mesh.vertexX);
    QVERIFY(!readBytes(mesh, header(1, 0x2000000)) && !mesh.triangles);
    QVERIFY(!readBytes(mesh, countAfter(SrfFixture::Triangles, 0x10000000)) &&
            !mesh.triangleStrips);
}

void TestSrf::indirectVertices_data()
{
    QTest::addColumn<QByteArray>("alternate");   // null: no such file
    QTest::addColumn<QByteArray>("name");        // as the mesh file names it; %1 the test folder
    QTest::addColumn<QString>("inItsPlace");     // "folder" or "fifo" instead of a file
    QTest::addColumn<bool>("inWorkingFolder");   // a valid alternate file there too
    QTest::addColumn<QList<float>>("altColors"); // empty: the alternate set is refused
    auto row = [](const char *name, const QByteArray &alternate, const QByteArray &named,
                  const QList<float> &altColors, const QString &inItsPlace = {},
                  bool inWorkingFolder = false) {
        QTest::newRow(name) << alternate << named << inItsPlace << inWorkingFolder << altColors;
    };

    SrfFixture alt = inflated();
    const QList<float> altColors = {0.125f, 0.8f, 0.1f, 0.2f, 0.3f, 0.625f}, refused;
    row("absolute name", alt.bytes(), "%1/alt.srf", altColors);
    row("relative name", alt.bytes(), "sub/alt.srf", altColors);
    row("beside the mesh and in the working folder", alt.bytes(), "sub/alt.srf", altColors, {},
        true);
    row("only in the working folder", QByteArray(), "sub/alt.srf", refused, {}, true);
    row("a folder", QByteArray(), "sub/alt.srf", refused, "folder", true);
    // Opening a FIFO for reading would wait for a writer that never comes.
    row("a FIFO", QByteArray(), "sub/alt.srf", refused, "fifo", true);
    // A name longer than the format's 263 bytes is cut there.
    const QByteArray longName = QByteArray(100, 'd') + '/' + QByteArray(162, 'e');
    row("long name", alt.bytes(), longName + QByteArray(400, 'x'), altColors);
    row("itself", QByteArray(), "%1/meshes/main.srf", {0.9f, 0.8f, 0.1f, 0.2f, 0.3f, 0.4f});
    alt.version = 1.0f;
    row("version 1", alt.bytes(), "alt.srf", altColors);
    alt.version = 0.0f; // no mesh colours
    row("version 0", alt.bytes(), "alt.srf", {0.5f, 0.5f, 0.5f, 0.25f, 0.25f, 0.25f});

    row("missing", QByteArray(), "alt.srf", refused);
    row("empty file", "", "alt.srf", refused);
    alt = SrfFixture::octahedron();
    row("counts cut", alt.bytes(SrfFixture::Header).left(12), "alt.srf", refused);
    row("vertices cut", alt.bytes(SrfFixture::Vertices).chopped(1), "alt.srf", refused);
    row("colour codes cut", alt.bytes(SrfFixture::VertexColors).chopped(1), "alt.srf", refused);
    alt.reservedValue = 1;
    row("other reserved value", alt.bytes(), "alt.srf", refused);
    alt.reservedValue = 0;
    alt.vertices.removeLast();
    for (SrfFixture::Vertex &v : alt.vertices)
        v.neighbors.clear();
    alt.triangles.clear();
    row("other vertex count", alt.bytes(), "alt.srf", refused);
}

// The alternate vertex set named in a mesh file is read from that file, a
// relative name from the mesh's folder, never the working folder, and only a
// regular file; however it fails, the mesh itself is read.
void TestSrf::indirectVertices()
{
    QFETCH(QByteArray, alternate);
    QFETCH(QByteArray, name);
    QFETCH(QString, inItsPlace);
    QFETCH(bool, inWorkingFolder);
    QFETCH(QList<float>, altColors);
    QTemporaryDir root;
    const QString meshFolder = root.filePath("meshes"), workingFolder = root.filePath("work");
    name.replace("%1", QFile::encodeName(root.path()));
    const QString named = QFile::decodeName(name.left(263));
    const QString altPath = QDir(meshFolder).filePath(named);
    QVERIFY(QDir().mkpath(QFileInfo(altPath).path()) && QDir().mkpath(meshFolder) &&
            QDir().mkpath(workingFolder));
    if (!alternate.isNull())
        QVERIFY(writeFile(altPath, alternate));
    else if (inItsPlace == "folder")
        QVERIFY(QDir().mkpath(altPath));
#ifdef Q_OS_UNIX
    else if (inItsPlace == "fifo")
        QCOMPARE(mkfifo(QFile::encodeName(altPath).constData(), 0600), 0);
#endif
    if (inWorkingFolder) {
        SrfFixture other = inflated();
        for (SrfFixture::Vertex &v : other.vertices)
            v.x *= 3;
        const QString decoy = QDir(workingFolder).filePath(named);
        QVERIFY(QDir().mkpath(QFileInfo(decoy).path()) && writeFile(decoy, other.bytes()));
    }
    SrfFixture main = SrfFixture::octahedron();
    main.indirectFile = name;
    const QString mainPath = meshFolder + "/main.srf";
    QVERIFY(writeFile(mainPath, main.bytes()));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(workingFolder));
    SurfaceMesh mesh;
    const bool read = mesh.readMesh(mainPath);
    QDir::setCurrent(previous);

    QVERIFY(read && mesh.meshLoaded);
    QCOMPARE(mesh.fileNameWithPath, mainPath);
    QCOMPARE(corners(mesh.vertexX.get(), mesh.vertexY.get(), mesh.vertexZ.get(), 6), corners(main));
    QCOMPARE(mesh.indirectVerticesLoaded, !altColors.isEmpty());
    if (altColors.isEmpty()) {
        QVERIFY(mesh.indirectMeshFile.isEmpty() && !mesh.altVertexX && !mesh.altVertexColors);
        QCOMPARE(mesh.altNrOfVertices, 0);
        return;
    }
    QCOMPARE(mesh.indirectMeshFile, name.left(263));
    QCOMPARE(toList(mesh.altMeshColor0, 3) + toList(mesh.altMeshColor1, 3), altColors);
    const SrfFixture expected = alternate.isNull() ? main : inflated();
    QCOMPARE(corners(mesh.altVertexX.get(), mesh.altVertexY.get(), mesh.altVertexZ.get(), 6),
             corners(expected));
    QCOMPARE(mesh.altNrOfVertices, 6);
    QCOMPARE(mesh.altNrOfTriangles, expected.triangles.size() / 3);
    for (int v = 0; v < 6; ++v) {
        QCOMPARE(mesh.altNormalZ[v], expected.vertices[v].nz);
        QCOMPARE(mesh.altVertexColors[v], expected.vertices[v].color);
    }
}

QTEST_GUILESS_MAIN(TestSrf)
#include "tst_srf.moc"
