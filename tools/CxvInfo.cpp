// cxvinfo: prints what the viewer's core reads from VMR, SRF and DICOM files.
// Usage: cxvinfo [--json] FILE...

#include "CXSCore.h"
#include "DICOMDoc.h"
#include "HeaderTexts.h"
#include "SurfaceMesh.h"
#include "VolumeDoc.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace {

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
        for (const auto &field : fields)
            out << "  " << field.first.leftJustified(28) << ' ' << text(field.second) << '\n';
    }

private:
    // The shortest decimal that reads back as the same float, not the double's digits.
    static double roundTrip(float v) { return QString::number(double(v), 'g', 9).toDouble(); }

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
        array.append(QString::number(double(v), 'g', 9).toDouble());
    return array;
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

// Reads one file into the report; returns the reason when it cannot.
QString describe(CXSCore &core, const QString &fileName, const QString &kind, Report &r)
{
    if (kind == "VMR") {
        if (!core.loadVMR(fileName))
            return "not a readable VMR volume (damaged, cut short or of an unsupported version)";
        describeVolume(*core.getVolumeDoc(0), r);
    } else if (kind == "SRF") {
        if (!core.loadMesh(fileName))
            return "not a readable SRF mesh (damaged or cut short)";
        describeMesh(*core.getMesh(0), r);
    } else {
        if (!core.loadDICOM(fileName))
            return "not a readable DICOM image (no 16-bit pixel data found, or damaged)";
        describeDicom(*core.getDICOMDoc(), r);
    }
    return QString();
}

QString kindOf(const QString &fileName)
{
    const QString extension = QFileInfo(fileName).suffix().toLower();
    if (extension == "vmr")
        return "VMR";
    if (extension == "srf")
        return "SRF";
    if (extension == "dcm")
        return "DICOM";
    return QString();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList files = app.arguments().mid(1);
    const bool json = files.removeAll("--json") > 0;
    QTextStream out(stdout), err(stderr);
    if (files.isEmpty() || files.first().startsWith("-")) {
        err << "usage: cxvinfo [--json] FILE...\n"
               "Prints what the viewer reads from .vmr, .srf and .dcm files.\n";
        return 2;
    }

    CXSCore core;
    int status = 0;
    for (const QString &fileName : std::as_const(files)) {
        const QString kind = kindOf(fileName);
        QString reason;
        Report report;
        if (!QFileInfo(fileName).isFile())
            reason = QFileInfo::exists(fileName) ? "not a regular file" : "no such file";
        else if (kind.isEmpty())
            reason = "unknown file kind (expected .vmr, .srf or .dcm)";
        else
            reason = describe(core, fileName, kind, report);
        if (!reason.isEmpty()) {
            err << "cxvinfo: " << fileName << ": " << reason << '\n';
            status = 1;
        }
        if (json) {
            QJsonObject object = report.toJson();
            object.insert("file", fileName);
            object.insert("kind", kind);
            object.insert("ok", reason.isEmpty());
            out << QJsonDocument(object).toJson(QJsonDocument::Compact) << '\n';
        } else if (reason.isEmpty()) {
            out << fileName << ": " << kind << '\n';
            report.print(out);
        }
        out.flush();
    }
    return status;
}
