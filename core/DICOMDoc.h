#ifndef DICOMDOC_H
#define DICOMDOC_H

#include "DocumentStream.h"

#include <QString>

#include <memory>

class DicomHeader;
class QIODevice;

// One two-dimensional 16-bit image of a DICOM file with the few header
// attributes the viewer shows. The reader is a tolerant scanner, not a general
// DICOM parser: it finds the pixel data by searching the bytes and walks the
// header elements up to the image group, keeping the ones below.
class DICOMDoc
{
public:
    explicit DICOMDoc(const ReadContext &context = {});

    bool readDICOM(QString fileName);
    // Reads from the start of a random-access device (a file or a buffer): the
    // first 200 KB, where the pixel data is looked for, the header elements up
    // to the image group, then only the pixels.
    bool readDICOM(QIODevice &device);
    // The header fields from a data set DicomHeader has read, kept by the same
    // rules, for a file whose pixels this reader cannot take (compressed,
    // deflated, 8-bit or colour ones): no pixels, no statistics.
    void readFields(const DicomHeader &header);
    // Why the last read failed, in a few words for the user ("compressed DICOM
    // (JPEG 2000) is not supported"); empty after one that succeeded.
    QString failureReason() const { return failure; }
    // Whether the last read failed only because the pixels are of a kind this
    // reader does not take (compressed, not 16-bit), the file being sound so far.
    bool failedOnPixelKind() const { return pixelKindRefused; }

    // text without leading spaces and without trailing carriage returns, line
    // feeds and, with alsoSpaces, spaces.
    static QString cleanString(const QString &text, bool alsoSpaces);

    // nrOfRows * nrOfColumns values, row by row, in the machine's byte order,
    // negative ones set to 0. A file without Rows and Columns, or with 0 of
    // either, is refused: it has no image.
    std::unique_ptr<qint16[]> pixelData;
    float meanIntensity = 0.0f;
    float stdDevIntensity = 1.0f;

    // 1 little-endian, 2 big-endian; 0 until a file has been read.
    int metaByteOrder = 0;
    int byteOrder = 0;
    bool explicitVR = false;

    int nrOfColumns = -1;
    int nrOfRows = -1;
    float columnSpacing = 0.0f;
    float rowSpacing = 0.0f;
    float sliceThickness = 0.0f;
    float spacingBetweenSlices = 0.0f;
    float sliceDistance = -1.0f;
    int bitsAllocated = 0;

    // Zero-terminated copies of the raw value bytes (Latin-1, padding kept),
    // or "<skipped>" when the value does not fit.
    char repetitionTime[11] = {};
    char imageType[101] = {};
    char modality[11] = {};
    char manufacturer[51] = {};
    char manufacturerModelName[51] = {};
    char institutionName[51] = {};
    char studyDescription[51] = {};
    char seriesDescription[51] = {};
    char patientName[51] = {};
    char patientPosition[11] = {};
    char imagePositionPatient[151] = {};
    char imageOrientationPatient[151] = {};
    char nrOfTemporalPositions[11] = {};
    char magneticFieldStrength[11] = {};

    int seriesNumber = -1;
    int acquisitionNumber = -1;
    int instanceNumber = -1;

private:
    Q_DISABLE_COPY(DICOMDoc)

    bool readHeader(QIODevice &device, qint64 fileSize, const QByteArray &window);
    bool keepElement(quint32 tag, const char *value, quint32 length, bool bigEndian);
    bool readPixels(QIODevice &device, qint64 fileSize, const QByteArray &window,
                    qint64 pixelStart);
    // Records why the read failed; returns false.
    bool fail(const QString &reason);

    template <int size> void keepText(char (&field)[size], const char *value, quint32 length);

    ReadContext context;
    QString failure;
    bool pixelKindRefused = false;
};

#endif
