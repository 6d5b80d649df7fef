#include "FileHelpers.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>

namespace {

QByteArray u16(quint16 v, bool bigEndian)
{
    QByteArray b(2, 0);
    if (bigEndian)
        qToBigEndian(v, b.data());
    else
        qToLittleEndian(v, b.data());
    return b;
}

QByteArray u32(quint32 v, bool bigEndian)
{
    QByteArray b(4, 0);
    if (bigEndian)
        qToBigEndian(v, b.data());
    else
        qToLittleEndian(v, b.data());
    return b;
}

QByteArray segment(quint8 marker, const QByteArray &payload)
{
    return QByteArray("\xFF", 1) + char(marker) + u16(quint16(payload.size() + 2), true) + payload;
}

struct ExifOptions
{
    bool bigEndian = false;
    quint16 orientation = 6;
    bool orientationFirst = false;
    quint32 ifdOffset = 8;
    quint16 entryCount = 2;
    bool xmpFirst = false;
};

// The TIFF block of an EXIF APP1: header, then one directory with a Make entry
// and an Orientation entry.
QByteArray exifPayload(const ExifOptions &o)
{
    const bool be = o.bigEndian;
    QByteArray tiff = QByteArray(be ? "MM" : "II") + u16(42, be) + u32(o.ifdOffset, be);
    tiff += u16(o.entryCount, be);
    const QByteArray make = u16(0x010F, be) + u16(2, be) + u32(4, be) + QByteArray("Cx\0\0", 4);
    QByteArray orient =
        u16(0x0112, be) + u16(3, be) + u32(1, be) + u16(o.orientation, be) + QByteArray(2, 0);
    tiff += o.orientationFirst ? orient + make : make + orient;
    tiff += u32(0, be);
    return QByteArray("Exif\0\0", 6) + tiff;
}

QByteArray jpeg(const ExifOptions &o)
{
    QByteArray data("\xFF\xD8", 2);
    data += segment(0xE0, QByteArray("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14));
    if (o.xmpFirst)
        data += segment(0xE1, "http://ns.adobe.com/xap/1.0/\0<x:xmpmeta/>");
    data += segment(0xE1, exifPayload(o));
    data += segment(0xDB, QByteArray(65, 1));
    data += segment(0xDA, QByteArray(10, 0));
    data += QByteArray(50, 0x42);
    data += "\xFF\xD9";
    return data;
}

} // namespace

class TestFileHelpers : public QObject
{
    Q_OBJECT

private slots:
    void paths_data();
    void paths();
    void combine_data();
    void combine();
    void exifOrientation_data();
    void exifOrientation();
    void exifTruncated();
    void exifFromFifo();
    void exifMatchesExiftool();

private:
    QString write(const QByteArray &data);
    QTemporaryDir dir;
    int fileCounter = 0;
};

QString TestFileHelpers::write(const QByteArray &data)
{
    const QString name = dir.filePath(QString("f%1.jpg").arg(fileCounter++));
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(name));
    return name;
}

void TestFileHelpers::paths_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("withoutExtension");
    QTest::newRow("bare") << "a.png"
                          << ""
                          << "a.png"
                          << "png"
                          << "a";
    QTest::newRow("root") << "/a.png"
                          << "/"
                          << "a.png"
                          << "png"
                          << "/a";
    QTest::newRow("relative") << "dir/file.png"
                              << "dir/"
                              << "file.png"
                              << "png"
                              << "dir/file";
    QTest::newRow("deep") << "/a/b/file.png"
                          << "/a/b"
                          << "file.png"
                          << "png"
                          << "/a/b/file";
    QTest::newRow("trailing slash") << "/x/"
                                    << "/x"
                                    << ""
                                    << ""
                                    << "/x/";
    QTest::newRow("dot in folder") << "/x.y/noext"
                                   << "/x.y"
                                   << "noext"
                                   << ""
                                   << "/x";
    QTest::newRow("upper case") << "scan.VMR"
                                << ""
                                << "scan.VMR"
                                << "vmr"
                                << "scan";
    QTest::newRow("two dots") << "archive.tar.gz"
                              << ""
                              << "archive.tar.gz"
                              << "gz"
                              << "archive.tar";
    QTest::newRow("empty") << ""
                           << ""
                           << ""
                           << ""
                           << "";
}

void TestFileHelpers::paths()
{
    QFETCH(QString, name);
    QFETCH(QString, folder);
    QFETCH(QString, file);
    QFETCH(QString, extension);
    QFETCH(QString, withoutExtension);
    QCOMPARE(getPathFromFullFileName(name), folder);
    QCOMPARE(getFileNameFromFullFileName(name), file);
    QCOMPARE(getExtension(name), extension);
    QCOMPARE(removeExtension(name), withoutExtension);
}

void TestFileHelpers::combine_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("joined");
    QTest::newRow("empty path") << ""
                                << "a.png"
                                << "a.png";
    QTest::newRow("with slash") << "/x/"
                                << "a.png"
                                << "/x/a.png";
    QTest::newRow("without slash") << "/x"
                                   << "a.png"
                                   << "/x/a.png";
    QTest::newRow("name not inspected") << "/x"
                                        << "/a.png"
                                        << "/x//a.png";
}

void TestFileHelpers::combine()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QTEST(combinePathAndFileName(path, name), "joined");
    QString windows = "C:\\data\\scans\\a.vmr";
    convertWinDirSlashes2UnixSlashes(windows);
    QCOMPARE(windows, QString("C:/data/scans/a.vmr"));
}

void TestFileHelpers::exifOrientation_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("orientation");

    ExifOptions o;
    QTest::newRow("II 6") << jpeg(o) << 6;
    o.bigEndian = true;
    QTest::newRow("MM 6") << jpeg(o) << 6;
    o.orientation = 8;
    QTest::newRow("MM 8") << jpeg(o) << 8;
    o.bigEndian = false;
    o.orientation = 3;
    o.orientationFirst = true;
    QTest::newRow("II 3, first entry") << jpeg(o) << 3;
    o = ExifOptions();
    o.orientation = 9;
    QTest::newRow("out of range value passed on") << jpeg(o) << 9;

    o = ExifOptions();
    o.xmpFirst = true;
    QTest::newRow("XMP before EXIF") << jpeg(o) << 1;
    o = ExifOptions();
    o.entryCount = 0;
    QTest::newRow("zero entries") << jpeg(o) << 1;
    o.entryCount = 1;
    QTest::newRow("tag beyond count") << jpeg(o) << 1;
    o = ExifOptions();
    o.entryCount = 0xFFFF;
    QTest::newRow("count beyond file") << jpeg(o) << 6;
    o = ExifOptions();
    o.ifdOffset = 0xFFFFFFF0u;
    QTest::newRow("huge directory offset") << jpeg(o) << 1;
    o.bigEndian = true;
    QTest::newRow("huge directory offset MM") << jpeg(o) << 1;

    QByteArray badOrder = jpeg(ExifOptions());
    badOrder.replace("II*", "IM*");
    QTest::newRow("bad byte order") << badOrder << 1;
    QByteArray badMagic = jpeg(ExifOptions());
    badMagic.replace(QByteArray("II*\0", 4), QByteArray("II+\0", 4));
    QTest::newRow("bad magic") << badMagic << 1;

    QByteArray noApp1("\xFF\xD8", 2);
    noApp1 += segment(0xE0, "JFIF") + segment(0xDA, QByteArray(4, 0)) + QByteArray(100, 7);
    QTest::newRow("no APP1, scan stops in image data") << noApp1 << 1;
    QTest::newRow("end of image") << QByteArray("\xFF\xD8\xFF\xD9", 4) << 1;
    QByteArray zeroLength("\xFF\xD8\xFF\xE0\x00\x00", 6);
    QTest::newRow("segment length 0 does not loop") << zeroLength + QByteArray(20, 0) << 1;
    QByteArray oneLength("\xFF\xD8\xFF\xE0\x00\x01", 6);
    QTest::newRow("segment length 1 does not loop") << oneLength + QByteArray(20, 0) << 1;
    QByteArray hugeSkip("\xFF\xD8\xFF\xE0\xFF\xFF", 6);
    QTest::newRow("segment past end") << hugeSkip << 1;
    QTest::newRow("PNG") << QByteArray("\x89PNG\r\n\x1a\n", 8) << 1;
    QTest::newRow("empty") << QByteArray() << 1;
    QTest::newRow("one byte") << QByteArray("\xFF", 1) << 1;
}

void TestFileHelpers::exifOrientation()
{
    QFETCH(QByteArray, data);
    QTEST(getOrientationFromExif(write(data)), "orientation");
}

void TestFileHelpers::exifTruncated()
{
    QCOMPARE(getOrientationFromExif(dir.filePath("missing.jpg")), 1);
    for (bool bigEndian : {false, true}) {
        ExifOptions o;
        o.bigEndian = bigEndian;
        const QByteArray full = jpeg(o);
        const QByteArray valueBytes = u16(0x0112, bigEndian) + u16(3, bigEndian);
        const int valueEnd = full.indexOf(valueBytes) + 12; // the whole entry is read
        for (int n = 0; n < full.size(); ++n) {
            const int result = getOrientationFromExif(write(full.left(n)));
            QCOMPARE(result, n < valueEnd ? 1 : 6);
        }
    }
}

void TestFileHelpers::exifFromFifo()
{
    const QByteArray fifo = QFile::encodeName(dir.filePath("x.jpg"));
    QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
    auto result = std::async(std::launch::async, [&] { return getOrientationFromExif(fifo); });
    const bool returned = result.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    if (!returned) // a writer lets a reader stuck in open() go, so that the test ends
        ::close(::open(fifo.constData(), O_WRONLY | O_NONBLOCK));
    QVERIFY2(returned, "the FIFO was opened and blocked");
    QCOMPARE(result.get(), 1);
}

void TestFileHelpers::exifMatchesExiftool()
{
    const QString exiftool = QStandardPaths::findExecutable("exiftool");
    if (exiftool.isEmpty())
        QSKIP("exiftool is not installed");
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    for (const char *order : {"II", "MM"}) {
        for (int orientation : {1, 3, 6, 8}) {
            const QString name =
                dir.filePath(QString("tool_%1_%2.jpg").arg(order).arg(orientation));
            QVERIFY(image.save(name, "JPEG"));
            QProcess tool;
            tool.start(exiftool,
                       {"-q", "-overwrite_original", "-n",
                        QString("-ExifByteOrder=%1").arg(order == QByteArray("II") ? 1 : 2),
                        QString("-Orientation=%1").arg(orientation), name});
            QVERIFY(tool.waitForFinished(30000));
            QCOMPARE(tool.exitCode(), 0);
            tool.start(exiftool, {"-n", "-s3", "-Orientation", name});
            QVERIFY(tool.waitForFinished(30000));
            const int expected = tool.readAllStandardOutput().trimmed().toInt();
            QCOMPARE(expected, orientation);
            QCOMPARE(getOrientationFromExif(name), expected);
        }
    }
}

QTEST_MAIN(TestFileHelpers)
#include "tst_filehelpers.moc"
