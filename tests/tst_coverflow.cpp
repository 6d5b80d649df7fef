#include "CoverFlowBrowser.h"
#include "CoverStore.h"

#include <QApplication>
#include <QBuffer>
#include <QGestureEvent>
#include <QGestureRecognizer>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QTimeLine>

#include <tuple>

namespace {

// Real recognizers only finish gestures from live finger input, and a gesture's state
// cannot be set from outside. This one turns a scripted event into the recognizer
// result it carries, so the gesture reaches the widget through Qt's gesture manager
// in the states a real one goes through.
const QEvent::Type scriptedGestureType = QEvent::Type(QEvent::registerEventType());

struct ScriptedGestureEvent : QEvent
{
    ScriptedGestureEvent(Qt::GestureType gesture, QGestureRecognizer::Result result, qreal angle)
        : QEvent(scriptedGestureType), gesture(gesture), result(result), angle(angle)
    {
    }
    Qt::GestureType gesture;
    QGestureRecognizer::Result result;
    qreal angle;
};

template <class Gesture> class ScriptedRecognizer : public QGestureRecognizer
{
public:
    QGesture *create(QObject *) override { return new Gesture; }
    Result recognize(QGesture *gesture, QObject *, QEvent *event) override
    {
        if (event->type() != scriptedGestureType)
            return Ignore;
        auto *scripted = static_cast<ScriptedGestureEvent *>(event);
        if (scripted->gesture != gesture->gestureType())
            return Ignore;
        if (auto *swipe = qobject_cast<QSwipeGesture *>(gesture))
            swipe->setSwipeAngle(scripted->angle);
        return scripted->result;
    }
};

int countPixels(const QImage &image, const QRect &area, bool (*matches)(QRgb))
{
    int n = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += matches(image.pixel(x, y));
    return n;
}

QByteArray png(const QColor &colour)
{
    QImage thumbnail(256, 256, QImage::Format_ARGB32_Premultiplied);
    thumbnail.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    thumbnail.save(&buffer, "png");
    return bytes;
}

const auto isNonBlack = [](QRgb p) { return qRed(p) > 0 || qGreen(p) > 0 || qBlue(p) > 0; };
const auto isWhitish = [](QRgb p) { return qRed(p) > 200 && qGreen(p) > 200 && qBlue(p) > 200; };
const auto isPlaceholderYellow = [](QRgb p) { return p == qRgb(230, 230, 100); };

} // namespace

class TestCoverFlow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void covers();
    void overlays();
    void textPointSizes();
    void keySteps();
    void clicks();
    void dragsAndFlicks();
    void touchInput();
    void gestures();

private:
    void fill(BrowsingMode mode, const QStringList &files);
    QImage grab() { return cf->grabFramebuffer().convertToFormat(QImage::Format_RGB32); }
    void waitPastFlickWindow() { QTRY_VERIFY(cf->dragTime.elapsed() >= 300); }
    void sendGesture(Qt::GestureType type, QGestureRecognizer::Result result, qreal angle = 0);

    QPointingDevice *touchScreen = nullptr;
    QPointingDevice *touchPad = nullptr;
    CoverStore *store = nullptr;
    CoverFlowBrowser *cf = nullptr;
    // Every signal of the strip as "<signal> <index>"; a name other than that
    // of the cover at the index is added to the entry.
    QStringList log;
};

void TestCoverFlow::initTestCase()
{
    touchScreen = QTest::createTouchDevice(QInputDevice::DeviceType::TouchScreen);
    touchPad = QTest::createTouchDevice(QInputDevice::DeviceType::TouchPad);
    QCOMPARE(QGestureRecognizer::registerRecognizer(new ScriptedRecognizer<QSwipeGesture>),
             Qt::SwipeGesture);
    QCOMPARE(QGestureRecognizer::registerRecognizer(new ScriptedRecognizer<QPanGesture>),
             Qt::PanGesture);
}

void TestCoverFlow::cleanupTestCase()
{
    delete touchScreen;
    delete touchPad;
}

void TestCoverFlow::init()
{
    store = new CoverStore;
    cf = new CoverFlowBrowser(store);
    cf->resize(1000, 356); // the strip's natural height
    cf->show();
    QVERIFY(QTest::qWaitForWindowExposed(cf));
    cf->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(cf));
    QCOMPARE(cf->height(), 356);

    log.clear();
    auto record = [this](const char *kind) {
        return [this, kind](int index, const QString &name) {
            log << QString("%1 %2").arg(kind).arg(index) +
                       (name == store->fileName(index) ? QString() : " " + name);
        };
    };
    connect(cf, &CoverFlowBrowser::currentItemChanged, this,
            [this, record](int index, const QString &name, int width, int height, int turn) {
                record("image")(index, name);
                log.last() += QString(" %1 %2 %3").arg(width).arg(height).arg(turn);
            });
    connect(cf, &CoverFlowBrowser::currentCXItemChanged, this, record("cx"));
    connect(cf, &CoverFlowBrowser::currentRawMRIItemChanged, this, record("raw"));
    connect(cf, &CoverFlowBrowser::imageForInspectionChanged, this, record("inspect image"));
    connect(cf, &CoverFlowBrowser::CXFileForInspectionChanged, this, record("inspect cx"));
    connect(cf, &CoverFlowBrowser::rawMRIFileForInspectionChanged, this, record("inspect raw"));
    connect(cf, &CoverFlowBrowser::fullScreenRequested, this, [this] { log << "full screen"; });
    connect(cf, &CoverFlowBrowser::inputKindChanged, this,
            [this](int kind) { log << QString("input kind %1").arg(kind); });
    connect(cf, &CoverFlowBrowser::stripResizeRequested, this,
            [this](int delta) { log << QString("resize %1").arg(delta); });
    connect(cf, &CoverFlowBrowser::stripCollapseRequested, this, [this] { log << "collapse"; });
}

void TestCoverFlow::cleanup()
{
    delete cf;
    delete store;
}

// As the window fills the strip for a folder.
void TestCoverFlow::fill(BrowsingMode mode, const QStringList &files)
{
    cf->clearCoverStore();
    cf->setBrowsingMode(mode);
    for (const QString &file : files)
        cf->addEmptyCover("/data/" + file);
    cf->setCurrentCoverIndex(0);
    log.clear();
}

void TestCoverFlow::sendGesture(Qt::GestureType type, QGestureRecognizer::Result result,
                                qreal angle)
{
    ScriptedGestureEvent event(type, result, angle);
    QApplication::sendEvent(cf, &event);
}

// Placeholder covers, their sizes and reflections; an empty strip.
void TestCoverFlow::covers()
{
    fill(BrowsingMode::Images, {"b.png", "c.jpg", "scan.jpg"});
    // One picture per extension, shared.
    QCOMPARE(store->image(1).cacheKey(), store->image(2).cacheKey());
    QVERIFY(store->image(0) != store->image(1));
    const QImage cover = store->image(2);
    QCOMPARE(cover.size(), QSize(256, 256));
    // A four-pixel grey frame round black at the top, opaque dark grey at the bottom.
    for (const QPoint &p : {QPoint(0, 0), QPoint(3, 100), QPoint(255, 255), QPoint(252, 128),
                            QPoint(128, 0), QPoint(128, 254)})
        QCOMPARE(cover.pixel(p), qRgb(128, 128, 128));
    const QRgb top = cover.pixel(10, 5);
    const QRgb bottom = cover.pixel(10, 250);
    QVERIFY(qRed(top) <= 2 && qAlpha(top) == 255 && qAlpha(bottom) == 255);
    QVERIFY(qRed(bottom) >= 28 && qRed(bottom) <= 32 && qRed(bottom) == qBlue(bottom));
    // The upper-case extension in yellow across the middle band, nowhere else.
    QVERIFY(countPixels(cover, QRect(4, 64, 248, 128), isPlaceholderYellow) > 100);
    QCOMPARE(countPixels(cover, QRect(0, 0, 256, 64), isPlaceholderYellow), 0);
    QCOMPARE(countPixels(cover, QRect(0, 192, 256, 64), isPlaceholderYellow), 0);

    // Outside images mode covers keep no image size: a size reported for one is lost.
    fill(BrowsingMode::CXData, {"x.vmr", "Y.SRF"});
    store->setImageSize(0, 10, 20, 6);
    QCOMPARE(store->imageWidth(0), -1);
    QCOMPARE(store->imageOrientation(0), 0);
    // Covers that share a picture share its reflection; thumbnails replaced
    // again and again do not pile up reflections (on a narrower strip: faster frames).
    cf->resize(400, 356);
    cf->grabFramebuffer();
    QCOMPARE(cf->reflectionCache.size(), 2);
    for (int i = 0; i < CoverFlowBrowser::maxCachedReflections + 2; ++i) {
        store->setThumbnail(0, png(QColor(i, 40, 40)));
        cf->grabFramebuffer();
        QVERIFY(cf->reflectionCache.size() <= CoverFlowBrowser::maxCachedReflections);
    }

    // Emptied, the strip is black, in full screen too, and keys do nothing.
    cf->clearCoverStore();
    QVERIFY(store->isEmpty() && cf->reflectionCache.isEmpty());
    for (Qt::Key key : {Qt::Key_Right, Qt::Key_PageDown, Qt::Key_Plus, Qt::Key_Left, Qt::Key_PageUp,
                        Qt::Key_Minus, Qt::Key_Return, Qt::Key_N})
        QTest::keyClick(cf, key);
    QVERIFY(log.isEmpty());
    QCOMPARE(cf->selectedIndex, -1);
    QVERIFY(!cf->animating && cf->showFileNameForSelectedItem);
    for (bool fullScreen : {false, true}) {
        cf->setFullScreen(fullScreen);
        const QImage frame = grab();
        QCOMPARE(countPixels(frame, frame.rect(), isNonBlack), 0);
    }
}

// The counter, the caption of the selected cover and, in full screen, the icon
// that leaves it.
void TestCoverFlow::overlays()
{
    fill(BrowsingMode::CXData, {"only.vmr"});
    cf->hideInstruction();
    QImage frame = grab();
    // A single cover has no side covers: the row is black left and right of it.
    const int row = cf->height() / 2 - 30;
    QCOMPARE(countPixels(frame, QRect(0, row - 100, cf->width() / 2 - 140, 200), isNonBlack), 0);
    QCOMPARE(countPixels(frame, QRect(cf->width() / 2 + 140, row - 100, 400, 200), isNonBlack), 0);
    QVERIFY(countPixels(frame, QRect(cf->width() / 2 - 100, row - 100, 200, 200), isNonBlack) >
            1000);

    // N toggles the caption; it is not drawn while the cover is still sliding in.
    const QRect band(0, cf->height() * 3 / 4, cf->width(), cf->height() / 4);
    QVERIFY(countPixels(frame, band, isWhitish) > 20);
    QTest::keyClick(cf, Qt::Key_N);
    QCOMPARE(countPixels(grab(), band, isWhitish), 0);
    QTest::keyClick(cf, Qt::Key_N);
    cf->selectedCoverPos = 70;
    QCOMPARE(countPixels(cf->grabFramebuffer(), band, isWhitish), 0);
    cf->selectedCoverPos = 50;

    // The counter ends 5 pixels from the edge, as wide as its digits.
    QStringList eleven;
    for (int i = 0; i < 11; ++i)
        eleven << QString("%1.vmr").arg(i);
    fill(BrowsingMode::CXData, eleven);
    QFont font = QApplication::font();
    font.setPointSizeF(CoverFlowBrowser::textPointSize(cf->height(), 12));
    for (const int index : {8, 9}) {
        cf->setCurrentCoverIndex(index);
        frame = grab();
        const QRect ink = QFontMetrics(font).boundingRect(QString("%1/11").arg(index + 1));
        int left = cf->width() - 120;
        while (left < cf->width() && !countPixels(frame, QRect(left, 0, 1, 30), isWhitish))
            ++left;
        QVERIFY2(qAbs(left - (cf->width() - 5 - ink.width() + ink.left())) <= 2,
                 qPrintable(QString("counter from x = %1").arg(left)));
    }
    // Covers 1 to 9 are drawn around cover 5: a thumbnail for the last of them shows
    // at once; one for a cover off the strip, on either side, repaints nothing.
    cf->setCurrentCoverIndex(5);
    cf->grabFramebuffer();
    QTest::qWait(100);
    QSignalSpy swapped(cf, &QOpenGLWidget::frameSwapped);
    store->setThumbnail(0, png(Qt::red));
    store->setThumbnail(10, png(Qt::red));
    QVERIFY(!swapped.wait(200));
    store->setThumbnail(9, png(Qt::red));
    QVERIFY(swapped.wait(5000));

    // Full screen: the icon takes the counter's place, exactly as in its file.
    cf->setFullScreen(true);
    frame = grab();
    QImage expected(32, 32, QImage::Format_RGB32);
    expected.fill(Qt::black);
    QPainter(&expected).drawImage(0, 0, QImage(":/resources/Fullscreen3_32.png"));
    const QImage corner = frame.copy(cf->width() - 33, 1, 32, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            QVERIFY2(qAbs(qGray(corner.pixel(x, y)) - qGray(expected.pixel(x, y))) <= 3,
                     qPrintable(QString("icon pixel %1,%2").arg(x).arg(y)));
    QCOMPARE(countPixels(frame, QRect(cf->width() - 80, 0, 45, 30), isNonBlack), 0);

    // A click on the icon asks to leave full screen and chooses no cover; outside
    // full screen the same place is a click on the strip.
    fill(BrowsingMode::CXData, {"a.vmr", "b.vmr", "c.vmr", "d.vmr", "e.vmr", "f.vmr"});
    connect(cf, &CoverFlowBrowser::fullScreenRequested, cf, [this] { cf->setFullScreen(false); });
    waitPastFlickWindow();
    const QPoint icon(cf->width() - 10, 10);
    QTest::mouseClick(cf, Qt::LeftButton, {}, icon);
    QCOMPARE(log, QStringList({"full screen"}));
    QCOMPARE(cf->selectedIndex, 0);
    log.clear();
    QTest::mouseClick(cf, Qt::LeftButton, {}, icon);
    QVERIFY(!log.contains("full screen"));
    QVERIFY(cf->selectedIndex > 0);

    // Never a caption on a strip 80 pixels high or lower.
    cf->resize(cf->width(), 80);
    QTRY_COMPARE(cf->height(), 80);
    QCOMPARE(countPixels(grab(), QRect(0, 40, cf->width(), 40), isWhitish), 0);
}

// The caption (at most 16 points) and the counter (at most 12) grow with the strip.
void TestCoverFlow::textPointSizes()
{
    for (const auto &[height, caption, counter] :
         {std::tuple(100, 7.0, 7.0), std::tuple(132, 7.0, 7.0), std::tuple(256, 13.5, 12.0),
          std::tuple(512, 16.0, 12.0)}) {
        QCOMPARE(CoverFlowBrowser::textPointSize(height, 16), caption);
        QCOMPARE(CoverFlowBrowser::textPointSize(height, 12), counter);
    }
}

// A step reports the new cover and inspects it at once, and again when it has
// slid in; Return inspects it once more.
void TestCoverFlow::keySteps()
{
    fill(BrowsingMode::CXData, {"a.vmr", "b.vmr", "c.srf", "d.vmr", "e.vmr"});
    QString current, inspection;
    for (const auto &[key, from, to] :
         {std::tuple(Qt::Key_Right, 1, 2), std::tuple(Qt::Key_Right, 4, 0),
          std::tuple(Qt::Key_PageDown, 0, 1), std::tuple(Qt::Key_Plus, 3, 4),
          std::tuple(Qt::Key_Left, 3, 2), std::tuple(Qt::Key_PageUp, 2, 1),
          std::tuple(Qt::Key_Minus, 1, 0), std::tuple(Qt::Key_Left, 0, 4)}) {
        cf->setCurrentCoverIndex(from);
        log.clear();
        QTest::keyClick(cf, key);
        current = QString("cx %1").arg(to);
        inspection = "inspect " + current;
        QCOMPARE(cf->selectedIndex, to);
        QVERIFY(cf->animating);
        QVERIFY(!cf->showInstruction);
        QCOMPARE(log, QStringList({current, inspection}));
    }
    QTRY_COMPARE(log, QStringList({current, inspection, inspection}));
    QVERIFY(!cf->animating && cf->selectedCoverPos == 50);
    QTest::keyClick(cf, Qt::Key_Return);
    QCOMPARE(log, QStringList({current, inspection, inspection, inspection}));
}

void TestCoverFlow::clicks()
{
    fill(BrowsingMode::Images, {"a.png", "b.png", "c.jpg", "d.png", "e.gif", "f.png"});
    cf->setCurrentCoverIndex(2);
    waitPastFlickWindow();
    log.clear();
    const int y = cf->height() / 2 - 30;
    const QPoint centre(cf->width() / 2, y);
    const float s = cf->height() / 356.0f;
    // Where the neighbouring covers are drawn: half a cover plus one or two steps out.
    const auto cover = [&](int steps) {
        return QPoint(cf->width() / 2 + int(s * (steps > 0 ? 128 : -128) + s * 95 * steps), y);
    };

    // The selected cover is inspected; another one is selected, reported and inspected.
    QTest::mouseClick(cf, Qt::LeftButton, {}, centre);
    QTest::mouseClick(cf, Qt::LeftButton, {}, cover(2));
    QTest::mouseClick(cf, Qt::LeftButton, {}, cover(-1));
    QCOMPARE(log, QStringList({"inspect image 2", "image 4 -1 -1 0", "inspect image 4",
                               "image 3 -1 -1 0", "inspect image 3"}));
    QVERIFY(!cf->showInstruction);

    // A right press selects and reports, without inspection.
    log.clear();
    QTest::mousePress(cf, Qt::RightButton, {}, cover(1));
    QTest::mouseRelease(cf, Qt::RightButton, {}, cover(1));
    QCOMPARE(cf->selectedIndex, 4);
    QCOMPARE(log, QStringList({"image 4 -1 -1 0"}));

    // A double click inspects once; the release after it adds nothing.
    QTest::mouseClick(cf, Qt::LeftButton, {}, centre);
    log.clear();
    QTest::mouseDClick(cf, Qt::LeftButton, {}, centre);
    QTest::mouseRelease(cf, Qt::LeftButton, {}, centre);
    QCOMPARE(log, QStringList({"inspect image 4"}));

    // Past the last cover there is nothing to choose.
    cf->setCurrentCoverIndex(5);
    log.clear();
    QTest::mouseClick(cf, Qt::LeftButton, {}, cover(2));
    QCOMPARE(cf->selectedIndex, 5);
    QVERIFY(log.isEmpty());
}

// Each threshold a drag passes steps once and reports the new cover. Released
// slowly, a drag inspects where it stopped; released quickly, it flicks on.
void TestCoverFlow::dragsAndFlicks()
{
    QStringList files;
    for (int i = 0; i < 40; ++i)
        files << QString("f%1.dcm").arg(i, 2, 10, QChar('0'));
    fill(BrowsingMode::RawMRI, files);
    const int step = cf->dragThreshold;
    QCOMPARE(step, 356 / 30 + 10);
    const QPoint start(cf->width() / 2, cf->height() / 2);
    waitPastFlickWindow();

    QTest::mousePress(cf, Qt::LeftButton, {}, start);
    for (const auto &[dx, index] : {std::pair(step - 1, 0), std::pair(step, 1),
                                    std::pair(2 * step + 3, 2), std::pair(step + 2, 1)}) {
        QTest::mouseMove(cf, start + QPoint(dx, 0));
        QCOMPARE(cf->selectedIndex, index);
    }
    QCOMPARE(cf->lastDragDelta, -(step + 1));
    waitPastFlickWindow();
    QTest::mouseRelease(cf, Qt::LeftButton, {}, start + QPoint(step + 2, 0));
    QCOMPARE(log, QStringList({"raw 1", "raw 2", "raw 1", "inspect raw 1"}));
    QCOMPARE(cf->flickTimeLine->state(), QTimeLine::NotRunning);

    // Dragging left on the first cover keeps the anchor where it was pressed.
    cf->setCurrentCoverIndex(0);
    QTest::mousePress(cf, Qt::LeftButton, {}, start);
    QTest::mouseMove(cf, start - QPoint(step + 1, 0));
    QCOMPARE(cf->selectedIndex, 0);
    QCOMPARE(cf->pressPos, start);
    waitPastFlickWindow();
    QTest::mouseRelease(cf, Qt::LeftButton, {}, start - QPoint(step + 1, 0));

    // A flick steps one cover per frame.
    log.clear();
    QTest::mousePress(cf, Qt::LeftButton, {}, start);
    QTest::mouseMove(cf, start + QPoint(step, 0));
    QTest::mouseRelease(cf, Qt::LeftButton, {}, start + QPoint(step, 0));
    QCOMPARE(cf->flickTimeLine->state(), QTimeLine::Running);
    QTRY_COMPARE(cf->flickTimeLine->state(), QTimeLine::NotRunning);
    QVERIFY2(cf->selectedIndex > 3, qPrintable(QString::number(cf->selectedIndex)));
    QStringList steps;
    for (int i = 1; i <= cf->selectedIndex; ++i)
        steps << QString("raw %1").arg(i);
    QCOMPARE(log, steps);

    // A flick backwards stops at the first cover; an offset of -1 rounds to
    // nothing on every frame.
    for (const auto &[from, delta, to] : {std::tuple(2, -40, 0), std::tuple(10, -1, 10)}) {
        cf->setCurrentCoverIndex(from);
        log.clear();
        cf->lastDragDelta = delta;
        cf->flickTimeLine->start();
        QTRY_COMPARE(cf->flickTimeLine->state(), QTimeLine::NotRunning);
        QCOMPARE(cf->selectedIndex, to);
    }
    QVERIFY(log.isEmpty());
}

void TestCoverFlow::touchInput()
{
    QCOMPARE(cf->inputKind, 0);
    cf->hideInstruction();
    const QImage mouseText = cf->instructionImage;
    const QPoint a(100, 100), b(300, 100);

    // Touch screen: two fingers enable gestures, one finger disables them again.
    // The overlay is not re-shown while the input kind stays the same.
    QTest::touchEvent(cf, touchScreen).press(0, a).press(1, b);
    QCOMPARE(cf->inputKind, 1);
    QCOMPARE(log.last(), QString("input kind 1"));
    QCOMPARE(cf->multiTouchActive, 1);
    QVERIFY(cf->showInstruction);
    const QImage touchScreenText = cf->instructionImage;
    QVERIFY(touchScreenText != mouseText);
    QTest::touchEvent(cf, touchScreen).release(0, a).release(1, b);
    cf->hideInstruction();
    QTest::touchEvent(cf, touchScreen).press(0, a);
    QCOMPARE(cf->multiTouchActive, 0);
    QTest::touchEvent(cf, touchScreen).release(0, a);
    QVERIFY(!cf->showInstruction);

    // Touch pad: once two fingers were seen, gestures stay enabled.
    QTest::touchEvent(cf, touchPad).press(0, a).press(1, b);
    QCOMPARE(cf->inputKind, 2);
    QCOMPARE(log.last(), QString("input kind 2"));
    QVERIFY(cf->showInstruction);
    QVERIFY(cf->instructionImage != touchScreenText && cf->instructionImage != mouseText);
    QTest::touchEvent(cf, touchPad).release(0, a).release(1, b);
    QTest::touchEvent(cf, touchPad).press(0, a);
    QCOMPARE(cf->multiTouchActive, 1);
    QTest::touchEvent(cf, touchPad).release(0, a);

    // The overlay band is as wide as the strip.
    QCOMPARE(cf->instructionImage.width(), cf->width());
    const QRgb band = qUnpremultiply(cf->instructionImage.pixel(0, 0));
    QCOMPARE(qAlpha(band), 200);
    QVERIFY2(qAbs(qRed(band) - 30) <= 1 && qRed(band) == qBlue(band),
             qPrintable(QString::number(band, 16)));
}

// Gestures act only while several fingers are on the surface.
void TestCoverFlow::gestures()
{
    fill(BrowsingMode::CXData, {"a.vmr", "b.vmr", "c.vmr"});

    // A pinch moves the splitter.
    QPinchGesture pinch;
    pinch.setChangeFlags(QPinchGesture::ScaleFactorChanged);
    pinch.setLastScaleFactor(1.0);
    pinch.setScaleFactor(1.1);
    QGestureEvent ignored({&pinch});
    QVERIFY(QApplication::sendEvent(cf, &ignored));
    QVERIFY(log.isEmpty());
    cf->multiTouchActive = 1;
    QGestureEvent grow({&pinch});
    QVERIFY(QApplication::sendEvent(cf, &grow));
    pinch.setLastScaleFactor(1.1);
    pinch.setScaleFactor(1.0);
    QGestureEvent shrink({&pinch});
    QApplication::sendEvent(cf, &shrink);
    QCOMPARE(log, QStringList({"resize 15", "resize -15"}));
    log.clear();

    // A pan shows the move cursor while it lasts.
    sendGesture(Qt::PanGesture, QGestureRecognizer::TriggerGesture);
    QCOMPARE(cf->cursor().shape(), Qt::SizeAllCursor);
    sendGesture(Qt::PanGesture, QGestureRecognizer::FinishGesture);
    QCOMPARE(cf->cursor().shape(), Qt::ArrowCursor);

    // A swipe right: the next cover, reported at once, inspected when it has slid in.
    sendGesture(Qt::SwipeGesture, QGestureRecognizer::FinishGesture, 0);
    QCOMPARE(cf->selectedIndex, 1);
    QVERIFY(cf->animating);
    QCOMPARE(log, QStringList({"cx 1"}));
    QTRY_COMPARE(log, QStringList({"cx 1", "inspect cx 1"}));

    // Left wraps from the first cover to the last.
    cf->setCurrentCoverIndex(0);
    log.clear();
    sendGesture(Qt::SwipeGesture, QGestureRecognizer::FinishGesture, 180);
    QCOMPARE(cf->selectedIndex, 2);

    // A swipe that has not finished moves nothing; neither does one without multi-touch.
    log.clear();
    sendGesture(Qt::SwipeGesture, QGestureRecognizer::TriggerGesture, 0);
    sendGesture(Qt::SwipeGesture, QGestureRecognizer::CancelGesture, 0);
    cf->multiTouchActive = 0;
    sendGesture(Qt::SwipeGesture, QGestureRecognizer::FinishGesture, 0);
    QCOMPARE(cf->selectedIndex, 2);
    QVERIFY(log.isEmpty());

    // Up asks to collapse the strip.
    cf->multiTouchActive = 1;
    sendGesture(Qt::SwipeGesture, QGestureRecognizer::FinishGesture, 90);
    QCOMPARE(log, QStringList({"collapse"}));
    QCOMPARE(cf->selectedIndex, 2);
}

QTEST_MAIN(TestCoverFlow)
#include "tst_coverflow.moc"
