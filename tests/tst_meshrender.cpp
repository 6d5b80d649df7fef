#include "C3dMatrix.h"
#include "MeshArrays.h"
#include "MeshCamera.h"
#include "MeshLights.h"
#include "MeshRenderMode.h"
#include "SrfFixture.h"
#include "SurfaceMesh.h"
#include "ViewingParameters.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const int none = -1000; // no move of a kind

// Vertices 0, 1, 2 … along x, without neighbours; triangles and strips as given.
SrfFixture row(int count, const QList<int> &triangles, const QList<int> &strips = {})
{
    SrfFixture f;
    for (int i = 0; i < count; ++i)
        f.vertices << SrfFixture::Vertex{float(i), 0, 0, 0, 0, 1, 0, {}};
    f.triangles = triangles;
    f.strips = strips;
    return f;
}

// The colour codes are set after reading, which marks vertices without
// neighbours deleted.
std::unique_ptr<SurfaceMesh> read(const SrfFixture &f, const QList<int> &codes = {})
{
    auto mesh = std::make_unique<SurfaceMesh>();
    QBuffer buffer;
    buffer.setData(f.bytes());
    buffer.open(QIODevice::ReadOnly);
    if (!mesh->readMesh(buffer))
        return nullptr;
    std::copy(codes.begin(), codes.end(), mesh->vertexColors.get());
    return mesh;
}

// The colours sent, one letter each (fixture mesh colours): x convex, c concave,
// h highlight, w white, r 0x102030, m 0xFFFFFF; "." in the expected text
// stands for a colour that cannot show.
QString coloursSent(const MeshArrays &arrays)
{
    const QMap<QString, QList<float>> letters = {{"x", {0.9f, 0.8f, 0.1f, 0.4f}},
                                                 {"c", {0.2f, 0.3f, 0.4f, 0.4f}},
                                                 {"h", {0.8f, 0.1f, 0.1f, 0.4f}},
                                                 {"w", {1, 1, 1, 1}},
                                                 {"r", {16 / 255.f, 32 / 255.f, 48 / 255.f, 0.4f}},
                                                 {"m", {1, 1, 1, 0.4f}}};
    QString text;
    for (quint32 slot : arrays.indices()) {
        const float *c = arrays.colours().data() + 4 * slot;
        text += letters.key(QList<float>(c, c + 4), "?");
    }
    return text;
}

QList<float> triple(const float *v)
{
    return {v[0], v[1], v[2]};
}

} // namespace

class TestMeshRender : public QObject
{
    Q_OBJECT

private slots:
    void colourCodes_data();
    void colourCodes();
    void vertexSentInTwoColours();
    void mirroredAndSwapped();
    void strips_data();
    void strips();
    void renderModes();
    void viewingParameters_data();
    void viewingParameters();
    void cameraMoves();
    void rotationFlick();
    void flickPriority();
    void lights();
};

void TestMeshRender::colourCodes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QList<int>>("codes"); // of vertices 0..5, sent in that order
    QTest::addColumn<QString>("colours");

    QTest::newRow("mesh colours") << 1 << QList<int>{0, 1, 0, 1, 1, 0} << "xcxccx";
    QTest::newRow("2..999 concave") << 1 << QList<int>{2, 999, 0, 500, 3, 1} << "ccxccc";
    QTest::newRow("negative highlight")
        << 1 << QList<int>{-1, -10000, 0, INT_MIN, 1, -5} << "hhxhch";
    QTest::newRow("direct RGB") << 1
                                << QList<int>{0x3F102030, 0x3FFFFFFF, 0, 0x7F102030, 1, 0x3FFFFFFF}
                                << "rmxrcm";
    QTest::newRow("5000 after 0") << 1 << QList<int>{0, 5000, 1, 1000, 0x3EFFFFFF, 0} << "xxcccx";
    QTest::newRow("white before any colour")
        << 1 << QList<int>{5000, 1000, 1, 5000, 0, 5000} << "wwccxx";
    // Only the last vertex of each triangle sets the colour, and only its
    // colour shows (smooth, the codes below read "cxxccc").
    QTest::newRow("flat") << 3 << QList<int>{1, 0, 0, 1, 1, 5000} << "..x..x";
    QTest::newRow("flat, nothing set yet") << 103 << QList<int>{0, 0, 5000, 1, 1, 0} << "..w..x";
    QTest::newRow("wireframe after flat") << 2 << QList<int>{1, 0, 0, 1, 1, 5000} << "..x..c";
}

void TestMeshRender::colourCodes()
{
    QFETCH(int, mode);
    QFETCH(QList<int>, codes);
    QFETCH(QString, colours);
    // (0, 2, 1) and (3, 5, 4) send 0, 1, 2, 3, 4, 5.
    const auto mesh = read(row(6, {0, 2, 1, 3, 5, 4}), codes);
    QVERIFY(mesh);
    // After flat mode, so that a mode keeping the shade model keeps it flat.
    MeshArrays arrays;
    QVERIFY(arrays.build(*mesh, MeshRenderMode().next(3).next(mode)));
    QCOMPARE(arrays.slotCount(), 6);
    QString sent = coloursSent(arrays);
    for (int i = 0; i < colours.size(); ++i) {
        if (colours[i] == '.')
            sent[i] = '.';
    }
    QCOMPARE(sent, colours);
}

// A vertex that passes the colour on, sent after a convex and after a concave
// vertex, is sent from two slots; colour changes report when slots change.
void TestMeshRender::vertexSentInTwoColours()
{
    const auto mesh = read(row(5, {0, 2, 1, 3, 2, 4}), {0, 0, 5000, 1, 1});
    MeshArrays arrays;
    QVERIFY(arrays.build(*mesh, MeshRenderMode().next(1)));
    QCOMPARE(arrays.indices(), std::vector<quint32>({0, 1, 2, 3, 4, 5}));
    QCOMPARE(coloursSent(arrays), "xxxccc");
    QCOMPARE(triple(&arrays.positions()[3 * 5]), triple(&arrays.positions()[3 * 2]));

    mesh->vertexColors[3] = mesh->vertexColors[4] = 0;
    QVERIFY(!arrays.updateColours(*mesh, MeshRenderMode().next(1)));
    QCOMPARE(arrays.slotCount(), 5);
    QCOMPARE(arrays.positions().size(), size_t(15));
    QCOMPARE(coloursSent(arrays), "xxxxxx");
    mesh->vertexColors[0] = 0x3F102030;
    QVERIFY(arrays.updateColours(*mesh, MeshRenderMode().next(1)));
    QCOMPARE(coloursSent(arrays), "rxxxxx");
}

// Centred, mirrored along z, normals negated in x and y, and every triangle
// sent as i0, i2, i1: a mesh whose normals point inwards (as its neighbour
// rings run clockwise) is drawn counter-clockwise seen from the lit side.
void TestMeshRender::mirroredAndSwapped()
{
    SrfFixture f = SrfFixture::octahedron();
    for (SrfFixture::Vertex &v : f.vertices)
        std::reverse(v.neighbors.begin(), v.neighbors.end());
    const auto mesh = read(f);
    QVERIFY(mesh && mesh->hasTriangleStrips);
    mesh->hasTriangleStrips = false;
    MeshArrays arrays;
    QVERIFY(arrays.build(*mesh, MeshRenderMode()));
    QCOMPARE(arrays.primitive(), MeshArrays::Triangles);
    const float *c = mesh->meshCenter;
    for (int v = 0; v < 6; ++v) {
        QCOMPARE(triple(&arrays.positions()[3 * v]),
                 QList<float>(
                     {mesh->vertexX[v] - c[0], mesh->vertexY[v] - c[1], c[2] - mesh->vertexZ[v]}));
        QCOMPARE(triple(&arrays.normals()[3 * v]),
                 QList<float>({-mesh->normalX[v], -mesh->normalY[v], mesh->normalZ[v]}));
    }
    const std::vector<quint32> &sent = arrays.indices();
    QCOMPARE(int(sent.size()), f.triangles.size());
    for (int t = 0; t < 8; ++t) {
        QCOMPARE(QList<int>({int(sent[3 * t]), int(sent[3 * t + 1]), int(sent[3 * t + 2])}),
                 QList<int>({f.triangles[3 * t], f.triangles[3 * t + 2], f.triangles[3 * t + 1]}));
        C3dVector p[3], normal(0, 0, 0);
        for (int k = 0; k < 3; ++k) {
            const float *q = &arrays.positions()[3 * sent[3 * t + k]];
            p[k] = C3dVector(q[0], q[1], q[2]);
            const float *n = &arrays.normals()[3 * sent[3 * t + k]];
            normal += C3dVector(n[0], n[1], n[2]);
        }
        QVERIFY(((p[1] - p[0]) * (p[2] - p[0])).Dot(normal) > 0);
    }
}

void TestMeshRender::strips_data()
{
    QTest::addColumn<QList<int>>("strips");
    QTest::addColumn<QList<int>>("codes");
    QTest::addColumn<std::vector<quint32>>("indices");
    QTest::addColumn<std::vector<int>>("firsts");
    QTest::addColumn<std::vector<int>>("counts");
    QTest::addColumn<QString>("colours");

    const auto row = [](const char *name, const QList<int> &strips, const QList<int> &codes,
                        const std::vector<quint32> &indices, const std::vector<int> &firsts,
                        const std::vector<int> &counts, const char *colours) {
        QTest::newRow(name) << strips << codes << indices << firsts << counts << QString(colours);
    };
    const QList<int> codes = {0, 1, 0, 1, 0, 1, 0};
    row("one strip", {3, 4, 5, 6, -1}, codes, {3, 5, 4, 4, 5, 6}, {0, 3}, {3, 3}, "ccxxcx");
    // Strips of fewer than three entries send nothing; the list may end
    // without a mark.
    row("short strips", {0, 1, 2, -1, 5, 6, -1, -1, 1, 2, 3, 4}, codes,
        {0, 2, 1, 1, 2, 1, 3, 2, 2, 3, 4}, {0, 3, 5, 8}, {3, 2, 3, 3}, "xxccxccxxcx");
    // The colour passes on from the vertex sent before, across strips too.
    row("passing codes", {0, 1, 2, 3, -1, 4, 5, 6}, {0, 5000, 1, 0, 5000, 0, 1},
        {0, 2, 1, 1, 2, 3, 4, 6, 5, 5, 6}, {0, 3, 6, 9}, {3, 3, 3, 2}, "xccccxxcxxc");
}

void TestMeshRender::strips()
{
    QFETCH(QList<int>, strips);
    QFETCH(QList<int>, codes);
    const auto mesh = read(row(7, {0, 1, 2}, strips), codes);
    QVERIFY(mesh);
    MeshArrays arrays;
    QVERIFY(arrays.build(*mesh, MeshRenderMode()));
    QCOMPARE(arrays.primitive(), MeshArrays::TriangleStrips);
    QTEST(arrays.indices(), "indices");
    QTEST(arrays.stripFirsts(), "firsts");
    QTEST(arrays.stripCounts(), "counts");
    QTEST(coloursSent(arrays), "colours");

    // Nothing is drawn from a mesh not read, or with an index out of range.
    mesh->triangleStrips[0] = 7;
    QVERIFY(!arrays.build(*mesh, MeshRenderMode()) && arrays.isEmpty());
    mesh->reservedValue = -1;
    mesh->triangleStrips[0] = 0;
    QVERIFY(!arrays.build(*mesh, MeshRenderMode()) && arrays.indices().empty());
}

// Modes drawn one after another, and the state the last one leaves.
void TestMeshRender::renderModes()
{
    const QList<QPair<QList<int>, QString>> cases = {
        {{1}, "filled"},       {{2}, "lines"},         {{3}, "filled flat"},
        {{4}, "points"},       {{3, 2}, "lines flat"}, {{3, 104}, "points flat transparent"},
        {{3, 4, 1}, "filled"}, {{2, 7}, "lines"},      {{102}, "lines transparent"},
        {{101, 100}, "filled"}};
    const char *polygons[] = {"filled", "lines", "points"};
    for (const auto &[modes, expected] : cases) {
        MeshRenderMode mode;
        for (int m : modes)
            mode = mode.next(m);
        QString state = polygons[mode.polygons()];
        state +=
            QString(mode.flatShading() ? " flat" : "") + (mode.transparent() ? " transparent" : "");
        QCOMPARE(state, expected);
    }
    const QList<QPair<int, int>> toggles = {{1, 2},     {2, 1}, {101, 102},
                                            {102, 101}, {3, 1}, {104, 101}};
    for (const auto &[from, to] : toggles)
        QCOMPARE(MeshRenderMode::toggledWireframe(from), to);
}

void TestMeshRender::viewingParameters_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QList<double>>("values"); // rotation x, z, translation z, light 1 z, far
    QTest::addColumn<QList<bool>>("switches"); // light 0, light 1, culling, perspective

    const QByteArray body = "10.5 20 30 1 2 -300 7 1 -0.8 -0.2 0.5 0.6 0.6 0.6 0 0.1 0.2 0.3 "
                            "0.5 0.5 0.5 6914 7425 1 1 35 120 2 900";
    for (const QByteArray &label : {QByteArray(), QByteArray("FVersion 3\n")})
        QTest::newRow(label.isEmpty() ? "no label" : "version label")
            << label + body << QList<double>{10.5, 30, -300, 0.3f, 900}
            << QList<bool>{true, false, true, true};
    QTest::newRow("missing numbers") << QByteArray("1 2 3 4 5") << QList<double>{1, 3, 0, 0, 0}
                                     << QList<bool>{false, false, false, false};
    QTest::newRow("malformed number")
        << QByteArray("1 2 x 4 5 6 7 1") << QList<double>{1, 0, 0, 0, 0}
        << QList<bool>{false, false, false, false};
}

void TestMeshRender::viewingParameters()
{
    QFETCH(QByteArray, text);
    const ViewingParameters p = ViewingParameters::fromText(text);
    QTEST(
        (QList<double>{p.rotationX, p.rotationZ, p.translationZ, p.light1Position[2], p.farPlane}),
        "values");
    QTEST((QList<bool>{p.light0On, p.light1On, p.cullBackFaces, p.perspectiveProjection}),
          "switches");

    // Files that cannot be opened change nothing.
    QTemporaryDir dir;
    QVERIFY(!ViewingParameters::fromFile(dir.filePath("none.vwp")));
    QVERIFY(!ViewingParameters::fromFile(dir.path()));
}

// Reset values and the orthographic half width; the spin turns by its step
// every frame until stopped; a wheel step away from the user moves the model
// away; a rotation pan keeps half its delta as the flick step, halves rounded
// away from zero.
void TestMeshRender::cameraMoves()
{
    MeshCamera camera;
    QVERIFY(camera.perspectiveProjection());
    camera.setPerspectiveProjection(false);
    camera.apply(ViewingParameters());
    camera.reset();
    QCOMPARE((QList<double>{camera.translationX(), camera.translationY(), camera.translationZ(),
                            camera.rotationX(), camera.rotationY(), camera.rotationZ(),
                            camera.fieldOfView(), camera.nearPlane(), camera.farPlane()}),
             (QList<double>{0, 0, -350, 187, -35, 0, 30, 1, 1100}));
    QVERIFY(!camera.perspectiveProjection());
    QCOMPARE(camera.orthoHalfWidth(), 350.0 / 3);

    camera.startSpin(-2, 0);
    for (int frame = 0; frame < 3; ++frame)
        camera.spinFrame();
    camera.stopMotion();
    camera.spinFrame();
    camera.wheel(120);
    camera.pan(QPointF(-3, 5));
    QCOMPARE((QList<double>{camera.rotationX(), camera.rotationY(), camera.translationZ()}),
             (QList<double>{187 + 2.5, -35 + 6 + 1.5, -360}));
    QCOMPARE(camera.flickDelta(), QPoint(-2, 3));

    // A zoom drag past the eye.
    camera.beginDrag(QPoint(0, 0));
    camera.drag(QPoint(0, 361), Qt::MiddleButton, Qt::NoModifier, 0, 0);
    QCOMPARE(camera.translationZ(), 1.0);
    QCOMPARE(camera.orthoHalfWidth(), 0.0);
}

// A drag in pixels gives a rotation step of a fifth; the step kept after the
// first frame, and rotation x, y after frames 0 and 100.
void TestMeshRender::rotationFlick()
{
    const struct
    {
        QPoint drag, delta;
        QList<double> turn;
    } cases[] = {{{150, 25}, {30, 0}, {187 + 5, -35 - 30 - 10 - 5}},   // mostly horizontal
                 {{10, -300}, {0, -60}, {187 - 60 - 10 - 5, -35 - 2}}, // mostly vertical, up
                 {{-60, 20}, {-12, 4}, {187 + 4 + 4 + 2, -35 + 12 + 10 + 5}}}; // diagonal
    for (const auto &c : cases) {
        MeshCamera camera;
        camera.beginDrag(QPoint(0, 0));
        camera.drag(c.drag, Qt::LeftButton, Qt::NoModifier, 0, 0);
        QCOMPARE(camera.endDrag(50), MeshCamera::RotationFlick);
        camera.rotationFlickFrame(0);
        QCOMPARE(camera.flickDelta(), c.delta);
        camera.rotationFlickFrame(100);
        QCOMPARE((QList<double>{camera.rotationX(), camera.rotationY()}), c.turn);
    }
}

// The times of translation, rotation and zoom moves: zoom wins over rotation
// over translation, each only if recent.
void TestMeshRender::flickPriority()
{
    const QList<std::pair<QList<int>, MeshCamera::Flick>> movesAndFlick = {
        {{90, 50, 10}, MeshCamera::ZoomFlick},
        {{99, 1, none}, MeshCamera::RotationFlick},
        {{50, none, 0}, MeshCamera::TranslationFlick},
        {{0, 0, -100}, MeshCamera::NoFlick}};
    const Qt::MouseButton buttons[] = {Qt::RightButton, Qt::LeftButton, Qt::MiddleButton};
    for (const auto &[moves, flick] : movesAndFlick) {
        MeshCamera camera;
        camera.beginDrag(QPoint(0, 0));
        for (int kind = 0; kind < 3; ++kind) {
            if (moves[kind] != none)
                camera.drag(QPoint(kind, kind), buttons[kind], {}, 0, moves[kind]);
        }
        QCOMPARE(camera.endDrag(100), flick);
        QVERIFY(!camera.isDragging());
    }
}

// Fixed to the viewer, a light stays at (-z, -y, -x) in eye coordinates: the
// model rotation applied to its direction gives that whatever the rotation.
void TestMeshRender::lights()
{
    MeshLights lights;
    const C3dVector eye[2] = {{-0.5f, 0.2f, 0.8f}, {0.5f, 0.2f, 0.8f}};
    for (const C3dVector &r : {C3dVector(187, -35, 0), C3dVector(0, 0, 0), C3dVector(33, 71, -120),
                               C3dVector(-90, 180, 45)}) {
        C3dMatrix model;
        model.Rotate(r.x, r.y, r.z);
        const auto gl = lights.openGLLights(1, r.x, r.y, r.z);
        for (int i = 0; i < 2; ++i) {
            const float *p = gl[i].position;
            QVERIFY(gl[i].enabled && p[3] == 0.0f);
            QVERIFY((model * C3dVector(p[0], p[1], p[2]) - eye[i]).Mag() < 1e-5f);
        }
    }

    // Light 1 alone takes OpenGL light 0; not fixed, it turns with the model.
    ViewingParameters p;
    p.light1On = true;
    const float position[3] = {-0.5f, 0.2f, 0.8f};
    std::copy_n(position, 3, p.light1Position);
    std::fill_n(p.light1Diffuse, 3, 0.25f);
    lights.apply(p);
    lights.setFixedToViewer(false);
    const auto gl = lights.openGLLights(2, 10, 20, 30);
    QVERIFY(gl[0].enabled && !gl[1].enabled);
    QCOMPARE(QList<float>(gl[0].position, gl[0].position + 4),
             QList<float>({-0.8f, 0.2f, -0.5f, 0}));
    QCOMPARE(QList<float>(gl[0].ambient, gl[0].ambient + 4), QList<float>({0, 0, 0, 1}));
    QCOMPARE(QList<float>(gl[0].diffuse, gl[0].diffuse + 4),
             QList<float>({0.25f, 0.25f, 0.25f, 1}));
}

QTEST_APPLESS_MAIN(TestMeshRender)
#include "tst_meshrender.moc"
