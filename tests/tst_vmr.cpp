#include "CXSCore.h"
#include "FixtureStream.h"
#include "VmrFixture.h"
#include "VolumeDoc.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool readBytes(VolumeDoc &doc, const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return doc.readVolume(buffer);
}

QByteArray voxels(const VolumeDoc &doc)
{
    return QByteArray(reinterpret_cast<const char *>(doc.vmrData.get()),
                      doc.dimX * doc.dimY * doc.dimZ);
}

// The fields after the transformations, in file order.
QList<float> tail(const VolumeDoc &doc)
{
    QList<float> values;
    values << doc.leftRightConvention << doc.referenceSpace << doc.voxelSizeX << doc.voxelSizeY
           << doc.voxelSizeZ << doc.voxelSizeVerified << doc.inTalairachSpace << doc.rangeMinValue
           << doc.rangeMeanValue << doc.rangeMaxValue;
    return values;
}

using Transformation = VmrFixture::Transformation;

} // namespace

class TestVmr : public QObject
{
    Q_OBJECT

private slots:
    void headers();
    void fullFile();
    void trailingFieldsMissing_data();
    void trailingFieldsMissing();
    void brokenFiles_data();
    void brokenFiles();
    void files();
};

// The first int16 decides between a versioned and an old header; the framing
// cube of headers without one follows from the dimensions, and version 1
// stops after the voxels. The reference space follows from the Talairach flag
// up to version 3 and is a byte of its own in version 4.
void TestVmr::headers()
{
    const struct
    {
        int version;
        bool leadingZero;
        QList<int> dims;
        int framingCubeDim, talairach, referenceSpace;
    } cases[] = {{3, false, {256, 256, 2}, 256, 5, 3}, {3, false, {5, 4, 3}, 256, 0, 0},
                 {4, false, {5, 4, 3}, 256, 1, 2},     {4, false, {5, 4, 3}, 256, 0, 2},
                 {2, false, {5, 4, 3}, 256, 1, 3},     {2, false, {2, 3, 257}, 512, 0, 0},
                 {1, false, {256, 2, 2}, 256, 0, 0},   {1, false, {300, 2, 2}, 512, 0, 0},
                 {1, false, {12, 300, 2}, 512, 0, 0},  {1, false, {1, 2, 2}, 256, 0, 0},
                 {1, false, {11, 2, 2}, 256, 0, 0},    {1, true, {6, 2, 2}, 256, 0, 0},
                 {1, true, {3, 2, 2}, 256, 0, 0}};
    for (const auto &c : cases) {
        VmrFixture f;
        f.version = c.version;
        f.leadingZero = c.leadingZero;
        f.dimX = c.dims[0];
        f.dimY = c.dims[1];
        f.dimZ = c.dims[2];
        f.talairach = c.talairach;
        VolumeDoc doc;
        QVERIFY(readBytes(doc, f.bytes()));
        QCOMPARE(QList<int>({doc.dimX, doc.dimY, doc.dimZ}), c.dims);
        QCOMPARE(voxels(doc), f.voxelData());
        QCOMPARE(QList<float>({doc.crossPosX, doc.crossPosY, doc.crossPosZ}),
                 QList<float>({float(c.dims[0] / 2), float(c.dims[1] / 2), float(c.dims[2] / 2)}));
        const bool offsets = c.version >= 3;
        QCOMPARE(QList<int>({doc.framingCubeDim, doc.offsetX, doc.offsetZ}),
                 QList<int>({c.framingCubeDim, offsets ? 10 : 0, offsets ? 30 : 0}));
        QCOMPARE(doc.posInfoVerified, c.version >= 2 ? 1 : 0);
        QCOMPARE(doc.voxelSizeX, c.version >= 2 ? 1.0f : -1.0f);
        QCOMPARE(doc.rangeMaxValue, c.version >= 2 ? 250 : -1);
        QCOMPARE(QList<bool>({doc.voxelSizeVerified, doc.inTalairachSpace}),
                 QList<bool>({c.version >= 2, c.talairach != 0}));
        QCOMPARE(doc.referenceSpace, c.referenceSpace);
    }
}

// Every field of version 3, with transformation records of any length, their
// names cut at the format's 263 bytes without losing step.
void TestVmr::fullFile()
{
    const QByteArray fits(263, 'a');
    const QByteArray tooLong = QByteArray(263, 'b') + QByteArray(5000, 'c');
    VmrFixture f;
    f.transformations << Transformation{"Rigid \xe9tape", 2, "C:\\data\\subj\\run1.fmr", {1, 2, 3}}
                      << Transformation{"", -1, "", {}}
                      << Transformation{"Affine", 5, "/data/a.vmr", {4.5f, -6, 1e30f}}
                      << Transformation{fits, 1, tooLong, {7}}
                      << Transformation{tooLong, 2, fits, {}};
    f.version = 3;
    f.offsetX = -4;
    f.framingCubeDim = 512;
    f.leftRightConvention = 200;
    f.voxelSizeVerified = 0;
    f.range[0] = -7;
    VolumeDoc doc;
    QVERIFY(readBytes(doc, f.bytes()));
    QCOMPARE(QList<int>({doc.offsetX, doc.offsetY, doc.framingCubeDim, doc.posInfoVerified,
                         doc.coordinateSystem, doc.posGridSize[0], doc.posGridSize[1],
                         doc.nrOfTransformations}),
             QList<int>({-4, 20, 512, 1, 2, 256, 128, 5}));
    QCOMPARE(doc.transformationNames, QStringList({QString::fromLatin1("Rigid \xe9tape"), "",
                                                   "Affine", fits, QByteArray(263, 'b')}));
    QCOMPARE(doc.transformationSourceFiles,
             QStringList({"C:/data/subj/run1.fmr", "", "/data/a.vmr", QByteArray(263, 'b'), fits}));
    QCOMPARE(doc.transformationTypes, QList<int>({2, -1, 5, 1, 2}));
    QCOMPARE(doc.transformationNrOfValues, QList<int>({3, 0, 3, 1, 0}));
    QCOMPARE(doc.transformationValueOffsets, QList<int>({0, 3, 3, 6, 7}));
    QCOMPARE(doc.transformationValues, QList<float>({1, 2, 3, 4.5f, -6, 1e30f, 7}));
    QCOMPARE(QList<float>(doc.posVectors, doc.posVectors + 12),
             QList<float>({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    QCOMPARE(QList<float>(doc.posExtents, doc.posExtents + 4), QList<float>({0.5, 1.5, 2.5, 3.5}));
    QCOMPARE(tail(doc), QList<float>({200, 0, 1, 0.75f, 1.25f, 0, 0, -7, 90, 250}));
}

void TestVmr::trailingFieldsMissing_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("last");
    QTest::addColumn<int>("extra");
    QTest::addColumn<int>("framingCubeDim");
    QTest::addColumn<int>("transformations");
    QTest::addColumn<QList<float>>("tail");

    auto row = [](const char *name, int version, VmrFixture::Section last, int extra,
                  int framingCubeDim, int transformations, const QList<float> &tail) {
        QTest::newRow(name) << version << int(last) << extra << framingCubeDim << transformations
                            << tail;
    };
    // Missing fields read as zeros, except where their absence is looked for;
    // up to six bytes after the position block are not enough for anything.
    const QList<float> none = {0, 0, -1, -1, -1, 0, 0, -1, -1, -1};
    row("v3 after voxels", 3, VmrFixture::Voxels, 0, 0, 0, none);
    row("v3 inside offsets", 3, VmrFixture::Voxels, 7, 0, 0, none);
    row("v4 after offsets", 4, VmrFixture::Offsets, 0, 256, 0, none);
    row("v2 inside position block", 2, VmrFixture::Voxels, 30, 256, 0, none);
    row("v3 after position block", 3, VmrFixture::PositionBlock, 0, 256, 0, none);
    row("v3 six bytes after position block", 3, VmrFixture::PositionBlock, 6, 256, 0, none);
    row("v3 after transformations", 3, VmrFixture::Transformations, 0, 256, 1, none);
    row("v3 after conventions", 3, VmrFixture::Conventions, 0, 256, 1,
        {1, 0, -1, -1, -1, 0, 0, -1, -1, -1});
    row("v3 inside voxel size", 3, VmrFixture::Conventions, 5, 256, 1,
        {1, 0, 1, 0, 0, 0, 0, -1, -1, -1});
    row("v3 after voxel size", 3, VmrFixture::VoxelSize, 0, 256, 1,
        {1, 0, 1, 0.75f, 1.25f, 1, 0, -1, -1, -1});
    row("v3 inside range", 3, VmrFixture::VoxelSize, 9, 256, 1,
        {1, 0, 1, 0.75f, 1.25f, 1, 0, 3, 90, 0});
}

void TestVmr::trailingFieldsMissing()
{
    QFETCH(int, version);
    QFETCH(int, last);
    QFETCH(int, extra);
    VmrFixture f;
    f.version = version;
    f.transformations << Transformation{"t", 1, "s", {1, 2}};
    const int size = f.bytes(VmrFixture::Section(last)).size() + extra;
    VolumeDoc doc;
    QVERIFY(readBytes(doc, f.bytes().left(size)));
    QCOMPARE(voxels(doc), f.voxelData());
    QCOMPARE(doc.crossPosY, 2.0f);
    QTEST(doc.framingCubeDim, "framingCubeDim");
    QTEST(doc.nrOfTransformations, "transformations");
    QCOMPARE(doc.transformationNames.size(), doc.nrOfTransformations);
    QTEST(tail(doc), "tail");
}

void TestVmr::brokenFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");

    VmrFixture f;
    const QByteArray afterPosition = f.bytes(VmrFixture::PositionBlock);
    auto header = [](qint16 version, qint16 x, qint16 y, qint16 z) {
        return FixtureStream().i16(version).i16(x).i16(y).i16(z).data + QByteArray(1000, 1);
    };
    auto record = [&afterPosition](qint32 count, qint32 values) {
        return afterPosition +
               FixtureStream().i32(count).cstr("a").i32(0).cstr("b").i32(values).data;
    };

    const QString headerCut = "not a readable VMR volume (cut short in its header)";
    QTest::newRow("empty") << QByteArray() << headerCut;
    QTest::newRow("one byte") << QByteArray(1, 3) << headerCut;
    QTest::newRow("header cut") << f.bytes(VmrFixture::Header).left(5) << headerCut;
    QTest::newRow("old header cut") << FixtureStream().i16(0).i16(1).i16(5).data << headerCut;
    for (int version : {5, 10}) {
        VmrFixture newer; // complete but for its version
        newer.version = version;
        QTest::addRow("version %d", version)
            << newer.bytes()
            << QString("VMR version %1 is not supported (versions 1 to 4 are)").arg(version);
    }
    for (int axis = 0; axis < 3; ++axis) {
        VmrFixture flat; // a file that would be complete without the dimension check
        (axis == 0 ? flat.dimX : axis == 1 ? flat.dimY : flat.dimZ) = 0;
        QTest::addRow("zero dimension %c", "XYZ"[axis])
            << flat.bytes()
            << QString::asprintf("not a readable VMR volume (dimensions %d × %d × %d)", flat.dimX,
                                 flat.dimY, flat.dimZ);
    }
    QTest::newRow("negative dimension")
        << header(3, 5, -4, 3) << "not a readable VMR volume (dimensions 5 × -4 × 3)";
    QTest::newRow("old negative dimension")
        << FixtureStream().i16(-5).i16(4).i16(3).data + QByteArray(100, 1)
        << "not a readable VMR volume (dimensions -5 × 4 × 3)";
    const QString larger = "voxels is larger than the viewer shows (134217728 voxels, 512 × 512 × "
                           "512)";
    QTest::newRow("a gigavoxel in 8 bytes")
        << FixtureStream().i16(4).i16(1000).i16(1000).i16(1000).data
        << "a volume of 1000 × 1000 × 1000 " + larger;
    QTest::newRow("product beyond int")
        << header(3, 32767, 32767, 32767) << "a volume of 32767 × 32767 × 32767 " + larger;
    QTest::newRow("a voxel more than 512 cubed")
        << header(4, 512, 513, 512) << "a volume of 512 × 513 × 512 " + larger;
    QTest::newRow("voxels one short")
        << f.bytes(VmrFixture::Voxels).chopped(1)
        << "not a readable VMR volume (cut short: 5 × 4 × 3 voxels need 60 bytes, 59 are left)";
    VmrFixture line;
    line.dimX = 4096;
    line.dimY = line.dimZ = 1;
    QTest::newRow("a line") << line.bytes()
                            << "a volume of 4096 × 1 × 1 voxels has no slice to show";
    VmrFixture voxel;
    voxel.dimX = voxel.dimY = voxel.dimZ = 1;
    QTest::newRow("one voxel") << voxel.bytes()
                               << "a volume of 1 × 1 × 1 voxels has no slice to show";

    const QString records =
        "not a readable VMR volume (damaged or cut short in its transformations)";
    QTest::newRow("negative transformation count")
        << afterPosition + FixtureStream().i32(-1).data + QByteArray(20, 0) << records;
    QTest::newRow("huge transformation count")
        << afterPosition + FixtureStream().i32(0x7fffffff).data + QByteArray(20, 0) << records;
    QTest::newRow("count beyond the file")
        << afterPosition + FixtureStream().i32(100000000).cstr("a").i32(1).data << records;
    QTest::newRow("count beyond the records") << record(2, 0) << records;
    QTest::newRow("negative value count") << record(1, -1) + QByteArray(20, 0) << records;
    QTest::newRow("huge value count") << record(1, 0x40000000) + QByteArray(20, 0) << records;
    QTest::newRow("values cut") << record(1, 3) + FixtureStream().f32(1).f32(2).data << records;

    VmrFixture unterminated;
    unterminated.transformations << Transformation{"name", 1, "source", {}};
    const QByteArray transformations = unterminated.bytes(VmrFixture::Transformations);
    QTest::newRow("source file unterminated")
        << transformations.left(afterPosition.size() + 4 + 5 + 4 + 3) << records;
    QTest::newRow("record cut") << transformations.chopped(2) << records;
}

void TestVmr::brokenFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    VolumeDoc doc;
    QVERIFY(!readBytes(doc, bytes));
    QCOMPARE(doc.failureReason(), reason);
    // Voxels and records are weighed against the file, voxels also against
    // what the viewer shows, before anything is made for them.
    QCOMPARE(bool(doc.vmrData), reason.contains("transformations"));
    QVERIFY(doc.transformationNames.size() <= 1);
}

// Names as given and as found from the current folder. The core keeps one
// volume, replaced only by one that reads: not a folder, a missing or a broken
// file (nor a FIFO: the render test's reader rows).
void TestVmr::files()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("subj"));
    const QString path = dir.filePath("subj/anat.vmr"), first = dir.filePath("first.vmr"),
                  broken = dir.filePath("broken.vmr");
    for (const auto &[name, bytes] :
         {qMakePair(path, VmrFixture().bytes()), qMakePair(first, VmrFixture().bytes()),
          qMakePair(broken, VmrFixture().bytes(VmrFixture::Voxels).chopped(1))}) {
        QFile file(name);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }

    VolumeDoc doc;
    QVERIFY(doc.readVolume(path));
    QCOMPARE(QStringList({doc.fileName, doc.filePath, doc.fileNameWithPath}),
             QStringList({"anat.vmr", dir.filePath("subj/"), path}));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.filePath("subj")));
    VolumeDoc bare;
    const bool read = bare.readVolume("anat.vmr");
    QDir::setCurrent(previous);
    QVERIFY(read);
    const QString canonical = QFileInfo(path).canonicalPath() + "/";
    QCOMPARE(QStringList({bare.fileName, bare.filePath, bare.fileNameWithPath}),
             QStringList({"anat.vmr", canonical, canonical + "anat.vmr"}));

    CXSCore loader;
    QVERIFY(!loader.getVolumeDoc(0));
    QVERIFY(loader.loadVMR(first) && loader.loadVMR(path));
    const QString cut = "not a readable VMR volume (cut short: 5 × 4 × 3 voxels need 60 bytes, "
                        "59 are left)";
    for (const auto &[name, reason] :
         {qMakePair(dir.path(), QString("not a regular file")),
          qMakePair(dir.filePath("none.vmr"), QString("no such file")), qMakePair(broken, cut)}) {
        QVERIFY2(!loader.loadVMR(name), qPrintable(name));
        QCOMPARE(loader.getVMRFailureReason(), reason);
        QCOMPARE(loader.getNrOfVolumeDocs(), 1);
        QCOMPARE(loader.getVolumeDoc(0)->fileNameWithPath, path);
    }
    QVERIFY(!loader.getVolumeDoc(1));
    QVERIFY(loader.loadVMR(first));
    QCOMPARE(loader.getVMRFailureReason(), QString());
    QCOMPARE(loader.currentVolumeDoc, -1);
}

QTEST_GUILESS_MAIN(TestVmr)
#include "tst_vmr.moc"
