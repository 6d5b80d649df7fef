#ifndef NIFTIVOLUME_H
#define NIFTIVOLUME_H

#include "AffineTransform.h"
#include "NiftiImage.h"

#include <array>
#include <memory>

class DicomSeriesImage;
class VolumeDoc;

// A NIfTI image, or a DICOM series in the same world space, shown as a
// volume: its values resampled into the viewer's grid (x anterior to
// posterior, y superior to inferior, z right to left) of cubic voxels, with
// the transform from that grid to the image's world space and the image
// itself for the original values.
class NiftiVolume
{
public:
    explicit NiftiVolume(std::unique_ptr<NiftiImage> image);
    explicit NiftiVolume(std::unique_ptr<DicomSeriesImage> series);
    ~NiftiVolume();

    // Sets the dimensions, voxel size and voxels of doc from the image: the
    // world bounding box of the image's grid at the smallest voxel edge (at
    // least 0.5 mm, the box scaled to at most 256 voxels along each axis),
    // trilinear, intensities 0.5th to 99.5th percentile of the non-zero values
    // mapped to 10..225, 0 staying 0. False when the voxels cannot be had.
    bool fillVolume(VolumeDoc &doc);
    // Why fillVolume failed.
    QString failureReason() const { return failure; }

    // The NIfTI image: only for a volume read from a NIfTI file.
    const NiftiImage &image() const { return *source; }
    // The DICOM series; null for a NIfTI image.
    const DicomSeriesImage *dicomSeries() const { return series.get(); }
    // The file's (or the series') voxels along its axes i, j, k, and the value at one.
    qint64 fileDim(int axis) const;
    float fileValueAt(qint64 i, qint64 j, qint64 k) const;
    const AffineTransform &fileToWorld() const;
    const AffineTransform &gridToWorld() const { return toWorld; }
    float gridVoxelSize() const { return float(edge); }
    // The image's voxel nearest to grid voxel (x, y, z); false beyond its grid.
    bool fileVoxelAt(int x, int y, int z, std::array<qint64, 3> &ijk) const;
    // "MNI" or "TAL" when the sform or qform code names that space, else empty.
    QString spaceName() const;

    // The viewer's axes from world (right, anterior, superior) millimetres.
    static AffineTransform worldToViewerAxes();

private:
    std::unique_ptr<NiftiImage> source;
    std::unique_ptr<DicomSeriesImage> series;
    AffineTransform toWorld;
    double edge = 1.0;
    QString failure;
};

#endif
