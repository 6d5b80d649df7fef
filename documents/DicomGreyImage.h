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

#endif
