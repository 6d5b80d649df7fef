// Feeds arbitrary bytes to the DICOM reader and checks what a successful read
// promises: every pixel readable, a null pixel pointer only for an empty
// image, and every text field terminated; and that a failed one says why.

#include "DICOMDoc.h"

#include <QBuffer>

#include <cstdint>
#include <cstdlib>

namespace {

template <int size> void checkTerminated(const char (&text)[size])
{
    if (qstrnlen(text, size) >= size_t(size))
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    DICOMDoc doc;
    // A refusal always says why, a successful read never.
    if (!doc.readDICOM(buffer)) {
        if (doc.failureReason().isEmpty())
            abort();
        return 0;
    }
    if (!doc.failureReason().isEmpty())
        abort();

    const bool empty = doc.nrOfRows <= 0 || doc.nrOfColumns <= 0;
    if (empty != !doc.pixelData)
        abort();
    if (!empty) {
        volatile qint64 sum = 0;
        for (qint64 i = 0; i < qint64(doc.nrOfRows) * doc.nrOfColumns; ++i)
            sum = sum + doc.pixelData[i];
    }
    checkTerminated(doc.repetitionTime);
    checkTerminated(doc.imageType);
    checkTerminated(doc.modality);
    checkTerminated(doc.manufacturer);
    checkTerminated(doc.manufacturerModelName);
    checkTerminated(doc.institutionName);
    checkTerminated(doc.studyDescription);
    checkTerminated(doc.seriesDescription);
    checkTerminated(doc.patientName);
    checkTerminated(doc.patientPosition);
    checkTerminated(doc.imagePositionPatient);
    checkTerminated(doc.imageOrientationPatient);
    checkTerminated(doc.nrOfTemporalPositions);
    checkTerminated(doc.magneticFieldStrength);
    return 0;
}
