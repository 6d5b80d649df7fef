#include "DicomFixture.h"
#include "DicomGreyImage.h"
#include "Lightbox.h"
#include "RawMRIDataOGLViewer.h"
#include "ShowFile.h"
#include "VmpFixture.h"
#include "VmrFixture.h"
#include "VolumeOGLViewer.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeLine>

#include <cstring>
#include <vector>

namespace {

QColor colourAt(const QImage &frame, double x, double y)
{
    return frame.pixelColor(int(x * frame.width()), int(y * frame.height()));
}

int countPixels(const QImage &image, bool (*matches)(QRgb))
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += matches(image.pixel(x, y));
    return n;
}

const auto isRed = [](QRgb p) { return p == qRgb(255, 0, 0); };

// The pictures of a DICOM test file's frames from what pydicom decoded of it:
// expected.txt names its kind, frames, rows and columns, name.values holds grey
// values after rescale (float32) or 8-bit RGB.
QList<QImage> decodedFrames(const QString &name, bool inverted)
{
    const QString folder = QStringLiteral(CXV_DICOM_FIXTURES "/");
    QFile list(folder + "expected.txt"), file(folder + name + ".values");
    if (!list.open(QIODevice::ReadOnly) || !file.open(QIODevice::ReadOnly))
        return {};
    QStringList line;
    for (const QByteArray &entry : list.readAll().split('\n'))
        if (entry.startsWith(name.toUtf8() + ' '))
            line = QString(entry).split(' ');
    if (line.size() < 5)
        return {};
    const bool colour = line[1] == "rgb";
    const int frames = line[2].toInt(), rows = line[3].toInt(), columns = line[4].toInt();
    const QByteArray bytes = file.readAll();
    const qint64 plane = qint64(rows) * columns;
    QList<QImage> pictures;
    for (int f = 0; f < frames; ++f) {
        if (colour) {
            QImage image(columns, rows, QImage::Format_RGB32);
            const auto *rgb = reinterpret_cast<const uchar *>(bytes.constData()) + 3 * f * plane;
            for (int y = 0; y < rows; ++y)
                for (int x = 0; x < columns; ++x, rgb += 3)
                    image.setPixel(x, y, qRgb(rgb[0], rgb[1], rgb[2]));
            pictures << image;
        } else {
            std::vector<float> values(static_cast<size_t>(plane));
            memcpy(values.data(), bytes.constData() + 4 * f * plane, size_t(4 * plane));
            pictures << dicomGreyImage(values.data(), columns, rows,
                                       greyStatistics(values.data(), plane), inverted);
        }
    }
    return pictures;
}

QList<int> cross(const VolumeOGLViewer &view)
{
    return {view.crossPosX(), view.crossPosY(), view.crossPosZ()};
}

} // namespace

class TestVolumeView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(tmp.isValid()); }
    void slicesAndCross();
    void crossKeysAndTravel();
    void legendKey();
    void lightboxTilesAreTheViewsSlices_data();
    void lightboxTilesAreTheViewsSlices();
    void failedLoads();
    void dicomInGrey();
    void dicomAsDecoded_data();
    void dicomAsDecoded();

private:
    QString write(const QString &name, const QByteArray &data);
    template <class View> void show(View &view);
    bool inspect(VolumeOGLViewer &view, int index, const QString &fileName)
    {
        return showFile<VolumeDocument>(view, index, fileName,
                                        [&](auto volume, int i) { view.showVolume(volume, i); });
    }
    bool inspect(RawMRIDataOGLViewer &view, int index, const QString &fileName)
    {
        return showFile<DicomDocument>(view, index, fileName,
                                       [&](auto dicom, int i) { view.showDicom(dicom, i); });
    }

    QTemporaryDir tmp;
};

QString TestVolumeView::write(const QString &name, const QByteArray &data)
{
    QFile file(tmp.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
}

template <class View> void TestVolumeView::show(View &view)
{
    view.resize(400, 400);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&view));
}

// A 32-voxel cube of value 200 fills three quadrants in light grey; the
// lower-left quadrant stays black; clicks move the cross.
void TestVolumeView::slicesAndCross()
{
    VmrFixture cube;
    cube.dimX = cube.dimY = cube.dimZ = 32;
    cube.voxels = QByteArray(32 * 32 * 32, char(200));
    VolumeOGLViewer view;
    show(view);
    QSignalSpy moved(&view, &VolumeOGLViewer::crossMoved);
    QSignalSpy offered(&view, &VolumeOGLViewer::thumbnailOffered);
    QVERIFY(inspect(view, 7, write("cube.vmr", cube.bytes())));
    QCOMPARE(moved.value(0), QVariantList({16, 16, 16}));
    // The cover gets the slices without labels or cross.
    QCOMPARE(offered.size(), 1);
    QCOMPARE(offered[0][0].toInt(), 7);
    QCOMPARE(offered[0][1].value<QImage>().size(), QSize(64, 64));
    QCOMPARE(countPixels(offered[0][1].value<QImage>(), isRed), 0);

    // Away from the labels: voxel value 200 is grey table entry 190; near
    // white lines between the quadrants.
    const QImage frame = view.grabFramebuffer();
    QVERIFY(colourAt(frame, 0.505, 0.25).red() > 240 && colourAt(frame, 0.75, 0.505).red() > 240);
    QCOMPARE(colourAt(frame, 0.25, 0.45), QColor(225, 225, 225));
    QCOMPARE(colourAt(frame, 0.75, 0.45), QColor(225, 225, 225));
    QCOMPARE(colourAt(frame, 0.75, 0.95), QColor(225, 225, 225));
    QCOMPARE(colourAt(frame, 0.25, 0.75), QColor(Qt::black));

    // Widget pixels per image pixel: 400 / 64. (100, 50) is image pixel (16, 8)
    // of the upper-left slice: voxel x 16, y 8 at the cross's z.
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(100, 50));
    QCOMPARE(cross(view), QList<int>({16, 8, 16}));
    QCOMPARE(moved.last(), QVariantList({16, 8, 16}));
    QVERIFY(countPixels(view.shownImage(), isRed) > 0);
    // The empty lower-left quadrant gives voxel (0, 0, 0).
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(100, 300));
    QCOMPARE(cross(view), QList<int>({0, 0, 0}));
    // A drag with the right button moves the image, not the cross.
    QTest::mousePress(&view, Qt::RightButton, {}, QPoint(300, 100));
    QTest::mouseMove(&view, QPoint(320, 100));
    QTest::mouseRelease(&view, Qt::RightButton, {}, QPoint(320, 100));
    QCOMPARE(cross(view), QList<int>({0, 0, 0}));
    QVERIFY(view.navigation().translationX() > 0);
}

void TestVolumeView::crossKeysAndTravel()
{
    VmrFixture volume;
    volume.dimX = 6;
    volume.dimY = 5;
    volume.dimZ = 4;
    VolumeOGLViewer view;
    show(view);
    inspect(view, 0, write("small.vmr", volume.bytes()));
    QCOMPARE(cross(view), QList<int>({3, 2, 2}));
    QSignalSpy moved(&view, &VolumeOGLViewer::crossMoved);
    QSignalSpy steps(&view, &VolumeOGLViewer::coverFlowKeyPressed);

    // Left and Right walk along z, up and down along y, with Shift along x; a
    // step past the edge is ignored.
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(&view, Qt::Key_Left);
    QCOMPARE(cross(view), QList<int>({3, 2, 3}));
    QCOMPARE(moved.size(), 1);
    QTest::keyClick(&view, Qt::Key_Right);
    QTest::keyClick(&view, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(&view, Qt::Key_Up);
    QCOMPARE(cross(view), QList<int>({4, 1, 2}));
    // With Shift, Left and Right go to the strip instead.
    QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(steps.value(0), QVariantList({int(Qt::Key_Right)}));
    QCOMPARE(cross(view), QList<int>({4, 1, 2}));

    // Control sets the cross travelling; it wraps at the edge and stops on Space.
    QTest::keyClick(&view, Qt::Key_Down, Qt::ControlModifier);
    QCOMPARE(view.crossTimeLine()->state(), QTimeLine::Running);
    for (int frame = 1; frame <= 4; ++frame)
        view.animateCrossMovement(frame);
    QCOMPARE(cross(view), QList<int>({4, 0, 2}));
    QTest::keyClick(&view, Qt::Key_Space);
    QCOMPARE(view.crossTimeLine()->state(), QTimeLine::NotRunning);
    view.animateCrossMovement(5);
    QCOMPARE(cross(view), QList<int>({4, 0, 2}));
    // Travelling back from the first slice wraps to the last.
    QTest::keyClick(&view, Qt::Key_Up, Qt::ControlModifier);
    view.animateCrossMovement(1);
    QCOMPARE(cross(view), QList<int>({4, 4, 2}));
    QTest::keyClick(&view, Qt::Key_Space);
}

// K shows the legend in the empty lower-left quadrant and takes it away again;
// the window starts without it.
void TestVolumeView::legendKey()
{
    VmrFixture cube;
    cube.dimX = cube.dimY = cube.dimZ = 128;
    cube.voxels = QByteArray(128 * 128 * 128, char(200));
    VolumeOGLViewer view;
    show(view);
    view.resize(1200, 750);
    QVERIFY(inspect(view, 0, write("legend.vmr", cube.bytes())));
    const auto bright = [](QRgb p) { return qGray(p) > 128; };
    // The quadrant of the mosaic of 256 pixels, and where the view shows it:
    // scaled by 750 / 256, centred.
    const QRect quadrant(0, 130, 127, 125);
    const QRect onScreen(225 + 10, 375 + 10, 375 - 20, 375 - 20);
    const auto lit = [&](const QImage &image, const QRect &area) {
        return countPixels(image.copy(area), bright);
    };
    QVERIFY(!view.isLegendShown());
    QCOMPARE(lit(view.shownImage(), quadrant), 0);
    QCOMPARE(lit(view.grabFramebuffer(), onScreen), 0);
    QTest::keyClick(&view, Qt::Key_K);
    QVERIFY(view.isLegendShown());
    QVERIFY(lit(view.shownImage(), quadrant) > 100);
    QVERIFY(lit(view.grabFramebuffer(), onScreen) > 1000);
    QTest::keyClick(&view, Qt::Key_K);
    QCOMPARE(lit(view.shownImage(), quadrant), 0);
}

void TestVolumeView::lightboxTilesAreTheViewsSlices_data()
{
    QTest::addColumn<int>("axis"); // Lightbox::Axis
    QTest::addColumn<int>("slices");
    QTest::addColumn<int>("referenceSpace");
    QTest::addColumn<QList<int>>("positions");
    QTest::addColumn<QString>("firstLabel");

    // Non-zero voxels from 3 to 15 in x, 5 to 20 in y, 2 to 25 in z: the
    // middles of equal parts, in reading order against the viewer's axes.
    QTest::newRow("axial, 4") << int(Lightbox::Axial) << 4 << 2 << QList<int>{19, 15, 11, 7}
                              << "slice 19";
    // 128 - (19 + offset 20) · 0.75 mm, superior.
    QTest::newRow("axial, Talairach")
        << int(Lightbox::Axial) << 4 << 3 << QList<int>{19, 15, 11, 7} << "z = 98.8";
    QTest::newRow("coronal, 3") << int(Lightbox::Coronal) << 3 << 2 << QList<int>{13, 9, 5}
                                << "slice 13";
    QTest::newRow("sagittal, 6") << int(Lightbox::Sagittal) << 6 << 3
                                 << QList<int>{24, 20, 16, 12, 8, 4} << "x = 60.5";
}

// Each tile is the quadrant the view shows its slice in, the map coloured in
// alike, but for the border lines the view draws through the mosaic.
void TestVolumeView::lightboxTilesAreTheViewsSlices()
{
    QFETCH(int, axis);
    QFETCH(int, slices);
    QFETCH(int, referenceSpace);
    QFETCH(QList<int>, positions);
    QFETCH(QString, firstLabel);
    VmrFixture head;
    head.dimX = 18;
    head.dimY = 24;
    head.dimZ = 28;
    head.referenceSpace = quint8(referenceSpace);
    head.voxels.resize(18 * 24 * 28);
    for (int z = 0; z < 28; ++z)
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 18; ++x)
                head.voxels[(z * 24 + y) * 18 + x] =
                    char(x >= 3 && x <= 15 && y >= 5 && y <= 20 && z >= 2 && z <= 25
                             ? 20 + (x * 7 + y * 3 + z) % 200
                             : 0);
    // Over the whole volume, which lies at 10, 20, 30 in the framing cube.
    VmpFixture maps;
    const qint32 box[6] = {10, 28, 20, 44, 30, 58};
    std::copy(box, box + 6, maps.box);
    for (qint64 i = 0; i < maps.nrOfCells(false); ++i)
        maps.maps[0].data << float(i % 7 - 3);
    maps.maps[0].useMapColors = 0;
    maps.maps[0].mapAlpha = 1;
    const auto volume = readAs<VolumeDocument>(write("lightbox.vmr", head.bytes()));
    QVERIFY(volume);
    QString why;
    QVERIFY(!volume->readMapFile(write("lightbox.vmp", maps.current()), why).isEmpty());
    QVERIFY(volume->chooseMap(0, why));
    MapDisplay display = volume->display();
    display.threshold = 0.5f;
    display.signSelection = 3;
    volume->applyDisplay(display);

    Lightbox lightbox;
    const QImage tiles = lightbox.compose(*volume, {Lightbox::Axis(axis), slices, 0, false},
                                          QSize(800, 600), volume->initialCross());
    QVERIFY(!tiles.isNull());
    const std::vector<int> at =
        Lightbox::slicePositions(volume->volume(), Lightbox::Axis(axis), slices);
    QCOMPARE(QList<int>(at.begin(), at.end()), positions);
    QCOMPARE(lightbox.tileLabel(0), firstLabel);

    VolumeOGLViewer view;
    show(view);
    view.showVolume(volume, 0);
    QTest::keyClick(&view, Qt::Key_X);
    QTest::keyClick(&view, Qt::Key_L);
    const int m = 28;
    const int a = Lightbox::volumeAxis(Lightbox::Axis(axis));
    const QPoint quadrant = a == 0 ? QPoint(m, 0) : a == 1 ? QPoint(m, m) : QPoint(0, 0);
    int coloured = 0;
    for (int i = 0; i < slices; ++i) {
        std::array<int, 3> cross = volume->initialCross();
        cross[size_t(a)] = positions[i];
        QVERIFY(view.setCrossPosition(cross[0], cross[1], cross[2]));
        const QImage tile = tiles.copy(lightbox.tileRect(i));
        QCOMPARE(tile.size(), QSize(m, m));
        QCOMPARE(tile.copy(1, 1, m - 1, m - 1),
                 view.shownImage().copy(QRect(quadrant + QPoint(1, 1), QSize(m - 1, m - 1))));
        coloured += countPixels(tile, [](QRgb p) { return qRed(p) != qGreen(p); });
    }
    QVERIFY(coloured > 0);
}

// A file that cannot be read never leaves the last item on screen.
void TestVolumeView::failedLoads()
{
    VmrFixture volume;
    VolumeOGLViewer view;
    show(view);
    inspect(view, 0, write("good.vmr", volume.bytes()));
    QVERIFY(!view.shownImage().isNull());
    QVERIFY(!inspect(view, 1, write("cut.vmr", volume.bytes().left(20))));
    QVERIFY(view.shownImage().isNull());
    QVERIFY(!view.volume());
    QVERIFY2(view.failureNote().startsWith("cut.vmr: "), qPrintable(view.failureNote()));
    // Keys find nothing to move.
    QTest::keyClick(&view, Qt::Key_Left);
    QVERIFY(view.shownImage().isNull());
    const QImage frame = view.grabFramebuffer();
    QCOMPARE(colourAt(frame, 0.1, 0.1), QColor(12, 12, 12));
}

void TestVolumeView::dicomInGrey()
{
    // Values around 1100 and a few of 3000: the mean and deviation (of the
    // values above 99) put 0 below lo and 3000 above hi.
    QList<qint16> ramp;
    for (int i = 0; i < 64 * 64; ++i)
        ramp << qint16(i % 64 < 8 ? 0 : i % 64 >= 62 ? 3000 : 1000 + 2 * (i % 64));
    DicomFixture image;
    image.unsignedShort(0x0028, 0x0010, 64)
        .unsignedShort(0x0028, 0x0011, 64)
        .unsignedShort(0x0028, 0x0100, 16)
        .pixels(ramp);
    RawMRIDataOGLViewer view;
    show(view);
    QSignalSpy offered(&view, &RawMRIDataOGLViewer::thumbnailOffered);
    QVERIFY(inspect(view, 4, write("ramp.dcm", image.file())));
    QCOMPARE(offered.value(0).value(0).toInt(), 4);
    QImage frame = view.grabFramebuffer();
    QCOMPARE(colourAt(frame, 0.03, 0.5), QColor(Qt::black));
    QCOMPARE(colourAt(frame, 0.99, 0.5), QColor(Qt::white));
    const QColor middle = colourAt(frame, 0.5, 0.5);
    QVERIFY(middle.red() > 20 && middle.red() < 235 && middle.red() == middle.green());

    // The instructions sit at the bottom edge.
    QTest::keyClick(&view, Qt::Key_I);
    QVERIFY(view.isInstructionShown());
    frame = view.grabFramebuffer();
    QVERIFY(colourAt(frame, 0.99, 0.99) != QColor(Qt::white));
    QCOMPARE(colourAt(frame, 0.99, 0.02), QColor(Qt::white));

    // Without an image the load fails: the view is cleared and says why.
    DicomFixture empty;
    empty.unsignedShort(0x0028, 0x0010, 0).unsignedShort(0x0028, 0x0011, 0).pixels({});
    QVERIFY(!inspect(view, 5, write("empty.dcm", empty.file())));
    QVERIFY(view.shownImage().isNull());
    QCOMPARE(view.failureNote(), QString("empty.dcm: no image: 0 columns and 0 rows"));
    QCOMPARE(offered.size(), 1);
}

void TestVolumeView::dicomAsDecoded_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("inverted");
    QTest::newRow("JPEG-LS") << "MR_small_jpeg_ls_lossless.dcm" << false;
    QTest::newRow("16-bit unsigned over 32767") << "bright16.dcm" << false;
    QTest::newRow("MONOCHROME1") << "mono1.dcm" << true;
    QTest::newRow("RLE colour") << "SC_rgb_rle.dcm" << false;
    QTest::newRow("8-bit RGB, explicit big-endian") << "ExplVR_BigEnd.dcm" << false;
    QTest::newRow("colour JPEG 2000") << "colour_j2k.dcm" << false;
    QTest::newRow("RLE, 5 frames") << "multi16_rle.dcm" << false;
    QTest::newRow("colour RLE, 2 frames") << "SC_rgb_rle_2frame.dcm" << false;
}

// Compressed, colour, 8-bit and multi-frame images show as decoded; Down and
// Up step through the frames, the frame shown named for the panel.
void TestVolumeView::dicomAsDecoded()
{
    QFETCH(QString, name);
    QFETCH(bool, inverted);
    const QList<QImage> expected = decodedFrames(name, inverted);
    QVERIFY(!expected.isEmpty());
    const int frames = int(expected.size());

    RawMRIDataOGLViewer view;
    show(view);
    QSignalSpy shownFrames(&view, &RawMRIDataOGLViewer::frameShown);
    QVERIFY(inspect(view, 0, QStringLiteral(CXV_DICOM_FIXTURES "/") + name));
    QCOMPARE(view.failureNote(), QString());
    QCOMPARE(view.shownImage(), expected[0]);
    for (int f = 1; f < frames; ++f) {
        QTest::keyClick(&view, Qt::Key_Down);
        QCOMPARE(view.frame(), f);
        QCOMPARE(view.shownImage(), expected[f]);
    }
    // Held at the last frame; Up goes back.
    QTest::keyClick(&view, Qt::Key_Down);
    QCOMPARE(view.frame(), frames - 1);
    QTest::keyClick(&view, Qt::Key_Up);
    QCOMPARE(view.frame(), qMax(frames - 2, 0));
    QCOMPARE(view.shownImage(), expected[qMax(frames - 2, 0)]);
    QCOMPARE(shownFrames.first(), QVariantList({0, frames}));
    QCOMPARE(shownFrames.last(), QVariantList({qMax(frames - 2, 0), frames}));
    QCOMPARE(shownFrames.size(), frames == 1 ? 1 : frames + 1);
}

QTEST_MAIN(TestVolumeView)
#include "tst_volumeview.moc"
