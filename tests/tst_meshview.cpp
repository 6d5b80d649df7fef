#include "Icosphere.h"
#include "MeshOGLViewer.h"
#include "MeshRasterizer.h"
#include "MeshRenderer.h"
#include "OffscreenGL.h"
#include "ShowFile.h"
#include "SrfFixture.h"
#include "SurfaceMesh.h"

#include <QBuffer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeLine>

#include <GL/gl.h>

#include <optional>
#include <thread>

namespace {

// A sphere of radius 70 about (128, 128, 128), drawn in the given colour, its
// normals stored pointing inwards as a reader makes them from the rings.
QByteArray sphereMesh(bool withStrips)
{
    const Icosphere sphere(3);
    SrfFixture srf;
    QList<QVector3D> points;
    for (const QVector3D &v : sphere.vertices)
        points << QVector3D(128, 128, 128) + 70 * v;
    const QList<QVector3D> normals = MeshRasterizer::vertexNormals(points, sphere.triangles);
    const QList<QList<int>> rings = sphere.neighbourRings();
    for (qsizetype v = 0; v < points.size(); ++v) {
        const QVector3D &p = points[v], n = -normals[v];
        srf.vertices << SrfFixture::Vertex{p.x(), p.y(), p.z(), n.x(), n.y(), n.z(), 0, rings[v]};
    }
    srf.triangles = sphere.triangles;
    if (withStrips)
        srf.strips = sphere.strips();
    std::fill(std::begin(srf.meshCenter), std::end(srf.meshCenter), 128.0f);
    const float convex[4] = {0.2f, 0.8f, 0.3f, 1};
    std::copy(std::begin(convex), std::end(convex), std::begin(srf.meshColor0));
    return srf.bytes();
}

int brightness(const QColor &c)
{
    return c.red() + c.green() + c.blue();
}

} // namespace

class TestMeshView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(tmp.isValid()); }
    void init();
    void cleanup() { delete view; }
    void litSphere();
    void cameraByMouseKeysAndWheel();
    void coverOffered();
    void drawnWithoutTheWidget();

private:
    QString write(const QString &name, const QByteArray &data);
    QImage frame() { return view->grabFramebuffer(); }
    bool inspect(int index, const QString &fileName)
    {
        return showFile<MeshDocument>(*view, index, fileName,
                                      [this](auto mesh, int i) { view->showMesh(mesh, i); });
    }

    QTemporaryDir tmp;
    MeshOGLViewer *view = nullptr;
};

QString TestMeshView::write(const QString &name, const QByteArray &data)
{
    QFile file(tmp.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
}

void TestMeshView::init()
{
    view = new MeshOGLViewer;
    view->resize(400, 400);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));
    view->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(view));
}

// The sphere is drawn from strips or triangles alike (lit on its outer side:
// tst_render_cli).
void TestMeshView::litSphere()
{
    QImage pictures[2];
    for (bool strips : {true, false}) {
        inspect(0, write("sphere.srf", sphereMesh(strips)));
        pictures[strips] = frame();
        QVERIFY(pictures[strips].pixelColor(200, 120) != QColor(Qt::black));
    }
    int differing = 0;
    for (int y = 0; y < 400; y += 4)
        for (int x = 0; x < 400; x += 4)
            differing += qAbs(brightness(pictures[0].pixelColor(x, y)) -
                              brightness(pictures[1].pixelColor(x, y))) > 12;
    QVERIFY2(differing < 20, qPrintable(QString::number(differing)));

    // A file that fails: its reason shown, and the sphere no longer under the new name.
    QVERIFY(!inspect(1, write("cut.srf", sphereMesh(true).left(100))));
    QVERIFY(view->failureNote().startsWith("cut.srf: not a readable SRF mesh"));
    QVERIFY(!view->mesh());
    QCOMPARE(frame().pixelColor(200, 120), QColor(Qt::black));
}

void TestMeshView::cameraByMouseKeysAndWheel()
{
    inspect(0, write("sphere.srf", sphereMesh(true)));
    // W draws the wires.
    SurfaceMesh *mesh = &view->mesh()->mesh();
    QTest::keyClick(view, Qt::Key_W);
    QCOMPARE(mesh->renderMode, 2);
    const QImage lines = frame();
    int dark = 0;
    for (int x = 150; x < 250; ++x)
        dark += brightness(lines.pixelColor(x, 200)) < 60;
    QVERIFY2(dark > 20, qPrintable(QString::number(dark))); // between the wires
    QTest::keyClick(view, Qt::Key_W);
    QCOMPARE(mesh->renderMode, 1);

    // Transparent wireframe, then the depth writes and blending are as before.
    mesh->renderMode = 101;
    QTest::keyClick(view, Qt::Key_W);
    QCOMPARE(mesh->renderMode, 102);
    frame();
    view->makeCurrent();
    GLboolean depthWrites = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    QCOMPARE(depthWrites, GLboolean(GL_TRUE));
    QVERIFY(!glIsEnabled(GL_BLEND));
    view->doneCurrent();
    mesh->renderMode = 1;

    const MeshCamera &cam = view->camera();
    QCOMPARE(cam.translationZ(), -350.0);

    QWheelEvent wheel(QPointF(200, 200), view->mapToGlobal(QPointF(200, 200)), QPoint(),
                      QPoint(0, 240), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &wheel);
    QCOMPARE(cam.translationZ(), -370.0);

    // A left drag turns the model; released at once it keeps turning.
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(200, 200));
    QTest::mouseMove(view, QPoint(250, 200));
    QCOMPARE(cam.rotationY(), -35.0 - 0.2 * 50);
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(250, 200));
    QVERIFY(view->isAnimating());
    QTest::keyClick(view, Qt::Key_Space);
    QVERIFY(!view->isAnimating());

    // The arrows spin until Space; P switches to the orthographic projection.
    QTest::keyClick(view, Qt::Key_Left);
    QCOMPARE(view->spinTimeLine()->state(), QTimeLine::Running);
    const double before = cam.rotationY();
    QTRY_VERIFY(cam.rotationY() > before + 4);
    QTest::keyClick(view, Qt::Key_Space);
    QVERIFY(!view->isAnimating());
    QTest::keyClick(view, Qt::Key_P);
    QVERIFY(!cam.perspectiveProjection());
    const QColor middle = frame().pixelColor(200, 200);
    QVERIFY(middle.green() > 120);

    // Shift hands the step keys to the strip; a double click resets the camera.
    QSignalSpy steps(view, &MeshOGLViewer::coverFlowKeyPressed);
    QTest::keyClick(view, Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(steps.size(), 1);
    QTest::mouseDClick(view, Qt::LeftButton, {}, QPoint(200, 200));
    QCOMPARE(cam.rotationY(), -35.0);
    QCOMPARE(cam.translationZ(), -350.0);

    // Control-click picks the vertex there (which one: tst_viewnavigation), and
    // beside the sphere none.
    QSignalSpy picked(view, &MeshOGLViewer::vertexPicked);
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(200, 200));
    QCOMPARE(picked.size(), 0);
    QTest::mouseClick(view, Qt::LeftButton, Qt::ControlModifier, QPoint(200, 200));
    QTest::mouseClick(view, Qt::LeftButton, Qt::ControlModifier, QPoint(3, 3));
    QCOMPARE(picked.size(), 2);
    QVERIFY(picked[0][0].toInt() >= 0);
    QCOMPARE(picked[0][0].toInt(), view->vertexAt(QPointF(200, 200)));
    QCOMPARE(picked[1][0].toInt(), -1);

    // After a touch, a press on the icons in the top-left corner (x 0 to 33 and 34 to
    // 69, y below 40) chooses what a finger's drag does; a press beside them does not.
    std::unique_ptr<QPointingDevice> screen(
        QTest::createTouchDevice(QInputDevice::DeviceType::TouchScreen));
    QTest::touchEvent(view, screen.get()).press(0, QPoint(300, 300));
    QTest::touchEvent(view, screen.get()).release(0, QPoint(300, 300));
    QCOMPARE(view->inputKind(), 1);
    using Mode = MeshCamera::TouchPanMode;
    for (const auto &[press, mode] : {std::pair(QPoint(69, 39), Mode::TranslationMode),
                                      {QPoint(33, 0), Mode::RotationMode},
                                      {QPoint(70, 20), Mode::RotationMode},
                                      {QPoint(50, 40), Mode::RotationMode},
                                      {QPoint(34, 39), Mode::TranslationMode}}) {
        QTest::mouseClick(view, Qt::LeftButton, {}, press);
        QCOMPARE(cam.touchPanMode(), mode);
    }
}

void TestMeshView::coverOffered()
{
    QSignalSpy offered(view, &MeshOGLViewer::thumbnailOffered);
    view->reShowInstructions();
    QVERIFY(inspect(3, write("near.srf", sphereMesh(true))));
    // The cover is the view without instructions, taken a moment later.
    QVERIFY(!view->isInstructionShown());
    QVERIFY(offered.isEmpty());
    QTRY_COMPARE(offered.size(), 1);
    QCOMPARE(offered[0][0].toInt(), 3);
    QCOMPARE(offered[0][1].value<QImage>().size(), view->size() * view->devicePixelRatio());
    QCOMPARE(offered[0][2].toBool(), false);
    QVERIFY(view->isInstructionShown());
    QTest::keyClick(view, Qt::Key_U);
    QCOMPARE(offered.size(), 2);
    QCOMPARE(offered[1][2].toBool(), true);
}

// The renderer draws into a framebuffer of its own on another thread, with no
// widget and no Qt context (figures equal the view: tst_render_cli), and draws
// a new mesh even where the last one lay in memory.
void TestMeshView::drawnWithoutTheWidget()
{
    QString failure;
    QImage drawn, replaced, fresh;
    std::thread worker([&] {
        OffscreenGL gl(QSize(200, 200));
        if (!gl.isValid()) {
            failure = gl.failure();
            return;
        }
        std::optional<SurfaceMesh> mesh;
        const auto read = [&](bool red) {
            mesh.emplace();
            QByteArray bytes = sphereMesh(true);
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::ReadOnly);
            mesh->readMesh(buffer);
            std::fill(mesh->vertexColors.get(), mesh->vertexColors.get() + mesh->nrOfVertices,
                      red ? 0x3FFF0000 : 0);
        };
        MeshRenderer renderer, other;
        const auto draw = [&](MeshRenderer &r) {
            r.draw(*mesh, MeshCamera(), MeshLights(), true, gl.size(), 1.0);
            return gl.grab();
        };
        read(false);
        drawn = draw(renderer);
        mesh.reset();
        read(true);
        renderer.meshReplaced();
        replaced = draw(renderer);
        fresh = draw(other);
        renderer.releaseBuffers();
        other.releaseBuffers();
    });
    worker.join();
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QVERIFY(replaced == fresh);
    QVERIFY(replaced != drawn);
}

QTEST_MAIN(TestMeshView)
#include "tst_meshview.moc"
