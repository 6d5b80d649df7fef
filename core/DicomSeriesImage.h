#ifndef DICOMSERIESIMAGE_H
#define DICOMSERIESIMAGE_H

#include "DicomSeries.h"

#include <QString>
#include <QStringList>

#include <array>
#include <vector>

// The values of a DICOM series as one image over the series' even grid
// (columns × rows × grid slices, placed by its voxelToWorld): each slice's
// grey values after rescale, and where the grid has no slice (a missing one,
// or uneven spacing) values taken linearly between the neighbouring slices
// along the normal. Reads pixel data, so it runs off the window's thread.
class DicomSeriesImage
{
public:
    // The most voxels a series is read with: as a NIfTI volume (512 × 512 × 256).
    static constexpr qint64 maxVoxels = qint64(1) << 26;

    // Decodes the slices of a series that isVolume(); false with the reason
    // when one cannot be read or the series is no volume the viewer holds.
    bool read(const DicomSeries &series);
    QString failureReason() const { return reason; }

    const DicomSeries &series() const { return stack; }
    qint64 dim(int axis) const { return dims[size_t(axis)]; }
    const AffineTransform &voxelToWorld() const { return stack.voxelToWorld; }
    const float *values() const { return voxels.data(); }
    float valueAt(qint64 i, qint64 j, qint64 k) const;
    // The pixels as stored: "int16", "uint8"... of the first slice, with
    // ", rescaled" when a slope or intercept changes them.
    QString dataTypeName() const { return dataType; }
    // What the stacking found, and that the grid was filled in where it did.
    QStringList notes() const;

private:
    bool fail(const QString &why);

    DicomSeries stack;
    std::array<qint64, 3> dims{};
    std::vector<float> voxels;
    QString dataType;
    QString reason;
};

#endif
