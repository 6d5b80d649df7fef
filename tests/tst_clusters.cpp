#include "AffineTransform.h"
#include "Atlas.h"
#include "ClusterTable.h"
#include "NiftiFixture.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <optional>
#include <sys/stat.h>
#include <vector>

#include <zlib.h>

namespace {

using Point = AffineTransform::Point;
using Dims = std::array<int, 3>;
// Voxels set to values.
using VoxelSet = QList<QPair<Dims, float>>;

// A Gaussian blob in world space, centred on a voxel.
struct Blob
{
    Dims centre;
    double amplitude, sigma;
};

// A cluster as the table should list it.
struct Row
{
    int sign;
    qint64 voxels;
    Dims peak;
    float peakValue;
    // In voxels; not compared when left out.
    std::optional<Point> centre = std::nullopt;
};

AffineTransform diagonal(double size, const Point &origin)
{
    return AffineTransform::fromRows(
        {{{size, 0, 0, origin[0]}, {0, size, 0, origin[1]}, {0, 0, size, origin[2]}}});
}

// Turned 30° about z, x flipped, voxels of 1.5 × 2 × 2.5 mm; numbers floats
// hold exactly, so that a NIfTI sform keeps them.
AffineTransform oblique()
{
    const double c = 0.875, s = 0.5; // near enough a turn; only the shear matters
    return AffineTransform::fromRows(
        {{{-1.5 * c, -2 * s, 0, 30}, {-1.5 * s, 2 * c, 0, -25}, {0, 0, 2.5, -20}}});
}

Point toPoint(const Dims &d)
{
    return {double(d[0]), double(d[1]), double(d[2])};
}

std::vector<float> gaussianMap(const Dims &dims, const AffineTransform &toWorld,
                               const QList<Blob> &blobs)
{
    std::vector<float> values(size_t(dims[0]) * dims[1] * dims[2]);
    size_t n = 0;
    for (int k = 0; k < dims[2]; ++k)
        for (int j = 0; j < dims[1]; ++j)
            for (int i = 0; i < dims[0]; ++i, ++n) {
                const Point p = toWorld.map({double(i), double(j), double(k)});
                double v = 0.0;
                for (const Blob &b : blobs) {
                    const Point c = toWorld.map(toPoint(b.centre));
                    const double r2 = (p[0] - c[0]) * (p[0] - c[0]) +
                                      (p[1] - c[1]) * (p[1] - c[1]) + (p[2] - c[2]) * (p[2] - c[2]);
                    v += b.amplitude * std::exp(-r2 / (2 * b.sigma * b.sigma));
                }
                values[n] = float(v);
            }
    return values;
}

double ballVolume(double radius)
{
    return radius > 0 ? 4.0 / 3.0 * M_PI * radius * radius * radius : 0.0;
}

double voxelVolume(const AffineTransform &m)
{
    return std::abs(m.at(0, 0) * (m.at(1, 1) * m.at(2, 2) - m.at(1, 2) * m.at(2, 1)) -
                    m.at(0, 1) * (m.at(1, 0) * m.at(2, 2) - m.at(1, 2) * m.at(2, 0)) +
                    m.at(0, 2) * (m.at(1, 0) * m.at(2, 1) - m.at(1, 1) * m.at(2, 0)));
}

// The farthest a point of a voxel's cell lies from its centre: half its longest diagonal.
double halfDiagonal(const AffineTransform &m)
{
    double longest = 0.0;
    for (int a : {-1, 1})
        for (int b : {-1, 1}) {
            double sum = 0.0;
            for (int r = 0; r < 3; ++r) {
                const double d = m.at(r, 0) + a * m.at(r, 1) + b * m.at(r, 2);
                sum += d * d;
            }
            longest = std::max(longest, std::sqrt(sum) / 2);
        }
    return longest;
}

// A NIfTI-1 single file with an sform.
QByteArray niftiBytes(const QList<int> &dims, qint16 datatype, const std::vector<double> &values,
                      const AffineTransform &toWorld)
{
    NiftiFixture f;
    f.dims = dims;
    f.datatype = datatype;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            f.sform[size_t(r)][size_t(c)] = toWorld.at(r, c);
    f.values = values;
    return f.bytes();
}

bool writeFile(const QString &name, const QByteArray &bytes)
{
    if (name.endsWith(".gz")) {
        gzFile file = gzopen(QFile::encodeName(name).constData(), "wb");
        const bool written =
            file && gzwrite(file, bytes.constData(), unsigned(bytes.size())) == int(bytes.size());
        return gzclose(file) == Z_OK && written;
    }
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The synthetic atlas: label 1 + i mod 3 + 3 · (j mod 2) + 6 · (k mod 2) at voxel (i, j, k).
const Dims atlasDims = {6, 5, 4};
int atlasLabel(int i, int j, int k)
{
    return 1 + i % 3 + 3 * (j % 2) + 6 * (k % 2);
}

QByteArray colourTable()
{
    QByteArray lut(768, '\0');
    for (int i = 0; i < 256; ++i) {
        lut[i] = char(i);
        lut[256 + i] = char(255 - i);
        lut[512 + i] = char(i / 2);
    }
    return lut;
}

} // namespace

Q_DECLARE_METATYPE(Blob)
Q_DECLARE_METATYPE(Row)
Q_DECLARE_METATYPE(AffineTransform)
Q_DECLARE_METATYPE(ClusterCriteria)

class TestClusters : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void gaussianBlobs_data();
    void gaussianBlobs();
    void voxelRules_data();
    void voxelRules();
    void refusedGrids_data();
    void refusedGrids();
    void atlasLabels_data();
    void atlasLabels();
    void labelTexts_data();
    void labelTexts();
    void hostileAtlasFiles_data();
    void hostileAtlasFiles();
    void tsvAndJson();
    void tsvRefusals_data();
    void tsvRefusals();

private:
    QTemporaryDir dir;
    QString atlasFile;
};

void TestClusters::initTestCase()
{
    QVERIFY(dir.isValid());
    std::vector<double> labels;
    for (int k = 0; k < atlasDims[2]; ++k)
        for (int j = 0; j < atlasDims[1]; ++j)
            for (int i = 0; i < atlasDims[0]; ++i)
                labels.push_back(atlasLabel(i, j, k));
    atlasFile = dir.filePath("regions.nii.gz");
    QVERIFY(writeFile(atlasFile, niftiBytes({6, 5, 4}, 4, labels, oblique())));
    QByteArray text = "# synthetic regions\r\n\r\n";
    for (int label = 1; label <= 11; ++label) // label 12 stays unnamed
        text += QByteArray::number(label) + " \t Region  " + QByteArray::number(label) + " \r\n";
    QVERIFY(writeFile(dir.filePath("regions.nii.txt"), text));
    QVERIFY(writeFile(dir.filePath("regions.nii.lut"), colourTable()));
}

void TestClusters::gaussianBlobs_data()
{
    QTest::addColumn<Dims>("dims");
    QTest::addColumn<AffineTransform>("toWorld");
    QTest::addColumn<QList<Blob>>("blobs");
    QTest::addColumn<ClusterCriteria>("criteria");
    // The blobs listed, in the table's order.
    QTest::addColumn<QList<int>>("listed");

    const Dims cube = {41, 31, 31};
    const AffineTransform mni2 = diagonal(2, {-40, -30, -30});
    const QList<Blob> two = {{{10, 15, 15}, 8, 5}, {{30, 15, 15}, -6, 5}};
    QTest::newRow("positive blob, 2 mm") << cube << mni2 << QList<Blob>{{{20, 15, 15}, 8, 5}}
                                         << ClusterCriteria{3.1f, 1} << QList<int>{0};
    QTest::newRow("both blobs, both signs, the larger first")
        << cube << mni2 << two << ClusterCriteria{3, 3} << QList<int>{0, 1};
    QTest::newRow("wider negative blob first")
        << cube << mni2 << QList<Blob>{{{10, 15, 15}, 8, 4}, {{30, 15, 15}, -6, 6}}
        << ClusterCriteria{3, 3} << QList<int>{1, 0};
    // About 180 and 23 voxels.
    const QList<Blob> bigSmall = {{{10, 15, 15}, 8, 5}, {{30, 15, 15}, -6, 3}};
    QTest::newRow("minimum in voxels")
        << cube << mni2 << bigSmall << ClusterCriteria{3, 3, false, 100} << QList<int>{0};
    QTest::newRow("minimum in mm³")
        << cube << mni2 << bigSmall << ClusterCriteria{3, 3, false, 0, 800} << QList<int>{0};
    QTest::newRow("oblique, flipped, anisotropic")
        << Dims{48, 48, 24} << oblique()
        << QList<Blob>{{{10, 26, 12}, 7, 6}, {{36, 12, 10}, -9, 4}, {{34, 40, 8}, 5, 3}}
        << ClusterCriteria{2.3f, 3} << QList<int>{0, 1, 2};
}

// Each blob is one cluster around its centre voxel, with the blob's amplitude
// as peak and centre of gravity, and as many voxels as the ball above the
// threshold holds, up to the cells its surface cuts.
void TestClusters::gaussianBlobs()
{
    QFETCH(Dims, dims);
    QFETCH(AffineTransform, toWorld);
    QFETCH(QList<Blob>, blobs);
    QFETCH(ClusterCriteria, criteria);
    QFETCH(QList<int>, listed);

    const std::vector<float> values = gaussianMap(dims, toWorld, blobs);
    ClusterTable table;
    QVERIFY2(table.compute({values.data(), dims, toWorld, false}, criteria),
             qPrintable(table.failureReason()));
    QCOMPARE(int(table.clusters().size()), listed.size());
    const double cell = voxelVolume(toWorld);
    const double h = halfDiagonal(toWorld);
    for (int r = 0; r < listed.size(); ++r) {
        const Blob &blob = blobs[listed[r]];
        const Cluster &c = table.clusters()[size_t(r)];
        QCOMPARE(c.sign, blob.amplitude > 0 ? 1 : -1);
        QCOMPARE(c.peakVoxel, blob.centre);
        QCOMPARE(c.peakValue, float(blob.amplitude));
        const Point centre = toWorld.map(toPoint(blob.centre));
        for (int a = 0; a < 3; ++a) {
            QVERIFY(std::abs(c.peakWorld[a] - centre[a]) < 1e-9);
            QVERIFY2(std::abs(c.centreOfGravity[a] - centre[a]) < 1e-3,
                     qPrintable(QString::number(c.centreOfGravity[a] - centre[a])));
        }
        const double radius =
            blob.sigma * std::sqrt(2 * std::log(std::abs(blob.amplitude) / criteria.threshold));
        QCOMPARE(c.volumeMm3, double(c.voxels) * cell);
        QVERIFY2(
            c.volumeMm3 >= ballVolume(radius - h) && c.volumeMm3 <= ballVolume(radius + h),
            qPrintable(QString("%1 mm³, ball %2 mm³").arg(c.volumeMm3).arg(ballVolume(radius))));
    }
}

void TestClusters::voxelRules_data()
{
    QTest::addColumn<VoxelSet>("set");
    QTest::addColumn<ClusterCriteria>("criteria");
    QTest::addColumn<QList<Row>>("expected");

    using Set = VoxelSet;
    const ClusterCriteria both{3, 3};
    QTest::newRow("face neighbours join")
        << Set{{{1, 1, 1}, 5}, {{2, 1, 1}, 4}} << both << QList<Row>{{1, 2, {1, 1, 1}, 5}};
    QTest::newRow("an edge apart: two clusters")
        << Set{{{1, 1, 1}, 5}, {{2, 2, 1}, 4}} << both
        << QList<Row>{{1, 1, {1, 1, 1}, 5}, {1, 1, {2, 2, 1}, 4}};
    QTest::newRow("a corner apart: two clusters")
        << Set{{{1, 1, 1}, 4}, {{2, 2, 2}, 5}} << both
        << QList<Row>{{1, 1, {2, 2, 2}, 5}, {1, 1, {1, 1, 1}, 4}};
    QTest::newRow("the grid's first and last layers join")
        << Set{{{0, 0, 0}, 5}, {{1, 0, 0}, 5}, {{5, 4, 3}, 4}} << both
        << QList<Row>{{1, 2, {0, 0, 0}, 5}, {1, 1, {5, 4, 3}, 4}};
    // Next to each other in storage, not in space.
    QTest::newRow("row and slice ends are apart")
        << Set{{{5, 0, 1}, 5}, {{0, 1, 1}, 4}, {{1, 4, 2}, 9}, {{1, 0, 3}, 8}} << both
        << QList<Row>{{1, 1, {1, 4, 2}, 9},
                      {1, 1, {1, 0, 3}, 8},
                      {1, 1, {5, 0, 1}, 5},
                      {1, 1, {0, 1, 1}, 4}};
    // As the slices colour them: the threshold itself shows, minus it does not.
    QTest::newRow("the threshold joins, minus it does not")
        << Set{{{1, 1, 1}, 3}, {{3, 1, 1}, -3}, {{1, 3, 1}, 2.99f}, {{3, 3, 1}, -3.01f}} << both
        << QList<Row>{{-1, 1, {3, 3, 1}, -3.01f}, {1, 1, {1, 1, 1}, 3}};
    QTest::newRow("touching signs stay apart")
        << Set{{{1, 1, 1}, 5}, {{2, 1, 1}, -6}, {{3, 1, 1}, -4}} << both
        << QList<Row>{{-1, 2, {2, 1, 1}, -6}, {1, 1, {1, 1, 1}, 5}};
    QTest::newRow("positive only") << Set{{{1, 1, 1}, 5}, {{3, 1, 1}, -6}} << ClusterCriteria{3, 1}
                                   << QList<Row>{{1, 1, {1, 1, 1}, 5}};
    QTest::newRow("no sign") << Set{{{1, 1, 1}, 5}, {{3, 1, 1}, -6}} << ClusterCriteria{3, 0}
                             << QList<Row>{};
    // As the slices colour them: at threshold 0 every value of at least 0 is
    // positive, every value below it negative.
    QTest::newRow("threshold 0: zeros positive, values below negative")
        << Set{{{1, 1, 1}, -2}} << ClusterCriteria{0, 3}
        << QList<Row>{{1, 119, {0, 0, 0}, 0}, {-1, 1, {1, 1, 1}, -2}};
    QTest::newRow("threshold 0, negative sign")
        << Set{{{1, 1, 1}, -2}} << ClusterCriteria{0, 2} << QList<Row>{{-1, 1, {1, 1, 1}, -2}};
    // A map with an upper threshold hides what lies beyond it, which then
    // joins nothing.
    QTest::newRow("beyond the upper threshold")
        << Set{{{1, 1, 1}, 6}, {{2, 1, 1}, 9}, {{3, 1, 1}, 8}, {{3, 2, 1}, -9}}
        << ClusterCriteria{4, 3, false, 0, 0, 8}
        << QList<Row>{{1, 1, {3, 1, 1}, 8}, {1, 1, {1, 1, 1}, 6}};
    QTest::newRow("not a number never joins")
        << Set{{{1, 1, 1}, 5}, {{2, 1, 1}, float(qQNaN())}, {{3, 1, 1}, 5}} << both
        << QList<Row>{{1, 1, {1, 1, 1}, 5}, {1, 1, {3, 1, 1}, 5}};
    QTest::newRow("centre weighted by the values")
        << Set{{{1, 1, 1}, 4}, {{2, 1, 1}, 4}, {{2, 2, 1}, 8}} << both
        << QList<Row>{{1, 3, {2, 2, 1}, 8, Point{1.75, 1.5, 1}}};
    QTest::newRow("an infinite value weighs most")
        << Set{{{1, 1, 1}, 5}, {{2, 1, 1}, -float(qInf())}, {{3, 1, 1}, -5}, {{4, 1, 1}, -5}}
        << both
        << QList<Row>{{-1, 3, {2, 1, 1}, -float(qInf()), Point{2, 1, 1}}, {1, 1, {1, 1, 1}, 5}};
    QTest::newRow("equal peaks: the first stored")
        << Set{{{2, 2, 2}, 5}, {{2, 2, 1}, 5}, {{2, 2, 3}, 4}} << both
        << QList<Row>{{1, 3, {2, 2, 1}, 5}};
    QTest::newRow("equal sizes: the stronger peak first")
        << Set{{{1, 1, 1}, 4}, {{4, 1, 1}, -7}, {{1, 3, 1}, 6}} << both
        << QList<Row>{{-1, 1, {4, 1, 1}, -7}, {1, 1, {1, 3, 1}, 6}, {1, 1, {1, 1, 1}, 4}};
    QTest::newRow("minimum size drops the single voxel")
        << Set{{{1, 1, 1}, 5}, {{2, 1, 1}, 5}, {{4, 3, 2}, 9}} << ClusterCriteria{3, 3, false, 2}
        << QList<Row>{{1, 2, {1, 1, 1}, 5}};
    // A lag map's whole part is the lag: 4.35 counts as 0.35.
    QTest::newRow("lag map: the fraction counts")
        << Set{{{1, 1, 1}, 4.35f}, {{3, 1, 1}, 7.25f}, {{1, 3, 1}, -3.4f}}
        << ClusterCriteria{0.3f, 3, true}
        << QList<Row>{{-1, 1, {1, 3, 1}, -3.4f + 3.0f}, {1, 1, {1, 1, 1}, 4.35f - 4.0f}};
    // Only the lags shown; coloured by lag, no negative values.
    QTest::newRow("lag map: lags outside those shown hide")
        << Set{{{1, 1, 1}, 1.5f}, {{2, 1, 1}, 4.5f}, {{3, 1, 1}, 3.5f}, {{1, 3, 1}, -2.5f}}
        << ClusterCriteria{0.25f, 3, true, 0, 0, HUGE_VALF, 1, 3, true}
        << QList<Row>{{1, 1, {1, 1, 1}, 0.5f}, {1, 1, {3, 1, 1}, 0.5f}};
    // Negative values only: the value as stored, as the slices show it.
    QTest::newRow("lag map, negative sign: values as stored")
        << Set{{{1, 1, 1}, 1.5f}, {{1, 3, 1}, -2.5f}} << ClusterCriteria{0.25f, 2, true}
        << QList<Row>{{-1, 1, {1, 3, 1}, -2.5f}};
}

// Clusters of voxels set by hand on a 6 × 5 × 4 grid of zeros.
void TestClusters::voxelRules()
{
    QFETCH(VoxelSet, set);
    QFETCH(ClusterCriteria, criteria);
    QFETCH(QList<Row>, expected);

    const Dims dims = {6, 5, 4};
    std::vector<float> values(6 * 5 * 4, 0.0f);
    for (const auto &voxel : set)
        values[size_t(voxel.first[0] + 6 * voxel.first[1] + 30 * voxel.first[2])] = voxel.second;
    ClusterTable table;
    QVERIFY(table.compute({values.data(), dims, diagonal(2, {0, 0, 0}), false}, criteria));
    QList<Row> found;
    for (const Cluster &c : table.clusters())
        found.append({c.sign, c.voxels, c.peakVoxel, c.peakValue});
    QCOMPARE(found.size(), expected.size());
    for (int r = 0; r < found.size(); ++r) {
        QCOMPARE(found[r].sign, expected[r].sign);
        QCOMPARE(found[r].voxels, expected[r].voxels);
        QCOMPARE(found[r].peak, expected[r].peak);
        QCOMPARE(found[r].peakValue, expected[r].peakValue);
        if (expected[r].centre) {
            for (int a = 0; a < 3; ++a)
                QVERIFY(std::abs(table.clusters()[size_t(r)].centreOfGravity[a] -
                                 2 * (*expected[r].centre)[a]) < 1e-9);
        }
    }
}

void TestClusters::refusedGrids_data()
{
    QTest::addColumn<bool>("withValues");
    QTest::addColumn<Dims>("dims");
    QTest::addColumn<AffineTransform>("toWorld");
    QTest::addColumn<bool>("canceled");
    QTest::addColumn<QString>("reason");
    const AffineTransform mm = diagonal(1, {0, 0, 0});
    QTest::newRow("no values") << false << Dims{2, 2, 2} << mm << false << "the map has no values";
    QTest::newRow("no voxels") << true << Dims{2, 0, 2} << mm << false
                               << "a grid of 2 × 0 × 2 voxels is empty";
    QTest::newRow("flat transform") << true << Dims{2, 2, 2} << diagonal(0, {0, 0, 0}) << false
                                    << "the voxel-to-world transform has no volume";
    QTest::newRow("more voxels than 32 bits number")
        << true << Dims{65536, 65536, 2} << mm << false
        << "a grid of 65536 × 65536 × 2 voxels is too large";
    QTest::newRow("canceled") << true << Dims{2, 2, 2} << mm << true << "canceled";
}

void TestClusters::refusedGrids()
{
    QFETCH(bool, withValues);
    QFETCH(Dims, dims);
    QFETCH(AffineTransform, toWorld);
    QFETCH(bool, canceled);
    QFETCH(QString, reason);
    const std::vector<float> values(8, 5.0f);
    const std::atomic<bool> cancel(canceled);
    ClusterTable table;
    QVERIFY(!table.compute({withValues ? values.data() : nullptr, dims, toWorld, false},
                           ClusterCriteria{3, 3}, &cancel));
    QCOMPARE(table.failureReason(), reason);
    QVERIFY(table.clusters().empty());
}

void TestClusters::atlasLabels_data()
{
    QTest::addColumn<Dims>("voxel");
    // Where in the voxel's cell, in voxels along its axes.
    QTest::addColumn<Point>("offset");
    QTest::addColumn<int>("label");
    QTest::newRow("a centre") << Dims{2, 3, 1} << Point{0, 0, 0} << atlasLabel(2, 3, 1);
    QTest::newRow("near a corner")
        << Dims{4, 1, 2} << Point{0.45, -0.45, 0.45} << atlasLabel(4, 1, 2);
    QTest::newRow("past the middle: the neighbour")
        << Dims{4, 1, 2} << Point{0.55, 0, 0} << atlasLabel(5, 1, 2);
    QTest::newRow("first voxel") << Dims{0, 0, 0} << Point{-0.4, -0.4, -0.4} << atlasLabel(0, 0, 0);
    QTest::newRow("last voxel") << Dims{5, 4, 3} << Point{0.4, 0.4, 0.4} << atlasLabel(5, 4, 3);
    QTest::newRow("unnamed label 12") << Dims{2, 1, 1} << Point{0, 0, 0} << 12;
    QTest::newRow("outside, below") << Dims{0, 2, 2} << Point{-0.6, 0, 0} << -1;
    QTest::newRow("outside, above") << Dims{2, 2, 3} << Point{0, 0, 0.6} << -1;
}

// Labels at world positions of an oblique, x-flipped atlas, from the voxel nearest.
void TestClusters::atlasLabels()
{
    QFETCH(Dims, voxel);
    QFETCH(Point, offset);
    QFETCH(int, label);
    Atlas atlas;
    QVERIFY2(atlas.read(atlasFile), qPrintable(atlas.failureReason()));
    QCOMPARE(atlas.dims(), atlasDims);
    const Point world =
        oblique().map({voxel[0] + offset[0], voxel[1] + offset[1], voxel[2] + offset[2]});
    QCOMPARE(atlas.labelAt(world), label);
    const QString name = label >= 1 && label <= 11 ? QString("Region %1").arg(label) : QString();
    QCOMPARE(atlas.nameAt(world), name);
    QVERIFY(atlas.hasColours());
    if (label >= 0)
        QCOMPARE(atlas.colour(label), (std::optional<Atlas::Colour>{
                                          {uchar(label), uchar(255 - label), uchar(label / 2)}}));
    QCOMPARE(atlas.colour(256), std::nullopt);
}

void TestClusters::labelTexts_data()
{
    QTest::addColumn<QByteArray>("text");
    // "index=name;…" or the reason.
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << QByteArray("1 Precentral_L\n2 Precentral_R\n")
                           << "1=Precentral_L;2=Precentral_R";
    QTest::newRow("CRLF, BOM, comments, blanks, no last newline")
        << QByteArray("\xEF\xBB\xBF# atlas\r\n\r\n  0 Background\r\n7\tSuperior  frontal\tgyrus ")
        << "0=Background;7=Superior frontal gyrus";
    QTest::newRow("a column of codes after the names")
        << QByteArray("1 Precentral_L 2001\n2\tPrecentral R\t2002\n")
        << "1=Precentral_L;2=Precentral R";
    QTest::newRow("a number ending one name is part of it")
        << QByteArray("1 Area 44\n2 Insula\n") << "1=Area 44;2=Insula";
    QTest::newRow("numbers that tell names apart")
        << QByteArray("4 Area 4\n6 Area 6\n") << "4=Area 4;6=Area 6";
    QTest::newRow("UTF-8 and control characters")
        << QByteArray("3 Gyrus pr\xC3\xA4"
                      "centralis\n4 Bell\x07\n")
        << QString::fromUtf8("3=Gyrus präcentralis;4=Bell\\x07");
    QTest::newRow("no index") << QByteArray("1 A\nB 2\n")
                              << "line 2 does not begin with a label index";
    QTest::newRow("negative index")
        << QByteArray("-1 A\n") << "line 1 does not begin with a label index";
    QTest::newRow("index glued to the name")
        << QByteArray("12abc\n") << "line 1: no space after the label index";
    QTest::newRow("index too large")
        << QByteArray("16777217 A\n") << "line 1: the label index is above 16777216";
    QTest::newRow("index of many digits")
        << QByteArray("99999999999999999999 A\n") << "line 1: the label index is above 16777216";
    QTest::newRow("no name") << QByteArray("1 A\n2   \r\n") << "line 2: label 2 has no name";
    QTest::newRow("named twice") << QByteArray("1 A\n\n1 B\n")
                                 << "line 3: label 1 is named already on line 1";
    QTest::newRow("zero bytes") << QByteArray("1 A\n\0\0", 6) << "not a text: it holds zero bytes";
    QTest::newRow("only comments") << QByteArray("# none\n") << "no label names";
}

void TestClusters::labelTexts()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, expected);
    QMap<int, QString> names;
    QString why;
    const bool read = Atlas::parseLabelNames(text, names, why);
    QStringList pairs;
    for (auto it = names.cbegin(); it != names.cend(); ++it)
        pairs << QString("%1=%2").arg(it.key()).arg(it.value());
    QCOMPARE(read ? pairs.join(';') : why, expected);
    QCOMPARE(read, why.isEmpty());
}

void TestClusters::hostileAtlasFiles_data()
{
    QTest::addColumn<QByteArray>("image");
    // The text, the colour table: "fifo" or "dir" for one in their place,
    // null for none.
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("lut");
    QTest::addColumn<QString>("reason");

    const AffineTransform mm = diagonal(1, {0, 0, 0});
    const QByteArray good = niftiBytes({2, 2, 2}, 4, std::vector<double>(8, 1.0), mm);
    const QByteArray names = "1 A\n";
    QTest::newRow("sound, without colours") << good << names << QByteArray() << QString();
    QTest::newRow("no text") << good << QByteArray() << QByteArray()
                             << "atlas.nii has no label names beside it (atlas.nii.txt)";
    QTest::newRow("text is a FIFO")
        << good << QByteArray("fifo") << QByteArray() << "atlas.nii.txt: not a regular file";
    QTest::newRow("text is a folder")
        << good << QByteArray("dir") << QByteArray() << "atlas.nii.txt: not a regular file";
    QTest::newRow("text too large") << good << QByteArray(Atlas::maxLabelTextBytes + 1, '#')
                                    << QByteArray() << "atlas.nii.txt: larger than 4194304 bytes";
    QTest::newRow("broken text") << good << QByteArray("one A\n") << QByteArray()
                                 << "atlas.nii.txt: line 1 does not begin with a label index";
    QTest::newRow("short colour table")
        << good << names << QByteArray(767, '\1')
        << "atlas.nii.lut: 767 bytes, not the 768 of a colour table of 256 reds, greens and blues";
    QTest::newRow("long colour table")
        << good << names << QByteArray(769, '\1') << "atlas.nii.lut: larger than 768 bytes";
    QTest::newRow("colour table is a FIFO")
        << good << names << QByteArray("fifo") << "atlas.nii.lut: not a regular file";
    QTest::newRow("fractional labels")
        << niftiBytes({2, 2, 2}, 16, {1, 1, 1, 1.5, 1, 1, 1, 1}, mm) << names << QByteArray()
        << "atlas.nii: the value 1.5 at voxel 1, 1, 0 is no label (labels are whole numbers "
           "from 0 to 16777216)";
    QTest::newRow("negative labels")
        << niftiBytes({2, 2, 2}, 4, {1, 1, 1, 1, 1, 1, 1, -3}, mm) << names << QByteArray()
        << "atlas.nii: the value -3 at voxel 1, 1, 1 is no label (labels are whole numbers "
           "from 0 to 16777216)";
    QTest::newRow("4-D") << niftiBytes({2, 2, 1, 2}, 4, std::vector<double>(8, 1.0), mm) << names
                         << QByteArray() << "atlas.nii: an image of 2 volumes is no label image";
    QTest::newRow("cut short") << good.left(356) << names << QByteArray()
                               << "atlas.nii: the file is too short for its dimensions (368 bytes "
                                  "needed)";
    QTest::newRow("no image") << QByteArray() << names << QByteArray() << "atlas.nii: no such file";
}

// Every broken part refuses the whole atlas with its reason, at once.
void TestClusters::hostileAtlasFiles()
{
    QFETCH(QByteArray, image);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, lut);
    QFETCH(QString, reason);
    QTemporaryDir here;
    const QString imageName = here.filePath("atlas.nii");
    if (!image.isNull())
        QVERIFY(writeFile(imageName, image));
    for (const auto &[bytes, name] : {std::pair{text, Atlas::labelTextName(imageName)},
                                      std::pair{lut, Atlas::colourTableName(imageName)}}) {
        if (bytes == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(name).constData(), 0600), 0);
        else if (bytes == "dir")
            QVERIFY(QDir().mkdir(name));
        else if (!bytes.isNull())
            QVERIFY(writeFile(name, bytes));
    }
    Atlas atlas;
    QCOMPARE(atlas.read(imageName), reason.isEmpty());
    QCOMPARE(atlas.failureReason(), reason);
    QCOMPARE(atlas.isEmpty(), !reason.isEmpty());
    QCOMPARE(atlas.hasColours(), false);
}

// The table written, byte for byte, read back; and its JSON.
void TestClusters::tsvAndJson()
{
    const Dims dims = {6, 5, 4};
    std::vector<float> values(6 * 5 * 4, 0.0f);
    values[1 + 6 * 1 + 30 * 1] = 3.1f;
    values[2 + 6 * 1 + 30 * 1] = 5.5f;
    values[4 + 6 * 3 + 30 * 2] = -4.0000005f;
    const AffineTransform toWorld =
        AffineTransform::fromRows({{{-2, 0, 0, 10.5}, {0, 2, 0, -3}, {0, 0, 1.25, 0.1}}});
    ClusterTable table;
    QVERIFY(table.compute({values.data(), dims, toWorld, true}, ClusterCriteria{3, 3}));
    table.labelPeaks([](const Point &p) {
        return p[0] > 5 ? QString::fromUtf8("Gyrus\tpräcentralis") : QString();
    });
    const QByteArray tsv = table.toTsv();
    QCOMPARE(tsv,
             QByteArray("cluster\tsign\tvoxels\tvolume_mm3\tpeak_value\tpeak_i\tpeak_j\tpeak_k\t"
                        "peak_x_tal\tpeak_y_tal\tpeak_z_tal\tcog_x_tal\tcog_y_tal\tcog_z_tal\t"
                        "peak_label\n"
                        "1\tpos\t2\t10\t5.5\t2\t1\t1\t6.5\t-1\t1.35\t7.22093\t-1\t1.35\t"
                        "Gyrus pr\xC3\xA4"
                        "centralis\n"
                        "2\tneg\t1\t5\t-4.0000005\t4\t3\t2\t2.5\t3\t2.6\t2.5\t3\t2.6\t\n"));

    ClusterTable back;
    QVERIFY2(back.readTsv(tsv), qPrintable(back.failureReason()));
    QVERIFY(back.isTalairach());
    QCOMPARE(back.toTsv(), tsv);

    // Floats in their shortest texts: -4.0000005, not -4.000000476837158.
    QCOMPARE(
        table.toJson().toJson(QJsonDocument::Compact),
        QByteArray(R"({"clusters":[{"centreOfGravity":[7.22093,-1,1.35],"cluster":1,)"
                   R"("peakLabel":"Gyrus\tpräcentralis","peakValue":5.5,"peakVoxel":[2,1,1],)"
                   R"("peakWorld":[6.5,-1,1.35],"sign":"pos","volumeMm3":10,"voxels":2},)"
                   R"({"centreOfGravity":[2.5,3,2.6],"cluster":2,"peakLabel":"",)"
                   R"("peakValue":-4.0000005,"peakVoxel":[4,3,2],"peakWorld":[2.5,3,2.6],)"
                   R"("sign":"neg","volumeMm3":5,"voxels":1}],"lagMap":false,"minVolumeMm3":0,)"
                   R"("minVoxels":0,"sign":"both","space":"talairach","threshold":3})"));
}

void TestClusters::tsvRefusals_data()
{
    QTest::addColumn<QByteArray>("tsv");
    QTest::addColumn<QString>("reason");
    const QByteArray header = "cluster\tsign\tvoxels\tvolume_mm3\tpeak_value\tpeak_i\tpeak_j\t"
                              "peak_k\tpeak_x_mm\tpeak_y_mm\tpeak_z_mm\tcog_x_mm\tcog_y_mm\t"
                              "cog_z_mm\tpeak_label\n";
    QTest::newRow("header only") << header << QString();
    QTest::newRow("CRLF") << QByteArray(header).replace("\n", "\r\n") +
                                 "1\tpos\t1\t8\t3\t0\t0\t0\t1\t2\t3\t1\t2\t3\tA\r\n"
                          << QString();
    QTest::newRow("empty") << QByteArray() << "no header row";
    QTest::newRow("other header") << QByteArray("a\tb\n")
                                  << "the header row is not that of a cluster table";
    QTest::newRow("missing column") << header + "1\tpos\t1\t8\t3\t0\t0\t0\t1\t2\t3\t1\t2\t3\n"
                                    << "row 1 has 14 columns, not 15";
    QTest::newRow("misnumbered") << header + "2\tpos\t1\t8\t3\t0\t0\t0\t1\t2\t3\t1\t2\t3\tA\n"
                                 << "row 1 is not numbered 1";
    QTest::newRow("no sign") << header + "1\tup\t1\t8\t3\t0\t0\t0\t1\t2\t3\t1\t2\t3\tA\n"
                             << "row 1 has a sign other than pos or neg";
    QTest::newRow("comma decimal") << header + "1\tpos\t1\t8\t3,5\t0\t0\t0\t1\t2\t3\t1\t2\t3\tA\n"
                                   << "row 1 holds a field that is not a number of its kind";
    QTest::newRow("negative voxel") << header + "1\tpos\t1\t8\t3\t0\t-1\t0\t1\t2\t3\t1\t2\t3\tA\n"
                                    << "row 1 holds a field that is not a number of its kind";
    QTest::newRow("a row of tabs") << header + QByteArray(1000, '\t') + "\n"
                                   << "row 1 has 1001 columns, not 15";
    QTest::newRow("too large") << QByteArray(ClusterTable::maxTsvBytes + 1, '\n')
                               << "a table of 16777217 bytes is larger than 16777216";
}

void TestClusters::tsvRefusals()
{
    QFETCH(QByteArray, tsv);
    QFETCH(QString, reason);
    ClusterTable table;
    QCOMPARE(table.readTsv(tsv), reason.isEmpty());
    QCOMPARE(table.failureReason(), reason);
}

QTEST_GUILESS_MAIN(TestClusters)
#include "tst_clusters.moc"
