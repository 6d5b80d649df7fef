#include "MeshCamera.h"
#include "MeshPick.h"
#include "SurfaceMesh.h"
#include "ViewNavigation.h"
#include "ViewingParameters.h"

#include <QTest>

#include <cmath>

namespace {

// A landscape image of the widget's own aspect, twice its size.
ViewNavigation::Sizes sizes(int imageWidth = 2000, int imageHeight = 1000, double ratio = 1.0)
{
    return {imageWidth, imageHeight, 1000, 500, ratio};
}

// A plane of 21 × 21 vertices 10 apart about the mesh centre (128, 128,
// 128), vertex i + 21 j at (128 + 10 (i - 10), 128 + 10 (j - 10), 128), its
// triangles facing +z as the mesh is drawn.
void makePlane(SurfaceMesh &mesh)
{
    const int n = 21;
    mesh.nrOfVertices = n * n;
    mesh.vertexX = std::make_unique<float[]>(n * n);
    mesh.vertexY = std::make_unique<float[]>(n * n);
    mesh.vertexZ = std::make_unique<float[]>(n * n);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            mesh.vertexX[i + n * j] = 128.0f + 10 * (i - 10);
            mesh.vertexY[i + n * j] = 128.0f + 10 * (j - 10);
            mesh.vertexZ[i + n * j] = 128.0f;
        }
    std::fill(std::begin(mesh.meshCenter), std::end(mesh.meshCenter), 128.0f);
    mesh.nrOfTriangles = 2 * (n - 1) * (n - 1);
    mesh.triangles = std::make_unique<int[]>(3 * mesh.nrOfTriangles);
    int *t = mesh.triangles.get();
    for (int j = 0; j + 1 < n; ++j)
        for (int i = 0; i + 1 < n; ++i) {
            const int a = i + n * j, b = a + 1, c = a + 1 + n, d = a + n;
            // Drawn as (i0, i2, i1): a, b, c and a, c, d, counter-clockwise from +z.
            for (int v : {a, c, b, a, d, c})
                *t++ = v;
        }
    mesh.reservedValue = 0;
}

} // namespace

Q_DECLARE_METATYPE(ViewNavigation::Sizes)

class TestViewNavigation : public QObject
{
    Q_OBJECT

private slots:
    void zoomModel_data();
    void zoomModel();
    void pans_data();
    void pans();
    void zoomPanAndPinch();
    void viewExtent_data();
    void viewExtent();
    void meshPick_data();
    void meshPick();
};

void TestViewNavigation::zoomModel_data()
{
    QTest::addColumn<QList<int>>("wheel");
    QTest::addColumn<int>("drag");
    QTest::addColumn<double>("zoom");
    QTest::addColumn<double>("offset");
    QTest::newRow("a notch away zooms out") << QList<int>{120} << 0 << 1 / 1.1 << -10.0;
    QTest::newRow("less than a step") << QList<int>{119} << 0 << 1.0 << 0.0;
    QTest::newRow("two notches towards") << QList<int>{-240} << 0 << 1.2 << 20.0;
    QTest::newRow("100 px down") << QList<int>{} << 100 << 2.0 << 100.0;
    QTest::newRow("clamped above, the offset runs on") << QList<int>{-24000} << 0 << 10.0 << 2000.0;
    QTest::newRow("clamped below") << QList<int>{24000} << 0 << 0.1 << -2000.0;
    // Turning back first takes the offset back into range, with no visible change.
    QTest::newRow("back from beyond the clamp") << QList<int>{-24000, 6000} << 0 << 10.0 << 1500.0;
    QTest::newRow("back to 1") << QList<int>{-1200} << -100 << 1.0 << 0.0;
}

void TestViewNavigation::zoomModel()
{
    QFETCH(QList<int>, wheel);
    QFETCH(int, drag);
    ViewNavigation nav;
    for (int delta : wheel)
        nav.wheel(delta);
    nav.dragZoom(drag);
    QTEST(nav.zoom(), "zoom");
    QTEST(nav.zoomOffset(), "offset");

    // N and a reset take the zoom and its offset back to the start together.
    nav.toggleNativeSize();
    QVERIFY(nav.nativeSizeMode());
    QCOMPARE(QList<double>({nav.zoom(), nav.zoomOffset()}), QList<double>({1.0, 0.0}));
}

void TestViewNavigation::pans_data()
{
    QTest::addColumn<ViewNavigation::Sizes>("sizes");
    QTest::addColumn<bool>("native");
    QTest::addColumn<int>("zoomDrag");
    QTest::addColumn<QPointF>("moved");
    QTest::newRow("landscape: by width") << sizes() << false << 0 << QPointF(20, 10);
    QTest::newRow("portrait: by height") << sizes(1000, 2000) << false << 0 << QPointF(40, 20);
    QTest::newRow("square") << sizes(1000, 1000) << false << 0 << QPointF(10, 5);
    QTest::newRow("zoom 2 halves it") << sizes() << false << 100 << QPointF(10, 5);
    QTest::newRow("native: device pixels")
        << sizes(2000, 1000, 2.0) << true << 0 << QPointF(20, 10);
}

void TestViewNavigation::pans()
{
    QFETCH(ViewNavigation::Sizes, sizes);
    QFETCH(bool, native);
    QFETCH(int, zoomDrag);
    QFETCH(QPointF, moved);
    ViewNavigation nav;
    if (native)
        nav.toggleNativeSize();
    nav.dragZoom(zoomDrag);
    nav.pan(QPoint(10, 5), sizes);
    QCOMPARE(QPointF(nav.translationX(), nav.translationY()), moved);
    QCOMPARE(nav.panDelta(), QPoint(10, 5));

    // The image view's pan gesture moves three times as far and keeps the
    // truncated step for the glide.
    nav.resetTransformation();
    nav.dragZoom(zoomDrag);
    nav.panGesture(QPointF(10.6, -5.0), sizes);
    const double f = moved.x() / 10;
    QCOMPARE(nav.translationX(), 3 * 10.6 * f);
    QCOMPARE(nav.panDelta(), QPoint(int(10.6 * f), int(-5 * f)));
}

void TestViewNavigation::zoomPanAndPinch()
{
    ViewNavigation nav;
    // A view that is only turned counts as untransformed.
    nav.pinch(0, 1, 30, 1);
    QVERIFY(!nav.beginReset());
    QCOMPARE(nav.rotationAngle(), 30.0);

    nav.beginZoomIn(QPoint(700, 300));
    QVERIFY(!nav.zoomIsReset());
    nav.zoomFrame(50, sizes(), 2.0);
    QCOMPARE(nav.zoom(), 1.75);
    QCOMPARE(nav.zoomOffset(), 75.0);
    nav.zoomFrame(100, sizes(), 2.0);
    QCOMPARE(nav.zoom(), 2.5);
    // The image point under the pointer, 400 and 100 image units from the
    // centre, is still 200 and 50 pixels from it.
    QCOMPARE(nav.translationX(), -240.0);
    QCOMPARE(nav.translationY(), -60.0);
    QCOMPARE((400 + nav.translationX()) * nav.zoom() / 2, 200.0);
    QCOMPARE((100 + nav.translationY()) * nav.zoom() / 2, 50.0);
    QVERIFY(nav.beginReset());
    QVERIFY(nav.zoomIsReset());
    nav.zoomFrame(0, sizes(), 2.0);
    QCOMPARE(nav.zoom(), 2.5);
    QCOMPARE(nav.translationX(), -240.0);
    nav.zoomFrame(50, sizes(), 2.0);
    QCOMPARE(nav.zoom(), 1.75);
    QCOMPARE(nav.translationX(), double(qRound(-600 * 0.5 / 1.75)));
    QCOMPARE(nav.rotationAngle(), 15.0);
    nav.zoomFrame(100, sizes(), 2.0);
    QVERIFY(nav.isUntransformed());
    QCOMPARE(nav.zoomOffset(), 0.0);
    QCOMPARE(nav.rotationAngle(), 0.0);
    // A swipe up resets even an untransformed view, turning it back.
    nav.pinch(0, 1, 30, 1);
    QVERIFY(nav.beginReset(true));
    nav.zoomFrame(100, sizes(), 2.0);
    QCOMPARE(nav.rotationAngle(), 0.0);

    // A glide after a pan, from an untransformed view.
    nav.pan(QPoint(10, -4), sizes());
    nav.resetTransformation();
    // Each frame adds the step and its zoomed share of the image, fading to nothing.
    nav.inertiaFrame(0, sizes());
    QCOMPARE(nav.translationX(), 10 + 10 * 2 * 1.7);
    QCOMPARE(nav.translationY(), -4 - 4 * 2 * 1.7);
    nav.inertiaFrame(100, sizes());
    QCOMPARE(nav.translationX(), 10 + 10 * 2 * 1.7);
    nav.clearPanDelta();
    nav.inertiaFrame(0, sizes());
    QCOMPARE(nav.translationY(), -4 - 4 * 2 * 1.7);

    // A pinch zooms and turns, within the zoom's bounds.
    nav.resetTransformation();
    nav.pinch(0.1, 2, 10, 0.5);
    QCOMPARE(nav.zoom(), 1.2);
    QCOMPARE(nav.rotationAngle(), 5.0);
    // A pinch leaves the offset alone.
    QCOMPARE(nav.zoomOffset(), 0.0);
    nav.pinch(100, 1, 0, 0.5);
    QCOMPARE(nav.zoom(), 10.0);
    nav.pinch(-100, 1, 0, 0.5);
    QCOMPARE(nav.zoom(), 0.1);
}

void TestViewNavigation::viewExtent_data()
{
    QTest::addColumn<double>("aspect");
    QTest::addColumn<ViewNavigation::Sizes>("sizes");
    QTest::addColumn<bool>("hasImage");
    QTest::addColumn<bool>("native");
    QTest::addColumn<double>("extent");
    QTest::newRow("wider widget: by height") << 3.0 << sizes() << true << false << 3000.0;
    QTest::newRow("narrower widget: by width") << 1.5 << sizes() << true << false << 2000.0;
    QTest::newRow("no image counts as square") << 0.5 << sizes(1, 1) << false << false << 1.0;
    QTest::newRow("native: the widget's device pixels")
        << 2.0 << sizes(2000, 1000, 2.0) << true << true << 2000.0;
    QTest::newRow("an image of no height") << 2.0 << sizes(0, 0) << true << false << -1.0;
}

void TestViewNavigation::viewExtent()
{
    QFETCH(double, aspect);
    QFETCH(ViewNavigation::Sizes, sizes);
    QFETCH(bool, hasImage);
    QFETCH(bool, native);
    QFETCH(double, extent);
    ViewNavigation nav;
    if (native)
        nav.toggleNativeSize();
    QCOMPARE(nav.viewExtent(aspect, sizes, hasImage), extent);
    // The zoom narrows the view, except in native size.
    nav.dragZoom(100);
    QCOMPARE(nav.viewExtent(aspect, sizes, hasImage), native || extent < 0 ? extent : extent / 2);
}

void TestViewNavigation::meshPick_data()
{
    QTest::addColumn<bool>("perspective");
    QTest::addColumn<double>("turnY");
    QTest::addColumn<double>("turnZ");
    QTest::addColumn<bool>("cull");
    // A point of the plane, in its drawn coordinates, and the vertex expected.
    QTest::addColumn<QPointF>("at");
    QTest::addColumn<int>("vertex");
    const auto vertex = [](int i, int j) { return i + 21 * (j + 10) + 10; };
    QTest::newRow("centre") << true << 0.0 << 0.0 << true << QPointF(1, -2) << vertex(0, 0);
    QTest::newRow("off centre") << true << 0.0 << 0.0 << true << QPointF(33, -18) << vertex(3, -2);
    QTest::newRow("near a corner of its square")
        << true << 0.0 << 0.0 << true << QPointF(-46, 74) << vertex(-5, 7);
    QTest::newRow("orthographic") << false << 0.0 << 0.0 << true << QPointF(-71, 24)
                                  << vertex(-7, 2);
    QTest::newRow("turned about z")
        << true << 0.0 << 90.0 << true << QPointF(52, 61) << vertex(5, 6);
    QTest::newRow("beside the plane") << true << 0.0 << 0.0 << true << QPointF(120, 0) << -1;
    QTest::newRow("from behind, culled") << true << 180.0 << 0.0 << true << QPointF(20, 30) << -1;
    QTest::newRow("from behind, drawn")
        << true << 180.0 << 0.0 << false << QPointF(20, 30) << vertex(2, 3);
}

// The vertex under a point of the view, by the camera's projection worked
// out here forwards: the point of the plane seen at that pixel.
void TestViewNavigation::meshPick()
{
    QFETCH(bool, perspective);
    QFETCH(double, turnY);
    QFETCH(double, turnZ);
    QFETCH(bool, cull);
    QFETCH(QPointF, at);
    QFETCH(int, vertex);
    SurfaceMesh mesh;
    makePlane(mesh);
    MeshCamera camera;
    ViewingParameters p;
    p.rotationY = turnY;
    p.rotationZ = turnZ;
    p.translationZ = -350;
    p.perspectiveProjection = perspective;
    p.fieldOfView = 30;
    p.nearPlane = 1;
    p.farPlane = 1100;
    camera.apply(p);
    const QSizeF view(800, 500);
    const double aspect = view.width() / view.height();
    // The model turned about y by 180 (x mirrored), then about z; the eye 350 away.
    const double ry = qDegreesToRadians(turnY), rz = qDegreesToRadians(turnZ);
    const double x = at.x() * std::cos(ry), y = at.y();
    const double ex = x * std::cos(rz) - y * std::sin(rz), ey = x * std::sin(rz) + y * std::cos(rz);
    QPointF pixel;
    if (perspective) {
        const double f = std::tan(qDegreesToRadians(15.0)) * 350;
        pixel = {(ex / (f * aspect) + 1) * view.width() / 2, (1 - ey / f) * view.height() / 2};
    } else {
        const double h = 350.0 / 3;
        pixel = {(ex / h + 1) * view.width() / 2, (1 - ey * aspect / h) * view.height() / 2};
    }
    QCOMPARE(pickVertex(mesh, camera, cull, view, pixel), vertex);
}

QTEST_APPLESS_MAIN(TestViewNavigation)
#include "tst_viewnavigation.moc"
