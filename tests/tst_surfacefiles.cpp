#include "Documents.h"
#include "FreeSurferFiles.h"
#include "GiftiFile.h"
#include "HeaderTexts.h"
#include "Icosphere.h"
#include "SrfFixture.h"
#include "SurfaceImport.h"
#include "SurfaceMap.h"
#include "SurfaceMaps.h"
#include "SurfaceMesh.h"

#include <QBuffer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <cmath>
#include <cstring>
#include <optional>

namespace {

QString fixture(const QString &name)
{
    return QStringLiteral(CXV_SURFACE_FIXTURES "/") + name;
}

// What nibabel read back from each file, or from the one named: file, field,
// values, by tabs.
QList<QStringList> expectedLines(const QString &only = QString())
{
    QFile file(fixture("expected.tsv"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QStringList> lines;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).chopped(1);
        if (!line.isEmpty() && (only.isEmpty() || line.startsWith(only + '\t')))
            lines << line.split('\t');
    }
    return lines;
}

QList<double> numbers(const QString &text)
{
    QList<double> values;
    for (const QString &n : text.split(' ', Qt::SkipEmptyParts))
        values << n.toDouble();
    return values;
}

// Exact for binary data; nibabel's ASCII numbers may round in the last place.
template <typename T>
void compareValues(const std::vector<T> &read, const QString &expected, bool approximate)
{
    const QList<double> values = numbers(expected);
    QCOMPARE(qsizetype(read.size()), values.size());
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (approximate
                ? std::abs(read[size_t(i)] - values[i]) > 1e-6 * std::max(1.0, std::abs(values[i]))
                : double(read[size_t(i)]) != double(T(values[i])))
            QFAIL(qPrintable(QString("value %1 is %2, nibabel read %3")
                                 .arg(i)
                                 .arg(double(read[size_t(i)]), 0, 'g', 9)
                                 .arg(values[i], 0, 'g', 9)));
    }
}

// Big-endian words, as FreeSurfer writes them.
QByteArray words(std::initializer_list<qint64> values)
{
    QByteArray bytes;
    for (const qint64 v : values) {
        char b[4];
        qToBigEndian(quint32(v), b);
        bytes.append(b, 4);
    }
    return bytes;
}

QByteArray floats(std::initializer_list<float> values)
{
    QByteArray bytes;
    for (const float v : values) {
        quint32 bits;
        memcpy(&bits, &v, 4);
        bytes += words({bits});
    }
    return bytes;
}

// A name as FreeSurfer writes it, with its terminating zero.
QByteArray name(const char *text)
{
    return QByteArray(text, qsizetype(strlen(text) + 1));
}

const QByteArray surfaceMagic("\xff\xff\xfe", 3);
const QByteArray valuesMagic("\xff\xff\xff", 3);

// A tetrahedron as FreeSurfer writes it, with its counts and lists as given.
QByteArray surface(qint64 vertices = 4, qint64 triangles = 4,
                   const QByteArray &xyz = floats({0, 0, 0, 10, 0, 0, 0, 10, 0, 0, 0, 10}),
                   const QByteArray &faces = words({0, 2, 1, 0, 1, 3, 0, 3, 2, 1, 2, 3}))
{
    return surfaceMagic + "created by test\n\n" + words({vertices, triangles}) + xyz + faces;
}

// An annotation of four vertices with a version 2 table of two entries.
QByteArray annotation(const QByteArray &pairs = words({0, 255, 1, 255, 2, 65280, 3, 0}),
                      const QByteArray &table = words({1, -2, 2, 0, 2}) + words({0, 4}) +
                                                name("red") + words({255, 0, 0, 0, 1, 6}) +
                                                name("green") + words({0, 255, 0, 0}))
{
    return words({4}) + pairs + table;
}

// A GIfTI file of one array of three values, attributes replaced as given.
QByteArray gifti(const QList<QPair<QByteArray, QByteArray>> &changes, const QByteArray &data,
                 const QByteArray &after = QByteArray())
{
    QMap<QByteArray, QByteArray> attributes = {{"Intent", "NIFTI_INTENT_SHAPE"},
                                               {"DataType", "NIFTI_TYPE_FLOAT32"},
                                               {"Dimensionality", "1"},
                                               {"Dim0", "3"},
                                               {"Encoding", "ASCII"},
                                               {"Endian", "LittleEndian"},
                                               {"ExternalFileName", ""}};
    for (const auto &[key, value] : changes)
        attributes[key] = value;
    QByteArray text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<GIFTI Version=\"1.0\">\n"
                      "<DataArray";
    for (auto a = attributes.cbegin(); a != attributes.cend(); ++a)
        text += " " + a.key() + "=\"" + a.value() + "\"";
    return text + ">\n<Data>" + data + "</Data>\n</DataArray>\n" + after + "</GIFTI>\n";
}

QByteArray zlibbed(const QByteArray &bytes)
{
    return qCompress(bytes).mid(4);
}

QByteArray littleFloats(std::initializer_list<float> values)
{
    return QByteArray(reinterpret_cast<const char *>(std::data(values)),
                      qsizetype(values.size() * 4));
}

} // namespace

class TestSurfaceFiles : public QObject
{
    Q_OBJECT

private slots:
    void matchesNibabel_data();
    void matchesNibabel();
    void readsGiftiDataInAnyXmlForm_data();
    void readsGiftiDataInAnyXmlForm();
    void refusesBrokenFiles_data();
    void refusesBrokenFiles();
    void meshesAsTheSrfReaderHasThem_data();
    void meshesAsTheSrfReaderHasThem();
    void filesOfValuesAndLabels_data();
    void filesOfValuesAndLabels();
    void surfaceDocuments();
};

void TestSurfaceFiles::matchesNibabel_data()
{
    QTest::addColumn<QString>("file");
    QStringList files;
    for (const QStringList &line : expectedLines()) {
        if (!files.contains(line[0]))
            files << line[0];
    }
    // FreeSurfer: two surfaces, two curvature files, two annotations; GIfTI:
    // six surfaces and a column-major one, two shapes, three statistics, two
    // label files.
    QCOMPARE(files.size(), 20);
    for (const QString &file : files)
        QTest::newRow(qPrintable(file)) << file;
}

// Every field nibabel read from the file the readers read alike, GIfTI files
// both with their data taken from the bytes and through the XML reader; and
// cxvinfo prints it: counts, the created-by line, the volume lines, the
// values' range, the label tables and the metadata.
void TestSurfaceFiles::matchesNibabel()
{
    QFETCH(QString, file);
    const QList<QStringList> expected = expectedLines(file);
    QProcess tool;
    tool.start(QCoreApplication::applicationDirPath() + "/cxvinfo", {"--json", fixture(file)});
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(tool.exitCode(), 0);
    const QJsonObject info = QJsonDocument::fromJson(tool.readAllStandardOutput()).object();
    QVERIFY(info["ok"].toBool());
    const auto near = [](double a, double b) {
        return std::abs(a - b) <= 1e-6 * std::max(1.0, std::abs(b));
    };
    const bool isGifti = GiftiFile::isGiftiFileName(file);
    const bool approximate = file.contains("ascii");
    for (const bool direct : {true, false}) {
        if (!isGifti && !direct)
            break;
        GiftiFile gifti;
        FreeSurferReader freeSurfer;
        std::optional<SurfaceGeometry> geometry;
        std::vector<PerVertexValues> values;
        std::optional<VertexLabels> labels;
        if (isGifti) {
            gifti.setDataTakenDirectly(direct);
            QVERIFY2(gifti.read(fixture(file)), qPrintable(gifti.failureReason()));
            geometry = gifti.surface();
            values = gifti.perVertexValues();
            labels = gifti.vertexLabels();
        } else if (file.endsWith(".annot")) {
            labels = freeSurfer.readAnnotation(fixture(file));
            QVERIFY2(labels, qPrintable(freeSurfer.failureReason()));
        } else if (file.endsWith(".curv") || file.endsWith(".thickness")) {
            const auto read = freeSurfer.readValues(fixture(file));
            QVERIFY2(read, qPrintable(freeSurfer.failureReason()));
            values.push_back(*read);
        } else {
            geometry = freeSurfer.readSurface(fixture(file));
            QVERIFY2(geometry, qPrintable(freeSurfer.failureReason()));
        }

        int volumeLines = 0, valueSets = 0;
        for (const QStringList &line : std::as_const(expected)) {
            const QString field = line[1];
            if (field == "counts") {
                QVERIFY(geometry);
                QCOMPARE(geometry->vertexCount(), line[2].toLongLong());
                QCOMPARE(geometry->faceCount(), line[3].toLongLong());
                QCOMPARE(info["nrOfVertices"].toInt(), line[2].toInt());
                QCOMPARE(info["nrOfTriangles"].toInt(), line[3].toInt());
                QCOMPARE(info["No. of vertices"].toString(), line[2]);
            } else if (field == "xyz") {
                compareValues(geometry->xyz, line[2], approximate);
            } else if (field == "faces") {
                compareValues(geometry->faces, line[2], false);
            } else if (field == "created") {
                QCOMPARE(geometry->createdBy, line[2]);
                QCOMPARE(info["createdBy"].toString(), line[2]);
            } else if (field == "volinfo") {
                // The line as written, its key and its values as nibabel read them.
                QVERIFY(volumeLines < geometry->volumeInfo.size());
                QVERIFY(info["volumeInfo"].toArray()[volumeLines].toString().startsWith(line[2]));
                const QStringList parts = geometry->volumeInfo[volumeLines++].split('=');
                QCOMPARE(parts.size(), 2);
                QCOMPARE(parts[0].trimmed(), line[2]);
                if (line[2] == "valid" || line[2] == "filename")
                    QCOMPARE(parts[1].trimmed(), line[3]);
                else
                    QCOMPARE(numbers(parts[1]), numbers(line[3]));
            } else if (field == "facecount") {
                QCOMPARE(values.at(0).faceCount, line[2].toLongLong());
            } else if (field == "values") {
                const size_t k = line[2].toUInt();
                QVERIFY(k < values.size());
                QCOMPARE(values[k].name, line[3]);
                QCOMPARE(values[k].intentCode, line[4].toInt());
                compareValues(values[k].values, line[5], approximate);
                ++valueSets;
                const QList<double> all = numbers(line[5]);
                const QJsonObject figures =
                    isGifti ? info["values"].toArray()[line[2].toInt()].toObject() : info;
                if (isGifti)
                    QCOMPARE(figures["name"].toString(), line[3]);
                QCOMPARE(figures["nrOfVertices"].toInt(), int(all.size()));
                QVERIFY(near(figures["min"].toDouble(), *std::min_element(all.begin(), all.end())));
                QVERIFY(near(figures["max"].toDouble(), *std::max_element(all.begin(), all.end())));
            } else if (field == "labels") {
                QVERIFY(labels);
                std::vector<int> keys;
                for (const int position : labels->labelOfVertex)
                    keys.push_back(position < 0 ? -1 : labels->table.at(size_t(position)).key);
                compareValues(keys, line[2], false);
            } else if (field == "label") {
                const auto &table = labels->table;
                const auto entry = std::find_if(table.begin(), table.end(), [&](const auto &l) {
                    return l.key == line[2].toInt();
                });
                QVERIFY(entry != table.end());
                QCOMPARE(QList<int>({entry->red, entry->green, entry->blue, entry->alpha}),
                         QList<int>(
                             {line[3].toInt(), line[4].toInt(), line[5].toInt(), line[6].toInt()}));
                QCOMPARE(entry->name, line[7]);
                const QJsonArray lines = info["labels"].toArray();
                const auto printed = std::find_if(lines.begin(), lines.end(), [&](const auto &e) {
                    return e.toObject()["key"].toInt() == line[2].toInt();
                });
                QVERIFY(printed != lines.end());
                QCOMPARE(printed->toObject()["name"].toString(), line[7]);
                QCOMPARE(printed->toObject()["rgba"].toArray(),
                         QJsonArray({entry->red, entry->green, entry->blue, entry->alpha}));
            } else if (field == "meta") {
                QVERIFY(gifti.metaData().contains(qMakePair(line[2], line[3])));
                QVERIFY(info["metaData"].toArray().contains(
                    QJsonObject{{"name", line[2]}, {"value", line[3]}}));
            } else {
                QFAIL(qPrintable("unknown field " + field));
            }
        }
        if (geometry)
            QCOMPARE(volumeLines, geometry->volumeInfo.size());
        QCOMPARE(info["volumeInfo"].toArray().size(), volumeLines);
        QCOMPARE(valueSets, int(values.size()));
    }
}

void TestSurfaceFiles::readsGiftiDataInAnyXmlForm_data()
{
    QTest::addColumn<QByteArray>("file");
    const QList<QPair<QByteArray, QByteArray>> base64 = {{"Encoding", "Base64Binary"}};
    const QByteArray data = littleFloats({1.5f, -2.0f, 1e-3f}).toBase64();
    QTest::newRow("ASCII over lines") << gifti({}, "\n  1.5\n -2.0\r\n\t+1e-3\n");
    QTest::newRow("ASCII in CDATA") << gifti({}, "<![CDATA[1.5 -2 0.001]]>");
    QTest::newRow("ASCII with a character reference") << gifti({}, "1.5&#32;-2&#x20;0.001");
    QTest::newRow("base64 in lines, padded") << gifti(base64, data.left(5) + "\n" + data.mid(5));
    QTest::newRow("base64 unpadded") << gifti(base64, QByteArray(data).replace("=", ""));
    QTest::newRow("base64 spaced before </Data >")
        << gifti(base64, data + "  ").replace("</Data>", "</Data\n>");
    // 1.5, -2 and 0.001 as gzip writes them.
    QTest::newRow("gzip header instead of zlib") << gifti(
        {{"Encoding", "GZipBase64Binary"}},
        QByteArray::fromHex("1f8b080000000000020363603860cfc0c070205fa8d90a0067adb2b10c000000")
            .toBase64());
    QTest::newRow("markup in a comment and an attribute")
        << gifti({{"Note", "a > b"}}, "1.5 -2 0.001")
               .replace("<GIFTI Version=\"1.0\">",
                        "<!-- <Data>9 9 9</Data> --><GIFTI Version=\"1.0\"><?pi <Data>?>");
    QTest::newRow("a Data element outside an array")
        << gifti({}, "1.5 -2 0.001", "<Extra><Data>not read</Data></Extra>");
    // "+-" is UTF-7's '+'; the bytes are not the characters.
    QTest::newRow("declared in UTF-7")
        << gifti({}, "1.5 -2 +-1e-3").replace("\"UTF-8\"", "\"UTF-7\"");
    QTest::newRow("doctype with an internal subset")
        << gifti({}, "1.5 -2 0.001")
               .replace("<GIFTI", "<!DOCTYPE GIFTI [ <!ENTITY x \"<Data>\"> ]>\n<GIFTI");
}

// The values of the array are the same however plain XML holds them, with
// its data taken from the file's bytes or through the XML reader.
void TestSurfaceFiles::readsGiftiDataInAnyXmlForm()
{
    QFETCH(QByteArray, file);
    for (const bool direct : {true, false}) {
        GiftiFile gifti;
        gifti.setDataTakenDirectly(direct);
        QVERIFY2(gifti.readContents(file), qPrintable(gifti.failureReason()));
        QCOMPARE(gifti.arrays().size(), size_t(1));
        QCOMPARE(gifti.arrays()[0].floats, std::vector<float>({1.5f, -2.0f, 1e-3f}));
    }
}

void TestSurfaceFiles::refusesBrokenFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    const auto row = [](const char *name, const QByteArray &bytes, const QString &reason) {
        QTest::newRow(name) << bytes << reason;
    };

    const QByteArray tetrahedron = surface();
    const QByteArray corners = floats({0, 0, 0, 10, 0, 0, 0, 10, 0, 0, 0, 10});
    const QByteArray pairs = words({0, 255, 1, 255, 2, 65280, 3, 0});
    row("surface: a directory", QByteArray(), "not a regular file");
    row("surface: empty file", QByteArray(),
        "not a readable FreeSurfer surface (cut short in its header)");
    row("surface: another magic", QByteArray("\x12\x34\x56\0\0\0", 6),
        "not a FreeSurfer surface (magic 0x123456)");
    row("surface: curvature", valuesMagic + words({4, 4, 1}) + floats({0, 0, 0, 0}),
        "not a FreeSurfer surface but values per vertex (magic 0xFFFFFF)");
    row("surface: quadrangles", QByteArray("\xff\xff\xfd\0\0\4\0\0\1", 9),
        "a FreeSurfer quadrangle surface, which the viewer does not read");
    row("surface: created-by line without its end",
        surfaceMagic + "created by test\n" + words({4, 4}),
        "not a readable FreeSurfer surface (its created-by line has no end)");
    row("surface: cut short in the counts", tetrahedron.left(3 + 17 + 6),
        "not a readable FreeSurfer surface (cut short in its header)");
    row("surface: vertices beyond the file", surface(0xFFFFFFFF),
        "a surface of 4294967295 vertices and 4 triangles is longer than the file: they need "
        "51539607588 bytes, 96 are left");
    row("surface: a byte short", tetrahedron.chopped(1),
        "a surface of 4 vertices and 4 triangles is longer than the file: they need 96 bytes, "
        "95 are left");
    row("surface: a corner beyond the vertices",
        surface(4, 4, corners, words({0, 2, 1, 0, 1, 3, 0, 3, 2, 1, 2, 4})),
        "triangle 3 has a corner 4, which is no vertex of the 4");
    row("surface: a negative corner",
        surface(4, 4, corners, words({0, 2, 1, -1, 1, 3, 0, 3, 2, 1, 2, 3})),
        "triangle 1 has a corner -1, which is no vertex of the 4");
    row("surface: a vertex at no position",
        surface(4, 4, floats({0, 0, 0, 10, 0, 0, NAN, 10, 0, 0, 0, 10})),
        "vertex 2 is at no position (nan, 10, 0)");
    row("surface: a vertex a hundred metres out",
        surface(4, 4, floats({0, 0, 0, 10, 0, -100001, 0, 10, 0, 0, 0, 10})),
        "vertex 1 lies at (10, 0, -100001), beyond ±100000 mm");
    row("surface: no triangles", surface(4, 0), "an empty surface: 4 vertices and 0 triangles");
    row("surface: all at one point", surface(4, 4, floats({1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3})),
        "every vertex is at one point");

    row("curvature: another magic", QByteArray("\0\0\4\0\0\4", 6) + words({1, 2}),
        "not a FreeSurfer curvature file (magic 0x000004)");
    row("curvature: cut short in the header", valuesMagic + words({4, 4}),
        "not a readable FreeSurfer curvature file (cut short in its header)");
    row("curvature: three values per vertex", valuesMagic + words({4, 4, 3}) + floats({0, 0, 0, 0}),
        "3 values per vertex where curvature files have one");
    row("curvature: vertices beyond the file",
        valuesMagic + words({0xFFFFFFFF, 4, 1}) + floats({0, 0, 0, 0}),
        "values of 4294967295 vertices are longer than the file: they need 17179869180 bytes, "
        "16 are left");
    row("curvature: no vertices", valuesMagic + words({0, 4, 1}),
        "an empty file: values of no vertex");

    row("annotation: vertices beyond the file", words({1000000}) + words({0, 0}),
        "an annotation of 1000000 vertices is longer than the file: it needs 8000004 bytes, 8 "
        "are left");
    row("annotation: a pair for a vertex beyond",
        annotation(words({0, 255, 1, 255, 7, 65280, 3, 0})),
        "annotation entry 2 is for vertex 7, not one of the 4");
    row("annotation: no colour table", annotation(pairs, words({0})),
        "an annotation without its colour table (tag 0)");
    row("annotation: cut before the table", annotation(pairs, words({1})),
        "not a readable FreeSurfer annotation (cut short)");
    row("annotation: table version 3", annotation(pairs, words({1, -3})),
        "a colour table of version 3, which the viewer does not read");
    row("annotation: entries beyond the file", annotation(pairs, words({1, -2, 2, 0, 1000000000})),
        "a colour table of 1000000000 entries is longer than the file");
    row("annotation: a name beyond the file",
        annotation(pairs,
                   words({1, -2, 2, 0, 1, 0, 0x7FFFFFF0}) + name("red") + words({255, 0, 0, 0})),
        "not a readable FreeSurfer annotation (cut short)");
    row("annotation: an entry numbered beyond the table",
        annotation(pairs, words({1, -2, 2, 0, 1, 2, 4}) + name("red") + words({255, 0, 0, 0})),
        "colour table entry 0 is numbered 2, outside 0 to 1");
    row("annotation: a colour beyond 255",
        annotation(pairs, words({1, -2, 2, 0, 1, 0, 4}) + name("red") + words({300, 0, 0, 0})),
        "colour table entry 0 has the colour 300 0 0 0");

    const QList<QPair<QByteArray, QByteArray>> base64 = {{"Encoding", "Base64Binary"}};
    const QList<QPair<QByteArray, QByteArray>> gzip = {{"Encoding", "GZipBase64Binary"}};
    const QByteArray three = littleFloats({1, 2, 3});
    row("GIfTI: a directory", QByteArray(), "not a regular file");
    // A sparse file, which takes no room on the disk.
    row("GIfTI: larger than the viewer reads", QByteArray("sparse"),
        "a GIfTI file of 536870913 bytes is more than the viewer reads (536870912)");
    row("GIfTI: not XML", QByteArray("\x1f\x8b\x08\0\0\0", 6),
        "not a readable GIfTI file (encountered incorrectly encoded content, line 1)");
    row("GIfTI: another root", QByteArray("<html><body/></html>"),
        "not a GIfTI file (its first element is <html>)");
    row("GIfTI: cut short in the data", gifti({}, "1 2 3").left(200),
        "not a readable GIfTI file (premature end of document, line 3)");
    row("GIfTI: a byte UTF-8 has not in data not read",
        gifti({}, "1 2 3", "<Extra><Data>\xF2</Data></Extra>"),
        "not a readable GIfTI file (encountered incorrectly encoded content, line 1)");
    row("GIfTI: an unknown encoding", gifti({{"Encoding", "Base85"}}, "1 2 3"),
        "data array 1 has the encoding \"Base85\"; the viewer reads ASCII, Base64Binary and "
        "GZipBase64Binary");
    row("GIfTI: data in another file",
        gifti({{"Encoding", "ExternalFileBinary"}, {"ExternalFileName", "lh.data.bin"}}, ""),
        "data array 1 keeps its data in another file (lh.data.bin), which the viewer does "
        "not open");
    row("GIfTI: an unknown intent", gifti({{"Intent", "NIFTI_INTENT_MAGIC"}}, "1 2 3"),
        "data array 1 has the intent \"NIFTI_INTENT_MAGIC\", which is no NIfTI intent");
    row("GIfTI: float64 values", gifti({{"DataType", "NIFTI_TYPE_FLOAT64"}}, "1 2 3"),
        "data array 1 holds values of the type \"NIFTI_TYPE_FLOAT64\"; the viewer reads "
        "FLOAT32, INT32 and UINT8");
    row("GIfTI: seven dimensions", gifti({{"Dimensionality", "7"}}, "1 2 3"),
        "data array 1 has the dimensionality \"7\", not 1 to 6");
    row("GIfTI: no values", gifti({{"Dim0", "0"}}, ""), "data array 1 holds no values");
    row("GIfTI: more values than a file may hold", gifti({{"Dim0", "100000000"}}, "1 2 3"),
        "data array 1 has more values than the viewer reads in a file (67108864)");
    row("GIfTI: ASCII, fewer values", gifti({}, "10 20"),
        "data array 1 holds 2 values where its dimensions need 3");
    row("GIfTI: ASCII, more values", gifti({}, "1 2 3 4"),
        "data array 1 holds more values than its dimensions (3)");
    row("GIfTI: ASCII, not a number", gifti({}, "1 2x 3"),
        "data array 1 holds \"2x\", which is no number");
    row("GIfTI: ASCII, far more values than the text", gifti({{"Dim0", "60000000"}}, "1 2 3"),
        "data array 1 of 60000000 values is longer than its text of 5 characters");
    row("GIfTI: not base64", gifti(base64, "AAAA*AAAAAAAAAAA"),
        "data array 1 holds data that is not base64");
    row("GIfTI: base64, bytes short", gifti(base64, three.left(11).toBase64()),
        "data array 1 holds 11 bytes where its dimensions need 12");
    row("GIfTI: base64, far more values than the text",
        gifti({{"Encoding", "Base64Binary"}, {"Dim0", "60000000"}}, three.toBase64()),
        "data array 1 of 60000000 values is longer than its 16 characters of data can hold");
    row("GIfTI: gzip bomb, 16 MB for 3 values",
        gifti(gzip, zlibbed(QByteArray(16 << 20, '\0')).toBase64()),
        "data array 1 holds more data than its dimensions need (12 bytes)");
    row("GIfTI: gzip, 240 MB claimed of a few bytes",
        gifti({{"Encoding", "GZipBase64Binary"}, {"Dim0", "60000000"}}, zlibbed(three).toBase64()),
        "data array 1 of 60000000 values is longer than its 24 characters of data can hold");
    row("GIfTI: gzip, damaged", gifti(gzip, QByteArray("not zlib at all").toBase64()),
        "data array 1 holds damaged compressed data (incorrect header check)");
    row("GIfTI: gzip, cut short", gifti(gzip, zlibbed(three).chopped(6).toBase64()),
        "data array 1 holds compressed data that is cut short after 11 bytes");
    row("GIfTI: gzip, bytes short", gifti(gzip, zlibbed(three.left(8)).toBase64()),
        "data array 1 holds 8 bytes where its dimensions need 12");
    row("GIfTI: vertices that are not triples",
        gifti({{"Intent", "NIFTI_INTENT_POINTSET"}, {"Dimensionality", "2"}, {"Dim1", "1"}},
              "1 2 3"),
        "data array 1 holds vertices that are not float triples");
    const QByteArray triangle =
        gifti({{"Intent", "NIFTI_INTENT_POINTSET"}, {"Dimensionality", "2"}, {"Dim1", "3"}},
              "0 0 0  1 0 0  0 1 0");
    row("GIfTI: a corner beyond the vertices",
        QByteArray(triangle).replace(
            "</GIFTI>", "<DataArray Intent=\"NIFTI_INTENT_TRIANGLE\" DataType=\"NIFTI_TYPE_INT32\" "
                        "Dimensionality=\"2\" Dim0=\"1\" Dim1=\"3\" Encoding=\"ASCII\">"
                        "<Data>0 1 3</Data></DataArray></GIFTI>"),
        "triangle 0 has a corner 3, which is no vertex of the 3");
    row("GIfTI: labels of floats", gifti({{"Intent", "NIFTI_INTENT_LABEL"}}, "1 2 3"),
        "data array 1 holds labels that are not one whole number per vertex");
    row("GIfTI: a label colour beyond 1",
        gifti({}, "1 2 3")
            .replace("<DataArray", "<LabelTable><Label Key=\"1\" Red=\"2\">x</Label>"
                                   "</LabelTable><DataArray"),
        "label 1 has the red value \"2\", not one from 0 to 1");
    // Entities that double ten times over.
    QByteArray laughs = "<!DOCTYPE GIFTI [<!ENTITY a0 \"lol\">";
    for (int i = 1; i <= 10; ++i)
        laughs += QString("<!ENTITY a%1 \"&a%2;&a%2;&a%2;&a%2;\">").arg(i).arg(i - 1).toLatin1();
    laughs += "]>\n<GIFTI";
    row("GIfTI: entities that grow without end",
        gifti({}, "1 2 3")
            .replace("<GIFTI", laughs)
            .replace("<DataArray", "<MetaData><MD><Name>n</Name><Value>&a10;</Value></MD>"
                                   "</MetaData><DataArray"),
        "not a readable GIfTI file (entity expands to more characters than the entity "
        "expansion limit, line 4)");
}

// Each broken file fails its read with its reason, read from a file; the
// row's name says by which reader.
void TestSurfaceFiles::refusesBrokenFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    QTemporaryDir folder;
    QString name = folder.path();
    if (reason != "not a regular file") {
        name = folder.filePath("file");
        QFile file(name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (bytes == "sparse")
            QVERIFY(file.resize((qint64(512) << 20) + 1));
        else
            QCOMPARE(file.write(bytes), bytes.size());
    }
    const QByteArray reader = QByteArray(QTest::currentDataTag()).split(':')[0];
    FreeSurferReader freeSurfer;
    GiftiFile gifti;
    if (reader == "GIfTI") {
        QVERIFY(!gifti.read(name) && gifti.arrays().empty());
        QCOMPARE(gifti.failureReason(), reason);
        return;
    }
    QVERIFY(reader == "surface"     ? !freeSurfer.readSurface(name)
            : reader == "curvature" ? !freeSurfer.readValues(name)
                                    : !freeSurfer.readAnnotation(name));
    QCOMPARE(freeSurfer.failureReason(), reason);
}

void TestSurfaceFiles::meshesAsTheSrfReaderHasThem_data()
{
    QTest::addColumn<bool>("turnedInwards");
    QTest::newRow("counter-clockwise from outside, as FreeSurfer writes") << false;
    QTest::newRow("turned the other way") << true;
}

// A sphere as an SRF file and as a surface of the same brain in FreeSurfer's
// space, its centre off the middle: the same positions, triangles, rings
// (each one neighbour round the other way than the triangles), normals and
// header figures, whichever way the surface's triangles turn.
void TestSurfaceFiles::meshesAsTheSrfReaderHasThem()
{
    QFETCH(bool, turnedInwards);
    const Icosphere sphere(3);
    const QList<QList<int>> rings = sphere.neighbourRings();
    SrfFixture srf;
    srf.version = 2.0f;
    std::fill(std::begin(srf.meshCenter), std::end(srf.meshCenter), 128.0f);
    SurfaceGeometry geometry;
    for (qsizetype v = 0; v < sphere.vertices.size(); ++v) {
        const QVector3D p = QVector3D(138, 108, 133) + 70 * sphere.vertices[v];
        srf.vertices << SrfFixture::Vertex{p.x(), p.y(), p.z(), 0, 0, 0, 0, rings[v]};
        // Right, anterior, superior from the SRF axes, which run the other ways.
        geometry.xyz.insert(geometry.xyz.end(), {128 - p.z(), 128 - p.x(), 128 - p.y()});
    }
    srf.triangles = sphere.triangles;
    for (qsizetype t = 0; t < sphere.triangles.size(); t += 3) {
        const int *corner = sphere.triangles.constData() + t;
        // The mirror between the axes turns the triangles round.
        geometry.faces.insert(geometry.faces.end(), {corner[0], corner[turnedInwards ? 1 : 2],
                                                     corner[turnedInwards ? 2 : 1]});
    }
    QByteArray bytes = srf.bytes();
    QBuffer buffer(&bytes);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    SurfaceMesh expected;
    QVERIFY2(expected.readMesh(buffer), qPrintable(expected.failureReason()));
    QString reason;
    const std::unique_ptr<SurfaceMesh> mesh = SurfaceImport::meshOfGeometry(geometry, reason);
    QVERIFY2(mesh, qPrintable(reason));

    QCOMPARE(mesh->nrOfVertices, expected.nrOfVertices);
    QCOMPARE(QList<int>(mesh->triangles.get(), mesh->triangles.get() + 3 * mesh->nrOfTriangles),
             sphere.triangles);
    QCOMPARE(QList<float>(std::begin(mesh->meshCenter), std::end(mesh->meshCenter)),
             QList<float>(std::begin(expected.meshCenter), std::end(expected.meshCenter)));
    for (int v = 0; v < mesh->nrOfVertices; ++v) {
        for (const auto &a : {&SurfaceMesh::vertexX, &SurfaceMesh::vertexY, &SurfaceMesh::vertexZ,
                              &SurfaceMesh::normalX, &SurfaceMesh::normalY, &SurfaceMesh::normalZ})
            QVERIFY2(std::abs(((*mesh).*a)[v] - (expected.*a)[v]) < 1e-4f,
                     qPrintable(QString("vertex %1").arg(v)));
        // The same ring, from wherever it starts.
        QList<int> ring = mesh->neighbors[v];
        QCOMPARE(ring.size(), rings[v].size());
        std::rotate(ring.begin(), std::find(ring.begin(), ring.end(), rings[v][0]), ring.end());
        QCOMPARE(ring, rings[v]);
        QCOMPARE(mesh->vertexColors[v], 0);
    }
    QCOMPARE(srfHeaderValues(*mesh).mid(1), srfHeaderValues(expected).mid(1));

    // Strips hold every triangle once, turned alike, in fewer corners.
    QVERIFY(mesh->hasTriangleStrips);
    const auto turned = [](int a, int b, int c) {
        const int first = std::min({a, b, c});
        return first == a   ? QList<int>{a, b, c}
               : first == b ? QList<int>{b, c, a}
                            : QList<int>{c, a, b};
    };
    QList<QList<int>> listed, stripped;
    for (qsizetype t = 0; t < sphere.triangles.size(); t += 3)
        listed << turned(sphere.triangles[t], sphere.triangles[t + 1], sphere.triangles[t + 2]);
    const int *s = mesh->triangleStrips.get();
    for (int k = 0, first = 0; k < mesh->nrOfTriangleStrips; ++k) {
        if (s[k] < 0)
            first = k + 1;
        else if (k - first >= 2)
            stripped << ((k - first) % 2 ? turned(s[k - 1], s[k - 2], s[k])
                                         : turned(s[k - 2], s[k - 1], s[k]));
    }
    std::sort(listed.begin(), listed.end());
    std::sort(stripped.begin(), stripped.end());
    QCOMPARE(stripped, listed);
    QCOMPARE_LT(mesh->nrOfTriangleStrips, mesh->nrOfTriangles * 2);
}

void TestSurfaceFiles::filesOfValuesAndLabels_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("vertices"); // as the head of the file says
    QTest::addColumn<QStringList>("maps");
    QTest::addColumn<int>("labels"); // entries of the label table; -1: maps
    QTest::newRow("FreeSurfer values") << "lh.thickness" << 42 << QStringList{"lh.thickness"} << -1;
    QTest::newRow("FreeSurfer annotation") << "lh.aparc.annot" << 42 << QStringList() << 4;
    QTest::newRow("GIfTI shape") << "thickness_ascii_be.shape.gii" << 42 << QStringList{"thickness"}
                                 << -1;
    QTest::newRow("GIfTI statistics and a mask")
        << "stats_base64_be.func.gii" << 42 << QStringList{"zstat1", "tstat1", "mask"} << -1;
    QTest::newRow("GIfTI labels") << "areas_gzip_be.label.gii" << 42 << QStringList() << 4;
    QTest::newRow("a FreeSurfer surface") << "lh.white" << -1 << QStringList() << 0;
}

// What the maps panel offers and reads: the vertex count from the file's head,
// a map per array of values, shown from 4 for statistics and from the least
// magnitude above 0 for measures, coloured up to the largest magnitude; or
// the labels. A file for another mesh is refused.
void TestSurfaceFiles::filesOfValuesAndLabels()
{
    QFETCH(QString, file);
    QFETCH(int, vertices);
    QFETCH(QStringList, maps);
    QFETCH(int, labels);
    QCOMPARE(SurfaceImport::statedVertexCount(fixture(file)), qint64(vertices));
    QString reason;
    if (vertices < 0) {
        QVERIFY(!SurfaceImport::readVertexFile(fixture(file), 42, reason));
        QVERIFY(!reason.isEmpty());
        return;
    }
    QVERIFY(!SurfaceImport::readVertexFile(fixture(file), 41, reason));
    QCOMPARE(reason, QString("made for a mesh of 42 vertices, not 41"));
    const auto read = SurfaceImport::readVertexFile(fixture(file), 42, reason);
    QVERIFY2(read, qPrintable(reason));
    QCOMPARE(read->labels ? int(read->labels->table.size()) : -1, labels);
    QCOMPARE(read->labelsName, labels < 0 ? QString() : file);
    QStringList names;
    static const std::vector<std::unique_ptr<SurfaceMap>> none;
    for (const auto &map : read->maps ? read->maps->maps : none) {
        names << map->mapName;
        float least = 1e30f, largest = 0;
        for (int v = 0; v < 42; ++v) {
            const float magnitude = std::abs(map->mapData[v]);
            largest = std::max(largest, magnitude);
            if (magnitude > 0)
                least = std::min(least, magnitude);
        }
        const bool statistic = map->mapName.endsWith("stat1");
        QCOMPARE(map->threshMin, statistic ? 4.0f : std::floor(least * 100) / 100);
        QCOMPARE(map->threshMax, largest > map->threshMin ? largest : 8.0f);
        QCOMPARE(map->storedDisplay(), MapDisplay({map->threshMin, 50, false, 3}));
    }
    QCOMPARE(names, maps);
}

// A surface shown as a document: shaded by the curvature of its hemisphere
// beside it, its labels drawn in their colours and named at a vertex.
void TestSurfaceFiles::surfaceDocuments()
{
    QString reason;
    const std::shared_ptr<Document> read = readDocument(fixture("lh.white"), reason);
    const auto white = std::dynamic_pointer_cast<MeshDocument>(read);
    QVERIFY2(white, qPrintable(reason));
    QCOMPARE(white->curvatureFile(), fixture("lh.curv"));
    const std::vector<float> curvature = FreeSurferReader().readValues(fixture("lh.curv"))->values;
    const VertexLabels annotation = *FreeSurferReader().readAnnotation(fixture("lh.aparc.annot"));
    const SurfaceMesh &mesh = white->mesh();
    for (int v = 0; v < 42; ++v)
        QCOMPARE(mesh.vertexColors[v], curvature[size_t(v)] > 0 ? 1 : 0);

    QCOMPARE(white->readMapFile(fixture("lh.aparc.annot"), reason), QStringList{"lh.aparc.annot"});
    QCOMPARE(white->labelAt(0), QString());
    QCOMPARE(white->chooseMap(0, reason), std::optional<MapDisplay>(MapDisplay()));
    white->applyDisplay(MapDisplay());
    for (int v = 0; v < 42; ++v) {
        const int label = annotation.labelOfVertex[size_t(v)];
        const VertexLabels::Label *entry = label < 0 ? nullptr : &annotation.table[size_t(label)];
        QCOMPARE(mesh.vertexColors[v],
                 entry ? 0x3F000000 + entry->red * 65536 + entry->green * 256 + entry->blue
                 : curvature[size_t(v)] > 0 ? 1
                                            : 0);
        QCOMPARE(white->labelAt(v), entry ? entry->name : QString());
    }
    QCOMPARE(annotation.labelOfVertex[5], -1);
    QCOMPARE(white->labelAt(-1), QString());
    QCOMPARE(white->labelAt(42), QString());
    // Maps of values instead: no labels to name.
    QCOMPARE(white->readMapFile(fixture("lh.thickness"), reason), QStringList{"lh.thickness"});
    QCOMPARE(white->labelAt(0), QString());
    QVERIFY(!white->chooseMap(1, reason)); // a row the file does not hold

    // No curvature of the right hemisphere lies beside: one grey.
    const auto pial =
        std::dynamic_pointer_cast<MeshDocument>(readDocument(fixture("rh.pial"), reason));
    QVERIFY2(pial, qPrintable(reason));
    QVERIFY(pial->curvatureFile().isEmpty());
    QVERIFY(std::all_of(pial->mesh().vertexColors.get(), pial->mesh().vertexColors.get() + 42,
                        [](int code) { return code == 0; }));
    // A name without an ending keeps the dots of its folder.
    QCOMPARE(MeshDocument::viewingParameterFiles("/data/sub.01/surf/white"),
             QStringList({"/data/sub.01/surf/white.vwp", "/data/sub.01/surf/white.VWP"}));
}

QTEST_GUILESS_MAIN(TestSurfaceFiles)
#include "tst_surfacefiles.moc"
