// cxvinfo: prints what the viewer's core reads from VMR, SRF, DICOM, VMP, SMP and NIfTI
// files, FreeSurfer surfaces, values and annotations, GIfTI files and the DICOM series
// of folders, or the cluster table of a volume map.
// Usage: cxvinfo [--json] [--volume FILE.vmr] [--mesh FILE.srf] FILE|FOLDER...
//        cxvinfo --clusters [--threshold T] [--sign pos|neg|both] [--min-size MM3]
//                [--map-index K] [--atlas ATLAS] [--volume FILE.vmr] [--json] MAPFILE

#include "ArVolumeMap.h"
#include "ArVolumeMaps.h"
#include "Atlas.h"
#include "CXSCore.h"
#include "ClusterTable.h"
#include "DICOMDoc.h"
#include "DicomSeries.h"
#include "DocumentStream.h"
#include "Documents.h"
#include "FileTypes.h"
#include "FreeSurferFiles.h"
#include "GiftiFile.h"
#include "HeaderTexts.h"
#include "LocalFiles.h"
#include "NiftiImage.h"
#include "NiftiVolume.h"
#include "SurfaceImport.h"
#include "SurfaceMap.h"
#include "SurfaceMaps.h"
#include "SurfaceMesh.h"
#include "VolumeDoc.h"
#include "VolumeMap.h"
#include "VolumeMaps.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>
#include <optional>

namespace {

// The shortest decimal that reads back as the same float, not the double's digits.
double roundTrip(float v)
{
    return QString::number(double(v), 'g', 9).toDouble();
}

// What was read from one file: named values in the order they are printed.
class Report
{
public:
    void add(const QString &key, const QJsonValue &value) { fields.append({key, value}); }
    void add(const QString &key, bool value) { add(key, QJsonValue(value)); }
    void add(const QString &key, int value) { add(key, QJsonValue(value)); }
    void add(const QString &key, float value) { add(key, QJsonValue(roundTrip(value))); }
    void add(const QString &key, const float *values, int count)
    {
        QJsonArray array;
        for (int i = 0; i < count; ++i)
            array.append(roundTrip(values[i]));
        add(key, array);
    }
    void addTexts(const QStringList &labels, const QStringList &values)
    {
        for (int i = 0; i < labels.size(); ++i)
            add(labels[i], values.value(i));
    }

    QJsonObject toJson() const
    {
        QJsonObject object;
        for (const auto &field : fields)
            object.insert(field.first, field.second);
        return object;
    }

    void print(QTextStream &out) const
    {
        for (const auto &field : fields) {
            if (field.second.isArray() && field.second.toArray().first().isObject())
                printObjects(out, field.first, field.second.toArray());
            else
                out << "  " << field.first.leftJustified(28) << ' ' << text(field.second) << '\n';
        }
    }

private:
    static void printObjects(QTextStream &out, const QString &key, const QJsonArray &objects)
    {
        const QString one = key == "series" ? key : key.endsWith('s') ? key.chopped(1) : key;
        for (int i = 0; i < objects.size(); ++i) {
            out << "  " << one << ' ' << i + 1 << '\n';
            const QJsonObject object = objects[i].toObject();
            for (auto it = object.begin(); it != object.end(); ++it)
                out << "    " << it.key().leftJustified(26) << ' ' << text(it.value()) << '\n';
        }
    }

    static QString text(const QJsonValue &value)
    {
        if (value.isString())
            return value.toString();
        if (value.isBool())
            return value.toBool() ? "true" : "false";
        if (value.isDouble())
            return QString::number(value.toDouble(), 'g', 9);
        if (value.isArray()) {
            QStringList items;
            bool strings = false;
            for (const QJsonValue &item : value.toArray()) {
                items << text(item);
                strings = item.isString();
            }
            return items.join(strings ? " | " : " ");
        }
        return QString();
    }

    QList<QPair<QString, QJsonValue>> fields;
};

QJsonArray floats(const QList<float> &values)
{
    QJsonArray array;
    for (float v : values)
        array.append(roundTrip(v));
    return array;
}

QJsonArray color(const StatisticalMap::Color &c)
{
    return {c[0], c[1], c[2]};
}

// The settings every kind of map has.
QJsonObject describeMap(const StatisticalMap &map)
{
    QJsonObject object{{"mapName", map.mapName},
                       {"mapType", map.mapType},
                       {"threshMin", roundTrip(map.threshMin)},
                       {"threshMax", roundTrip(map.threshMax)},
                       {"clusterSize", map.clusterSize},
                       {"clusterCheckEnabled", map.clusterCheckEnabled},
                       {"showPosNeg", map.showPosNeg},
                       {"mapOption", map.mapOption},
                       {"mapAlpha", roundTrip(map.mapAlpha)},
                       {"useMapColors", map.useMapColors},
                       {"mapColor1", color(map.mapColor1)},
                       {"mapColor2", color(map.mapColor2)},
                       {"mapColor3", color(map.mapColor3)},
                       {"mapColor4", color(map.mapColor4)}};
    if (map.mapType == 3)
        object.insert("lagValues", QJsonArray({map.lagValues[0], map.lagValues[1], map.lagValues[2],
                                               map.lagValues[3]}));
    return object;
}

template <typename Maps> QJsonArray describeMaps(const Maps &maps)
{
    QJsonArray array;
    for (const auto &map : maps.maps)
        array.append(describeMap(*map));
    return array;
}

template <typename Maps> void describeBox(const Maps &maps, Report &r)
{
    r.add("xStart", maps.xStart);
    r.add("xEnd", maps.xEnd);
    r.add("yStart", maps.yStart);
    r.add("yEnd", maps.yEnd);
    r.add("zStart", maps.zStart);
    r.add("zEnd", maps.zEnd);
    r.add("resolution", maps.resolution);
}

QJsonArray ints(const QList<int> &values)
{
    QJsonArray array;
    for (int v : values)
        array.append(v);
    return array;
}

void describeVolume(const VolumeDoc &doc, Report &r)
{
    r.add("Dims X/Y/Z", vmrDimsText(doc));
    r.add("vmrVersion", doc.vmrVersion);
    r.add("dimX", doc.dimX);
    r.add("dimY", doc.dimY);
    r.add("dimZ", doc.dimZ);
    r.add("offsetX", doc.offsetX);
    r.add("offsetY", doc.offsetY);
    r.add("offsetZ", doc.offsetZ);
    r.add("framingCubeDim", doc.framingCubeDim);
    r.add("voxelSizeX", doc.voxelSizeX);
    r.add("voxelSizeY", doc.voxelSizeY);
    r.add("voxelSizeZ", doc.voxelSizeZ);
    r.add("voxelSizeVerified", doc.voxelSizeVerified);
    r.add("inTalairachSpace", doc.inTalairachSpace);
    r.add("referenceSpace", doc.referenceSpace);
    r.add("leftRightConvention", doc.leftRightConvention);
    r.add("posInfoVerified", doc.posInfoVerified);
    r.add("coordinateSystem", doc.coordinateSystem);
    r.add("posVectors", doc.posVectors, 12);
    r.add("posGridSize", QJsonArray({doc.posGridSize[0], doc.posGridSize[1]}));
    r.add("posExtents", doc.posExtents, 4);
    r.add("nrOfTransformations", doc.nrOfTransformations);
    r.add("transformationNames", QJsonArray::fromStringList(doc.transformationNames));
    r.add("transformationSourceFiles", QJsonArray::fromStringList(doc.transformationSourceFiles));
    r.add("transformationTypes", ints(doc.transformationTypes));
    r.add("transformationNrOfValues", ints(doc.transformationNrOfValues));
    r.add("transformationValues", floats(doc.transformationValues));
    r.add("rangeMinValue", doc.rangeMinValue);
    r.add("rangeMeanValue", doc.rangeMeanValue);
    r.add("rangeMaxValue", doc.rangeMaxValue);
}

// The header by its standard field names, then the grid the viewer shows.
void describeNifti(const VolumeDoc &doc, Report &r)
{
    const NiftiVolume &volume = *doc.niftiVolume;
    for (const auto &field : volume.image().headerFields())
        r.add(field.first, QJsonValue::fromVariant(field.second));
    r.add("orientation", volume.image().orientationName());
    r.add("space", volume.spaceName());
    r.add("volumes", QJsonValue(double(volume.image().nrOfVolumes())));
    r.add("gridDims", QJsonArray({doc.dimX, doc.dimY, doc.dimZ}));
    r.add("gridVoxelSize", volume.gridVoxelSize());
    QJsonArray rows;
    for (int row = 0; row < 3; ++row) {
        QJsonArray values;
        for (int column = 0; column < 4; ++column)
            values.append(volume.gridToWorld().at(row, column));
        rows.append(values);
    }
    r.add("gridToWorld", rows);
}

void describeMesh(SurfaceMesh &mesh, Report &r)
{
    r.addTexts(srfHeaderLabels(), srfHeaderValues(mesh));
    r.add("srfVersion", mesh.srfVersion);
    r.add("reservedValue", mesh.reservedValue);
    r.add("nrOfVertices", mesh.nrOfVertices);
    r.add("nrOfTriangles", mesh.nrOfTriangles);
    r.add("nrOfTriangleStrips", mesh.nrOfTriangleStrips);
    r.add("hasTriangleStrips", mesh.hasTriangleStrips);
    r.add("meshCenter", mesh.meshCenter, 3);
    r.add("meshColor0", mesh.meshColor0, 4);
    r.add("meshColor1", mesh.meshColor1, 4);
    int nrOfEdges = 0;
    float minLength = 0, maxLength = 0;
    mesh.computeAverageEdgeLength(nrOfEdges, minLength, maxLength);
    r.add("minEdgeLength", minLength);
    r.add("maxEdgeLength", maxLength);
    r.add("noDeletedRegions", mesh.noDeletedRegions);
    r.add("indirectMeshFile", QString::fromLocal8Bit(mesh.indirectMeshFile));
    r.add("indirectVerticesLoaded", mesh.indirectVerticesLoaded);
}

void describeDicom(const DICOMDoc &doc, Report &r)
{
    r.addTexts(dicomHeaderLabels(), dicomHeaderValues(doc));
    r.add("nrOfRows", doc.nrOfRows);
    r.add("nrOfColumns", doc.nrOfColumns);
    r.add("rowSpacing", doc.rowSpacing);
    r.add("columnSpacing", doc.columnSpacing);
    r.add("sliceThickness", doc.sliceThickness);
    r.add("spacingBetweenSlices", doc.spacingBetweenSlices);
    r.add("sliceDistance", doc.sliceDistance);
    r.add("bitsAllocated", doc.bitsAllocated);
    r.add("seriesNumber", doc.seriesNumber);
    r.add("acquisitionNumber", doc.acquisitionNumber);
    r.add("instanceNumber", doc.instanceNumber);
    const QPair<const char *, const char *> texts[] = {
        {"repetitionTime", doc.repetitionTime},
        {"patientPosition", doc.patientPosition},
        {"imagePositionPatient", doc.imagePositionPatient},
        {"imageOrientationPatient", doc.imageOrientationPatient},
        {"imageType", doc.imageType},
        {"modality", doc.modality},
        {"manufacturer", doc.manufacturer},
        {"manufacturerModelName", doc.manufacturerModelName},
        {"magneticFieldStrength", doc.magneticFieldStrength},
        {"institutionName", doc.institutionName},
        {"studyDescription", doc.studyDescription},
        {"seriesDescription", doc.seriesDescription},
        {"patientName", doc.patientName},
        {"nrOfTemporalPositions", doc.nrOfTemporalPositions}};
    for (const auto &text : texts)
        r.add(text.first, QString::fromLatin1(text.second));
    r.add("byteOrder", doc.byteOrder);
    r.add("metaByteOrder", doc.metaByteOrder);
    r.add("explicitVR", doc.explicitVR);
    r.add("meanIntensity", doc.meanIntensity);
    r.add("stdDevIntensity", doc.stdDevIntensity);
}

QJsonArray numbers(const double *values, int count)
{
    QJsonArray array;
    for (int i = 0; i < count; ++i)
        array.append(values[i]);
    return array;
}

// A folder's series as the viewer groups them, numbered from 1 as --render
// --series takes them.
void describeFolder(const QString &folder, Report &r)
{
    QStringList skipped;
    const std::vector<DicomSeries> all = DicomSeriesGrouping::scanFolder(folder, &skipped);
    r.add("nrOfSeries", int(all.size()));
    QJsonArray list;
    for (const DicomSeries &s : all) {
        QJsonArray rows;
        for (int row = 0; row < 3; ++row) {
            QJsonArray values;
            for (int column = 0; column < 4; ++column)
                values.append(s.voxelToWorld.at(row, column));
            rows.append(values);
        }
        list.append(QJsonObject{{"name", s.displayName()},
                                {"seriesNumber", s.number},
                                {"seriesDescription", s.description},
                                {"seriesInstanceUID", QString::fromLatin1(s.uid)},
                                {"part", s.part},
                                {"volume", s.isVolume()},
                                {"multiFrame", s.multiFrame},
                                {"images", int(s.slices.size())},
                                {"columns", s.columns},
                                {"rows", s.rows},
                                {"gridSlices", s.gridSlices},
                                {"columnSpacing", s.columnSpacing},
                                {"rowSpacing", s.rowSpacing},
                                {"sliceSpacing", s.sliceSpacing},
                                {"missingSlices", s.missingSlices},
                                {"tiltDegrees", s.tiltDegrees},
                                {"orientation", numbers(s.orientation.data(), 6)},
                                {"voxelToWorld", rows},
                                {"notes", QJsonArray::fromStringList(s.notes())},
                                {"firstFile", QFileInfo(s.slices.front().fileName).fileName()}});
    }
    r.add("series", list);
    r.add("skipped", QJsonArray::fromStringList(skipped));
}

void describeVolumeMaps(const VolumeMaps &maps, Report &r)
{
    r.add("format", QString("current"));
    r.add("vmpVersion", maps.vmpVersion);
    describeBox(maps, r);
    r.add("nrOfMaps", int(maps.maps.size()));
    r.add("nrOfTimePoints", maps.nrOfTimePoints);
    r.add("nrOfComponentParams", maps.nrOfComponentParams);
    r.add("maps", describeMaps(maps));
}

void describeArVolumeMaps(const ArVolumeMaps &maps, Report &r)
{
    r.add("format", QString("older"));
    r.add("vmpVersion", maps.vmpVersion);
    describeBox(maps, r);
    r.add("savedDimX", maps.savedDimX);
    r.add("savedDimY", maps.savedDimY);
    r.add("savedDimZ", maps.savedDimZ);
    r.add("nrOfMaps", int(maps.maps.size()));
    r.add("maps", describeMaps(maps));
}

void describeSurfaceMaps(const SurfaceMaps &maps, Report &r)
{
    r.add("smpVersion", maps.smpVersion);
    r.add("nrOfVertices", maps.nrOfVertices);
    r.add("srfFileName", maps.srfFileName);
    r.add("nrOfMaps", int(maps.maps.size()));
    r.add("maps", describeMaps(maps));
}

// The vertex count an SMP file states, so that it can be read without its mesh.
int smpVertexCount(const QString &fileName)
{
    QFile file;
    if (!LocalFiles::openRegular(file, fileName))
        return -1;
    QDataStream in(&file);
    in.setByteOrder(QDataStream::LittleEndian);
    qint16 version = 0;
    qint32 count = -1;
    in >> version >> count;
    return in.status() == QDataStream::Ok ? count : -1;
}

// The header panel's figures of a surface as the mesh view shows it.
bool describeSurface(const SurfaceGeometry &geometry, SurfaceImport::Format format, Report &r,
                     QString &reason)
{
    std::unique_ptr<SurfaceMesh> mesh = SurfaceImport::meshOfGeometry(geometry, reason);
    if (!mesh)
        return false;
    QStringList values = srfHeaderValues(*mesh);
    values[0] = SurfaceImport::typeName(format);
    r.addTexts(srfHeaderLabels(), values);
    r.add("nrOfVertices", mesh->nrOfVertices);
    r.add("nrOfTriangles", mesh->nrOfTriangles);
    return true;
}

// The least, largest and mean value, of those that are numbers.
void describeValues(const std::vector<float> &values, QJsonObject &into)
{
    float lowest = 0, highest = 0;
    double sum = 0;
    qint64 count = 0;
    for (const float v : values) {
        if (!std::isfinite(v))
            continue;
        lowest = count ? std::min(lowest, v) : v;
        highest = count ? std::max(highest, v) : v;
        sum += v;
        ++count;
    }
    into.insert("nrOfVertices", qint64(values.size()));
    into.insert("min", roundTrip(lowest));
    into.insert("max", roundTrip(highest));
    into.insert("mean", count ? sum / double(count) : 0.0);
}

// Each label of the table with the number of vertices it labels.
QJsonArray describeLabels(const VertexLabels &labels)
{
    std::vector<qint64> counts(labels.table.size(), 0);
    for (const int label : labels.labelOfVertex)
        if (label >= 0)
            ++counts[size_t(label)];
    QJsonArray table;
    for (size_t i = 0; i < labels.table.size(); ++i) {
        const VertexLabels::Label &label = labels.table[i];
        QJsonObject entry{{"key", label.key}, {"name", LocalFiles::printable(label.name)}};
        if (label.hasColour)
            entry.insert("rgba", QJsonArray({label.red, label.green, label.blue, label.alpha}));
        entry.insert("vertices", counts[i]);
        table.append(entry);
    }
    return table;
}

QString describeFreeSurfer(const QString &fileName, const QString &kind, Report &r)
{
    FreeSurferReader reader;
    QString reason;
    if (kind == "FreeSurfer surface") {
        const std::optional<SurfaceGeometry> geometry = reader.readSurface(fileName);
        if (!geometry)
            return reader.failureReason();
        if (!describeSurface(*geometry, SurfaceImport::Format::FreeSurfer, r, reason))
            return reason;
        r.add("createdBy", LocalFiles::printable(geometry->createdBy));
        QJsonArray info;
        for (const QString &line : geometry->volumeInfo)
            info.append(LocalFiles::printable(line));
        r.add("volumeInfo", info);
    } else if (kind == "FreeSurfer values") {
        const std::optional<PerVertexValues> values = reader.readValues(fileName);
        if (!values)
            return reader.failureReason();
        QJsonObject figures;
        describeValues(values->values, figures);
        for (const char *key : {"nrOfVertices", "min", "max", "mean"})
            r.add(key, figures.value(key));
        r.add("faceCount", QJsonValue(values->faceCount));
    } else {
        const std::optional<VertexLabels> labels = reader.readAnnotation(fileName);
        if (!labels)
            return reader.failureReason();
        r.add("nrOfVertices", QJsonValue(qint64(labels->labelOfVertex.size())));
        r.add("labelledVertices", QJsonValue(qint64(std::count_if(
                                      labels->labelOfVertex.begin(), labels->labelOfVertex.end(),
                                      [](int label) { return label >= 0; }))));
        r.add("labels", describeLabels(*labels));
    }
    return QString();
}

QString describeGifti(const QString &fileName, Report &r)
{
    GiftiFile gifti;
    if (!gifti.read(fileName))
        return gifti.failureReason();
    r.add("version", LocalFiles::printable(gifti.version()));
    QString reason;
    if (const std::optional<SurfaceGeometry> geometry = gifti.surface())
        if (!describeSurface(*geometry, SurfaceImport::Format::Gifti, r, reason))
            return reason;
    QJsonArray meta;
    for (const auto &entry : gifti.metaData())
        meta.append(QJsonObject{{"name", LocalFiles::printable(entry.first)},
                                {"value", LocalFiles::printable(entry.second)}});
    r.add("metaData", meta);
    const char *const types[] = {"NIFTI_TYPE_FLOAT32", "NIFTI_TYPE_INT32", "NIFTI_TYPE_UINT8"};
    QJsonArray arrays;
    for (const GiftiArray &array : gifti.arrays()) {
        QJsonArray dims;
        for (const qint64 d : array.dims)
            dims.append(d);
        arrays.append(QJsonObject{{"name", LocalFiles::printable(array.metaValue("Name"))},
                                  {"intent", array.intent},
                                  {"dataType", types[int(array.type)]},
                                  {"dims", dims},
                                  {"encoding", array.encoding},
                                  {"endian", array.endian},
                                  {"columnMajor", array.columnMajor}});
    }
    r.add("arrays", arrays);
    QJsonArray values;
    for (const PerVertexValues &array : gifti.perVertexValues()) {
        QJsonObject figures{{"name", LocalFiles::printable(array.name)},
                            {"intentCode", array.intentCode}};
        describeValues(array.values, figures);
        values.append(figures);
    }
    if (!values.isEmpty())
        r.add("values", values);
    if (const std::optional<VertexLabels> labels = gifti.vertexLabels())
        r.add("labels", describeLabels(*labels));
    return QString();
}

// The documents that maps are read onto.
struct MapTargets
{
    VolumeDoc *volume = nullptr;
    SurfaceMesh *mesh = nullptr;
};

QString describeMapFile(const QString &fileName, const QString &kind, const MapTargets &targets,
                        Report &r)
{
    if (kind == "VMP") {
        VolumeDoc *volume = targets.volume;
        int result = volume->loadVolumeMaps(fileName);
        if (result == 1)
            describeVolumeMaps(*volume->volumeMaps, r);
        else if (result == 2 && (result = volume->loadArVolumeMaps(fileName)) == 1)
            describeArVolumeMaps(*volume->arVolumeMaps, r);
        return result == 1 ? QString()
                           : QString("%1 (read onto a %2 x %3 x %4 volume: see --volume)")
                                 .arg(volume->mapFailureReason())
                                 .arg(volume->dimX)
                                 .arg(volume->dimY)
                                 .arg(volume->dimZ);
    }
    SurfaceMesh *mesh = targets.mesh;
    const int stated = smpVertexCount(fileName);
    if (mesh->reservedValue < 0)
        mesh->nrOfVertices = stated;
    if (stated != mesh->nrOfVertices)
        return QString("made for a mesh of %1 vertices, not %2")
            .arg(stated)
            .arg(mesh->nrOfVertices);
    if (!mesh->loadSMPs(fileName))
        return mesh->mapFailureReason();
    describeSurfaceMaps(*mesh->surfaceMaps, r);
    return QString();
}

// Reads one file into the report; returns the reason when it cannot.
QString describe(CXSCore &core, const QString &fileName, const QString &kind,
                 const MapTargets &targets, Report &r)
{
    if (kind == "VMP" || kind == "SMP")
        return describeMapFile(fileName, kind, targets, r);
    if (kind == "GIfTI")
        return describeGifti(fileName, r);
    if (kind.startsWith("FreeSurfer"))
        return describeFreeSurfer(fileName, kind, r);
    if (kind == "VMR" || kind == "NIfTI") {
        if (!core.loadVMR(fileName))
            return core.getVMRFailureReason();
        if (kind == "VMR")
            describeVolume(*core.getVolumeDoc(0), r);
        else
            describeNifti(*core.getVolumeDoc(0), r);
    } else if (kind == "SRF") {
        if (!core.loadMesh(fileName))
            return core.getMeshFailureReason();
        describeMesh(*core.getMesh(0), r);
    } else {
        // As the viewer reads it: compressed, 8-bit, colour and multi-frame images too.
        QString reason;
        const std::unique_ptr<DicomDocument> dicom = DicomDocument::read(fileName, reason);
        if (!dicom)
            return reason;
        describeDicom(dicom->dicom(), r);
        r.add("frames", dicom->frames());
        r.add("colour", dicom->isColour());
    }
    return QString();
}

QString kindOf(const QString &fileName)
{
    if (NiftiImage::isNiftiFileName(fileName))
        return "NIfTI";
    const QString extension = QFileInfo(fileName).suffix().toLower();
    if (extension == "vmr")
        return "VMR";
    if (extension == "srf")
        return "SRF";
    if (extension == "dcm" || FileTypes::isDicomWithoutEnding(fileName))
        return "DICOM";
    if (extension == "vmp")
        return "VMP";
    if (extension == "smp")
        return "SMP";
    if (GiftiFile::isGiftiFileName(fileName))
        return "GIfTI";
    if (extension == "annot")
        return "FreeSurfer annotation";
    // FreeSurfer's surfaces and values have names, not endings: their magic says.
    QFile file;
    if (!LocalFiles::openRegular(file, fileName))
        return QString();
    switch (FreeSurferReader::kindOf(file.read(15))) {
    case FreeSurferReader::Kind::Surface:
        return "FreeSurfer surface";
    case FreeSurferReader::Kind::Values:
        return "FreeSurfer values";
    default:
        return QString();
    }
}

// Takes "--name VALUE" out of the arguments.
QString takeOption(QStringList &arguments, const QString &name)
{
    const int at = arguments.indexOf(name);
    if (at < 0 || at + 1 >= arguments.size())
        return QString();
    const QString value = arguments[at + 1];
    arguments.remove(at, 2);
    return value;
}

// What --clusters is asked for; unset values are the map's own.
struct ClusterRequest
{
    std::optional<float> threshold;
    std::optional<int> signSelection;
    std::optional<double> minVolumeMm3;
    int mapIndex = 1;
    QString atlas;
    bool json = false;
};

// The table the viewer's "Clusters" dock lists for a map shown as its file
// says, or as asked: a VMP read onto volume (its cells in the volume's
// millimetres), a NIfTI map on its own grid and world. Returns the reason
// when there is none.
QString clusterTable(const QString &fileName, VolumeDoc &volume, const ClusterRequest &request,
                     QTextStream &out, QTextStream &err)
{
    QString why = DocumentStream::openFailure(fileName);
    if (!why.isEmpty())
        return why;
    const int row = request.mapIndex - 1;
    MapGrid grid;
    MapDisplay display;
    // The map as the slices colour it, for the criteria.
    std::unique_ptr<ArVolumeMap> defaults;
    const StatisticalMap *shown = nullptr;
    QString mapName;
    if (NiftiImage::isNiftiFileName(fileName)) {
        NiftiImage image;
        if (!image.read(fileName, true))
            return image.failureReason();
        if (row < 0 || row >= image.nrOfVolumesRead())
            return QString("holds no map %1 (it has %2)")
                .arg(request.mapIndex)
                .arg(image.nrOfVolumesRead());
        if (!VolumeDoc::niftiMapGrid(image, row, grid, why))
            return why;
        // A NIfTI map is shown with the settings of a new map.
        defaults = std::make_unique<ArVolumeMap>();
        shown = defaults.get();
        display = shown->storedDisplay();
        mapName = QString("Volume %1").arg(request.mapIndex);
    } else if (kindOf(fileName) == "VMP") {
        int result = volume.loadVolumeMaps(fileName);
        if (result == 2)
            result = volume.loadArVolumeMaps(fileName);
        if (result != 1)
            return volume.mapFailureReason();
        if (VolumeMaps *maps = volume.volumeMaps.get()) {
            if (row < 0 || row >= int(maps->maps.size()))
                return QString("holds no map %1 (it has %2)")
                    .arg(request.mapIndex)
                    .arg(maps->maps.size());
            maps->nrOfSelectedMaps = 1;
            maps->selectedMaps = {row};
            // The settings the map takes on the volume's grid, cluster sizes in its voxels.
            if (!volume.convertSelectedMapsToNrMaps(true))
                return volume.mapFailureReason();
            display = maps->maps[size_t(row)]->storedDisplay();
            display.clusterSize = volume.arVolumeMaps->maps[0]->clusterSize;
        } else {
            if (!volume.selectArVolumeMap(row))
                return volume.mapFailureReason();
            display = volume.arVolumeMaps->maps[size_t(row)]->storedDisplay();
        }
        const ArVolumeMaps &converted = *volume.arVolumeMaps;
        shown = converted.maps[size_t(converted.selectedMaps.value(0))].get();
        mapName = shown->mapName;
        if (!volume.mapGrid(row, grid, why))
            return why;
    } else {
        return "not a volume map (expected .vmp, .nii, .nii.gz or .hdr)";
    }

    if (request.threshold)
        display.threshold = *request.threshold;
    if (request.signSelection)
        display.signSelection = *request.signSelection;
    ClusterCriteria criteria = shown->shownValues(display);
    if (request.minVolumeMm3)
        criteria.minVolumeMm3 = *request.minVolumeMm3;
    else if (display.clusterFilter)
        criteria.minVolumeMm3 =
            std::max(display.clusterSize, 0) * std::abs(volume.millimetreTransform().determinant());
    ClusterTable table;
    if (!table.compute(grid.grid(), criteria))
        return table.failureReason();
    if (!request.atlas.isEmpty()) {
        Atlas atlas;
        if (!atlas.read(request.atlas))
            return atlas.failureReason();
        if (grid.inWorld)
            table.labelPeaks([&atlas](const AffineTransform::Point &p) { return atlas.nameAt(p); });
        else
            err << "cxvinfo: " << LocalFiles::printable(fileName)
                << ": the map's millimetres are those of a volume outside Talairach space, which "
                   "the atlas does not name (see --volume)\n";
    }
    if (request.json) {
        QJsonObject object = table.toJson().object();
        object.insert("file", fileName);
        object.insert("mapIndex", request.mapIndex);
        object.insert("mapName", mapName);
        out << QJsonDocument(object).toJson(QJsonDocument::Compact) << '\n';
    } else {
        out << QString::fromUtf8(table.toTsv());
    }
    return QString();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList files = app.arguments().mid(1);
    const bool json = files.removeAll("--json") > 0;
    const bool clusters = files.removeAll("--clusters") > 0;
    const QString volumeFile = takeOption(files, "--volume");
    const QString meshFile = takeOption(files, "--mesh");
    ClusterRequest request;
    request.json = json;
    bool understood = true;
    const auto number = [&](const QString &name, double &value) {
        const int at = files.indexOf(name);
        if (at < 0)
            return false;
        const QString text = takeOption(files, name);
        bool ok = false;
        value = text.toDouble(&ok);
        understood = understood && ok && std::isfinite(value);
        return ok;
    };
    if (clusters) {
        double value = 0;
        if (number("--threshold", value))
            request.threshold = float(value);
        if (number("--min-size", value))
            request.minVolumeMm3 = value;
        if (number("--map-index", value)) {
            understood = understood && value >= 1 && value <= INT_MAX && value == std::trunc(value);
            request.mapIndex = int(value);
        }
        if (files.contains("--sign")) {
            const QString sign = takeOption(files, "--sign");
            const QStringList signs = {"pos", "neg", "both"};
            understood = understood && signs.contains(sign);
            request.signSelection = int(signs.indexOf(sign)) + 1;
        }
        if (files.contains("--atlas"))
            request.atlas = takeOption(files, "--atlas");
        understood = understood && files.size() == 1;
    }
    QTextStream out(stdout), err(stderr);
    if (!understood || files.isEmpty() || files.first().startsWith("-")) {
        err << "usage: cxvinfo [--json] [--volume FILE.vmr] [--mesh FILE.srf] FILE|FOLDER...\n"
               "       cxvinfo --clusters [--threshold T] [--sign pos|neg|both] [--min-size MM3]\n"
               "               [--map-index K] [--atlas ATLAS] [--volume FILE.vmr] [--json] "
               "MAPFILE\n"
               "Prints what the viewer reads from .vmr, .srf, .dcm, .vmp, .smp and NIfTI\n"
               "(.nii, .nii.gz, .hdr) files, FreeSurfer surfaces, values (curv, thickness...)\n"
               "and annotations (.annot), GIfTI files (.gii), and the DICOM series of a folder.\n"
               "Volume maps are read onto the given volume (else a 256 x 256 x 256 one),\n"
               "surface maps onto the given mesh (else any mesh of the vertex count they state).\n"
               "--clusters prints the cluster table of map K (from 1) of a VMP or NIfTI file as\n"
               "TSV (JSON with --json), as the viewer lists it: threshold, signs and cluster\n"
               "size the map's own unless given.\n";
        return 2;
    }

    // The documents that map files are read onto; the core's own are replaced by
    // every file it reads.
    CXSCore core;
    VolumeDoc volume;
    volume.dimX = volume.dimY = volume.dimZ = 256;
    SurfaceMesh mesh;
    if (!volumeFile.isEmpty() && !volume.readVolume(volumeFile)) {
        err << "cxvinfo: " << LocalFiles::printable(volumeFile) << ": " << volume.failureReason()
            << "\n";
        return 2;
    }
    if (!meshFile.isEmpty() && !mesh.readMesh(meshFile)) {
        err << "cxvinfo: " << LocalFiles::printable(meshFile) << ": " << mesh.failureReason()
            << "\n";
        return 2;
    }
    const MapTargets targets{&volume, &mesh};
    if (clusters) {
        const QString reason = clusterTable(files.first(), volume, request, out, err);
        out.flush();
        if (reason.isEmpty())
            return 0;
        err << "cxvinfo: " << LocalFiles::printable(files.first()) << ": "
            << LocalFiles::printable(reason) << '\n';
        return 1;
    }

    int status = 0;
    for (const QString &fileName : std::as_const(files)) {
        const bool folder = QFileInfo(fileName).isDir();
        const QString kind = folder ? QString("DICOM folder") : kindOf(fileName);
        Report report;
        QString reason = folder ? QString() : DocumentStream::openFailure(fileName);
        if (folder)
            describeFolder(fileName, report);
        if (reason.isEmpty() && kind.isEmpty())
            reason = "unknown file kind (expected .vmr, .srf, .dcm, .vmp, .smp, .nii, .nii.gz, "
                     ".hdr, .gii, .annot or a FreeSurfer surface or values file)";
        else if (reason.isEmpty() && !folder)
            reason = describe(core, fileName, kind, targets, report);
        if (!reason.isEmpty()) {
            err << "cxvinfo: " << LocalFiles::printable(fileName) << ": "
                << LocalFiles::printable(reason) << '\n';
            status = 1;
        }
        if (json) {
            QJsonObject object = report.toJson();
            object.insert("file", fileName);
            object.insert("kind", kind);
            object.insert("ok", reason.isEmpty());
            out << QJsonDocument(object).toJson(QJsonDocument::Compact) << '\n';
        } else if (reason.isEmpty()) {
            out << LocalFiles::printable(fileName) << ": " << kind << '\n';
            report.print(out);
        }
        out.flush();
    }
    return status;
}
