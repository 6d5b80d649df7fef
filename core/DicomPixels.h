#ifndef DICOMPIXELS_H
#define DICOMPIXELS_H

#include "DicomHeader.h"

#include <QByteArray>
#include <QString>

#include <vector>

// What a DICOM image may claim before anything is decoded: rows and columns
// up to the largest image the viewer shows, and at most maxPixels pixels in
// all frames together, each of which becomes a 4-byte value or colour (2 GiB).
struct DicomLimits
{
    int maxDimension = 8192;
    qint64 maxPixels = qint64(1) << 29;
    // Files are read whole; beyond this they are refused before reading.
    qint64 maxFileBytes = qint64(3) << 30;
};

// The pixels of a DICOM file, one frame at a time: native pixel data in any
// byte order (deflated data sets inflated), and compressed pixel data (JPEG
// baseline, extended and lossless, JPEG-LS, JPEG 2000, RLE) decoded by GDCM,
// each frame's stream checked against the image's size before it is decoded.
// Grey images give values after the rescale slope and intercept; colour
// images (RGB, YBR_FULL, YBR_FULL_422, YBR_RCT, YBR_ICT) give RGB pixels.
// The header is read by DicomHeader, not by GDCM. Plain data: usable from
// any thread, one object per thread.
class DicomPixels
{
public:
    explicit DicomPixels(const DicomLimits &limits = DicomLimits());

    // Reads the file (a regular file only) and checks its image; no frame is
    // decoded yet. False with a reason when it holds none the viewer can show.
    bool open(const QString &fileName);
    // The same from the bytes of a file.
    bool open(const QByteArray &bytes);
    // Why open() or the last frame failed, in a few words.
    QString failureReason() const { return reason; }

    int columns() const { return cols; }
    int rows() const { return nRows; }
    int frames() const { return nFrames; }
    int samplesPerPixel() const { return samples; }
    bool isColour() const { return samples == 3; }
    // MONOCHROME1: low values are meant to show bright.
    bool isInverted() const { return inverted; }
    int bitsAllocated() const { return allocated; }
    int bitsStored() const { return stored; }
    bool isSigned() const { return signedValues; }
    QByteArray photometric() const { return photometricName; }
    // The transfer syntax's name as users know it ("JPEG-LS lossless").
    QString encodingName() const;
    // The rescale of a frame (per-frame values of an enhanced image when it has them).
    double rescaleSlope(int frame = 0) const;
    double rescaleIntercept(int frame = 0) const;
    const DicomHeader &header() const { return head; }
    // The bytes of the file opened (also when open() failed after reading it).
    const QByteArray &fileBytes() const { return bytes; }

    // The values of a grey frame after rescale, columns × rows, row by row.
    bool greyFrame(int frame, std::vector<float> &values);
    // Every frame's values, frame after frame.
    bool allGreyFrames(std::vector<float> &values);
    // A colour frame, columns × rows, row by row, as 0xFFRRGGBB (the layout
    // of QImage::Format_RGB32; the core does without Qt's GUI module).
    bool colourFrame(int frame, std::vector<quint32> &pixels);

private:
    struct Layout
    {
        int allocated = 16;
        int stored = 16;
        int highBit = 15;
        bool isSigned = false;
        int planar = 0;
        bool bigEndian = false;
        QByteArray photometric;
    };

    bool fail(const QString &why);
    bool checkImage();
    bool mapFragments();
    // The pixels of a frame: native ones point into the file, decoded ones
    // into buffer; layout says how to read them.
    bool framePixels(int frame, const uchar *&pixels, std::vector<char> &buffer, Layout &layout);
    // ycbcr: whether a JPEG decoder leaves the stream's colours as YCbCr.
    bool checkStream(int frame, const QByteArray &stream, bool &ycbcr);
    bool decodeFrame(int frame, std::vector<char> &buffer, Layout &layout);

    DicomLimits limits;
    QByteArray bytes;
    DicomHeader head;
    QString reason;
    QByteArray syntax;
    int cols = 0;
    int nRows = 0;
    int nFrames = 0;
    int samples = 1;
    bool inverted = false;
    int allocated = 0;
    int stored = 0;
    int highBit = 0;
    bool signedValues = false;
    int planar = 0;
    QByteArray photometricName;
    qint64 frameBytes = 0;
    // For each frame, its first fragment and how many follow.
    std::vector<std::pair<int, int>> frameFragments;
};

#endif
