#include "FileHelpers.h"
#include "LocalFiles.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

namespace {

template <typename T> QByteArray word(T v, bool bigEndian)
{
    QByteArray b(sizeof(T), 0);
    if (bigEndian)
        qToBigEndian(v, b.data());
    else
        qToLittleEndian(v, b.data());
    return b;
}
const auto u16 = word<quint16>;
const auto u32 = word<quint32>;

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
    void paths();
    void combine();
    void exifOrientation_data();
    void exifOrientation();
    void exifTruncated();
    void exifMatchesExiftool();
    void namesShownSafely_data();
    void namesShownSafely();

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

// Folder, file, extension and the name without it.
void TestFileHelpers::paths()
{
    const QStringList cases[] = {{"a.png", "", "a.png", "png", "a"},
                                 {"/a.png", "/", "a.png", "png", "/a"},
                                 {"dir/file.png", "dir/", "file.png", "png", "dir/file"},
                                 {"/a/b/file.png", "/a/b", "file.png", "png", "/a/b/file"},
                                 {"/x/", "/x", "", "", "/x/"},
                                 {"/x.y/noext", "/x.y", "noext", "", "/x"},
                                 {"scan.VMR", "", "scan.VMR", "vmr", "scan"},
                                 {"archive.tar.gz", "", "archive.tar.gz", "gz", "archive.tar"},
                                 {"", "", "", "", ""}};
    for (const QStringList &c : cases) {
        const QString &name = c[0];
        QCOMPARE(
            QStringList({name, getPathFromFullFileName(name), getFileNameFromFullFileName(name),
                         getExtension(name), removeExtension(name)}),
            c);
    }
}

// The name is not inspected; Windows slashes are turned.
void TestFileHelpers::combine()
{
    QCOMPARE(combinePathAndFileName("", "a.png"), "a.png");
    QCOMPARE(combinePathAndFileName("/x/", "a.png"), "/x/a.png");
    QCOMPARE(combinePathAndFileName("/x", "a.png"), "/x/a.png");
    QCOMPARE(combinePathAndFileName("/x", "/a.png"), "/x//a.png");
    QString windows = "C:\\data\\scans\\a.vmr";
    convertWinDirSlashes2UnixSlashes(windows);
    QCOMPARE(windows, QString("C:/data/scans/a.vmr"));
}

void TestFileHelpers::exifOrientation_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("orientation");
    auto row = [](const char *name, const QByteArray &data, int orientation) {
        QTest::newRow(name) << data << orientation;
    };
    // Options: big-endian, orientation, orientation first, directory offset, entries, XMP first.
    row("II 6", jpeg({}), 6);
    row("MM 6", jpeg({true}), 6);
    row("MM 8", jpeg({true, 8}), 8);
    row("II 3, first entry", jpeg({false, 3, true}), 3);
    row("out of range value passed on", jpeg({false, 9}), 9);
    row("XMP before EXIF", jpeg({false, 6, false, 8, 2, true}), 1);
    row("zero entries", jpeg({false, 6, false, 8, 0}), 1);
    row("tag beyond count", jpeg({false, 6, false, 8, 1}), 1);
    row("count beyond file", jpeg({false, 6, false, 8, 0xFFFF}), 6);
    row("huge directory offset", jpeg({false, 6, false, 0xFFFFFFF0u}), 1);
    row("huge directory offset MM", jpeg({true, 6, false, 0xFFFFFFF0u}), 1);
    row("bad byte order", jpeg({}).replace("II*", "IM*"), 1);
    row("bad magic", jpeg({}).replace(QByteArray("II*\0", 4), QByteArray("II+\0", 4)), 1);

    const QByteArray start("\xFF\xD8", 2);
    row("no APP1, scan stops in image data",
        start + segment(0xE0, "JFIF") + segment(0xDA, QByteArray(4, 0)) + QByteArray(100, 7), 1);
    row("end of image", start + "\xFF\xD9", 1);
    row("segment length 0 does not loop", start + QByteArray("\xFF\xE0\0\0", 4) + QByteArray(20, 0),
        1);
    row("segment length 1 does not loop",
        start + QByteArray("\xFF\xE0\0\x01", 4) + QByteArray(20, 0), 1);
    row("segment past end", start + "\xFF\xE0\xFF\xFF", 1);
    row("PNG", QByteArray("\x89PNG\r\n\x1a\n", 8), 1);
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

void TestFileHelpers::exifMatchesExiftool()
{
    const QString exiftool = QStandardPaths::findExecutable("exiftool");
    if (exiftool.isEmpty())
        QSKIP("exiftool is not installed");
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    // One run of the tool writes every byte order and orientation, then reads them back.
    QStringList arguments, names, expected;
    for (const char *order : {"II", "MM"}) {
        for (int orientation : {1, 3, 6, 8}) {
            names << dir.filePath(QString("tool_%1_%2.jpg").arg(order).arg(orientation));
            QVERIFY(image.save(names.last(), "JPEG"));
            arguments << "-q"
                      << "-overwrite_original"
                      << "-n" << QString("-ExifByteOrder=") + order
                      << QString("-Orientation=%1").arg(orientation) << names.last() << "-execute";
            expected << QString("%1\t%2").arg(order).arg(orientation);
        }
    }
    QProcess tool;
    tool.start(exiftool,
               arguments + QStringList{"-n", "-T", "-ExifByteOrder", "-Orientation"} + names);
    QVERIFY(tool.waitForFinished(60000));
    QCOMPARE(tool.exitCode(), 0);
    QCOMPARE(QString(tool.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts), expected);
    for (int i = 0; i < names.size(); ++i)
        QCOMPARE(getOrientationFromExif(names[i]), expected[i].section('\t', 1).toInt());
}

void TestFileHelpers::namesShownSafely_data()
{
    QTest::addColumn<QByteArray>("name"); // as the system holds it
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << QByteArray("Hirn ü 1.vmr") << QString("Hirn ü 1.vmr");
    QTest::newRow("newline, tab, return") << QByteArray("a\nb\tc\r") << "a\\nb\\tc\\r";
    QTest::newRow("escape sequence")
        << QByteArray("\x1b[2J\x1b]0;x\x07") << "\\x1b[2J\\x1b]0;x\\x07";
    QTest::newRow("DEL and C1") << QByteArray("\x7f\xc2\x9b\xc2\x85") << "\\x7f\\x9b\\x85";
    QTest::newRow("line separator and override")
        << QByteArray("a\xe2\x80\xa8\xe2\x80\xae.vmr") << "a\\u2028\\u202e.vmr";
    QTest::newRow("not UTF-8") << QByteArray("a\xff\xfe\xc3.vmr") << "a\\xff\\xfe\\xc3.vmr";
    QTest::newRow("overlong and surrogate")
        << QByteArray("\xc0\xaf\xed\xa0\x80") << "\\xc0\\xaf\\xed\\xa0\\x80";
}

// One line, nothing a terminal takes as a command, and every byte accounted for.
void TestFileHelpers::namesShownSafely()
{
    QFETCH(QByteArray, name);
    QFETCH(QString, shown);
    QCOMPARE(LocalFiles::printable(LocalFiles::decodedName(name)), shown);
    QCOMPARE(LocalFiles::displayName("/some/folder/" + LocalFiles::decodedName(name)), shown);
}

QTEST_MAIN(TestFileHelpers)
#include "tst_filehelpers.moc"
