#include "AffineTransform.h"
#include "DicomPixels.h"
#include "DicomSeries.h"
#include "NiftiImage.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <cmath>
#include <vector>

namespace {

QString fixture(const QString &name)
{
    return QStringLiteral(CXV_DICOM_SERIES "/") + name;
}

const DicomSeries *findSeries(const std::vector<DicomSeries> &all, const QString &name)
{
    for (const DicomSeries &s : all)
        if (s.displayName() == name)
            return &s;
    return nullptr;
}

} // namespace

class TestDicomSeries : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void groupsAndSorts_data();
    void groupsAndSorts();
    void matchesDcm2niix_data();
    void matchesDcm2niix();

private:
    std::vector<DicomSeries> series;
    QStringList skipped;
};

void TestDicomSeries::initTestCase()
{
    series = DicomSeriesGrouping::scanFolder(fixture("series"), &skipped);
}

void TestDicomSeries::groupsAndSorts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("volume");
    QTest::addColumn<int>("missing");
    QTest::addColumn<bool>("tilted");
    QTest::addColumn<bool>("multiFrame");
    QTest::addColumn<QStringList>("order");
    QFile file(fixture("expected.txt"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        const QList<QByteArray> f = line.split('|');
        QStringList order;
        for (const QByteArray &o : f[5].split(','))
            order << QString(o);
        QTest::newRow(f[0].constData()) << QString(f[0]) << (f[1] == "1") << f[2].toInt()
                                        << (f[3] == "1") << (f[4] == "1") << order;
    }
}

void TestDicomSeries::groupsAndSorts()
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

void TestDicomSeries::matchesDcm2niix_data()
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

void TestDicomSeries::matchesDcm2niix()
{
    QFETCH(QString, name);
    QFETCH(QString, nifti);
    const DicomSeries *s = findSeries(series, name);
    QVERIFY(s);
    NiftiImage image;
    QVERIFY2(image.read(fixture("nifti/" + nifti), false), qPrintable(image.failureReason()));
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

QTEST_GUILESS_MAIN(TestDicomSeries)
#include "tst_dicomseries.moc"
