#include "HeaderTexts.h"

#include "DICOMDoc.h"
#include "DicomSeriesImage.h"
#include "NiftiVolume.h"
#include "SurfaceMesh.h"
#include "VolumeDoc.h"

#include <cmath>

namespace {

QString general(float value)
{
    return QString::number(double(value), 'g', 6);
}

QString srfType(const SurfaceMesh &mesh)
{
    QString type;
    if (mesh.reservedValue == 0)
        type = "Reconstructed";
    // The triangle counts of subdivided icosahedra.
    if (mesh.nrOfTriangles == 5120 || mesh.nrOfTriangles == 20480 || mesh.nrOfTriangles == 81920 ||
        mesh.nrOfTriangles == 327680)
        type = "Sphere";
    if (mesh.reservedValue == 1)
        type = "Reconstructed with extended set of neighbors";
    if (mesh.reservedValue == 2)
        type = "Sphere";
    return type;
}

// Halves up, exactly: the float widened to double takes the half without
// rounding. Printed from the double, as a damaged voxel size may give a value
// beyond an int, or none.
QString roundedHalfUp(float value)
{
    return QString::number(std::floor(double(value) + 0.5), 'f', 0);
}

} // namespace

QString vmrDimsText(const VolumeDoc &doc)
{
    return QString("%1 / %2 / %3").arg(doc.dimZ).arg(doc.dimX).arg(doc.dimY);
}

QStringList crossCoordValues(std::array<int, 3> cross, std::array<int, 3> offsets,
                             std::array<float, 3> voxelSizes, int referenceSpace)
{
    QStringList values;
    if (referenceSpace == 3) {
        const float talairachCentre = 128.0f;
        for (int axis : {2, 0, 1})
            values << roundedHalfUp(talairachCentre -
                                    float(cross[axis] + offsets[axis]) * voxelSizes[axis]);
    } else {
        for (int axis : {2, 0, 1})
            values << QString::number(cross[axis]);
    }
    return values;
}

QStringList niftiHeaderLabels(const NiftiVolume *volume)
{
    const QString space = volume ? volume->spaceName() : QString();
    QStringList labels = {"Dims", "Voxel size", "Data type", "Orientation"};
    for (const QString axis : {"X", "Y", "Z"})
        labels << (space.isEmpty() ? axis + " mm" : space + ' ' + axis);
    return labels << "Voxel i/j/k"
                  << "Value"
                  << "Notes";
}

QStringList niftiHeaderValues(const NiftiVolume &volume)
{
    if (const DicomSeriesImage *series = volume.dicomSeries()) {
        const DicomSeries &s = series->series();
        const auto number = [](double v) { return QString::number(v, 'g', 6); };
        return {QString("%1 × %2 × %3").arg(s.columns).arg(s.rows).arg(s.gridSlices),
                QString("%1 × %2 × %3 mm")
                    .arg(number(s.columnSpacing), number(s.rowSpacing),
                         number(s.voxelToWorld.columnLength(2))),
                series->dataTypeName(), "DICOM series"};
    }
    const NiftiImage &image = volume.image();
    QString dims = QString("%1 × %2 × %3").arg(image.dim(0)).arg(image.dim(1)).arg(image.dim(2));
    if (image.nrOfVolumes() > 1)
        dims += QString(" × %1").arg(image.nrOfVolumes());
    return {dims,
            QString("%1 × %2 × %3 mm")
                .arg(general(image.pixdim(0)), general(image.pixdim(1)), general(image.pixdim(2))),
            image.datatypeName(), image.orientationName()};
}

QStringList niftiCrossValues(const NiftiVolume &volume, int x, int y, int z)
{
    const AffineTransform::Point world =
        volume.gridToWorld().map({double(x), double(y), double(z)});
    QStringList values;
    for (double c : world)
        values << QString::number(c, 'f', 1);
    std::array<qint64, 3> ijk;
    if (!volume.fileVoxelAt(x, y, z, ijk))
        return values << QString() << QString();
    return values << QString("%1 / %2 / %3").arg(ijk[0]).arg(ijk[1]).arg(ijk[2])
                  << general(volume.fileValueAt(ijk[0], ijk[1], ijk[2]));
}

QString niftiNotes(const NiftiVolume &volume)
{
    const DicomSeriesImage *series = volume.dicomSeries();
    return series ? series->notes().join(' ') : QString();
}

QStringList srfHeaderLabels()
{
    return {"Type",         "No. of vertices", "Mean no. of neighbors", "No. of triangles",
            "No. of edges", "Mean edge length"};
}

QStringList srfHeaderValues(SurfaceMesh &mesh)
{
    int nrOfEdges = 0;
    float minLength = 0, maxLength = 0;
    const double meanEdgeLength = mesh.computeAverageEdgeLength(nrOfEdges, minLength, maxLength);
    return {srfType(mesh),
            QString::number(mesh.nrOfVertices),
            general(mesh.calculateMeanNrOfNeighbors()),
            QString::number(mesh.nrOfTriangles),
            QString::number(nrOfEdges),
            general(float(meanEdgeLength))};
}

QStringList dicomHeaderLabels()
{
    return {"No. of rows",
            "No. of columns",
            "Pixel spacing",
            "Slice thickness",
            "Spacing bw slices",
            "Bits allocated",
            "Repetition time",
            "Series number",
            "Acquisition number",
            "Instance number",
            "Patient position",
            "Image position patient",
            "Image orientation patient",
            "Image type",
            "Modality",
            "Manufacturer",
            "Manufacturers model name",
            "Magnetic field strength",
            "Institution name",
            "Study description",
            "Series description",
            "Patients name",
            "Byte order"};
}

QStringList dicomHeaderValues(const DICOMDoc &doc)
{
    return {QString::number(doc.nrOfRows),
            QString::number(doc.nrOfColumns),
            general(doc.rowSpacing) + "\\" + general(doc.columnSpacing),
            general(doc.sliceThickness),
            general(doc.spacingBetweenSlices),
            QString::number(doc.bitsAllocated),
            QString::fromLatin1(doc.repetitionTime),
            QString::number(doc.seriesNumber),
            QString::number(doc.acquisitionNumber),
            QString::number(doc.instanceNumber),
            QString::fromLatin1(doc.patientPosition),
            QString::fromLatin1(doc.imagePositionPatient),
            QString::fromLatin1(doc.imageOrientationPatient),
            QString::fromLatin1(doc.imageType),
            QString::fromLatin1(doc.modality),
            QString::fromLatin1(doc.manufacturer),
            QString::fromLatin1(doc.manufacturerModelName),
            QString::fromLatin1(doc.magneticFieldStrength),
            QString::fromLatin1(doc.institutionName),
            QString::fromLatin1(doc.studyDescription),
            QString::fromLatin1(doc.seriesDescription),
            QString::fromLatin1(doc.patientName),
            doc.byteOrder == 1 ? "Little Endian" : "Big Endian"};
}
