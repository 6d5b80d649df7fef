#include "AffineTransform.h"
#include "DicomHeader.h"
#include "DicomPixels.h"
#include "DicomSeries.h"
#include "NiftiImage.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

QString fixture(const QString &name)
{
    return QStringLiteral(CXV_DICOM_FIXTURES "/") + name;
}

QString seriesFixture(const QString &name)
{
    return QStringLiteral(CXV_DICOM_SERIES "/") + name;
}

QList<QByteArrayList> table(const QString &name, char separator)
{
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing %s", qPrintable(name));
    QList<QByteArrayList> rows;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (!line.isEmpty())
            rows << line.split(separator);
    return rows;
}

const DicomSeries *findSeries(const std::vector<DicomSeries> &all, const QString &name)
{
    for (const DicomSeries &s : all)
        if (s.displayName() == name)
            return &s;
    return nullptr;
}

} // namespace

class TestDicomPixels : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void decodesAsPydicom_data();
    void decodesAsPydicom();
    void refusesHostileFiles_data();
    void refusesHostileFiles();
    void findsDicomByContent();
    void groupsAndSorts_data();
    void groupsAndSorts();
    void matchesDcm2niix_data();
    void matchesDcm2niix();

private:
    std::vector<DicomSeries> series;
    QStringList skipped;
};

void TestDicomPixels::initTestCase()
{
    series = DicomSeriesGrouping::scanFolder(seriesFixture("series"), &skipped);
}

void TestDicomPixels::decodesAsPydicom_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("rgb");
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columns");
    QTest::addColumn<double>("tolerance");
    for (const QByteArrayList &f : table(fixture("expected.txt"), ' '))
        QTest::newRow(f[0].constData()) << QString(f[0]) << (f[1] == "rgb") << f[2].toInt()
                                        << f[3].toInt() << f[4].toInt() << f[5].toDouble();
}

void TestDicomPixels::decodesAsPydicom()
{
    QFETCH(QString, name);
    QFETCH(bool, rgb);
    QFETCH(int, frames);
    QFETCH(int, rows);
    QFETCH(int, columns);
    QFETCH(double, tolerance);

    QFile file(fixture(name + ".values"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray expected = file.readAll();

    DicomPixels pixels;
    QVERIFY2(pixels.open(fixture(name)), qPrintable(pixels.failureReason()));
    QCOMPARE(pixels.frames(), frames);
    QCOMPARE(pixels.rows(), rows);
    QCOMPARE(pixels.columns(), columns);
    QCOMPARE(pixels.isColour(), rgb);
    const qint64 n = qint64(rows) * columns;
    double worst = 0;
    // The last frame first: frames decode on demand, in any order.
    for (int f = frames - 1; f >= 0; --f) {
        if (rgb) {
            std::vector<quint32> colours;
            QVERIFY2(pixels.colourFrame(f, colours), qPrintable(pixels.failureReason()));
            QCOMPARE(qint64(colours.size()), n);
            const auto *e = reinterpret_cast<const uchar *>(expected.constData()) + 3 * n * f;
            for (qint64 i = 0; i < n; ++i) {
                const int got[3] = {int(colours[size_t(i)] >> 16 & 0xFF),
                                    int(colours[size_t(i)] >> 8 & 0xFF),
                                    int(colours[size_t(i)] & 0xFF)};
                for (int c = 0; c < 3; ++c)
                    worst = std::max(worst, double(std::abs(got[c] - e[3 * i + c])));
            }
        } else {
            std::vector<float> values;
            QVERIFY2(pixels.greyFrame(f, values), qPrintable(pixels.failureReason()));
            QCOMPARE(qint64(values.size()), n);
            std::vector<float> want(static_cast<size_t>(n));
            memcpy(want.data(), expected.constData() + 4 * n * f, size_t(4 * n));
            for (qint64 i = 0; i < n; ++i)
                worst = std::max(worst, double(std::abs(values[size_t(i)] - want[size_t(i)])));
        }
    }
    QVERIFY2(worst <= tolerance, qPrintable(QString("off by %1").arg(worst)));
    if (!rgb) {
        std::vector<float> all;
        QVERIFY(pixels.allGreyFrames(all));
        QCOMPARE(qint64(all.size()), n * frames);
    }
}

void TestDicomPixels::refusesHostileFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");
    for (const QByteArrayList &f : table(fixture("hostile.txt"), '\t'))
        QTest::newRow(f[0].constData()) << QString(f[0]) << QString::fromUtf8(f[1]);
}

void TestDicomPixels::refusesHostileFiles()
{
    QFETCH(QString, name);
    QFETCH(QString, reason);
    DicomPixels pixels;
    bool decoded = pixels.open(fixture(name));
    for (int f = 0; decoded && f < pixels.frames(); ++f) {
        std::vector<float> values;
        std::vector<quint32> colours;
        decoded = pixels.isColour() ? pixels.colourFrame(f, colours) : pixels.greyFrame(f, values);
    }
    QVERIFY(!decoded);
    QVERIFY2(pixels.failureReason().contains(reason), qPrintable(pixels.failureReason()));
}

void TestDicomPixels::findsDicomByContent()
{
    QTemporaryDir dir;
    const QString name = dir.filePath("IM0001");
    QVERIFY(QFile::copy(fixture("MR_small.dcm"), name));
    QVERIFY(Dicom::isDicomByContent(name));
    // Without a preamble, and a folder, are not.
    QVERIFY(!Dicom::isDicomByContent(fixture("rtdose.dcm") + "_none"));
    QVERIFY(!Dicom::isDicomByContent(dir.path()));
    QFile cut(dir.filePath("IM0002"));
    QVERIFY(cut.open(QIODevice::WriteOnly));
    cut.write(QByteArray(128, '\0') + "DIC");
    cut.close();
    QVERIFY(!Dicom::isDicomByContent(cut.fileName()));
}

void TestDicomPixels::groupsAndSorts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("volume");
    QTest::addColumn<int>("missing");
    QTest::addColumn<bool>("tilted");
    QTest::addColumn<bool>("multiFrame");
    QTest::addColumn<QStringList>("order");
    for (const QByteArrayList &f : table(seriesFixture("expected.txt"), '|')) {
        QStringList order;
        for (const QByteArray &o : f[5].split(','))
            order << QString(o);
        QTest::newRow(f[0].constData()) << QString(f[0]) << (f[1] == "1") << f[2].toInt()
                                        << (f[3] == "1") << (f[4] == "1") << order;
    }
}

void TestDicomPixels::groupsAndSorts()
{
    QFETCH(QString, name);
    QFETCH(bool, volume);
    QFETCH(int, missing);
    QFETCH(bool, tilted);
    QFETCH(bool, multiFrame);
    QFETCH(QStringList, order);

    // Seven series from six UIDs, the file that is not DICOM left out.
    QCOMPARE(int(series.size()), 7);
    QCOMPARE(skipped.size(), 1);
    QVERIFY(skipped[0].startsWith("notes.txt: "));

    const DicomSeries *s = findSeries(series, name);
    QVERIFY2(s, qPrintable(name));
    QCOMPARE(s->isVolume(), volume);
    QCOMPARE(s->missingSlices, missing);
    QCOMPARE(s->tiltDegrees > 0.1, tilted);
    QCOMPARE(s->multiFrame, multiFrame);
    QVERIFY(!s->unevenSpacing);
    QStringList got;
    for (const DicomSlice &slice : s->slices)
        got << (multiFrame ? QString::number(slice.frame) : QFileInfo(slice.fileName).fileName());
    QCOMPARE(got, order);
    if (missing)
        QCOMPARE(s->notes(), QStringList{"1 slice is missing."});
}

void TestDicomPixels::matchesDcm2niix_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("nifti");
    QTest::newRow("oblique") << "5 T1_oblique (12)"
                             << "s5.nii";
    // The grid of a series with a gap is the whole series' grid: dcm2niix's
    // own even copy ("_Eq") spreads the slices over it instead.
    QTest::newRow("missing slice") << "7 T1_missing (11)"
                                   << "s5.nii";
    QTest::newRow("multi-frame") << "15 enhanced (12)"
                                 << "s15.nii";
}

void TestDicomPixels::matchesDcm2niix()
{
    QFETCH(QString, name);
    QFETCH(QString, nifti);
    const DicomSeries *s = findSeries(series, name);
    QVERIFY(s);
    NiftiImage image;
    QVERIFY2(image.read(seriesFixture("nifti/" + nifti), false), qPrintable(image.failureReason()));
    QCOMPARE(image.dim(0) * image.dim(1) * image.dim(2),
             qint64(s->columns) * s->rows * s->gridSlices);

    AffineTransform toTheirs;
    QVERIFY(image.voxelToWorld().inverted(toTheirs));
    // Every voxel of every slice lies on one of dcm2niix's voxels, with its value.
    for (const DicomSlice &slice : s->slices) {
        DicomPixels pixels;
        QVERIFY(pixels.open(slice.fileName));
        std::vector<float> values;
        QVERIFY(pixels.greyFrame(slice.frame, values));
        const double k = (slice.distance - s->slices.front().distance) / s->sliceSpacing;
        QVERIFY(std::abs(k - std::round(k)) < 1e-3);
        for (int j = 0; j < s->rows; ++j)
            for (int i = 0; i < s->columns; ++i) {
                const AffineTransform::Point world =
                    s->voxelToWorld.map({double(i), double(j), std::round(k)});
                const AffineTransform::Point theirs = toTheirs.map(world);
                const AffineTransform::Point voxel = {std::round(theirs[0]), std::round(theirs[1]),
                                                      std::round(theirs[2])};
                const AffineTransform::Point back = image.voxelToWorld().map(voxel);
                const double off =
                    std::hypot(back[0] - world[0], back[1] - world[1], back[2] - world[2]);
                QVERIFY2(off < 0.01, qPrintable(QString("%1 mm off").arg(off)));
                QCOMPARE(image.valueAt(qint64(voxel[0]), qint64(voxel[1]), qint64(voxel[2])),
                         values[size_t(j * s->columns + i)]);
            }
    }
}

QTEST_GUILESS_MAIN(TestDicomPixels)
#include "tst_dicompixels.moc"
