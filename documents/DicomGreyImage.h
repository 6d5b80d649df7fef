#ifndef DICOMGREYIMAGE_H
#define DICOMGREYIMAGE_H

#include <QImage>

class DICOMDoc;

// The pixels of a DICOM document as a nrOfColumns × nrOfRows image (format
// RGB32) in the grey ramp of VoxelColours, scaled to the image's statistics:
// values up to lo = trunc(mean) - trunc(2.5 · deviation) are black, values from
// hi = trunc(mean) + trunc(2.5 · deviation) white. When hi - lo is below 50, hi
// lies 100 higher, so that a flat image shows dark rather than in black and
// white. A null image for a document without pixels (no or zero rows or
// columns, or no pixel data) or when the memory cannot be had.
QImage dicomGreyImage(const DICOMDoc &doc);

// The mean and deviation of a grey image's values above 99 (the dim
// background stays out), as DICOMDoc takes them: the count starts at 1, so an
// image of background only has mean 0 and deviation 0.
struct GreyStatistics
{
    float mean = 0.0f;
    float deviation = 0.0f;
};
GreyStatistics greyStatistics(const float *values, qint64 count);

// The same picture of a frame's values after rescale (DicomPixels), negative
// ones counting as 0, scaled to statistics; inverted (MONOCHROME1, where low
// values are meant bright) white runs to black. Integer values within 16 bits
// give what the document's own pixels give.
QImage dicomGreyImage(const float *values, int columns, int rows, const GreyStatistics &statistics,
                      bool inverted);

#endif
