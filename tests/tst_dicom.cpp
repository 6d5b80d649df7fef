#include "CXSCore.h"
#include "DICOMDoc.h"
#include "DicomFixture.h"
#include "FixtureStream.h"

#include <QBuffer>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <climits>
#include <cmath>

namespace {

using Syntax = DicomFixture::Syntax;

const QList<qint16> samplePixels = {100, 200, -5, 0x0102, 300, 50};

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
QByteArray withImage(DicomFixture &f, const QList<qint16> &pixels = samplePixels)
{
    f.unsignedShort(0x0028, 0x0010, 2)
        .unsignedShort(0x0028, 0x0011, 3)
        .unsignedShort(0x0028, 0x0100, 16)
        .pixels(pixels);
    return f.file();
}

// The pixel data tag is only found at an even offset: after a value of odd
// length, another one of odd length puts the elements back in step.
void realign(DicomFixture &f, int length)
{
    if (length % 2)
        f.element(0x0019, 0x1000, "LO", "x");
}

QByteArray textOf(const DICOMDoc &doc, quint32 tag)
{
    switch (tag) {
    case 0x00080008:
        return doc.imageType;
    case 0x00080060:
        return doc.modality;
    case 0x00080070:
        return doc.manufacturer;
    case 0x00080080:
        return doc.institutionName;
    case 0x00081030:
        return doc.studyDescription;
    case 0x0008103E:
        return doc.seriesDescription;
    case 0x00081090:
        return doc.manufacturerModelName;
    case 0x00100010:
        return doc.patientName;
    case 0x00180080:
        return doc.repetitionTime;
    case 0x00180087:
        return doc.magneticFieldStrength;
    case 0x00185100:
        return doc.patientPosition;
    case 0x00200032:
        return doc.imagePositionPatient;
    case 0x00200037:
        return doc.imageOrientationPatient;
    case 0x00200105:
        return doc.nrOfTemporalPositions;
    }
    qFatal("no text field for tag %08x", tag);
}

double numberOf(const DICOMDoc &doc, quint32 tag)
{
    switch (tag) {
    case 0x00180050:
        return doc.sliceThickness;
    case 0x00180088:
        return doc.spacingBetweenSlices;
    case 0x00200011:
        return doc.seriesNumber;
    case 0x00200012:
        return doc.acquisitionNumber;
    case 0x00200013:
        return doc.instanceNumber;
    }
    qFatal("no number field for tag %08x", tag);
}

QList<qint16> pixelsOf(const DICOMDoc &doc)
{
    if (!doc.pixelData)
        return {};
    return QList<qint16>(doc.pixelData, doc.pixelData + doc.nrOfRows * doc.nrOfColumns);
}

} // namespace

class TestDicom : public QObject
{
    Q_OBJECT

private slots:
    void fixtureLayout();
    void transferSyntaxes_data();
    void transferSyntaxes();
    void handWrittenImplicitFile();
    void texts_data();
    void texts();
    void rawTextKept();
    void numbers_data();
    void numbers();
    void pixelSpacing_data();
    void pixelSpacing();
    void cleanString_data();
    void cleanString();
    void sliceDistance_data();
    void sliceDistance();
    void imageDimensions_data();
    void imageDimensions();
    void statistics();
    void sequences_data();
    void sequences();
    void elementLengths_data();
    void elementLengths();
    void pixelSearch_data();
    void pixelSearch();
    void metaGroup();
    void truncated();
    void files();
    void fileTooLargeForMemory();
    void matchesDcmtk();

private:
    bool read(DICOMDoc &doc, const QByteArray &data);
    QString write(const QByteArray &data);
    CXSCore core;
    QTemporaryDir dir;
    int fileCounter = 0;
};

bool TestDicom::read(DICOMDoc &doc, const QByteArray &data)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    return doc.readDICOM(buffer);
}

QString TestDicom::write(const QByteArray &data)
{
    const QString name = dir.filePath(QString("f%1.dcm").arg(fileCounter++));
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(name));
    return name;
}

// The fixture writer against bytes written out from the encoding tables.
void TestDicom::fixtureLayout()
{
    DicomFixture little(DicomFixture::ExplicitLittleEndian);
    little.text(0x0008, 0x0060, "CS", "MR").unsignedShort(0x0028, 0x0010, 2).pixels({1, -2});
    QCOMPARE(little.dataSet(), QByteArray("\x08\x00\x60\x00"
                                          "CS\x02\x00"
                                          "MR"
                                          "\x28\x00\x10\x00"
                                          "US\x02\x00\x02\x00"
                                          "\xE0\x7F\x10\x00"
                                          "OW\x00\x00\x04\x00\x00\x00\x01\x00\xFE\xFF",
                                          36));

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
    QCOMPARE(file.left(128), QByteArray(128, '\0'));
    QCOMPARE(file.mid(128, 12), QByteArray("DICM\x02\x00\x00\x00UL\x04\x00", 12));
    const quint32 metaLength = qFromLittleEndian<quint32>(file.constData() + 140);
    QCOMPARE(file.mid(144 + metaLength), big.dataSet());
    QVERIFY(file.mid(144, metaLength).contains(QByteArray("1.2.840.10008.1.2.2\0", 20)));
}

void TestDicom::transferSyntaxes_data()
{
    QTest::addColumn<int>("syntax");
    QTest::addColumn<bool>("preamble");
    QTest::addColumn<int>("byteOrder");
    QTest::addColumn<int>("metaByteOrder");
    QTest::addColumn<bool>("explicitVR");
    QTest::newRow("explicit little, preamble")
        << int(Syntax::ExplicitLittleEndian) << true << 1 << 1 << true;
    QTest::newRow("explicit little, bare")
        << int(Syntax::ExplicitLittleEndian) << false << 1 << 1 << true;
    QTest::newRow("implicit little, preamble")
        << int(Syntax::ImplicitLittleEndian) << true << 1 << 1 << false;
    QTest::newRow("implicit little, bare")
        << int(Syntax::ImplicitLittleEndian) << false << 1 << 1 << false;
    QTest::newRow("explicit big after little meta group")
        << int(Syntax::ExplicitBigEndian) << true << 2 << 1 << true;
    QTest::newRow("explicit big, bare")
        << int(Syntax::ExplicitBigEndian) << false << 2 << 2 << true;
}

void TestDicom::transferSyntaxes()
{
    QFETCH(int, syntax);
    QFETCH(bool, preamble);
    const DicomFixture f = fullImage(Syntax(syntax));
    DICOMDoc doc(&core);
    QVERIFY(read(doc, preamble ? f.file() : f.dataSet()));

    QTEST(doc.byteOrder, "byteOrder");
    QTEST(doc.metaByteOrder, "metaByteOrder");
    QTEST(doc.explicitVR, "explicitVR");
    QCOMPARE(QByteArray(doc.imageType), "ORIGINAL\\PRIMARY\\M\\ND ");
    QCOMPARE(QByteArray(doc.modality), "MR");
    QCOMPARE(QByteArray(doc.manufacturer), "Cortivex");
    QCOMPARE(QByteArray(doc.institutionName), "Brain Lab ");
    QCOMPARE(QByteArray(doc.studyDescription), "Head");
    QCOMPARE(QByteArray(doc.seriesDescription), "T1 MPRAGE ");
    QCOMPARE(QByteArray(doc.manufacturerModelName), "Model 3T");
    QCOMPARE(QByteArray(doc.patientName), "Doe^Jane");
    QCOMPARE(QByteArray(doc.repetitionTime), "2300");
    QCOMPARE(QByteArray(doc.magneticFieldStrength), "3 ");
    QCOMPARE(QByteArray(doc.patientPosition), "HFS ");
    QCOMPARE(QByteArray(doc.imagePositionPatient), "-120.5\\-98.25\\40");
    QCOMPARE(QByteArray(doc.imageOrientationPatient), "1\\0\\0\\0\\1\\0 ");
    QCOMPARE(QByteArray(doc.nrOfTemporalPositions), "1 ");
    QCOMPARE(doc.sliceThickness, 1.5f);
    QCOMPARE(doc.spacingBetweenSlices, 2.25f);
    QCOMPARE(doc.sliceDistance, 2.25f);
    QCOMPARE(doc.seriesNumber, 7);
    QCOMPARE(doc.acquisitionNumber, 1);
    QCOMPARE(doc.instanceNumber, 42);
    QCOMPARE(doc.nrOfRows, 2);
    QCOMPARE(doc.nrOfColumns, 3);
    QCOMPARE(doc.rowSpacing, 0.9375f);
    QCOMPARE(doc.columnSpacing, 0.5f);
    QCOMPARE(doc.bitsAllocated, 16);

    // -5 is set to 0; 100, 200, 258 and 300 are above 99: sum 858, squares
    // 206564, count 1 + 4.
    QCOMPARE(pixelsOf(doc), QList<qint16>({100, 200, 0, 258, 300, 50}));
    QCOMPARE(doc.meanIntensity, 171.6f);
    QVERIFY(qAbs(doc.stdDevIntensity - 108.9323f) < 1e-3f);
}

// An implicit little-endian data set written out byte by byte, without
// preamble and starting directly with group 0008.
void TestDicom::handWrittenImplicitFile()
{
    QByteArray data("\x08\x00\x60\x00\x02\x00\x00\x00"
                    "MR"
                    "\x09\x00\x10\x00\x50\x00\x00\x00",
                    18);
    data += QByteArray(0x50, 'z'); // a private element the walk skips
    data += QByteArray("\x28\x00\x10\x00\x02\x00\x00\x00\x01\x00"
                       "\x28\x00\x11\x00\x02\x00\x00\x00\x02\x00"
                       "\x28\x00\x30\x00\x06\x00\x00\x00"
                       "0.7   "
                       "\xE0\x7F\x10\x00\x04\x00\x00\x00\x34\x12\xFF\x00",
                       46);
    DICOMDoc doc(&core);
    QVERIFY(read(doc, data));
    QCOMPARE(doc.byteOrder, 1);
    QVERIFY(!doc.explicitVR);
    QCOMPARE(QByteArray(doc.modality), "MR");
    QCOMPARE(doc.nrOfRows, 1);
    QCOMPARE(doc.nrOfColumns, 2);
    QCOMPARE(doc.rowSpacing, 0.7f);
    QCOMPARE(doc.columnSpacing, 0.7f);
    QCOMPARE(doc.bitsAllocated, 0);
    QCOMPARE(pixelsOf(doc), QList<qint16>({0x1234, 0x00FF}));
}

void TestDicom::texts_data()
{
    QTest::addColumn<quint32>("tag");
    QTest::addColumn<int>("limit");
    const QList<QPair<quint32, int>> fields = {
        {0x00080008, 100}, {0x00080060, 10},  {0x00080070, 50},  {0x00080080, 50}, {0x00081030, 50},
        {0x0008103E, 50},  {0x00081090, 50},  {0x00100010, 50},  {0x00180080, 10}, {0x00180087, 10},
        {0x00185100, 10},  {0x00200032, 150}, {0x00200037, 150}, {0x00200105, 10}};
    for (const auto &field : fields)
        QTest::addRow("%08x", field.first) << field.first << field.second;
}

// Each text field takes values up to its limit; a longer one is skipped, the
// field reads "<skipped>" and the walk goes on after it.
void TestDicom::texts()
{
    QFETCH(quint32, tag);
    QFETCH(int, limit);
    for (int length : {0, 1, limit - 1, limit, limit + 1, limit + 2, 120}) {
        const QByteArray value = QByteArray("ABCDEFGHIJ").repeated(16).left(length);
        DicomFixture f;
        f.element(tag >> 16, tag & 0xFFFF, "LO", value);
        realign(f, length);
        f.text(0x0020, 0x0013, "IS", "5");
        DICOMDoc doc(&core);
        QVERIFY(read(doc, withImage(f)));
        QCOMPARE(textOf(doc, tag), length <= limit ? value : QByteArray("<skipped>"));
        QCOMPARE(doc.instanceNumber, 5);
    }
}

void TestDicom::rawTextKept()
{
    DicomFixture f;
    f.element(0x0008, 0x0060, "CS", QByteArray("A\0B ", 4))
        .element(0x0010, 0x0010, "PN", QByteArray("Doe  \0", 6));
    DICOMDoc doc(&core);
    QVERIFY(read(doc, withImage(f)));
    QCOMPARE(QByteArray(doc.modality, 5), QByteArray("A\0B \0", 5));
    QCOMPARE(QByteArray(doc.patientName, 7), QByteArray("Doe  \0\0", 7));
}

void TestDicom::numbers_data()
{
    QTest::addColumn<quint32>("tag");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<double>("number");
    const quint32 thickness = 0x00180050;
    const quint32 spacing = 0x00180088;
    const quint32 series = 0x00200011;
    const quint32 acquisition = 0x00200012;
    const quint32 instance = 0x00200013;
    QTest::newRow("decimal") << thickness << QByteArray("1.25") << 1.25;
    QTest::newRow("spaces and unit") << spacing << QByteArray(" 2.5mm ") << 2.5;
    QTest::newRow("plus sign") << thickness << QByteArray("+0.75") << 0.75;
    QTest::newRow("exponent") << thickness << QByteArray("5e-1") << 0.5;
    QTest::newRow("negative") << spacing << QByteArray("-3") << -3.0;
    QTest::newRow("garbage") << thickness << QByteArray("abc") << 0.0;
    QTest::newRow("beyond float") << thickness << QByteArray("1e400") << 0.0;
    QTest::newRow("infinity") << spacing << QByteArray("inf") << 0.0;
    QTest::newRow("not a number") << spacing << QByteArray("nan") << 0.0;
    QTest::newRow("hexadecimal") << spacing << QByteArray("0x10") << 0.0;
    QTest::newRow("zero byte") << thickness
                               << QByteArray("1\0"
                                             "5",
                                             3)
                               << 1.0;
    QTest::newRow("23 bytes") << thickness << QByteArray(20, '0') + "1.5" << 1.5;
    QTest::newRow("24 bytes skipped") << thickness << QByteArray(21, '0') + "1.5" << 0.0;
    QTest::newRow("integer") << series << QByteArray("12") << 12.0;
    QTest::newRow("integer, spaces") << acquisition << QByteArray(" -3 ") << -3.0;
    QTest::newRow("integer, fraction") << instance << QByteArray("4.9") << 4.0;
    QTest::newRow("integer garbage") << instance << QByteArray("x1") << 0.0;
    QTest::newRow("integer overflow") << series << QByteArray("99999999999") << double(INT_MAX);
    QTest::newRow("integer underflow") << series << QByteArray("-99999999999") << double(INT_MIN);
    QTest::newRow("127 bytes") << instance << QByteArray(126, '0') + "9" << 9.0;
    QTest::newRow("128 bytes skipped") << instance << QByteArray(127, '0') + "9" << -1.0;
}

void TestDicom::numbers()
{
    QFETCH(quint32, tag);
    QFETCH(QByteArray, value);
    DicomFixture f;
    f.element(tag >> 16, tag & 0xFFFF, "DS", value);
    realign(f, value.size());
    f.text(0x0020, 0x0105, "IS", "3");
    DICOMDoc doc(&core);
    QVERIFY(read(doc, withImage(f)));
    QTEST(numberOf(doc, tag), "number");
    QCOMPARE(QByteArray(doc.nrOfTemporalPositions), "3 ");
}

void TestDicom::pixelSpacing_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<float>("rowSpacing");
    QTest::addColumn<float>("columnSpacing");
    QTest::newRow("equal") << QByteArray("0.9375\\0.9375") << 0.9375f << 0.9375f;
    QTest::newRow("different") << QByteArray("0.9375\\0.5") << 0.9375f << 0.5f;
    QTest::newRow("one value") << QByteArray("0.7 ") << 0.7f << 0.7f;
    QTest::newRow("spaces") << QByteArray(" 0.5 \\ 0.25 ") << 0.5f << 0.25f;
    QTest::newRow("line end") << QByteArray("0.5\\0.25\r\n") << 0.5f << 0.25f;
    QTest::newRow("second empty") << QByteArray("0.5\\") << 0.5f << 0.0f;
    QTest::newRow("third value") << QByteArray("1\\2\\3") << 1.0f << 2.0f;
    QTest::newRow("127 bytes") << QByteArray(121, ' ') + "1\\2   " << 1.0f << 2.0f;
    QTest::newRow("128 bytes skipped") << QByteArray(122, ' ') + "1\\2   " << 0.0f << 0.0f;
}

void TestDicom::pixelSpacing()
{
    QFETCH(QByteArray, value);
    DicomFixture f;
    f.element(0x0028, 0x0030, "DS", value);
    realign(f, value.size());
    DICOMDoc doc(&core);
    QVERIFY(read(doc, withImage(f)));
    QTEST(doc.rowSpacing, "rowSpacing");
    QTEST(doc.columnSpacing, "columnSpacing");
}

void TestDicom::cleanString_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("alsoSpaces");
    QTest::addColumn<QString>("clean");
    QTest::newRow("empty") << "" << true << "";
    QTest::newRow("only ends") << " \r\n \n" << true << "";
    QTest::newRow("spaces both sides") << "  a b  " << true << "a b";
    QTest::newRow("trailing spaces kept") << "  a b  " << false << "a b  ";
    QTest::newRow("line ends") << " a\r\n\n" << false << "a";
    QTest::newRow("mixed tail") << "a \r \n " << true << "a";
    QTest::newRow("mixed tail, spaces kept") << "a \r \n " << false << "a \r \n ";
    QTest::newRow("space before line end") << "a \n" << false << "a ";
    QTest::newRow("leading line end kept") << "\na" << true << "\na";
    QTest::newRow("tab kept") << "\ta\t" << true << "\ta\t";
}

void TestDicom::cleanString()
{
    QFETCH(QString, text);
    QFETCH(bool, alsoSpaces);
    QTEST(DICOMDoc::cleanString(text, alsoSpaces), "clean");
}

void TestDicom::sliceDistance_data()
{
    QTest::addColumn<QByteArray>("thickness");
    QTest::addColumn<QByteArray>("spacing");
    QTest::addColumn<float>("distance");
    QTest::newRow("both") << QByteArray("1.5") << QByteArray("2.25") << 2.25f;
    QTest::newRow("neither") << QByteArray() << QByteArray() << 0.0f;
    QTest::newRow("negative thickness") << QByteArray("-1") << QByteArray("2") << -1.0f;
    QTest::newRow("negative spacing") << QByteArray("1") << QByteArray("-2") << -1.0f;
}

void TestDicom::sliceDistance()
{
    QFETCH(QByteArray, thickness);
    QFETCH(QByteArray, spacing);
    DicomFixture f;
    if (!thickness.isNull())
        f.text(0x0018, 0x0050, "DS", thickness);
    if (!spacing.isNull())
        f.text(0x0018, 0x0088, "DS", spacing);
    DICOMDoc doc(&core);
    QVERIFY(read(doc, withImage(f)));
    QTEST(doc.sliceDistance, "distance");
}

void TestDicom::imageDimensions_data()
{
    QTest::addColumn<QByteArray>("rows");
    QTest::addColumn<QByteArray>("columns");
    QTest::addColumn<QByteArray>("bits");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("nrOfRows");
    QTest::addColumn<int>("nrOfColumns");
    const QByteArray missing;
    const QByteArray two("\x02\x00", 2);
    const QByteArray three("\x03\x00", 2);
    const QByteArray zero("\x00\x00", 2);
    const QByteArray sixteen("\x10\x00", 2);
    QTest::newRow("2 x 3") << two << three << sixteen << true << 2 << 3;
    QTest::newRow("bits missing") << two << three << missing << true << 2 << 3;
    QTest::newRow("8 bits") << two << three << QByteArray("\x08\x00", 2) << false << 2 << 3;
    QTest::newRow("32 bits") << two << three << QByteArray("\x20\x00", 2) << false << 2 << 3;
    QTest::newRow("bits of 4 bytes")
        << two << three << QByteArray("\x10\0\0\0", 4) << false << 2 << 3;
    QTest::newRow("rows of 4 bytes")
        << QByteArray("\x02\0\0\0", 4) << three << sixteen << false << 2 << 3;
    QTest::newRow("empty columns") << two << QByteArray("") << sixteen << false << 2 << 3;
    QTest::newRow("no rows or columns") << missing << missing << sixteen << true << -1 << -1;
    QTest::newRow("no rows") << missing << three << sixteen << true << -1 << 3;
    QTest::newRow("no columns") << two << missing << sixteen << true << 2 << -1;
    QTest::newRow("zero rows") << zero << three << sixteen << true << 0 << 3;
    QTest::newRow("zero by zero") << zero << zero << sixteen << true << 0 << 0;
}

// Missing or zero dimensions give an empty image: nothing allocated, the
// pixel pointer null and both statistics 0.
void TestDicom::imageDimensions()
{
    QFETCH(QByteArray, rows);
    QFETCH(QByteArray, columns);
    QFETCH(QByteArray, bits);
    QFETCH(bool, ok);
    DicomFixture f;
    if (!rows.isNull())
        f.element(0x0028, 0x0010, "US", rows);
    if (!columns.isNull())
        f.element(0x0028, 0x0011, "US", columns);
    if (!bits.isNull())
        f.element(0x0028, 0x0100, "US", bits);
    f.pixels(samplePixels);
    DICOMDoc doc(&core);
    QCOMPARE(read(doc, f.file()), ok);
    if (!ok)
        return;
    QTEST(doc.nrOfRows, "nrOfRows");
    QTEST(doc.nrOfColumns, "nrOfColumns");
    if (doc.nrOfRows > 0 && doc.nrOfColumns > 0) {
        QCOMPARE(pixelsOf(doc), QList<qint16>({100, 200, 0, 258, 300, 50}));
    } else {
        QVERIFY(!doc.pixelData);
        QCOMPARE(doc.meanIntensity, 0.0f);
        QCOMPARE(doc.stdDevIntensity, 0.0f);
    }
}

void TestDicom::statistics()
{
    struct Case
    {
        QList<qint16> pixels;
        float mean;
        float stdDev;
    };
    // Only values above 99 count, with the count starting at 1.
    const QList<Case> cases = {{{0, 0, 0, 0, 0, 0}, 0.0f, 0.0f},
                               {{99, 50, -1, 0, 99, 1}, 0.0f, 0.0f},
                               {{1000, 1000, 1000, 0, 0, 0}, 750.0f, 433.01270f},
                               {{-32768, 32767, 0, 0, 0, 0}, 16383.5f, 16383.5f}};
    for (const Case &c : cases) {
        DicomFixture f;
        DICOMDoc doc(&core);
        QVERIFY(read(doc, withImage(f, c.pixels)));
        QCOMPARE(doc.meanIntensity, c.mean);
        QVERIFY(qAbs(doc.stdDevIntensity - c.stdDev) < 1e-2f);
        for (qint16 value : pixelsOf(doc))
            QVERIFY(value >= 0);
    }

    // A large image, past the blocks of the vectorised sums and with a tail.
    const int rows = 259, columns = 255;
    QList<qint16> pixels(rows * columns);
    quint32 seed = 12345;
    for (qint16 &p : pixels) {
        seed = seed * 1664525u + 1013904223u;
        p = qint16(seed >> 16);
    }
    pixels[0] = 32767;
    pixels[1] = -32768;
    double sum = 0, sumOfSquares = 0, count = 1;
    for (qint16 p : pixels) {
        if (p > 99) {
            sum += p;
            sumOfSquares += double(p) * p;
            ++count;
        }
    }
    const double mean = sum / count;
    // Both byte orders: the big-endian pixels are swapped in the same pass.
    for (const auto syntax :
         {DicomFixture::ExplicitLittleEndian, DicomFixture::ExplicitBigEndian}) {
        DicomFixture f(syntax);
        f.unsignedShort(0x0028, 0x0010, rows).unsignedShort(0x0028, 0x0011, columns).pixels(pixels);
        DICOMDoc doc(&core);
        QVERIFY(read(doc, f.file()));
        QCOMPARE(doc.meanIntensity, float(mean));
        QCOMPARE(doc.stdDevIntensity, float(std::sqrt(sumOfSquares / count - mean * mean)));
        const QList<qint16> clamped = pixelsOf(doc);
        for (int i = 0; i < pixels.size(); ++i)
            QCOMPARE(clamped[i], qMax<qint16>(0, pixels[i]));
    }
}

void TestDicom::sequences_data()
{
    QTest::addColumn<int>("syntax");
    QTest::addColumn<QByteArray>("sequence");
    QTest::addColumn<bool>("ok");

    for (int syntax = 0; syntax < 3; ++syntax) {
        const auto s = Syntax(syntax);
        const char *name = s == Syntax::ExplicitLittleEndian   ? "explicit little"
                           : s == Syntax::ImplicitLittleEndian ? "implicit little"
                                                               : "explicit big";
        DicomFixture plainItem(s);
        plainItem.text(0x0008, 0x1150, "UI", "1.2.3");
        DicomFixture plain(s);
        plain.sequence(0x0008, 0x1140, {plainItem.dataSet()});
        QTest::addRow("%s, plain", name) << syntax << plain.dataSet() << true;

        // Items whose values look like undefined lengths and delimiters.
        DicomFixture item(s);
        item.text(0x0008, 0x1150, "UI", "1.2.3")
            .element(0x0019, 0x1001, "SL", QByteArray(4, '\xFF'))
            .element(0x0019, 0x1002, "OB", QByteArray("\xFE\xFF\xDD\xE0\xFF\xFE\xE0\xDD", 8));
        DicomFixture flat(s);
        flat.sequence(0x0008, 0x1140, {item.dataSet(), item.dataSet()});
        QTest::addRow("%s, flat", name) << syntax << flat.dataSet() << true;

        DicomFixture inner(s);
        inner.sequence(0x0040, 0xA170, {item.dataSet()});
        DicomFixture nested(s);
        nested.sequence(0x0008, 0x1140, {inner.dataSet(), item.dataSet()});
        QTest::addRow("%s, nested", name) << syntax << nested.dataSet() << true;

        DicomFixture definedItem(s);
        definedItem.header(0x0008, 0x1140, "SQ", 0xFFFFFFFF)
            .header(0xFFFE, 0xE000, "", quint32(item.dataSet().size()))
            .bytes(item.dataSet())
            .header(0xFFFE, 0xE0DD, "", 0);
        QTest::addRow("%s, item of defined length", name)
            << syntax << definedItem.dataSet() << true;

        DicomFixture defined(s);
        defined.element(0x0008, 0x1140, "SQ", nested.dataSet());
        QTest::addRow("%s, sequence of defined length", name)
            << syntax << defined.dataSet() << true;

        DicomFixture open(s);
        open.header(0x0008, 0x1140, "SQ", 0xFFFFFFFF).header(0xFFFE, 0xE000, "", 0xFFFFFFFF);
        QTest::addRow("%s, no delimiter", name) << syntax << open.dataSet() << false;

        DicomFixture itemPastEnd(s);
        itemPastEnd.header(0x0008, 0x1140, "SQ", 0xFFFFFFFF).header(0xFFFE, 0xE000, "", 0x7FFFFFFF);
        QTest::addRow("%s, item past the end", name) << syntax << itemPastEnd.dataSet() << false;
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
    QTest::addRow("UN of undefined length")
        << int(Syntax::ExplicitLittleEndian) << unknown.dataSet() << true;
}

// A sequence before the image group is passed over and the walk goes on
// after it; one that never ends fails the read.
void TestDicom::sequences()
{
    QFETCH(int, syntax);
    QFETCH(QByteArray, sequence);
    QFETCH(bool, ok);
    DicomFixture f{Syntax(syntax)};
    f.text(0x0008, 0x0060, "CS", "MR").bytes(sequence).text(0x0010, 0x0010, "PN", "Doe");
    const QByteArray data = withImage(f);
    DICOMDoc doc(&core);
    QCOMPARE(read(doc, data), ok);
    if (ok) {
        QCOMPARE(QByteArray(doc.patientName), "Doe ");
        QCOMPARE(pixelsOf(doc), QList<qint16>({100, 200, 0, 258, 300, 50}));
    }
}

void TestDicom::elementLengths_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("ok");
    auto image = [](DicomFixture f) { return withImage(f); };

    // The pixel data tag must be found within the first 200 KB: take it from
    // a value before the long element, the real one lies beyond.
    auto afterDecoy = [](quint32 length) {
        DicomFixture f;
        f.element(0x0019, 0x1010, "OB",
                  QByteArray("\xE0\x7F\x10\x00OW\0\0\x0C\0\0\0", 12) + QByteArray(12, '\x01'));
        f.element(0x0019, 0x1011, "OB", QByteArray(length, 'x'));
        return withImage(f);
    };
    QTest::newRow("2,000,000 bytes before the image group") << afterDecoy(2000000) << false;
    QTest::newRow("1,050,002 bytes") << afterDecoy(1050002) << false;
    QTest::newRow("1,050,000 bytes") << afterDecoy(1050000) << true;
    QTest::newRow("length past the end")
        << image(DicomFixture().header(0x0019, 0x1010, "OB", 1000000)) << false;

    DicomFixture hugePixels;
    hugePixels.unsignedShort(0x0028, 0x0010, 2)
        .unsignedShort(0x0028, 0x0011, 3)
        .header(0x7FE0, 0x0010, "OW", 2000000)
        .bytes(QByteArray(12, '\x01'));
    QTest::newRow("pixel data of 2,000,000 bytes") << hugePixels.file() << false;

    // The element that ends the walk is not read, so an undefined length there
    // (compressed pixel data) is fine.
    DicomFixture encapsulated;
    encapsulated.unsignedShort(0x0028, 0x0010, 2)
        .unsignedShort(0x0028, 0x0011, 3)
        .header(0x7FE0, 0x0010, "OW", 0xFFFFFFFF)
        .bytes(QByteArray(12, '\x01'));
    QTest::newRow("pixel data of undefined length") << encapsulated.file() << true;

    QTest::newRow("two odd lengths") << image(DicomFixture()
                                                  .element(0x0019, 0x1010, "LO", "abc")
                                                  .element(0x0010, 0x0010, "PN", "Doe^J"))
                                     << true;
    QTest::newRow("zero lengths")
        << image(DicomFixture().element(0x0019, 0x1010, "LO", "").element(0x0010, 0x0010, "PN", ""))
        << true;

    // Values with the long length form, not only OB, OW, UN and SQ.
    DicomFixture longForms;
    for (const char *vr : {"OD", "OF", "OL", "OV", "SV", "UC", "UR", "UT", "UV"})
        longForms.element(0x0019, 0x1010, vr, QByteArray(0x102, 'v'));
    QTest::newRow("long length forms") << image(longForms) << true;

    // A pixel data tag inside a value is found, but the walk runs to the end
    // of the file without reaching the image group.
    DicomFixture hidden;
    hidden.unsignedShort(0x0028, 0x0010, 1)
        .unsignedShort(0x0028, 0x0011, 1)
        .element(0x0019, 0x1010, "OB", QByteArray("\xE0\x7F\x10\x00OW\0\0\2\0\0\0\1\0", 14));
    QTest::newRow("walk without end") << hidden.file() << false;
}

void TestDicom::elementLengths()
{
    QFETCH(QByteArray, data);
    DICOMDoc doc(&core);
    const bool ok = read(doc, data);
    QTEST(ok, "ok");
    if (ok) {
        QCOMPARE(doc.nrOfRows, 2);
        QCOMPARE(doc.nrOfColumns, 3);
    }
}

void TestDicom::pixelSearch_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QList<qint16>>("pixels");
    const QList<qint16> image = {100, 200, 0, 258, 300, 50};

    DicomFixture plain;
    const QByteArray full = withImage(plain);
    QTest::newRow("complete") << full << true << image;
    QTest::newRow("one byte short") << full.chopped(1) << false << QList<qint16>();
    QTest::newRow("one byte more") << full + 'x' << true << image;

    DicomFixture noPixels;
    noPixels.unsignedShort(0x0028, 0x0010, 2).unsignedShort(0x0028, 0x0011, 3);
    QTest::newRow("no pixel data") << noPixels.file() << false << QList<qint16>();

    DicomFixture huge;
    huge.unsignedShort(0x0028, 0x0010, 65535).unsignedShort(0x0028, 0x0011, 65535).pixels({1, 2});
    QTest::newRow("65535 x 65535 in a small file") << huge.file() << false << QList<qint16>();

    // The last tag found wins: a decoy inside an earlier value is passed over.
    DicomFixture decoy;
    decoy.element(0x0019, 0x1010, "OB", QByteArray("\xE0\x7F\x10\x00OW\0\0\2\0\0\0\7\0\0\0", 16));
    QTest::newRow("decoy before the pixels") << withImage(decoy) << true << image;

    // The search ends after 100,001 byte pairs, the last at offset 200,000.
    auto tagAt = [](int offset) {
        DicomFixture probe;
        probe.element(0x0019, 0x1010, "OB", "xx");
        const int base = withImage(probe).lastIndexOf(QByteArray("\xE0\x7F\x10\x00", 4));
        DicomFixture f;
        f.element(0x0019, 0x1010, "OB", QByteArray(2 + offset - base, 'x'));
        return withImage(f);
    };
    QTest::newRow("pixel tag at offset 200,000") << tagAt(200000) << true << image;
    QTest::newRow("pixel tag at offset 200,002") << tagAt(200002) << false << QList<qint16>();

    QByteArray small = DicomFixture(Syntax::ImplicitLittleEndian)
                           .unsignedShort(0x0028, 0x0010, 1)
                           .unsignedShort(0x0028, 0x0011, 1)
                           .pixels({9})
                           .dataSet();
    QTest::newRow("shorter than 128 bytes") << small << false << QList<qint16>();
    small.insert(0, DicomFixture(Syntax::ImplicitLittleEndian)
                        .element(0x0019, 0x1010, "OB", QByteArray(128 - 8 - small.size(), 'x'))
                        .dataSet());
    QTest::newRow("128 bytes") << small << true << QList<qint16>({9});
}

void TestDicom::pixelSearch()
{
    QFETCH(QByteArray, data);
    DICOMDoc doc(&core);
    QTEST(read(doc, data), "ok");
    QTEST(pixelsOf(doc), "pixels");
}

// The meta group may be big-endian or implicit; a first group other than 0002
// after "DICM" fails.
void TestDicom::metaGroup()
{
    const QByteArray transferSyntax("1.2.840.10008.1.2.2\0", 20);
    DicomFixture big(Syntax::ExplicitBigEndian);
    withImage(big);
    FixtureStream bigMeta(true);
    bigMeta.bytes(QByteArray(128, '\0')).bytes("DICM");
    bigMeta.u16(0x0002).u16(0x0010).bytes("UI").u16(20).bytes(transferSyntax);
    DICOMDoc doc(&core);
    QVERIFY(read(doc, bigMeta.data + big.dataSet()));
    QCOMPARE(doc.metaByteOrder, 2);
    QCOMPARE(doc.byteOrder, 2);
    QCOMPARE(pixelsOf(doc), QList<qint16>({100, 200, 0, 258, 300, 50}));

    DicomFixture implicit(Syntax::ImplicitLittleEndian);
    withImage(implicit);
    FixtureStream implicitMeta;
    implicitMeta.bytes(QByteArray(128, '\0')).bytes("DICM");
    implicitMeta.u16(0x0002).u16(0x0010).u32(18).bytes(QByteArray("1.2.840.10008.1.2\0", 18));
    DICOMDoc implicitDoc(&core);
    QVERIFY(read(implicitDoc, implicitMeta.data + implicit.dataSet()));
    QCOMPARE(implicitDoc.metaByteOrder, 1);
    QCOMPARE(implicitDoc.nrOfColumns, 3);

    QByteArray wrongGroup = fullImage(Syntax::ExplicitLittleEndian).file();
    wrongGroup[132] = 0x08;
    DICOMDoc wrongDoc(&core);
    QVERIFY(!read(wrongDoc, wrongGroup));
}

void TestDicom::truncated()
{
    for (int syntax = 0; syntax < 3; ++syntax) {
        const QByteArray full = fullImage(Syntax(syntax)).file();
        for (int n = 0; n < full.size(); ++n) {
            DICOMDoc doc(&core);
            QVERIFY2(!read(doc, full.left(n)), qPrintable(QString::number(n)));
        }
    }
}

void TestDicom::files()
{
    QVERIFY(!core.getDICOMDoc());
    const QString good = write(fullImage(Syntax::ExplicitLittleEndian).file());
    QVERIFY(core.loadDICOM(good));
    DICOMDoc *loaded = core.getDICOMDoc();
    QVERIFY(loaded);
    QCOMPARE(loaded->instanceNumber, 42);

    const QString fifo = dir.filePath("fifo.dcm");
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString &bad : {dir.filePath("missing.dcm"), dir.path(), fifo,
                               write(QByteArray("DICM")), write(QByteArray())}) {
        QVERIFY2(!core.loadDICOM(bad), qPrintable(bad));
        QCOMPARE(core.getDICOMDoc(), loaded);
    }

    DicomFixture other;
    other.text(0x0020, 0x0013, "IS", "43");
    QVERIFY(core.loadDICOM(write(withImage(other))));
    QCOMPARE(core.getDICOMDoc()->instanceNumber, 43);
}

// A file larger than memory fails to load instead of ending the process.
void TestDicom::fileTooLargeForMemory()
{
#ifdef __SANITIZE_ADDRESS__
    QSKIP("the sanitizer's allocator aborts on huge allocations by design");
#endif
    // With overcommit always on, the allocation could succeed and the read of
    // the whole file take very long.
    QFile overcommit("/proc/sys/vm/overcommit_memory");
    if (!overcommit.open(QIODevice::ReadOnly) || overcommit.readAll().trimmed() == "1")
        QSKIP("needs the kernel to refuse allocations beyond memory");
    const QString name = dir.filePath("huge.dcm");
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(qint64(1) << 40))
        QSKIP("no sparse file of 1 TB here");
    file.close();
    DICOMDoc doc(&core);
    QVERIFY(!doc.readDICOM(name));
    QFile::remove(name);
}

namespace {

// The data set handed to dump2dcm: every kept attribute, texts of odd length
// (padded by the encoder), a private unlimited text and a nested sequence.
const char dcmtkDump[] = R"((0008,0008) CS [DERIVED\SECONDARY\M]
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
(0028,0010) US 3
(0028,0011) US 4
(0028,0030) DS [0.9375\0.5]
(0028,0100) US 16
(7fe0,0010) OW 0064\00c8\fffb\0102\7fff\8000\0000\0063\03e8\1234\abcd\0001
)";

// The top-level elements of a dcmdump listing by tag, and the transfer
// syntax of the data set.
struct DcmtkListing
{
    QMap<quint32, QString> values;
    QString transferSyntax;
};

DcmtkListing parseDcmdump(const QString &output)
{
    static const QRegularExpression element(
        R"(^\(([0-9a-f]{4}),([0-9a-f]{4})\) [A-Za-z?]{2} (\[(.*)\]|\S+)\s+#)");
    static const QRegularExpression syntax("^# Used TransferSyntax: (.*)$");
    DcmtkListing listing;
    for (const QString &line : output.split('\n')) {
        const auto e = element.match(line);
        if (e.hasMatch()) {
            const quint32 tag =
                e.captured(1).toUInt(nullptr, 16) << 16 | e.captured(2).toUInt(nullptr, 16);
            listing.values[tag] = e.captured(3).startsWith('[') ? e.captured(4) : e.captured(3);
        }
        const auto s = syntax.match(line);
        if (s.hasMatch())
            listing.transferSyntax = s.captured(1);
    }
    return listing;
}

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

} // namespace

// DCMTK encodes one data set in every transfer syntax, with and without
// undefined lengths and preamble; each file reads as dcmdump lists it.
void TestDicom::matchesDcmtk()
{
    const QString dump2dcm = QStandardPaths::findExecutable("dump2dcm");
    const QString dcmconv = QStandardPaths::findExecutable("dcmconv");
    const QString dcmdump = QStandardPaths::findExecutable("dcmdump");
    if (dump2dcm.isEmpty() || dcmconv.isEmpty() || dcmdump.isEmpty())
        QSKIP("DCMTK (dump2dcm, dcmconv, dcmdump) is not installed");

    const QString dumpName = dir.filePath("dcmtk.txt");
    QFile dumpFile(dumpName);
    QVERIFY(dumpFile.open(QIODevice::WriteOnly));
    dumpFile.write(dcmtkDump);
    dumpFile.close();
    const QString source = dir.filePath("dcmtk.dcm");
    QVERIFY(runTool(dump2dcm, {"-q", dumpName, source}));

    const QList<QStringList> encodings = {
        {"+te"},       {"+ti"},       {"+tb"},       {"+te", "-e"},
        {"+ti", "-e"}, {"+tb", "-e"}, {"+ti", "-F"}, {"+tb", "-F", "-e"}};
    const QList<quint32> textTags = {0x00080008, 0x00080060, 0x00080070, 0x00080080, 0x00081030,
                                     0x0008103E, 0x00081090, 0x00100010, 0x00180080, 0x00180087,
                                     0x00185100, 0x00200032, 0x00200037, 0x00200105};
    const QList<quint32> numberTags = {0x00180050, 0x00180088, 0x00200011, 0x00200012, 0x00200013};
    const QList<quint32> imageTags = {0x00280010, 0x00280011, 0x00280030, 0x00280100, 0x7FE00010};
    for (const QStringList &options : encodings) {
        const QString name = dir.filePath(QString("dcmtk%1.dcm").arg(options.join("")));
        QVERIFY(runTool(dcmconv, QStringList{"-q"} + options + QStringList{source, name}));
        QString dump;
        QVERIFY(runTool(dcmdump, {"-q", "+L", name}, &dump));
        const DcmtkListing listing = parseDcmdump(dump);
        for (quint32 tag : textTags + numberTags + imageTags)
            QVERIFY2(listing.values.contains(tag), qPrintable(QString::number(tag, 16)));

        DICOMDoc doc(&core);
        QVERIFY2(doc.readDICOM(name), qPrintable(name));
        QCOMPARE(doc.byteOrder, listing.transferSyntax.startsWith("Big") ? 2 : 1);
        QCOMPARE(doc.explicitVR, listing.transferSyntax.endsWith("Explicit"));
        for (quint32 tag : textTags) {
            QByteArray text = textOf(doc, tag);
            QCOMPARE(text.size() % 2, 0);
            while (text.endsWith(' '))
                text.chop(1);
            QCOMPARE(QString::fromLatin1(text), listing.values.value(tag));
        }
        for (quint32 tag : numberTags)
            QCOMPARE(numberOf(doc, tag), listing.values.value(tag).toDouble());
        QCOMPARE(doc.nrOfRows, listing.values.value(0x00280010).toInt());
        QCOMPARE(doc.nrOfColumns, listing.values.value(0x00280011).toInt());
        QCOMPARE(doc.bitsAllocated, listing.values.value(0x00280100).toInt());
        const QStringList spacing = listing.values.value(0x00280030).split('\\');
        QCOMPARE(doc.rowSpacing, spacing.value(0).toFloat());
        QCOMPARE(doc.columnSpacing, spacing.value(1).toFloat());

        QList<qint16> pixels;
        for (const QString &word : listing.values.value(0x7FE00010).split('\\'))
            pixels << qMax<qint16>(0, qint16(word.toUShort(nullptr, 16)));
        QCOMPARE(pixels.size(), 12);
        QCOMPARE(pixelsOf(doc), pixels);
    }
}

QTEST_GUILESS_MAIN(TestDicom)
#include "tst_dicom.moc"
