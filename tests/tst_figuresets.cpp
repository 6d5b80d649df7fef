#include "Icosphere.h"
#include "SampleSet.h"
#include "SrfFixture.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run
{
    int status = -1;
    QString err;
};

bool writeFile(const QString &name, const QByteArray &bytes)
{
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Colour codes the renderer draws as they are.
qint32 direct(int red, int green, int blue)
{
    return 0x3F000000 + red * 65536 + green * 256 + blue;
}

// A grey sphere of radius 70 in the middle of the volume's grid, whose caps of
// 30 degrees round its superior, anterior and right poles are red, green and
// blue. The grid runs x anterior to posterior, y superior to inferior, z right
// to left.
QByteArray markedSphere()
{
    const Icosphere sphere(4);
    const QList<QList<int>> rings = sphere.neighbourRings();
    const float cap = std::cos(30 * float(M_PI) / 180);
    SrfFixture srf;
    for (qsizetype v = 0; v < sphere.vertices.size(); ++v) {
        const QVector3D u = sphere.vertices[v];
        const qint32 colour = -u.y() > cap   ? direct(255, 0, 0)
                              : -u.x() > cap ? direct(0, 255, 0)
                              : -u.z() > cap ? direct(0, 0, 255)
                                             : 0;
        const QVector3D p = QVector3D(128, 128, 128) + 70 * u;
        srf.vertices << SrfFixture::Vertex{p.x(),  p.y(),  p.z(),  -u.x(),
                                           -u.y(), -u.z(), colour, rings[v]};
    }
    srf.triangles = sphere.triangles;
    std::fill(std::begin(srf.meshCenter), std::end(srf.meshCenter), 128.0f);
    const float grey[4] = {0.5f, 0.5f, 0.5f, 1};
    std::copy(std::begin(grey), std::end(grey), std::begin(srf.meshColor0));
    return srf.bytes();
}

// Where the pixels of a colour lie in a figure: "hidden", "centre", or the
// edge they lean to, "top", "bottom", "left", "right".
QString whereIs(const QImage &figure, int channel)
{
    qint64 n = 0, sumX = 0, sumY = 0;
    for (int y = 0; y < figure.height(); ++y)
        for (int x = 0; x < figure.width(); ++x) {
            const QRgb p = figure.pixel(x, y);
            const int c[3] = {qRed(p), qGreen(p), qBlue(p)};
            if (c[channel] > 40 && c[channel] > 2 * c[(channel + 1) % 3] &&
                c[channel] > 2 * c[(channel + 2) % 3]) {
                ++n;
                sumX += x;
                sumY += y;
            }
        }
    if (n == 0)
        return "hidden";
    const double dx = double(sumX) / n - figure.width() / 2.0;
    const double dy = double(sumY) / n - figure.height() / 2.0;
    const double near = 0.1 * figure.width();
    if (std::abs(dx) < near && std::abs(dy) < near)
        return "centre";
    if (std::abs(dx) > std::abs(dy))
        return dx < 0 ? "left" : "right";
    return dy < 0 ? "top" : "bottom";
}

} // namespace

class TestFigureSets : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void meshViews_data();
    void meshViews();

private:
    Run run(const QStringList &arguments, const QString &workingFolder = QString());
    QString out(const QString &name) const { return tmp.filePath(name); }

    QTemporaryDir tmp;
    QString program;
};

void TestFigureSets::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(tmp.isValid());
    program = QCoreApplication::applicationDirPath() + "/cxviewer";
    QVERIFY(QFileInfo(program).isExecutable());
    const QByteArray sphere = markedSphere();
    for (const char *name : {"sphere.srf", "sphere_lh.srf", "sub-1_hemi-R_pial.srf"})
        QVERIFY(writeFile(out(name), sphere));
}

Run TestFigureSets::run(const QStringList &arguments, const QString &workingFolder)
{
    QProcess process;
    process.setWorkingDirectory(workingFolder);
    process.start(program, arguments);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return {-1, "still running, killed"};
    }
    QStringList lines = QString::fromLocal8Bit(process.readAllStandardError()).split('\n');
    lines.removeIf(
        [](const QString &line) { return line.isEmpty() || line.startsWith("QStandardPaths:"); });
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            lines.join('\n')};
}

void TestFigureSets::meshViews_data()
{
    QTest::addColumn<QString>("mesh");
    QTest::addColumn<QStringList>("options");
    // Where the superior (red), anterior (green) and right (blue) poles show.
    QTest::addColumn<QStringList>("poles");
    const QString either = "sphere.srf", left = "sphere_lh.srf", right = "sub-1_hemi-R_pial.srf";
    const auto view = [](const char *side) { return QStringList{"--view", side}; };
    QTest::newRow("lateral of either: from the right")
        << either << view("lateral") << QStringList{"top", "right", "centre"};
    QTest::newRow("lateral of the left")
        << left << view("lateral") << QStringList{"top", "left", "hidden"};
    QTest::newRow("lateral of the right")
        << right << view("lateral") << QStringList{"top", "right", "centre"};
    QTest::newRow("medial of either: from the left")
        << either << view("medial") << QStringList{"top", "left", "hidden"};
    QTest::newRow("medial of the left")
        << left << view("medial") << QStringList{"top", "right", "centre"};
    QTest::newRow("medial of the right")
        << right << view("medial") << QStringList{"top", "left", "hidden"};
    QTest::newRow("superior") << either << view("superior")
                              << QStringList{"centre", "top", "right"};
    QTest::newRow("inferior") << either << view("inferior") << QStringList{"hidden", "top", "left"};
    QTest::newRow("anterior") << either << view("anterior") << QStringList{"top", "centre", "left"};
    QTest::newRow("posterior") << either << view("posterior")
                               << QStringList{"top", "hidden", "right"};
    QTest::newRow("lateral turned by 90 degrees of azimuth: anterior")
        << either << QStringList{"--view", "lateral", "--azimuth", "90"}
        << QStringList{"top", "centre", "left"};
    QTest::newRow("azimuth alone turns from lateral")
        << either << QStringList{"--azimuth=-90"} << QStringList{"top", "hidden", "right"};
    QTest::newRow("lateral raised by 90 degrees: from above, the right side down")
        << either << QStringList{"--view", "lateral", "--elevation", "90"}
        << QStringList{"centre", "right", "bottom"};
    QTest::newRow("superior turned by 90 degrees: anterior to the right")
        << either << QStringList{"--view", "superior", "--azimuth", "90"}
        << QStringList{"centre", "right", "bottom"};
}

// The poles of a sphere show where each side puts them.
void TestFigureSets::meshViews()
{
    QFETCH(QString, mesh);
    QFETCH(QStringList, options);
    QFETCH(QStringList, poles);
    QFile::remove(out("view.png"));
    const Run r = run(QStringList{"--render", out("view.png"), "--size", "200x200"} + options +
                      QStringList{out(mesh)});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.status, 0);
    const QImage figure(out("view.png"));
    QCOMPARE(figure.size(), QSize(200, 200));
    QCOMPARE((QStringList{whereIs(figure, 0), whereIs(figure, 1), whereIs(figure, 2)}), poles);
}

QTEST_GUILESS_MAIN(TestFigureSets)
#include "tst_figuresets.moc"
