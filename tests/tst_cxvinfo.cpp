#include "BlobMap.h"
#include "DicomFixture.h"
#include "NiftiFixture.h"
#include "SmpFixture.h"
#include "SrfFixture.h"
#include "VmpFixture.h"
#include "VmrFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

// The values of one line of --json output under the keys of the expected
// object, given as JSON text.
void compareFields(const QByteArray &line, const char *json)
{
    const QJsonObject all = QJsonDocument::fromJson(line).object(),
                      expected = QJsonDocument::fromJson(json).object();
    QVERIFY2(!expected.isEmpty(), json);
    QJsonObject found;
    for (auto it = expected.begin(); it != expected.end(); ++it)
        found.insert(it.key(), all.value(it.key()));
    QCOMPARE(QJsonDocument(found).toJson(QJsonDocument::Compact),
             QJsonDocument(expected).toJson(QJsonDocument::Compact));
}

} // namespace

class TestCxvInfo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void json();
    void maps();
    void failures();
    void unreadable();
    void clusters_data();
    void clusters();
    void seriesOfAFolder();

private:
    QString write(const QString &name, const QByteArray &data);
    // Runs the inspector; returns its exit code and fills out and err.
    int run(const QStringList &arguments, QByteArray *out, QByteArray *err = nullptr);

    QTemporaryDir dir;
    QString vmr, srf, dcm;
};

QString TestCxvInfo::write(const QString &name, const QByteArray &data)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(name));
    return file.fileName();
}

int TestCxvInfo::run(const QStringList &arguments, QByteArray *out, QByteArray *err)
{
    QProcess tool;
    tool.start(QCoreApplication::applicationDirPath() + "/cxvinfo", arguments);
    if (!tool.waitForFinished(30000))
        return -1;
    *out = tool.readAllStandardOutput();
    if (err)
        *err = tool.readAllStandardError();
    return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
}

void TestCxvInfo::initTestCase()
{
    VmrFixture volume;
    volume.version = 3;
    volume.talairach = 1;
    volume.transformations = {{"Talairach", 0, "C:\\data\\anat.vmr", {1.5f, 2.5f}}};
    vmr = write("anat.vmr", volume.bytes());

    SrfFixture mesh = SrfFixture::octahedron();
    mesh.version = 3.0f;
    srf = write("octa.SRF", mesh.bytes());

    DicomFixture image;
    image.text(0x0008, 0x0060, "CS", "MR")
        .text(0x0010, 0x0010, "PN", "Doe^Jane")
        .text(0x0028, 0x0030, "DS", "0.9375\\0.5")
        .unsignedShort(0x0028, 0x0010, 2)
        .unsignedShort(0x0028, 0x0011, 3)
        .unsignedShort(0x0028, 0x0100, 16)
        .pixels({100, 200, 300, 400, 500, 600});
    dcm = write("slice.dcm", image.file());
}

void TestCxvInfo::json()
{
    const QString nifti = CXV_NIFTI_FIXTURES "/";
    QByteArray out;
    QCOMPARE(run({"--json", vmr, srf, dcm, nifti + "ras_uint8.nii.gz", nifti + "scaled_float64.nii",
                  nifti + "neither_uint8.hdr"},
                 &out),
             0);
    const QList<QByteArray> lines = out.trimmed().split('\n');
    QCOMPARE(lines.size(), 6);
    QCOMPARE(QJsonDocument::fromJson(lines[0])["file"].toString(), vmr);
    compareFields(lines[0], R"({"kind": "VMR", "ok": true, "vmrVersion": 3, "dimX": 5,
        "Dims X/Y/Z": "3 / 5 / 4", "offsetZ": 30, "voxelSizeY": 0.75, "inTalairachSpace": true,
        "referenceSpace": 3, "transformationSourceFiles": ["C:/data/anat.vmr"],
        "transformationValues": [1.5, 2.5]})");
    compareFields(lines[1], R"({"kind": "SRF", "nrOfVertices": 6, "nrOfTriangles": 8,
        "No. of edges": "12", "Mean no. of neighbors": "4", "Type": "Reconstructed",
        "srfVersion": 3})");
    // The mean of values above 99 with the count starting at 1.
    compareFields(lines[2], R"({"kind": "DICOM", "nrOfRows": 2, "nrOfColumns": 3,
        "patientName": "Doe^Jane", "Pixel spacing": "0.9375\\0.5", "Byte order": "Little Endian",
        "meanIntensity": 300})");
    // NIfTI: the standard field names with the values nibabel wrote, and the
    // grid derived (x runs anterior to posterior over the 20 voxels of j...).
    compareFields(lines[3], R"({"kind": "NIfTI", "dim": [3, 16, 20, 14, 1, 1, 1, 1], "datatype": 2,
        "sform_code": 4, "srow_y": [0, 2, 0, -20], "orientation": "sform", "space": "MNI",
        "gridDims": [20, 14, 16], "gridVoxelSize": 2})");
    compareFields(lines[4], R"({"scl_slope": 2, "scl_inter": -5})");
    compareFields(lines[5], R"({"orientation": "none"})");

    // The same values as text.
    QCOMPARE(run({srf}, &out), 0);
    QVERIFY(out.startsWith(srf.toUtf8() + ": SRF\n"));
    QVERIFY(out.contains("  No. of vertices "));
    QVERIFY(out.contains("  meshCenter"));
}

void TestCxvInfo::maps()
{
    VmpFixture current;
    current.maps[0].name = "Faces > Houses";
    const QString currentVmp = write("current.vmp", current.current());
    VmpFixture older;
    older.version = 4;
    older.resolution = 1;
    older.savedDims[0] = 5; // the fixture volume's dimX and dimY
    older.savedDims[1] = 4;
    older.savedDims[2] = 3;
    older.box[5] = 32; // within the volume's z range after no shift
    const QString olderVmp = write("older.vmp", older.older());
    SmpFixture surface;
    surface.maps = {SmpFixture::Map(), SmpFixture::Map()};
    surface.maps[1].mapType = 3;
    surface.maps[1].name = "lags";
    for (SmpFixture::Map &m : surface.maps)
        m.data = QList<float>(6, 1.0f);
    const QString smp = write("octa.smp", surface.bytes());

    QByteArray out, err;
    QCOMPARE(run({"--json", "--volume", vmr, currentVmp, olderVmp, smp}, &out, &err), 0);
    const QList<QByteArray> lines = out.trimmed().split('\n');
    QCOMPARE(lines.size(), 3);
    // The current file's x range with the volume's offset 10 taken off.
    compareFields(lines[0], R"({"kind": "VMP", "format": "current", "vmpVersion": 6,
        "resolution": 3, "xStart": 0})");
    compareFields(QJsonDocument(QJsonDocument::fromJson(lines[0])["maps"][0].toObject()).toJson(),
                  R"({"mapName": "Faces > Houses", "threshMin": 3.5, "showPosNeg": 2,
        "mapColor2": [4, 5, 6]})");
    compareFields(lines[1], R"({"format": "older", "vmpVersion": 4, "savedDimX": 5})");
    compareFields(lines[2], R"({"kind": "SMP", "smpVersion": 4, "nrOfVertices": 6,
        "srfFileName": "lh.srf"})");
    const QJsonArray maps = QJsonDocument::fromJson(lines[2])["maps"].toArray();
    QCOMPARE(maps.size(), 2);
    QVERIFY(!maps[0].toObject().contains("lagValues"));
    QCOMPARE(maps[1].toObject()["lagValues"].toArray(), QJsonArray({5, 1, 3, 1}));

    // Without --volume the older file meets a 256-voxel volume it was not made for.
    QCOMPARE(run({olderVmp}, &out, &err), 1);
    QVERIFY2(err.contains(": made for a volume of 5 × 4 voxels in x and y, not 256 × 256 (read "
                          "onto a 256 x 256 x 256 volume: see --volume)"),
             err.constData());
    // An SMP read onto a mesh of another vertex count.
    SmpFixture seven;
    seven.nrOfVertices = 7;
    QCOMPARE(run({"--mesh", srf, write("seven.smp", seven.bytes())}, &out, &err), 1);
    QVERIFY(err.contains("made for a mesh of 7 vertices, not 6"));
    QCOMPARE(run({"--mesh", srf, smp}, &out), 0);
    QVERIFY(out.contains("  map 2\n    clusterCheckEnabled"));
    QVERIFY(out.contains("    lagValues                  5 1 3 1\n"));
}

void TestCxvInfo::failures()
{
    const QString cut = write("cut.vmr", VmrFixture().bytes(VmrFixture::Header));
    const QString other = write("notes.txt", "text");
    QByteArray header(352, '\0'); // a NIfTI-1 header of 32512 voxels on each axis
    header[0] = char(0x5c);
    header[1] = 1;
    header[40] = 3;
    header[43] = header[45] = header[47] = 0x7f;
    const QString huge = write("huge.nii", header);
    // A negative vertex count is refused even onto a mesh of that count.
    SmpFixture negative;
    negative.nrOfVertices = -3;
    negative.maps.clear();
    const QString smp = write("negative.smp", negative.bytes());
    DicomFixture jpeg2000;
    jpeg2000.transferSyntaxUid = "1.2.840.10008.1.2.4.90";
    const QString compressed = write("j2k.dcm", jpeg2000.pixels({1, 2}).file());
    QByteArray out, err;
    QCOMPARE(run({"--json", cut, vmr, dir.filePath("missing.srf"), other, huge, smp, compressed},
                 &out, &err),
             1);
    QList<bool> read;
    for (const QByteArray &line : out.trimmed().split('\n'))
        read << QJsonDocument::fromJson(line)["ok"].toBool();
    QCOMPARE(read, QList<bool>({false, true, false, false, false, false, false}));
    const QList<QByteArray> reasons = err.trimmed().split('\n');
    QCOMPARE(reasons.size(), 6);
    QVERIFY(reasons[0].startsWith("cxvinfo: " + cut.toUtf8() + ": not a readable VMR"));
    QVERIFY(reasons[1].endsWith("no such file"));
    QVERIFY(reasons[2].contains("unknown file kind"));
    QVERIFY2(reasons[3].contains("more voxels"), reasons[3].constData());
    QVERIFY2(reasons[4].endsWith(": not a readable SMP file (-3 vertices)"),
             reasons[4].constData());
    // DICOM files say why they cannot be read.
    QCOMPARE(reasons[5], "cxvinfo: " + compressed.toUtf8() +
                             ": the JPEG 2000 lossless pixel data is not encapsulated");
    QCOMPARE(run({}, &out), 2);
}

void TestCxvInfo::unreadable()
{
    if (geteuid() == 0)
        QSKIP("file permissions do not bind root");
    const QString locked = write("locked.vmr", VmrFixture().bytes());
    QVERIFY(QFile::setPermissions(locked, QFileDevice::WriteOwner));
    QByteArray out, err;
    QCOMPARE(run({locked}, &out, &err), 1);
    QCOMPARE(err.trimmed(), "cxvinfo: " + locked.toUtf8() + ": permission denied");
}

// The blobs as a VMP of resolution 3 over a Talairach VMR of 48 voxels a side,
// cell (i, j, k) at Talairach (128 - 3k, 128 - 3i, 128 - 3j); as a NIfTI z map
// of 3-mm voxels from -30 mm; and an atlas of 10-mm voxels from -51 mm named
// "Region" 1 + i % 4 + 4 (j % 4) + 16 (k % 4).
void TestCxvInfo::clusters_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    // Per cluster "sign voxels i,j,k x,y,z label", or the reason.
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("space");

    VmrFixture head;
    head.dimX = head.dimY = head.dimZ = 48;
    head.offsetX = head.offsetY = head.offsetZ = 0;
    head.referenceSpace = 3;
    head.talairach = 1;
    std::fill(std::begin(head.voxelSize), std::end(head.voxelSize), 1.0f);
    const QString volume = write("head.vmr", head.bytes());
    VmpFixture vmp;
    for (int axis = 0; axis < 3; ++axis) {
        vmp.box[2 * axis] = 0;
        vmp.box[2 * axis + 1] = 3 * BlobMap::cells;
    }
    vmp.maps[0].threshMin = 3;
    vmp.maps[0].showPosNeg = 3;
    vmp.maps[0].clusterCheckEnabled = 0;
    for (double v : BlobMap::values())
        vmp.maps[0].data << float(v);
    const QString blobs = write("blobs.vmp", vmp.current());
    NiftiFixture zmap;
    zmap.dims = {BlobMap::cells, BlobMap::cells, BlobMap::cells};
    zmap.sform = {{{3, 0, 0, -30}, {0, 3, 0, -30}, {0, 0, 3, -30}}};
    zmap.sformCode = 4;
    zmap.intent = 5;
    zmap.values = BlobMap::values();
    const QString nifti = write("zmap.nii", zmap.bytes());
    const QString regions = write("regions.nii", RegionsAtlas::image().bytes());
    write("regions.nii.txt", RegionsAtlas::names());

    const QString positive = "pos 19 4,5,6 110,116,113 ";
    const QString negative = "neg 7 11,10,9 101,95,98 ";
    auto row = [](const char *name, const QStringList &arguments, int status,
                  const QStringList &expected, const QString &space = QString()) {
        QTest::newRow(name) << arguments << status << expected << space;
    };
    row("VMP, as its file says", {blobs}, 0, {positive, negative}, "world");
    row("onto its Talairach volume, named, positive values",
        {"--volume", volume, "--atlas", regions, "--sign", "pos", blobs}, 0,
        {positive + "Region 5"}, "talairach");
    row("threshold", {"--threshold", "7", blobs}, 0, {"pos 1 4,5,6 110,116,113 "}, "world");
    row("minimum size in mm³", {"--min-size", "300", blobs}, 0, {positive}, "world");
    // A new map's threshold of 4, in the file's world.
    row("NIfTI, named", {"--atlas", regions, nifti}, 0,
        {"pos 7 4,5,6 -18,-15,-12 Region 4", "neg 1 11,10,9 3,0,-3 Region 22"}, "world");
    row("no such map", {"--map-index", "2", nifti}, 1, {"holds no map 2 (it has 1)"});
    row("no such sign", {"--sign", "up", nifti}, 2, {});
    row("not a map", {volume}, 1, {"not a volume map (expected .vmp, .nii, .nii.gz or .hdr)"});
}

// The same table as TSV and as JSON.
void TestCxvInfo::clusters()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QStringList, expected);
    QFETCH(QString, space);
    QByteArray tsv, json, err;
    QCOMPARE(run(QStringList{"--clusters"} + arguments, &tsv, &err), status);
    if (status == 2)
        return;
    if (status == 1) {
        QCOMPARE(err.trimmed(),
                 "cxvinfo: " + arguments.last().toUtf8() + ": " + expected.first().toUtf8());
        return;
    }
    QCOMPARE(run(QStringList{"--clusters", "--json"} + arguments, &json), 0);
    const QJsonObject table = QJsonDocument::fromJson(json).object();
    QCOMPARE(table["space"].toString(), space);
    QStringList fromJson;
    for (const QJsonValue &value : table["clusters"].toArray()) {
        const QJsonObject c = value.toObject();
        QStringList voxel, world;
        for (int a = 0; a < 3; ++a) {
            voxel << QString::number(c["peakVoxel"].toArray()[a].toInt());
            world << QString::number(c["peakWorld"].toArray()[a].toDouble());
        }
        fromJson << QString("%1 %2 %3 %4 %5")
                        .arg(c["sign"].toString())
                        .arg(c["voxels"].toInt())
                        .arg(voxel.join(','), world.join(','), c["peakLabel"].toString());
    }
    QCOMPARE(fromJson, expected);

    const QList<QByteArray> lines = tsv.split('\n');
    QCOMPARE(lines.size(), expected.size() + 2); // the header and the last line's end
    const QByteArray suffix = space == "talairach" ? "_tal" : "_mm";
    QVERIFY(lines[0].startsWith("cluster\tsign\tvoxels\tvolume_mm3\tpeak_value\tpeak_i\tpeak_j\t"
                                "peak_k\tpeak_x" +
                                suffix));
    for (int r = 0; r < expected.size(); ++r) {
        const QList<QByteArray> f = lines[r + 1].split('\t');
        QCOMPARE(QString("%1 %2 %3,%4,%5 %6,%7,%8 %9")
                     .arg(f[1], f[2], f[5], f[6], f[7], f[8], f[9], f[10])
                     .arg(QString::fromUtf8(f[14])),
                 expected[r]);
    }
}

// A folder: its series as the viewer groups them, in its order, numbered from 1.
void TestCxvInfo::seriesOfAFolder()
{
    const QString fixtures = CXV_DICOM_SERIES "/";
    QFile list(fixtures + "expected.txt");
    QVERIFY(list.open(QIODevice::ReadOnly));
    QStringList expected; // name and volume flag
    for (const QByteArray &line : list.readAll().trimmed().split('\n'))
        expected << QString(line.split('|')[0]) << QString(line.split('|')[1]);
    QByteArray out, err;
    QCOMPARE(run({"--json", fixtures + "series"}, &out, &err), 0);
    const QJsonObject folder = QJsonDocument::fromJson(out).object();
    compareFields(out, R"({"kind": "DICOM folder", "ok": true, "nrOfSeries": 7})");
    QStringList listed;
    for (const QJsonValue &series : folder["series"].toArray())
        listed << series["name"].toString() << (series["volume"].toBool() ? "1" : "0");
    QCOMPARE(listed, expected);
    const QJsonObject first = folder["series"][0].toObject();
    compareFields(QJsonDocument(first).toJson(), R"({"images": 12, "columns": 20})");
    QCOMPARE(first["voxelToWorld"].toArray().size(), 3);
    QCOMPARE(folder["skipped"].toArray().size(), 1);
    QVERIFY(folder["skipped"].toArray().first().toString().startsWith("notes.txt: "));

    QCOMPARE(run({fixtures + "series"}, &out), 0);
    QVERIFY(out.startsWith((fixtures + "series: DICOM folder\n").toUtf8()));
    QVERIFY(out.contains("\n  series 1\n"));
    QVERIFY(out.contains(" 5 T1_oblique (12)\n"));
}

QTEST_GUILESS_MAIN(TestCxvInfo)
#include "tst_cxvinfo.moc"
