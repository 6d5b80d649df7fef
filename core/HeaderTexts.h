#ifndef HEADERTEXTS_H
#define HEADERTEXTS_H

#include <QStringList>

#include <array>

class DICOMDoc;
class NiftiVolume;
class SurfaceMesh;
class VolumeDoc;

// The figures the header panels and the command-line inspector show for a
// document, as labels and values in panel order.

// "Dims X/Y/Z": the panel's X, Y and Z are the volume's third, first and second axes.
QString vmrDimsText(const VolumeDoc &doc);

// The cross position shown as the panel's "X", "Y" and "Z", in the same axis
// order as the dimensions. In Talairach space (referenceSpace 3) each axis
// gives 128 - (cross + offset) · voxel size, the Talairach centre lying at 128
// in the framing cube, computed in single precision and rounded to the nearest
// integer with halves rounded up; otherwise the voxel indices. cross, offsets
// and voxelSizes are in x, y, z order.
QStringList crossCoordValues(std::array<int, 3> cross, std::array<int, 3> offsets,
                             std::array<float, 3> voxelSizes, int referenceSpace);

// A NIfTI volume or DICOM series: "Dims", "Voxel size", "Data type",
// "Orientation" of the file ("DICOM series" for a series), then at the cross
// its world coordinates in mm (named after the space the sform or qform code
// gives: "MNI X", "TAL X", else "X mm"), the file's voxel indices there and
// the file's value, and last "Notes": what a series' stacking found.
QStringList niftiHeaderLabels(const NiftiVolume *volume);
// The first four values.
QStringList niftiHeaderValues(const NiftiVolume &volume);
// The five values at the cross.
QStringList niftiCrossValues(const NiftiVolume &volume, int x, int y, int z);
QString niftiNotes(const NiftiVolume &volume);

QStringList srfHeaderLabels();
QStringList srfHeaderValues(SurfaceMesh &mesh);

QStringList dicomHeaderLabels();
QStringList dicomHeaderValues(const DICOMDoc &doc);

#endif
