#include "CXSCore.h"
#include "FixtureStream.h"
#include "VmrFixture.h"
#include "VolumeDoc.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

bool readBytes(VolumeDoc &doc, const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return doc.readVolume(buffer);
}

VmrFixture::Transformation transformation(const QByteArray &name, qint32 type,
                                          const QByteArray &source, const QList<float> &values)
{
    return {name, type, source, values};
}

} // namespace

class TestVmr : public QObject
{
    Q_OBJECT

private slots:
    void headers_data();
    void headers();
    void refusedVersions();
    void fullFile();
    void referenceSpace_data();
    void referenceSpace();
    void shortTail();
    void trailingFieldsMissing_data();
    void trailingFieldsMissing();
    void transformations();
    void longNames();
    void bigEndianHost();
    void brokenFiles_data();
    void brokenFiles();
    void hugeCountsAllocateNothing();
    void nameFields();
    void notRegularFiles();

private:
    CXSCore core;
};

void TestVmr::headers_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<bool>("leadingZero");
    QTest::addColumn<int>("dimX");
    QTest::addColumn<int>("dimY");
    QTest::addColumn<int>("dimZ");
    QTest::addColumn<int>("framingCubeDim");

    QTest::newRow("v3 256 wide") << 3 << false << 256 << 256 << 2 << 256;
    QTest::newRow("v4") << 4 << false << 5 << 4 << 3 << 256;
    QTest::newRow("v2 small") << 2 << false << 5 << 4 << 3 << 256;
    QTest::newRow("v2 deep") << 2 << false << 2 << 3 << 257 << 512;
    QTest::newRow("old 256") << 1 << false << 256 << 2 << 2 << 256;
    QTest::newRow("old 300") << 1 << false << 300 << 2 << 2 << 512;
    QTest::newRow("old tall") << 1 << false << 12 << 300 << 2 << 512;
    QTest::newRow("old dimX 1") << 1 << false << 1 << 2 << 2 << 256;
    QTest::newRow("old dimX 11") << 1 << false << 11 << 2 << 2 << 256;
    QTest::newRow("old leading zero") << 1 << true << 6 << 2 << 2 << 256;
    QTest::newRow("old leading zero, dimX 3") << 1 << true << 3 << 2 << 2 << 256;
}

// The first int16 decides between a versioned and an old header; the framing
// cube of headers without one follows from the dimensions.
void TestVmr::headers()
{
    QFETCH(int, version);
    QFETCH(bool, leadingZero);
    QFETCH(int, dimX);
    QFETCH(int, dimY);
    QFETCH(int, dimZ);
    QFETCH(int, framingCubeDim);

    VmrFixture f;
    f.version = version;
    f.leadingZero = leadingZero;
    f.dimX = dimX;
    f.dimY = dimY;
    f.dimZ = dimZ;
    f.framingCubeDim = 256;
    VolumeDoc doc(&core);
    QVERIFY(readBytes(doc, f.bytes()));
    QCOMPARE(doc.dimX, dimX);
    QCOMPARE(doc.dimY, dimY);
    QCOMPARE(doc.dimZ, dimZ);
    QCOMPARE(QByteArray(reinterpret_cast<char *>(doc.vmrData), dimX * dimY * dimZ), f.voxelData());
    QCOMPARE(doc.framingCubeDim, framingCubeDim);
    QCOMPARE(doc.offsetX, version >= 3 ? 10 : 0);
    QCOMPARE(doc.offsetZ, version >= 3 ? 30 : 0);
    QCOMPARE(doc.crossPosX, float(dimX / 2));
    QCOMPARE(doc.crossPosY, float(dimY / 2));
    QCOMPARE(doc.crossPosZ, float(dimZ / 2));
    // Version 1 stops after the voxels.
    QCOMPARE(doc.posInfoVerified, version >= 2 ? 1 : 0);
    QCOMPARE(doc.voxelSizeX, version >= 2 ? 1.0f : -1.0f);
    QCOMPARE(doc.rangeMaxValue, version >= 2 ? 250 : -1);
}

void TestVmr::refusedVersions()
{
    for (qint16 version = 5; version <= 10; ++version) {
        QByteArray bytes = FixtureStream().i16(version).i16(2).i16(2).i16(2).data;
        bytes += QByteArray(8 + 100, 1);
        VolumeDoc doc(&core);
        QVERIFY2(!readBytes(doc, bytes), qPrintable(QString::number(version)));
    }
}

void TestVmr::fullFile()
{
    VmrFixture f;
    f.version = 3;
    f.offsetX = -4;
    f.framingCubeDim = 512;
    f.leftRightConvention = 200;
    f.voxelSizeVerified = 0;
    f.range[0] = -7;
    VolumeDoc doc(&core);
    QVERIFY(readBytes(doc, f.bytes()));

    QCOMPARE(doc.offsetX, -4);
    QCOMPARE(doc.offsetY, 20);
    QCOMPARE(doc.framingCubeDim, 512);
    QCOMPARE(doc.posInfoVerified, 1);
    QCOMPARE(doc.coordinateSystem, 2);
    for (int i = 0; i < 12; ++i)
        QCOMPARE(doc.posVectors[i], float(i + 1));
    QCOMPARE(doc.posGridSize[0], 256);
    QCOMPARE(doc.posGridSize[1], 128);
    QCOMPARE(doc.posExtents[3], 3.5f);
    QCOMPARE(doc.nrOfTransformations, 0);
    QCOMPARE(doc.leftRightConvention, 200);
    QCOMPARE(doc.referenceSpace, 0);
    QCOMPARE(doc.voxelSizeX, 1.0f);
    QCOMPARE(doc.voxelSizeY, 0.75f);
    QCOMPARE(doc.voxelSizeZ, 1.25f);
    QCOMPARE(doc.voxelSizeVerified, false);
    QCOMPARE(doc.inTalairachSpace, false);
    QCOMPARE(doc.rangeMinValue, -7);
    QCOMPARE(doc.rangeMeanValue, 90);
    QCOMPARE(doc.rangeMaxValue, 250);
}

void TestVmr::referenceSpace_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("talairach");
    QTest::addColumn<int>("referenceSpace");

    QTest::newRow("v2 Talairach") << 2 << 1 << 3;
    QTest::newRow("v3 Talairach") << 3 << 5 << 3;
    QTest::newRow("v3 native") << 3 << 0 << 0;
    QTest::newRow("v4 Talairach keeps its byte") << 4 << 1 << 2;
    QTest::newRow("v4 native keeps its byte") << 4 << 0 << 2;
}

void TestVmr::referenceSpace()
{
    QFETCH(int, version);
    QFETCH(int, talairach);
    QFETCH(int, referenceSpace);

    VmrFixture f;
    f.version = version;
    f.talairach = talairach;
    f.referenceSpace = 2;
    VolumeDoc doc(&core);
    QVERIFY(readBytes(doc, f.bytes()));
    QCOMPARE(doc.inTalairachSpace, talairach != 0);
    QCOMPARE(doc.referenceSpace, referenceSpace);
    QCOMPARE(doc.voxelSizeVerified, true);
}

// Up to six bytes after the position block are not enough for anything more.
void TestVmr::shortTail()
{
    VmrFixture f;
    f.version = 3;
    f.transformations << transformation("t", 1, "s", {1});
    for (int extra = 0; extra <= 6; ++extra) {
        const QByteArray bytes = f.bytes(VmrFixture::PositionBlock) + QByteArray(extra, 9);
        VolumeDoc doc(&core);
        QVERIFY(readBytes(doc, bytes));
        QCOMPARE(doc.posGridSize[1], 128);
        QCOMPARE(doc.nrOfTransformations, 0);
        QVERIFY(doc.transformationNames.isEmpty());
        QCOMPARE(doc.leftRightConvention, 0);
        QCOMPARE(doc.voxelSizeX, -1.0f);
        QCOMPARE(doc.voxelSizeVerified, false);
        QCOMPARE(doc.rangeMinValue, -1);
        QCOMPARE(doc.crossPosX, 2.0f);
    }
}

void TestVmr::trailingFieldsMissing_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("last");
    QTest::addColumn<int>("extra");
    QTest::addColumn<int>("framingCubeDim");
    QTest::addColumn<int>("leftRight");
    QTest::addColumn<float>("voxelSizeY");
    QTest::addColumn<int>("rangeMax");

    // Missing fields read as zeros, except where their absence is looked for.
    QTest::newRow("v3 after voxels") << 3 << int(VmrFixture::Voxels) << 0 << 0 << 0 << -1.0f << -1;
    QTest::newRow("v3 inside offsets")
        << 3 << int(VmrFixture::Voxels) << 7 << 0 << 0 << -1.0f << -1;
    QTest::newRow("v4 after offsets")
        << 4 << int(VmrFixture::Offsets) << 0 << 256 << 0 << -1.0f << -1;
    QTest::newRow("v2 inside position block")
        << 2 << int(VmrFixture::Voxels) << 30 << 256 << 0 << -1.0f << -1;
    QTest::newRow("v3 after transformations")
        << 3 << int(VmrFixture::Transformations) << 0 << 256 << 0 << -1.0f << -1;
    QTest::newRow("v3 after conventions")
        << 3 << int(VmrFixture::Conventions) << 0 << 256 << 1 << -1.0f << -1;
    QTest::newRow("v3 inside voxel size")
        << 3 << int(VmrFixture::Conventions) << 5 << 256 << 1 << 0.0f << -1;
    QTest::newRow("v3 after voxel size")
        << 3 << int(VmrFixture::VoxelSize) << 0 << 256 << 1 << 0.75f << -1;
    QTest::newRow("v3 inside range")
        << 3 << int(VmrFixture::VoxelSize) << 9 << 256 << 1 << 0.75f << 0;
}

void TestVmr::trailingFieldsMissing()
{
    QFETCH(int, version);
    QFETCH(int, last);
    QFETCH(int, extra);
    QFETCH(int, framingCubeDim);
    QFETCH(int, leftRight);
    QFETCH(float, voxelSizeY);
    QFETCH(int, rangeMax);

    VmrFixture f;
    f.version = version;
    f.transformations << transformation("t", 1, "s", {1, 2});
    const QByteArray full = f.bytes();
    const int size = f.bytes(VmrFixture::Section(last)).size() + extra;
    VolumeDoc doc(&core);
    QVERIFY(readBytes(doc, full.left(size)));
    QCOMPARE(QByteArray(reinterpret_cast<char *>(doc.vmrData), 60), f.voxelData());
    QCOMPARE(doc.framingCubeDim, framingCubeDim);
    QCOMPARE(doc.leftRightConvention, leftRight);
    QCOMPARE(doc.voxelSizeY, voxelSizeY);
    QCOMPARE(doc.rangeMaxValue, rangeMax);
    QCOMPARE(doc.crossPosY, 2.0f);
}

void TestVmr::transformations()
{
    VmrFixture f;
    f.transformations << transformation("Rigid \xe9tape", 2, "C:\\data\\subj\\run1.fmr", {1, 2, 3})
                      << transformation("", -1, "", {})
                      << transformation("Affine", 5, "/data/a.vmr", {4.5f, -6});
    VolumeDoc doc(&core);
    QVERIFY(readBytes(doc, f.bytes()));

    QCOMPARE(doc.nrOfTransformations, 3);
    QCOMPARE(doc.transformationNames,
             QStringList({QString::fromLatin1("Rigid \xe9tape"), "", "Affine"}));
    QCOMPARE(doc.transformationSourceFiles,
             QStringList({"C:/data/subj/run1.fmr", "", "/data/a.vmr"}));
    QCOMPARE(doc.transformationTypes, QList<int>({2, -1, 5}));
    QCOMPARE(doc.transformationNrOfValues, QList<int>({3, 0, 2}));
    QCOMPARE(doc.transformationValueOffsets, QList<int>({0, 3, 3}));
    QCOMPARE(doc.transformationValues, QList<float>({1, 2, 3, 4.5f, -6}));
    QCOMPARE(doc.leftRightConvention, 1);
    QCOMPARE(doc.referenceSpace, 2);
    QCOMPARE(doc.rangeMeanValue, 90);
}

// Names longer than the 263 bytes the format allows are cut, and the rest of
// the record is still read from the right place.
void TestVmr::longNames()
{
    const QByteArray fits(263, 'a');
    const QByteArray tooLong = QByteArray(263, 'b') + QByteArray(5000, 'c');
    VmrFixture f;
    f.transformations << transformation(fits, 1, tooLong, {7})
                      << transformation(tooLong, 2, fits, {8});
    VolumeDoc doc(&core);
    QVERIFY(readBytes(doc, f.bytes()));
    QCOMPARE(doc.transformationNames, QStringList({fits, QByteArray(263, 'b')}));
    QCOMPARE(doc.transformationSourceFiles, QStringList({QByteArray(263, 'b'), fits}));
    QCOMPARE(doc.transformationTypes, QList<int>({1, 2}));
    QCOMPARE(doc.transformationValues, QList<float>({7, 8}));
    QCOMPARE(doc.rangeMaxValue, 250);
}

// Value by value on a big-endian host gives what the raw reads give here.
void TestVmr::bigEndianHost()
{
    VmrFixture f;
    f.transformations << transformation("t", 1, "s", {1.5f, -2.25f, 1e30f});
    CXSCore bigEndianCore;
    bigEndianCore.hostIsBigEndian = true;
    VolumeDoc doc(&bigEndianCore);
    QVERIFY(readBytes(doc, f.bytes()));
    QCOMPARE(doc.transformationValues, QList<float>({1.5f, -2.25f, 1e30f}));
    QCOMPARE(doc.voxelSizeZ, 1.25f);
}

void TestVmr::brokenFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");

    VmrFixture f;
    const QByteArray afterPosition = f.bytes(VmrFixture::PositionBlock);
    auto header = [](qint16 x, qint16 y, qint16 z) {
        return FixtureStream().i16(3).i16(x).i16(y).i16(z).data;
    };

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("one byte") << QByteArray(1, 3);
    QTest::newRow("header cut") << f.bytes(VmrFixture::Header).left(5);
    QTest::newRow("old header cut") << FixtureStream().i16(0).i16(1).i16(5).data;
    QTest::newRow("zero dimension") << header(5, 0, 3) + QByteArray(100, 1);
    QTest::newRow("negative dimension") << header(5, -4, 3) + QByteArray(100, 1);
    QTest::newRow("old negative dimension")
        << FixtureStream().i16(-5).i16(4).i16(3).data + QByteArray(100, 1);
    QTest::newRow("product beyond int") << header(32767, 32767, 32767) + QByteArray(1000, 1);
    QTest::newRow("voxels one short") << f.bytes(VmrFixture::Voxels).chopped(1);
    QTest::newRow("voxels missing") << f.bytes(VmrFixture::Header);

    QTest::newRow("negative transformation count")
        << afterPosition + FixtureStream().i32(-1).data + QByteArray(20, 0);
    QTest::newRow("huge transformation count")
        << afterPosition + FixtureStream().i32(0x7fffffff).data + QByteArray(20, 0);
    QTest::newRow("count beyond the records")
        << afterPosition + FixtureStream().i32(2).cstr("a").i32(0).cstr("b").i32(0).data;
    QTest::newRow("negative value count")
        << afterPosition + FixtureStream().i32(1).cstr("a").i32(0).cstr("b").i32(-1).data +
               QByteArray(20, 0);
    QTest::newRow("huge value count")
        << afterPosition + FixtureStream().i32(1).cstr("a").i32(0).cstr("b").i32(0x40000000).data +
               QByteArray(20, 0);
    QTest::newRow("values cut")
        << afterPosition +
               FixtureStream().i32(1).cstr("a").i32(0).cstr("b").i32(3).f32(1).f32(2).data;

    VmrFixture unterminated;
    unterminated.transformations << transformation("name", 1, "source", {});
    QTest::newRow("source file unterminated") << unterminated.bytes(VmrFixture::Transformations)
                                                     .left(afterPosition.size() + 4 + 5 + 4 + 3);
    QTest::newRow("record cut") << unterminated.bytes(VmrFixture::Transformations).chopped(2);
}

void TestVmr::brokenFiles()
{
    QFETCH(QByteArray, bytes);
    VolumeDoc doc(&core);
    QVERIFY(!readBytes(doc, bytes));
}

// Counts are weighed against the file before anything is made for them.
void TestVmr::hugeCountsAllocateNothing()
{
    VolumeDoc doc(&core);
    QVERIFY(!readBytes(doc, FixtureStream().i16(4).i16(3000).i16(3000).i16(3000).data));
    QVERIFY(!doc.vmrData);

    const QByteArray afterPosition = VmrFixture().bytes(VmrFixture::PositionBlock);
    VolumeDoc transformed(&core);
    QVERIFY(!readBytes(transformed,
                       afterPosition + FixtureStream().i32(100000000).cstr("a").i32(1).data));
    QVERIFY(transformed.transformationNames.isEmpty());
}

void TestVmr::nameFields()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir("subj"));
    const QString path = dir.path() + "/subj/anat.vmr";
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(VmrFixture().bytes());
    file.close();

    VolumeDoc doc(&core);
    QVERIFY(doc.readVolume(path));
    QCOMPARE(doc.fileName, "anat.vmr");
    QCOMPARE(doc.filePath, dir.path() + "/subj/");
    QCOMPARE(doc.fileNameWithPath, path);

    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path() + "/subj"));
    VolumeDoc bare(&core);
    const bool read = bare.readVolume("anat.vmr");
    QDir::setCurrent(previous);
    QVERIFY(read);
    QCOMPARE(bare.fileName, "anat.vmr");
    QCOMPARE(bare.filePath, QFileInfo(path).canonicalPath() + "/");
    QCOMPARE(bare.fileNameWithPath, QFileInfo(path).canonicalPath() + "/anat.vmr");

    VolumeDoc missing(&core);
    QVERIFY(!missing.readVolume(dir.path() + "/none.vmr"));
}

// Opening a FIFO would wait for a writer; a folder is no file.
void TestVmr::notRegularFiles()
{
    QTemporaryDir dir;
    const QString fifo = dir.path() + "/pipe.vmr";
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    VolumeDoc doc(&core);
    QVERIFY(!doc.readVolume(fifo));
    QVERIFY(!doc.readVolume(dir.path()));
}

QTEST_GUILESS_MAIN(TestVmr)
#include "tst_vmr.moc"
