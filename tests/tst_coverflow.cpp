#include "CortivexViewer.h"
#include "CoverFlowBrowser.h"

#include <QApplication>
#include <QGestureEvent>
#include <QGestureRecognizer>
#include <QPainter>
#include <QSignalSpy>
#include <QSplitter>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeLine>

namespace {

// Real recognizers only finish gestures from live finger input, and a gesture's state
// cannot be set from outside. This one turns a scripted event into the recognizer
// result it carries, so the gesture reaches the widget through Qt's gesture manager
// in the states a real one goes through.
class ScriptedGestureEvent : public QEvent
{
public:
    static Type eventType()
    {
        static const Type type = Type(registerEventType());
        return type;
    }
    ScriptedGestureEvent(Qt::GestureType gesture, QGestureRecognizer::Result result,
                         qreal swipeAngle = 0)
        : QEvent(eventType()), gesture(gesture), result(result), swipeAngle(swipeAngle)
    {
    }
    Qt::GestureType gesture;
    QGestureRecognizer::Result result;
    qreal swipeAngle;
};

template <class Gesture> class ScriptedRecognizer : public QGestureRecognizer
{
public:
    QGesture *create(QObject *) override { return new Gesture; }
    Result recognize(QGesture *gesture, QObject *, QEvent *event) override
    {
        if (event->type() != ScriptedGestureEvent::eventType())
            return Ignore;
        auto *scripted = static_cast<ScriptedGestureEvent *>(event);
        if (scripted->gesture != gesture->gestureType())
            return Ignore;
        if (auto *swipe = qobject_cast<QSwipeGesture *>(gesture))
            swipe->setSwipeAngle(scripted->swipeAngle);
        return scripted->result;
    }
};

struct Spies
{
    explicit Spies(CoverFlowBrowser *cf)
        : currentImage(cf, &CoverFlowBrowser::currentItemChanged),
          currentCX(cf, &CoverFlowBrowser::currentCXItemChanged),
          currentRawMRI(cf, &CoverFlowBrowser::currentRawMRIItemChanged),
          inspectImage(cf, &CoverFlowBrowser::imageForInspectionChanged),
          inspectCX(cf, &CoverFlowBrowser::CXFileForInspectionChanged),
          inspectRawMRI(cf, &CoverFlowBrowser::rawMRIFileForInspectionChanged)
    {
    }
    void clear()
    {
        for (QSignalSpy *spy : all())
            spy->clear();
    }
    int current() const
    {
        return int(currentImage.size() + currentCX.size() + currentRawMRI.size());
    }
    int inspection() const
    {
        return int(inspectImage.size() + inspectCX.size() + inspectRawMRI.size());
    }
    QList<QSignalSpy *> all()
    {
        return {&currentImage, &currentCX, &currentRawMRI,
                &inspectImage, &inspectCX, &inspectRawMRI};
    }
    QSignalSpy currentImage, currentCX, currentRawMRI, inspectImage, inspectCX, inspectRawMRI;
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

bool isNonBlack(QRgb p)
{
    return qRed(p) > 0 || qGreen(p) > 0 || qBlue(p) > 0;
}

bool isWhitish(QRgb p)
{
    return qRed(p) > 200 && qGreen(p) > 200 && qBlue(p) > 200;
}

bool isPlaceholderYellow(QRgb p)
{
    return qRed(p) == 230 && qGreen(p) == 230 && qBlue(p) == 100;
}

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
    void emptyStorePaintsBlack();
    void counterAndFullScreenIcon();
    void caption();
    void textPointSizes_data();
    void textPointSizes();
    void keySteps_data();
    void keySteps();
    void keysOnEmptyStore();
    void clicks();
    void drags();
    void flicks();
    void touchInput();
    void pinchMovesSplitter();
    void swipes();
    void panCursor();

private:
    QString makeFolder(const QString &name, const QStringList &files);
    void openFolder(const QString &path, int mode);
    QImage grab();
    void waitPastFlickWindow();
    void sendGesture(Qt::GestureType type, QGestureRecognizer::Result result, qreal angle = 0);

    QTemporaryDir tmp;
    QPointingDevice *touchScreen = nullptr;
    QPointingDevice *touchPad = nullptr;
    CortivexViewer *viewer = nullptr;
    CoverFlowBrowser *cf = nullptr;
};

void TestCoverFlow::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(tmp.isValid());
    QDir(tmp.path()).mkpath("work");
    QDir(tmp.path()).mkpath("app");
    QDir::setCurrent(tmp.filePath("work"));
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
    // At a height of 356 pixels the strip is drawn at natural size.
    const QList<int> sizes = viewer->mainWindowSplitter->sizes();
    viewer->mainWindowSplitter->setSizes({356, sizes[0] + sizes[1] - 356});
    QTRY_COMPARE(cf->height(), 356);
}

void TestCoverFlow::cleanup()
{
    delete viewer;
    viewer = nullptr;
    cf = nullptr;
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
}

QImage TestCoverFlow::grab()
{
    return cf->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
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
    QCOMPARE(cf->coverFileNames.size(), 3);
    QCOMPARE(cf->coverImages.size(), 3);
    QCOMPARE(cf->thumbnailLoaded, QVector<int>({0, 0, 0}));
    QCOMPARE(cf->imageWidths, QVector<int>({-1, -1, -1}));
    QCOMPARE(cf->imageHeights, QVector<int>({-1, -1, -1}));
    QCOMPARE(cf->imageOrientations, QVector<unsigned char>({0, 0, 0}));
    QCOMPARE(cf->selectedIndex, 0);

    // One picture per extension, shared.
    QCOMPARE(cf->coverFileNames[2], tmp.filePath("placeholders/scan.jpg"));
    QCOMPARE(cf->coverImages[1].cacheKey(), cf->coverImages[2].cacheKey());
    QVERIFY(cf->coverImages[0].cacheKey() != cf->coverImages[1].cacheKey());

    const QImage cover = cf->coverImages[2];
    QCOMPARE(cover.size(), QSize(256, 256));
    QCOMPARE(cover.format(), QImage::Format_ARGB32_Premultiplied);
    // Four-pixel grey frame.
    for (const QPoint &p : {QPoint(0, 0), QPoint(3, 100), QPoint(255, 255), QPoint(252, 128),
                            QPoint(128, 0), QPoint(128, 254)})
        QCOMPARE(cover.pixel(p), qRgb(128, 128, 128));
    // Black at the top, dark grey at the bottom, opaque throughout.
    const QRgb top = cover.pixel(10, 5);
    const QRgb bottom = cover.pixel(10, 250);
    QVERIFY(qRed(top) <= 2);
    QVERIFY(qRed(bottom) >= 28 && qRed(bottom) <= 32);
    QCOMPARE(qAlpha(top), 255);
    QCOMPARE(qAlpha(bottom), 255);
    QCOMPARE(qRed(bottom), qBlue(bottom));
    // The upper-case extension in yellow across the middle band, nowhere else.
    QVERIFY(countPixels(cover, QRect(4, 64, 248, 128), isPlaceholderYellow) > 100);
    QCOMPARE(countPixels(cover, QRect(0, 0, 256, 64), isPlaceholderYellow), 0);
    QCOMPARE(countPixels(cover, QRect(0, 192, 256, 64), isPlaceholderYellow), 0);
    // Different text for another extension.
    QVERIFY(cf->coverImages[0] != cover);

    // Outside images mode the image size lists stay empty.
    openFolder(makeFolder("cx", {"x.vmr", "Y.SRF", "z.smp"}), 3);
    QCOMPARE(cf->coverFileNames.size(), 2);
    QVERIFY(cf->imageWidths.isEmpty() && cf->imageHeights.isEmpty());
    QVERIFY(cf->imageOrientations.isEmpty());
    // Covers that share a picture share its reflection.
    cf->grabFramebuffer();
    QCOMPARE(cf->reflectionCache.size(), 2);
    // Thumbnails replaced again and again do not pile up reflections.
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

void TestCoverFlow::emptyStorePaintsBlack()
{
    QVERIFY(cf->coverImages.isEmpty());
    QVERIFY(cf->showInstruction);
    QImage frame = grab();
    QCOMPARE(countPixels(frame, frame.rect(), isNonBlack), 0);

    viewer->slotToggleFullScreen();
    QTRY_VERIFY(viewer->isFullScreen());
    frame = grab();
    QCOMPARE(countPixels(frame, frame.rect(), isNonBlack), 0);
}

void TestCoverFlow::counterAndFullScreenIcon()
{
    const QString folder = makeFolder("one", {"only.vmr"});
    cf->hideInstruction();
    QImage frame = grab();
    const QRect topRight(cf->width() - 60, 0, 60, 30);
    QCOMPARE(countPixels(frame, topRight, isNonBlack), 0);

    openFolder(folder, 3);
    QCOMPARE(cf->coverImages.size(), 1);
    frame = grab();
    QVERIFY(countPixels(frame, topRight, isWhitish) > 5);
    // A single cover has no side covers: the row is black left and right of it.
    const int row = cf->height() / 2 - 30;
    QCOMPARE(countPixels(frame, QRect(0, row - 100, cf->width() / 2 - 140, 200), isNonBlack), 0);
    QCOMPARE(countPixels(frame, QRect(cf->width() / 2 + 140, row - 100, 400, 200), isNonBlack), 0);
    QVERIFY(countPixels(frame, QRect(cf->width() / 2 - 100, row - 100, 200, 200), isNonBlack) >
            1000);

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

    // A click on the icon leaves full screen and chooses no cover.
    openFolder(makeFolder("several", {"a.vmr", "b.vmr", "c.vmr", "d.vmr", "e.vmr", "f.vmr"}), 3);
    waitPastFlickWindow();
    Spies spies(cf);
    const QPoint icon(cf->width() - 10, 10);
    QTest::mouseClick(cf, Qt::LeftButton, {}, icon);
    QVERIFY(!viewer->fullScreen);
    QCOMPARE(cf->selectedIndex, 0);
    QCOMPARE(spies.current() + spies.inspection(), 0);
    // Outside full screen the same place is a click on the strip.
    QTest::mouseClick(cf, Qt::LeftButton, {}, icon);
    QVERIFY(!viewer->fullScreen);
    QVERIFY(cf->selectedIndex > 0);
}

void TestCoverFlow::caption()
{
    openFolder(makeFolder("caption", {"a.vmr", "b.vmr"}), 3);
    cf->hideInstruction();
    const QRect band(0, cf->height() * 3 / 4, cf->width(), cf->height() / 4);
    QVERIFY(countPixels(grab(), band, isWhitish) > 20);

    // N toggles it.
    QTest::keyClick(cf, Qt::Key_N);
    QVERIFY(!cf->showFileNameForSelectedItem);
    QCOMPARE(countPixels(grab(), band, isWhitish), 0);
    QTest::keyClick(cf, Qt::Key_N);

    // Not while the cover is still sliding in.
    cf->selectedCoverPos = 70;
    QCOMPARE(countPixels(cf->grabFramebuffer(), band, isWhitish), 0);
    cf->selectedCoverPos = 50;

    // Never on a strip 80 pixels high or lower.
    const QList<int> sizes = viewer->mainWindowSplitter->sizes();
    viewer->mainWindowSplitter->setSizes({80, sizes[0] + sizes[1] - 80});
    QTRY_COMPARE(cf->height(), 80);
    QCOMPARE(countPixels(grab(), QRect(0, 40, cf->width(), 40), isWhitish), 0);
}

void TestCoverFlow::textPointSizes_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<qreal>("caption");
    QTest::addColumn<qreal>("counter");
    QTest::newRow("small") << 100 << 7.0 << 7.0;
    QTest::newRow("lower clamp edge") << 132 << 7.0 << 7.0;
    QTest::newRow("between") << 256 << 13.5 << 12.0;
    QTest::newRow("large") << 512 << 16.0 << 12.0;
}

void TestCoverFlow::textPointSizes()
{
    QFETCH(int, height);
    QFETCH(qreal, caption);
    QFETCH(qreal, counter);
    QCOMPARE(CoverFlowBrowser::textPointSize(height, 16), caption);
    QCOMPARE(CoverFlowBrowser::textPointSize(height, 12), counter);
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

void TestCoverFlow::keySteps()
{
    QFETCH(int, key);
    QFETCH(int, from);
    QFETCH(int, to);
    openFolder(makeFolder("keys", {"a.vmr", "b.vmr", "c.srf", "d.vmr", "e.vmr"}), 3);
    cf->setCurrentCoverIndex(from);
    QCOMPARE(cf->selectedIndex, from);
    Spies spies(cf);

    QTest::keyClick(cf, Qt::Key(key));
    QCOMPARE(cf->selectedIndex, to);
    QVERIFY(cf->animating);
    QVERIFY(!cf->showInstruction);
    QCOMPARE(spies.current(), 0);
    QCOMPARE(spies.inspectCX.size(), 1);
    QCOMPARE(spies.inspectCX[0][0].toInt(), to);
    QCOMPARE(spies.inspectCX[0][1].toString(), cf->coverFileNames[to]);

    // Again when the cover has slid in.
    QTRY_COMPARE(spies.inspectCX.size(), 2);
    QCOMPARE(spies.inspectCX[1][0].toInt(), to);
    QVERIFY(!cf->animating);
    QCOMPARE(cf->selectedCoverPos, 50);
    QCOMPARE(spies.current(), 0);
    QCOMPARE(spies.inspection(), 2);

    // Return inspects the selection once more.
    QTest::keyClick(cf, Qt::Key_Return);
    QCOMPARE(spies.inspection(), 3);
    QCOMPARE(cf->selectedIndex, to);
}

void TestCoverFlow::keysOnEmptyStore()
{
    QVERIFY(cf->coverImages.isEmpty());
    Spies spies(cf);
    const bool instruction = cf->showInstruction;
    for (Qt::Key key : {Qt::Key_Right, Qt::Key_PageDown, Qt::Key_Plus, Qt::Key_Left, Qt::Key_PageUp,
                        Qt::Key_Minus, Qt::Key_Return, Qt::Key_N, Qt::Key_I})
        QTest::keyClick(cf, key);
    QCOMPARE(spies.current() + spies.inspection(), 0);
    QCOMPARE(cf->selectedIndex, -1);
    QVERIFY(!cf->animating);
    QVERIFY(cf->showFileNameForSelectedItem);
    QCOMPARE(cf->showInstruction, instruction);
}

void TestCoverFlow::clicks()
{
    openFolder(makeFolder("clicks", {"a.png", "b.png", "c.jpg", "d.png", "e.gif", "f.png"}), 1);
    cf->setCurrentCoverIndex(2);
    waitPastFlickWindow();
    Spies spies(cf);
    const QPoint centre(cf->width() / 2, cf->height() / 2 - 30);
    const float s = cf->height() / 356.0f;
    // Where the neighbouring covers are drawn: half a cover plus one or two steps out.
    const auto coverX = [&](int steps) {
        return cf->width() / 2 + int(s * (steps > 0 ? 128 + 95 * steps : -128 + 95 * steps));
    };

    // The selected cover: one inspection signal, nothing else.
    QTest::mouseClick(cf, Qt::LeftButton, {}, centre);
    QCOMPARE(spies.inspectImage.size(), 1);
    QCOMPARE(spies.inspectImage[0][0].toInt(), 2);
    QCOMPARE(spies.current(), 0);
    QCOMPARE(cf->selectedIndex, 2);

    // Another cover: selected, reported, inspected.
    spies.clear();
    QTest::mouseClick(cf, Qt::LeftButton, {}, QPoint(coverX(2), centre.y()));
    QCOMPARE(cf->selectedIndex, 4);
    QCOMPARE(spies.currentImage.size(), 1);
    const QList<QVariant> args = spies.currentImage[0];
    QCOMPARE(args[0].toInt(), 4);
    QCOMPARE(args[1].toString(), cf->coverFileNames[4]);
    QCOMPARE(args[2].toInt(), -1);
    QCOMPARE(args[3].toInt(), -1);
    QCOMPARE(args[4].toInt(), 0);
    QCOMPARE(spies.inspectImage.size(), 1);
    QCOMPARE(spies.inspectImage[0][0].toInt(), 4);
    QVERIFY(!cf->showInstruction);

    spies.clear();
    QTest::mouseClick(cf, Qt::LeftButton, {}, QPoint(coverX(-1), centre.y()));
    QCOMPARE(cf->selectedIndex, 3);
    QCOMPARE(spies.current(), 1);
    QCOMPARE(spies.inspection(), 1);

    // Right press: selects and reports, no inspection.
    spies.clear();
    QTest::mousePress(cf, Qt::RightButton, {}, QPoint(coverX(1), centre.y()));
    QTest::mouseRelease(cf, Qt::RightButton, {}, QPoint(coverX(1), centre.y()));
    QCOMPARE(cf->selectedIndex, 4);
    QCOMPARE(spies.current(), 1);
    QCOMPARE(spies.inspection(), 0);

    // Double click: one inspection, and the release after it adds nothing.
    QTest::mouseClick(cf, Qt::LeftButton, {}, centre);
    spies.clear();
    QTest::mouseDClick(cf, Qt::LeftButton, {}, centre);
    QTest::mouseRelease(cf, Qt::LeftButton, {}, centre);
    QCOMPARE(spies.inspectImage.size(), 1);
    QCOMPARE(spies.current(), 0);
    QCOMPARE(cf->selectedIndex, 4);

    // Past the last cover there is nothing to choose.
    cf->setCurrentCoverIndex(5);
    spies.clear();
    QTest::mouseClick(cf, Qt::LeftButton, {}, QPoint(coverX(2), centre.y()));
    QCOMPARE(cf->selectedIndex, 5);
    QCOMPARE(spies.current() + spies.inspection(), 0);
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
    Spies spies(cf);

    // Below the threshold nothing moves.
    QTest::mousePress(cf, Qt::LeftButton, {}, start);
    QTest::mouseMove(cf, start + QPoint(step - 1, 0));
    QCOMPARE(cf->selectedIndex, 0);
    QCOMPARE(spies.current(), 0);
    // Each threshold passed steps once and reports the new cover.
    QTest::mouseMove(cf, start + QPoint(step, 0));
    QCOMPARE(cf->selectedIndex, 1);
    QTest::mouseMove(cf, start + QPoint(2 * step + 3, 0));
    QCOMPARE(cf->selectedIndex, 2);
    QCOMPARE(spies.currentCX.size(), 2);
    QCOMPARE(spies.currentCX[1][0].toInt(), 2);
    QCOMPARE(spies.inspection(), 0);
    // Back to the left.
    QTest::mouseMove(cf, start + QPoint(step + 2, 0));
    QCOMPARE(cf->selectedIndex, 1);
    QCOMPARE(cf->lastDragDelta, -(step + 1));

    // A slow drag ends with one inspection of where it stopped.
    waitPastFlickWindow();
    QTest::mouseRelease(cf, Qt::LeftButton, {}, start + QPoint(step + 2, 0));
    QCOMPARE(spies.current(), 3);
    QCOMPARE(spies.inspectCX.size(), 1);
    QCOMPARE(spies.inspectCX[0][0].toInt(), 1);
    QCOMPARE(cf->flickTimeLine->state(), QTimeLine::NotRunning);

    // Dragging left on the first cover keeps the anchor where it was pressed.
    cf->setCurrentCoverIndex(0);
    spies.clear();
    QTest::mousePress(cf, Qt::LeftButton, {}, start);
    QTest::mouseMove(cf, start - QPoint(step + 1, 0));
    QCOMPARE(cf->selectedIndex, 0);
    QCOMPARE(cf->pressPos, start);
    QCOMPARE(spies.current(), 0);
    waitPastFlickWindow();
    QTest::mouseRelease(cf, Qt::LeftButton, {}, start - QPoint(step + 1, 0));
    QCOMPARE(spies.inspection(), 1);
}

void TestCoverFlow::flicks()
{
    QStringList files;
    for (int i = 0; i < 40; ++i)
        files << QString("f%1.dcm").arg(i, 2, 10, QChar('0'));
    openFolder(makeFolder("flicks", files), 2);
    QCOMPARE(cf->coverImages.size(), 40);
    const QPoint start(cf->width() / 2, cf->height() / 2);
    Spies spies(cf);

    // A quick drag keeps stepping after the release, one cover per frame.
    QTest::mousePress(cf, Qt::LeftButton, {}, start);
    QTest::mouseMove(cf, start + QPoint(cf->dragThreshold, 0));
    QTest::mouseRelease(cf, Qt::LeftButton, {}, start + QPoint(cf->dragThreshold, 0));
    QCOMPARE(cf->flickTimeLine->state(), QTimeLine::Running);
    QTRY_COMPARE(cf->flickTimeLine->state(), QTimeLine::NotRunning);
    QVERIFY2(cf->selectedIndex > 3, qPrintable(QString::number(cf->selectedIndex)));
    QCOMPARE(spies.currentRawMRI.size(), cf->selectedIndex);
    QCOMPARE(spies.currentRawMRI.last()[0].toInt(), cf->selectedIndex);
    QCOMPARE(spies.inspection(), 0);

    // A flick backwards stops at the first cover.
    cf->setCurrentCoverIndex(2);
    cf->lastDragDelta = -40;
    cf->flickTimeLine->start();
    QTRY_COMPARE(cf->flickTimeLine->state(), QTimeLine::NotRunning);
    QCOMPARE(cf->selectedIndex, 0);

    // An offset of -1 rounds to nothing on every frame.
    cf->setCurrentCoverIndex(10);
    spies.clear();
    cf->lastDragDelta = -1;
    cf->flickTimeLine->start();
    QTRY_COMPARE(cf->flickTimeLine->state(), QTimeLine::NotRunning);
    QCOMPARE(cf->selectedIndex, 10);
    QCOMPARE(spies.current() + spies.inspection(), 0);
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
    QCOMPARE(cf->multiTouchActive, 1);
    QVERIFY(cf->showInstruction);
    QVERIFY(cf->instructionImage != touchScreenText);
    QVERIFY(cf->instructionImage != mouseText);
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

void TestCoverFlow::pinchMovesSplitter()
{
    const QList<int> before = viewer->mainWindowSplitter->sizes();
    QPinchGesture pinch;
    pinch.setChangeFlags(QPinchGesture::ScaleFactorChanged);
    pinch.setLastScaleFactor(1.0);
    pinch.setScaleFactor(1.1);

    // Without several fingers on the surface a pinch does nothing.
    cf->multiTouchActive = 0;
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
}

void TestCoverFlow::swipes()
{
    openFolder(makeFolder("swipes", {"a.vmr", "b.vmr", "c.vmr"}), 3);
    cf->multiTouchActive = 1;
    Spies spies(cf);

    // Right: the next cover, reported at once, inspected when it has slid in.
    sendGesture(Qt::SwipeGesture, QGestureRecognizer::FinishGesture, 0);
    QCOMPARE(cf->selectedIndex, 1);
    QCOMPARE(spies.currentCX.size(), 1);
    QCOMPARE(spies.currentCX[0][0].toInt(), 1);
    QCOMPARE(spies.inspection(), 0);
    QVERIFY(cf->animating);
    QTRY_COMPARE(spies.inspectCX.size(), 1);
    QCOMPARE(spies.inspectCX[0][0].toInt(), 1);

    // Left wraps from the first cover to the last.
    cf->setCurrentCoverIndex(0);
    spies.clear();
    sendGesture(Qt::SwipeGesture, QGestureRecognizer::FinishGesture, 180);
    QCOMPARE(cf->selectedIndex, 2);
    QCOMPARE(spies.current(), 1);
    QTRY_COMPARE(spies.inspection(), 1);

    // A swipe that has not finished moves nothing; neither does one without multi-touch.
    spies.clear();
    sendGesture(Qt::SwipeGesture, QGestureRecognizer::TriggerGesture, 0);
    QCOMPARE(cf->selectedIndex, 2);
    sendGesture(Qt::SwipeGesture, QGestureRecognizer::CancelGesture, 0);
    cf->multiTouchActive = 0;
    sendGesture(Qt::SwipeGesture, QGestureRecognizer::FinishGesture, 0);
    QCOMPARE(cf->selectedIndex, 2);
    QCOMPARE(spies.current() + spies.inspection(), 0);

    // Up collapses the strip.
    cf->multiTouchActive = 1;
    const QList<int> before = viewer->mainWindowSplitter->sizes();
    sendGesture(Qt::SwipeGesture, QGestureRecognizer::FinishGesture, 90);
    QCOMPARE(viewer->mainWindowSplitter->sizes(), QList<int>({0, before[0] + before[1]}));
    QCOMPARE(cf->selectedIndex, 2);
}

void TestCoverFlow::panCursor()
{
    cf->multiTouchActive = 1;
    sendGesture(Qt::PanGesture, QGestureRecognizer::TriggerGesture);
    QCOMPARE(cf->cursor().shape(), Qt::SizeAllCursor);
    sendGesture(Qt::PanGesture, QGestureRecognizer::FinishGesture);
    QCOMPARE(cf->cursor().shape(), Qt::ArrowCursor);
}

QTEST_MAIN(TestCoverFlow)
#include "tst_coverflow.moc"
