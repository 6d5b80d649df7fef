#include "CortivexViewer.h"
#include "CoverFlowBrowser.h"

#include <QApplication>
#include <QGestureEvent>
#include <QGestureRecognizer>
#include <QPainter>
#include <QSplitter>
#include <QStandardPaths>
#include <QTemporaryDir>
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
    void placeholderCovers();
    void emptyStore();
    void overlays();
    void textPointSizes();
    void keySteps_data();
    void keySteps();
    void clicks();
    void drags();
    void flicks();
    void touchInput();
    void gestures();

private:
    QString makeFolder(const QString &name, const QStringList &files);
    void openFolder(const QString &path, int mode);
    QImage grab() { return cf->grabFramebuffer().convertToFormat(QImage::Format_RGB32); }
    void setStripHeight(int height);
    void recordSignals();
    void waitPastFlickWindow();
    void sendGesture(Qt::GestureType type, QGestureRecognizer::Result result, qreal angle = 0);

    QTemporaryDir tmp;
    QPointingDevice *touchScreen = nullptr;
    QPointingDevice *touchPad = nullptr;
    CortivexViewer *viewer = nullptr;
    CoverFlowBrowser *cf = nullptr;
    // Every signal of the strip as "<signal> <index>"; a name other than that
    // of the cover at the index is added to the entry.
    QStringList log;
};

void TestCoverFlow::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(tmp.isValid());
    QDir(tmp.path()).mkpath("work");
    QDir(tmp.path()).mkpath("app");
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
    QDir::setCurrent(tmp.filePath("work"));
    viewer = new CortivexViewer;
    viewer->initDataFolders(tmp.filePath("app"));
    viewer->resize(1200, 750);
    viewer->show();
    QVERIFY(QTest::qWaitForWindowExposed(viewer));
    viewer->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(viewer));
    cf = viewer->coverFlowBrowser;
    setStripHeight(356); // the strip's natural size
    recordSignals();
}

void TestCoverFlow::cleanup()
{
    delete viewer;
    viewer = nullptr;
    cf = nullptr;
}

// The viewer cuts every connection of the strip when it switches modes.
void TestCoverFlow::recordSignals()
{
    log.clear();
    cf->disconnect(this);
    auto record = [this](const char *kind) {
        return [this, kind](int index, const QString &name) {
            log << QString("%1 %2").arg(kind).arg(index) +
                       (name == cf->coverFileNames.value(index) ? QString() : " " + name);
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
}

QString TestCoverFlow::makeFolder(const QString &name, const QStringList &files)
{
    QDir(tmp.path()).mkpath(name);
    for (const QString &file : files) {
        QFile f(tmp.filePath(name + "/" + file));
        if (!f.open(QIODevice::WriteOnly))
            qWarning("cannot create %s", qPrintable(f.fileName()));
    }
    return tmp.filePath(name);
}

// mode: 1 images, 2 raw MRI data, 3 CX data
void TestCoverFlow::openFolder(const QString &path, int mode)
{
    viewer->currentFolderPath = path;
    viewer->currentDir = QDir(path);
    if (mode == 1)
        viewer->switchToShowBitmaps();
    else if (mode == 2)
        viewer->switchToShowRawMRIData();
    else
        viewer->switchToShowCXFiles();
    recordSignals();
}

void TestCoverFlow::setStripHeight(int height)
{
    const QList<int> sizes = viewer->mainWindowSplitter->sizes();
    viewer->mainWindowSplitter->setSizes({height, sizes[0] + sizes[1] - height});
    QTRY_COMPARE(cf->height(), height);
}

// A release within 300 ms of the start of a drag flicks instead of clicking; the drag
// clock also starts with the widget.
void TestCoverFlow::waitPastFlickWindow()
{
    QTRY_VERIFY(cf->dragTime.elapsed() >= 300);
}

void TestCoverFlow::sendGesture(Qt::GestureType type, QGestureRecognizer::Result result,
                                qreal angle)
{
    ScriptedGestureEvent event(type, result, angle);
    QApplication::sendEvent(cf, &event);
}

void TestCoverFlow::placeholderCovers()
{
    openFolder(makeFolder("placeholders", {"scan.jpg", "b.png", "c.jpg", "notes.txt"}), 1);
    QCOMPARE(cf->coverImages.size(), 3);
    QCOMPARE(cf->coverFileNames[2], tmp.filePath("placeholders/scan.jpg"));
    QCOMPARE(cf->thumbnailLoaded, QVector<int>(3, 0));
    QCOMPARE(cf->imageWidths + cf->imageHeights, QVector<int>(6, -1));
    QCOMPARE(cf->imageOrientations, QVector<unsigned char>(3, 0));
    QCOMPARE(cf->selectedIndex, 0);

    // One picture per extension, shared.
    QCOMPARE(cf->coverImages[1].cacheKey(), cf->coverImages[2].cacheKey());
    QVERIFY(cf->coverImages[0] != cf->coverImages[1]);
    const QImage cover = cf->coverImages[2];
    QCOMPARE(cover.size(), QSize(256, 256));
    QCOMPARE(cover.format(), QImage::Format_ARGB32_Premultiplied);
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

    // Outside images mode the image size lists stay empty.
    openFolder(makeFolder("cx", {"x.vmr", "Y.SRF", "z.smp"}), 3);
    QCOMPARE(cf->coverFileNames.size(), 2);
    QVERIFY(cf->imageWidths.isEmpty() && cf->imageHeights.isEmpty());
    QVERIFY(cf->imageOrientations.isEmpty());
    // Covers that share a picture share its reflection; thumbnails replaced
    // again and again do not pile up reflections.
    cf->grabFramebuffer();
    QCOMPARE(cf->reflectionCache.size(), 2);
    for (int i = 0; i < 300; ++i) {
        QImage thumbnail(256, 256, QImage::Format_ARGB32_Premultiplied);
        thumbnail.fill(QColor(i % 256, 40, 40));
        cf->coverImages[0] = thumbnail;
        cf->grabFramebuffer();
    }
    QVERIFY(cf->reflectionCache.size() <= CoverFlowBrowser::maxCachedReflections);

    cf->clearCoverStore();
    QVERIFY(cf->coverImages.isEmpty() && cf->coverFileNames.isEmpty());
    QVERIFY(cf->thumbnailLoaded.isEmpty() && cf->reflectionCache.isEmpty());
    QCOMPARE(cf->selectedIndex, -1);
}

// Without covers keys do nothing and the strip is black, in full screen too.
void TestCoverFlow::emptyStore()
{
    QVERIFY(cf->coverImages.isEmpty());
    for (Qt::Key key : {Qt::Key_Right, Qt::Key_PageDown, Qt::Key_Plus, Qt::Key_Left, Qt::Key_PageUp,
                        Qt::Key_Minus, Qt::Key_Return, Qt::Key_N, Qt::Key_I})
        QTest::keyClick(cf, key);
    QVERIFY(log.isEmpty());
    QCOMPARE(cf->selectedIndex, -1);
    QVERIFY(!cf->animating);
    QVERIFY(cf->showFileNameForSelectedItem);
    QVERIFY(cf->showInstruction);

    QImage frame = grab();
    QCOMPARE(countPixels(frame, frame.rect(), isNonBlack), 0);
    viewer->slotToggleFullScreen();
    QTRY_VERIFY(viewer->isFullScreen());
    frame = grab();
    QCOMPARE(countPixels(frame, frame.rect(), isNonBlack), 0);
}

// The counter, the caption of the selected cover and, in full screen, the icon
// that leaves it.
void TestCoverFlow::overlays()
{
    openFolder(makeFolder("one", {"only.vmr"}), 3);
    cf->hideInstruction();
    QImage frame = grab();
    QVERIFY(countPixels(frame, QRect(cf->width() - 60, 0, 60, 30), isWhitish) > 5);
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
    QVERIFY(!cf->showFileNameForSelectedItem);
    QCOMPARE(countPixels(grab(), band, isWhitish), 0);
    QTest::keyClick(cf, Qt::Key_N);
    cf->selectedCoverPos = 70;
    QCOMPARE(countPixels(cf->grabFramebuffer(), band, isWhitish), 0);
    cf->selectedCoverPos = 50;

    // Full screen: the icon takes the counter's place, exactly as in its file.
    viewer->slotToggleFullScreen();
    QTRY_VERIFY(viewer->isFullScreen());
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

    // A click on the icon leaves full screen and chooses no cover; outside
    // full screen the same place is a click on the strip.
    openFolder(makeFolder("several", {"a.vmr", "b.vmr", "c.vmr", "d.vmr", "e.vmr", "f.vmr"}), 3);
    waitPastFlickWindow();
    const QPoint icon(cf->width() - 10, 10);
    QTest::mouseClick(cf, Qt::LeftButton, {}, icon);
    QVERIFY(!viewer->fullScreen);
    QCOMPARE(cf->selectedIndex, 0);
    QVERIFY(log.isEmpty());
    QTest::mouseClick(cf, Qt::LeftButton, {}, icon);
    QVERIFY(!viewer->fullScreen);
    QVERIFY(cf->selectedIndex > 0);

    // Never a caption on a strip 80 pixels high or lower.
    setStripHeight(80);
    QCOMPARE(countPixels(grab(), QRect(0, 40, cf->width(), 40), isWhitish), 0);
}

void TestCoverFlow::textPointSizes()
{
    const struct
    {
        int height;
        qreal caption, counter;
    } cases[] = {{100, 7, 7}, {132, 7, 7}, {256, 13.5, 12}, {512, 16, 12}};
    for (const auto &c : cases) {
        QCOMPARE(CoverFlowBrowser::textPointSize(c.height, 16), c.caption);
        QCOMPARE(CoverFlowBrowser::textPointSize(c.height, 12), c.counter);
    }
}

void TestCoverFlow::keySteps_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::newRow("Right") << int(Qt::Key_Right) << 1 << 2;
    QTest::newRow("Right on last wraps") << int(Qt::Key_Right) << 4 << 0;
    QTest::newRow("PageDown") << int(Qt::Key_PageDown) << 0 << 1;
    QTest::newRow("Plus") << int(Qt::Key_Plus) << 3 << 4;
    QTest::newRow("Left") << int(Qt::Key_Left) << 3 << 2;
    QTest::newRow("Left on first wraps") << int(Qt::Key_Left) << 0 << 4;
    QTest::newRow("PageUp") << int(Qt::Key_PageUp) << 2 << 1;
    QTest::newRow("Minus") << int(Qt::Key_Minus) << 1 << 0;
}

// A step inspects the new cover at once and again when it has slid in;
// Return inspects it once more.
void TestCoverFlow::keySteps()
{
    QFETCH(int, key);
    QFETCH(int, from);
    QFETCH(int, to);
    openFolder(makeFolder("keys", {"a.vmr", "b.vmr", "c.srf", "d.vmr", "e.vmr"}), 3);
    cf->setCurrentCoverIndex(from);
    log.clear();

    QTest::keyClick(cf, Qt::Key(key));
    const QString inspection = QString("inspect cx %1").arg(to);
    QCOMPARE(cf->selectedIndex, to);
    QVERIFY(cf->animating);
    QVERIFY(!cf->showInstruction);
    QCOMPARE(log, QStringList({inspection}));
    QTRY_COMPARE(log.size(), 2);
    QCOMPARE(log, QStringList(2, inspection));
    QVERIFY(!cf->animating);
    QCOMPARE(cf->selectedCoverPos, 50);
    QTest::keyClick(cf, Qt::Key_Return);
    QCOMPARE(log, QStringList(3, inspection));
}

void TestCoverFlow::clicks()
{
    openFolder(makeFolder("clicks", {"a.png", "b.png", "c.jpg", "d.png", "e.gif", "f.png"}), 1);
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

void TestCoverFlow::drags()
{
    QStringList files;
    for (int i = 0; i < 10; ++i)
        files << QString("f%1.vmr").arg(i);
    openFolder(makeFolder("drags", files), 3);
    QCOMPARE(cf->dragThreshold, cf->height() / 30 + 10);
    const int step = cf->dragThreshold;
    const QPoint start(cf->width() / 2, cf->height() / 2);
    waitPastFlickWindow();

    // Each threshold passed steps once and reports the new cover; a slow drag
    // ends with one inspection of where it stopped.
    QTest::mousePress(cf, Qt::LeftButton, {}, start);
    QTest::mouseMove(cf, start + QPoint(step - 1, 0));
    QCOMPARE(cf->selectedIndex, 0);
    QTest::mouseMove(cf, start + QPoint(step, 0));
    QCOMPARE(cf->selectedIndex, 1);
    QTest::mouseMove(cf, start + QPoint(2 * step + 3, 0));
    QCOMPARE(cf->selectedIndex, 2);
    QTest::mouseMove(cf, start + QPoint(step + 2, 0));
    QCOMPARE(cf->selectedIndex, 1);
    QCOMPARE(cf->lastDragDelta, -(step + 1));
    waitPastFlickWindow();
    QTest::mouseRelease(cf, Qt::LeftButton, {}, start + QPoint(step + 2, 0));
    QCOMPARE(log, QStringList({"cx 1", "cx 2", "cx 1", "inspect cx 1"}));
    QCOMPARE(cf->flickTimeLine->state(), QTimeLine::NotRunning);

    // Dragging left on the first cover keeps the anchor where it was pressed.
    cf->setCurrentCoverIndex(0);
    log.clear();
    QTest::mousePress(cf, Qt::LeftButton, {}, start);
    QTest::mouseMove(cf, start - QPoint(step + 1, 0));
    QCOMPARE(cf->selectedIndex, 0);
    QCOMPARE(cf->pressPos, start);
    waitPastFlickWindow();
    QTest::mouseRelease(cf, Qt::LeftButton, {}, start - QPoint(step + 1, 0));
    QCOMPARE(log, QStringList({"inspect cx 0"}));
}

void TestCoverFlow::flicks()
{
    QStringList files;
    for (int i = 0; i < 40; ++i)
        files << QString("f%1.dcm").arg(i, 2, 10, QChar('0'));
    openFolder(makeFolder("flicks", files), 2);
    QCOMPARE(cf->coverImages.size(), 40);
    const QPoint start(cf->width() / 2, cf->height() / 2);

    // A quick drag keeps stepping after the release, one cover per frame.
    QTest::mousePress(cf, Qt::LeftButton, {}, start);
    QTest::mouseMove(cf, start + QPoint(cf->dragThreshold, 0));
    QTest::mouseRelease(cf, Qt::LeftButton, {}, start + QPoint(cf->dragThreshold, 0));
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
    QTest::touchEvent(cf, touchScreen).press(0, a).press(1, b);
    QCOMPARE(cf->inputKind, 1);
    QCOMPARE(viewer->inputKind, 1);
    QCOMPARE(cf->multiTouchActive, 1);
    QVERIFY(cf->showInstruction);
    const QImage touchScreenText = cf->instructionImage;
    QVERIFY(touchScreenText != mouseText);
    QTest::touchEvent(cf, touchScreen).release(0, a).release(1, b);
    QTest::touchEvent(cf, touchScreen).press(0, a);
    QCOMPARE(cf->multiTouchActive, 0);
    QTest::touchEvent(cf, touchScreen).release(0, a);

    // The overlay is not re-shown while the input kind stays the same.
    cf->hideInstruction();
    QTest::touchEvent(cf, touchScreen).press(0, a);
    QTest::touchEvent(cf, touchScreen).release(0, a);
    QVERIFY(!cf->showInstruction);

    // Touch pad: once two fingers were seen, gestures stay enabled.
    QTest::touchEvent(cf, touchPad).press(0, a).press(1, b);
    QCOMPARE(cf->inputKind, 2);
    QCOMPARE(viewer->inputKind, 2);
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
    openFolder(makeFolder("gestures", {"a.vmr", "b.vmr", "c.vmr"}), 3);
    const QList<int> before = viewer->mainWindowSplitter->sizes();

    // A pinch moves the splitter.
    QPinchGesture pinch;
    pinch.setChangeFlags(QPinchGesture::ScaleFactorChanged);
    pinch.setLastScaleFactor(1.0);
    pinch.setScaleFactor(1.1);
    QGestureEvent ignored({&pinch});
    QVERIFY(QApplication::sendEvent(cf, &ignored));
    QCOMPARE(viewer->mainWindowSplitter->sizes(), before);
    cf->multiTouchActive = 1;
    QGestureEvent grow({&pinch});
    QVERIFY(QApplication::sendEvent(cf, &grow));
    QCOMPARE(viewer->mainWindowSplitter->sizes(), QList<int>({before[0] + 15, before[1] - 15}));
    pinch.setLastScaleFactor(1.1);
    pinch.setScaleFactor(1.0);
    QGestureEvent shrink({&pinch});
    QApplication::sendEvent(cf, &shrink);
    QCOMPARE(viewer->mainWindowSplitter->sizes(), before);

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
    QTRY_COMPARE(log, QStringList({"cx 2", "inspect cx 2"}));

    // A swipe that has not finished moves nothing; neither does one without multi-touch.
    log.clear();
    sendGesture(Qt::SwipeGesture, QGestureRecognizer::TriggerGesture, 0);
    sendGesture(Qt::SwipeGesture, QGestureRecognizer::CancelGesture, 0);
    cf->multiTouchActive = 0;
    sendGesture(Qt::SwipeGesture, QGestureRecognizer::FinishGesture, 0);
    QCOMPARE(cf->selectedIndex, 2);
    QVERIFY(log.isEmpty());

    // Up collapses the strip.
    cf->multiTouchActive = 1;
    const QList<int> sizes = viewer->mainWindowSplitter->sizes();
    sendGesture(Qt::SwipeGesture, QGestureRecognizer::FinishGesture, 90);
    QCOMPARE(viewer->mainWindowSplitter->sizes(), QList<int>({0, sizes[0] + sizes[1]}));
    QCOMPARE(cf->selectedIndex, 2);
}

QTEST_MAIN(TestCoverFlow)
#include "tst_coverflow.moc"
