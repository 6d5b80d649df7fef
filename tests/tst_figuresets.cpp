#include "BrowsingMode.h"
#include "CommandLine.h"
#include "ContactSheet.h"
#include "FigureRenderer.h"
#include "FolderDataFiles.h"
#include "Icosphere.h"
#include "SrfFixture.h"
#include "ThumbnailFile.h"
#include "ThumbnailRule.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

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
    void renderEach_data();
    void renderEach();
    void contactSheet_data();
    void contactSheet();

private:
    // The program, or another copy of it.
    Run run(const QStringList &arguments, const QString &executable = QString());
    QString out(const QString &name) const { return tmp.filePath(name); }

    QString sample(const QString &name) const { return samples.filePath(name); }

    QTemporaryDir tmp;
    const QDir samples{CXV_SAMPLES}; // read only
    QString program;
};

void TestFigureSets::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(tmp.isValid() && samples.exists("Phantom_Head.vmr"));
    program = QCoreApplication::applicationDirPath() + "/cxviewer";
    QVERIFY(QFileInfo(program).isExecutable());
    const QByteArray sphere = markedSphere();
    for (const char *name : {"sphere.srf", "sphere_lh.srf", "sub-1_hemi-R_pial.srf"})
        QVERIFY(writeFile(out(name), sphere));
}

Run TestFigureSets::run(const QStringList &arguments, const QString &executable)
{
    QProcess process;
    process.start(executable.isEmpty() ? program : executable, arguments);
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
    FigureRenderer renderer;
    QVERIFY2(
        renderer.render(CommandLine(QStringList{"--render", out("view.png"), "--size", "200x200"} +
                                    options + QStringList{out(mesh)})),
        qPrintable(renderer.failure()));
    const QImage figure(out("view.png"));
    QCOMPARE(figure.size(), QSize(200, 200));
    QCOMPARE((QStringList{whereIs(figure, 0), whereIs(figure, 1), whereIs(figure, 2)}), poles);
}

void TestFigureSets::renderEach_data()
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
void TestFigureSets::renderEach()
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
    const QList<std::pair<const char *, const char *>> copies = {
        {"Phantom_Head.vmr", "Phantom_Head.vmr"},
        {"Sphere.srf", "Sphere.srf"},
        {"Plasma.png", "Plasma.png"},
        {"stems/a.vmr", "Phantom_Head.vmr"},
        {"stems/b.vmr", "Phantom_Head.vmr"},
        {"stems/c.vmr", "Phantom_Head.vmr"},
        {"stems/a_z.vmp", "Phantom_Head_Maps.vmp"},
        {"stems/c_z.vmp", "Phantom_Head_Maps.vmp"},
        {"in/x.png", "Plasma.png"},
        {"in/x.png.png", "Plasma.png"},
        {"stems/x.png", "Plasma.png"}};
    for (const auto &[name, from] : copies)
        QVERIFY(QFile::exists(in(name)) || QFile::copy(sample(from), in(name)));
    QFile head(sample("Phantom_Head.vmr"));
    QVERIFY(head.open(QIODevice::ReadOnly));
    QVERIFY(writeFile(in("cut.vmr"), head.read(5000)));
    QFile::remove(in("in/x.png.png.png"));
    QFile kept(in("in/x.png.png"));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    const QByteArray before = kept.readAll();
    kept.close();

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
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), before);

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

void TestFigureSets::contactSheet_data()
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
void TestFigureSets::contactSheet()
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
    const Run r =
        run(QStringList{"--contact-sheet", out("sheet.png")} + options + QStringList{folder.path()},
            viewer);
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
        const QImage label = ContactSheet::draw({{file, QImage()}}, 1);
        QVERIFY2(sheet.copy(ContactSheet::labelRect(i, columns)) ==
                     label.copy(ContactSheet::labelRect(0, 1)),
                 qPrintable(order[i]));
    }
}

QTEST_MAIN(TestFigureSets)
#include "tst_figuresets.moc"
