#include "ArVolumeMap.h"
#include "ArVolumeMaps.h"
#include "CXSCore.h"
#include "DICOMDoc.h"
#include "FileHelpers.h"
#include "GifWriter.h"
#include "SampleSet.h"
#include "SurfaceMap.h"
#include "SurfaceMaps.h"
#include "SurfaceMesh.h"
#include "VolumeDoc.h"
#include "VolumeMap.h"
#include "VolumeMaps.h"

#include <QBuffer>
#include <QImageReader>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QVector3D>

#include <algorithm>
#include <tuple>

namespace {

// Voxel value at a head position (mm: x right, y anterior, z superior) of a
// volume whose axes run anterior to posterior, superior to inferior and right
// to left, with its middle voxel at the head position centre.
int voxelAt(const VolumeDoc &doc, const QVector3D &head, const QVector3D &centre, float size)
{
    const int x = int(doc.dimX / 2 - (head.y() - centre.y()) / size);
    const int y = int(doc.dimY / 2 - (head.z() - centre.z()) / size);
    const int z = int(doc.dimZ / 2 - (head.x() - centre.x()) / size);
    return doc.vmrData[x + y * doc.dimX + z * doc.dimX * doc.dimY];
}

QVector3D vertex(const SurfaceMesh &mesh, int v)
{
    return QVector3D(mesh.vertexX[v], mesh.vertexY[v], mesh.vertexZ[v]);
}

// A triangle as a number, turned so that its smallest index comes first:
// the same for each of its three turns, different for the opposite sense.
quint64 canonical(int a, int b, int c)
{
    if (b < a && b < c)
        return canonical(b, c, a);
    if (c < a && c < b)
        return canonical(c, a, b);
    return quint64(a) << 42 | quint64(b) << 21 | quint64(c);
}

QString text(const char *field)
{
    return DICOMDoc::cleanString(QString::fromLatin1(field), true);
}

struct Passing
{
    int positive = 0, negative = 0;
    // Indices into the 256³ volume of the highest and the lowest value.
    int highest = 0, lowest = 0;
};

// The voxels of a map beyond its threshold on either side.
Passing passing(const ArVolumeMaps &set, const ArVolumeMap &map)
{
    Passing result;
    const qint64 count = set.boxDimX() * set.boxDimY() * set.boxDimZ();
    const float *data = map.mapData;
    result.positive =
        int(std::count_if(data, data + count, [&](float v) { return v >= map.threshMin; }));
    result.negative =
        int(std::count_if(data, data + count, [&](float v) { return v <= -map.threshMin; }));
    const auto toVoxel = [&](qint64 i) {
        const int x = int(set.xStart + i % set.boxDimX());
        const int y = int(set.yStart + i / set.boxDimX() % set.boxDimY());
        const int z = int(set.zStart + i / (set.boxDimX() * set.boxDimY()));
        return x + 256 * y + 65536 * z;
    };
    result.highest = toVoxel(std::max_element(data, data + count) - data);
    result.lowest = toVoxel(std::min_element(data, data + count) - data);
    return result;
}

// The vertices that an overlay of map m gives a colour of its own, and how many colours.
QPair<int, int> overlaid(SurfaceMesh &mesh, int m)
{
    mesh.surfaceMaps->selectedMaps = {m};
    mesh.surfaceMaps->nrOfSelectedMaps = 1;
    mesh.prepareDisplayOfSMP();
    mesh.overlaySMP();
    QSet<int> colours;
    int count = 0;
    for (int v = 0; v < mesh.nrOfVertices; ++v) {
        if (mesh.vertexColors[v] >= 0x3F000000) {
            ++count;
            colours.insert(mesh.vertexColors[v]);
        }
    }
    return {count, int(colours.size())};
}

} // namespace

class TestSamples : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void pictures_data();
    void pictures();
    void gifEncoding();
    void dicomSeries();
    void volumes_data();
    void volumes();
    void meshes_data();
    void meshes();
    void maps();
    void inspectorReadsEverything();
    void sameBytesEveryRun();

private:
    QString path(const QString &name) const { return folder.filePath(name); }

    QTemporaryDir folder;
};

void TestSamples::initTestCase()
{
    QVERIFY(folder.isValid());
    QVERIFY(SampleSet(folder.path()).write());
}

void TestSamples::pictures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QByteArray>("byteOrder");

    const QList<std::tuple<QString, QByteArray, QSize, int, QByteArray>> rows = {
        {"Cortex_Lateral.png", "png", {800, 600}, 1, ""},
        {"Cortex_Top_Exif6.jpg", "jpeg", {800, 600}, 6, "II"},
        {"Julia_Portrait.jpg", "jpeg", {768, 1024}, 1, ""},
        {"Large_Mountains_12MP.jpg", "jpeg", {4000, 3000}, 1, ""},
        {"Large_Plasma_12MP.jpg", "jpeg", {4000, 3000}, 1, ""},
        {"Mandelbrot.gif", "gif", {640, 480}, 1, ""},
        {"Mountains_Exif8.jpg", "jpeg", {720, 1280}, 8, "MM"},
        {"Phantom_Axial.png", "png", {512, 512}, 1, ""},
        {"Phantom_Axial_Hot.gif", "gif", {512, 512}, 1, ""},
        {"Phantom_Coronal_Exif3.jpg", "jpeg", {512, 512}, 3, "MM"},
        {"Phantom_Montage.jpg", "jpeg", {1024, 768}, 1, ""},
        {"Phantom_Sagittal.png", "png", {512, 512}, 1, ""},
        {"Plasma.png", "png", {800, 800}, 1, ""},
    };
    for (const auto &[name, format, size, orientation, byteOrder] : rows)
        QTest::newRow(qPrintable(name)) << name << format << size << orientation << byteOrder;
}

void TestSamples::pictures()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, format);
    QFETCH(QSize, size);
    QFETCH(int, orientation);
    QFETCH(QByteArray, byteOrder);

    QImageReader reader(path(name));
    QCOMPARE(reader.format(), format);
    QCOMPARE(reader.size(), size);
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    if (format != "jpeg")
        return;
    QCOMPARE(getOrientationFromExif(path(name)), orientation);
    // Qt's own EXIF reading agrees, and the block has the byte order asked for.
    const QMap<int, QImageIOHandler::Transformations> turns = {
        {1, QImageIOHandler::TransformationNone},
        {3, QImageIOHandler::TransformationRotate180},
        {6, QImageIOHandler::TransformationRotate90},
        {8, QImageIOHandler::TransformationRotate270}};
    QCOMPARE(reader.transformation(), turns.value(orientation));
    QFile file(path(name));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray head = file.read(14);
    if (!byteOrder.isEmpty()) {
        QCOMPARE(head.mid(2, 2), QByteArray("\xFF\xE1"));
        QCOMPARE(head.mid(6, 6), QByteArray("Exif\0\0", 6));
        QCOMPARE(head.mid(12, 2), byteOrder);
    }
}

void TestSamples::gifEncoding()
{
    // Noise fills the code table several times over, runs make long codes.
    QImage image(300, 200, QImage::Format_Indexed8);
    QList<QRgb> palette;
    for (int i = 0; i < 256; ++i)
        palette << qRgb(i, 255 - i, (i * 7) % 256);
    image.setColorTable(palette);
    QRandomGenerator random(5);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.scanLine(y)[x] = uchar(y < 100 ? random.bounded(256) : x / 40);
    }
    QByteArray bytes = GifWriter::encode(image);
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer, "gif");
    const QImage decoded = reader.read().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(decoded, image.convertToFormat(QImage::Format_RGB32));
}

void TestSamples::dicomSeries()
{
    CXSCore core;
    for (int instance = 1; instance <= 32; ++instance) {
        const QString name = QString("MR_Phantom_%1.dcm").arg(instance, 4, 10, QChar('0'));
        QVERIFY2(core.loadDICOM(path(name)), qPrintable(name));
        const DICOMDoc &doc = *core.getDICOMDoc();
        const bool implicit = instance == 10 || instance == 23;
        QCOMPARE(doc.explicitVR, !implicit);
        QCOMPARE(doc.byteOrder, instance == 16 ? 2 : 1);
        QCOMPARE(doc.metaByteOrder, 1);
        QCOMPARE(doc.instanceNumber, instance);
        QCOMPARE(doc.seriesNumber, 3);
        QCOMPARE(doc.nrOfRows, 256);
        QCOMPARE(doc.nrOfColumns, 256);
        QCOMPARE(doc.bitsAllocated, 16);
        QCOMPARE(doc.rowSpacing, 0.9375f);
        QCOMPARE(doc.columnSpacing, 0.9375f);
        QCOMPARE(doc.sliceThickness, 4.0f);
        QCOMPARE(doc.sliceDistance, 4.5f);
        QCOMPARE(text(doc.modality), QString("MR"));
        QCOMPARE(text(doc.manufacturer), QString("Cortivex Imaging"));
        QCOMPARE(text(doc.manufacturerModelName), QString("CX Synthesis 3T"));
        QCOMPARE(text(doc.magneticFieldStrength), QString("3"));
        QCOMPARE(text(doc.repetitionTime), QString("500"));
        QCOMPARE(text(doc.institutionName), QString("Cortivex Phantom Laboratory"));
        QCOMPARE(text(doc.studyDescription), QString("Head phantom"));
        QCOMPARE(text(doc.seriesDescription), QString("T1 SE axial"));
        QCOMPARE(text(doc.patientName), QString("Phantom^Paula"));
        QCOMPARE(text(doc.imageOrientationPatient), QString("1\\0\\0\\0\\1\\0"));
        const QStringList position = text(doc.imagePositionPatient).split('\\');
        QCOMPARE(position.size(), 3);
        QCOMPARE(position[2].toDouble(), -48 + 4.5 * (instance - 1));
        // Pixels in a plausible range whatever the byte order: a wrong swap
        // would give values in the thousands or negative ones.
        const qint16 *pixels = doc.pixelData;
        QVERIFY(*std::min_element(pixels, pixels + 256 * 256) >= 0);
        QVERIFY(*std::max_element(pixels, pixels + 256 * 256) < 1000);
        QCOMPARE_GT(doc.meanIntensity, 150.0f);
    }
    QVERIFY(!QFile::exists(path("MR_Phantom_0033.dcm")));
}

void TestSamples::volumes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QList<int>>("dims");
    QTest::addColumn<float>("voxelSize");
    QTest::addColumn<bool>("talairach");
    QTest::addColumn<int>("referenceSpace");
    QTest::addColumn<QList<int>>("offsets");
    QTest::addColumn<QVector3D>("centre");

    QTest::newRow("Talairach") << "Phantom_Head.vmr" << QList<int>{256, 256, 256} << 1.0f << true
                               << 3 << QList<int>{0, 0, 0} << QVector3D(0, 0, 0);
    QTest::newRow("native") << "Phantom_Head_1.2mm.vmr" << QList<int>{180, 200, 160} << 1.2f
                            << false << 0 << QList<int>{38, 28, 48} << QVector3D(0, -6, -10);
}

void TestSamples::volumes()
{
    QFETCH(QString, name);
    QFETCH(QList<int>, dims);
    QFETCH(float, voxelSize);
    QFETCH(bool, talairach);
    QFETCH(int, referenceSpace);
    QFETCH(QList<int>, offsets);
    QFETCH(QVector3D, centre);

    CXSCore core;
    QVERIFY(core.loadVMR(path(name)));
    const VolumeDoc &doc = *core.getVolumeDoc(0);
    QCOMPARE(QList<int>({doc.dimX, doc.dimY, doc.dimZ}), dims);
    QCOMPARE(QList<float>({doc.voxelSizeX, doc.voxelSizeY, doc.voxelSizeZ}),
             QList<float>(3, voxelSize));
    QCOMPARE(doc.inTalairachSpace, talairach);
    QCOMPARE(doc.referenceSpace, referenceSpace);
    QCOMPARE(QList<int>({doc.offsetX, doc.offsetY, doc.offsetZ}), offsets);
    QCOMPARE(doc.framingCubeDim, 256);
    QCOMPARE(doc.leftRightConvention, 1);
    QCOMPARE_GE(doc.rangeMinValue, 10);
    QCOMPARE_LE(doc.rangeMaxValue, 225);
    QCOMPARE_LT(doc.rangeMinValue, doc.rangeMeanValue);
    QCOMPARE_LT(doc.rangeMeanValue, doc.rangeMaxValue);

    // The axes run as the volume view expects: the capsule marks the right,
    // the eyes lie in front and the head ends above, while the neck goes on.
    const auto at = [&](float x, float y, float z) {
        return voxelAt(doc, QVector3D(x, y, z), centre, voxelSize);
    };
    QCOMPARE_GT(at(80, 10, 40), 200);
    QCOMPARE_LT(at(-80, 10, 40), 15);
    QCOMPARE_LT(at(32, 66, -20), 40);
    QCOMPARE_LT(at(-32, 66, -20), 40);
    QCOMPARE_GT(at(32, -66, -20), 80);
    QCOMPARE_LT(at(0, 0, 98), 15);
    QCOMPARE_GT(at(30, -15, -110), 60);
}

void TestSamples::meshes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("vertices");
    QTest::addColumn<int>("triangles");
    QTest::addColumn<bool>("folded");

    QTest::newRow("cortex") << "Phantom_Cortex.srf" << 40962 << 81920 << true;
    QTest::newRow("sphere") << "Sphere.srf" << 10242 << 20480 << false;
}

void TestSamples::meshes()
{
    QFETCH(QString, name);
    QFETCH(int, vertices);
    QFETCH(int, triangles);
    QFETCH(bool, folded);

    CXSCore core;
    QVERIFY(core.loadMesh(path(name)));
    SurfaceMesh &mesh = *core.getMesh(0);
    QCOMPARE(mesh.nrOfVertices, vertices);
    QCOMPARE(mesh.nrOfTriangles, triangles);
    QVERIFY(mesh.hasNoDeletedRegions());
    QCOMPARE(mesh.calculateMeanNrOfNeighbors(), 6.0f * (vertices - 2) / vertices);

    // The mesh view mirrors the surface along z but draws the normal (n) as
    // (-nx, -ny, nz), the negation of the mirrored one. So the surface is lit
    // from outside when the drawn normal points along the drawn outward
    // direction, the mirrored (ox, oy, -oz): when the reader's normals, made
    // from the neighbour rings, point inwards. The folds turn a few sideways.
    QVector3D centre;
    for (int v = 0; v < vertices; ++v)
        centre += vertex(mesh, v) / vertices;
    int litOutside = 0;
    for (int v = 0; v < vertices; ++v) {
        const QVector3D outward = vertex(mesh, v) - centre;
        const QVector3D drawnNormal(-mesh.normalX[v], -mesh.normalY[v], mesh.normalZ[v]);
        const QVector3D drawnOutward(outward.x(), outward.y(), -outward.z());
        litOutside += QVector3D::dotProduct(drawnNormal, drawnOutward) > 0;
    }
    QCOMPARE_GE(litOutside, folded ? vertices * 9 / 10 : vertices);

    // The triangles turn counter-clockwise seen from outside (the enclosed
    // volume is positive), and the strips hold each of them once, turned alike.
    double enclosed = 0;
    QSet<quint64> listed;
    for (int t = 0; t < triangles; ++t) {
        const int *i = mesh.triangles + 3 * t;
        enclosed += QVector3D::dotProduct(
            vertex(mesh, i[0]) - centre,
            QVector3D::crossProduct(vertex(mesh, i[1]) - centre, vertex(mesh, i[2]) - centre));
        listed.insert(canonical(i[0], i[1], i[2]));
    }
    QCOMPARE_GT(enclosed, 0.0);
    QVERIFY(mesh.hasTriangleStrips);
    QSet<quint64> stripped;
    int stripTriangles = 0;
    QList<int> strip;
    for (int k = 0; k <= mesh.nrOfTriangleStrips; ++k) {
        if (k < mesh.nrOfTriangleStrips && mesh.triangleStrips[k] >= 0) {
            strip << mesh.triangleStrips[k];
            continue;
        }
        for (int j = 0; j + 2 < strip.size(); ++j, ++stripTriangles) {
            stripped.insert(j % 2 ? canonical(strip[j + 1], strip[j], strip[j + 2])
                                  : canonical(strip[j], strip[j + 1], strip[j + 2]));
        }
        strip.clear();
    }
    QCOMPARE(stripTriangles, triangles);
    QCOMPARE(stripped, listed);
    // Long strips, or they would save nothing.
    QCOMPARE_LT(mesh.nrOfTriangleStrips, triangles * 11 / 10);

    const int sulcal = int(std::count(mesh.vertexColors, mesh.vertexColors + vertices, 1));
    QCOMPARE(std::count(mesh.vertexColors, mesh.vertexColors + vertices, 0), vertices - sulcal);
    if (!folded) {
        QCOMPARE(sulcal, 0);
        return;
    }
    QVERIFY(sulcal > vertices / 10 && sulcal < vertices / 2);

    // The cortex lies in the Talairach volume's frame, in its grey or white matter.
    QVERIFY(core.loadVMR(path("Phantom_Head.vmr")));
    const VolumeDoc &volume = *core.getVolumeDoc(0);
    int inBrain = 0;
    for (int v = 0; v < vertices; ++v) {
        const QVector3D p = vertex(mesh, v);
        const int value =
            volume.vmrData[qRound(p.x()) + 256 * qRound(p.y()) + 65536 * qRound(p.z())];
        inBrain += value > 90 && value < 190;
    }
    QCOMPARE_GE(inBrain, vertices * 9 / 10);

    // Its viewing parameters: a version label and the 29 numbers that follow.
    QFile file(path("Phantom_Cortex.vwp"));
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList words =
        QString::fromLatin1(file.readAll()).split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
    QCOMPARE(words.size(), 31);
    QVERIFY(words[0].startsWith('F'));
    for (const QString &word : words.mid(1)) {
        bool isNumber = false;
        word.toDouble(&isNumber);
        QVERIFY2(isNumber, qPrintable(word));
    }
}

void TestSamples::maps()
{
    CXSCore core;
    QVERIFY(core.loadVMR(path("Phantom_Head.vmr")));
    VolumeDoc &doc = *core.getVolumeDoc(0);
    const auto isGrey = [&](int voxel) {
        return doc.vmrData[voxel] > 95 && doc.vmrData[voxel] < 130;
    };

    // The current format over the brain at resolution 3, each map converted
    // onto the volume with thousands of voxels past the threshold either way.
    QCOMPARE(doc.loadVolumeMaps(path("Phantom_Head_Maps.vmp")), 1);
    VolumeMaps &set = *doc.volumeMaps;
    QCOMPARE(set.vmpVersion, 6);
    QCOMPARE(set.resolution, 3);
    QCOMPARE(QList<int>({set.xStart, set.xEnd, set.yStart, set.yEnd, set.zStart, set.zEnd}),
             QList<int>({56, 227, 48, 189, 58, 199}));
    QCOMPARE(set.maps.size(), 2);
    const QList<std::tuple<QString, int, float, float, int, bool>> volumeMaps = {
        {"Faces > Houses", 1, 3.0f, 8.0f, 4, false},
        {"Correlation with task", 2, 0.3f, 0.8f, 6, true}};
    for (int m = 0; m < 2; ++m) {
        const auto &[name, type, threshMin, threshMax, clusterSize, useMapColors] = volumeMaps[m];
        const VolumeMap &map = *set.maps[m];
        QCOMPARE(map.mapName, name);
        QCOMPARE(map.mapType, type);
        QCOMPARE(map.threshMin, threshMin);
        QCOMPARE(map.threshMax, threshMax);
        QCOMPARE(map.clusterSize, clusterSize);
        QVERIFY(map.clusterCheckEnabled);
        QCOMPARE(map.showPosNeg, 3);
        QCOMPARE(map.useMapColors, useMapColors);
        const float *data = map.mapData;
        const qsizetype cells = 56 * 47 * 47;
        QCOMPARE_LT(*std::max_element(data, data + cells), type == 2 ? 1.0f : 12.0f);
        QCOMPARE_GT(*std::min_element(data, data + cells), type == 2 ? -1.0f : -12.0f);

        set.selectedMaps = {m};
        set.nrOfSelectedMaps = 1;
        doc.convertSelectedMapsToNrMaps(true);
        QVERIFY(doc.arVolumeMaps);
        const ArVolumeMaps &converted = *doc.arVolumeMaps;
        QCOMPARE(converted.boxDimX() * converted.boxDimY() * converted.boxDimZ(), 172 * 142 * 142);
        QCOMPARE(converted.maps.size(), 1);
        QCOMPARE(converted.maps[0]->clusterSize, clusterSize * 27);
        const Passing p = passing(converted, *converted.maps[0]);
        QCOMPARE_GT(p.positive, 3000);
        QCOMPARE_GT(p.negative, 3000);
    }

    // The older format at the volume's resolution loads onto it unmoved; its
    // strongest voxels lie in the cortex.
    QCOMPARE(doc.loadVolumeMaps(path("Phantom_Head_Old.vmp")), 2);
    QCOMPARE(doc.loadArVolumeMaps(path("Phantom_Head_Old.vmp")), 1);
    QVERIFY(!doc.volumeMaps);
    const ArVolumeMaps &older = *doc.arVolumeMaps;
    QCOMPARE(QList<int>({older.savedDimX, older.savedDimY, older.savedDimZ}), QList<int>(3, 256));
    QCOMPARE(
        QList<int>({older.xStart, older.xEnd, older.yStart, older.yEnd, older.zStart, older.zEnd}),
        QList<int>({56, 224, 48, 188, 58, 198}));
    QCOMPARE(older.maps.size(), 1);
    const ArVolumeMap &tapping = *older.maps[0];
    QCOMPARE(tapping.mapName, QString("Finger tapping"));
    QCOMPARE(tapping.mapType, 1);
    QCOMPARE(tapping.threshMin, 4.0f);
    QCOMPARE(tapping.threshMax, 8.0f);
    QCOMPARE(tapping.clusterSize, 50);
    QCOMPARE(tapping.showPosNeg, 3);
    const Passing p = passing(older, tapping);
    QCOMPARE_GT(p.positive, 1000);
    QCOMPARE_GT(p.negative, 300);
    QVERIFY(isGrey(p.highest) && isGrey(p.lowest));

    // The surface maps: names, statistics and thresholds as written, and each
    // colours a good part of its mesh. The lag map shows its six lags.
    using SurfaceMapRow = std::tuple<QString, int, float, float>;
    const QList<QPair<QString, QList<SurfaceMapRow>>> meshes = {
        {"Phantom_Cortex",
         {{"Faces > Houses", 1, 3.0f, 8.0f},
          {"Correlation with task", 2, 0.3f, 0.8f},
          {"Lag of the task response", 3, 0.3f, 0.8f}}},
        {"Sphere", {{"Waves", 1, 3.0f, 8.0f}}}};
    for (const auto &[mesh, rows] : meshes) {
        QVERIFY(core.loadMesh(path(mesh + ".srf")));
        SurfaceMesh &surface = *core.getMesh(0);
        QVERIFY(surface.loadSMPs(path(mesh + ".smp")));
        QCOMPARE(surface.surfaceMaps->srfFileName, mesh + ".srf");
        QCOMPARE(surface.surfaceMaps->maps.size(), rows.size());
        for (int m = 0; m < rows.size(); ++m) {
            const auto &[name, type, threshMin, threshMax] = rows[m];
            const SurfaceMap &map = *surface.surfaceMaps->maps[m];
            QCOMPARE(map.mapName, name);
            QCOMPARE(map.mapType, type);
            QCOMPARE(map.threshMin, threshMin);
            QCOMPARE(map.threshMax, threshMax);
            const auto [coloured, colours] = overlaid(surface, m);
            QCOMPARE_GT(coloured, surface.nrOfVertices / 10);
            QCOMPARE_LT(coloured, surface.nrOfVertices * 6 / 10);
            const float *data = map.mapData;
            const float *end = data + surface.nrOfVertices;
            if (type == 1) {
                QCOMPARE_GT(std::count_if(data, end, [&](float v) { return v >= threshMin; }),
                            surface.nrOfVertices / 50);
                QCOMPARE_GT(std::count_if(data, end, [&](float v) { return v <= -threshMin; }),
                            surface.nrOfVertices / 50);
            }
            if (type == 3) {
                QCOMPARE(QList<int>(map.lagValues, map.lagValues + 4), QList<int>({6, 0, 5, 0}));
                QCOMPARE(colours, 6);
            }
        }
    }
}

void TestSamples::inspectorReadsEverything()
{
    const QStringList documents =
        QDir(folder.path()).entryList({"*.vmr", "*.srf", "*.dcm", "*.vmp", "*.smp"}, QDir::Files);
    QProcess inspector;
    inspector.setWorkingDirectory(folder.path());
    inspector.start(QCoreApplication::applicationDirPath() + "/cxvinfo",
                    QStringList{"--json", "--volume", "Phantom_Head.vmr"} + documents);
    QVERIFY(inspector.waitForFinished(60000));
    QCOMPARE(inspector.readAllStandardError(), QByteArray());
    QCOMPARE(inspector.exitCode(), 0);
    QCOMPARE(inspector.readAllStandardOutput().count("\"ok\":true"), documents.size());
}

void TestSamples::sameBytesEveryRun()
{
    QTemporaryDir again;
    QVERIFY(SampleSet(again.path()).write());
    const QStringList names = QDir(folder.path()).entryList(QDir::Files);
    QCOMPARE(QDir(again.path()).entryList(QDir::Files), names);
    for (const QString &name : names) {
        QFile first(path(name)), second(QDir(again.path()).filePath(name));
        QVERIFY(first.open(QIODevice::ReadOnly) && second.open(QIODevice::ReadOnly));
        QVERIFY2(first.readAll() == second.readAll(), qPrintable(name));
    }
}

QTEST_GUILESS_MAIN(TestSamples)
#include "tst_samples.moc"
