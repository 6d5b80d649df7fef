#include "ArVolumeMap.h"
#include "ArVolumeMaps.h"
#include "CXSCore.h"
#include "DICOMDoc.h"
#include "FileHelpers.h"
#include "FreeSurferFiles.h"
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

// How many of count values reach the threshold on either side.
QPair<qint64, qint64> beyond(const float *data, qint64 count, float threshold)
{
    return {std::count_if(data, data + count, [&](float v) { return v >= threshold; }),
            std::count_if(data, data + count, [&](float v) { return v <= -threshold; })};
}

// Name, type, thresholds and display settings of each map, a line each.
template <typename Map> QStringList settings(const std::vector<std::unique_ptr<Map>> &maps)
{
    QStringList lines;
    for (const auto &m : maps) {
        lines << QString("%1: type %2, %3..%4, cluster %5%6, shown %7%8")
                     .arg(m->mapName)
                     .arg(m->mapType)
                     .arg(m->threshMin, 0, 'g', 6)
                     .arg(m->threshMax, 0, 'g', 6)
                     .arg(m->clusterSize)
                     .arg(m->clusterCheckEnabled ? " checked" : "")
                     .arg(m->showPosNeg)
                     .arg(m->useMapColors ? ", own colours" : "");
    }
    return lines;
}

// The vertices that an overlay of map m gives a colour of its own, and how many colours.
QPair<int, int> overlaid(SurfaceMesh &mesh, int m)
{
    mesh.surfaceMaps->selectedMaps = {m};
    mesh.surfaceMaps->nrOfSelectedMaps = 1;
    mesh.prepareDisplayOfSMP();
    mesh.overlaySMP(mesh.surfaceMaps->maps[m]->storedDisplay());
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
    void freeSurferHemisphere();
    void inspectorReadsEverything();
    void optionsAreNoFolders();
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
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QByteArray>("exifByteOrder"); // empty: no EXIF block

    const QList<std::tuple<QString, QSize, QByteArray>> rows = {
        {"Cortex_Lateral.png", {800, 600}, ""},
        {"Cortex_Top_Exif6.jpg", {800, 600}, "II"},
        {"Julia_Portrait.jpg", {768, 1024}, ""},
        {"Large_Mountains_12MP.jpg", {4000, 3000}, ""},
        {"Large_Plasma_12MP.jpg", {4000, 3000}, ""},
        {"Mandelbrot.gif", {640, 480}, ""},
        {"Mountains_Exif8.jpg", {720, 1280}, "MM"},
        {"Phantom_Axial.png", {512, 512}, ""},
        {"Phantom_Axial_Hot.gif", {512, 512}, ""},
        {"Phantom_Coronal_Exif3.jpg", {512, 512}, "MM"},
        {"Phantom_Montage.jpg", {1024, 768}, ""},
        {"Phantom_Sagittal.png", {512, 512}, ""},
        {"Plasma.png", {800, 800}, ""},
    };
    for (const auto &[name, size, byteOrder] : rows)
        QTest::newRow(qPrintable(name)) << name << size << byteOrder;
}

// The format the extension names; the orientation a name gives after "Exif"
// is in an EXIF block that comes first, and Qt's own reading agrees.
void TestSamples::pictures()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, exifByteOrder);

    QImageReader reader(path(name));
    const QByteArray format = name.endsWith(".jpg") ? "jpeg" : name.section('.', -1).toLatin1();
    QCOMPARE(reader.format(), format);
    QTEST(reader.size(), "size");
    QVERIFY2(!reader.read().isNull(), qPrintable(reader.errorString()));
    if (format != "jpeg")
        return;
    const int orientation = exifByteOrder.isEmpty() ? 1 : name.section("Exif", 1).left(1).toInt();
    QCOMPARE(getOrientationFromExif(path(name)), orientation);
    const QMap<int, QImageIOHandler::Transformations> turns = {
        {1, QImageIOHandler::TransformationNone},
        {3, QImageIOHandler::TransformationRotate180},
        {6, QImageIOHandler::TransformationRotate90},
        {8, QImageIOHandler::TransformationRotate270}};
    QCOMPARE(reader.transformation(), turns.value(orientation));
    QFile file(path(name));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray head = file.read(14);
    if (!exifByteOrder.isEmpty())
        QCOMPARE(head.mid(2, 2) + head.mid(6), QByteArray("\xFF\xE1"
                                                          "Exif\0\0",
                                                          8) +
                                                   exifByteOrder);
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
        QCOMPARE(QList<int>({doc.explicitVR, doc.byteOrder, doc.metaByteOrder, doc.instanceNumber,
                             doc.seriesNumber, doc.nrOfRows, doc.nrOfColumns, doc.bitsAllocated}),
                 QList<int>({!implicit, instance == 16 ? 2 : 1, 1, instance, 3, 256, 256, 16}));
        QCOMPARE(QList<float>(
                     {doc.rowSpacing, doc.columnSpacing, doc.sliceThickness, doc.sliceDistance}),
                 QList<float>({0.9375f, 0.9375f, 4, 4.5f}));
        QStringList texts;
        for (const char *field :
             {doc.modality, doc.manufacturer, doc.manufacturerModelName, doc.magneticFieldStrength,
              doc.repetitionTime, doc.institutionName, doc.studyDescription, doc.seriesDescription,
              doc.patientName, doc.imageOrientationPatient})
            texts << DICOMDoc::cleanString(QString::fromLatin1(field), true);
        QCOMPARE(texts.join('|'),
                 "MR|Cortivex Imaging|CX Synthesis 3T|3|500|Cortivex Phantom "
                 "Laboratory|Head phantom|T1 SE axial|Phantom^Paula|1\\0\\0\\0\\1\\0");
        const QByteArray position(doc.imagePositionPatient);
        QCOMPARE(position.count('\\'), 2);
        QCOMPARE(position.split('\\').last().trimmed().toDouble(), -48 + 4.5 * (instance - 1));
        // Pixels in a plausible range whatever the byte order: a wrong swap
        // would give values in the thousands or negative ones.
        const auto [lowest, highest] =
            std::minmax_element(doc.pixelData.get(), doc.pixelData.get() + 65536);
        QVERIFY(*lowest >= 0 && *highest < 1000);
        QCOMPARE_GT(doc.meanIntensity, 150.0f);
    }
    QVERIFY(!QFile::exists(path("MR_Phantom_0033.dcm")));
}

void TestSamples::volumes_data()
{
    QTest::addColumn<QString>("name");
    // Dimensions, offsets, framing cube, left-right convention, Talairach flag
    // and reference space.
    QTest::addColumn<QList<int>>("fields");
    QTest::addColumn<float>("voxelSize");
    QTest::addColumn<QVector3D>("centre");

    QTest::newRow("Talairach") << "Phantom_Head.vmr"
                               << QList<int>{256, 256, 256, 0, 0, 0, 256, 1, 1, 3} << 1.0f
                               << QVector3D(0, 0, 0);
    QTest::newRow("native") << "Phantom_Head_1.2mm.vmr"
                            << QList<int>{180, 200, 160, 38, 28, 48, 256, 1, 0, 0} << 1.2f
                            << QVector3D(0, -6, -10);
}

void TestSamples::volumes()
{
    QFETCH(QString, name);
    QFETCH(float, voxelSize);
    QFETCH(QVector3D, centre);

    CXSCore core;
    QVERIFY(core.loadVMR(path(name)));
    const VolumeDoc &doc = *core.getVolumeDoc(0);
    QTEST(QList<int>({doc.dimX, doc.dimY, doc.dimZ, doc.offsetX, doc.offsetY, doc.offsetZ,
                      doc.framingCubeDim, doc.leftRightConvention, doc.inTalairachSpace,
                      doc.referenceSpace}),
          "fields");
    QCOMPARE(QList<float>({doc.voxelSizeX, doc.voxelSizeY, doc.voxelSizeZ}),
             QList<float>(3, voxelSize));
    QVERIFY(10 <= doc.rangeMinValue && doc.rangeMinValue < doc.rangeMeanValue &&
            doc.rangeMeanValue < doc.rangeMaxValue && doc.rangeMaxValue <= 225);

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
    QList<quint64> listed;
    for (int t = 0; t < triangles; ++t) {
        const int *i = mesh.triangles.get() + 3 * t;
        enclosed += QVector3D::dotProduct(
            vertex(mesh, i[0]) - centre,
            QVector3D::crossProduct(vertex(mesh, i[1]) - centre, vertex(mesh, i[2]) - centre));
        listed << canonical(i[0], i[1], i[2]);
    }
    QCOMPARE_GT(enclosed, 0.0);
    QVERIFY(mesh.hasTriangleStrips);
    QList<quint64> stripped;
    const int *s = mesh.triangleStrips.get();
    for (int k = 0, first = 0; k < mesh.nrOfTriangleStrips; ++k) {
        if (s[k] < 0)
            first = k + 1;
        else if (k - first >= 2) // every second triangle of a strip runs the other way
            stripped << ((k - first) % 2 ? canonical(s[k - 1], s[k - 2], s[k])
                                         : canonical(s[k - 2], s[k - 1], s[k]));
    }
    std::sort(listed.begin(), listed.end());
    std::sort(stripped.begin(), stripped.end());
    QCOMPARE(stripped, listed);
    // Long strips, or they would save nothing.
    QCOMPARE_LT(mesh.nrOfTriangleStrips, triangles * 11 / 10);

    // Colour codes 1 in the sulci of the cortex, 0 elsewhere.
    const int sulcal =
        int(std::count(mesh.vertexColors.get(), mesh.vertexColors.get() + vertices, 1));
    QCOMPARE(std::count(mesh.vertexColors.get(), mesh.vertexColors.get() + vertices, 0),
             vertices - sulcal);
    QVERIFY(folded ? sulcal > vertices / 10 && sulcal < vertices / 2 : sulcal == 0);
    if (!folded)
        return;

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
    for (const QString &word : words.mid(1))
        QVERIFY2(QRegularExpression("^-?[0-9.]+$").match(word).hasMatch(), qPrintable(word));
}

void TestSamples::maps()
{
    CXSCore core;
    QVERIFY(core.loadVMR(path("Phantom_Head.vmr")));
    VolumeDoc &doc = *core.getVolumeDoc(0);

    // The current format over the brain at resolution 3, each map with a
    // hundred cells (thousands of voxels) past the threshold either way.
    QCOMPARE(doc.loadVolumeMaps(path("Phantom_Head_Maps.vmp")), 1);
    const VolumeMaps &set = *doc.volumeMaps;
    QCOMPARE(QList<int>({set.vmpVersion, set.resolution, set.xStart, set.xEnd, set.yStart, set.yEnd,
                         set.zStart, set.zEnd}),
             QList<int>({6, 3, 56, 227, 48, 189, 58, 199}));
    QCOMPARE(settings(set.maps),
             QStringList({"Faces > Houses: type 1, 3..8, cluster 4 checked, shown 3",
                          "Correlation with task: type 2, 0.3..0.8, cluster 6 checked, shown 3, "
                          "own colours"}));
    for (int m = 0; m < 2; ++m) {
        const float *data = set.maps[m]->mapData.get();
        const auto [lowest, highest] = std::minmax_element(data, data + 56 * 47 * 47);
        const float limit = m == 1 ? 1 : 12;
        QVERIFY(*lowest > -limit && *highest < limit);
        const auto [positive, negative] = beyond(data, 56 * 47 * 47, set.maps[m]->threshMin);
        QVERIFY2(positive > 100 && negative > 100,
                 qPrintable(QString("%1 %2").arg(positive).arg(negative)));
    }

    // The older format at the volume's resolution loads onto it unmoved; its
    // strongest voxels lie in the cortex.
    QCOMPARE(doc.loadVolumeMaps(path("Phantom_Head_Old.vmp")), 2);
    QCOMPARE(doc.loadArVolumeMaps(path("Phantom_Head_Old.vmp")), 1);
    QVERIFY(!doc.volumeMaps);
    const ArVolumeMaps &older = *doc.arVolumeMaps;
    QCOMPARE(QList<int>({older.savedDimX, older.savedDimY, older.savedDimZ, older.xStart,
                         older.xEnd, older.yStart, older.yEnd, older.zStart, older.zEnd}),
             QList<int>({256, 256, 256, 56, 224, 48, 188, 58, 198}));
    QCOMPARE(settings(older.maps),
             QStringList({"Finger tapping: type 1, 4..8, cluster 50 checked, shown 3"}));
    const float *data = older.maps[0]->mapData.get();
    const qint64 voxels = older.boxDimX() * older.boxDimY() * older.boxDimZ();
    const auto [positive, negative] = beyond(data, voxels, 4);
    QVERIFY(positive > 1000 && negative > 300);
    for (const float *extreme :
         {std::max_element(data, data + voxels), std::min_element(data, data + voxels)}) {
        const qint64 i = extreme - data;
        const int value =
            doc.vmrData[older.xStart + i % older.boxDimX() +
                        256 * (older.yStart + i / older.boxDimX() % older.boxDimY()) +
                        65536 * (older.zStart + i / (older.boxDimX() * older.boxDimY()))];
        QVERIFY2(value > 95 && value < 130, "not in grey matter");
    }

    // The surface maps: each colours a good part of its mesh, a t map has
    // vertices past the threshold either way, the lag map shows its six lags.
    const QList<QPair<QString, QStringList>> meshes = {
        {"Phantom_Cortex",
         {"Faces > Houses: type 1, 3..8, cluster 25 checked, shown 3",
          "Correlation with task: type 2, 0.3..0.8, cluster 7, shown 3, own colours",
          "Lag of the task response: type 3, 0.3..0.8, cluster 7, shown 3"}},
        {"Sphere", {"Waves: type 1, 3..8, cluster 7, shown 3"}}};
    for (const auto &[mesh, expected] : meshes) {
        QVERIFY(core.loadMesh(path(mesh + ".srf")));
        SurfaceMesh &surface = *core.getMesh(0);
        QVERIFY(surface.loadSMPs(path(mesh + ".smp")));
        QCOMPARE(surface.surfaceMaps->srfFileName, mesh + ".srf");
        QCOMPARE(settings(surface.surfaceMaps->maps), expected);
        const int n = surface.nrOfVertices;
        for (int m = 0; m < expected.size(); ++m) {
            const SurfaceMap &map = *surface.surfaceMaps->maps[m];
            const auto [coloured, colours] = overlaid(surface, m);
            QVERIFY(coloured > n / 10 && coloured < n * 6 / 10);
            const auto [positive, negative] = beyond(map.mapData.get(), n, map.threshMin);
            QVERIFY(map.mapType != 1 || (positive > n / 50 && negative > n / 50));
            if (map.mapType == 3) {
                QCOMPARE(QList<int>(map.lagValues, map.lagValues + 4), QList<int>({6, 0, 5, 0}));
                QCOMPARE(colours, 6);
            }
        }
    }
}

// The left hemisphere as FreeSurfer writes it: white and pial surfaces a
// thickness apart in the grey matter of the sample head, closed, turning
// counter-clockwise from outside; curvature, and labels where there is cortex.
void TestSamples::freeSurferHemisphere()
{
    FreeSurferReader reader;
    const auto white = reader.readSurface(path("FreeSurfer/lh.white"));
    const auto pial = reader.readSurface(path("FreeSurfer/lh.pial"));
    const auto thickness = reader.readValues(path("FreeSurfer/lh.thickness"));
    const auto curvature = reader.readValues(path("FreeSurfer/lh.curv"));
    const auto lobes = reader.readAnnotation(path("FreeSurfer/lh.aparc.annot"));
    QVERIFY(white && pial && thickness && curvature && lobes);
    const int vertices = 40962;
    QCOMPARE(white->vertexCount(), vertices);
    QCOMPARE(white->faceCount(), 81920);
    QCOMPARE(pial->faces, white->faces);
    QCOMPARE(thickness->faceCount, white->faceCount());
    QCOMPARE(lobes->labelOfVertex.size(), size_t(vertices));
    QStringList names;
    for (const auto &label : lobes->table)
        names << label.name;
    QCOMPARE(names, QStringList({"frontal", "parietal", "temporal", "occipital"}));

    const auto at = [](const SurfaceGeometry &g, qint64 v) {
        return QVector3D(g.xyz[size_t(3 * v)], g.xyz[size_t(3 * v + 1)], g.xyz[size_t(3 * v + 2)]);
    };
    CXSCore core;
    QVERIFY(core.loadVMR(path("Phantom_Head.vmr")));
    const VolumeDoc &volume = *core.getVolumeDoc(0);
    int cortex = 0, inBrain = 0, sulcal = 0;
    QVector3D centre;
    for (int v = 0; v < vertices; ++v) {
        const float t = thickness->values[size_t(v)];
        QVERIFY(std::abs((at(*pial, v) - at(*white, v)).length() - t) < 1e-3f);
        QCOMPARE_LE(at(*white, v).x(), 0.0f);
        centre += at(*white, v) / vertices;
        QCOMPARE(lobes->labelOfVertex[size_t(v)] >= 0, t > 0);
        if (t == 0) {
            QCOMPARE(curvature->values[size_t(v)], 0.0f);
            continue;
        }
        // The middle of the cortex in the Talairach volume's voxels.
        const QVector3D p = (at(*pial, v) + at(*white, v)) / 2;
        const int value = volume.vmrData[qRound(128 - p.y()) + 256 * qRound(128 - p.z()) +
                                         65536 * qRound(128 - p.x())];
        inBrain += value > 90 && value < 190;
        sulcal += curvature->values[size_t(v)] > 0;
        ++cortex;
    }
    QVERIFY(cortex > vertices * 4 / 10 && cortex < vertices * 6 / 10);
    QCOMPARE_GE(inBrain, cortex * 9 / 10);
    QVERIFY(sulcal > cortex / 10 && sulcal < cortex / 2);

    // Every side is met once each way round; the enclosed volume is positive.
    QSet<quint64> sides;
    double enclosed = 0;
    for (qint64 t = 0; t < white->faceCount(); ++t) {
        const qint32 *i = white->faces.data() + 3 * t;
        for (int k = 0; k < 3; ++k)
            sides.insert(quint64(i[k]) << 32 | quint32(i[(k + 1) % 3]));
        enclosed += QVector3D::dotProduct(
            at(*white, i[0]) - centre,
            QVector3D::crossProduct(at(*white, i[1]) - centre, at(*white, i[2]) - centre));
    }
    QCOMPARE(sides.size(), 3 * white->faceCount());
    for (const quint64 side : std::as_const(sides))
        QVERIFY(sides.contains(side << 32 | side >> 32));
    QCOMPARE_GT(enclosed, 0.0);
}

void TestSamples::inspectorReadsEverything()
{
    QStringList documents =
        QDir(folder.path()).entryList({"*.vmr", "*.srf", "*.dcm", "*.vmp", "*.smp"}, QDir::Files);
    for (const char *name : {"lh.white", "lh.pial", "lh.curv", "lh.thickness", "lh.aparc.annot"})
        documents << QString("FreeSurfer/") + name;
    QProcess inspector;
    inspector.setWorkingDirectory(folder.path());
    inspector.start(QCoreApplication::applicationDirPath() + "/cxvinfo",
                    QStringList{"--json", "--volume", "Phantom_Head.vmr"} + documents);
    QVERIFY(inspector.waitForFinished(60000));
    QCOMPARE(inspector.readAllStandardError(), QByteArray());
    QCOMPARE(inspector.exitCode(), 0);
    QCOMPARE(inspector.readAllStandardOutput().count("\"ok\":true"), documents.size());
}

// "--help" or any option prints the usage; it never becomes a folder.
void TestSamples::optionsAreNoFolders()
{
    QTemporaryDir here;
    QProcess maker;
    maker.setWorkingDirectory(here.path());
    maker.start(QCoreApplication::applicationDirPath() + "/cxv-make-samples", {"--help"});
    QVERIFY(maker.waitForFinished(60000));
    QCOMPARE(maker.exitCode(), 2);
    QCOMPARE(maker.readAllStandardError(), QByteArray("usage: cxv-make-samples OUTDIR\n"));
    QCOMPARE(QDir(here.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

// The folder written at build time by the program, in a process of its own.
void TestSamples::sameBytesEveryRun()
{
    const QDir again(CXV_BUILT_SAMPLES);
    QStringList names = QDir(folder.path()).entryList(QDir::Files);
    QCOMPARE(again.entryList(QDir::Files), names);
    for (const QString &name : QDir(path("FreeSurfer")).entryList(QDir::Files))
        names << "FreeSurfer/" + name;
    for (const QString &name : names) {
        QFile first(path(name)), second(again.filePath(name));
        QVERIFY(first.open(QIODevice::ReadOnly) && second.open(QIODevice::ReadOnly));
        QVERIFY2(first.readAll() == second.readAll(), qPrintable(name));
    }
}

QTEST_GUILESS_MAIN(TestSamples)
#include "tst_samples.moc"
