#include "DicomHeader.h"
#include "DicomPixels.h"

#include <QElapsedTimer>
#include <QFile>
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

QList<QByteArrayList> table(const QString &name, char separator)
{
    QFile file(fixture(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing %s", qPrintable(name));
    QList<QByteArrayList> rows;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (!line.isEmpty())
            rows << line.split(separator);
    return rows;
}

} // namespace

class TestDicomPixels : public QObject
{
    Q_OBJECT

private slots:
    void decodesAsPydicom_data();
    void decodesAsPydicom();
    void refusesHostileFiles_data();
    void refusesHostileFiles();
    void findsDicomByContent();
};

void TestDicomPixels::decodesAsPydicom_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("rgb");
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columns");
    QTest::addColumn<double>("tolerance");
    for (const QByteArrayList &f : table("expected.txt", ' '))
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
    for (const QByteArrayList &f : table("hostile.txt", '\t'))
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

QTEST_GUILESS_MAIN(TestDicomPixels)
#include "tst_dicompixels.moc"
