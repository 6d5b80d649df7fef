#include "CortivexViewer.h"
#include "CoverFlowBrowser.h"
#include "CoverStore.h"
#include "DicomFixture.h"
#include "DocumentRouter.h"
#include "FolderBrowser.h"
#include "FolderDataFiles.h"
#include "FolderThumbnails.h"
#include "ImageOGLViewer.h"
#include "MeshOGLViewer.h"
#include "RawMRIDataOGLViewer.h"
#include "SrfFixture.h"
#include "ThumbnailCache.h"
#include "ThumbnailFile.h"
#include "ThumbnailRule.h"
#include "VmrFixture.h"
#include "VolumeOGLViewer.h"

#include <QApplication>
#include <QBuffer>
#include <QDateTime>
#include <QFileSystemModel>
#include <QImageWriter>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QTreeView>
#include <QtEndian>

#include <atomic>
#include <cstdio>
#include <tuple>

#include <sys/stat.h>

namespace {

// Written by the viewer before its thumbnails were kept on disk: a.png, b.jpg
// (empty), "Ü 脳.png", c.gif.
const QString writtenBefore = QStringLiteral(CXV_TEST_DATA_DIR "/thumbnails-written-before.cxi");

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QByteArray le32(quint32 v)
{
    QByteArray b(4, 0);
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray be16(quint16 v)
{
    QByteArray b(2, 0);
    qToBigEndian(v, b.data());
    return b;
}

// A data-stream string: byte count, then UTF-16 little-endian.
QByteArray string(const QString &text)
{
    QByteArray b = le32(quint32(text.size() * 2));
    for (QChar c : text)
        b += le32(c.unicode()).left(2);
    return b;
}

QByteArray readAll(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &name, const QByteArray &data)
{
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(name));
}

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 90);
    return bytes;
}

// Red upper-left quadrant, blue elsewhere: shows where a turn takes the corner.
QImage quadrants(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QPainter(&image).fillRect(0, 0, size.width() / 2, size.height() / 2, Qt::red);
    return image;
}

QImage filled(QSize size, Qt::GlobalColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// A JPEG with an EXIF block that holds only the orientation (big-endian TIFF).
QByteArray exifJpeg(const QByteArray &jpeg, int orientation)
{
    const QByteArray tiff = hex("4D4D 002A 00000008 0001 0112 0003 00000001") +
                            be16(quint16(orientation)) + hex("0000 00000000");
    const QByteArray app1 = QByteArray("Exif\0\0", 6) + tiff;
    return QByteArray(jpeg).insert(2, hex("FFE1") + be16(quint16(app1.size() + 2)) + app1);
}

// A DICOM image of width x height pixels rising from first.
QByteArray dicomImage(int width, int height, int first)
{
    QList<qint16> ramp;
    for (int i = 0; i < width * height; ++i)
        ramp << qint16(first + i % width * 7 + i / width * 3);
    DicomFixture dicom;
    dicom.unsignedShort(0x0028, 0x0010, quint16(height))
        .unsignedShort(0x0028, 0x0011, quint16(width))
        .unsignedShort(0x0028, 0x0100, 16)
        .pixels(ramp);
    return dicom.file();
}

// A volume of dim³ voxels of a pattern that starts at first.
QByteArray volume(int dim, int first)
{
    VmrFixture vmr;
    vmr.dimX = vmr.dimY = vmr.dimZ = qint16(dim);
    QByteArray voxels(dim * dim * dim, 0);
    for (int i = 0; i < voxels.size(); ++i)
        voxels[i] = char(first + (i % dim + i / dim % dim * 2 + i / dim / dim * 3) % 100);
    vmr.voxels = voxels;
    return vmr.bytes();
}

// An octahedron 120 units across, lit and seen whole from where the mesh view starts.
QByteArray octahedron()
{
    SrfFixture srf = SrfFixture::octahedron();
    // The view lights a mesh whose normals point inwards.
    for (SrfFixture::Vertex &v : srf.vertices) {
        v.nx = -v.x;
        v.ny = -v.y;
        v.nz = -v.z;
        v.x *= 60;
        v.y *= 60;
        v.z *= 60;
    }
    std::fill(std::begin(srf.meshCenter), std::end(srf.meshCenter), 0.0f);
    return srf.bytes();
}

// 'r', 'g' or 'b' for an opaque pixel of about that colour, else '?'.
char colour(QRgb p)
{
    if (qAlpha(p) != 255)
        return '?';
    const int r = qRed(p), g = qGreen(p), b = qBlue(p);
    return r > 200 && g < 60 && b < 60   ? 'r'
           : g > 90 && r < 60 && b < 60  ? 'g'
           : b > 200 && r < 60 && g < 60 ? 'b'
                                         : '?';
}

QList<ThumbnailEntry> entriesOf(QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QList<ThumbnailEntry> entries;
    return readThumbnailFile(buffer, entries) ? entries : QList<ThumbnailEntry>();
}

QByteArray fileOf(const QList<ThumbnailEntry> &entries)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    writeThumbnailFile(buffer, entries);
    return buffer.data();
}

void writeIndex(const QString &dataFolder, const QMap<QString, QString> &images,
                const QMap<QString, QString> &cx)
{
    QDir().mkpath(dataFolder);
    if (!saveFileAtomically(
            QDir(dataFolder).filePath("VisitedFolders.cxv"),
            [&](QIODevice &device) { writeVisitedFolders(device, images, {}, cx); }))
        qFatal("cannot write the index");
}

// The thumbnail file the index of dataFolder names for folder in mode.
QString indexedIn(const QString &dataFolder, const QString &folder,
                  BrowsingMode mode = BrowsingMode::CXData)
{
    QFile file(QDir(dataFolder).filePath("VisitedFolders.cxv"));
    QMap<QString, QString> maps[3];
    if (!file.open(QIODevice::ReadOnly) || !readVisitedFolders(file, maps[0], maps[1], maps[2]))
        return {};
    return maps[browsingModeNumber(mode) - 1].value(folder);
}

QStringList entriesIn(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden, QDir::Name);
}

// A viewer showing folder, with a thumbnail spooled, until it is killed.
int spoolUntilKilled(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString folder = qEnvironmentVariable("CXV_SPOOLING_FOLDER");
    CoverStore store;
    FolderThumbnails thumbnails(&store, [] { return 0; });
    thumbnails.loadIndex(qEnvironmentVariable("CXV_SPOOLING_DATA"));
    store.append(folder + "/a.png", QImage(), false);
    store.append(folder + "/new.png", QImage(), false);
    thumbnails.enter(folder, BrowsingMode::CXData);
    store.setThumbnail(1, encodeThumbnail(filled(QSize(256, 256), Qt::red)));
    std::puts("spooled");
    std::fflush(stdout);
    for (;;)
        QThread::sleep(1);
}

} // namespace

class TestThumbnails : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void geometry_data();
    void geometry();
    void frames();
    void fileBytes();
    void damagedFiles_data();
    void damagedFiles();
    void fileNames();
    void storeDecodesNearSelection();
    void storedPerFolderAndMode();
    void undecodableThumbnailsMadeAgain_data();
    void undecodableThumbnailsMadeAgain();
    void tamperedIndex_data();
    void tamperedIndex();
    void offersInEveryMode();
    void scanCovers_data();
    void scanCovers();
    void unreadableScansTriedOnce();
    void folderChangeDropsOldResults_data();
    void folderChangeDropsOldResults();
    void storedThumbnailsStayOnDisk();
    void writtenAsBefore_data();
    void writtenAsBefore();
    void storedFileChanged_data();
    void storedFileChanged();
    void coversAddedLater();
    void spoolOfKilledViewerRemoved();

private:
    // (Re)starts the viewer, in images mode once shown if exposed.
    void startViewer(bool exposed = false);
    QString path(const QString &relative) const { return tmp.filePath(relative); }
    QString dataDir() const { return path("app/CXViewerFolderData"); }
    QStringList thumbnailFiles() const
    {
        return QDir(dataDir()).entryList({"*.cxi"}, QDir::Files, QDir::Name);
    }
    void open(const QString &folder);
    CoverStore *covers() const { return viewer->coverFlow()->coverStore(); }
    bool makingThumbnails() const
    {
        return viewer->findChild<FolderThumbnails *>()->isMakingThumbnails();
    }
    template <typename View> View *view() const { return viewer->findChild<View *>(); }
    // The thumbnail file the index on disk names for folder in mode.
    QString indexed(const QString &folder, BrowsingMode mode = BrowsingMode::Images) const
    {
        return indexedIn(dataDir(), folder, mode);
    }
    bool allCoversDone() const;
    QList<ThumbnailEntry> storedEntries(const QString &name) const
    {
        return entriesOf(readAll(QDir(dataDir()).filePath(name)));
    }
    // Restarts the viewer on an index that names file as the thumbnails of
    // folder in images mode, and opens that folder.
    void openPicsWithIndex(const QString &file, const QString &folder = "pics");

    QTemporaryDir tmp;
    CortivexViewer *viewer = nullptr;
};

void TestThumbnails::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(tmp.isValid());
    QDir root(tmp.path());
    for (const char *folder : {"work", "app", "pics", "empty", "cx", "other/cx", "slow", "fast",
                               "scans", "slow volumes", "fast volumes"})
        root.mkpath(folder);
    QDir::setCurrent(path("work"));
    writeFile(path("pics/a.png"), encoded(quadrants(QSize(300, 600)), "png"));
    writeFile(path("pics/b.jpg"), exifJpeg(encoded(quadrants(QSize(400, 300)), "jpg"), 6));
    writeFile(path("pics/c.png"), encoded(quadrants(QSize(600, 300)), "png"));
    writeFile(path("pics/d.jpg"), "not a picture");
    writeFile(path("cx/x.vmr"), "");
    writeFile(path("cx/Y.SRF"), "");
    writeFile(path("other/cx/z.vmr"), "");
    // The same names in both: a late thumbnail of "slow" would fit a cover of "fast".
    const QByteArray large = encoded(quadrants(QSize(2400, 2400)), "png");
    const QByteArray small = encoded(filled(QSize(64, 64), Qt::blue), "png");
    for (int i = 0; i < 8; ++i) {
        writeFile(path(QString("slow/s%1.png").arg(i)), large);
        writeFile(path(QString("fast/s%1.png").arg(i)), small);
        writeFile(path(QString("slow volumes/v%1.vmr").arg(i)), volume(160, i));
        writeFile(path(QString("fast volumes/v%1.vmr").arg(i)), volume(8, 120 + i));
    }

    // Scans of every kind, and a damaged file of each.
    writeFile(path("scans/a.vmr"), VmrFixture().bytes());
    writeFile(path("scans/b.vmr"), volume(24, 30));
    QVERIFY(QFile::copy(CXV_NIFTI_FIXTURES "/ras_uint8.nii.gz", path("scans/c.nii.gz")));
    writeFile(path("scans/d.srf"), octahedron());
    writeFile(path("scans/e.dcm"), dicomImage(16, 16, 100));
    writeFile(path("scans/f.dcm"), dicomImage(40, 24, -500));
    writeFile(path("scans/g.vmr"), VmrFixture().bytes().left(30));
    writeFile(path("scans/h.nii.gz"), hex("1F8B 0800 0000 0000 0003") + "not deflated");
    writeFile(path("scans/i.srf"), octahedron().left(40));
    writeFile(path("scans/j.dcm"), QByteArray(128, 0) + "DICM" + hex("0200 0000 554C 0400"));
}

void TestThumbnails::startViewer(bool exposed)
{
    delete viewer;
    viewer = new CortivexViewer;
    viewer->openDataFolders(path("app"));
    viewer->resize(1000, 700);
    viewer->show();
    if (exposed)
        QVERIFY(QTest::qWaitForWindowExposed(viewer));
    viewer->setBrowsingMode(BrowsingMode::Images);
}

void TestThumbnails::init()
{
    QDir(dataDir()).removeRecursively();
    // The plain classes' tests need no window; openPicsWithIndex starts its own.
    if (!QList<QByteArray>({"storedPerFolderAndMode", "offersInEveryMode", "scanCovers",
                            "folderChangeDropsOldResults"})
             .contains(QTest::currentTestFunction()))
        return;
    startViewer(true);
}

void TestThumbnails::cleanup()
{
    delete viewer;
    viewer = nullptr;
    QDir::setCurrent(path("work"));
}

// As a click in the directory tree: listed in the mode shown.
void TestThumbnails::open(const QString &folder)
{
    viewer->findChild<FolderBrowser *>()->clickedFolder(
        static_cast<QFileSystemModel *>(viewer->findChild<QTreeView *>()->model())
            ->index(path(folder)));
}

bool TestThumbnails::allCoversDone() const
{
    for (int i = 0; i < covers()->count(); ++i)
        if (!covers()->thumbnailLoaded(i))
            return false;
    return true;
}

void TestThumbnails::openPicsWithIndex(const QString &file, const QString &folder)
{
    writeIndex(dataDir(), {{path(folder), file}}, {});
    startViewer();
    open(folder);
}

void TestThumbnails::geometry_data()
{
    QTest::addColumn<QSize>("stored");
    // 0: a PNG file, else a JPEG with this EXIF orientation.
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QRect>("picture");
    // Where the stored picture's red upper-left quadrant is shown, and where its blue
    // lower-right one.
    QTest::addColumn<QPoint>("red");
    QTest::addColumn<QPoint>("blue");
    auto row = [](const char *name, QSize stored, int orientation, QRect picture, QPoint red,
                  QPoint blue) {
        QTest::newRow(name) << stored << orientation << picture << red << blue;
    };
    row("portrait", {300, 600}, 0, {64, 0, 128, 256}, {80, 16}, {175, 239});
    row("landscape", {600, 300}, 0, {0, 128, 256, 128}, {16, 144}, {239, 239});
    row("square", {500, 500}, 0, {0, 0, 256, 256}, {16, 16}, {239, 239});
    // 256 × 300 / 700 = 109.7 pixels: 110.
    row("portrait, width rounded", {300, 700}, 0, {73, 0, 110, 256}, {80, 16}, {175, 239});
    row("landscape, height rounded", {700, 300}, 0, {0, 146, 256, 110}, {16, 150}, {239, 239});
    row("12 MP upright", {4000, 3000}, 1, {0, 64, 256, 192}, {16, 80}, {239, 239});
    row("turned 180", {800, 600}, 3, {0, 64, 256, 192}, {239, 239}, {16, 80});
    row("turned 90 clockwise", {800, 600}, 6, {32, 0, 192, 256}, {207, 16}, {48, 239});
    row("turned 270 clockwise", {800, 600}, 8, {32, 0, 192, 256}, {48, 239}, {207, 16});
    row("portrait JPEG decoded small", {768, 1024}, 1, {32, 0, 192, 256}, {48, 16}, {207, 239});
}

// The file's thumbnail and, for unturned files, the view's: the same picture.
void TestThumbnails::geometry()
{
    QFETCH(QSize, stored);
    QFETCH(int, orientation);
    QFETCH(QRect, picture);
    QFETCH(QPoint, red);
    QFETCH(QPoint, blue);
    const QImage source = quadrants(stored);
    const QString file = path(orientation ? "work/turned.jpg" : "work/plain.png");
    writeFile(file,
              orientation ? exifJpeg(encoded(source, "jpg"), orientation) : encoded(source, "png"));
    QList<QImage> thumbnails = {fileThumbnail(file, false)};
    if (orientation <= 1)
        thumbnails << imageThumbnail(source, false);
    for (const QImage &thumbnail : thumbnails) {
        QCOMPARE(thumbnail.size(), QSize(256, 256));
        QCOMPARE(thumbnail.format(), QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                if (qAlpha(thumbnail.pixel(x, y)) != (picture.contains(x, y) ? 255 : 0))
                    QFAIL(qPrintable(QString("alpha wrong at %1, %2").arg(x).arg(y)));
        QCOMPARE(colour(thumbnail.pixel(red)), 'r');
        QCOMPARE(colour(thumbnail.pixel(blue)), 'b');
    }
}

void TestThumbnails::frames()
{
    const auto frameIs = [](const QImage &image, QRgb grey) {
        for (int inset = 0; inset < 4; ++inset)
            for (const QPoint &p : {QPoint(inset, 128), QPoint(255 - inset, 40), QPoint(100, inset),
                                    QPoint(200, 255 - inset)})
                if (image.pixel(p) != grey)
                    return false;
        return true;
    };
    const QImage landscape = quadrants(QSize(600, 300));
    const QImage image = imageThumbnail(landscape, true);
    QVERIFY(frameIs(image, qRgb(64, 64, 64)));
    QCOMPARE(qAlpha(image.pixel(128, 60)), 0);
    // A rendered view has no alpha: black where the picture does not reach.
    const QImage rendered = renderedViewThumbnail(landscape, true);
    QCOMPARE(rendered.format(), QImage::Format_RGB888);
    QVERIFY(frameIs(rendered, qRgb(128, 128, 128)));
    QCOMPARE(rendered.pixel(128, 60), qRgb(0, 0, 0));
    QCOMPARE(qAlpha(fileThumbnail(path("pics/c.png"), true).pixel(0, 0)), 255);
    // Nothing to read: no picture.
    QVERIFY(fileThumbnail(path("pics/d.jpg"), false).isNull());
    QVERIFY(fileThumbnail(path("pics"), false).isNull());
    // A FIFO in a picture's place would block the worker for good.
    QFile::remove(path("work/fifo.png"));
    QVERIFY(mkfifo(QFile::encodeName(path("work/fifo.png")).constData(), 0600) == 0);
    QVERIFY(fileThumbnail(path("work/fifo.png"), false).isNull());
    QVERIFY(encodeThumbnail(QImage()).isEmpty());
}

void TestThumbnails::fileBytes()
{
    const QImage thumbnail = imageThumbnail(quadrants(QSize(300, 600)), false);
    const QByteArray red = encodeThumbnail(thumbnail);
    // Two flat colours and a transparent band: compressed to almost nothing.
    QVERIFY(red.size() < 4096);
    QCOMPARE(QImage::fromData(red).convertToFormat(QImage::Format_ARGB32_Premultiplied), thumbnail);
    const QByteArray blue = encodeThumbnail(filled(QSize(1, 1), Qt::blue));
    const QList<ThumbnailEntry> entries = {
        {"a.png", red}, {"b.jpg", QByteArray()}, {QString::fromUtf8("Ü.gif"), blue}};
    const QByteArray bytes = fileOf(entries);
    QCOMPARE(bytes, hex("01000000 03000000") + string("a.png") + le32(1) + red + string("b.jpg") +
                        le32(0) + string(QString::fromUtf8("Ü.gif")) + le32(1) + blue);

    // Each PNG stream ends with its IEND chunk, whatever follows the last.
    QCOMPARE(fileOf(entriesOf(bytes + "trailing")), bytes);
}

void TestThumbnails::damagedFiles_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<bool>("whole");
    const QByteArray png = encodeThumbnail(filled(QSize(2, 2), Qt::red));
    const QByteArray signature("\x89PNG\r\n\x1a\n", 8);
    const QByteArray entryA = string("a") + le32(1), a = entryA + png,
                     b = string("b") + le32(1) + png;
    QByteArray endless = signature;
    for (int i = 0; i < 1000; ++i)
        endless += hex("00000004") + "IDAT" + hex("00000000 00000000");
    auto row = [](const char *name, int count, const QByteArray &entries, const QStringList &names,
                  bool whole = false) {
        QTest::newRow(name) << hex("01000000") + le32(quint32(count)) + entries << names << whole;
    };
    row("whole", 2, a + b, {"a", "b"}, true);
    row("count beyond the entries", 0x7FFFFFFF, a + b, {"a", "b"});
    row("negative count", -1, a, {});
    row("name cut short", 2, a + b.left(5), {"a"});
    row("no PNG after the marker", 1, entryA + "GIF89a", {});
    row("PNG cut short", 2, a + b.chopped(6), {"a"});
    row("PNG without end", 1, entryA + endless, {});
    row("chunk longer than the data", 1,
        entryA + signature + hex("7FFFFFF0") + "IDAT" + QByteArray(100, 'x'), {});
    row("chunk length past 2^31", 1, entryA + signature + hex("FFFFFFFF") + "IDAT", {});
    row("marker other than 1", 1, string("a") + le32(7) + png, {"a"}, true);
    // A stream of 16 MiB is read; one a byte longer is damage.
    const auto pngOfSize = [&signature](quint32 size) {
        QByteArray length(4, 0);
        qToBigEndian(size - 32, length.data());
        return signature + length + "IDAT" + QByteArray(qsizetype(size) - 32 + 4, 0) +
               hex("00000000") + "IEND" + hex("AE426082");
    };
    row("PNG of 16 MiB", 1, entryA + pngOfSize(16 << 20), {"a"}, true);
    row("PNG over 16 MiB", 1, entryA + pngOfSize((16 << 20) + 1), {});
    QTest::newRow("empty") << QByteArray() << QStringList() << false;
}

void TestThumbnails::damagedFiles()
{
    QFETCH(QByteArray, data);
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QList<ThumbnailEntry> entries;
    QTEST(readThumbnailFile(buffer, entries), "whole");
    QStringList names;
    for (const ThumbnailEntry &entry : std::as_const(entries))
        names << entry.fileName;
    QTEST(names, "names");
}

// Folder name, mode and time; a number when the name is taken.
void TestThumbnails::fileNames()
{
    const QDateTime when(QDate(2011, 5, 4), QTime(13, 22, 11));
    const QString stamp = "_2011-05-04T13-22-11";
    const QStringList taken = {"MyScans_1" + stamp + ".cxi", "MyScans_1" + stamp + "_2.cxi"};
    for (const auto &[folder, mode, isTaken, name] :
         {std::tuple("/data/MyScans", 1, false, "MyScans_1%1.cxi"),
          std::tuple("/", 2, false, "_2%1.cxi"), std::tuple("C:/", 3, false, "C_3%1.cxi"),
          std::tuple("/data/MyScans/", 1, false, "MyScans_1%1.cxi"),
          std::tuple("/data/50%2", 1, false, "50%2_1%1.cxi"),
          std::tuple("/other/MyScans", 1, true, "MyScans_1%1_3.cxi")}) {
        const auto isTakenName = [&taken, isTaken = isTaken](const QString &n) {
            return isTaken && taken.contains(n);
        };
        QCOMPARE(thumbnailFileName(folder, browsingModeOfNumber(mode), when, isTakenName),
                 QString(name).arg(stamp));
    }
}

// Thumbnails stay compressed; only those asked for are decoded, and only a few hundred stay so.
void TestThumbnails::storeDecodesNearSelection()
{
    CoverStore store;
    const int count = CoverStore::maxDecodedThumbnails + 50;
    for (int i = 0; i < count; ++i) {
        store.append(QString("/f/%1.png").arg(i), QImage(), true);
        store.setThumbnail(
            i, encodeThumbnail(filled(QSize(256, 256), Qt::GlobalColor(Qt::red + i % 8))));
    }
    const QImage first = store.image(0);
    QCOMPARE(first.pixel(1, 1), QColor(Qt::red).rgb());
    QCOMPARE(store.image(0).cacheKey(), first.cacheKey());
    for (int i = 1; i < count; ++i)
        QCOMPARE(store.image(i).pixel(0, 0), QColor(Qt::GlobalColor(Qt::red + i % 8)).rgb());
    QVERIFY(store.image(0).cacheKey() != first.cacheKey());

    // An empty thumbnail (of a file that cannot be read) shows nothing and stays;
    // a damaged one, or one of another size, is dropped as it is given or decoded.
    QSignalSpy dropped(&store, &CoverStore::thumbnailDropped);
    store.setThumbnail(1, QByteArray());
    store.setThumbnail(2, encodeThumbnail(filled(QSize(256, 256), Qt::red)).left(40));
    store.setThumbnail(3, encodeThumbnail(filled(QSize(256, 1), Qt::red)));
    store.setThumbnail(4, encodeThumbnail(filled(QSize(1, 256), Qt::red)));
    QCOMPARE(dropped.size(), 2);
    QVERIFY(store.image(1).isNull() && store.thumbnailLoaded(1) == 1);
    for (int i = 2; i <= 4; ++i) {
        QVERIFY(store.image(i).isNull());
        QCOMPARE(store.thumbnailLoaded(i), 0);
    }
    QCOMPARE(dropped.size(), 3);

    // With nowhere to spool them, thumbnails stay in memory up to a bound; past
    // it one lives only while it stays decoded, and is dropped when asked for after.
    const QByteArray large = encodeThumbnail(filled(QSize(256, 256), Qt::darkGreen)) +
                             QByteArray(CoverStore::maxSpareBytes / 2, '\0');
    store.setThumbnail(5, large);
    store.setThumbnail(6, large);
    QCOMPARE(store.thumbnail(5), large);
    QVERIFY(store.thumbnail(6).isEmpty() && store.thumbnailLoaded(6));
    QCOMPARE(colour(store.image(6).pixel(9, 9)), 'g');
    for (int i = 7; i < count; ++i)
        store.image(i);
    QCOMPARE(colour(store.image(5).pixel(9, 9)), 'g');
    QVERIFY(store.image(6).isNull());
    QCOMPARE(store.thumbnailLoaded(6), 0);
    QCOMPARE(dropped.size(), 4);
}

void TestThumbnails::storedPerFolderAndMode()
{
    open("pics");
    QTRY_VERIFY_WITH_TIMEOUT(allCoversDone(), 20000);
    QTRY_VERIFY(!makingThumbnails());
    CoverStore *store = covers();
    const QImage picture = store->image(0);

    open("empty");
    const QString name = indexed(path("pics"));
    QVERIFY(name.startsWith("pics_1_"));
    QCOMPARE(thumbnailFiles(), QStringList({name}));
    QList<ThumbnailEntry> entries = storedEntries(name);
    QCOMPARE(entries.size(), 4);
    QCOMPARE(entries[3].fileName, QString("d.jpg"));
    QVERIFY(entries[3].png.isEmpty());

    // After a restart the folder shows its thumbnails at once; leaving it unchanged writes nothing.
    startViewer();
    const QByteArray stored = readAll(QDir(dataDir()).filePath(name));
    open("pics");
    QVERIFY(allCoversDone());
    store = covers();
    QCOMPARE(store->image(0).convertToFormat(picture.format()), picture);
    QTRY_VERIFY(!makingThumbnails());
    open("empty");
    QCOMPARE(thumbnailFiles(), QStringList({name}));
    QCOMPARE(readAll(QDir(dataDir()).filePath(name)), stored);

    // U replaces a thumbnail, an offer without it does not; leaving writes a new file.
    open("pics");
    const QImage green = filled(QSize(100, 100), Qt::darkGreen);
    emit view<ImageOGLViewer>()->thumbnailOffered(2, green, false);
    QTest::qWait(100);
    QVERIFY(colour(store->image(2).pixel(128, 128)) != 'g');
    emit view<ImageOGLViewer>()->thumbnailOffered(2, green, true);
    QTRY_COMPARE(colour(store->image(2).pixel(128, 128)), 'g');
    open("empty");
    const QString newName = indexed(path("pics"));
    QCOMPARE(thumbnailFiles(), QStringList({newName}));
    entries = storedEntries(newName);
    QCOMPARE(entries.size(), 4);
    QCOMPARE(colour(QImage::fromData(entries[2].png).pixel(128, 128)), 'g');

    // The old file goes only once the index on disk no longer names it.
    const QString index = QDir(dataDir()).filePath("VisitedFolders.cxv");
    QVERIFY(QFile::remove(index) && QDir().mkdir(index));
    open("pics");
    emit view<ImageOGLViewer>()->thumbnailOffered(0, filled(QSize(8, 8), Qt::darkGreen), true);
    QTRY_COMPARE(colour(store->image(0).pixel(128, 128)), 'g');
    open("empty");
    QVERIFY(thumbnailFiles().contains(newName));
    QCOMPARE(thumbnailFiles().size(), 2);
    QDir(index).removeRecursively();
}

void TestThumbnails::undecodableThumbnailsMadeAgain_data()
{
    QTest::addColumn<QByteArray>("png");
    const QByteArray good = encodeThumbnail(filled(QSize(256, 256), Qt::darkGreen));
    QByteArray oversized = good;
    oversized.replace(16, 8, hex("00007530 00007530")); // 30000 x 30000
    QByteArray damaged = good;
    // The start of the compressed pixels.
    const int pixels = int(good.indexOf("IDAT")) + 4;
    for (int i = pixels; i < pixels + 8; ++i)
        damaged[i] = char(damaged[i] ^ 0x5A);
    QTest::newRow("oversized header") << oversized;
    QTest::newRow("damaged pixel data") << damaged;
}

// A stored thumbnail that cannot be decoded counts as missing: in images mode it
// is made again from the file, and the folder's file is written anew with it.
void TestThumbnails::undecodableThumbnailsMadeAgain()
{
    QFETCH(QByteArray, png);
    const QString name = "pics_1_2020-01-01T00-00-00.cxi";
    QDir().mkpath(dataDir());
    // Not the first cover, which the image view offers its own thumbnail for.
    writeFile(QDir(dataDir()).filePath(name),
              fileOf({{"a.png", encodeThumbnail(fileThumbnail(path("pics/a.png"), false))},
                      {"b.jpg", encodeThumbnail(fileThumbnail(path("pics/b.jpg"), false))},
                      {"c.png", png},
                      {"d.jpg", QByteArray()}}));
    openPicsWithIndex(name);
    // c.png lies: red at the top left of the picture, blue at the bottom right.
    CoverStore *store = covers();
    const auto remade = [](const QImage &picture) {
        return picture.size() == QSize(256, 256) && colour(picture.pixel(16, 144)) == 'r' &&
               colour(picture.pixel(239, 239)) == 'b';
    };
    QTRY_VERIFY_WITH_TIMEOUT(remade(store->image(2)), 10000);
    QTRY_VERIFY(!makingThumbnails());
    open("empty");
    const QList<ThumbnailEntry> entries = storedEntries(indexed(path("pics")));
    QCOMPARE(entries.size(), 4);
    QVERIFY(remade(QImage::fromData(entries[2].png)));

    // One found broken long after the folder was filled is made again too.
    open("pics");
    QTRY_VERIFY(!makingThumbnails());
    store->setThumbnail(2, png);
    QTRY_VERIFY(remade(store->image(2)));
}

void TestThumbnails::tamperedIndex_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("indexed");
    const QString stamp = "_1_2020-01-01T00-00-00.cxi";
    QTest::newRow("up and out") << path("elsewhere/file") << "../../elsewhere/file";
    QTest::newRow("absolute") << path("elsewhere/pics" + stamp) << path("elsewhere/pics" + stamp);
    QTest::newRow("in a subfolder") << dataDir() + "/sub/pics" + stamp << "sub/pics" + stamp;
}

// A thumbnail file name in the index that leads anywhere but to a plain file
// of the data folder is never read, never removed, and dropped from the index.
void TestThumbnails::tamperedIndex()
{
    QFETCH(QString, file);
    QFETCH(QString, indexed);
    QDir().mkpath(QFileInfo(file).path());
    const QByteArray bytes =
        fileOf({{"a.png", encodeThumbnail(filled(QSize(256, 256), Qt::darkGreen))}});
    writeFile(file, bytes);
    openPicsWithIndex(indexed);
    QTRY_VERIFY_WITH_TIMEOUT(allCoversDone(), 20000);
    QVERIFY(colour(covers()->image(0).pixel(80, 16)) != 'g');
    // Leaving the folder stores its new thumbnails.
    open("empty");
    QCOMPARE(readAll(file), bytes);
    QVERIFY(isThumbnailFileName(this->indexed(path("pics"))));
    QFile::remove(file);
}

void TestThumbnails::offersInEveryMode()
{
    viewer->setBrowsingMode(BrowsingMode::CXData);
    open("cx");
    const QImage lying = quadrants(QSize(600, 300));
    emit view<VolumeOGLViewer>()->thumbnailOffered(0, lying, false);
    emit view<MeshOGLViewer>()->thumbnailOffered(1, quadrants(QSize(300, 600)), false);
    QTRY_VERIFY(allCoversDone());
    CoverStore *store = covers();
    QCOMPARE(store->image(0).pixel(0, 0), qRgb(64, 64, 64));
    QCOMPARE(store->image(1).pixel(0, 0), qRgb(128, 128, 128));
    // Two folders of one name, saved in the same second or not, keep a file each.
    open("empty");
    open("other/cx");
    emit view<VolumeOGLViewer>()->thumbnailOffered(0, lying, false);
    QTRY_VERIFY(allCoversDone());
    open("empty");
    const QString first = indexed(path("cx"), BrowsingMode::CXData);
    const QString second = indexed(path("other/cx"), BrowsingMode::CXData);
    QVERIFY(first.startsWith("cx_3_") && second.startsWith("cx_3_") && first != second);
    QCOMPARE(thumbnailFiles().size(), 2);
    QCOMPARE(storedEntries(first).size(), 2);
}

void TestThumbnails::scanCovers_data()
{
    QTest::addColumn<BrowsingMode>("mode");
    QTest::addColumn<QStringList>("made");
    QTest::addColumn<QStringList>("damaged");
    QTest::newRow("CX data") << BrowsingMode::CXData
                             << QStringList({"a.vmr", "b.vmr", "c.nii.gz", "d.srf"})
                             << QStringList({"g.vmr", "h.nii.gz", "i.srf"});
    QTest::newRow("raw MRI") << BrowsingMode::RawMRI << QStringList({"e.dcm", "f.dcm"})
                             << QStringList({"j.dcm"});
}

// Every scan gets, without being chosen, the thumbnail its view offers when it
// shows it; a file that cannot be read keeps its placeholder and is tried once.
// The folder's file keeps them: opened again, none is made anew.
void TestThumbnails::scanCovers()
{
    QFETCH(BrowsingMode, mode);
    QFETCH(QStringList, made);
    QFETCH(QStringList, damaged);
    viewer->resize(1200, 750);
    QTest::qWait(200);
    viewer->setBrowsingMode(mode);
    open("scans");
    CoverStore *store = covers();
    QCOMPARE(store->count(), made.size() + damaged.size());
    QTRY_VERIFY_WITH_TIMEOUT(!makingThumbnails(), 20000);
    QList<QByteArray> pngs;
    for (int i = 0; i < store->count(); ++i) {
        const QString name = QFileInfo(store->fileName(i)).fileName();
        QCOMPARE(bool(store->thumbnailLoaded(i)), made.contains(name));
        pngs << store->thumbnail(i);
    }

    // What a view offers replaces what was made of the file, not what was stored.
    OGLViewer *flatView = mode == BrowsingMode::CXData
                              ? static_cast<OGLViewer *>(view<VolumeOGLViewer>())
                              : view<RawMRIDataOGLViewer>();
    emit flatView->thumbnailOffered(1, filled(QSize(100, 100), Qt::darkGreen), false);
    QTRY_COMPARE(colour(store->image(1).pixel(128, 128)), 'g');

    // The mesh view is drawn at the size it has once shown, at the window's size now.
    const QList<OGLViewer *> views = {view<VolumeOGLViewer>(), view<MeshOGLViewer>(),
                                      view<RawMRIDataOGLViewer>()};
    for (int i = 0; i < store->count(); ++i) {
        if (!store->thumbnailLoaded(i))
            continue;
        QImage offer;
        QList<QMetaObject::Connection> spies;
        for (OGLViewer *v : views)
            spies << connect(v, &OGLViewer::thumbnailOffered, this,
                             [&offer](int, const QImage &image) { offer = image; });
        viewer->findChild<DocumentRouter *>()->inspect(i, store->fileName(i));
        QTRY_VERIFY(!offer.isNull());
        for (const QMetaObject::Connection &spy : std::as_const(spies))
            disconnect(spy);
        const QImage expected = store->fileName(i).endsWith(".srf")
                                    ? renderedViewThumbnail(offer, true)
                                    : imageThumbnail(offer, true);
        QVERIFY2(QImage::fromData(pngs[i]).convertToFormat(expected.format()) == expected,
                 qPrintable(store->fileName(i)));
    }

    open("empty");
    const QString name = indexed(path("scans"), mode);
    QStringList stored;
    for (const ThumbnailEntry &entry : storedEntries(name))
        stored << entry.fileName;
    QCOMPARE(stored, made);
    open("scans");
    for (int i = 0; i < store->count(); ++i)
        QCOMPARE(bool(store->thumbnailLoaded(i)), bool(i < made.size()));
    QTRY_VERIFY(!makingThumbnails());
    viewer->findChild<DocumentRouter *>()->waitForDocument();
    emit flatView->thumbnailOffered(1, filled(QSize(100, 100), Qt::blue), false);
    QTest::qWait(200);
    QCOMPARE(colour(store->image(1).pixel(128, 128)), 'g');
    open("empty");
    QCOMPARE(indexed(path("scans"), mode), name);
}

// Wherever the selection goes, until the covers change.
void TestThumbnails::unreadableScansTriedOnce()
{
    CoverStore store;
    ThumbnailCache cache(&store);
    std::atomic<int> tries[6] = {};
    ThumbnailCache::Making making;
    making.scans = true;
    making.make = [&tries](const QString &fileName) {
        const int index = QFileInfo(fileName).baseName().toInt();
        ++tries[index];
        return index == 3 ? QImage() : filled(QSize(256, 256), Qt::red);
    };
    for (int round = 1; round <= 2; ++round) {
        store.clear();
        for (int i = 0; i < 6; ++i)
            store.append(QString("/scans/%1.vmr").arg(i), QImage(), false);
        QTRY_VERIFY(!cache.makeMissingThumbnails(0, making));
        for (int selected = 5; selected >= 0; --selected)
            QVERIFY(!cache.makeMissingThumbnails(selected, making));
        QCOMPARE(tries[3].load(), round);
        QCOMPARE(store.thumbnailLoaded(3), 0);
        QCOMPARE(tries[5].load(), round);
    }
}

void TestThumbnails::folderChangeDropsOldResults_data()
{
    QTest::addColumn<BrowsingMode>("mode");
    QTest::addColumn<QString>("slow");
    QTest::addColumn<QString>("fast");
    QTest::newRow("images") << BrowsingMode::Images << "slow"
                            << "fast";
    QTest::newRow("volumes") << BrowsingMode::CXData << "slow volumes"
                             << "fast volumes";
}

// The same names in both folders: a late thumbnail of the slow one would fit a
// cover of the fast one.
void TestThumbnails::folderChangeDropsOldResults()
{
    QFETCH(BrowsingMode, mode);
    QFETCH(QString, slow);
    QFETCH(QString, fast);
    viewer->setBrowsingMode(mode);
    open(slow);
    QTRY_VERIFY(covers()->thumbnailLoaded(0));
    open(fast);
    QTRY_VERIFY_WITH_TIMEOUT(allCoversDone(), 20000);
    QTest::qWait(300);
    const QSize meshSize = viewer->findChild<FolderThumbnails *>()->meshViewSize();
    for (int i = 0; i < covers()->count(); ++i) {
        const QString file = covers()->fileName(i);
        QString reason;
        const QImage expected = mode == BrowsingMode::Images
                                    ? fileThumbnail(file, false)
                                    : scanThumbnail(file, meshSize, true, reason);
        QCOMPARE(QImage::fromData(covers()->thumbnail(i)).convertToFormat(expected.format()),
                 expected);
    }
    // What was made of the folder left was stored; what was not made yet is left
    // out, not stored as a file that cannot be read, which would stay blank.
    const QList<ThumbnailEntry> stored = storedEntries(indexed(path(slow), mode));
    QVERIFY(!stored.isEmpty());
    for (const ThumbnailEntry &entry : stored)
        QVERIFY2(!entry.png.isEmpty(), qPrintable(entry.fileName));
}

// A thousand stored thumbnails: the store holds the pictures the strip shows,
// and no PNG stream.
void TestThumbnails::storedThumbnailsStayOnDisk()
{
    // Noise in a quarter of the picture: a stream of about 50 KB, as photographs make.
    QImage picture = filled(QSize(256, 256), Qt::darkGreen);
    QRandomGenerator noise(7);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 256; ++x)
            picture.setPixel(x, y, noise.generate() | 0xFF000000u);
    const QByteArray png = encodeThumbnail(picture);
    QDir().mkpath(path("many"));
    QList<ThumbnailEntry> entries;
    for (int i = 0; i < 1000; ++i) {
        const QString name = QString("p%1.png").arg(i, 4, 10, QChar('0'));
        writeFile(path("many/" + name), "");
        entries.append({name, png});
    }
    const QString name = "many_1_2020-01-01T00-00-00.cxi";
    QDir().mkpath(dataDir());
    writeFile(QDir(dataDir()).filePath(name), fileOf(entries));
    openPicsWithIndex(name, "many");
    QTRY_VERIFY(allCoversDone());
    // Far more covers than a strip 1000 pixels wide shows.
    const qint64 shown = 32 * 256 * 256 * 4;
    CoverFlowBrowser *strip = viewer->coverFlow();
    for (const int selected : {0, 500}) {
        strip->setCurrentCoverIndex(selected);
        strip->grabFramebuffer();
        QCOMPARE(colour(covers()->image(selected).pixel(128, 200)), 'g');
        QVERIFY2(covers()->bytesInMemory() < shown,
                 qPrintable(QString::number(covers()->bytesInMemory())));
    }
}

void TestThumbnails::writtenAsBefore_data()
{
    QTest::addColumn<bool>("stored");
    QTest::addColumn<bool>("spooled");
    QTest::newRow("made and spooled") << false << true;
    QTest::newRow("made, no spool") << false << false;
    QTest::newRow("stored, one made again") << true << true;
}

// Wherever the thumbnails are kept, in the folder's stored file, the spool or
// memory, the file written for them is the one the viewer always wrote.
void TestThumbnails::writtenAsBefore()
{
    QFETCH(bool, stored);
    QFETCH(bool, spooled);
    const QByteArray before = readAll(writtenBefore);
    const QList<ThumbnailEntry> entries = entriesOf(before);
    QCOMPARE(entries.size(), 4);
    QTemporaryDir data;
    const QString folder = path("fixture"), oldName = "fixture_3_2020-01-01T00-00-00.cxi";
    if (stored) {
        writeFile(data.filePath(oldName), before);
        writeIndex(data.path(), {}, {{folder, oldName}});
    }
    CoverStore store;
    FolderThumbnails thumbnails(&store, [] { return 0; });
    thumbnails.loadIndex(data.path());
    if (!spooled)
        store.setSpoolFolder(data.filePath("gone"));
    for (const ThumbnailEntry &entry : entries)
        store.append(folder + '/' + entry.fileName, QImage(), false);
    store.append(folder + "/none.png", QImage(), false);
    thumbnails.enter(folder, BrowsingMode::CXData);
    if (stored) {
        QVERIFY(store.thumbnailLoaded(3));
        // Found damaged, and made again.
        store.setThumbnail(2, "damaged");
        store.setThumbnail(2, entries[2].png);
    } else {
        for (int i = 0; i < entries.size(); ++i)
            store.setThumbnail(i, entries[i].png);
    }
    QCOMPARE(store.bytesInMemory() == 0, spooled);
    thumbnails.leave();
    const QString written = indexedIn(data.path(), folder);
    QVERIFY(isThumbnailFileName(written) && written != oldName);
    QCOMPARE(readAll(data.filePath(written)), before);
    QVERIFY(!QFileInfo::exists(data.filePath(oldName)));
    store.clear();
    QCOMPARE(entriesIn(data.path()), QStringList({"VisitedFolders.cxv", written}));
}

void TestThumbnails::storedFileChanged_data()
{
    QTest::addColumn<QString>("change");
    // Whether the strip shows the covers before the folder is left.
    QTest::addColumn<bool>("shown");
    for (const char *change :
         {"truncated", "removed", "replaced", "rewritten in place", "data folder removed"})
        QTest::newRow(change) << QString(change) << true;
    QTest::newRow("replaced, left unseen") << "replaced" << false;
}

// The stored file changed while its folder is shown: the new file has other
// pictures of the same size at the same places, so only the file itself tells.
// Every cover it held shows its placeholder, none another's picture, and the
// folder's new file holds what is left.
void TestThumbnails::storedFileChanged()
{
    QFETCH(QString, change);
    QFETCH(bool, shown);
    // Not compressed: streams of one length.
    const auto stream = [](Qt::GlobalColor colour) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        writer.setQuality(100);
        writer.write(filled(QSize(256, 256), colour));
        return buffer.data();
    };
    const QByteArray red = stream(Qt::red), green = stream(Qt::green);
    QCOMPARE(red.size(), green.size());
    const QByteArray bytes = fileOf({{"r.png", red}, {"g.png", green}, {"s.png", red}});
    const QByteArray other = fileOf({{"r.png", green}, {"g.png", red}, {"s.png", green}});
    QTemporaryDir data;
    const QString folder = path("changing"), name = "changing_3_2020-01-01T00-00-00.cxi";
    const QString file = data.filePath(name);
    writeFile(file, bytes);
    writeIndex(data.path(), {}, {{folder, name}});
    CoverStore store;
    FolderThumbnails thumbnails(&store, [] { return 0; });
    thumbnails.loadIndex(data.path());
    const QImage placeholder = filled(QSize(256, 256), Qt::blue);
    for (const char *cover : {"r.png", "g.png", "s.png", "n.png"})
        store.append(folder + '/' + cover, placeholder, false);
    thumbnails.enter(folder, BrowsingMode::CXData);
    QCOMPARE(colour(store.image(0).pixel(9, 9)), 'r');
    QSignalSpy dropped(&store, &CoverStore::thumbnailDropped);
    // A file written again has a later time.
    QTest::qWait(20);
    if (change == "truncated") {
        QVERIFY(QFile::resize(file, bytes.size() / 2));
    } else if (change == "removed") {
        QVERIFY(QFile::remove(file));
    } else if (change == "replaced") {
        writeFile(file + ".new", other);
        QCOMPARE(std::rename(QFile::encodeName(file + ".new"), QFile::encodeName(file)), 0);
    } else if (change == "rewritten in place") {
        QFile rewritten(file);
        QVERIFY(rewritten.open(QIODevice::ReadWrite) && rewritten.write(other) == other.size());
    } else {
        QVERIFY(QDir(data.path()).removeRecursively());
    }
    // One never shown, then one shown before.
    for (const int cover : {1, 0}) {
        if (!shown)
            break;
        QCOMPARE(store.image(cover), placeholder);
        QCOMPARE(store.thumbnailLoaded(cover), 0);
    }
    QCOMPARE(dropped.size(), shown ? 3 : 0);
    thumbnails.offerImage(3, filled(QSize(8, 8), Qt::darkGreen), true);
    QTRY_VERIFY(store.thumbnailLoaded(3));
    thumbnails.leave();
    if (QFileInfo::exists(data.path())) {
        const QList<ThumbnailEntry> entries =
            entriesOf(readAll(data.filePath(indexedIn(data.path(), folder))));
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].fileName, QString("n.png"));
    }
}

// Covers added after the folder's (a scanner's series, listed later) get their
// stored thumbnails from where they lie, and the others are made, though
// making had stopped.
void TestThumbnails::coversAddedLater()
{
    const QByteArray red = encodeThumbnail(filled(QSize(256, 256), Qt::red));
    const QByteArray green = encodeThumbnail(filled(QSize(256, 256), Qt::green));
    QTemporaryDir data;
    const QString folder = path("scans"), name = "scans_3_2020-01-01T00-00-00.cxi";
    writeFile(data.filePath(name), fileOf({{"a.vmr", red}, {"d.srf", green}}));
    writeIndex(data.path(), {}, {{folder, name}});
    CoverStore store;
    FolderThumbnails thumbnails(&store, [] { return 0; });
    thumbnails.loadIndex(data.path());
    store.append(folder + "/a.vmr", QImage(), false);
    thumbnails.enter(folder, BrowsingMode::CXData);
    QCOMPARE(colour(store.image(0).pixel(9, 9)), 'r');
    QTRY_VERIFY(!thumbnails.isMakingThumbnails());
    for (const char *added : {"d.srf", "b.vmr"})
        store.append(folder + '/' + added, QImage(), false);
    thumbnails.coversAdded(1);
    QCOMPARE(colour(store.image(1).pixel(9, 9)), 'g');
    QTRY_VERIFY(store.thumbnailLoaded(2));
}

// A viewer killed while a thumbnail was spooled leaves its folder's stored file
// as it was; the next viewer to start removes the spool, and nothing else: not
// another name, not a link to a file elsewhere, not a folder, not the spool of a
// viewer that runs.
void TestThumbnails::spoolOfKilledViewerRemoved()
{
    QTemporaryDir data;
    const QString name = "pics_3_2020-01-01T00-00-00.cxi";
    const QByteArray stored = readAll(writtenBefore);
    writeFile(data.filePath(name), stored);
    writeIndex(data.path(), {}, {{path("pics"), name}});
    for (const char *other : {"thumbnails-12.spool.old", "thumbnails-x.spool", "12.spool"})
        writeFile(data.filePath(other), "kept");
    writeFile(path("outside.spool"), "kept");
    QVERIFY(QFile::link(path("outside.spool"), data.filePath("thumbnails-13.spool")));
    QVERIFY(QDir(data.path()).mkdir("thumbnails-14.spool"));
    CoverStore running;
    running.setSpoolFolder(data.path());
    running.append("/f/a.png", QImage(), false);
    running.setThumbnail(0, encodeThumbnail(filled(QSize(256, 256), Qt::red)));
    const QStringList before = entriesIn(data.path());

    QProcess killed;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("CXV_SPOOLING_DATA", data.path());
    environment.insert("CXV_SPOOLING_FOLDER", path("pics"));
    killed.setProcessEnvironment(environment);
    killed.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(killed.waitForReadyRead(30000));
    killed.kill();
    QVERIFY(killed.waitForFinished());
    QCOMPARE(entriesIn(data.path()).size(), before.size() + 1);
    QCOMPARE(readAll(data.filePath(name)), stored);

    CoverStore store;
    FolderThumbnails next(&store, [] { return 0; });
    next.loadIndex(data.path());
    QCOMPARE(entriesIn(data.path()), before);
    QCOMPARE(readAll(path("outside.spool")), QByteArray("kept"));
    // A viewer's own spool goes when its covers do.
    running.clear();
    QCOMPARE(entriesIn(data.path()).size(), before.size() - 1);
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsSet("CXV_SPOOLING_DATA"))
        return spoolUntilKilled(argc, argv);
    QApplication app(argc, argv);
    TestThumbnails test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_thumbnails.moc"
