#include "CXSCore.h"
#include "FixtureStream.h"
#include "SrfFixture.h"
#include "SurfaceMesh.h"

#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

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

QList<float> column(const SrfFixture &f, float SrfFixture::Vertex::*field)
{
    QList<float> values;
    for (const SrfFixture::Vertex &v : f.vertices)
        values << v.*field;
    return values;
}

QList<float> normalOf(const SurfaceMesh &mesh, int v)
{
    return {mesh.normalX[v], mesh.normalY[v], mesh.normalZ[v]};
}

bool fuzzyEqual(const QList<float> &a, const QList<float> &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (std::abs(a[i] - b[i]) > 1e-6f)
            return false;
    }
    return true;
}

} // namespace

class TestSrf : public QObject
{
    Q_OBJECT

private slots:
    void versions_data();
    void versions();
    void contents();
    void notReadYet();
    void deletedVertices();
    void edgeLengths();
    void meanNrOfNeighbors();
    void undoColors();
    void trailingFieldsMissing();
    void bigEndianHost();
    void brokenFiles_data();
    void brokenFiles();
    void hugeCountsAllocateNothing();
    void fromFile();
    void indirectVertices();
    void indirectVerticesRefused_data();
    void indirectVerticesRefused();
    void longIndirectName();

private:
    CXSCore core;
};

void TestSrf::versions_data()
{
    QTest::addColumn<float>("version");
    QTest::addColumn<bool>("meshColors");
    QTest::addColumn<bool>("strips");
    QTest::addColumn<bool>("name");

    QTest::newRow("0.5") << 0.5f << false << false << false;
    QTest::newRow("1") << 1.0f << true << false << false;
    QTest::newRow("2") << 2.0f << true << false << false;
    QTest::newRow("3") << 3.0f << true << true << false;
    QTest::newRow("4") << 4.0f << true << true << true;
}

void TestSrf::versions()
{
    QFETCH(float, version);
    QFETCH(bool, meshColors);
    QFETCH(bool, strips);
    QFETCH(bool, name);

    SrfFixture f = SrfFixture::octahedron();
    f.version = version;
    f.indirectFile = "alt.srf";
    // Bytes that a reader of the wrong version would take for strips or a name.
    const QByteArray tail = FixtureStream().i32(2).i32(1).i32(0).cstr("x").data;
    QByteArray bytes = f.bytes();
    if (version < 3)
        bytes += tail;

    SurfaceMesh mesh(&core);
    QVERIFY(readBytes(mesh, bytes));
    QVERIFY(mesh.meshLoaded);
    QCOMPARE(mesh.nrOfVertices, 6);
    QCOMPARE(mesh.nrOfTriangles, 8);
    QCOMPARE(mesh.meshColor0[1], meshColors ? 0.8f : 0.7f);
    QCOMPARE(mesh.meshColor0[3], meshColors ? 0.5f : 1.0f);
    QCOMPARE(mesh.meshColor1[2], meshColors ? 0.4f : 0.3f);
    QCOMPARE(mesh.hasTriangleStrips, strips);
    QCOMPARE(mesh.nrOfTriangleStrips, strips ? 8 : 0);
    QCOMPARE(mesh.indirectMeshFile, name ? QByteArray("alt.srf") : QByteArray());
    QCOMPARE(toList(mesh.vertexColors, 6), QList<int>({0, 1, 0, 1, 0, 1}));
}

void TestSrf::contents()
{
    SrfFixture f = SrfFixture::octahedron();
    f.reservedValue = 2;
    SurfaceMesh mesh(&core);
    QVERIFY(readBytes(mesh, f.bytes()));

    QCOMPARE(mesh.reservedValue, 2);
    QCOMPARE(toList(mesh.meshCenter, 3), QList<float>({128.0f, 127.5f, 126.0f}));
    QCOMPARE(toList(mesh.vertexX, 6), column(f, &SrfFixture::Vertex::x));
    QCOMPARE(toList(mesh.vertexY, 6), column(f, &SrfFixture::Vertex::y));
    QCOMPARE(toList(mesh.vertexZ, 6), column(f, &SrfFixture::Vertex::z));
    QCOMPARE(toList(mesh.meshColor0, 4), QList<float>({0.9f, 0.8f, 0.1f, 0.5f}));
    QCOMPARE(toList(mesh.meshColor1, 4), QList<float>({0.2f, 0.3f, 0.4f, 0.6f}));
    QCOMPARE(mesh.nrOfNeighbors, QList<qint16>(6, 4));
    for (int v = 0; v < 6; ++v)
        QCOMPARE(mesh.neighbors[v], f.vertices[v].neighbors);
    QCOMPARE(toList(mesh.triangles, 24), f.triangles);
    QCOMPARE(toList(mesh.triangleStrips, 8), f.strips);
    QVERIFY(mesh.noDeletedRegions);
    QVERIFY(!mesh.indirectVerticesLoaded);
    QCOMPARE(mesh.fileNameWithPath, "untitled.srf");

    // The stored normals (0, 0, 7) give way to computed ones, outward here.
    for (int v = 0; v < 6; ++v) {
        const QList<float> corner = {f.vertices[v].x, f.vertices[v].y, f.vertices[v].z};
        QVERIFY2(fuzzyEqual(normalOf(mesh, v), corner), qPrintable(QString::number(v)));
    }
}

void TestSrf::notReadYet()
{
    SurfaceMesh mesh(&core);
    QCOMPARE(mesh.reservedValue, -1);
    QCOMPARE(toList(mesh.meshColor0, 4), QList<float>({1.0f, 0.7f, 0.3f, 1.0f}));
    QCOMPARE(toList(mesh.meshColor1, 4), QList<float>({0.3f, 0.3f, 0.3f, 1.0f}));
    QCOMPARE(mesh.renderMode, 1);
    int edges = -1;
    float minLength = -1, maxLength = -1;
    QCOMPARE(mesh.computeAverageEdgeLength(edges, minLength, maxLength), 0.0);
    QCOMPARE(edges, 0);
    mesh.computeVertexNormals();
    QVERIFY(mesh.hasNoDeletedRegions());

    // A negative reserved value ends the file: an empty mesh, read successfully.
    SrfFixture f = SrfFixture::octahedron();
    f.reservedValue = -1;
    QVERIFY(readBytes(mesh, f.bytes()));
    QCOMPARE(mesh.reservedValue, -1);
    QCOMPARE(mesh.nrOfVertices, 0);
    QVERIFY(!mesh.vertexX);
    QVERIFY(!mesh.meshLoaded);
    QVERIFY(readBytes(mesh, f.bytes(SrfFixture::Header).left(8)));
}

void TestSrf::deletedVertices()
{
    SrfFixture f = SrfFixture::octahedron();
    f.vertices[1].color = -1;
    SurfaceMesh mesh(&core);
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
    for (int v = 0; v < 6; ++v) {
        QCOMPARE(normalOf(mesh, v), QList<float>({0, 0, 0}));
        QCOMPARE(mesh.vertexColors[v], -10000);
    }

    // Without neighbours there is no normal either.
    f = SrfFixture::octahedron();
    f.vertices[2].neighbors.clear();
    QVERIFY(readBytes(mesh, f.bytes()));
    QCOMPARE(mesh.vertexColors[2], -10000);
    QVERIFY(mesh.noDeletedRegions); // judged before the normals were computed
    QVERIFY(!mesh.hasNoDeletedRegions());
}

void TestSrf::edgeLengths()
{
    SrfFixture f = SrfFixture::octahedron();
    f.vertices[0].x = 2; // edges from vertex 0 become sqrt(5)
    SurfaceMesh mesh(&core);
    QVERIFY(readBytes(mesh, f.bytes()));
    int edges = 0;
    float minLength = 0, maxLength = 0;
    const double mean = mesh.computeAverageEdgeLength(edges, minLength, maxLength);
    QCOMPARE(edges, 12); // both ends list every edge
    QCOMPARE(mean, (4 * std::sqrt(5.0) + 8 * std::sqrt(2.0)) / 12);
    QCOMPARE(minLength, float(std::sqrt(2.0)));
    QCOMPARE(maxLength, float(std::sqrt(5.0)));

    f.vertices[0].color = -1;
    QVERIFY(readBytes(mesh, f.bytes()));
    QCOMPARE(mesh.computeAverageEdgeLength(edges, minLength, maxLength), std::sqrt(2.0));
    QCOMPARE(edges, 8);

    // No usable edge: no division by zero.
    for (SrfFixture::Vertex &v : f.vertices)
        v.color = -1;
    QVERIFY(readBytes(mesh, f.bytes()));
    QCOMPARE(mesh.computeAverageEdgeLength(edges, minLength, maxLength), 0.0);
    QCOMPARE(edges, 0);
    QCOMPARE(minLength, 1000.0f);
    QCOMPARE(maxLength, 0.0f);

    SrfFixture empty;
    QVERIFY(readBytes(mesh, empty.bytes()));
    QCOMPARE(mesh.computeAverageEdgeLength(edges, minLength, maxLength), 0.0);
    QCOMPARE(edges, 0);
    QCOMPARE(minLength, 1000.0f);
}

void TestSrf::meanNrOfNeighbors()
{
    SrfFixture f = SrfFixture::octahedron();
    f.vertices[5].neighbors << 1 << 2 << 3;
    SurfaceMesh mesh(&core);
    QVERIFY(readBytes(mesh, f.bytes()));
    QCOMPARE(mesh.calculateMeanNrOfNeighbors(), 27.0f / 6);
    QVERIFY(readBytes(mesh, SrfFixture().bytes()));
    QCOMPARE(mesh.calculateMeanNrOfNeighbors(), 0.0f);
}

void TestSrf::undoColors()
{
    SurfaceMesh mesh(&core);
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
    QCOMPARE(toList(mesh.vertexColors, 6), QList<int>({0, 1, 0, 1, 0, 1}));
    QVERIFY(mesh.noDeletedRegions);

    mesh.vertexColors[1] = 7;
    mesh.saveMeshColorsForUndo();
    mesh.vertexColors[1] = 8;
    mesh.undoMeshColors();
    QCOMPARE(mesh.vertexColors[1], 7);
}

// Strips and the alternate file name may be missing at the end of a file.
void TestSrf::trailingFieldsMissing()
{
    SrfFixture f = SrfFixture::octahedron();
    f.indirectFile = "other.srf";
    const QByteArray triangles = f.bytes(SrfFixture::Triangles);
    const QByteArray strips = f.bytes(SrfFixture::Strips);
    SurfaceMesh mesh(&core);
    for (int extra : {0, 1, 3}) {
        QVERIFY(readBytes(mesh, strips.left(triangles.size() + extra)));
        QVERIFY(mesh.meshLoaded);
        QVERIFY(!mesh.hasTriangleStrips);
        QCOMPARE(mesh.nrOfTriangleStrips, 0);
        QVERIFY(mesh.indirectMeshFile.isNull());
    }
    QVERIFY(readBytes(mesh, strips));
    QVERIFY(mesh.hasTriangleStrips);
    QVERIFY(mesh.indirectMeshFile.isNull());
    QVERIFY(readBytes(mesh, f.bytes().chopped(1)));
    QCOMPARE(mesh.indirectMeshFile, "other.srf");
    QVERIFY(readBytes(mesh, f.bytes().chopped(4)));
    QCOMPARE(mesh.indirectMeshFile, "other.");

    // A strip count below one means no strips.
    QVERIFY(readBytes(mesh, triangles + FixtureStream().i32(-5).cstr("").data));
    QVERIFY(!mesh.hasTriangleStrips);
    QVERIFY(!mesh.triangleStrips);
}

void TestSrf::bigEndianHost()
{
    const SrfFixture f = SrfFixture::octahedron();
    SurfaceMesh little(&core);
    QVERIFY(readBytes(little, f.bytes()));
    CXSCore bigEndianCore;
    bigEndianCore.hostIsBigEndian = true;
    SurfaceMesh big(&bigEndianCore);
    QVERIFY(readBytes(big, f.bytes()));
    for (auto field : {&SurfaceMesh::vertexX, &SurfaceMesh::vertexY, &SurfaceMesh::vertexZ,
                       &SurfaceMesh::normalX, &SurfaceMesh::normalY, &SurfaceMesh::normalZ})
        QCOMPARE(toList(big.*field, 6), toList(little.*field, 6));
    QCOMPARE(toList(big.vertexColors, 6), toList(little.vertexColors, 6));
    QCOMPARE(big.neighbors, little.neighbors);
    QCOMPARE(toList(big.triangles, 24), toList(little.triangles, 24));
    QCOMPARE(toList(big.triangleStrips, 8), toList(little.triangleStrips, 8));
}

void TestSrf::brokenFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");

    const SrfFixture f = SrfFixture::octahedron();
    auto header = [](qint32 vertices, qint32 triangles) {
        return FixtureStream().f32(4).i32(0).i32(vertices).i32(triangles).f32(0).f32(0).f32(0).data;
    };
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

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("reserved value cut") << f.bytes(SrfFixture::Header).left(6);
    QTest::newRow("counts cut") << f.bytes(SrfFixture::Header).left(14);
    QTest::newRow("centre cut") << f.bytes(SrfFixture::Header).chopped(1);
    QTest::newRow("negative vertex count") << header(-1, 0) + QByteArray(1000, 0);
    QTest::newRow("negative triangle count") << header(0, -1) + QByteArray(1000, 0);
    QTest::newRow("huge vertex count") << header(0x7fffffff, 0) + QByteArray(1000, 0);
    QTest::newRow("huge triangle count") << header(0, 0x7fffffff) + QByteArray(1000, 0);
    QTest::newRow("vertices missing") << f.bytes(SrfFixture::Header);
    QTest::newRow("vertices cut") << f.bytes(SrfFixture::Vertices).chopped(1);
    QTest::newRow("colour codes cut") << f.bytes(SrfFixture::VertexColors).chopped(1);
    QTest::newRow("neighbours missing") << f.bytes(SrfFixture::VertexColors);
    QTest::newRow("neighbours cut") << f.bytes(SrfFixture::Neighbors).chopped(1);
    QTest::newRow("triangles missing") << f.bytes(SrfFixture::Neighbors);
    QTest::newRow("triangles cut") << f.bytes(SrfFixture::Triangles).chopped(1);
    QTest::newRow("negative neighbour count")
        << f.bytes(SrfFixture::VertexColors) + FixtureStream().i32(-1).data + QByteArray(1000, 0);
    QTest::newRow("huge neighbour count") << f.bytes(SrfFixture::VertexColors) +
                                                 FixtureStream().i32(0x20000000).data +
                                                 QByteArray(1000, 0);
    QTest::newRow("neighbour count beyond int16") << withRing(2, QList<qint32>(32768, 1));
    QTest::newRow("neighbour index too large") << withRing(3, {5, 4, 6, 1});
    QTest::newRow("negative neighbour index") << withRing(0, {1, 2, -1, 5});
    QTest::newRow("triangle index too large") << withTriangle(23, 6);
    QTest::newRow("negative triangle index") << withTriangle(0, -1);
    QTest::newRow("huge triangle index") << withTriangle(5, 0x7fffffff);

    SrfFixture badStrip = f;
    badStrip.strips[2] = 6;
    QTest::newRow("strip index too large") << badStrip.bytes();
    QTest::newRow("huge strip count") << f.bytes(SrfFixture::Triangles) +
                                             FixtureStream().i32(0x7fffffff).data +
                                             QByteArray(100, 0);
    QTest::newRow("strips cut") << f.bytes(SrfFixture::Strips).chopped(1);
    SrfFixture noTriangles;
    noTriangles.vertices = f.vertices.mid(0, 1);
    noTriangles.vertices[0].neighbors = {0};
    noTriangles.strips = {0, 1};
    QTest::newRow("strip index past the only vertex") << noTriangles.bytes();
}

void TestSrf::brokenFiles()
{
    QFETCH(QByteArray, bytes);
    SurfaceMesh mesh(&core);
    QVERIFY(!readBytes(mesh, bytes));
}

// Counts are weighed against the file before any array is made for them.
void TestSrf::hugeCountsAllocateNothing()
{
    const QByteArray header = FixtureStream().f32(4).i32(0).data;
    const QByteArray centre = FixtureStream().f32(0).f32(0).f32(0).data + QByteArray(1000, 0);
    SurfaceMesh mesh(&core);
    QVERIFY(!readBytes(mesh, header + FixtureStream().i32(0x7fffffff).i32(0).data + centre));
    QVERIFY(!mesh.vertexX);
    QVERIFY(!readBytes(mesh, header + FixtureStream().i32(1).i32(0x2000000).data + centre));
    QVERIFY(!mesh.triangles);

    const QByteArray triangles = SrfFixture::octahedron().bytes(SrfFixture::Triangles);
    QVERIFY(!readBytes(mesh, triangles + FixtureStream().i32(0x10000000).data));
    QVERIFY(!mesh.triangleStrips);
}

void TestSrf::fromFile()
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/lh.srf";
    SrfFixture f = SrfFixture::octahedron();
    f.reservedValue = -1;
    QVERIFY(writeFile(path, f.bytes()));
    SurfaceMesh mesh(&core);
    QVERIFY(mesh.readMesh(path));
    QCOMPARE(mesh.fileNameWithPath, path);

    SurfaceMesh missing(&core);
    QVERIFY(!missing.readMesh(dir.path() + "/rh.srf"));
    QVERIFY(!missing.readMesh(dir.path()));
    QCOMPARE(missing.fileNameWithPath, "untitled.srf");
}

void TestSrf::indirectVertices()
{
    QTemporaryDir dir;
    SrfFixture alt = SrfFixture::octahedron();
    for (SrfFixture::Vertex &v : alt.vertices) {
        v.x *= 2;
        v.nz = -1;
        v.color = 0x3F102030;
    }
    alt.triangles.resize(6);
    alt.meshColor0[0] = 0.125f;
    alt.meshColor1[2] = 0.625f;
    QVERIFY(writeFile(dir.path() + "/inflated.srf", alt.bytes()));

    SrfFixture main = SrfFixture::octahedron();
    main.indirectFile = QFile::encodeName(dir.path() + "/inflated.srf");
    const QString mainPath = dir.path() + "/white.srf";
    QVERIFY(writeFile(mainPath, main.bytes()));

    SurfaceMesh mesh(&core);
    QVERIFY(mesh.readMesh(mainPath));
    QVERIFY(mesh.indirectVerticesLoaded);
    QCOMPARE(mesh.indirectMeshFile, main.indirectFile);
    QCOMPARE(mesh.altNrOfVertices, 6);
    QCOMPARE(mesh.altNrOfTriangles, 2);
    QCOMPARE(toList(mesh.altVertexX, 6), column(alt, &SrfFixture::Vertex::x));
    QCOMPARE(toList(mesh.altVertexY, 6), column(alt, &SrfFixture::Vertex::y));
    QCOMPARE(toList(mesh.altNormalZ, 6), QList<float>(6, -1));
    QCOMPARE(toList(mesh.altVertexColors, 6), QList<int>(6, 0x3F102030));
    QCOMPARE(toList(mesh.altMeshColor0, 3), QList<float>({0.125f, 0.8f, 0.1f}));
    QCOMPARE(toList(mesh.altMeshColor1, 3), QList<float>({0.2f, 0.3f, 0.625f}));
    QCOMPARE(toList(mesh.vertexX, 6), column(main, &SrfFixture::Vertex::x));

    // Before version 1 the alternate file has no colours; relative names are
    // taken from the current folder.
    alt.version = 0.0f;
    QVERIFY(writeFile(dir.path() + "/inflated.srf", alt.bytes()));
    main.indirectFile = "inflated.srf";
    QVERIFY(writeFile(mainPath, main.bytes()));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    SurfaceMesh relative(&core);
    const bool read = relative.readMesh(mainPath);
    QDir::setCurrent(previous);
    QVERIFY(read);
    QVERIFY(relative.indirectVerticesLoaded);
    QCOMPARE(toList(relative.altMeshColor0, 3), QList<float>({0.5f, 0.5f, 0.5f}));
    QCOMPARE(toList(relative.altMeshColor1, 3), QList<float>({0.25f, 0.25f, 0.25f}));

    // A file naming itself is read once more as its own alternate set.
    main.indirectFile = QFile::encodeName(mainPath);
    QVERIFY(writeFile(mainPath, main.bytes()));
    SurfaceMesh self(&core);
    QVERIFY(self.readMesh(mainPath));
    QVERIFY(self.indirectVerticesLoaded);
    QCOMPARE(toList(self.altVertexZ, 6), column(main, &SrfFixture::Vertex::z));
}

void TestSrf::indirectVerticesRefused_data()
{
    QTest::addColumn<QByteArray>("alternate");

    SrfFixture alt = SrfFixture::octahedron();
    QTest::newRow("missing") << QByteArray();
    QTest::newRow("empty file") << QByteArray("");
    alt.reservedValue = 1;
    QTest::newRow("other reserved value") << alt.bytes();
    alt.reservedValue = 0;
    alt.vertices.removeLast();
    for (SrfFixture::Vertex &v : alt.vertices)
        v.neighbors.clear();
    alt.triangles.clear();
    QTest::newRow("other vertex count") << alt.bytes();
    alt = SrfFixture::octahedron();
    QTest::newRow("counts cut") << alt.bytes(SrfFixture::Header).left(12);
    QTest::newRow("vertices cut") << alt.bytes(SrfFixture::Vertices).chopped(1);
    QTest::newRow("colour codes cut") << alt.bytes(SrfFixture::VertexColors).chopped(1);
}

// However the alternate file fails, the mesh itself is read.
void TestSrf::indirectVerticesRefused()
{
    QFETCH(QByteArray, alternate);
    QTemporaryDir dir;
    const QString altPath = dir.path() + "/alt.srf";
    if (!alternate.isNull())
        QVERIFY(writeFile(altPath, alternate));
    SrfFixture main = SrfFixture::octahedron();
    main.indirectFile = QFile::encodeName(altPath);
    const QString mainPath = dir.path() + "/main.srf";
    QVERIFY(writeFile(mainPath, main.bytes()));

    SurfaceMesh mesh(&core);
    QVERIFY(mesh.readMesh(mainPath));
    QVERIFY(mesh.meshLoaded);
    QVERIFY(!mesh.indirectVerticesLoaded);
    QVERIFY(mesh.indirectMeshFile.isEmpty());
    QVERIFY(!mesh.altVertexX);
    QVERIFY(!mesh.altVertexColors);
    QCOMPARE(mesh.altNrOfVertices, 0);
}

// A name longer than the format's 263 bytes is cut there.
void TestSrf::longIndirectName()
{
    QTemporaryDir dir;
    const QString folder = dir.path() + '/' + QString(100, 'd');
    QVERIFY(QDir().mkpath(folder));
    const int rest = 263 - int(QFile::encodeName(folder).size()) - 1;
    QVERIFY(rest > 10 && rest < 250);
    const QString altPath = folder + '/' + QString(rest, 'e');
    QVERIFY(writeFile(altPath, SrfFixture::octahedron().bytes()));

    SrfFixture main = SrfFixture::octahedron();
    main.indirectFile = QFile::encodeName(altPath) + QByteArray(400, 'x');
    const QString mainPath = dir.path() + "/main.srf";
    QVERIFY(writeFile(mainPath, main.bytes()));
    SurfaceMesh mesh(&core);
    QVERIFY(mesh.readMesh(mainPath));
    QVERIFY(mesh.indirectVerticesLoaded);
    QCOMPARE(mesh.indirectMeshFile, QFile::encodeName(altPath));
}

QTEST_GUILESS_MAIN(TestSrf)
#include "tst_srf.moc"
