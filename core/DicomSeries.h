#ifndef DICOMSERIES_H
#define DICOMSERIES_H

#include "AffineTransform.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <vector>

// One image of a series: a file, or a frame of a multi-frame file.
struct DicomSlice
{
    QString fileName;
    int frame = 0;
    int instanceNumber = -1;
    // Image Position (Patient), millimetres in the patient's LPS axes.
    std::array<double, 3> position{};
    // Along the normal of the series' orientation, from the origin.
    double distance = 0.0;
};

// The images of one series that share a size and an orientation, in the order
// of their positions along the orientation's normal, with the geometry of the
// stack they make.
struct DicomSeries
{
    QByteArray uid;
    int number = -1;
    QString description;
    // 1, 2, ... when the series was split by size or orientation; 0 when not.
    int part = 0;
    bool multiFrame = false;

    int columns = 0;
    int rows = 0;
    // Pixel Spacing: between columns (along a row) and between rows.
    double columnSpacing = 1.0;
    double rowSpacing = 1.0;
    // Image Orientation (Patient): the row direction, then the column direction.
    std::array<double, 6> orientation{};
    // Whether every image has a position and the series an orientation.
    bool hasGeometry = false;

    std::vector<DicomSlice> slices;

    // Stacking, when there is geometry: the usual step between neighbouring
    // slices along the normal (the median), the smallest and largest steps,
    // how many slices an even grid from the first to the last has.
    double sliceSpacing = 0.0;
    double smallestGap = 0.0;
    double largestGap = 0.0;
    int gridSlices = 0;
    // Steps that are a whole number of usual steps: the slices in between.
    int missingSlices = 0;
    // Steps that are not.
    bool unevenSpacing = false;
    // Two slices at one position.
    bool sharedPositions = false;
    // Angle of the stacking direction to the normal (a CT gantry tilt).
    double tiltDegrees = 0.0;

    // From voxel indices (column i, row j, grid slice k) to world millimetres
    // in RAS axes, as NIfTI images place theirs; the k step goes from the
    // first slice's position to the last's in gridSlices - 1 steps.
    AffineTransform voxelToWorld;

    // At least three slices of one size and orientation at distinct positions.
    bool isVolume() const;
    // "5 T1_MPRAGE (176)": number, description and slice count.
    QString displayName() const;
    // What the stacking found wanting, one sentence each ("1 slice is missing").
    QStringList notes() const;
};

// Groups DICOM files into series by reading their headers only (never the
// pixel data), on the calling thread: by Series Instance UID, split by image
// size, pixel spacing and orientation (within 1e-4 in each direction cosine);
// a multi-frame file with per-frame positions is a series of its own.
namespace DicomSeriesGrouping {

// The series of the files, ordered by series number, UID and part. Files that
// are not DICOM images are left out; skipped, when given, gets a line for each
// ("name: reason").
std::vector<DicomSeries> group(const QStringList &fileNames, QStringList *skipped = nullptr);
// The same for the files of a folder (not its subfolders, links or hidden
// files) that end in ".dcm" or whose bytes 128 to 131 are "DICM".
std::vector<DicomSeries> scanFolder(const QString &folder, QStringList *skipped = nullptr);

} // namespace DicomSeriesGrouping

#endif
