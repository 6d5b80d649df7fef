#include "BrowsingMode.h"
#include "CXSCore.h"
#include "CommandLine.h"
#include "ContactSheet.h"
#include "CortivexViewer.h"
#include "CoverFlowBrowser.h"
#include "CoverStore.h"
#include "DicomFixture.h"
#include "FigureRenderer.h"
#include "FileHelpers.h"
#include "FolderBrowser.h"
#include "FolderDataFiles.h"
#include "Icosphere.h"
#include "MapDisplaySettings.h"
#include "MapsPanel.h"
#include "MeshOGLViewer.h"
#include "MosaicLayout.h"
#include "NiftiImage.h"
#include "ShowFile.h"
#include "SliceMosaic.h"
#include "SrfFixture.h"
#include "SurfaceMesh.h"
#include "ThumbnailFile.h"
#include "ThumbnailRule.h"
#include "ViewingParameters.h"
#include "VmrFixture.h"
#include "VolumeDoc.h"
#include "VolumeOGLViewer.h"

#include <QListWidget>
#include <QMimeData>
#include <QPainter>
#include <QProcess>
#include <QScopeGuard>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <chrono>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

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

QByteArray readFile(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// As the PNG is read back, alpha aside.
QImage rgb(const QImage &image)
{
    return image.convertToFormat(QImage::Format_RGB32);
}

QString chosenMapFile(const CortivexViewer &viewer)
{
    const QListWidgetItem *item = viewer.findChild<MapsPanel *>()->mapFileList()->currentItem();
    return item ? item->text() : QString();
}

bool isGrey(QRgb rgb)
{
    return qRed(rgb) == qGreen(rgb) && qGreen(rgb) == qBlue(rgb);
}

QString nifti(const QString &name)
{
    return QStringLiteral(CXV_NIFTI_FIXTURES "/") + name;
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

class TestRenderCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void volumeAsTheMosaicIs();
    void mapColoursAboveThreshold();
    void meshWithoutAnyDisplay_data();
    void meshWithoutAnyDisplay();
    void pictureAndDicom();
    void seriesOfAFolder();
    void failures();
    void figureOptions_data();
    void figureOptions();
    void neverWritesOverItsInput_data();
    void neverWritesOverItsInput();
    void fifosAreNeverWaitedOn_data();
    void fifosAreNeverWaitedOn();
    void namesThatAreNotUtf8();
    void openingPaths();
    void droppingPaths();
    void meshViews_data();
    void meshViews();
    void renderEach_data();
    void renderEach();
    void contactSheet_data();
    void contactSheet();

private:
    // Without a display, nor an X server to be started (no programs on the path).
    // settings: NAME=value for the program's environment, besides the test's
    // own. Killed after timeout ms, so that a figure that waits fails the test.
    Run run(const QStringList &arguments, const QStringList &settings = {}, int timeout = 60000,
            const QString &workingFolder = QString())
    {
        return execute(program, arguments, settings, timeout, workingFolder);
    }
    // With the arguments' bytes as given, which need not be valid UTF-8.
    Run runRaw(const QList<QByteArray> &arguments);
    Run execute(const QString &program, const QStringList &arguments, const QStringList &settings,
                int timeout, const QString &workingFolder);
    QString sample(const QString &name) const { return samples.filePath(name); }
    QString out(const QString &name) const { return tmp.filePath(name); }
    CortivexViewer *startViewer();

    QTemporaryDir tmp;
    const QDir samples{CXV_SAMPLES}; // read only
    QString program;
};

void TestRenderCli::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(tmp.isValid() && samples.exists("Phantom_Head.vmr"));
    program = QCoreApplication::applicationDirPath() + "/cxviewer";
    QVERIFY(QFileInfo(program).isExecutable());
    const QByteArray sphere = markedSphere();
    for (const char *name : {"sphere.srf", "sphere_lh.srf", "sub-1_hemi-R_pial.srf"})
        QVERIFY(writeFile(out(name), sphere));
}

// Through the shell, whose printf turns octal escapes back into bytes.
Run TestRenderCli::runRaw(const QList<QByteArray> &arguments)
{
    QStringList escaped = {"-c",
                           "for a; do set -- \"$@\" \"$(printf '%b' \"$a\")\"; shift; done; "
                           "exec \"$0\" \"$@\"",
                           program};
    for (const QByteArray &argument : arguments) {
        QString octal;
        for (const char byte : argument)
            octal += QString("\\0%1").arg(uint(quint8(byte)), 3, 8, QLatin1Char('0'));
        escaped << octal;
    }
    return execute("/bin/sh", escaped, {}, 60000, QString());
}

Run TestRenderCli::execute(const QString &program, const QStringList &arguments,
                           const QStringList &settings, int timeout, const QString &workingFolder)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.insert("PATH", out("no-programs"));
    for (const QString &setting : settings)
        environment.insert(setting.section('=', 0, 0), setting.section('=', 1));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(workingFolder);
    process.start(program, arguments);
    if (!process.waitForFinished(timeout)) {
        process.kill();
        process.waitForFinished();
        return {-1, "still running, killed"};
    }
    if (process.exitStatus() != QProcess::NormalExit)
        return {};
    // Qt's own notes on the environment are not the program's.
    QStringList lines = QString::fromLocal8Bit(process.readAllStandardError()).split('\n');
    lines.removeIf(
        [](const QString &line) { return line.isEmpty() || line.startsWith("QStandardPaths:"); });
    return {process.exitCode(), lines.join('\n')};
}

// At 512 x 512 the 256-voxel volume's mosaic maps one image pixel to one
// figure pixel, so the figure is the composition itself: slices, borders,
// labels and the cross the option put there.
void TestRenderCli::volumeAsTheMosaicIs()
{
    const Run r = run({"--render", out("head.png"), "--size", "512x512", "--cross", "100,120,140",
                       sample("Phantom_Head.vmr")});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.status, 0);
    const QImage figure(out("head.png"));
    QCOMPARE(figure.size(), QSize(512, 512));

    CXSCore core;
    QVERIFY(core.loadVMR(sample("Phantom_Head.vmr")));
    const VolumeDoc &doc = *core.getVolumeDoc(0);
    QImage expected = SliceMosaic().compose(doc, 100, 120, 140);
    SliceMosaic::drawBorders(expected);
    SliceMosaic::drawLabels(expected, doc.leftRightConvention);
    SliceMosaic::drawCross(expected, MosaicLayout(doc.dimX, doc.dimY, doc.dimZ), 100, 120, 140);
    QCOMPARE(rgb(figure), rgb(expected));

    // Any other size scales the same picture: the volume's middle stays where it was.
    QCOMPARE(
        run({"--render", out("wide.png"), "--size", "900x300", sample("Phantom_Head.vmr")}).status,
        0);
    QCOMPARE(QImage(out("wide.png")).size(), QSize(900, 300));
}

// Through the map's strongest voxel: in colour where the map passes the
// threshold, the grey slices elsewhere; above every value, no colour at all.
void TestRenderCli::mapColoursAboveThreshold()
{
    // The strongest value of the first map, 10.0 at Talairach 43,-63,-13.
    const QStringList common = {"--size", "512x512", "--cross", "191,141,85",
                                sample("Phantom_Head.vmr")};
    const QStringList map = {"--map", sample("Phantom_Head_Maps.vmp")};
    for (const auto &[name, options] : QList<std::pair<QString, QStringList>>{
             {"grey", {}},
             {"t3", map + QStringList{"--threshold", "3"}},
             {"t1000", map + QStringList{"--threshold", "1000"}},
             {"neg", map + QStringList{"--sign", "neg", "--threshold", "3"}},
             {"corr", map + QStringList{"--map-index", "2"}}})
        QCOMPARE(run(QStringList{"--render", out(name + ".png")} + options + common).status, 0);
    const QImage grey = rgb(QImage(out("grey.png"))), t3 = rgb(QImage(out("t3.png")));
    QCOMPARE(rgb(QImage(out("t1000.png"))), grey);
    // Only grey anatomy is coloured.
    int coloured = 0;
    for (int y = 0; y < grey.height(); ++y)
        for (int x = 0; x < grey.width(); ++x)
            if (t3.pixel(x, y) != grey.pixel(x, y)) {
                QVERIFY2(isGrey(grey.pixel(x, y)) && !isGrey(t3.pixel(x, y)),
                         qPrintable(QString("pixel %1, %2").arg(x).arg(y)));
                ++coloured;
            }
    QVERIFY2(coloured > 50, qPrintable(QString::number(coloured)));

    // The second map, and the sign: only negative values leave no colour for a positive peak.
    QVERIFY(rgb(QImage(out("neg.png"))) != t3);
    QVERIFY(rgb(QImage(out("corr.png"))) != t3);
}

void TestRenderCli::meshWithoutAnyDisplay_data()
{
    QTest::addColumn<QString>("mesh");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("map");
    QTest::addColumn<int>("mapIndex");
    QTest::addColumn<float>("threshold"); // below 0: the map's own
    QTest::addColumn<int>("cluster");     // below 0: the map's own
    QTest::addColumn<int>("sign");        // 1 pos, 2 neg, 3 both; 0 the map's own
    QTest::newRow("sphere") << "Sphere.srf" << QSize(300, 300) << "" << 1 << -1.0f << -1 << 0;
    QTest::newRow("cortex in its VWP's view, second map above 0.3, clusters of 30, positive")
        << "Phantom_Cortex.srf" << QSize(400, 300) << "Phantom_Cortex.smp" << 2 << 0.3f << 30 << 1;
    QTest::newRow("FreeSurfer white surface in the greys of lh.curv, lh.vwp's camera")
        << "FreeSurfer/lh.white" << QSize(400, 300) << "" << 1 << -1.0f << -1 << 0;
    QTest::newRow("pial surface, thickness above 2, clusters of 100 mm²")
        << "FreeSurfer/lh.pial" << QSize(360, 300) << "FreeSurfer/lh.thickness" << 1 << 2.0f << 100
        << 0;
    QTest::newRow("white surface, the lobes of lh.aparc.annot")
        << "FreeSurfer/lh.white" << QSize(300, 300) << "FreeSurfer/lh.aparc.annot" << 1 << -1.0f
        << -1 << 0;
}

// The figure is what the mesh view shows at that size, pixel for pixel, and
// the mesh fills its middle.
void TestRenderCli::meshWithoutAnyDisplay()
{
    QFETCH(QString, mesh);
    QFETCH(QSize, size);
    QFETCH(QString, map);
    QFETCH(int, mapIndex);
    QFETCH(float, threshold);
    QFETCH(int, cluster);
    QFETCH(int, sign);
    QStringList arguments = {"--render", out("mesh.png"), "--size",
                             QString("%1x%2").arg(size.width()).arg(size.height())};
    if (!map.isEmpty())
        arguments << "--map" << sample(map) << "--map-index" << QString::number(mapIndex);
    if (threshold >= 0)
        arguments << "--threshold" << QString::number(threshold);
    if (cluster >= 0)
        arguments << "--cluster" << QString::number(cluster);
    if (sign)
        arguments << "--sign" << QStringList{"pos", "neg", "both"}[sign - 1];
    QFile::remove(out("mesh.png"));
    const Run r = run(arguments << sample(mesh));
    QCOMPARE(r.err, QString());
    QCOMPARE(r.status, 0);

    MeshOGLViewer view;
    view.resize(size);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const auto document = readAs<MeshDocument>(sample(mesh));
    view.showMesh(document, 0);
    MapDisplaySettings settings;
    settings.setTarget(document);
    connect(&settings, &MapDisplaySettings::changed, &view, &MeshOGLViewer::meshColoursChanged);
    if (!map.isEmpty()) {
        QVERIFY(settings.chooseMapFile(sample(map)));
        QVERIFY(settings.chooseMap(mapIndex - 1));
        if (threshold >= 0)
            settings.setThreshold(threshold);
        if (cluster >= 0) {
            settings.setClusterSize(cluster);
            settings.setClusterFilter(true);
        }
        if (sign)
            settings.setSignSelection(sign);
    }
    const QImage shown = view.grabFramebuffer();
    QCOMPARE(shown.size(), size);
    const QImage figure(out("mesh.png"));
    QCOMPARE(rgb(figure), rgb(shown));
    const QPoint centre(size.width() / 2, size.height() / 2);
    QCOMPARE(figure.pixelColor(centre).alpha(), 255); // nothing to see through
    const QColor middle = shown.pixelColor(centre);
    QVERIFY2(middle != QColor(Qt::black) && shown.pixelColor(2, 2) == QColor(Qt::black),
             qPrintable(middle.name()));
    if (mesh != "Sphere.srf" || !map.isEmpty())
        return;
    // The sphere faces the camera with its lit outside: bright in the middle,
    // darker to the rim, on the black background.
    QVERIFY2(middle.blue() > 150 && middle.blue() > middle.red(), qPrintable(middle.name()));
    int litColumn = centre.x();
    while (litColumn < size.width() - 1 &&
           shown.pixelColor(litColumn + 1, centre.y()) != QColor(Qt::black))
        ++litColumn;
    QVERIFY(litColumn > 180);
    QVERIFY(shown.pixelColor(litColumn - 3, centre.y()).lightness() < middle.lightness());
}

// A DICOM image in grey (a picture at its own size: namesThatAreNotUtf8()).
void TestRenderCli::pictureAndDicom()
{
    QCOMPARE(run({"--render", out("dicom.png"), "--size", "256x256", sample("MR_Phantom_0016.dcm")})
                 .status,
             0);
    const QImage dicom(out("dicom.png"));
    QCOMPARE(dicom.size(), QSize(256, 256));
    int bright = 0;
    for (int y = 0; y < dicom.height(); ++y)
        for (int x = 0; x < dicom.width(); ++x) {
            QVERIFY(isGrey(dicom.pixel(x, y)));
            bright += qGray(dicom.pixel(x, y)) > 100;
        }
    QVERIFY(bright > 1000);
}

// A folder of DICOM series: the series asked for, drawn as dcm2niix's NIfTI
// file of it is; without --series the list to choose from.
void TestRenderCli::seriesOfAFolder()
{
    QTemporaryDir dir;
    const QString fixtures = CXV_DICOM_SERIES "/";
    for (const QFileInfo &file : QDir(fixtures + "series").entryInfoList(QDir::Files))
        QVERIFY(QFile::copy(file.filePath(), dir.filePath(file.fileName())));

    const auto refusal = [&](const QStringList &series) {
        const CommandLine line(QStringList{"--render", out("series.png")} + series +
                               QStringList{dir.path()});
        return line.action() == CommandLine::Refuse ? line.error() : QString();
    };
    const QString list = refusal({});
    QVERIFY2(list.startsWith(QString("cxviewer: %1 holds 7 DICOM series; choose one with "
                                     "--series N:\n  1  5 T1_oblique (12)\n")
                                 .arg(dir.path())),
             qPrintable(list));
    QVERIFY(list.contains("\n  5  11 scout (2) (not a volume)\n"));
    QVERIFY(!refusal({"--series", "5"}).isEmpty() && !refusal({"--series", "8"}).isEmpty());

    QCOMPARE(run({"--render", out("series.png"), "--series", "1", dir.path()}).status, 0);
    QCOMPARE(run({"--render", out("s5.png"), fixtures + "nifti/s5.nii"}).status, 0);
    const QImage series(out("series.png")), nifti(out("s5.png"));
    QCOMPARE(series.size(), nifti.size());
    int largest = 0;
    for (int y = 0; y < series.height(); ++y)
        for (int x = 0; x < series.width(); ++x)
            largest = qMax(largest, qAbs(qGray(series.pixel(x, y)) - qGray(nifti.pixel(x, y))));
    QVERIFY2(largest <= 1, qPrintable(QString::number(largest)));

    // Never over one of the series' files.
    const QString file = dir.filePath(
        QString(readFile(fixtures + "expected.txt").split('|').value(5).split(',').value(0)));
    const QByteArray before = readFile(file);
    const Run r = run({"--render", file, "--series", "1", dir.path()});
    QCOMPARE(r.status, 2);
    QCOMPARE(r.err, "cxviewer: --render would write over " + file + ", which the figure reads");
    QCOMPARE(readFile(file), before);
}

// A file that cannot be read: one line, and the figure file as it was.
void TestRenderCli::failures()
{
    // A file of each reader, and one that reads but has nothing to show.
    const auto write = [this](const QString &name, const QByteArray &bytes) {
        QVERIFY(writeFile(out(name), bytes));
    };
    const QByteArray cut = readFile(sample("Phantom_Head.vmr")).left(5000);
    write("cut.vmr", cut);
    write("garbage.vmp", QByteArray(64, 'x'));
    write("old.png", "before");
    DicomFixture noImage;
    noImage.unsignedShort(0x0028, 0x0010, 0).unsignedShort(0x0028, 0x0011, 0).pixels({});
    write("empty.dcm", noImage.file());
    SrfFixture far = SrfFixture::octahedron();
    far.vertices[1].z = std::nanf("");
    write("nan.srf", far.bytes());
    VmrFixture line;
    line.dimX = 4096;
    line.dimY = line.dimZ = 2;
    write("line.vmr", line.bytes());
    write("alone.hdr", readFile(nifti("neither_uint8.hdr")));
    write("garbage.vmp.png", QByteArray(64, 'x'));
    write("cut\n\x1b[2J\u2028\u009b.vmr", cut);

    const QString vmr = sample("Phantom_Head.vmr");
    const QList<std::pair<QStringList, QString>> cases = {
        {{out("cut.vmr")},
         "cut.vmr: not a readable VMR volume (cut short: 256 × 256 × "
         "256 voxels need 16777216 bytes, 4992 are left)"},
        {{"--map", out("garbage.vmp"), vmr},
         "garbage.vmp: VMP version 30840 is not supported (versions 1 to 4 of the older "
         "format are)"},
        {{out("empty.dcm")}, "empty.dcm: no image: 0 columns and 0 rows"},
        {{out("nan.srf")}, "nan.srf: vertex 1 has a coordinate that is not a number"},
        {{out("line.vmr")}, "line.vmr: a volume of 4096 × 2 × 2 voxels cannot be shown"},
        {{out("alone.hdr")}, "alone.hdr: the image file of the header is missing"},
        {{"--map", sample("Phantom_Head_Maps.vmp"), "--map-index", "5", vmr},
         "Phantom_Head_Maps.vmp: holds 2 maps, not 5"},
        {{"--cross", "256,0,0", vmr},
         "the cross 256,0,0 lies outside the volume's 256 × 256 × 256 voxels"},
        {{out("garbage.vmp.png")}, "garbage.vmp.png: unsupported image format"},
        // Names stay one line and cannot drive the terminal.
        {{out("cut\n\x1b[2J\u2028\u009b.vmr")}, "cut\\n\\x1b[2J\\u2028\\x9b.vmr: "},
        {{"--render", out("no/such/folder.png"), vmr}, "cannot write "},
    };
    for (const auto &[arguments, start] : cases) {
        const CommandLine command(QStringList{"--render", out("old.png")} + arguments);
        QVERIFY2(command.action() == CommandLine::Render, qPrintable(command.error()));
        FigureRenderer renderer;
        QVERIFY2(!renderer.render(command), qPrintable(arguments.join(' ')));
        const QString why = renderer.failure();
        QVERIFY2(why.startsWith(start) && !why.contains('\n'), qPrintable(why));
        QCOMPARE(readFile(out("old.png")), QByteArray("before"));
    }
    // No OpenGL to be had: the reason, and no figure.
    const Run noOpenGL = run({"--render", out("old.png"), sample("Sphere.srf")},
                             {"__EGL_VENDOR_LIBRARY_FILENAMES=" + out("no-vendor.json")});
    QCOMPARE(noOpenGL.status, 1);
    QVERIFY2(noOpenGL.err.startsWith("cxviewer: cannot draw Sphere.srf at 800 × 600 pixels: ") &&
                 !noOpenGL.err.contains('\n'),
             qPrintable(noOpenGL.err));
    QCOMPARE(readFile(out("old.png")), QByteArray("before"));

    // A map beside the volume reads but shows nothing: the figure says so,
    // and the run fails.
    const QString volume = nifti("ras_uint8.nii.gz");
    FigureRenderer plain, withMap;
    QVERIFY(plain.render(CommandLine(QStringList{"--render", out("plain.png"), volume})));
    QVERIFY(!withMap.render(CommandLine(
        QStringList{"--render", out("beside.png"), "--map", nifti("far_float32.nii"), volume})));
    QCOMPARE(withMap.failure(), "far_float32.nii: does not overlap the volume");
    const QImage noted = rgb(QImage(out("beside.png"))), asIs = rgb(QImage(out("plain.png")));
    QVERIFY(noted.size() == asIs.size() && noted != asIs);
    // Refused before any window, without a display to show one on.
    const Run refused = run({out("gone")});
    QCOMPARE(refused.status, 2);
    QCOMPARE(refused.err, "cxviewer: no such file or folder: " + out("gone"));
}

void TestRenderCli::figureOptions_data()
{
    QTest::addColumn<QStringList>("arguments"); // "#" the samples, "~" the NIfTI fixtures
    QTest::addColumn<QStringList>("same");      // arguments that draw the same figure
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("error"); // the start of the one line

    const auto row = [](const char *name, const QStringList &arguments, const QStringList &same,
                        int status = 0, const QString &error = QString()) {
        QTest::newRow(name) << arguments << same << status << error;
    };
    const QString head = "#/Phantom_Head.vmr";
    // Talairach mm: right 128 - z, anterior 128 - x, superior 128 - y; halves round up.
    row("Talairach point", {"--cross-mm", "10.4,-20.5,30", head}, {"--cross", "149,98,118", head});
    row("Talairach point, with a map",
        {"--cross-mm=-30,12,-4", "--map", "#/Phantom_Head_Maps.vmp", head},
        {"--cross", "116,132,158", "--map", "#/Phantom_Head_Maps.vmp", head});
    // 2-mm voxels, world x -16..14, y -20..18, z -14..12: the grid runs from
    // anterior, superior and right.
    const QString ras = "~/ras_uint8.nii.gz";
    row("NIfTI origin", {"--cross-mm", "0,0,0", ras}, {"--cross", "9,6,7", ras});
    row("NIfTI corner", {"--cross-mm", "14,-20,-14", ras}, {"--cross", "19,13,0", ras});
    row("outside", {"--cross-mm", "0,0,200", head}, {}, 1,
        "cxviewer: Phantom_Head.vmr: the cross at 0.0, 0.0, 200.0 TAL mm lies outside the volume "
        "(x -127.0 to 128.0, y -127.0 to 128.0, z -127.0 to 128.0)");
    row("outside the NIfTI image", {"--cross-mm", "15.1,0,0", ras}, {}, 1,
        "cxviewer: ras_uint8.nii.gz: the cross at 15.1, 0.0, 0.0 MNI mm lies outside the volume "
        "(x -16.0 to 14.0, y -20.0 to 18.0, z -14.0 to 12.0)");
    row("no world", {"--cross-mm", "0,0,0", "#/Phantom_Head_1.2mm.vmr"}, {}, 1,
        "cxviewer: Phantom_Head_1.2mm.vmr: the volume has no world coordinates (it is not in "
        "Talairach space)");
    row("the view's layout", {"--layout", "mosaic", "--legend", head}, {"--legend", head});
    row("lightbox as it starts", {"--layout=lightbox", "--axis", "axial", "--slices", "24", head},
        {"--layout", "lightbox", head});
    row("lightbox, map and legend",
        {"--layout", "lightbox", "--axis", "coronal", "--slices", "5", "--columns", "2", "--legend",
         "--map", "#/Phantom_Head_Maps.vmp", head},
        {});
    row("NIfTI lightbox", {"--layout", "lightbox", "--axis", "sagittal", ras}, {});
    row("legend of a mesh without a map", {"--legend", "#/Sphere.srf"}, {"#/Sphere.srf"});
    row("legend of a mesh's map", {"--legend", "--map", "#/Sphere.smp", "#/Sphere.srf"}, {});
    row("a JPEG picture", {"#/Cortex_Top_Exif6.jpg"}, {});
}

// Figures of the options equal those of the equivalent ones; a figure that
// cannot be drawn as asked is refused with one line, and nothing written.
void TestRenderCli::figureOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, same);
    QFETCH(int, status);
    QFETCH(QString, error);
    const auto expand = [this](QStringList list) {
        return list.replaceInStrings("#", samples.path()).replaceInStrings("~/", nifti(""));
    };
    QFile::remove(out("asked.png"));
    const Run r =
        run(QStringList{"--render", out("asked.png"), "--size", "400x400"} + expand(arguments));
    QVERIFY2(r.err.startsWith(error) && !r.err.contains('\n'), qPrintable(r.err));
    QVERIFY2(!error.isEmpty() || r.err.isEmpty(), qPrintable(r.err));
    QCOMPARE(r.status, status);
    QCOMPARE(QFile::exists(out("asked.png")), status == 0);
    if (same.isEmpty())
        return;
    const Run s = run(QStringList{"--render", out("same.png"), "--size", "400x400"} + expand(same));
    QCOMPARE(s.status, 0);
    QCOMPARE(rgb(QImage(out("asked.png"))), rgb(QImage(out("same.png"))));
}

void TestRenderCli::neverWritesOverItsInput_data()
{
    QTest::addColumn<QStringList>("arguments"); // "%" the folder of the row's files
    QTest::addColumn<QString>("input");         // the file the output would have replaced
    QTest::addColumn<int>("status");

    const auto row = [](const char *name, const QString &arguments, const char *input,
                        int status = 2) {
        QTest::newRow(name) << ("--render " + arguments).split(' ') << input << status;
    };
    row("the file", "%/a.png %/a.png", "a.png");
    row("the file, relative", "a.png %/a.png", "a.png");
    row("a link to the file", "%/link.png %/a.png", "a.png");
    row("a hard link to the file", "%/hard.png %/a.png", "a.png");
    row("the map", "%/m.vmp --map %/m.vmp %/v.vmr", "m.vmp");
    row("a link to the map", "link.vmp --map %/m.vmp %/v.vmr", "m.vmp");
    row("the viewing parameters beside the mesh", "%/c.vwp %/c.srf", "c.vwp");
    // Known only once the mesh is read, but before anything is written.
    row("the vertex file the mesh names", "%/alt.srf %/main.srf", "alt.srf", 1);
    row("the curvature a surface is shaded by", "%/lh.curv %/lh.white", "lh.curv", 1);
}

// Refused with one line, the file the figure reads as it was.
void TestRenderCli::neverWritesOverItsInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, input);
    QFETCH(int, status);
    QTemporaryDir dir;
    const auto at = [&](const char *name) { return dir.filePath(name); };
    SrfFixture mesh = SrfFixture::octahedron();
    QVERIFY(writeFile(at("alt.srf"), mesh.bytes()));
    mesh.indirectFile = "alt.srf";
    QVERIFY(writeFile(at("main.srf"), mesh.bytes()));
    QVERIFY(QFile::copy(sample("Plasma.png"), at("a.png")));
    for (const char *name : {"lh.white", "lh.curv"})
        QVERIFY(QFile::copy(sample(QString("FreeSurfer/") + name), at(name)));
    for (const char *name : {"v.vmr", "m.vmp", "c.srf", "c.vwp"})
        QVERIFY(writeFile(at(name), QByteArray("the bytes of ") + name));
    QVERIFY(QFile::link(at("a.png"), at("link.png")) && QFile::link(at("m.vmp"), at("link.vmp")));
    QCOMPARE(::link(QFile::encodeName(at("a.png")).constData(),
                    QFile::encodeName(at("hard.png")).constData()),
             0);
    const QByteArray before = readFile(dir.filePath(input));

    const Run r = run(arguments.replaceInStrings("%", dir.path()), {}, 60000, dir.path());
    QCOMPARE(r.status, status);
    QCOMPARE(r.err, QString("cxviewer: --render would write over %1, which the figure reads")
                        .arg(dir.filePath(input)));
    QCOMPARE(readFile(dir.filePath(input)), before);
}

void TestRenderCli::fifosAreNeverWaitedOn_data()
{
    QTest::addColumn<QString>("fifo");
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QString>("file");       // handed to the reader; the FIFO or a file beside it
    QTest::addColumn<QString>("reason");     // the reader's, where it gives one
    QTest::addColumn<QStringList>("render"); // "%" the row's folder, "#" the samples
    QTest::addColumn<QString>("error");      // what --render says, exit status 1; none: 0

    const QString notRegular = "not a regular file";
    const auto row = [&](const char *name, const QString &fifo, const char *reader,
                         const QString &file, const QString &reason, const QStringList &render,
                         const QString &error) {
        QTest::newRow(name) << fifo << reader << file << reason << render << error;
    };
    const auto alone = [&](const char *name, const QString &fifo, const char *reader,
                           const QString &reason, bool rendered = true) {
        row(name, fifo, reader, fifo, reason, rendered ? QStringList{"%/" + fifo} : QStringList(),
            rendered ? QString("cxviewer: %1: not a regular file").arg(fifo) : QString());
    };
    alone("picture view", "p.jpg", "picture view", "");
    alone("EXIF orientation", "p.jpg", "exif", "", false);
    alone("thumbnail", "p.png", "thumbnail", "", false);
    alone("NIfTI .nii.gz", "p.nii.gz", "nifti", notRegular);
    row("NIfTI image file of a header", "h.img", "nifti", "h.hdr", "h.img is not a regular file",
        {"%/h.hdr"}, "cxviewer: h.hdr: ");
    // The library tries the uncompressed name first.
    row("NIfTI name tried before .nii.gz", "n.nii", "nifti", "n.nii.gz",
        "n.nii is not a regular file", {"%/n.nii.gz"}, "cxviewer: n.nii.gz: ");
    alone("VMR", "p.vmr", "volume", "");
    alone("SRF", "p.srf", "mesh", "");
    alone("DICOM", "p.dcm", "dicom", notRegular);
    row("VMP", "p.vmp", "volume maps", "p.vmp", "", {"--map", "%/p.vmp", "#/Phantom_Head.vmr"},
        "cxviewer: p.vmp: not a regular file");
    row("NIfTI map", "p.nii", "nifti maps", "p.nii", "", {"--map", "%/p.nii", "#/Phantom_Head.vmr"},
        "cxviewer: p.nii: not a regular file");
    row("SMP", "p.smp", "surface maps", "p.smp", "", {"--map", "%/p.smp", "#/Phantom_Cortex.srf"},
        "cxviewer: p.smp: not a regular file");
    // The mesh is drawn without them.
    row("viewing parameters beside a mesh", "m.vwp", "viewing parameters", "m.vwp", "", {"%/m.srf"},
        "");
}

// Every reader refuses a FIFO without opening it for good, and so does
// --render, with its reason. A reader that waits is let go after a while by a
// writer that opens the FIFO, and fails the row.
void TestRenderCli::fifosAreNeverWaitedOn()
{
    QFETCH(QString, fifo);
    QFETCH(QString, reader);
    QFETCH(QString, file);
    QFETCH(QString, reason);
    QFETCH(QStringList, render);
    QFETCH(QString, error);
    QTemporaryDir dir;
    const QByteArray fifoName = QFile::encodeName(dir.filePath(fifo));
    QCOMPARE(::mkfifo(fifoName.constData(), 0600), 0);
    QVERIFY(QFile::copy(nifti("neither_uint8.hdr"), dir.filePath("h.hdr")));
    QVERIFY(QFile::copy(nifti("ras_uint8.nii.gz"), dir.filePath("n.nii.gz")));
    QVERIFY(QFile::copy(sample("Phantom_Cortex.srf"), dir.filePath("m.srf")));
    const QString path = dir.filePath(file);

    std::atomic<bool> finished = false, waited = false;
    std::thread writer([&] {
        for (int i = 0; i < 250 && !finished; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        while (!finished) {
            waited = true;
            ::close(::open(fifoName.constData(), O_WRONLY | O_NONBLOCK));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    bool took = false;
    QString why;
    CXSCore core;
    VolumeDoc volume;
    volume.dimX = volume.dimY = volume.dimZ = 256;
    SurfaceMesh mesh;
    if (reader == "picture view") {
        took = PictureDocument::read(path, why) != nullptr;
    } else if (reader == "exif") {
        took = getOrientationFromExif(path) != 1;
    } else if (reader == "thumbnail") {
        took = !fileThumbnail(path, false).isNull();
    } else if (reader == "nifti") {
        NiftiImage image;
        took = image.read(path, false);
        why = image.failureReason();
    } else if (reader == "volume") {
        took = core.loadVMR(path);
    } else if (reader == "mesh") {
        took = core.loadMesh(path);
    } else if (reader == "dicom") {
        took = core.loadDICOM(path);
        why = core.getDICOMFailureReason();
    } else if (reader == "volume maps") {
        took = volume.loadVolumeMaps(path) > 0;
    } else if (reader == "nifti maps") {
        took = volume.loadNiftiMaps(path) > 0;
    } else if (reader == "surface maps") {
        took = mesh.loadSMPs(path);
    } else if (reader == "viewing parameters") {
        took = ViewingParameters::fromFile(path).has_value();
    }
    finished = true;
    writer.join();
    QVERIFY2(!waited, "the reader opened the FIFO and waited on it");
    QVERIFY(!took);
    if (!reason.isEmpty())
        QCOMPARE(why, reason);

    if (render.isEmpty())
        return;
    render.replaceInStrings("%", dir.path()).replaceInStrings("#", samples.path());
    const Run r = run(QStringList{"--render", dir.filePath("figure.png")} + render, {}, 10000);
    QVERIFY2(error.isEmpty() ? r.err.isEmpty() : r.err.startsWith(error) && !r.err.contains('\n'),
             qPrintable(r.err));
    QCOMPARE(r.status, error.isEmpty() ? 0 : 1);
}

// Qt holds no name that is not valid UTF-8: the figure reaches such a file
// through links, and finds what lies beside it as well; the window, whose
// listings leave such names out, and the figure's own name refuse it.
void TestRenderCli::namesThatAreNotUtf8()
{
    QTemporaryDir dir;
    const QByteArray raw = QFile::encodeName(dir.path()) + "/bad\xff\x1b";
    // Qt cannot list these names, so its removal of the folder would leave them.
    const auto cleanUp = qScopeGuard([&] {
        for (const char *end : {".png", ".srf", ".vwp", "\xfe.smp"})
            ::unlink(raw + end);
    });
    const auto copy = [&](const QString &from, const QByteArray &to) {
        const QByteArray bytes = readFile(from);
        const int fd = ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        const bool written = fd >= 0 && ::write(fd, bytes.constData(), size_t(bytes.size())) ==
                                            ssize_t(bytes.size());
        ::close(fd);
        return written && !bytes.isEmpty();
    };
    QVERIFY(copy(sample("Plasma.png"), raw + ".png"));
    QVERIFY(copy(sample("Phantom_Cortex.srf"), raw + ".srf"));
    QVERIFY(copy(sample("Phantom_Cortex.vwp"), raw + ".vwp"));
    QVERIFY(copy(sample("Phantom_Cortex.smp"), raw + "\xfe.smp"));
    const QByteArray figure = QFile::encodeName(out("utf8.png"));

    const QImage plasma(sample("Plasma.png"));
    const QByteArray plasmaSize =
        QString("%1x%2").arg(plasma.width()).arg(plasma.height()).toUtf8();
    Run r = runRaw({"--render", figure, "--size", plasmaSize, raw + ".png"});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.status, 0);
    QCOMPARE(rgb(QImage(out("utf8.png"))), rgb(plasma));

    // The mesh in the camera of its viewing parameters, with its map.
    const QStringList size = {"--size", "200x150"};
    QCOMPARE(run(QStringList{"--render", out("cortex.png"), "--map", sample("Phantom_Cortex.smp"),
                             sample("Phantom_Cortex.srf")} +
                 size)
                 .status,
             0);
    r = runRaw({"--render", figure, "--map", raw + "\xfe.smp", "--size", "200x150", raw + ".srf"});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.status, 0);
    QCOMPARE(rgb(QImage(out("utf8.png"))), rgb(QImage(out("cortex.png"))));

    r = runRaw({"--render", figure, raw + ".dcm"});
    QCOMPARE(r.status, 2);
    QCOMPARE(r.err, "cxviewer: no such file or folder: " + dir.path() + "/bad\\xff\\x1b.dcm");
    r = runRaw({"--render", raw + "\xfe.png", raw + ".png"});
    QCOMPARE(r.status, 2);
    QCOMPARE(r.err, "cxviewer: --render cannot write " + dir.path() +
                        "/bad\\xff\\x1b\\xfe.png: the name is not valid UTF-8");
    r = runRaw({raw + ".png"});
    QCOMPARE(r.status, 2);
    QCOMPARE(r.err, "cxviewer: " + dir.path() +
                        "/bad\\xff\\x1b.png: the window cannot open a name that is not valid "
                        "UTF-8; rename it, or draw it with --render");
}

CortivexViewer *TestRenderCli::startViewer()
{
    auto *viewer = new CortivexViewer;
    viewer->openDataFolders(tmp.filePath("app"));
    viewer->resize(1000, 700);
    viewer->show();
    return viewer;
}

void TestRenderCli::openingPaths()
{
    QDir root(tmp.path());
    QVERIFY(root.mkpath("dicom") && root.mkpath("mixed"));
    QVERIFY(QFile::copy(sample("Sphere.srf"), out("mixed/b.srf")));
    QVERIFY(QFile::copy(sample("Plasma.png"), out("mixed/a.png")));
    QVERIFY(QFile::copy(sample("MR_Phantom_0003.dcm"), out("dicom/b.dcm")));
    QVERIFY(QFile::copy(sample("Plasma.png"), out("dicom/a.png")));
    std::unique_ptr<CortivexViewer> viewer(startViewer());
    QVERIFY(QTest::qWaitForWindowExposed(viewer.get()));
    const CoverStore *store = viewer->coverFlow()->coverStore();
    const auto selected = [&] {
        return QFileInfo(store->fileName(viewer->coverFlow()->getSelectedImageIndex())).fileName();
    };
    MapsPanel *maps = viewer->findChild<MapsPanel *>();
    const auto shownView = [&] { return viewer->findChild<QStackedWidget *>()->currentWidget(); };

    // A file's folder becomes the working directory.
    viewer->openPaths({sample("Phantom_Cortex.srf")});
    QCOMPARE(QDir::currentPath(), samples.path());

    // A volume and its maps: the map file chosen, its first map shown in colour.
    // Relative paths stay relative to where they were given.
    viewer->openPaths({out("dicom")});
    QDir::setCurrent(QFileInfo(samples.path()).path());
    const QString relative = QFileInfo(samples.path()).fileName();
    viewer->openPaths({relative + "/Phantom_Head.vmr", relative + "/Phantom_Head_Maps.vmp"});
    QCOMPARE(selected(), QString("Phantom_Head.vmr"));
    QCOMPARE(shownView(), viewer->findChild<VolumeOGLViewer *>());
    QCOMPARE(chosenMapFile(*viewer), QString("Phantom_Head_Maps.vmp"));
    QCOMPARE(maps->subMapList()->count(), 2);
    QCOMPARE(maps->subMapList()->currentRow(), 0);
    QCOMPARE(maps->threshold(), 3.0f);

    // A picture and a DICOM file each in their own mode, though the folder holds volumes.
    viewer->openPaths({sample("Plasma.png")});
    QCOMPARE(viewer->browsingMode(), BrowsingMode::Images);
    QCOMPARE(selected(), QString("Plasma.png"));
    viewer->openPaths({sample("MR_Phantom_0007.dcm")});
    QCOMPARE(viewer->browsingMode(), BrowsingMode::RawMRI);
    QCOMPARE(selected(), QString("MR_Phantom_0007.dcm"));

    // Folders by what they hold, a favorite by its stored mode.
    viewer->openPaths({out("dicom")});
    QCOMPARE(viewer->browsingMode(), BrowsingMode::RawMRI);
    QCOMPARE(selected(), QString("b.dcm"));
    viewer->openPaths({out("mixed")});
    QCOMPARE(viewer->browsingMode(), BrowsingMode::CXData);
    viewer->findChild<FolderBrowser *>()->addFavorite(out("mixed/"), BrowsingMode::Images);
    viewer->openPaths({out("mixed")});
    QCOMPARE(viewer->browsingMode(), BrowsingMode::Images);
    QCOMPARE(store->fileName(0), out("mixed/a.png"));

    // A map file on its own opens its folder in CX data mode; nothing else is chosen.
    viewer->openPaths({sample("Sphere.smp")});
    QCOMPARE(viewer->browsingMode(), BrowsingMode::CXData);
    QCOMPARE(maps->mapFileList()->currentItem(), nullptr);
}

void TestRenderCli::droppingPaths()
{
    std::unique_ptr<CortivexViewer> viewer(startViewer());
    QVERIFY(QTest::qWaitForWindowExposed(viewer.get()));
    QMimeData data;
    data.setUrls(
        {QUrl::fromLocalFile(sample("Sphere.srf")), QUrl::fromLocalFile(sample("Sphere.smp"))});
    const QPoint middle = viewer->rect().center();
    QDragEnterEvent enter(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewer.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewer.get(), &drop);
    // Both paths opened, as openingPaths() opens them.
    QVERIFY(drop.isAccepted());
    QCOMPARE(
        viewer->coverFlow()->coverStore()->fileName(viewer->coverFlow()->getSelectedImageIndex()),
        sample("Sphere.srf"));
    QCOMPARE(chosenMapFile(*viewer), QString("Sphere.smp"));

    // Text without files is not taken.
    QMimeData text;
    text.setText("Sphere.srf");
    QDragEnterEvent refused(middle, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    refused.ignore();
    QApplication::sendEvent(viewer.get(), &refused);
    QVERIFY(!refused.isAccepted());
}

void TestRenderCli::meshViews_data()
{
    QTest::addColumn<QString>("mesh");
    QTest::addColumn<QStringList>("options");
    // Where the superior (red), anterior (green) and right (blue) poles show.
    QTest::addColumn<QStringList>("poles");
    const QString either = "sphere.srf", left = "sphere_lh.srf", right = "sub-1_hemi-R_pial.srf";
    const auto row = [](const char *name, const QString &mesh, const QString &options,
                        const QString &poles) {
        QTest::newRow(name) << mesh << options.split(' ') << poles.split(' ');
    };
    row("lateral of either: from the right", either, "--view lateral", "top right centre");
    row("lateral of the left", left, "--view lateral", "top left hidden");
    row("lateral of the right", right, "--view lateral", "top right centre");
    row("medial of either: from the left", either, "--view medial", "top left hidden");
    row("medial of the left", left, "--view medial", "top right centre");
    row("superior", either, "--view superior", "centre top right");
    row("inferior", either, "--view inferior", "hidden top left");
    row("anterior", either, "--view anterior", "top centre left");
    row("posterior", either, "--view posterior", "top hidden right");
    row("lateral turned by 90 degrees of azimuth: anterior", either, "--view lateral --azimuth 90",
        "top centre left");
    row("azimuth alone turns from lateral", either, "--azimuth=-90", "top hidden right");
    row("lateral raised by 90 degrees: from above, the right side down", either,
        "--view lateral --elevation 90", "centre right bottom");
    row("superior turned by 90 degrees: anterior to the right", either,
        "--view superior --azimuth 90", "centre right bottom");
}

// The poles of a sphere show where each side puts them.
void TestRenderCli::meshViews()
{
    QFETCH(QString, mesh);
    QFETCH(QStringList, options);
    QFETCH(QStringList, poles);
    QFile::remove(out("view.png"));
    FigureRenderer renderer;
    QVERIFY2(
        renderer.render(CommandLine(QStringList{"--render", out("view.png"), "--size", "200x200"} +
                                    options + QStringList{out(mesh)})),
        qPrintable(renderer.failure()));
    const QImage figure(out("view.png"));
    QCOMPARE(figure.size(), QSize(200, 200));
    QCOMPARE((QStringList{whereIs(figure, 0), whereIs(figure, 1), whereIs(figure, 2)}), poles);
}

void TestRenderCli::renderEach_data()
{
    // Names in the rows' folder; the figures go to its folder "each"
    // unless the row names another.
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QStringList>("written");
    // "%" the rows' folder.
    QTest::addColumn<QStringList>("failures");

    QTest::newRow("a volume, a mesh and a picture")
        << QStringList{"Phantom_Head.vmr", "Sphere.srf", "Plasma.png"}
        << QStringList{"--size", "320x240"} << "each"
        << QStringList{"Phantom_Head.vmr.png", "Plasma.png.png", "Sphere.srf.png"} << QStringList();
    QTest::newRow("one that cannot be read among others")
        << QStringList{"cut.vmr", "Plasma.png", "Sphere.srf"} << QStringList{"--size=200x150"}
        << "each" << QStringList{"Plasma.png.png", "Sphere.srf.png"}
        << QStringList{"cxviewer: %/cut.vmr: not a readable VMR volume (cut short: 256 × 256 × 256 "
                       "voxels need 16777216 bytes, 4992 are left)"};
    QTest::newRow("options that do not fit one of the files")
        << QStringList{"Sphere.srf", "Phantom_Head.vmr", "gone.vmr"}
        << QStringList{"--cross", "90,100,110"} << "each" << QStringList{"Phantom_Head.vmr.png"}
        << QStringList{"cxviewer: %/Sphere.srf: --cross is for a volume",
                       "cxviewer: %/gone.vmr: no such file or folder: %/gone.vmr"};
    QTest::newRow("a map per file, by its stem and folder, with its legend")
        << QStringList{"stems/a.vmr", "stems/b.vmr", "stems/c.vmr"}
        << QStringList{"--map", "{dir}/{stem}_z.vmp", "--map-index", "2", "--legend", "--threshold",
                       "3"}
        << "each" << QStringList{"a.vmr.png", "c.vmr.png"}
        << QStringList{"cxviewer: %/stems/b.vmr: no such file: %/stems/b_z.vmp"};
    QTest::newRow("a figure that would write over another file given")
        << QStringList{"in/x.png", "in/x.png.png"} << QStringList() << "in"
        << QStringList{"x.png.png.png"}
        << QStringList{"cxviewer: %/in/x.png: its figure %/in/x.png.png would write over "
                       "%/in/x.png.png, which the set reads"};
    QTest::newRow("two files of one name")
        << QStringList{"in/x.png", "stems/x.png"} << QStringList() << "each"
        << QStringList{"x.png.png"}
        << QStringList{"cxviewer: %/stems/x.png: its figure would take the name of another's, "
                       "%/each/x.png.png"};
}

// One figure per file, each as --render draws it alone; a file that fails is
// named on its own line, and the others are still drawn.
void TestRenderCli::renderEach()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, options);
    QFETCH(QString, folder);
    QFETCH(QStringList, written);
    QFETCH(QStringList, failures);
    // The rows' files, in a folder of their own.
    const QDir set(out("set"));
    const auto in = [&](const QString &name) { return set.filePath(name); };
    QVERIFY(QDir(in("each")).removeRecursively());
    QVERIFY(set.mkpath("stems") && set.mkpath("in"));
    const QList<std::pair<QStringList, QString>> copies = {
        {{"Phantom_Head.vmr", "stems/a.vmr", "stems/b.vmr", "stems/c.vmr"}, "Phantom_Head.vmr"},
        {{"stems/a_z.vmp", "stems/c_z.vmp"}, "Phantom_Head_Maps.vmp"},
        {{"Plasma.png", "in/x.png", "in/x.png.png", "stems/x.png"}, "Plasma.png"},
        {{"Sphere.srf"}, "Sphere.srf"}};
    for (const auto &[names, from] : copies)
        for (const QString &name : names)
            QVERIFY(QFile::exists(in(name)) || QFile::copy(sample(from), in(name)));
    QVERIFY(writeFile(in("cut.vmr"), readFile(sample("Phantom_Head.vmr")).left(5000)));
    QFile::remove(in("in/x.png.png.png"));
    const QByteArray before = readFile(in("in/x.png.png"));

    QStringList paths;
    for (const QString &file : files)
        paths << in(file);
    const Run r = run(QStringList{"--render-each", in(folder)} + options + paths);
    QCOMPARE(r.err, failures.replaceInStrings("%", set.path()).join('\n'));
    QCOMPARE(r.status, failures.isEmpty() ? 0 : 1);
    QStringList made;
    for (const QFileInfo &info : QDir(in(folder)).entryInfoList(QDir::Files, QDir::Name))
        if (!paths.contains(info.filePath()))
            made << info.fileName();
    QCOMPARE(made, written);
    QCOMPARE(readFile(in("in/x.png.png")), before);

    // Each as the same options draw it alone.
    for (const QString &file : paths) {
        const QFileInfo info(file);
        const QString figure = QDir(in(folder)).filePath(info.fileName() + ".png");
        if (!written.contains(info.fileName() + ".png"))
            continue;
        QStringList alone = options;
        alone.replaceInStrings("{dir}", info.path())
            .replaceInStrings("{stem}", info.completeBaseName());
        QFile::remove(out("alone.png"));
        QVERIFY(FigureRenderer().render(
            CommandLine(QStringList{"--render", out("alone.png")} + alone + QStringList{file})));
        const QImage a = QImage(out("alone.png")).convertToFormat(QImage::Format_RGB32);
        QVERIFY2(a == QImage(figure).convertToFormat(QImage::Format_RGB32), qPrintable(file));
    }
}

void TestRenderCli::contactSheet_data()
{
    QTest::addColumn<QStringList>("files"); // of the folder of samples, in the sheet's folder
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("mode");           // of the covers stored
    QTest::addColumn<QStringList>("stored"); // files with a cover stored; "*" a damaged one
    QTest::addColumn<int>("columns");
    QTest::addColumn<QStringList>("order");    // the strip's
    QTest::addColumn<QStringList>("failures"); // "%" the sheet's folder

    QTest::newRow("pictures, one stored, one unreadable")
        << QStringList{"c.png", "Plasma.png", "broken.png", "A.png", "Phantom_Head.vmr"}
        << QStringList{"--mode", "images", "--columns", "3"} << 1 << QStringList{"c.png"} << 3
        << QStringList{"A.png", "broken.png", "c.png", "Plasma.png"}
        << QStringList{"cxviewer: %/broken.png: unsupported image format"};
    QTest::newRow("a stored cover that is no thumbnail is made again")
        << QStringList{"A.png", "c.png"} << QStringList() << 1 << QStringList{"A.png*", "c.png"}
        << 2 << QStringList{"A.png", "c.png"} << QStringList();
    QStringList many;
    for (int i = 0; i < 33; ++i)
        many << QString("t%1.png").arg(i, 2, 10, QChar('0'));
    QTest::newRow("too wide a sheet")
        << many << QStringList{"--columns", "40"} << 1 << QStringList() << 33 << QStringList()
        << QStringList{"cxviewer: a sheet of 33 covers in 33 columns "
                       "would be 8720 × 296 pixels, more than 8192 on "
                       "a side"};
    QTest::newRow("scans in the mode of their files")
        << QStringList{"Phantom_Head.vmr", "Sphere.srf", "Plasma.png", "MR_Phantom_0016.dcm"}
        << QStringList() << 3 << QStringList{"Sphere.srf"} << 2
        << QStringList{"Phantom_Head.vmr", "Sphere.srf"} << QStringList();
    QTest::newRow("DICOM images in the mode asked for")
        << QStringList{"Phantom_Head.vmr", "MR_Phantom_0016.dcm", "MR_Phantom_0017.dcm"}
        << QStringList{"--mode", "raw", "--columns=1"} << 2 << QStringList() << 1
        << QStringList{"MR_Phantom_0016.dcm", "MR_Phantom_0017.dcm"} << QStringList();
}

// The covers in the strip's order, each stored one as stored and each other
// one as the strip makes it, with its file's name under it.
void TestRenderCli::contactSheet()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, options);
    QFETCH(int, mode);
    QFETCH(QStringList, stored);
    QFETCH(int, columns);
    QFETCH(QStringList, order);
    QFETCH(QStringList, failures);

    // A program of its own, whose data folder is beside it.
    QTemporaryDir base(QCoreApplication::applicationDirPath() + "/sheet-XXXXXX");
    QVERIFY(base.isValid() && QDir(base.path()).mkpath("bin/CXViewerFolderData") &&
            QDir(base.path()).mkpath("folder"));
    const QString viewer = base.filePath("bin/cxviewer");
    QVERIFY(::link(QFile::encodeName(program).constData(), QFile::encodeName(viewer).constData()) ==
                0 ||
            QFile::copy(program, viewer));
    const QDir folder(base.filePath("folder"));
    for (const QString &file : files) {
        if (file == "broken.png")
            QVERIFY(writeFile(folder.filePath(file), "not a picture"));
        else if (file.startsWith('t'))
            QVERIFY(QImage(4, 4, QImage::Format_RGB32).save(folder.filePath(file)));
        else if (file == "A.png" || file == "c.png")
            QVERIFY(QImage(sample(file == "A.png" ? "Julia_Portrait.jpg" : "Mandelbrot.gif"))
                        .save(folder.filePath(file)));
        else
            QVERIFY(QFile::copy(sample(file), folder.filePath(file)));
    }
    // Covers stored for the folder that differ from what would be made.
    QList<ThumbnailEntry> entries;
    QHash<QString, QImage> storedCovers;
    for (QString file : stored) {
        // "*": a picture of another size, which no thumbnail has.
        const bool damaged = file.endsWith('*');
        file.remove('*');
        QImage cover(damaged ? 300 : 256, 256, QImage::Format_RGB32);
        cover.fill(QColor(200, 30, 90));
        cover.setPixel(10, 20, qRgb(1, 2, 3));
        if (!damaged)
            storedCovers.insert(file, cover);
        entries << ThumbnailEntry{file, encodeThumbnail(cover)};
    }
    const QString data = base.filePath("bin/CXViewerFolderData/");
    const QString name = "folder_" + QString::number(mode) + "_2026-01-02T03-04-05.cxi";
    QFile thumbnails(data + name);
    QVERIFY(thumbnails.open(QIODevice::WriteOnly));
    writeThumbnailFile(thumbnails, entries);
    thumbnails.close();
    QMap<QString, QString> indexes[3];
    indexes[mode - 1].insert(folder.path(), name);
    QVERIFY(saveFileAtomically(data + "VisitedFolders.cxv", [&](QIODevice &file) {
        writeVisitedFolders(file, indexes[0], indexes[1], indexes[2]);
    }));

    QFile::remove(out("sheet.png"));
    const Run r = execute(viewer,
                          QStringList{"--contact-sheet", out("sheet.png")} + options +
                              QStringList{folder.path()},
                          {}, 60000, QString());
    QCOMPARE(r.err, failures.replaceInStrings("%", folder.path()).join('\n'));
    QCOMPARE(r.status, failures.isEmpty() ? 0 : 1);

    // A sheet that is refused is not written.
    QCOMPARE(QFile::exists(out("sheet.png")), !order.isEmpty());
    if (order.isEmpty())
        return;
    const QImage sheet = QImage(out("sheet.png")).convertToFormat(QImage::Format_RGB32);
    const int rows = (int(order.size()) + columns - 1) / columns;
    QCOMPARE(sheet.size(), QSize(ContactSheet::gap + columns * (256 + ContactSheet::gap),
                                 ContactSheet::gap +
                                     rows * (256 + ContactSheet::labelHeight + ContactSheet::gap)));
    for (int i = 0; i < order.size(); ++i) {
        const QString file = folder.filePath(order[i]);
        QImage expected(256, 256, QImage::Format_RGB32);
        expected.fill(Qt::black);
        QString reason;
        const QImage cover = storedCovers.contains(order[i]) ? storedCovers[order[i]]
                             : mode == 1                     ? fileThumbnail(file, false)
                                         : scanThumbnail(file, QSize(1000, 700), true, reason);
        if (!cover.isNull()) {
            QPainter(&expected).drawImage(0, 0, cover);
            QVERIFY2(sheet.copy(ContactSheet::coverRect(i, columns)) == expected,
                     qPrintable(order[i]));
        }

        // The name under it is the file's, as the sheet of it alone shows it.
        const QImage label = ContactSheet::draw({{file, QImage(), false, QString()}}, 1);
        QVERIFY2(sheet.copy(ContactSheet::labelRect(i, columns)) ==
                     label.copy(ContactSheet::labelRect(0, 1)),
                 qPrintable(order[i]));
    }
}

QTEST_MAIN(TestRenderCli)
#include "tst_render_cli.moc"
