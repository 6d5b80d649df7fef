// The plain drawing of the volume and raw MRI views, read back from the images,
// the mouse position to voxel, and the cross coordinates of the header panel.

#include "DICOMDoc.h"
#include "DicomGreyImage.h"
#include "HeaderTexts.h"
#include "MosaicLayout.h"
#include "SliceMosaic.h"
#include "VolumeDoc.h"

#include <QPainter>
#include <QTest>

#include <cmath>
#include <cstdlib>

namespace {

const QRgb black = qRgb(0, 0, 0);
const QRgb red = qRgb(255, 0, 0);

// Neighbours differ, so that a slice read along the wrong axis shows.
unsigned char pattern(int x, int y, int z)
{
    return (unsigned char)(10 + (x * 7 + y * 13 + z * 29) % 216);
}

struct Volume
{
    Volume(int dimX, int dimY, int dimZ, unsigned char fill = 0)
    {
        doc.dimX = dimX;
        doc.dimY = dimY;
        doc.dimZ = dimZ;
        doc.vmrData = std::make_unique<unsigned char[]>(size_t(dimX) * dimY * dimZ);
        for (int i = 0; i < dimX * dimY * dimZ; ++i)
            doc.vmrData[i] = fill ? fill : pattern(i % dimX, i / dimX % dimY, i / dimX / dimY);
    }
    VolumeDoc doc;
};

// The bounding box of what is drawn (not black) within region.
QRect inked(const QImage &image, const QRect &region)
{
    QRect box;
    for (int y = region.top(); y <= region.bottom(); ++y)
        for (int x = region.left(); x <= region.right(); ++x)
            if (image.pixel(x, y) != black)
                box |= QRect(x, y, 1, 1);
    return box;
}

// A text drawn alone in the label font, cut to its ink.
QImage glyphs(const QString &text)
{
    QImage image(60, 40, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setFont(SliceMosaic::labelFont());
    painter.setPen(Qt::white);
    painter.drawText(10, 30, text);
    painter.end();
    return image.copy(inked(image, image.rect()));
}

} // namespace

class TestRender : public QObject
{
    Q_OBJECT

private slots:
    void slices_data();
    void slices();
    void voxelColours();
    void nothingToCompose();
    void labels();
    void cross_data();
    void cross();
    void voxelAtMousePosition_data();
    void voxelAtMousePosition();
    void crossCoords_data();
    void crossCoords();
    void dicomGrey_data();
    void dicomGrey();
};

void TestRender::slices_data()
{
    QTest::addColumn<QList<int>>("dims"); // then the cross, then side and offsets
    QTest::addColumn<QList<int>>("cross");
    QTest::addColumn<QList<int>>("layout");
    QTest::addColumn<bool>("mapped");

    QTest::newRow("256 cube") << QList{256, 256, 256} << QList{128, 100, 30} << QList{256, 0, 0, 0}
                              << false;
    QTest::newRow("x longest") << QList{7, 4, 2} << QList{6, 0, 1} << QList{7, 0, 1, 2} << false;
    QTest::newRow("y longest") << QList{3, 6, 5} << QList{0, 5, 4} << QList{6, 1, 0, 0} << false;
    QTest::newRow("z longest") << QList{2, 3, 5} << QList{1, 1, 0} << QList{5, 1, 1, 0} << false;
    QTest::newRow("outside") << QList{3, 4, 2} << QList{3, -1, 2} << QList{4, 0, 0, 1} << false;
    QTest::newRow("map") << QList{3, 2, 4} << QList{1, 0, 2} << QList{4, 0, 1, 0} << true;
}

// Each slice at its place, centred in its quadrant, the rest black; with a map
// the voxels it colours (here those off x = 0) take its colour.
void TestRender::slices()
{
    QFETCH(QList<int>, dims);
    QFETCH(QList<int>, cross);
    QFETCH(QList<int>, layout);
    QFETCH(bool, mapped);

    const VoxelColours colours;
    auto colourOf = [&](int x, int y, int z) -> std::optional<QRgb> {
        return x ? std::optional(qRgb(40 * x, 40 * y, 40 * z)) : std::nullopt;
    };
    int handed = 0;
    SliceMosaic::MapColouring map = [&](int x, int y, int z, QRgb anatomical) {
        handed += anatomical == colours.voxel(pattern(x, y, z));
        return colourOf(x, y, z);
    };
    const Volume volume(dims[0], dims[1], dims[2]);
    const QImage image =
        SliceMosaic().compose(volume.doc, cross[0], cross[1], cross[2], mapped ? map : nullptr);

    const int m = layout[0], ox = layout[1], oy = layout[2], oz = layout[3];
    QImage expected(2 * m, 2 * m, QImage::Format_RGB32);
    expected.fill(Qt::black);
    int inSlices = 0;
    for (int i = 0; i < dims[0] * dims[1] * dims[2]; ++i) {
        const int x = i % dims[0], y = i / dims[0] % dims[1], z = i / dims[0] / dims[1];
        const QRgb grey = colours.voxel(pattern(x, y, z));
        const QRgb colour = mapped ? colourOf(x, y, z).value_or(grey) : grey;
        if (z == cross[2])
            expected.setPixel(ox + x, oy + y, colour);
        if (x == cross[0])
            expected.setPixel(m + oz + z, oy + y, colour);
        if (y == cross[1])
            expected.setPixel(m + oz + z, m + ox + x, colour);
        inSlices += (z == cross[2]) + (x == cross[0]) + (y == cross[1]);
    }
    QCOMPARE(image, expected);
    QCOMPARE(handed, mapped ? inSlices : 0);
}

// One voxel shows in all three slices; the lower-left quadrant stays black.
// Grey from 10, then red-orange to yellow and blue to green, white above.
void TestRender::voxelColours()
{
    const QRgb white = qRgb(255, 255, 255);
    const QList<std::pair<int, QRgb>> valueAndColour = {{1, black},
                                                        {9, black},
                                                        {11, qRgb(1, 1, 1)},
                                                        {117, qRgb(126, 126, 126)},
                                                        {225, white},
                                                        {226, qRgb(255, 75, 0)},
                                                        {235, qRgb(255, 255, 0)},
                                                        {236, qRgb(0, 75, 255)},
                                                        {245, qRgb(0, 255, 75)},
                                                        {246, white},
                                                        {255, white}};
    for (const auto &[value, colour] : valueAndColour) {
        const QImage image = SliceMosaic().compose(Volume(1, 1, 1, value).doc, 0, 0, 0);
        QCOMPARE(
            QList({image.pixel(0, 0), image.pixel(1, 0), image.pixel(0, 1), image.pixel(1, 1)}),
            QList({colour, colour, black, colour}));
    }
}

// No voxels, no extent or an axis longer than any volume shown: no image (a
// 4096-voxel axis would ask for a mosaic of 8192 × 8192 pixels), and drawing
// on none is harmless; nor from a DICOM image without pixels or extent.
void TestRender::nothingToCompose()
{
    Volume noVoxels(2, 2, 2), flat(3, 3, 1), tooLong(MosaicLayout::maxQuadrantSide + 1, 1, 1),
        line(4096, 2, 2);
    noVoxels.doc.vmrData.reset();
    flat.doc.dimZ = 0;
    for (const Volume *volume : {&noVoxels, &flat, &tooLong, &line})
        QVERIFY(SliceMosaic().compose(volume->doc, 0, 0, 0).isNull());
    QVERIFY(!SliceMosaic().compose(Volume(1024, 2, 2).doc, 0, 0, 0).isNull());
    QVERIFY(
        !MosaicLayout(3, 3, 0).voxelAtMousePosition({8, 8}, {8, 8}, 1, {}, {1, 1}, 0, 0, 0).valid);

    QImage none;
    SliceMosaic::drawBorders(none);
    SliceMosaic::drawLabels(none, 1);
    SliceMosaic::drawCross(none, MosaicLayout(2, 2, 2), 1, 1, 1);
    QVERIFY(none.isNull());

    DICOMDoc doc;
    doc.nrOfColumns = 3;
    doc.nrOfRows = 2;
    QVERIFY(dicomGreyImage(doc).isNull());
    doc.pixelData = std::make_unique<qint16[]>(6);
    for (const auto &[columns, rows] : {std::pair(0, 2), std::pair(3, 0), std::pair(-3, -2)}) {
        doc.nrOfColumns = columns;
        doc.nrOfRows = rows;
        QVERIFY(dicomGreyImage(doc).isNull());
    }
}

// Each label in its quadrant, the titles over the middle, the side letters at
// the edges; R and L swap with the convention.
void TestRender::labels()
{
    const int m = 96;
    for (int convention : {1, 0, 2}) {
        QImage image(2 * m, 2 * m, QImage::Format_RGB32);
        image.fill(Qt::black);
        SliceMosaic::drawLabels(image, convention);
        QVERIFY(inked(image, {0, m, m, m}).isEmpty());

        const QString left = convention == 1 ? "R" : "L", right = convention == 1 ? "L" : "R";
        const QList<QStringList> texts = {
            {"SAG", "A", "P"}, {"COR", left, right}, {"TRA", left, right}};
        const QRect quadrants[] = {{0, 0, m, m}, {m, 0, m, m}, {m, m, m, m}};
        for (int q = 0; q < 3; ++q) {
            const QRect quadrant = quadrants[q], middle = quadrant.adjusted(0, m / 3, 0, -m / 3);
            const QRect title = inked(image, quadrant.adjusted(0, 0, 0, -2 * m / 3));
            const QRect first = inked(image, middle.adjusted(0, 0, -m / 2, 0));
            const QRect second = inked(image, middle.adjusted(m / 2, 0, 0, 0));
            const QString where = texts[q].join(' ');
            QVERIFY2(image.copy(title) == glyphs(texts[q][0]), qPrintable(where));
            QVERIFY2(image.copy(first) == glyphs(texts[q][1]), qPrintable(where));
            QVERIFY2(image.copy(second) == glyphs(texts[q][2]), qPrintable(where));
            QVERIFY(std::abs(title.center().x() - quadrant.center().x()) <= 2);
            QVERIFY(first.left() >= quadrant.left() + 5 && first.left() <= quadrant.left() + 7);
            QVERIFY(second.right() <= quadrant.right() - 4 &&
                    second.right() >= quadrant.right() - 7);
        }
    }
}

void TestRender::cross_data()
{
    QTest::addColumn<QList<int>>("dims");
    QTest::addColumn<QList<int>>("cross");

    QTest::newRow("first voxels") << QList{128, 128, 128} << QList{2, 3, 0};
    QTest::newRow("last voxels, centred") << QList{100, 128, 90} << QList{99, 127, 89};
    QTest::newRow("small volume") << QList{20, 10, 5} << QList{10, 5, 2};
}

// The arms end at their quadrant's edges (an arm beyond an edge leaves its end
// on it); the square around the centre is drawn whole.
void TestRender::cross()
{
    QFETCH(QList<int>, dims);
    QFETCH(QList<int>, cross);

    const MosaicLayout layout(dims[0], dims[1], dims[2]);
    QImage image(layout.imageSize(), QImage::Format_RGB32), expected = image;
    image.fill(Qt::black);
    expected.fill(Qt::black);
    SliceMosaic::drawCross(image, layout, cross[0], cross[1], cross[2]);

    const int m = layout.quadrantSide();
    const int ox = (m - dims[0]) / 2, oy = (m - dims[1]) / 2, oz = (m - dims[2]) / 2;
    const QPoint centres[] = {{ox + cross[0], oy + cross[1]},
                              {m + oz + cross[2], oy + cross[1]},
                              {m + oz + cross[2], m + ox + cross[0]}};
    for (const QPoint c : centres) {
        const int left = c.x() / m * m, top = c.y() / m * m;
        for (int d = -59; d <= 60; ++d) {
            if (std::abs(d) >= 6) {
                expected.setPixel(std::clamp(c.x() + d, left, left + m - 1), c.y(), red);
                expected.setPixel(c.x(), std::clamp(c.y() + d, top, top + m - 1), red);
            }
        }
        for (int d = 0; d < 9; ++d)
            if (d != 4 && image.rect().contains(c + QPoint(d % 3 - 1, d / 3 - 1)))
                expected.setPixel(c + QPoint(d % 3 - 1, d / 3 - 1), red);
    }
    QCOMPARE(image, expected);
}

void TestRender::voxelAtMousePosition_data()
{
    QTest::addColumn<QList<double>>("view"); // widget size, zoom, translation, mouse
    QTest::addColumn<QList<int>>("hit");     // valid, x, y, z, column, row

    // Volume 4 × 2 × 3 (offsets 0, 1, 0) in an 8 × 8 mosaic, cross at (1, 1, 2).
    // At zoom 1 in a 16 × 16 widget an image pixel is two widget pixels.
    auto row = [](const char *name, QList<double> view, QList<int> hit) {
        QTest::newRow(name) << view << hit;
    };
    row("upper left", {16, 16, 1, 0, 0, 4, 4}, {1, 2, 1, 2, 0, 0});
    row("upper right", {16, 16, 1, 0, 0, 10, 4}, {1, 1, 1, 1, 1, 0});
    row("lower right", {16, 16, 1, 0, 0, 12, 14}, {1, 3, 1, 2, 1, 1});
    row("margin", {16, 16, 1, 0, 0, 14, 10}, {0, 1, 1, 3, 1, 1});
    row("lower left", {16, 16, 1, 0, 0, 2, 12}, {1, 0, 0, 0, 0, 1});
    row("right of it", {16, 16, 1, 0, 0, 17, 4}, {0, 0, 0, 0, 2, 0});
    row("left of it", {16, 16, 1, 0, 0, -3, 12}, {0, 0, 0, 0, 0, 1});
    row("half up", {16, 16, 1, 0, 0, 5, 4}, {1, 3, 1, 2, 0, 0});
    row("half down", {16, 16, 1, 0, 0, -1, 12}, {0, 0, 0, 0, 0, 1});
    row("wide", {24, 16, 1, 0, 0, 14, 4}, {1, 1, 1, 1, 1, 0});
    row("tall", {16, 24, 1, 0, 0, 4, 8}, {1, 2, 1, 2, 0, 0});
    row("zoomed, moved", {16, 16, 2, 1, -0.5, 12, 8}, {1, 1, 1, 0, 1, 1});
    row("zoom 0", {16, 16, 0, 0, 0, 4, 4}, {0, 0, 0, 0, 0, 0});
}

void TestRender::voxelAtMousePosition()
{
    QFETCH(QList<double>, view);
    QFETCH(QList<int>, hit);

    const MosaicLayout::VoxelHit got = MosaicLayout(4, 2, 3).voxelAtMousePosition(
        QSize(view[0], view[1]), {8, 8}, view[2], {view[3], view[4]}, QPoint(view[5], view[6]), 1,
        1, 2);
    QCOMPARE(QList({int(got.valid), got.x, got.y, got.z, got.column, got.row}), hit);
}

void TestRender::crossCoords_data()
{
    QTest::addColumn<QList<int>>("position"); // cross x, y, z, offsets x, y, z
    QTest::addColumn<QList<float>>("voxelSizes");
    QTest::addColumn<int>("referenceSpace");
    QTest::addColumn<QStringList>("values");

    const QList<float> one = {1, 1, 1};
    const QList<int> position = {100, 90, 128, 0, 0, 0};
    QTest::newRow("Talairach") << position << one << 3 << QStringList{"0", "28", "38"};
    QTest::newRow("voxels") << position << one << 2 << QStringList{"128", "100", "90"};
    // 128 - 261 · 0.5 = -2.5, 128 - 653 · 0.2 = -2.6, 128 - 251 · 0.5 = 2.5
    QTest::newRow("halves up") << QList{53, 50, 61, 600, 201, 200} << QList{0.2f, 0.5f, 0.5f} << 3
                               << QStringList{"-2", "-3", "3"};
    QTest::newRow("damaged voxel size")
        << QList{1, 2, 3, 0, 0, 0} << QList{1e30f, std::nanf(""), 1.0f} << 3
        << QStringList{"125", "-1000000015047466219876688855040", "nan"};
}

void TestRender::crossCoords()
{
    QFETCH(QList<int>, position);
    QFETCH(QList<float>, voxelSizes);
    QFETCH(int, referenceSpace);
    QFETCH(QStringList, values);

    QCOMPARE(crossCoordValues({position[0], position[1], position[2]},
                              {position[3], position[4], position[5]},
                              {voxelSizes[0], voxelSizes[1], voxelSizes[2]}, referenceSpace),
             values);
}

void TestRender::dicomGrey_data()
{
    QTest::addColumn<QList<float>>("statistics"); // mean, deviation
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("grey");

    const QList<float> wide = {1000, 100}, flat = {500, 5};
    QTest::newRow("at lo 750") << wide << 750 << 0;
    QTest::newRow("below hi 1250") << wide << 1249 << 253;
    QTest::newRow("at hi") << wide << 1250 << 255;
    QTest::newRow("highest, unsigned") << wide << 65535 << 255;
    // 1000.9 and 2.5 · 100.39 = 250.975 truncated: lo 750, hi 1250
    QTest::newRow("truncated") << QList<float>{1000.9f, 100.39f} << 1250 << 255;
    // lo 488, hi 512 widened to 612
    QTest::newRow("flat, mean") << flat << 500 << 23;
    QTest::newRow("flat, hi") << flat << 612 << 255;
    // lo 475, hi 525: a range of 50 is kept
    QTest::newRow("range 50, hi") << QList<float>{500, 10} << 525 << 255;
}

// The last pixel of a 3 × 2 image, the others 0.
void TestRender::dicomGrey()
{
    QFETCH(QList<float>, statistics);
    QFETCH(int, value);
    QFETCH(int, grey);

    DICOMDoc doc;
    doc.nrOfColumns = 3;
    doc.nrOfRows = 2;
    doc.pixelData = std::make_unique<qint16[]>(6);
    doc.pixelData[5] = qint16(quint16(value));
    doc.meanIntensity = statistics[0];
    doc.stdDevIntensity = statistics[1];
    const QImage image = dicomGreyImage(doc);
    QCOMPARE(image.format(), QImage::Format_RGB32);
    QCOMPARE(image.size(), QSize(3, 2));
    QCOMPARE(QList({image.pixel(2, 1), image.pixel(2, 0)}), QList({qRgb(grey, grey, grey), black}));
}

QTEST_MAIN(TestRender)
#include "tst_render.moc"
