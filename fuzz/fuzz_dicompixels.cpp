// Feeds arbitrary bytes to the DICOM pixel decoder (the header reader, GDCM's
// decoders behind the stream checks, RLE, deflate) and checks what a decoded
// frame promises: one value or colour per pixel; and that a refusal says why.
// The pixel limit is lower than the viewer's so that a run stays within the
// fuzzer's memory limit.

#include "DicomPixels.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    DicomLimits limits;
    limits.maxPixels = qint64(1) << 22;
    DicomPixels pixels(limits);
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (!pixels.open(bytes)) {
        if (pixels.failureReason().isEmpty())
            abort();
        return 0;
    }
    const size_t n = size_t(qint64(pixels.rows()) * pixels.columns());
    if (n == 0 || pixels.frames() < 1)
        abort();
    // The first and the last frame: enough to reach every frame's mapping.
    for (const int frame : {0, pixels.frames() - 1}) {
        bool ok;
        size_t got;
        if (pixels.isColour()) {
            std::vector<quint32> colours;
            ok = pixels.colourFrame(frame, colours);
            got = colours.size();
        } else {
            std::vector<float> values;
            ok = pixels.greyFrame(frame, values);
            got = values.size();
            volatile float sum = 0;
            for (const float v : values)
                sum = sum + v;
        }
        if (ok ? got != n : pixels.failureReason().isEmpty())
            abort();
    }
    return 0;
}
