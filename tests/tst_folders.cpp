#include "CoverStore.h"
#include "FolderDataFiles.h"
#include "ViewerDataFile.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QByteArray readAll(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The viewer's own files: the favorites, the maps of the visited folders, and how
// they are written.
class TestFolders : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(tmp.isValid()); }
    void favorites_data();
    void favorites();
    void mapsCutShort();
    void visitedFoldersWritten();
    void damagedFilesKept_data();
    void damagedFilesKept();
    void saveOnFullDisk();
    void spoolOnFullDisk_data();
    void spoolOnFullDisk();

private:
    // A tmpfs of size mounted on dir; false when none can be.
    bool mountSmallDisk(const QTemporaryDir &dir, const char *size);
    QTemporaryDir tmp;
};

void TestFolders::favorites_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<bool>("complete");
    const QByteArray entryA = hex("04000000 2F00 6100 01000000");
    const QByteArray entryB = hex("04000000 2F00 6200 02000000");
    // "/d/Ü脳𝄞": the last character takes a surrogate pair.
    QTest::newRow("whole") << hex("01000000 02000000"
                                  "0E000000 2F00 6400 2F00 DC00 3381 34D8 1EDD 03000000") +
                                  entryA
                           << QStringList({QString::fromUtf8("/d/Ü脳𝄞"), "/a"}) << true;
    QTest::newRow("null string") << hex("01000000 01000000 FFFFFFFF 01000000")
                                 << QStringList({QString()}) << true;
    QTest::newRow("count beyond entries")
        << hex("01000000 14000000") + entryA + entryB << QStringList({"/a", "/b"}) << false;
    QTest::newRow("entry cut short")
        << hex("01000000 02000000") + entryA + entryB.left(7) << QStringList({"/a"}) << false;
    QTest::newRow("negative count") << hex("01000000 FFFFFFFF") + entryA << QStringList() << false;
    QTest::newRow("absurd count") << hex("01000000 FFFFFF7F") + entryA << QStringList({"/a"})
                                  << false;
    QTest::newRow("odd string length")
        << hex("01000000 01000000 03000000 2F00 61") << QStringList() << false;
    QTest::newRow("huge string length")
        << hex("01000000 01000000 FEFFFF7F 2F00 6100 01000000") << QStringList() << false;
    QTest::newRow("empty file") << QByteArray() << QStringList() << false;
}

// What is read up to a fault; a complete list is written back byte for byte.
void TestFolders::favorites()
{
    QFETCH(QByteArray, data);
    QFETCH(bool, complete);
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QStringList folders;
    QList<int> modes;
    QCOMPARE(readFavoriteFolders(buffer, folders, modes), complete);
    QTEST(folders, "folders");
    QCOMPARE(modes.size(), folders.size());
    if (complete) {
        QBuffer written;
        written.open(QIODevice::WriteOnly);
        writeFavoriteFolders(written, folders, modes);
        QCOMPARE(written.data(), data);
    }
}

// A map cut short anywhere is left empty, and so is every map after it.
void TestFolders::mapsCutShort()
{
    const QByteArray whole = hex("01000000 04000000 2F00 6100 02000000 6100"
                                 "02000000 04000000 2F00 6200 02000000 6200"
                                 "04000000 2F00 6300 02000000 6300");
    const int firstEnd = 18;
    for (int n = 0; n <= whole.size(); ++n) {
        QDataStream in(whole.left(n));
        in.setByteOrder(QDataStream::LittleEndian);
        QMap<QString, QString> first = {{"/old", "o"}}, second = first;
        QCOMPARE(readStringMap(in, first), n >= firstEnd);
        QCOMPARE(readStringMap(in, second), n == whole.size());
        QCOMPARE(first.size(), n >= firstEnd ? 1 : 0);
        QCOMPARE(second.size(), n == whole.size() ? 2 : 0);
    }
}

// Images, raw data, CX data; each map from its largest key to its smallest.
void TestFolders::visitedFoldersWritten()
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    writeVisitedFolders(buffer, {{"/a", "a"}, {"/b", "b"}}, {}, {{"/a", "c"}});
    QCOMPARE(buffer.data(), hex("02000000 04000000 2F00 6200 02000000 6200"
                                "04000000 2F00 6100 02000000 6100"
                                "00000000"
                                "01000000 04000000 2F00 6100 02000000 6300"));
}

void TestFolders::damagedFilesKept_data()
{
    QTest::addColumn<QString>("kind");
    for (const char *kind : {"whole", "damaged", "unreadable", "fifo"})
        QTest::newRow(kind) << kind;
}

// A file that cannot be read whole is left alone until the contents change; then
// it is kept aside (moved when it cannot be copied) and the new contents written.
void TestFolders::damagedFilesKept()
{
    QFETCH(QString, kind);
    if (kind == "unreadable" && geteuid() == 0)
        QSKIP("file permissions do not bind the super-user");
    const QString name = tmp.filePath(kind), damaged = name + ".damaged";
    const QByteArray old = kind == "whole" ? "whole" : "bad";
    QFile out(name);
    if (kind == "fifo")
        QVERIFY(mkfifo(QFile::encodeName(name).constData(), 0600) == 0);
    else
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(old) == old.size());
    out.close();
    if (kind == "unreadable")
        QVERIFY(QFile::setPermissions(name, QFileDevice::WriteOwner));

    QByteArray contents;
    ViewerDataFile file(
        [&](QIODevice &device) {
            contents = device.readAll();
            return contents == "whole";
        },
        [&](QIODevice &device) { device.write(contents); });
    QVERIFY(file.load(name));
    QCOMPARE(file.isDamaged(), kind != "whole");
    QVERIFY(file.save());
    QVERIFY(!QFileInfo::exists(damaged));
    QCOMPARE(QFileInfo(name).isFile(), kind != "fifo");
    QCOMPARE(QFileInfo(name).size(), kind == "fifo" ? 0 : qint64(old.size()));

    contents = "new";
    QVERIFY(file.save());
    QCOMPARE(readAll(name), QByteArray("new"));
    QCOMPARE(QFileInfo::exists(damaged), kind != "whole");
    if (kind == "damaged")
        QCOMPARE(readAll(damaged), old);
}

bool TestFolders::mountSmallDisk(const QTemporaryDir &dir, const char *size)
{
    return geteuid() == 0 && dir.isValid() &&
           QProcess::execute(
               "mount", {"-t", "tmpfs", "-o", QString("size=") + size, "tmpfs", dir.path()}) == 0;
}

static void fillDisk(const QString &fileName)
{
    QFile filler(fileName);
    QVERIFY(filler.open(QIODevice::WriteOnly));
    const QByteArray block(1024, 'f');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
}

// A save that runs out of space keeps the old file whole and says so.
void TestFolders::saveOnFullDisk()
{
    QTemporaryDir mountPoint;
    if (!mountSmallDisk(mountPoint, "64k"))
        QSKIP("no small file system could be mounted (it needs the super-user)");
    const auto unmount = qScopeGuard([&] { QProcess::execute("umount", {mountPoint.path()}); });

    const QString file = mountPoint.filePath("FavoriteFolders.cxf");
    const QByteArray good(12 * 1024, 'g');
    QVERIFY(saveFileAtomically(file, [&](QIODevice &d) { d.write(good); }));
    // Fill what is left, then try a save larger than the free space and one of a
    // few bytes with no space at all.
    fillDisk(mountPoint.filePath("filler"));
    for (qsizetype size : {qsizetype(40 * 1024), qsizetype(16)}) {
        QVERIFY(!saveFileAtomically(file, [&](QIODevice &d) { d.write(QByteArray(size, 'n')); }));
        QCOMPARE(readAll(file), good);
    }
    QCOMPARE(QDir(mountPoint.path()).entryList(QDir::Files).size(), 2);
}

void TestFolders::spoolOnFullDisk_data()
{
    QTest::addColumn<bool>("room");
    QTest::newRow("room for a few") << true;
    QTest::newRow("full from the start") << false;
}

// Thumbnails made once the disk is full stay in memory up to a bound, and past
// it are shown while decoded without being kept. What the spool holds stays
// readable; what did not fit is given back to the disk.
void TestFolders::spoolOnFullDisk()
{
    QFETCH(bool, room);
    QTemporaryDir mountPoint;
    if (!mountSmallDisk(mountPoint, "1m"))
        QSKIP("no small file system could be mounted (it needs the super-user)");
    const auto unmount = qScopeGuard([&] { QProcess::execute("umount", {mountPoint.path()}); });
    if (!room)
        fillDisk(mountPoint.filePath("filler"));
    // Noise: a stream of about 260 KB, four of which the disk can hold.
    QImage noise(CoverStore::thumbnailSide, CoverStore::thumbnailSide, QImage::Format_ARGB32);
    QRandomGenerator(3).fillRange(reinterpret_cast<quint32 *>(noise.bits()),
                                  noise.width() * noise.height());
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(noise.save(&buffer, "png"));
    const QByteArray png = buffer.data();
    const int inMemory = int(CoverStore::maxSpareBytes / png.size());
    const int count = inMemory + 8;

    CoverStore store;
    store.setSpoolFolder(mountPoint.path());
    for (int i = 0; i < count; ++i) {
        store.append(QString("/f/%1.png").arg(i), QImage(), false);
        store.setThumbnail(i, png);
    }
    QVERIFY(!store.isSpooling());
    const QFileInfoList spools =
        QDir(mountPoint.path()).entryInfoList({"thumbnails-*.spool"}, QDir::Files);
    const qint64 spooled = spools.isEmpty() ? 0 : spools.first().size();
    QCOMPARE(spooled > 0, room);
    QCOMPARE(spooled % png.size(), 0);
    const int kept = int(spooled / png.size()) + inMemory;
    for (int i = 0; i < count; ++i) {
        QCOMPARE(store.thumbnailLoaded(i), 1);
        QCOMPARE(store.thumbnail(i) == png, i < kept);
    }
    QCOMPARE(store.image(count - 1).size(), noise.size());
    QVERIFY(store.bytesInMemory() <=
            CoverStore::maxSpareBytes + (count - kept) * noise.sizeInBytes());
    store.clear();
    QVERIFY(QDir(mountPoint.path()).entryList({"thumbnails-*.spool"}).isEmpty());
}

QTEST_MAIN(TestFolders)
#include "tst_folders.moc"
