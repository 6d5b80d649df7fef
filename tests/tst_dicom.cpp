#include "AffineTransform.h"
#include "CXSCore.h"
#include "DICOMDoc.h"
#include "DicomFixture.h"
#include "DicomHeader.h"
#include "DicomPixels.h"
#include "DicomSeries.h"
#include "FixtureStream.h"
#include "NiftiImage.h"

#include <QBuffer>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <climits>
#include <cmath>
#include <cstring>
#include <tuple>
#include <vector>

namespace {

using Syntax = DicomFixture::Syntax;
const char *const syntaxNames[] = {"explicit little", "implicit little", "explicit big"};

// The kept texts with the longest value each takes.
struct TextField
{
    quint32 tag;
    int limit;
    QByteArray (*value)(const DICOMDoc &);
};
const TextField textFields[] = {
    {0x00080008, 100, [](const DICOMDoc &d) { return QByteArray(d.imageType); }},
    {0x00080060, 10, [](const DICOMDoc &d) { return QByteArray(d.modality); }},
    {0x00080070, 50, [](const DICOMDoc &d) { return QByteArray(d.manufacturer); }},
    {0x00080080, 50, [](const DICOMDoc &d) { return QByteArray(d.institutionName); }},
    {0x00081030, 50, [](const DICOMDoc &d) { return QByteArray(d.studyDescription); }},
    {0x0008103E, 50, [](const DICOMDoc &d) { return QByteArray(d.seriesDescription); }},
    {0x00081090, 50, [](const DICOMDoc &d) { return QByteArray(d.manufacturerModelName); }},
    {0x00100010, 50, [](const DICOMDoc &d) { return QByteArray(d.patientName); }},
    {0x00180080, 10, [](const DICOMDoc &d) { return QByteArray(d.repetitionTime); }},
    {0x00180087, 10, [](const DICOMDoc &d) { return QByteArray(d.magneticFieldStrength); }},
    {0x00185100, 10, [](const DICOMDoc &d) { return QByteArray(d.patientPosition); }},
    {0x00200032, 150, [](const DICOMDoc &d) { return QByteArray(d.imagePositionPatient); }},
    {0x00200037, 150, [](const DICOMDoc &d) { return QByteArray(d.imageOrientationPatient); }},
    {0x00200105, 10, [](const DICOMDoc &d) { return QByteArray(d.nrOfTemporalPositions); }}};

struct NumberField
{
    quint32 tag;
    double (*value)(const DICOMDoc &);
};
const NumberField numberFields[] = {
    {0x00180050, [](const DICOMDoc &d) -> double { return d.sliceThickness; }},
    {0x00180088, [](const DICOMDoc &d) -> double { return d.spacingBetweenSlices; }},
    {0x00200011, [](const DICOMDoc &d) -> double { return d.seriesNumber; }},
    {0x00200012, [](const DICOMDoc &d) -> double { return d.acquisitionNumber; }},
    {0x00200013, [](const DICOMDoc &d) -> double { return d.instanceNumber; }}};

const QList<qint16> samplePixels = {100, 200, -5, 0x0102, 300, 50};
const QList<qint16> sampleRead = {100, 200, 0, 258, 300, 50};

// A file with every kept attribute, one attribute that is not kept and one
// private element between the image group and the pixels.
DicomFixture fullImage(Syntax syntax)
{
    DicomFixture f(syntax);
    f.text(0x0008, 0x0008, "CS", "ORIGINAL\\PRIMARY\\M\\ND")
        .text(0x0008, 0x0016, "UI", "1.2.840.10008.5.1.4.1.1.4")
        .text(0x0008, 0x0060, "CS", "MR")
        .text(0x0008, 0x0070, "LO", "Cortivex")
        .text(0x0008, 0x0080, "LO", "Brain Lab")
        .text(0x0008, 0x1030, "LO", "Head")
        .text(0x0008, 0x103E, "LO", "T1 MPRAGE")
        .text(0x0008, 0x1090, "LO", "Model 3T")
        .text(0x0010, 0x0010, "PN", "Doe^Jane")
        .text(0x0018, 0x0050, "DS", "1.5")
        .text(0x0018, 0x0080, "DS", "2300")
        .text(0x0018, 0x0087, "DS", "3")
        .text(0x0018, 0x0088, "DS", "2.25")
        .text(0x0018, 0x1030, "LO", "t1_mprage")
        .text(0x0018, 0x5100, "CS", "HFS")
        .text(0x0020, 0x0011, "IS", "7")
        .text(0x0020, 0x0012, "IS", "1")
        .text(0x0020, 0x0013, "IS", "42")
        .text(0x0020, 0x0032, "DS", "-120.5\\-98.25\\40")
        .text(0x0020, 0x0037, "DS", "1\\0\\0\\0\\1\\0")
        .text(0x0020, 0x0105, "IS", "1")
        .unsignedShort(0x0028, 0x0010, 2)
        .unsignedShort(0x0028, 0x0011, 3)
        .text(0x0028, 0x0030, "DS", "0.9375\\0.5")
        .unsignedShort(0x0028, 0x0100, 16)
        .text(0x2001, 0x0010, "LO", "Private")
        .pixels(samplePixels);
    return f;
}

// Completes a fixture with a 2 x 3 image and returns it as a file with preamble.
QByteArray withImage(DicomFixture f, const QList<qint16> &pixels = samplePixels)
{
    return f.unsignedShort(0x0028, 0x0010, 2)
        .unsignedShort(0x0028, 0x0011, 3)
        .unsignedShort(0x0028, 0x0100, 16)
        .pixels(pixels)
        .file();
}

// One element, then (the pixel data tag is only found at an even offset)
// after a value of odd length another one of odd length to restore the step.
DicomFixture withElement(quint32 tag, const QByteArray &vr, const QByteArray &value)
{
    DicomFixture f;
    f.element(tag >> 16, tag & 0xFFFF, vr, value);
    if (value.size() % 2)
        f.element(0x0019, 0x1000, "LO", "x");
    return f;
}

QList<qint16> pixelsOf(const DICOMDoc &doc)
{
    if (!doc.pixelData)
        return {};
    return QList<qint16>(doc.pixelData.get(), doc.pixelData.get() + doc.nrOfRows * doc.nrOfColumns);
}

// The numbers read from the element of a tag: both spacings for Pixel
// Spacing; thickness and spacing with the slice distance that follows them.
QList<double> numbersOf(const DICOMDoc &doc, quint32 tag)
{
    if (tag == 0x00280030)
        return {doc.rowSpacing, doc.columnSpacing};
    for (const NumberField &field : numberFields) {
        if (field.tag == tag && (tag >> 16) == 0x0018)
            return {field.value(doc), doc.sliceDistance};
        if (field.tag == tag)
            return {field.value(doc)};
    }
    return {};
}

// The pixel data tag must be found within the first 200 KB: it is taken
// from a value before a long element, and the real one lies beyond.
QByteArray afterDecoy(int length)
{
    DicomFixture f;
    f.element(0x0019, 0x1010, "OB",
              QByteArray("\xE0\x7F\x10\x00OW\0\0\x0C\0\0\0", 12) + QByteArray(12, '\x01'));
    return withImage(f.element(0x0019, 0x1011, "OB", QByteArray(length, 'x')));
}

// Counts the bytes read from the file.
class CountingFile : public QFile
{
public:
    using QFile::QFile;
    qint64 bytesRead() const { return count; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 got = QFile::readData(data, maxSize);
        count += qMax<qint64>(got, 0);
        return got;
    }

private:
    qint64 count = 0;
};

QString unreadable(const char *why)
{
    return QString("not a readable DICOM image (%1)").arg(why);
}

bool read(DICOMDoc &doc, const QByteArray &data)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    return doc.readDICOM(buffer);
}

} // namespace

class TestDicom : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fixtureLayout();
    void transferSyntaxes_data();
    void transferSyntaxes();
    void texts();
    void numbers_data();
    void numbers();
    void cleanString();
    void statistics();
    void walk_data();
    void walk();
    void files();
    void matchesDcmtk_data();
    void matchesDcmtk();
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
    bool dumpToFile(const QByteArray &dump, const QString &name);

    CXSCore core;
    QTemporaryDir dir;
    std::vector<DicomSeries> series; // of the series folder
    QStringList skipped;
};

// The fixture writer against bytes written out from the encoding tables.
void TestDicom::fixtureLayout()
{
    DicomFixture implicit(DicomFixture::ImplicitLittleEndian);
    implicit.text(0x0010, 0x0010, "PN", "Doe").sequence(0x0008, 0x1140, {"\x01\x02"});
    QCOMPARE(implicit.dataSet(), QByteArray("\x10\x00\x10\x00\x04\x00\x00\x00"
                                            "Doe "
                                            "\x08\x00\x40\x11\xFF\xFF\xFF\xFF"
                                            "\xFE\xFF\x00\xE0\xFF\xFF\xFF\xFF\x01\x02"
                                            "\xFE\xFF\x0D\xE0\x00\x00\x00\x00"
                                            "\xFE\xFF\xDD\xE0\x00\x00\x00\x00",
                                            46));

    DicomFixture big(DicomFixture::ExplicitBigEndian);
    big.unsignedShort(0x0028, 0x0011, 0x0203).element(0x0019, 0x1010, "UT", "ab");
    QCOMPARE(big.dataSet(), QByteArray("\x00\x28\x00\x11"
                                       "US\x00\x02\x02\x03"
                                       "\x00\x19\x10\x10"
                                       "UT\x00\x00\x00\x00\x00\x02"
                                       "ab",
                                       24));

    const QByteArray file = big.file();
    QCOMPARE(file.left(140),
             QByteArray(128, '\0') + QByteArray("DICM\x02\x00\x00\x00UL\x04\x00", 12));
    const quint32 metaLength = qFromLittleEndian<quint32>(file.constData() + 140);
    QCOMPARE(file.mid(144 + metaLength), big.dataSet());
    QVERIFY(file.mid(144, metaLength).contains(QByteArray("1.2.840.10008.1.2.2\0", 20)));
}

void TestDicom::transferSyntaxes_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("byteOrder");
    QTest::addColumn<int>("metaByteOrder");
    QTest::addColumn<bool>("explicitVR");
    for (int syntax = 0; syntax < 3; ++syntax) {
        const DicomFixture f = fullImage(Syntax(syntax));
        const int order = syntax == Syntax::ExplicitBigEndian ? 2 : 1;
        const bool explicitVR = syntax != Syntax::ImplicitLittleEndian;
        QTest::addRow("%s", syntaxNames[syntax]) << f.file() << order << 1 << explicitVR;
        QTest::addRow("%s, bare", syntaxNames[syntax])
            << f.dataSet() << order << order << explicitVR;
    }
    const QByteArray implicit = fullImage(Syntax::ImplicitLittleEndian).dataSet();
    const QByteArray big = fullImage(Syntax::ExplicitBigEndian).dataSet();

    // The meta group may itself be big-endian or implicit.
    const QByteArray preamble = QByteArray(128, '\0') + "DICM";
    FixtureStream bigMeta(true);
    bigMeta.u16(0x0002).u16(0x0010).bytes("UI").u16(20).bytes({"1.2.840.10008.1.2.2\0", 20});
    QTest::newRow("big-endian meta group") << preamble + bigMeta.data + big << 2 << 2 << true;
    FixtureStream implicitMeta;
    implicitMeta.u16(0x0002).u16(0x0010).u32(18).bytes({"1.2.840.10008.1.2\0", 18});
    QTest::newRow("implicit meta group")
        << preamble + implicitMeta.data + implicit << 1 << 1 << false;
}

void TestDicom::transferSyntaxes()
{
    QFETCH(QByteArray, data);
    DICOMDoc doc;
    QVERIFY(read(doc, data));
    QTEST(doc.byteOrder, "byteOrder");
    QTEST(doc.metaByteOrder, "metaByteOrder");
    QTEST(doc.explicitVR, "explicitVR");

    // The raw value bytes, padding kept.
    QByteArrayList texts;
    for (const TextField &field : textFields)
        texts << field.value(doc);
    QCOMPARE(texts.join('|'), "ORIGINAL\\PRIMARY\\M\\ND |MR|Cortivex|Brain Lab |Head|T1 MPRAGE |"
                              "Model 3T|Doe^Jane|2300|3 |HFS |-120.5\\-98.25\\40|"
                              "1\\0\\0\\0\\1\\0 |1 ");
    // Then slice distance, spacings, bits and rows.
    QList<double> numbers;
    for (const NumberField &field : numberFields)
        numbers << field.value(doc);
    numbers << doc.sliceDistance << doc.rowSpacing << doc.columnSpacing << doc.bitsAllocated
            << doc.nrOfRows;
    QCOMPARE(numbers, QList<double>({1.5, 2.25, 7, 1, 42, 2.25, 0.9375, 0.5, 16, 2}));

    // -5 is set to 0 (the statistics: statistics()).
    QCOMPARE(pixelsOf(doc), sampleRead);

    // Every part of the file is needed.
    for (int n = 0; n < data.size(); ++n) {
        DICOMDoc cut;
        QVERIFY2(!read(cut, data.left(n)), qPrintable(QString::number(n)));
    }
}

// Each text field takes values up to its limit; a longer one is skipped, the
// field reads "<skipped>" and the walk goes on after it. Bytes are kept raw.
void TestDicom::texts()
{
    for (const TextField &field : textFields) {
        for (int length :
             {0, 1, field.limit - 1, field.limit, field.limit + 1, field.limit + 2, 120}) {
            const QByteArray value = QByteArray("ABCDEFGHIJ").repeated(16).left(length);
            DicomFixture f = withElement(field.tag, "LO", value);
            f.text(0x0020, 0x0013, "IS", "5");
            DICOMDoc doc;
            QVERIFY(read(doc, withImage(f)));
            QCOMPARE(field.value(doc), length <= field.limit ? value : QByteArray("<skipped>"));
            QCOMPARE(doc.instanceNumber, 5);
        }
    }

    DicomFixture f;
    f.element(0x0008, 0x0060, "CS", QByteArray("A\0B ", 4))
        .element(0x0010, 0x0010, "PN", QByteArray("Doe  \0", 6));
    DICOMDoc doc;
    QVERIFY(read(doc, withImage(f)));
    QCOMPARE(QByteArray(doc.modality, 5), QByteArray("A\0B \0", 5));
    QCOMPARE(QByteArray(doc.patientName, 7), QByteArray("Doe  \0\0", 7));
}

void TestDicom::numbers_data()
{
    QTest::addColumn<quint32>("tag");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QList<double>>("numbers");
    auto row = [](const char *name, quint32 tag, const QByteArray &value,
                  const QList<double> &numbers) { QTest::newRow(name) << tag << value << numbers; };
    const quint32 thickness = 0x00180050, spacing = 0x00180088, series = 0x00200011,
                  acquisition = 0x00200012, instance = 0x00200013, pixelSpacing = 0x00280030;
    row("spaces and unit", spacing, " 2.5mm ", {2.5, 2.5});
    row("plus sign", thickness, "+0.75", {0.75, 0});
    row("exponent", thickness, "5e-1", {0.5, 0});
    row("negative spacing", spacing, "-3", {-3, -1});
    row("negative thickness", thickness, "-1", {-1, -1});
    row("beyond float", thickness, "1e400", {0, 0});
    row("between float and double", thickness, "1e39", {0, 0});
    row("not a number", spacing, "nan", {0, 0});
    row("hexadecimal", spacing, "0x10", {0, 0});
    row("zero byte", thickness, QByteArray("1\0005", 3), {1, 0});
    row("23 bytes", thickness, QByteArray(20, '0') + "1.5", {1.5, 0});
    row("24 bytes skipped", thickness, QByteArray(21, '0') + "1.5", {0, 0});
    row("integer, spaces", acquisition, " -3 ", {-3});
    row("integer, fraction", instance, "4.9", {4});
    row("integer garbage", instance, "x1", {0});
    row("integer overflow", series, "99999999999", {INT_MAX});
    row("integer underflow", series, "-99999999999", {INT_MIN});
    row("127 bytes", instance, QByteArray(126, '0') + "9", {9});
    row("128 bytes skipped", instance, QByteArray(127, '0') + "9", {-1});

    // Pixel spacing is "row\column"; one value alone stands for both.
    row("one spacing", pixelSpacing, "0.7 ", {0.7f, 0.7f});
    row("spacings, spaces", pixelSpacing, " 0.5 \\ 0.25 ", {0.5, 0.25});
    row("spacings, line end", pixelSpacing, "0.5\\0.25\r\n", {0.5, 0.25});
    row("second spacing empty", pixelSpacing, "0.5\\", {0.5, 0});
    row("third spacing", pixelSpacing, "1\\2\\3", {1, 2});
    row("spacings, 127 bytes", pixelSpacing, QByteArray(121, ' ') + "1\\2   ", {1, 2});
    row("spacings, 128 bytes skipped", pixelSpacing, QByteArray(122, ' ') + "1\\2   ", {0, 0});
}

void TestDicom::numbers()
{
    QFETCH(quint32, tag);
    QFETCH(QByteArray, value);
    DicomFixture f = withElement(tag, "DS", value);
    f.text(0x0020, 0x0105, "IS", "3");
    DICOMDoc doc;
    QVERIFY(read(doc, withImage(f)));
    QTEST(numbersOf(doc, tag), "numbers");
    QCOMPARE(QByteArray(doc.nrOfTemporalPositions), "3 ");
}

// Leading spaces go, trailing line ends too, and trailing spaces when asked:
// each text, then cleaned with and without its trailing spaces.
void TestDicom::cleanString()
{
    const char *const cases[][3] = {
        {"", "", ""},           {" \r\n \n", "", "\r\n "},     {"  a b  ", "a b", "a b  "},
        {" a\r\n\n", "a", "a"}, {"a \r \n ", "a", "a \r \n "}, {"a \n", "a", "a "},
        {"\na", "\na", "\na"},  {"\ta\t", "\ta\t", "\ta\t"}};
    for (const auto &c : cases)
        QCOMPARE(
            QStringList({DICOMDoc::cleanString(c[0], true), DICOMDoc::cleanString(c[0], false)}),
            QStringList({c[1], c[2]}));
}

// Only values above 99 count, with the count starting at 1; negative values
// become 0. Against plain sums in double: small images, and a large one past
// the blocks of the vectorised sums and with a tail, in both byte orders (the
// big-endian pixels are swapped in the same pass).
void TestDicom::statistics()
{
    QList<qint16> noise(65533);
    quint32 seed = 12345;
    for (qint16 &p : noise)
        p = qint16((seed = seed * 1664525u + 1013904223u) >> 16);
    noise[0] = 32767;
    noise[1] = -32768;
    for (const QList<qint16> &pixels : {QList<qint16>({99, 100, -1, 0, 99, 1}),
                                        QList<qint16>({-32768, 32767, 0, 0, 0, 0}), noise}) {
        double sum = 0, sumOfSquares = 0, count = 1;
        QList<qint16> clamped;
        for (qint16 p : pixels) {
            if (p > 99) {
                sum += p;
                sumOfSquares += double(p) * p;
                ++count;
            }
            clamped << qMax<qint16>(0, p);
        }
        const double mean = sum / count;
        for (const auto syntax : {Syntax::ExplicitLittleEndian, Syntax::ExplicitBigEndian}) {
            DicomFixture f(syntax);
            f.unsignedShort(0x0028, 0x0010, 1)
                .unsignedShort(0x0028, 0x0011, quint16(pixels.size()));
            DICOMDoc doc;
            QVERIFY(read(doc, f.pixels(pixels).file()));
            QCOMPARE(doc.meanIntensity, float(mean));
            QCOMPARE(doc.stdDevIntensity, float(std::sqrt(sumOfSquares / count - mean * mean)));
            QCOMPARE(pixelsOf(doc), clamped);
        }
    }
}

// Element lengths, the search for the pixel data and the image dimensions.
void TestDicom::walk_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("failure");      // empty: read
    QTest::addColumn<QList<qint16>>("pixels"); // empty: no image
    QTest::addColumn<qint64>("fileSize");      // sparse past the data; 0: the data's
    auto row = [](const char *name, const QByteArray &data, const QString &failure,
                  const QList<qint16> &pixels = {}, qint64 fileSize = 0) {
        QTest::newRow(name) << data << failure << pixels << fileSize;
    };
    const QString reads, damaged = unreadable("damaged or cut short header"),
                         noPixelData = unreadable("no pixel data found"),
                         cutShort = unreadable("pixel data cut short");
    auto afterPrivate = [](const QByteArray &vr, const QByteArray &value) {
        return withImage(DicomFixture().element(0x0019, 0x1010, vr, value));
    };

    const QList<qint16> ones(6, 0x0101);
    row("element of 1,050,002 bytes", afterDecoy(1050002),
        unreadable("an element of 1050002 bytes is too long"));
    row("element of 1,050,000 bytes", afterDecoy(1050000), reads, ones);
    // Past the window the header is read in blocks, not up to the end of the file.
    row("header past the window, 3 MB", afterDecoy(1050000), reads, ones, 3 << 20);
    row("length past the end", withImage(DicomFixture().header(0x0019, 0x1010, "OB", 1000000)),
        damaged);

    // The element that ends the walk is not read, so an undefined length there
    // (compressed pixel data) is fine, but a length beyond the limit is not.
    auto pixelsOfLength = [](quint32 length) {
        DicomFixture f;
        f.unsignedShort(0x0028, 0x0010, 2).unsignedShort(0x0028, 0x0011, 3);
        return f.header(0x7FE0, 0x0010, "OW", length).bytes(QByteArray(12, '\x01')).file();
    };
    row("pixel data of 2,000,000 bytes", pixelsOfLength(2000000),
        unreadable("an element of 2000000 bytes is too long"));
    row("pixel data of undefined length", pixelsOfLength(0xFFFFFFFF), reads, ones);
    // Pixel data may be longer, as long as its image, in images of up to 8192
    // rows and columns.
    auto ofSize = [](quint16 rows, quint16 columns, int extra) {
        const int length = 2 * rows * columns + extra;
        DicomFixture f;
        f.unsignedShort(0x0028, 0x0010, rows).unsignedShort(0x0028, 0x0011, columns);
        return f.header(0x7FE0, 0x0010, "OW", length).bytes(QByteArray(length, '\x01')).file();
    };
    row("1024 x 1024, 2 bytes more", ofSize(1024, 1024, 2),
        unreadable("an element of 2097154 bytes is too long"));
    row("8192 x 129", ofSize(8192, 129, 0), reads, QList<qint16>(8192 * 129, 0x0101));
    row("8193 x 128", ofSize(8193, 128, 0), unreadable("an element of 2097408 bytes is too long"));

    DicomFixture oddLengths;
    oddLengths.element(0x0019, 0x1010, "LO", "abc").element(0x0010, 0x0010, "PN", "Doe^J");
    row("two odd lengths", withImage(oddLengths), reads, sampleRead);
    DicomFixture longForms; // not only OB, OW, UN and SQ
    for (const char *vr : {"OD", "OF", "OL", "OV", "SV", "UC", "UR", "UT", "UV"})
        longForms.element(0x0019, 0x1010, vr, QByteArray(0x102, 'v'));
    row("long length forms", withImage(longForms), reads, sampleRead);

    // A pixel data tag inside a value is found, but the walk runs to the end
    // of the file without reaching the image group.
    DicomFixture hidden;
    hidden.unsignedShort(0x0028, 0x0010, 1)
        .unsignedShort(0x0028, 0x0011, 1)
        .element(0x0019, 0x1010, "OB", QByteArray("\xE0\x7F\x10\x00OW\0\0\2\0\0\0\1\0", 14));
    row("walk without end", hidden.file(), damaged);
    QByteArray wrongGroup = fullImage(Syntax::ExplicitLittleEndian).file();
    wrongGroup[132] = 0x08;
    row("meta group not 0002", wrongGroup, unreadable("no file meta group after DICM"));

    const QByteArray full = withImage(DicomFixture());
    row("one byte short", full.chopped(1), cutShort);
    row("one byte more", full + 'x', reads, sampleRead);
    DicomFixture noPixels;
    noPixels.unsignedShort(0x0028, 0x0010, 2).unsignedShort(0x0028, 0x0011, 3);
    row("no pixel data", noPixels.file(), noPixelData);
    row("empty file", QByteArray(), noPixelData);
    const qint64 large = qint64(3) << 30;
    row("3 GB without pixel data", noPixels.file(), noPixelData, {}, large);
    row("3 GB, image at the start", full, reads, sampleRead, large);
    DicomFixture huge;
    huge.unsignedShort(0x0028, 0x0010, 65535).unsignedShort(0x0028, 0x0011, 65535).pixels({1, 2});
    row("65535 x 65535 in a small file", huge.file(), cutShort);

    // The last tag found wins: a decoy inside an earlier value is passed over.
    row("decoy before the pixels",
        afterPrivate("OB", QByteArray("\xE0\x7F\x10\x00OW\0\0\2\0\0\0\7\0\0\0", 16)), reads,
        sampleRead);

    // The search ends after 100,001 byte pairs, the last at offset 200,000.
    const int base = afterPrivate("OB", "xx").lastIndexOf(QByteArray("\xE0\x7F\x10\x00", 4));
    row("pixel tag at offset 200,000", afterPrivate("OB", QByteArray(200002 - base, 'x')), reads,
        sampleRead);
    row("pixel tag at offset 200,002", afterPrivate("OB", QByteArray(200004 - base, 'x')),
        noPixelData);

    DicomFixture small(Syntax::ImplicitLittleEndian);
    small.unsignedShort(0x0028, 0x0010, 1).unsignedShort(0x0028, 0x0011, 1).pixels({9});
    DicomFixture padding(Syntax::ImplicitLittleEndian);
    padding.element(0x0019, 0x1010, "OB", QByteArray(120 - small.dataSet().size(), 'x'));
    row("shorter than 128 bytes", small.dataSet(), unreadable("shorter than 128 bytes"));
    row("128 bytes", padding.dataSet() + small.dataSet(), reads, {9});

    // Missing or zero dimensions leave no image to show; the bits must be 16
    // or missing, each dimension one 16-bit value.
    auto image = [](const QByteArray &rows, const QByteArray &columns, const QByteArray &bits) {
        DicomFixture f;
        for (const auto &[element, value] :
             {qMakePair(0x0010, rows), qMakePair(0x0011, columns), qMakePair(0x0100, bits)}) {
            if (!value.isNull())
                f.element(0x0028, element, "US", value);
        }
        return f.pixels(samplePixels).file();
    };
    const QString dimension = unreadable("rows, columns or bits allocated not one 16-bit value");
    const QByteArray missing, zero("\0\0", 2), two("\2\0", 2), three("\3\0", 2), bits("\x10\0", 2);
    // The pixel data's VR tells the VR mode: OB (8-bit or compressed pixels) as
    // well as OW, so that the header of an 8-bit colour image in explicit
    // big-endian is read in place, up to its refusal.
    DicomFixture bigEndianRgb(Syntax::ExplicitBigEndian);
    bigEndianRgb.unsignedShort(0x0028, 0x0002, 3)
        .text(0x0028, 0x0004, "CS", "RGB")
        .unsignedShort(0x0028, 0x0010, 2)
        .unsignedShort(0x0028, 0x0011, 2)
        .unsignedShort(0x0028, 0x0100, 8)
        .element(0x7FE0, 0x0010, "OB", QByteArray(12, '\x40'));
    row("8-bit RGB, explicit big-endian", bigEndianRgb.file(),
        "8-bit pixels are not supported, only 16-bit ones");
    row("bits missing", image(two, three, missing), reads, sampleRead);
    row("8 bits", image(two, three, QByteArray("\x08\0", 2)),
        "8-bit pixels are not supported, only 16-bit ones");
    row("rows of 4 bytes", image(QByteArray("\2\0\0\0", 4), three, bits), dimension);
    row("empty columns", image(two, "", bits), dimension);
    const QString noSize = "no image: Rows or Columns missing";
    row("no rows", image(missing, three, bits), noSize);
    row("no columns", image(two, missing, bits), noSize);
    row("zero rows", image(zero, three, bits), "no image: 3 columns and 0 rows");
    row("zero columns", image(two, zero, bits), "no image: 0 columns and 2 rows");

    // Compressed pixel data cannot be read; the transfer syntax names it.
    auto namingSyntax = [](const QByteArray &uid) {
        DicomFixture f;
        f.transferSyntaxUid = uid;
        return withImage(f);
    };
    row("JPEG 2000", namingSyntax("1.2.840.10008.1.2.4.91"),
        "compressed DICOM (JPEG 2000) is not supported");
    row("RLE", namingSyntax("1.2.840.10008.1.2.5"), "compressed DICOM (RLE) is not supported");
    row("other compressed syntax", namingSyntax("1.2.840.10008.1.2.4.201"),
        "compressed DICOM (1.2.840.10008.1.2.4.201) is not supported");
    row("unknown syntax", namingSyntax("1.2.826.0.1.3680043.2.1143.1"), reads, sampleRead);

    // A sequence before the image group is passed over and the walk goes on
    // after it, reading the rows that follow; one that never ends fails the read.
    auto sequenceRow = [&](const QString &name, Syntax syntax, const QByteArray &sequence,
                           bool ok) {
        DicomFixture f(syntax);
        row(qPrintable(name), withImage(f.text(0x0008, 0x0060, "CS", "MR").bytes(sequence)),
            ok ? reads : damaged, ok ? sampleRead : QList<qint16>());
    };
    for (int syntax = 0; syntax < 3; ++syntax) {
        const auto s = Syntax(syntax);
        const QString name = syntaxNames[syntax];
        // Items whose values look like undefined lengths and delimiters.
        DicomFixture item(s);
        item.text(0x0008, 0x1150, "UI", "1.2.3")
            .element(0x0019, 0x1001, "SL", QByteArray(4, '\xFF'))
            .element(0x0019, 0x1002, "OB", QByteArray("\xFE\xFF\xDD\xE0\xFF\xFE\xE0\xDD", 8));
        DicomFixture inner(s);
        inner.sequence(0x0040, 0xA170, {item.dataSet()});
        DicomFixture nested(s); // two items, one holding a sequence of its own
        nested.sequence(0x0008, 0x1140, {inner.dataSet(), item.dataSet()});
        sequenceRow(name + ", nested sequence", s, nested.dataSet(), true);

        DicomFixture definedItem(s);
        definedItem.header(0x0008, 0x1140, "SQ", 0xFFFFFFFF)
            .header(0xFFFE, 0xE000, "", quint32(item.dataSet().size()))
            .bytes(item.dataSet())
            .header(0xFFFE, 0xE0DD, "", 0);
        sequenceRow(name + ", item of defined length", s, definedItem.dataSet(), true);

        for (quint32 itemLength : {0xFFFFFFFFu, 0x7FFFFFFFu}) {
            DicomFixture open(s);
            open.header(0x0008, 0x1140, "SQ", 0xFFFFFFFF).header(0xFFFE, 0xE000, "", itemLength);
            sequenceRow(name + QString(", item of length %1 without end").arg(itemLength, 0, 16), s,
                        open.dataSet(), false);
        }
    }

    // Unknown content of undefined length in an explicit VR data set is
    // encoded with implicit VR.
    DicomFixture implicitItem(Syntax::ImplicitLittleEndian);
    implicitItem.text(0x0019, 0x1001, "LO", "abc")
        .element(0x0019, 0x1002, "UL", "\xFF\xFF\xFF\xFF");
    DicomFixture unknown;
    unknown.header(0x0019, 0x1010, "UN", 0xFFFFFFFF)
        .header(0xFFFE, 0xE000, "", 0xFFFFFFFF)
        .bytes(implicitItem.dataSet())
        .header(0xFFFE, 0xE00D, "", 0)
        .header(0xFFFE, 0xE0DD, "", 0);
    sequenceRow("UN of undefined length", Syntax::ExplicitLittleEndian, unknown.dataSet(), true);
}

// However large the file, the reader takes the search window, a block of the
// header past it and the pixels, never the rest.
void TestDicom::walk()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, failure);
    QFETCH(QList<qint16>, pixels);
    QFETCH(qint64, fileSize);
    CountingFile file(dir.filePath("walk.dcm"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(data) == data.size());
    if (fileSize && !file.resize(fileSize))
        QSKIP("no sparse files here");
    file.close();
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    DICOMDoc doc;
    QCOMPARE(doc.readDICOM(file), failure.isEmpty());
    QCOMPARE(doc.failureReason(), failure);
    QCOMPARE(pixelsOf(doc), pixels);
    QVERIFY2(file.bytesRead() <= 200006 + 65536 + 2 * pixels.size(),
             qPrintable(QString::number(file.bytesRead())));
    file.close();
    QFile::remove(file.fileName());
}

// A failed load keeps the document loaded before and leaves its reason.
void TestDicom::files()
{
    int files = 0;
    auto write = [&](const QByteArray &data) {
        QFile file(dir.filePath(QString("f%1.dcm").arg(files++)));
        return file.open(QIODevice::WriteOnly) && file.write(data) == data.size() ? file.fileName()
                                                                                  : QString();
    };
    QVERIFY(!core.getDICOMDoc());
    QVERIFY(core.loadDICOM(write(fullImage(Syntax::ExplicitLittleEndian).file())));
    DICOMDoc *loaded = core.getDICOMDoc();
    QVERIFY(loaded);
    QCOMPARE(loaded->instanceNumber, 42);
    QCOMPARE(core.getDICOMFailureReason(), QString());
    for (const auto &[bad, reason] : {qMakePair(dir.filePath("missing.dcm"), "no such file"),
                                      qMakePair(dir.path(), "not a regular file")}) {
        QVERIFY2(!core.loadDICOM(bad), qPrintable(bad));
        QCOMPARE(core.getDICOMDoc(), loaded);
        QCOMPARE(core.getDICOMFailureReason(), QString(reason));
    }
    QVERIFY(core.loadDICOM(write(withImage(DicomFixture().text(0x0020, 0x0013, "IS", "43")))));
    QCOMPARE(core.getDICOMDoc()->instanceNumber, 43);
    QCOMPARE(core.getDICOMFailureReason(), QString());
}

namespace {

// The data set handed to dump2dcm: every kept attribute, texts of odd length
// (padded by the encoder), a private unlimited text, a nested sequence, and
// the image attributes the compressors need.
const char dcmtkHeader[] = R"((0008,0008) CS [DERIVED\SECONDARY\M]
(0008,0016) UI =MRImageStorage
(0008,0018) UI [1.2.826.0.1.3680043.2.1143.99]
(0008,0060) CS [MR]
(0008,0070) LO [Cortivex Imaging]
(0008,0080) LO [Brain Lab]
(0008,1030) LO [Head^Routine]
(0008,103e) LO [t2_tse tra]
(0008,1090) LO [Model 3T]
(0008,1140) SQ (Sequence with undefined length #=1)
  (fffe,e000) na (Item with undefined length #=2)
    (0008,1150) UI =MRImageStorage
    (0040,a170) SQ (Sequence with undefined length #=1)
      (fffe,e000) na (Item with undefined length #=1)
        (0008,0100) SH [X]
      (fffe,e00d) na (ItemDelimitationItem)
    (fffe,e0dd) na (SequenceDelimitationItem)
  (fffe,e00d) na (ItemDelimitationItem)
(fffe,e0dd) na (SequenceDelimitationItem)
(0010,0010) PN [Doe^Jane]
(0018,0050) DS [1.5]
(0018,0080) DS [4000]
(0018,0087) DS [3]
(0018,0088) DS [2.25]
(0018,5100) CS [HFS]
(0019,0010) LO [CORTIVEX]
(0019,1010) UT [a private text of odd length]
(0020,0011) IS [7]
(0020,0012) IS [2]
(0020,0013) IS [42]
(0020,0032) DS [-120.5\-98.25\40]
(0020,0037) DS [1\0\0\0\1\0]
(0020,0105) IS [1]
(0028,0002) US 1
(0028,0004) CS [MONOCHROME2]
)";

// The image of the data set: pixels as hexadecimal words, or "=file" to take
// them from a file.
QByteArray dcmtkDump(int rows = 3, int columns = 4,
                     const QByteArray &pixels =
                         "0064\\00c8\\fffb\\0102\\7fff\\8000\\0000\\0063\\03e8\\1234\\abcd\\0001")
{
    return dcmtkHeader +
           QString::asprintf("(0028,0010) US %d\n(0028,0011) US %d\n", rows, columns).toLatin1() +
           "(0028,0030) DS [0.9375\\0.5]\n(0028,0100) US 16\n(0028,0101) US 16\n"
           "(0028,0102) US 15\n(0028,0103) US 1\n(7fe0,0010) OW " +
           pixels + '\n';
}

const char jpeg2000Dump[] = R"((0002,0010) UI =JPEG2000LosslessOnly
(0008,0016) UI =MRImageStorage
(0008,0018) UI [1.2.826.0.1.3680043.2.1143.99]
(0028,0002) US 1
(0028,0004) CS [MONOCHROME2]
(0028,0010) US 3
(0028,0011) US 4
(0028,0100) US 16
(7fe0,0010) OB (PixelSequence #=2)
  (fffe,e000) pi (no value available)
  (fffe,e000) pi ff\4f\ff\51\00\29\00\00
(fffe,e0dd) na (SequenceDelimitationItem)
)";

bool runTool(const QString &program, const QStringList &arguments, QString *output = nullptr)
{
    QProcess tool;
    tool.start(program, arguments);
    if (!tool.waitForFinished(30000) || tool.exitStatus() != QProcess::NormalExit ||
        tool.exitCode() != 0)
        return false;
    if (output)
        *output = QString::fromLatin1(tool.readAllStandardOutput());
    return true;
}

// The top-level values of a dcmdump listing by tag; the transfer syntax
// under tag 0.
QMap<quint32, QString> parseDcmdump(const QString &output)
{
    static const QRegularExpression element(
        R"(^\(([0-9a-f]{4}),([0-9a-f]{4})\) [A-Za-z?]{2} (\[(.*)\]|\S+)\s+#)");
    static const QRegularExpression syntax("^# Used TransferSyntax: (.*)$");
    QMap<quint32, QString> values;
    for (const QString &line : output.split('\n')) {
        if (const auto e = element.match(line); e.hasMatch()) {
            const quint32 tag =
                e.captured(1).toUInt(nullptr, 16) << 16 | e.captured(2).toUInt(nullptr, 16);
            values[tag] = e.captured(3).startsWith('[') ? e.captured(4) : e.captured(3);
        }
        if (const auto s = syntax.match(line); s.hasMatch())
            values[0] = s.captured(1);
    }
    return values;
}

} // namespace

// Writes a file with dump2dcm from a dump in dcmdump's form.
bool TestDicom::dumpToFile(const QByteArray &dump, const QString &name)
{
    QFile dumpFile(name + ".txt");
    if (!dumpFile.open(QIODevice::WriteOnly) || dumpFile.write(dump) != dump.size())
        return false;
    dumpFile.close();
    return runTool(QStandardPaths::findExecutable("dump2dcm"), {"-q", dumpFile.fileName(), name});
}

void TestDicom::matchesDcmtk_data()
{
    QTest::addColumn<int>("size"); // 0: the 3 x 4 image of the dump
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("compression"); // refused, naming it; empty: read
    for (const char *options :
         {"+te", "+ti", "+tb", "+te -e", "+ti -e", "+tb -e", "+ti -F", "+tb -F -e"})
        QTest::addRow("3 x 4, %s", options) << 0 << "dcmconv" << QString(options) << QString();
    for (int size : {1024, 2048}) {
        for (const char *options : {"+te", "+tb", "+ti -F"})
            QTest::addRow("%d x %d, %s", size, size, options)
                << size << "dcmconv" << QString(options) << QString();
    }
    // Compressed in each way DCMTK can, and a JPEG 2000 file as far as the
    // reader can tell: DCMTK has no JPEG 2000 encoder, but writes encapsulated
    // pixel data under any transfer syntax.
    const char *const compressors[][3] = {
        {"dcmcjpeg", "+eb", "JPEG baseline"}, {"dcmcjpeg", "+ee", "JPEG extended"},
        {"dcmcjpeg", "+el", "JPEG lossless"}, {"dcmcjpeg", "+e1", "JPEG lossless"},
        {"dcmcjpls", "", "JPEG-LS"},          {"dcmcrle", "", "RLE"},
        {"dump2dcm", "", "JPEG 2000"}};
    for (const auto &[tool, options, compression] : compressors)
        QTest::newRow(qPrintable(QString("%1, %2 %3").arg(compression, tool, options).trimmed()))
            << 0 << tool << options << compression;
}

// DCMTK encodes one data set in every transfer syntax, with and without
// undefined lengths and meta group, and with images of ordinary sizes; each
// file reads as dcmdump lists it. Compressed, it is refused, naming its
// compression.
void TestDicom::matchesDcmtk()
{
    QFETCH(int, size);
    QFETCH(QString, tool);
    QFETCH(QString, options);
    QFETCH(QString, compression);
    const QString program = QStandardPaths::findExecutable(tool);
    const QString dcmdump = QStandardPaths::findExecutable("dcmdump");
    if (QStandardPaths::findExecutable("dump2dcm").isEmpty() || program.isEmpty() ||
        dcmdump.isEmpty())
        QSKIP(qPrintable("DCMTK (dump2dcm, dcmdump, " + tool + ") is not installed"));

    const QString source = dir.filePath(QString("dcmtk%1.dcm").arg(size));
    if (!QFile::exists(source)) {
        QByteArray dump = dcmtkDump();
        if (size > 0) {
            // Values over the whole range, negative ones too.
            QFile raw(dir.filePath(QString("pixels%1.raw").arg(size)));
            QByteArray pixels(2 * size * size, Qt::Uninitialized);
            for (int i = 0; i < size * size; ++i)
                qToLittleEndian(qint16(i * 7919), pixels.data() + 2 * i);
            QVERIFY(raw.open(QIODevice::WriteOnly) && raw.write(pixels) == pixels.size());
            dump = dcmtkDump(size, size, "=" + raw.fileName().toLocal8Bit());
        }
        QVERIFY(dumpToFile(dump, source));
    }

    const QString name =
        dir.filePath(QString("%1%2%3.dcm").arg(tool).arg(size).arg(QString(options).remove(' ')));
    const QStringList arguments =
        options.split(' ', Qt::SkipEmptyParts) + QStringList{source, name};
    QVERIFY(tool == "dump2dcm" ? dumpToFile(jpeg2000Dump, name)
                               : runTool(program, QStringList{"-q"} + arguments));
    DICOMDoc doc;
    if (!compression.isEmpty()) {
        QVERIFY(!doc.readDICOM(name));
        QCOMPARE(doc.failureReason(),
                 QString("compressed DICOM (%1) is not supported").arg(compression));
        return;
    }
    QString dump;
    QVERIFY(runTool(dcmdump, {"-q", "+L", "+W", dir.path(), name}, &dump));
    const QMap<quint32, QString> listed = parseDcmdump(dump);

    QVERIFY2(doc.readDICOM(name), qPrintable(doc.failureReason()));
    QCOMPARE(doc.byteOrder, listed.value(0).startsWith("Big") ? 2 : 1);
    QCOMPARE(doc.explicitVR, listed.value(0).endsWith("Explicit"));
    for (const TextField &field : textFields) {
        QByteArray text = field.value(doc);
        QCOMPARE(text.size() % 2, 0);
        while (text.endsWith(' '))
            text.chop(1);
        QCOMPARE(QString::fromLatin1(text), listed.value(field.tag));
    }
    for (const NumberField &field : numberFields)
        QCOMPARE(field.value(doc), listed.value(field.tag).toDouble());
    QCOMPARE(QList<int>({doc.nrOfRows, doc.nrOfColumns, doc.bitsAllocated}),
             QList<int>({listed.value(0x00280010).toInt(), listed.value(0x00280011).toInt(),
                         listed.value(0x00280100).toInt()}));
    const QStringList spacing = listed.value(0x00280030).split('\\');
    QCOMPARE(numbersOf(doc, 0x00280030),
             QList<double>({spacing.value(0).toFloat(), spacing.value(1).toFloat()}));

    // dcmdump writes the pixels to a file of their own, little-endian.
    QFile raw(listed.value(0x7FE00010).mid(1));
    QVERIFY2(raw.open(QIODevice::ReadOnly), qPrintable(raw.fileName()));
    const QByteArray bytes = raw.readAll();
    QList<qint16> pixels;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        pixels << qMax<qint16>(0, qFromLittleEndian<qint16>(bytes.constData() + i));
    QCOMPARE(pixels.size(), doc.nrOfRows * doc.nrOfColumns);
    QCOMPARE(pixelsOf(doc), pixels);
}

// The pixel decoder and the series grouping, against pydicom and dcm2niix.
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

void TestDicom::initTestCase()
{
    series = DicomSeriesGrouping::scanFolder(seriesFixture("series"), &skipped);
}

void TestDicom::decodesAsPydicom_data()
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

void TestDicom::decodesAsPydicom()
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
            for (qint64 i = 0; i < 3 * n; ++i) {
                const int got = colours[size_t(i / 3)] >> (16 - 8 * (i % 3)) & 0xFF;
                worst = std::max(worst, double(std::abs(got - e[i])));
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

void TestDicom::refusesHostileFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");
    for (const QByteArrayList &f : table(fixture("hostile.txt"), '\t'))
        QTest::newRow(f[0].constData()) << QString(f[0]) << QString::fromUtf8(f[1]);
}

void TestDicom::refusesHostileFiles()
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

void TestDicom::findsDicomByContent()
{
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

void TestDicom::groupsAndSorts_data()
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

void TestDicom::groupsAndSorts()
{
    QFETCH(QString, name);
    QFETCH(bool, volume);
    QFETCH(int, missing);
    QFETCH(bool, tilted);
    QFETCH(bool, multiFrame);
    QFETCH(QStringList, order);

    // The folder's seven series and its one skipped file: tst_cxvinfo::seriesOfAFolder.
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

void TestDicom::matchesDcm2niix_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("nifti");
    // The grid of a series with a gap is the whole series' grid: dcm2niix's
    // own even copy ("_Eq") spreads the slices over it instead.
    for (const auto &[row, name, nifti] :
         {std::tuple("oblique", "5 T1_oblique (12)", "s5.nii"),
          std::tuple("missing slice", "7 T1_missing (11)", "s5.nii"),
          std::tuple("multi-frame", "15 enhanced (12)", "s15.nii")})
        QTest::newRow(row) << QString(name) << QString(nifti);
}

void TestDicom::matchesDcm2niix()
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

QTEST_GUILESS_MAIN(TestDicom)
#include "tst_dicom.moc"
