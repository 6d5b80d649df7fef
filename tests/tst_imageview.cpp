#include "ImageOGLViewer.h"
#include "QtPieMenu.h"
#include "ShowFile.h"

#include <QBuffer>
#include <QGestureEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeLine>
#include <QtEndian>

namespace {

// A JPEG of the image whose first APP1 block says it must be turned by orientation.
QByteArray jpegWithOrientation(const QImage &image, quint16 orientation)
{
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 95);
    QByteArray tiff("II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0", 18);
    tiff += char(orientation) + QByteArray(3, 0) + QByteArray(4, 0);
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray length(2, 0);
    qToBigEndian(quint16(payload.size() + 2), length.data());
    return encoded.left(2) + "\xFF\xE1" + length + payload + encoded.mid(2);
}

// Left half red, right half blue, the top-left quarter green.
QImage quarters(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height, Qt::red);
    painter.fillRect(width / 2, 0, width - width / 2, height, Qt::blue);
    painter.fillRect(0, 0, width / 2, height / 2, Qt::green);
    return image;
}

QColor colourAt(const QImage &frame, double x, double y)
{
    return frame.pixelColor(int(x * frame.width()), int(y * frame.height()));
}

bool near(const QColor &a, const QColor &b)
{
    return qAbs(a.red() - b.red()) < 24 && qAbs(a.green() - b.green()) < 24 &&
           qAbs(a.blue() - b.blue()) < 24;
}

} // namespace

class TestImageView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { delete touchScreen; }
    void init();
    void cleanup() { delete view; }
    void showsTheImageWhereTheViewSays();
    void measuredTurnedOrRefused();
    void doubleClickZoomsAndQuickReleaseGlides();
    void panGestureAfterPinchIgnored();
    void keys();
    void touchAndPieMenu();

private:
    QString write(const QString &name, const QByteArray &data);
    QString writeImage(const QString &name, const QImage &image);
    QImage frame() { return view->grabFramebuffer(); }
    void inspect(int index, const QString &fileName)
    {
        showFile<PictureDocument>(*view, index, fileName,
                                  [this](auto picture, int i) { view->showPicture(picture, i); });
    }
    void mouse(QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers keys = {});

    QTemporaryDir tmp;
    QPointingDevice *touchScreen = nullptr;
    ImageOGLViewer *view = nullptr;
};

void TestImageView::initTestCase()
{
    QVERIFY(tmp.isValid());
    touchScreen = QTest::createTouchDevice(QInputDevice::DeviceType::TouchScreen);
}

void TestImageView::init()
{
    view = new ImageOGLViewer;
    view->resize(400, 300);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));
    view->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(view));
}

QString TestImageView::write(const QString &name, const QByteArray &data)
{
    QFile file(tmp.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
}

QString TestImageView::writeImage(const QString &name, const QImage &image)
{
    const QString path = tmp.filePath(name);
    if (!image.save(path))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TestImageView::mouse(QEvent::Type type, QPoint pos, Qt::MouseButton button,
                          Qt::MouseButtons buttons, Qt::KeyboardModifiers keys)
{
    QMouseEvent event(type, pos, view->mapToGlobal(pos), button, buttons, keys);
    QApplication::sendEvent(view, &event);
}

// The image of the widget's aspect fills it; a translation and a zoom move it
// as the navigation says. Positions are fractions of the frame, so the test
// holds on a high-density screen too, where the frame has more pixels.
void TestImageView::showsTheImageWhereTheViewSays()
{
    inspect(0, writeImage("q.png", quarters(400, 300)));
    QImage shot = frame();
    QCOMPARE(shot.size(), view->size() * view->devicePixelRatio());
    QVERIFY(near(colourAt(shot, 0.1, 0.1), Qt::green));
    QVERIFY(near(colourAt(shot, 0.1, 0.9), Qt::red));
    QVERIFY(near(colourAt(shot, 0.9, 0.1), Qt::blue));
    QVERIFY(near(colourAt(shot, 0.9, 0.9), Qt::blue));

    // A drag of 100 pixels right: the image follows (one image pixel per widget pixel here).
    mouse(QEvent::MouseButtonPress, QPoint(200, 150), Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, QPoint(300, 150), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(view->navigation().translationX(), 100.0);
    QTest::qWait(120); // no glide
    mouse(QEvent::MouseButtonRelease, QPoint(300, 150), Qt::LeftButton, Qt::NoButton);
    shot = frame();
    QVERIFY(near(colourAt(shot, 0.2, 0.9), Qt::black));
    QVERIFY(near(colourAt(shot, 0.6, 0.9), Qt::red));
    QVERIFY(near(colourAt(shot, 0.8, 0.9), Qt::blue));

    // Both buttons held, 100 pixels down from zoom 1: zoom 2 about the centre.
    mouse(QEvent::MouseMove, QPoint(300, 250), Qt::NoButton, Qt::LeftButton | Qt::RightButton);
    QCOMPARE(view->navigation().zoom(), 2.0);
    shot = frame();
    // Image point = centre + (widget point - centre) / 2 - translation.
    QVERIFY(near(colourAt(shot, 0.9, 0.9), Qt::red));   // image (180, 210)
    QVERIFY(near(colourAt(shot, 0.9, 0.1), Qt::green)); // image (180, 90)
}

// Each picture shown is measured, turned as its EXIF block says, and offered
// as a thumbnail; one that cannot be shown clears the view and says why.
void TestImageView::measuredTurnedOrRefused()
{
    QSignalSpy measured(view, &ImageOGLViewer::imageMeasured);
    QSignalSpy offered(view, &ImageOGLViewer::thumbnailOffered);
    inspect(3, write("turned.jpg", jpegWithOrientation(quarters(60, 40), 6)));
    // Turned a quarter clockwise: the green top-left quarter is now top-right.
    QCOMPARE(measured.value(0), QVariantList({3, 40, 60, 6}));
    QCOMPARE(view->shownImage().size(), QSize(40, 60));
    const QImage shown = view->shownImage();
    QVERIFY(near(shown.pixelColor(35, 5), Qt::green));
    QVERIFY(near(shown.pixelColor(5, 5), Qt::red));
    QCOMPARE(offered.size(), 1);
    QCOMPARE(offered[0][0].toInt(), 3);
    QCOMPARE(offered[0][1].value<QImage>().size(), QSize(40, 60));
    QCOMPARE(offered[0][2].toBool(), false);

    // A PNG is never turned; its orientation reads 1.
    inspect(4, writeImage("plain.png", quarters(60, 40)));
    QCOMPARE(measured.value(1), QVariantList({4, 60, 40, 1}));
    QVERIFY(near(colourAt(frame(), 0.9, 0.9), Qt::blue));

    // A damaged file clears the view, says why and measures 0 x 0.
    const QByteArray signature("\x89PNG\r\n\x1a\n", 8);
    const struct
    {
        QByteArray data;
        QString note;
    } damaged[] = {
        {QByteArray(), "bad.png: unsupported image format"},
        {signature + " garbage", "bad.png: unable to read image data"},
        {QByteArray(), "missing.png: no such file"},
    };
    for (const auto &d : damaged) {
        const QString name = d.note.section(':', 0, 0);
        const QString file = name == "missing.png" ? tmp.filePath(name) : write(name, d.data);
        inspect(1, file);
        QCOMPARE(view->failureNote(), d.note);
        QCOMPARE(measured.last(), QVariantList({1, 0, 0, 1}));
        QVERIFY(view->shownImage().isNull());
        const QImage shot = frame();
        QVERIFY(near(colourAt(shot, 0.1, 0.1), Qt::black));
        QVERIFY(near(colourAt(shot, 0.9, 0.9), Qt::black));
    }

    // Wider than the largest texture: shown smaller, never blank; measured at its own size.
    QImage wide(17000, 200, QImage::Format_RGB32);
    wide.fill(Qt::green);
    inspect(2, writeImage("wide.png", wide));
    QCOMPARE(measured.last(), QVariantList({2, 17000, 200, 1}));
    QCOMPARE(view->failureNote(), QString());
    const QImage shot = frame();
    QVERIFY(view->isTextureReduced());
    QVERIFY(near(colourAt(shot, 0.5, 0.5), Qt::green));
    QVERIFY(near(colourAt(shot, 0.5, 0.1), Qt::black));
}

void TestImageView::doubleClickZoomsAndQuickReleaseGlides()
{
    inspect(0, writeImage("q.png", quarters(400, 300)));
    const QPoint point(300, 100);
    QTest::mouseDClick(view, Qt::LeftButton, {}, point);
    QCOMPARE(view->zoomTimeLine()->state(), QTimeLine::Running);
    QTRY_COMPARE(view->zoomTimeLine()->state(), QTimeLine::NotRunning);
    QCOMPARE(view->navigation().zoom(), 2.5);
    // The clicked point stays put: 100 image units right of and 50 above the centre.
    QCOMPARE((100 + view->navigation().translationX()) * 2.5, 100.0);
    QCOMPARE((-50 + view->navigation().translationY()) * 2.5, -50.0);

    QTest::mouseDClick(view, Qt::LeftButton, {}, point);
    QTRY_COMPARE(view->zoomTimeLine()->state(), QTimeLine::NotRunning);
    QVERIFY(view->navigation().isUntransformed());

    // A drag glides on only after a quick release.
    QTimeLine *glide = view->translationTimeLine();
    for (int pause : {150, 0}) {
        mouse(QEvent::MouseButtonPress, QPoint(100, 100), Qt::LeftButton, Qt::LeftButton);
        mouse(QEvent::MouseMove, QPoint(110, 100), Qt::NoButton, Qt::LeftButton);
        QTest::qWait(pause);
        mouse(QEvent::MouseButtonRelease, QPoint(110, 100), Qt::LeftButton, Qt::NoButton);
        QCOMPARE(glide->state(), pause ? QTimeLine::NotRunning : QTimeLine::Running);
    }
    const double before = view->navigation().translationX();
    QTRY_COMPARE(glide->state(), QTimeLine::NotRunning);
    QVERIFY(view->navigation().translationX() > before + 20);
}

void TestImageView::panGestureAfterPinchIgnored()
{
    inspect(0, writeImage("q.png", quarters(400, 300)));
    QTest::touchEvent(view, touchScreen).press(0, QPoint(100, 100)).press(1, QPoint(200, 100));
    QCOMPARE(view->multiTouchActive(), 1);

    QPinchGesture pinch;
    pinch.setChangeFlags(QPinchGesture::ScaleFactorChanged);
    pinch.setLastScaleFactor(1.0);
    pinch.setScaleFactor(1.1);
    QGestureEvent pinchEvent({&pinch});
    QApplication::sendEvent(view, &pinchEvent);
    // Gain: the widget is narrower than 500 pixels, so 1.
    QCOMPARE(view->navigation().zoom(), 1.1);

    QPanGesture pan;
    pan.setLastOffset(QPointF(0, 0));
    pan.setOffset(QPointF(10, 0));
    QGestureEvent panEvent({&pan});
    QApplication::sendEvent(view, &panEvent);
    QCOMPARE(view->navigation().translationX(), 0.0);
    QTest::qWait(320);
    QGestureEvent laterPan({&pan});
    QApplication::sendEvent(view, &laterPan);
    QCOMPARE(view->navigation().translationX(), 3 * 10 / 1.1);
    QTest::touchEvent(view, touchScreen).release(0, QPoint(100, 100)).release(1, QPoint(200, 100));
}

void TestImageView::keys()
{
    inspect(5, writeImage("q.png", quarters(400, 300)));
    QSignalSpy offered(view, &ImageOGLViewer::thumbnailOffered);
    QSignalSpy steps(view, &ImageOGLViewer::coverFlowKeyPressed);
    QTest::keyClick(view, Qt::Key_U);
    QCOMPARE(offered.size(), 1);
    QCOMPARE(offered[0][0].toInt(), 5);
    QCOMPARE(offered[0][2].toBool(), true);

    QTest::keyClick(view, Qt::Key_I);
    QVERIFY(view->isInstructionShown());
    for (Qt::Key key : {Qt::Key_Right, Qt::Key_PageDown, Qt::Key_Plus, Qt::Key_Left, Qt::Key_PageUp,
                        Qt::Key_Minus})
        QTest::keyClick(view, key);
    QCOMPARE(steps.size(), 6);
    QCOMPARE(steps[3][0].toInt(), int(Qt::Key_Left));
    QVERIFY(!view->isInstructionShown());

    // N: one image pixel per screen pixel, zoom back to 1.
    QWheelEvent wheel(QPointF(200, 150), view->mapToGlobal(QPointF(200, 150)), QPoint(),
                      QPoint(0, -240), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &wheel);
    QCOMPARE(view->navigation().zoom(), 1.2);
    QTest::keyClick(view, Qt::Key_N);
    QVERIFY(view->navigation().nativeSizeMode());
    QCOMPARE(view->navigation().zoom(), 1.0);
}

void TestImageView::touchAndPieMenu()
{
    QSignalSpy kinds(view, &ImageOGLViewer::inputKindChanged);
    const QImage mouseText = view->instructionImage();
    QTest::touchEvent(view, touchScreen).press(0, QPoint(10, 10));
    QTest::touchEvent(view, touchScreen).release(0, QPoint(10, 10));
    QCOMPARE(view->inputKind(), 1);
    QCOMPARE(kinds.value(0), QVariantList({1}));
    QVERIFY(view->isInstructionShown());
    QVERIFY(view->instructionImage() != mouseText);
    QVERIFY(view->touchPieMenuEnabled());

    // A right press opens the menu of view modes; once hidden it is gone, and
    // the next press builds a new one.
    QTest::mousePress(view, Qt::RightButton, {}, QPoint(200, 150));
    QtPieMenu *menu = view->touchPieMenu();
    QVERIFY(menu && menu->isVisible());
    QCOMPARE(menu->objectName(), QString("Root menu"));
    QStringList texts;
    for (int i = 0; i < menu->count(); ++i)
        texts << menu->itemText(i);
    QCOMPARE(texts, QStringList({"Zoom-Rot Mode", "Reset View", "Zoom-Pan Mode", "Zoom Mode"}));
    QCOMPARE(menu->innerRadius(), 15);
    QCOMPARE(menu->outerRadius(), 90);
    // Choosing "Zoom Mode" with the keyboard: item 3.
    menu->setHighlightedItem(3);
    QTest::keyClick(menu, Qt::Key_Return);
    QCOMPARE(view->viewMode(), 0);
    QTRY_VERIFY(!view->touchPieMenu());
    QTest::mousePress(view, Qt::RightButton, {}, QPoint(200, 150));
    QVERIFY(view->touchPieMenu() && view->touchPieMenu()->isVisible());
    QTest::keyClick(view->touchPieMenu(), Qt::Key_Escape);

    // C switches the menu off again: a right press then pans like any other.
    QTest::keyClick(view, Qt::Key_C);
    QVERIFY(!view->touchPieMenuEnabled());
}

QTEST_MAIN(TestImageView)
#include "tst_imageview.moc"
