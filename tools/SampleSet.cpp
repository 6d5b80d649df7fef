#include "SampleSet.h"

#include "DicomFixture.h"
#include "FixtureStream.h"
#include "GifWriter.h"
#include "MeshRasterizer.h"
#include "Phantom.h"
#include "SamplePictures.h"
#include "SmpFixture.h"
#include "SrfFixture.h"
#include "VmpFixture.h"
#include "VmrFixture.h"

#include <QBuffer>
#include <QColor>
#include <QFile>
#include <QImageWriter>
#include <QMatrix4x4>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

// The Talairach volume's voxel (x, y, z) lies at 128 - (anterior, superior,
// right) in mm: its axes run anterior to posterior, superior to inferior and
// right to left, as the volume view expects.
QVector3D talairachToHead(float x, float y, float z)
{
    return QVector3D(128 - z, 128 - x, 128 - y);
}

QVector3D headToTalairach(const QVector3D &p)
{
    return QVector3D(128 - p.y(), 128 - p.z(), 128 - p.x());
}

// A direction in the Talairach volume's axes as one in the head's axes.
QVector3D talairachDirectionInHead(const QVector3D &d)
{
    return QVector3D(-d.z(), -d.x(), -d.y());
}

// An APP1 segment holding an EXIF block with nothing but the orientation tag.
QByteArray exifSegment(int orientation, bool bigEndian)
{
    FixtureStream tiff(bigEndian);
    tiff.bytes(bigEndian ? "MM" : "II").u16(42).u32(8);              // header, first directory at 8
    tiff.u16(1);                                                     // one entry
    tiff.u16(0x0112).u16(3).u32(1).u16(quint16(orientation)).u16(0); // SHORT, left-aligned
    tiff.u32(0);                                                     // no next directory
    FixtureStream segment(true);
    segment.u8(0xFF).u8(0xE1).u16(quint16(2 + 6 + tiff.data.size()));
    return segment.bytes(QByteArray("Exif\0\0", 6)).bytes(tiff.data).data;
}

// A new image takes its density from the program's screen, or from the tests'
// setting; the files give the 100 dots an inch of a program without a screen.
QImage atSampleDensity(QImage image)
{
    image.setDotsPerMeterX(3937);
    image.setDotsPerMeterY(3937);
    return image;
}

QByteArray jpeg(const QImage &image, int quality)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    return writer.write(atSampleDensity(image)) ? buffer.data() : QByteArray();
}

// A JPEG whose pixels are stored turned so that a viewer honouring the EXIF
// orientation (3: half a turn, 6: a quarter clockwise, 8: anticlockwise)
// shows the upright image.
QByteArray turnedJpeg(const QImage &upright, int orientation, bool bigEndian)
{
    const int storedTurn = orientation == 3 ? 180 : orientation == 6 ? -90 : 90;
    QByteArray bytes = jpeg(upright.transformed(QTransform().rotate(storedTurn)), 90);
    if (!bytes.startsWith("\xFF\xD8"))
        return QByteArray();
    return bytes.insert(2, exifSegment(orientation, bigEndian));
}

// A camera aimed at the brain: right and up are the head's directions that
// point right and up in the picture; yaw and pitch then turn the view a little.
QMatrix4x4 brainCamera(const QVector3D &right, const QVector3D &up, float yaw, float pitch)
{
    const QVector3D back = QVector3D::crossProduct(right, up);
    QMatrix4x4 camera;
    camera.rotate(pitch, 1, 0, 0);
    camera.rotate(yaw, 0, 1, 0);
    camera *= QMatrix4x4(right.x(), right.y(), right.z(), 0, up.x(), up.y(), up.z(), 0, back.x(),
                         back.y(), back.z(), 0, 0, 0, 0, 1);
    camera.translate(-Phantom::brainCentre);
    return camera;
}

QByteArray decimal(double value)
{
    return QByteArray::number(value, 'g', 10);
}

QByteArray volumeBytes(VmrFixture &vmr, const std::function<QVector3D(int, int, int)> &position)
{
    vmr.voxels.resize(qsizetype(vmr.dimX) * vmr.dimY * vmr.dimZ);
    uchar *voxel = reinterpret_cast<uchar *>(vmr.voxels.data());
    qint64 sum = 0;
    int lowest = 255, highest = 0;
    for (int z = 0; z < vmr.dimZ; ++z) {
        for (int y = 0; y < vmr.dimY; ++y) {
            for (int x = 0; x < vmr.dimX; ++x) {
                const int v = qRound(Phantom::intensity(position(x, y, z)));
                *voxel++ = uchar(v);
                sum += v;
                lowest = std::min(lowest, v);
                highest = std::max(highest, v);
            }
        }
    }
    // No position or history information.
    std::fill(std::begin(vmr.posVectors), std::end(vmr.posVectors), 0.0f);
    std::fill(std::begin(vmr.posGridSize), std::end(vmr.posGridSize), 0);
    std::fill(std::begin(vmr.posExtents), std::end(vmr.posExtents), 0.0f);
    vmr.posInfoVerified = 0;
    vmr.coordinateSystem = 0;
    vmr.leftRightConvention = 1; // the subject's right on the left of the slices
    vmr.voxelSizeVerified = 1;
    vmr.range[0] = lowest;
    vmr.range[1] = int(sum / vmr.voxels.size());
    vmr.range[2] = highest;
    return vmr.bytes();
}

QByteArray meshBytes(const QList<QVector3D> &points, const Icosphere &sphere,
                     const QList<qint32> &colours, const QVector3D &convex,
                     const QVector3D &concave)
{
    SrfFixture srf;
    const QList<QVector3D> normals = MeshRasterizer::vertexNormals(points, sphere.triangles);
    const QList<QList<int>> rings = sphere.neighbourRings();
    for (qsizetype v = 0; v < points.size(); ++v) {
        // Stored pointing inwards, as a reader makes them from the rings.
        const QVector3D &p = points[v], n = -normals[v];
        srf.vertices << SrfFixture::Vertex{p.x(), p.y(), p.z(),      n.x(),
                                           n.y(), n.z(), colours[v], rings[v]};
    }
    srf.triangles = sphere.triangles;
    srf.strips = sphere.strips();
    std::fill(std::begin(srf.meshCenter), std::end(srf.meshCenter), 128.0f);
    const float colour0[4] = {convex.x(), convex.y(), convex.z(), 1};
    const float colour1[4] = {concave.x(), concave.y(), concave.z(), 1};
    std::copy(std::begin(colour0), std::end(colour0), std::begin(srf.meshColor0));
    std::copy(std::begin(colour1), std::end(colour1), std::begin(srf.meshColor1));
    return srf.bytes();
}

const QVector3D gyrusColour(0.95f, 0.80f, 0.64f);
const QVector3D sulcusColour(0.62f, 0.36f, 0.34f);

// A Gaussian blob of a statistic, in the Talairach volume's voxels (1 mm).
struct Blob
{
    QVector3D centre;
    float peak, width;
};

// A blob centred in the cortex's grey matter in a direction in the head's axes.
Blob cortexBlob(const QVector3D &direction, float peak, float width)
{
    return {headToTalairach(Phantom::greyMatterPoint(direction.normalized())), peak, width};
}

float blobSum(const QList<Blob> &blobs, const QVector3D &p)
{
    float sum = 0;
    for (const Blob &blob : blobs) {
        const float distanceSquared = (p - blob.centre).lengthSquared();
        // Nothing to add beyond five widths; that skips most of a volume.
        if (distanceSquared < 25 * blob.width * blob.width)
            sum += blob.peak * std::exp(-distanceSquared / (2 * blob.width * blob.width));
    }
    return sum;
}

// A t map: faces activate the back of the temporal lobes and the right
// lateral temporal cortex, houses the upper parts of the occipital lobes.
// The lateral blob lies on the volume's middle coronal and transverse planes,
// so a volume opened at its centre shows the map at once. Spread widens the
// blobs, as a surface analysis smooths more than one in the volume.
QList<Blob> facesOverHouses(float spread)
{
    return {cortexBlob({0.62f, -0.62f, -0.45f}, 10.5f, 7 * spread),
            cortexBlob({-0.62f, -0.6f, -0.45f}, 8, 6 * spread),
            cortexBlob({0.9f, 0.12f, -0.25f}, 7, 6 * spread),
            cortexBlob({0.35f, -0.75f, 0.5f}, -7.5f, 6 * spread),
            cortexBlob({-0.35f, -0.75f, 0.5f}, -6.5f, 6 * spread)};
}

// A correlation with the task, in -1..1: visual and motor cortex follow it,
// the medial frontal and parietal cortex go against it.
QList<Blob> taskCorrelation(float spread)
{
    return {cortexBlob({0.15f, -0.98f, 0.1f}, 0.9f, 10 * spread),
            cortexBlob({-0.5f, 0.05f, 0.85f}, 0.8f, 8 * spread),
            cortexBlob({0.2f, 0.9f, 0.35f}, -0.7f, 9 * spread),
            cortexBlob({0.1f, -0.55f, 0.83f}, -0.6f, 8 * spread)};
}

float correlationAt(const QList<Blob> &blobs, const QVector3D &p)
{
    return std::clamp(blobSum(blobs, p), -0.98f, 0.98f);
}

// A t map of right-handed finger tapping: the left motor cortex and the
// supplementary motor area, the right motor cortex a little against it.
QList<Blob> fingerTapping()
{
    return {cortexBlob({-0.5f, 0.05f, 0.85f}, 9, 6), cortexBlob({0.1f, 0.2f, 0.97f}, 6, 5),
            cortexBlob({0.5f, 0.05f, 0.85f}, -6.5f, 5.5f)};
}

// FreeSurfer's files, big-endian, laid out as its programs write them.
const QByteArray freeSurferSurfaceMagic("\xff\xff\xfe", 3);
const QByteArray freeSurferValuesMagic("\xff\xff\xff", 3);

QByteArray freeSurferSurface(const QList<QVector3D> &points, const QList<int> &triangles)
{
    FixtureStream out(true);
    out.bytes(freeSurferSurfaceMagic).bytes("created by cxv-make-samples\n\n");
    out.i32(qint32(points.size())).i32(qint32(triangles.size() / 3));
    for (const QVector3D &p : points)
        out.f32(p.x()).f32(p.y()).f32(p.z());
    for (const int corner : triangles)
        out.i32(corner);
    return out.data;
}

// The "new" curvature layout: counts, one value per vertex, the values.
QByteArray freeSurferValues(const QList<float> &values, int triangleCount)
{
    FixtureStream out(true);
    out.bytes(freeSurferValuesMagic).i32(qint32(values.size())).i32(triangleCount).i32(1);
    for (const float v : values)
        out.f32(v);
    return out.data;
}

struct AnnotationLabel
{
    QByteArray name;
    QColor colour;
};

// Vertex and colour value (red + green·256 + blue·65536, 0 for no label) in
// pairs, then the colour table of version 2.
QByteArray freeSurferAnnotation(const QList<int> &labelOfVertex,
                                const QList<AnnotationLabel> &table)
{
    const auto value = [](const QColor &c) { return c.red() + c.green() * 256 + c.blue() * 65536; };
    FixtureStream out(true);
    out.i32(qint32(labelOfVertex.size()));
    for (qsizetype v = 0; v < labelOfVertex.size(); ++v)
        out.i32(qint32(v)).i32(labelOfVertex[v] < 0 ? 0 : value(table[labelOfVertex[v]].colour));
    const QByteArray lookUpTable = "cxv-make-samples";
    out.i32(1).i32(-2).i32(qint32(table.size()));
    out.i32(qint32(lookUpTable.size() + 1)).cstr(lookUpTable);
    out.i32(qint32(table.size()));
    for (qsizetype i = 0; i < table.size(); ++i) {
        const AnnotationLabel &label = table[i];
        out.i32(qint32(i)).i32(qint32(label.name.size() + 1)).cstr(label.name);
        out.i32(label.colour.red()).i32(label.colour.green()).i32(label.colour.blue()).i32(0);
    }
    return out.data;
}

// The brain's box in the Talairach volume, cerebellum included; ends inclusive.
const int brainBox[6] = {56, 224, 48, 188, 58, 198};

void setColours(quint8 (&colors)[4][3], const QList<QColor> &range)
{
    for (int c = 0; c < 4; ++c) {
        colors[c][0] = quint8(range[c].red());
        colors[c][1] = quint8(range[c].green());
        colors[c][2] = quint8(range[c].blue());
    }
}

// Red to yellow above the threshold, blue to cyan below its negation.
const QList<QColor> hotAndCold = {QColor(255, 0, 0), QColor(255, 255, 0), QColor(0, 0, 255),
                                  QColor(0, 255, 255)};
// Orange to pale yellow, and blue to pale blue.
const QList<QColor> orangeAndBlue = {QColor(230, 110, 0), QColor(255, 235, 130),
                                     QColor(40, 70, 230), QColor(150, 210, 255)};

// The settings both kinds of map file share.
template <typename Map>
Map statisticalMap(const QByteArray &name, int mapType, float threshMin, float threshMax,
                   const QList<QColor> &colours, bool useMapColors)
{
    Map map;
    map.name = name;
    map.mapType = mapType;
    map.threshMin = threshMin;
    map.threshMax = threshMax;
    setColours(map.colors, colours);
    map.useMapColors = useMapColors;
    map.mapAlpha = 1;
    map.mapOption = 1;
    map.statParam1 = map.statParam2 = map.statParam3 = 0;
    return map;
}

VmpFixture::Map volumeMap(const QByteArray &name, int mapType, float threshMin, float threshMax,
                          const QList<QColor> &colours, bool useMapColors)
{
    auto map =
        statisticalMap<VmpFixture::Map>(name, mapType, threshMin, threshMax, colours, useMapColors);
    map.clusterCheckEnabled = 1;
    map.showPosNeg = 3;
    map.pointTriples.clear();
    map.trailerValue = 0;
    return map;
}

SmpFixture::Map surfaceMap(const QByteArray &name, int mapType, float threshMin, float threshMax,
                           const QList<QColor> &colours, bool useMapColors)
{
    auto map =
        statisticalMap<SmpFixture::Map>(name, mapType, threshMin, threshMax, colours, useMapColors);
    map.clusterCheckEnabled = 0;
    return map;
}

} // namespace

SampleSet::SampleSet(const QString &folder) : folder(folder), cortex(6), sphere(5)
{
    sulcal.resize(cortex.vertices.size());
    for (qsizetype v = 0; v < cortex.vertices.size(); ++v) {
        const QVector3D direction = talairachDirectionInHead(cortex.vertices[v]);
        cortex.vertices[v] = headToTalairach(Phantom::cortexPoint(direction, sulcal[v]));
    }
}

bool SampleSet::write()
{
    // The pictures take about as long as the rest: make them side by side.
    bool picturesWritten = false;
    QScopedPointer<QThread> pictures(QThread::create([&] { picturesWritten = writePictures(); }));
    pictures->start();
    const bool restWritten = writeDicomSeries() && writeTalairachVolume() && writeNativeVolume() &&
                             writeCortexMesh() && writeSphereMesh() && writeVolumeMaps() &&
                             writeOlderVolumeMap() && writeCortexMaps() && writeSphereMaps() &&
                             writeFreeSurferHemisphere();
    pictures->wait();
    return picturesWritten && restWritten;
}

bool SampleSet::save(const QString &name, const QByteArray &bytes)
{
    QFile file(folder.filePath(name));
    if (bytes.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        QTextStream(stderr) << "cxv-make-samples: cannot write " << file.fileName() << '\n';
        return false;
    }
    return true;
}

bool SampleSet::saveImage(const QString &name, const QImage &image)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    return save(name, atSampleDensity(image).save(&buffer, "png") ? buffer.data() : QByteArray());
}

bool SampleSet::writePictures()
{
    // The picture's mesh in the head's axes; the mirror between the two sets
    // of axes turns the triangles, so they are listed the other way round.
    QList<QVector3D> points;
    QList<QVector3D> colours;
    for (qsizetype v = 0; v < cortex.vertices.size(); ++v) {
        const QVector3D &p = cortex.vertices[v];
        points << talairachToHead(p.x(), p.y(), p.z());
        colours << (sulcal[v] ? sulcusColour : gyrusColour);
    }
    QList<int> triangles = cortex.triangles;
    for (qsizetype t = 0; t < triangles.size(); t += 3)
        std::swap(triangles[t + 1], triangles[t + 2]);
    const MeshRasterizer brain(points, triangles, colours);

    const QImage lateral = SamplePictures::meshView(
        brain, brainCamera(QVector3D(0, -1, 0), QVector3D(0, 0, 1), -25, 12), 3.6, QSize(800, 600));
    const QImage top = SamplePictures::meshView(
        brain, brainCamera(QVector3D(1, 0, 0), QVector3D(0, 1, 0), 0, 0), 3.6, QSize(600, 800));
    const QImage axial = SamplePictures::phantomSlice(SamplePictures::Axial, 12, 512, 0.5f);
    const QImage coronal = SamplePictures::phantomSlice(SamplePictures::Coronal, 4, 512, 0.5f);
    const QImage sagittal = SamplePictures::phantomSlice(SamplePictures::Sagittal, 6, 512, 0.5f);
    const QImage upper = SamplePictures::phantomSlice(SamplePictures::Axial, 40, 512, 0.5f);

    return saveImage("Cortex_Lateral.png", lateral) &&
           save("Cortex_Top_Exif6.jpg", turnedJpeg(top, 6, false)) &&
           save("Julia_Portrait.jpg", jpeg(SamplePictures::julia(QSize(768, 1024)), 90)) &&
           save("Large_Mountains_12MP.jpg",
                jpeg(SamplePictures::landscape(QSize(4000, 3000)), 85)) &&
           save("Large_Plasma_12MP.jpg", jpeg(SamplePictures::plasma(QSize(4000, 3000), 7), 85)) &&
           save("Mandelbrot.gif", GifWriter::encode(SamplePictures::mandelbrot(QSize(640, 480)))) &&
           save("Mountains_Exif8.jpg",
                turnedJpeg(SamplePictures::landscape(QSize(1280, 720)), 8, true)) &&
           saveImage("Phantom_Axial.png", axial) &&
           save("Phantom_Axial_Hot.gif", GifWriter::encode(SamplePictures::hotSlice(upper))) &&
           save("Phantom_Coronal_Exif3.jpg", turnedJpeg(coronal, 3, true)) &&
           save("Phantom_Montage.jpg", jpeg(SamplePictures::axialMontage(), 90)) &&
           saveImage("Phantom_Sagittal.png", sagittal) &&
           saveImage("Plasma.png", SamplePictures::plasma(QSize(800, 800), 3));
}

bool SampleSet::writeDicomSeries()
{
    const int slices = 32, size = 256;
    const double pixel = 0.9375, thickness = 4, spacing = 4.5, lowest = -48;
    // The corner pixel in patient coordinates (x to the left, y to the back),
    // the field of view centred 8 mm behind the head's centre.
    const double cornerX = -(size - 1) * pixel / 2, cornerY = 8 - (size - 1) * pixel / 2;
    const QByteArray uidRoot = "1.2.826.0.1.3680043.2.1143.1.";
    for (int slice = 0; slice < slices; ++slice) {
        const double z = lowest + slice * spacing;
        QList<qint16> pixels;
        pixels.reserve(size * size);
        for (int row = 0; row < size; ++row) {
            for (int column = 0; column < size; ++column) {
                const float x = float(-(cornerX + column * pixel)),
                            y = float(-(cornerY + row * pixel));
                // The slice has a thickness: average three planes across it.
                float sum = 0;
                for (float dz : {-1.3f, 0.0f, 1.3f})
                    sum += Phantom::intensity(QVector3D(x, y, float(z) + dz));
                pixels << qint16(qRound((sum / 3 - 10) * 4.4f));
            }
        }
        // Most slices as a scanner writes them; some in the other encodings.
        const int instance = slice + 1;
        const DicomFixture::Syntax syntax = instance == 10 || instance == 23
                                                ? DicomFixture::ImplicitLittleEndian
                                            : instance == 16 ? DicomFixture::ExplicitBigEndian
                                                             : DicomFixture::ExplicitLittleEndian;
        DicomFixture dicom(syntax);
        dicom.sopInstanceUid = uidRoot + "4." + QByteArray::number(instance);
        dicom.text(0x0008, 0x0008, "CS", "ORIGINAL\\PRIMARY\\M\\ND")
            .text(0x0008, 0x0016, "UI", "1.2.840.10008.5.1.4.1.1.4")
            .text(0x0008, 0x0018, "UI", dicom.sopInstanceUid)
            .text(0x0008, 0x0020, "DA", "20240315")
            .text(0x0008, 0x0030, "TM", "101500")
            .text(0x0008, 0x0060, "CS", "MR")
            .text(0x0008, 0x0070, "LO", "Cortivex Imaging")
            .text(0x0008, 0x0080, "LO", "Cortivex Phantom Laboratory")
            .text(0x0008, 0x1030, "LO", "Head phantom")
            .text(0x0008, 0x103E, "LO", "T1 SE axial")
            .text(0x0008, 0x1090, "LO", "CX Synthesis 3T")
            .text(0x0010, 0x0010, "PN", "Phantom^Paula")
            .text(0x0010, 0x0020, "LO", "PH-0001")
            .text(0x0010, 0x0040, "CS", "O")
            .text(0x0018, 0x0020, "CS", "SE")
            .text(0x0018, 0x0050, "DS", decimal(thickness))
            .text(0x0018, 0x0080, "DS", "500")
            .text(0x0018, 0x0081, "DS", "12")
            .text(0x0018, 0x0087, "DS", "3")
            .text(0x0018, 0x0088, "DS", decimal(spacing))
            .text(0x0018, 0x5100, "CS", "HFS")
            .text(0x0020, 0x000D, "UI", uidRoot + "1")
            .text(0x0020, 0x000E, "UI", uidRoot + "2")
            .text(0x0020, 0x0010, "SH", "1")
            .text(0x0020, 0x0011, "IS", "3")
            .text(0x0020, 0x0012, "IS", "1")
            .text(0x0020, 0x0013, "IS", QByteArray::number(instance))
            .text(0x0020, 0x0032, "DS",
                  decimal(cornerX) + '\\' + decimal(cornerY) + '\\' + decimal(z))
            .text(0x0020, 0x0037, "DS", "1\\0\\0\\0\\1\\0")
            .text(0x0020, 0x0052, "UI", uidRoot + "3")
            .text(0x0020, 0x0105, "IS", "1")
            .text(0x0020, 0x1041, "DS", decimal(z))
            .unsignedShort(0x0028, 0x0002, 1)
            .text(0x0028, 0x0004, "CS", "MONOCHROME2")
            .unsignedShort(0x0028, 0x0010, size)
            .unsignedShort(0x0028, 0x0011, size)
            .text(0x0028, 0x0030, "DS", decimal(pixel) + '\\' + decimal(pixel))
            .unsignedShort(0x0028, 0x0100, 16)
            .unsignedShort(0x0028, 0x0101, 12)
            .unsignedShort(0x0028, 0x0102, 11)
            .unsignedShort(0x0028, 0x0103, 0)
            .text(0x0028, 0x1050, "DS", "450")
            .text(0x0028, 0x1051, "DS", "900")
            .pixels(pixels);
        // One file is a bare data set, as older systems wrote them.
        const QByteArray bytes = instance == 23 ? dicom.dataSet() : dicom.file();
        if (!save(QString("MR_Phantom_%1.dcm").arg(instance, 4, 10, QChar('0')), bytes))
            return false;
    }
    return true;
}

bool SampleSet::writeTalairachVolume()
{
    VmrFixture vmr;
    vmr.version = 3;
    vmr.dimX = vmr.dimY = vmr.dimZ = 256;
    vmr.offsetX = vmr.offsetY = vmr.offsetZ = 0;
    vmr.framingCubeDim = 256;
    vmr.voxelSize[0] = vmr.voxelSize[1] = vmr.voxelSize[2] = 1;
    vmr.talairach = 1;
    return save("Phantom_Head.vmr", volumeBytes(vmr, talairachToHead));
}

bool SampleSet::writeNativeVolume()
{
    // A scan at its own resolution, centred on the head rather than on the
    // brain, placed in the middle of the framing cube.
    VmrFixture vmr;
    vmr.version = 4;
    vmr.dimX = 180;
    vmr.dimY = 200;
    vmr.dimZ = 160;
    vmr.offsetX = (256 - vmr.dimX) / 2;
    vmr.offsetY = (256 - vmr.dimY) / 2;
    vmr.offsetZ = (256 - vmr.dimZ) / 2;
    vmr.framingCubeDim = 256;
    const float size = 1.2f;
    vmr.voxelSize[0] = vmr.voxelSize[1] = vmr.voxelSize[2] = size;
    vmr.talairach = 0;
    vmr.referenceSpace = 0;
    const QVector3D centre(0, -6, -10);
    const QVector3D half(vmr.dimX / 2.0f, vmr.dimY / 2.0f, vmr.dimZ / 2.0f);
    return save("Phantom_Head_1.2mm.vmr", volumeBytes(vmr, [&](int x, int y, int z) {
                    return centre + size * QVector3D(half.z() - z - 0.5f, half.x() - x - 0.5f,
                                                     half.y() - y - 0.5f);
                }));
}

bool SampleSet::writeCortexMesh()
{
    QList<qint32> colours;
    for (bool inSulcus : sulcal)
        colours << (inSulcus ? 1 : 0);
    if (!save("Phantom_Cortex.srf",
              meshBytes(cortex.vertices, cortex, colours, gyrusColour, sulcusColour)))
        return false;
    // A view of the left hemisphere from the front and a little above, lit by
    // a bright light from the upper left and a dimmer one from the right.
    const QByteArray viewingParameters = "FileVersion 1\n"
                                         "195 -25 0\n"
                                         "0 0 -330\n"
                                         "0\n"
                                         "1 -0.8 -0.2 0.5 0.7 0.7 0.7\n"
                                         "1 -0.8 -0.2 -0.5 0.3 0.3 0.35\n"
                                         "6914 7425 1\n"
                                         "1 30 110 1 1100\n";
    return save("Phantom_Cortex.vwp", viewingParameters);
}

bool SampleSet::writeSphereMesh()
{
    QList<QVector3D> points;
    for (const QVector3D &v : sphere.vertices)
        points << QVector3D(128, 128, 128) + 70 * v;
    return save("Sphere.srf",
                meshBytes(points, sphere, QList<qint32>(points.size(), 0),
                          QVector3D(0.35f, 0.6f, 0.9f), QVector3D(0.2f, 0.35f, 0.6f)));
}

bool SampleSet::writeVolumeMaps()
{
    VmpFixture vmp;
    vmp.version = 6;
    vmp.resolution = 3;
    // The grid's end is exclusive and a whole number of cells on.
    for (int axis = 0; axis < 3; ++axis) {
        const int start = brainBox[2 * axis], end = brainBox[2 * axis + 1];
        vmp.box[2 * axis] = start;
        vmp.box[2 * axis + 1] = start + (end - start + 3) / 3 * 3;
    }
    std::fill(std::begin(vmp.headerValues), std::end(vmp.headerValues), 0);
    std::fill(std::begin(vmp.headerStrings), std::end(vmp.headerStrings), QByteArray());

    // Cluster sizes count cells of 27 voxels.
    VmpFixture::Map faces = volumeMap("Faces > Houses", 1, 3, 8, hotAndCold, false);
    faces.clusterSize = 4;
    VmpFixture::Map correlation =
        volumeMap("Correlation with task", 2, 0.3f, 0.8f, orangeAndBlue, true);
    correlation.clusterSize = 6;
    const QList<Blob> facesBlobs = facesOverHouses(1), correlationBlobs = taskCorrelation(1);
    const int cells[3] = {(vmp.box[1] - vmp.box[0]) / 3, (vmp.box[3] - vmp.box[2]) / 3,
                          (vmp.box[5] - vmp.box[4]) / 3};
    // The conversion onto the volume puts cell i's value on voxel start + 3i.
    for (int k = 0; k < cells[2]; ++k) {
        for (int j = 0; j < cells[1]; ++j) {
            for (int i = 0; i < cells[0]; ++i) {
                const QVector3D p(vmp.box[0] + 3 * i, vmp.box[2] + 3 * j, vmp.box[4] + 3 * k);
                faces.data << blobSum(facesBlobs, p);
                correlation.data << correlationAt(correlationBlobs, p);
            }
        }
    }
    vmp.maps = {faces, correlation};
    return save("Phantom_Head_Maps.vmp", vmp.current());
}

bool SampleSet::writeOlderVolumeMap()
{
    VmpFixture vmp;
    vmp.version = 4;
    vmp.resolution = 1;
    std::copy(std::begin(brainBox), std::end(brainBox), std::begin(vmp.box));
    // Made for the Talairach volume, so it loads onto it unmoved.
    std::fill(std::begin(vmp.savedDims), std::end(vmp.savedDims), 256);

    VmpFixture::Map tapping = volumeMap("Finger tapping", 1, 4, 8, hotAndCold, false);
    tapping.clusterSize = 50; // voxels
    const QList<Blob> blobs = fingerTapping();
    tapping.data.reserve(vmp.nrOfCells(true));
    for (int z = brainBox[4]; z <= brainBox[5]; ++z) {
        for (int y = brainBox[2]; y <= brainBox[3]; ++y) {
            for (int x = brainBox[0]; x <= brainBox[1]; ++x)
                tapping.data << blobSum(blobs, QVector3D(x, y, z));
        }
    }
    vmp.maps = {tapping};
    return save("Phantom_Head_Old.vmp", vmp.older());
}

bool SampleSet::writeCortexMaps()
{
    SmpFixture smp;
    smp.version = 4;
    smp.nrOfVertices = qint32(cortex.vertices.size());
    smp.srfFileName = "Phantom_Cortex.srf";

    // The cluster size is an area in mm².
    SmpFixture::Map faces = surfaceMap("Faces > Houses", 1, 3, 8, hotAndCold, false);
    faces.clusterSize = 25;
    faces.clusterCheckEnabled = 1;
    SmpFixture::Map correlation =
        surfaceMap("Correlation with task", 2, 0.3f, 0.8f, orangeAndBlue, true);
    // A lag map holds lag · 1000 + correlation; its colours show the lag, one of
    // six, where the correlation reaches the threshold.
    SmpFixture::Map lags = surfaceMap("Lag of the task response", 3, 0.3f, 0.8f, hotAndCold, false);
    const qint32 lagValues[4] = {6, 0, 5, 0};
    std::copy(std::begin(lagValues), std::end(lagValues), std::begin(lags.lagValues));

    const QList<Blob> facesBlobs = facesOverHouses(2.5f), correlationBlobs = taskCorrelation(2.5f);
    const float pi = float(M_PI);
    for (const QVector3D &p : std::as_const(cortex.vertices)) {
        faces.data << blobSum(facesBlobs, p);
        correlation.data << correlationAt(correlationBlobs, p);
        // The response comes first at the back of the brain and last at the front.
        const float front = std::cos((p.x() - brainBox[0]) / (brainBox[1] - brainBox[0]) * pi);
        const int lag = std::clamp(qRound(2.5f + 2.5f * front + 0.7f * std::sin(p.z() / 17)), 0, 5);
        // The correlation stays in 0..0.8: a negative one would change the lag read back.
        const float wave = std::sin(p.y() / 13 + 0.4f) * std::sin(p.z() / 19 + p.x() / 23);
        const float bestCorrelation = 0.8f * (0.5f + 0.5f * wave) * (0.5f + 0.5f * wave);
        lags.data << lag * 1000 + bestCorrelation;
    }
    smp.maps = {faces, correlation, lags};
    return save("Phantom_Cortex.smp", smp.bytes());
}

// The left hemisphere in FreeSurfer's space (the head's millimetres: x right,
// y anterior, z superior): a sphere of directions whose left half meets the
// middle of the cortex, as the SRF cortex does, and whose right half lies
// flat against the midline as its medial wall. The white and pial surfaces
// lie half the thickness inside and outside the middle, along the line from
// the brain's centre; the medial wall has no cortex (thickness 0, no label).
// The triangles turn counter-clockwise as seen from outside, as FreeSurfer's.
bool SampleSet::writeFreeSurferHemisphere()
{
    const Icosphere directions(6);
    const QVector3D medialCentre = Phantom::brainCentre + QVector3D(-2, -4, -14);
    QList<QVector3D> white, pial;
    QList<float> curvature, thickness;
    QList<int> lobe;
    for (const QVector3D &u : directions.vertices) {
        bool inSulcus = false;
        QVector3D middle;
        float t = 0;
        if (u.x() <= 0) {
            middle = Phantom::cortexPoint(u, inSulcus);
            t = 2.5f + 0.45f * std::sin(3 * u.y() + 1) * std::cos(2 * u.z()) -
                (inSulcus ? 0.6f : 0);
        } else {
            // From the rim, where the left half ends, to the wall's centre.
            const float rim = std::sqrt(u.y() * u.y() + u.z() * u.z());
            if (rim > 1e-6f) {
                const QVector3D edge =
                    Phantom::cortexPoint(QVector3D(0, u.y() / rim, u.z() / rim), inSulcus);
                middle = medialCentre + (edge - medialCentre) * rim;
                middle.setX(-2 * (1 - rim));
            } else {
                middle = QVector3D(0, medialCentre.y(), medialCentre.z());
                middle.setX(-2);
            }
            inSulcus = false;
        }
        const QVector3D outwards = (middle - Phantom::brainCentre).normalized();
        white << middle - outwards * (t / 2);
        pial << middle + outwards * (t / 2);
        thickness << t;
        curvature << (u.x() > 0 ? 0.0f : inSulcus ? 0.14f + 0.03f * u.z() : -0.09f + 0.02f * u.y());
        lobe << (u.x() > 0 ? -1 : u.y() < -0.62f ? 3 : u.y() > 0.3f ? 0 : u.z() > 0.25f ? 1 : 2);
    }
    const int triangleCount = int(directions.triangles.size() / 3);
    const QList<AnnotationLabel> lobes = {{"frontal", QColor(20, 190, 160)},
                                          {"parietal", QColor(220, 180, 60)},
                                          {"temporal", QColor(210, 60, 40)},
                                          {"occipital", QColor(70, 90, 200)}};
    // lh.vwp serves every surface of the hemisphere: the lateral side, from a little in front.
    const QByteArray viewingParameters = "FileVersion 1\n"
                                         "182 -12 0\n"
                                         "0 0 -300\n"
                                         "0\n"
                                         "1 -0.8 -0.2 0.5 0.7 0.7 0.7\n"
                                         "1 -0.8 -0.2 -0.5 0.3 0.3 0.35\n"
                                         "6914 7425 1\n"
                                         "1 30 110 1 1100\n";
    return folder.mkpath("FreeSurfer") &&
           save("FreeSurfer/lh.white", freeSurferSurface(white, directions.triangles)) &&
           save("FreeSurfer/lh.pial", freeSurferSurface(pial, directions.triangles)) &&
           save("FreeSurfer/lh.curv", freeSurferValues(curvature, triangleCount)) &&
           save("FreeSurfer/lh.thickness", freeSurferValues(thickness, triangleCount)) &&
           save("FreeSurfer/lh.aparc.annot", freeSurferAnnotation(lobe, lobes)) &&
           save("FreeSurfer/lh.vwp", viewingParameters);
}

bool SampleSet::writeSphereMaps()
{
    SmpFixture smp;
    smp.version = 4;
    smp.nrOfVertices = qint32(sphere.vertices.size());
    smp.srfFileName = "Sphere.srf";
    SmpFixture::Map waves = surfaceMap("Waves", 1, 3, 8, hotAndCold, false);
    for (const QVector3D &d : std::as_const(sphere.vertices)) {
        waves.data << 3.2f * (std::sin(4 * d.x() + 0.5f) + std::sin(5 * d.y() + 1.2f) +
                              std::sin(3 * d.z() + 2.1f));
    }
    smp.maps = {waves};
    return save("Sphere.smp", smp.bytes());
}
