#include "AffineTransform.h"
#include "ArVolumeMap.h"
#include "ArVolumeMaps.h"
#include "CXSCore.h"
#include "FixtureStream.h"
#include "GridResampler.h"
#include "NiftiImage.h"
#include "NiftiVolume.h"
#include "VmrFixture.h"
#include "VolumeDoc.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <cstring>
#include <vector>

#include <zlib.h>

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

QString fixture(const QString &name)
{
    return QStringLiteral(CXV_NIFTI_FIXTURES "/") + name;
}

// A NIfTI-1 single-file image of 4 × 4 × 4 voxels of values 1..64 of type T,
// as the standard lays it out.
template <typename T = quint8> QByteArray smallImage(qint16 datatype = 2)
{
    QByteArray bytes(352 + 64 * sizeof(T), '\0');
    auto put = [&](int at, auto v) { std::memcpy(bytes.data() + at, &v, sizeof v); };
    put(0, qint32(348));
    const qint16 dims[8] = {3, 4, 4, 4, 1, 1, 1, 1};
    for (int i = 0; i < 8; ++i) {
        put(40 + 2 * i, dims[i]);
        put(76 + 4 * i, 1.0f);
    }
    put(70, datatype);
    put(72, qint16(8 * sizeof(T)));
    put(108, 352.0f);
    std::memcpy(bytes.data() + 344, "n+1\0", 4);
    for (int v = 0; v < 64; ++v)
        put(352 + v * int(sizeof(T)), T(v + 1));
    return bytes;
}

// Uncompressed too through zlib, which then writes the bytes as they are.
void writeFile(const QString &name, const QByteArray &bytes, bool compressed)
{
    gzFile file = gzopen(QFile::encodeName(name).constData(), compressed ? "wb" : "wbT");
    gzwrite(file, bytes.constData(), unsigned(bytes.size()));
    gzclose(file);
}

} // namespace

Q_DECLARE_METATYPE(AffineTransform)

// VolumeDoc's volumes: VMR files, and NIfTI files against nibabel.
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
    void matchesNibabelAtWorldPoints_data();
    void matchesNibabelAtWorldPoints();
    void originalVoxelsAndSpace();
    void niftiHeaders_data();
    void niftiHeaders();
    void mapsByStatisticsAndOverlap();
    void resamplingAGridIsSamplingItsPoints_data();
    void resamplingAGridIsSamplingItsPoints();

private:
    CXSCore core;
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
        QCOMPARE(
            QList<int>({doc.framingCubeDim, doc.offsetX, doc.offsetZ, doc.posInfoVerified}),
            QList<int>({c.framingCubeDim, offsets ? 10 : 0, offsets ? 30 : 0, c.version >= 2}));
        const float talairach = c.talairach != 0, space = c.referenceSpace;
        QCOMPARE(tail(doc),
                 c.version >= 2
                     ? QList<float>({1, space, 1, 0.75f, 1.25f, 1, talairach, 3, 90, 250})
                     : QList<float>({0, space, -1, -1, -1, 0, talairach, -1, -1, -1}));
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
// volume, replaced only by one that reads: not a folder or a missing file (nor
// a FIFO: the render test's reader rows; nor a broken file: cxvinfo's test).
void TestVmr::files()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("subj"));
    const QString path = dir.filePath("subj/anat.vmr"), first = dir.filePath("first.vmr");
    const QByteArray bytes = VmrFixture().bytes();
    for (const QString &name : {path, first}) {
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
    for (const auto &[name, reason] :
         {qMakePair(dir.path(), QString("not a regular file")),
          qMakePair(dir.filePath("none.vmr"), QString("no such file"))}) {
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

void TestVmr::resamplingAGridIsSamplingItsPoints_data()
{
    QTest::addColumn<AffineTransform>("targetToSource");
    QTest::addColumn<bool>("nearest");
    const auto rows = [](std::array<std::array<double, 4>, 3> r) {
        return AffineTransform::fromRows(r);
    };
    QTest::newRow("half voxels") << rows({{{0.5, 0, 0, 0}, {0, 0.5, 0, 0}, {0, 0, 0.5, 0}}})
                                 << false;
    QTest::newRow("turned, flipped, partly beside")
        << rows({{{0, 0, -0.7, 6.2}, {0.4, 0, 0, -1.1}, {0, 1.3, 0, 0.25}}}) << false;
    QTest::newRow("turned, nearest")
        << rows({{{0, 0.6, 0, 0.3}, {0, 0, 0.5, 0}, {-0.45, 0, 0, 4.9}}}) << true;
    QTest::newRow("oblique") << rows({{{0.5, 0.1, 0, 0}, {0, 0.5, 0, 0.2}, {0, 0, 0.5, 0}}})
                             << false;
    QTest::newRow("whole voxels, flipped")
        << rows({{{-1, 0, 0, 6}, {0, 1, 0, 0}, {0, 0, 1, -1}}}) << false;
}

// Filling a target grid gives each voxel the value at its point in the source.
void TestVmr::resamplingAGridIsSamplingItsPoints()
{
    QFETCH(AffineTransform, targetToSource);
    QFETCH(bool, nearest);
    const std::array<qint64, 3> dims = {7, 6, 5};
    std::vector<float> values(7 * 6 * 5);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = float((i * 37) % 101) - 20.5f;
    const GridResampler grid(values.data(), dims, nearest);
    const std::array<int, 3> start = {1, 2, 0}, count = {12, 9, 11};
    std::vector<float> filled(size_t(count[0] * count[1] * count[2]));
    grid.fill(targetToSource, start, count, filled.data());
    int inside = 0;
    for (int z = 0; z < count[2]; ++z)
        for (int y = 0; y < count[1]; ++y)
            for (int x = 0; x < count[0]; ++x) {
                const float expected = grid.at(targetToSource.map(
                    {double(start[0] + x), double(start[1] + y), double(start[2] + z)}));
                const float got = filled[size_t((z * count[1] + y) * count[0] + x)];
                QVERIFY2(std::abs(got - expected) <= 1e-4f,
                         qPrintable(QString::asprintf("%d %d %d: %g, not %g", x, y, z, got,
                                                      double(expected))));
                inside += expected != 0.0f;
            }
    QVERIFY(inside > 50);
}

void TestVmr::matchesNibabelAtWorldPoints_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("orientation");
    QTest::addColumn<float>("voxelSize");
    auto row = [](const char *name, const char *file, const char *orientation, float size) {
        QTest::newRow(name) << QString(file) << QString(orientation) << size;
    };
    row("RAS uint8, gzip", "ras_uint8.nii.gz", "sform", 2.0f);
    row("LPI int16", "lpi_int16.nii", "sform", 1.5f);
    row("oblique sform float32", "oblique_float32.nii.gz", "sform", 1.0f);
    row("qform only", "qform_int16.nii", "qform", 1.0f);
    row("neither, hdr/img pair", "neither_uint8.hdr", "none", 1.0f);
    row("float64 scaled", "scaled_float64.nii", "sform", 1.0f);
    row("4-D, first volume", "fourd_int16.nii.gz", "sform", 2.0f);
    row("NIfTI-2", "nifti2_float32.nii", "sform", 1.0f);
    row("big-endian", "bigendian_int16.nii", "sform", 1.0f);
}

// The grid's bytes, interpolated at a world point, give the value nibabel
// computes there, mapped by the percentiles to 10..225; the ramp volumes make
// trilinear resampling exact, so only the bytes' rounding remains.
void TestVmr::matchesNibabelAtWorldPoints()
{
    QFETCH(QString, file);
    QFETCH(QString, orientation);
    QFETCH(float, voxelSize);
    QVERIFY2(core.loadVMR(fixture(file)), qPrintable(file));
    const VolumeDoc *doc = core.getVolumeDoc(0);
    QVERIFY(doc->niftiVolume);
    QCOMPARE(doc->niftiVolume->image().orientationName(), orientation);
    QCOMPARE(doc->voxelSizeX, voxelSize);
    QVERIFY(doc->dimX <= 256 && doc->dimY <= 256 && doc->dimZ <= 256);

    AffineTransform worldToGrid;
    QVERIFY(doc->niftiVolume->gridToWorld().inverted(worldToGrid));
    const std::vector<float> bytes(doc->vmrData.get(),
                                   doc->vmrData.get() + qint64(doc->dimX) * doc->dimY * doc->dimZ);
    const GridResampler grid(bytes.data(), {doc->dimX, doc->dimY, doc->dimZ}, false);
    QFile values(fixture("expected.txt"));
    QVERIFY(values.open(QIODevice::ReadOnly));
    int points = 0;
    // Each line: the file, a world point, nibabel's value there and the percentiles.
    for (const QByteArray &line : values.readAll().split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() != 7 || f[0] != file.toLatin1())
            continue;
        const AffineTransform::Point world = {f[1].toDouble(), f[2].toDouble(), f[3].toDouble()};
        const double value = f[4].toDouble(), low = f[5].toDouble(), high = f[6].toDouble();
        const double expected = 10 + qBound(0.0, (value - low) / (high - low), 1.0) * 215;
        const float shown = grid.at(worldToGrid.map(world));
        QVERIFY2(std::abs(shown - expected) <= 1.5,
                 qPrintable(QString::asprintf("at %g %g %g: %g, nibabel %g", world[0], world[1],
                                              world[2], shown, expected)));
        ++points;
    }
    QCOMPARE(points, 6);
}

// The cross's world position, the file's own voxel there and its value, and
// the coordinate names the space code gives.
void TestVmr::originalVoxelsAndSpace()
{
    QVERIFY(core.loadVMR(fixture("ras_uint8.nii.gz")));
    const VolumeDoc *doc = core.getVolumeDoc(0);
    const NiftiVolume &volume = *doc->niftiVolume;
    // Right is on the left of the coronal and transverse slices.
    QCOMPARE(doc->leftRightConvention, 1);
    // The file's voxel (3, 5, 7) lies at world (-10, -10, 0).
    AffineTransform worldToGrid;
    QVERIFY(volume.gridToWorld().inverted(worldToGrid));
    const AffineTransform::Point g = worldToGrid.map({-10, -10, 0});
    for (double c : g)
        QCOMPARE(c, std::round(c)); // a 2 mm grid on the file's voxel centres
    std::array<qint64, 3> ijk;
    QVERIFY(volume.fileVoxelAt(int(g[0]), int(g[1]), int(g[2]), ijk));
    QCOMPARE(ijk, (std::array<qint64, 3>{3, 5, 7}));
    QCOMPARE(volume.image().valueAt(3, 5, 7), 2.0f * 3 + 3 * 5 + 5 * 7 + 1);
    QVERIFY(!volume.fileVoxelAt(-1000, 0, 0, ijk));
    // x runs anterior to posterior, y superior to inferior, z right to left.
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            QCOMPARE(volume.gridToWorld().at(row, column), row == (column + 1) % 3 ? -2.0 : 0.0);

    QVERIFY(core.loadVMR(fixture("oblique_float32.nii.gz")));
    const NiftiVolume &oblique = *core.getVolumeDoc(0)->niftiVolume;
    QCOMPARE(oblique.spaceName(), QString());
    // On a tilted grid of uneven voxels the file's voxel shown is the one whose
    // centre lies nearest, never one that a fraction cut off.
    const auto distance = [&oblique](const AffineTransform::Point &world, qint64 i, qint64 j,
                                     qint64 k) {
        const AffineTransform::Point c =
            oblique.image().voxelToWorld().map({double(i), double(j), double(k)});
        return std::hypot(c[0] - world[0], c[1] - world[1], c[2] - world[2]);
    };
    for (int step = 0; step < 8; ++step) {
        const int x = 5 + step, y = 7 + step / 2, z = 6 + step % 3;
        QVERIFY(oblique.fileVoxelAt(x, y, z, ijk));
        const AffineTransform::Point world =
            oblique.gridToWorld().map({double(x), double(y), double(z)});
        const double shown = distance(world, ijk[0], ijk[1], ijk[2]);
        for (int axis = 0; axis < 3; ++axis)
            for (int d : {-1, 1}) {
                std::array<qint64, 3> other = ijk;
                other[axis] += d;
                QVERIFY2(shown <= distance(world, other[0], other[1], other[2]),
                         qPrintable(QString("grid %1 %2 %3").arg(x).arg(y).arg(z)));
            }
    }
}

// Every scalar type reads, scaled only by a slope other than 0; a hostile
// header is refused, saying why.
void TestVmr::niftiHeaders_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("compressed");
    QTest::addColumn<QString>("reason");
    auto with = [](int at, auto v) {
        QByteArray b = smallImage();
        std::memcpy(b.data() + at, &v, sizeof v);
        return b;
    };
    auto with16 = [&with](int at, qint16 v) { return with(at, v); };
    auto withFloat = [&with](int at, float v) { return with(at, v); };
    QTest::newRow("sound") << smallImage() << false << QString();
    QTest::newRow("sound, gzip") << smallImage() << true << QString();
    QTest::newRow("int8") << smallImage<qint8>(256) << false << QString();
    QTest::newRow("uint16") << smallImage<quint16>(512) << false << QString();
    QTest::newRow("int32") << smallImage<qint32>(8) << false << QString();
    QTest::newRow("uint32") << smallImage<quint32>(768) << false << QString();
    QTest::newRow("int64") << smallImage<qint64>(1024) << false << QString();
    QTest::newRow("uint64") << smallImage<quint64>(1280) << false << QString();
    QTest::newRow("float32") << smallImage<float>(16) << false << QString();
    QTest::newRow("float64") << smallImage<double>(64) << false << QString();
    QTest::newRow("float128") << smallImage<long double>(1536) << false << QString();
    // A slope of 0 means unscaled: an intercept left beside it is not applied.
    QByteArray unscaled = smallImage<float>(16);
    const float slopeAndIntercept[2] = {0.0f, 100.0f};
    std::memcpy(unscaled.data() + 112, slopeAndIntercept, sizeof slopeAndIntercept);
    QTest::newRow("slope 0, intercept 100") << unscaled << false << QString();
    QTest::newRow("cut header") << smallImage().left(200) << false << "no NIfTI header";
    QTest::newRow("dim[0] 0") << with16(40, 0) << false << "dim[0]";
    QTest::newRow("dim[0] 8") << with16(40, 8) << false << "dim[0]";
    QTest::newRow("dim[2] 0") << with16(44, 0) << false << "dim[2]";
    QTest::newRow("dim[1] negative") << with16(42, -5) << false << "dim[1]";
    QTest::newRow("huge, short file") << with16(42, 32767) << false << "too short";
    QByteArray huge = smallImage();
    for (int i = 1; i <= 7; ++i) {
        const qint16 big = 32767;
        std::memcpy(huge.data() + 40, "\x07\x00", 2);
        std::memcpy(huge.data() + 40 + 2 * i, &big, 2);
    }
    QTest::newRow("huge, all axes") << huge << false << "more voxels";
    QTest::newRow("huge, gzip") << with16(46, 32767) << true << "too short";
    QTest::newRow("complex") << with16(70, 32) << false << "datatype";
    QTest::newRow("RGB") << with16(70, 128) << false << "datatype";
    QTest::newRow("pixdim NaN") << withFloat(80, NAN) << false << "pixdim[1]";
    QTest::newRow("pixdim 0") << withFloat(88, 0.0f) << false << "pixdim[3]";
    QTest::newRow("pixdim infinite") << withFloat(84, INFINITY) << false << "pixdim[2]";
    QTest::newRow("vox_offset in header") << withFloat(108, 10.0f) << false << "vox_offset";
    QTest::newRow("vox_offset NaN") << withFloat(108, NAN) << false << "vox_offset";
    QTest::newRow("data cut") << smallImage().left(380) << false << "too short";
    QByteArray large = smallImage();
    for (const auto &[at, dim] : {std::pair(42, 512), std::pair(44, 257), std::pair(46, 512)})
        std::memcpy(large.data() + at, &dim, 2);
    QTest::newRow("more voxels than the largest volume")
        << large << true
        << "a volume of 512 × 257 × 512 voxels is larger than the viewer reads (67108864 voxels, "
           "512 × 512 × 256)";
}

void TestVmr::niftiHeaders()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, compressed);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString name = dir.filePath(compressed ? "image.nii.gz" : "image.nii");
    writeFile(name, bytes, compressed);
    NiftiImage image;
    const bool read = image.read(name, true);
    QCOMPARE(read, reason.isEmpty());
    QVERIFY2(image.failureReason().contains(reason), qPrintable(image.failureReason()));
    if (read)
        QCOMPARE(QList<float>({image.valueAt(3, 3, 3), image.valueAt(1, 2, 0)}),
                 QList<float>({64, 10}));
}

// Files with a statistic intent, or floats below 0, over the volume's world
// are listed; an integer mask and a map far away are not; a Talairach VMR's
// world is its Talairach coordinates.
void TestVmr::mapsByStatisticsAndOverlap()
{
    QVERIFY(core.loadVMR(fixture("ras_uint8.nii.gz")));
    VolumeDoc *doc = core.getVolumeDoc(0);
    QVERIFY(doc->niftiMapFits(fixture("zmap_float32.nii.gz")));
    QVERIFY(doc->niftiMapFits(fixture("twomaps_float32.nii")));
    QVERIFY(!doc->niftiMapFits(fixture("far_float32.nii")));
    QVERIFY(!doc->niftiMapFits(fixture("mask_uint8.nii")));
    QVERIFY(!doc->niftiMapFits(fixture("nothing.nii")));

    VolumeDoc talairach;
    talairach.dimX = talairach.dimY = talairach.dimZ = 256;
    talairach.vmrData = std::make_unique<unsigned char[]>(256 * 256 * 256);
    QVERIFY(!talairach.niftiMapFits(fixture("zmap_float32.nii.gz")));
    talairach.referenceSpace = 3;
    QVERIFY(talairach.niftiMapFits(fixture("zmap_float32.nii.gz")));
    QVERIFY(!talairach.niftiMapFits(fixture("far_float32.nii")));

    // Each volume of a 4-D map is a map; the chosen one is resampled into the
    // volume's grid with both signs, ready for the VMP colouring.
    QCOMPARE(doc->loadNiftiMaps(fixture("twomaps_float32.nii")), 2);
    QCOMPARE(doc->niftiMapNames(), QStringList({"Volume 1", "Volume 2"}));
    AffineTransform worldToGrid;
    QVERIFY(doc->niftiVolume->gridToWorld().inverted(worldToGrid));
    // The blobs' centres lie at world (-5, 1, 1), positive, and (7, 1, 1), negative.
    auto valueAt = [&](const AffineTransform::Point &world) {
        const AffineTransform::Point g = worldToGrid.map(world);
        return doc->arVolumeMaps->maps[0]->valueAt(*doc->arVolumeMaps, int(std::lround(g[0])),
                                                   int(std::lround(g[1])), int(std::lround(g[2])));
    };
    for (int volume : {0, 1}) {
        QVERIFY(doc->convertNiftiMapToArVMP(volume));
        QCOMPARE(doc->arVolumeMaps->nrOfSelectedMaps, 1);
        const float sign = volume == 0 ? 1.0f : -1.0f;
        QVERIFY(sign * valueAt({-5, 1, 1}) > 3.0f);
        QVERIFY(sign * valueAt({7, 1, 1}) < -3.0f);
        QCOMPARE(valueAt({-5, 1, 60}), 0.0f);
        QVERIFY(doc->arVolumeMaps->maps[0]->threshMax >= std::abs(valueAt({-5, 1, 1})));
    }
    QVERIFY(!doc->convertNiftiMapToArVMP(2));
    QCOMPARE(doc->mapFailureReason(), QString("holds no map 3"));

    // A map beside the volume reads, but shows nothing: that is said.
    QCOMPARE(doc->loadNiftiMaps(fixture("far_float32.nii")), 1);
    QVERIFY(!doc->convertNiftiMapToArVMP(0));
    QCOMPARE(doc->mapFailureReason(), QString("does not overlap the volume"));
}

QTEST_GUILESS_MAIN(TestVmr)
#include "tst_vmr.moc"
