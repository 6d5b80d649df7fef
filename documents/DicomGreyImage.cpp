#include "DicomGreyImage.h"

#include "DICOMDoc.h"
#include "VoxelColours.h"

#include <algorithm>
#include <cmath>

namespace {

// The window of the grey ramp: values from lo to lo + span.
struct GreyWindow
{
    int lo = 0;
    float span = 1.0f;
};

// In single precision, as the statistics are.
GreyWindow windowOf(float mean, float deviation)
{
    const int centre = int(mean);
    const int spread = int(2.5f * deviation);
    GreyWindow window;
    window.lo = centre - spread;
    int hi = centre + spread;
    if (hi - window.lo < 50)
        hi += 100;
    window.span = float(hi - window.lo);
    return window;
}

struct GreyRamp
{
    GreyRamp()
    {
        static const VoxelColours colours;
        for (int i = 0; i < VoxelColours::greyEntries; ++i) {
            const unsigned char *c = colours.grey(i);
            grey[i] = qRgb(c[0], c[1], c[2]);
        }
    }
    QRgb grey[VoxelColours::greyEntries];
};

const float top = float(VoxelColours::greyEntries - 1);

} // namespace

QImage dicomGreyImage(const DICOMDoc &doc)
{
    if (!doc.pixelData || doc.nrOfColumns <= 0 || doc.nrOfRows <= 0)
        return {};
    QImage image(doc.nrOfColumns, doc.nrOfRows, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    static const GreyRamp ramp;
    const GreyWindow window = windowOf(doc.meanIntensity, doc.stdDevIntensity);
    const auto *in = reinterpret_cast<const quint16 *>(doc.pixelData.get());
    for (int y = 0; y < doc.nrOfRows; ++y) {
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < doc.nrOfColumns; ++x) {
            const float v =
                std::max(std::min(float(int(*in++) - window.lo) / window.span * top, top), 0.0f);
            out[x] = ramp.grey[int(v)];
        }
    }
    return image;
}

GreyStatistics greyStatistics(const float *values, qint64 count)
{
    // Row by row in double, exact for the integer values of 16-bit images,
    // then in extended precision, exact for their sums over any image: as
    // exact as the document's integer sums.
    const qint64 block = 4096;
    long double sum = 0, squares = 0;
    qint64 counted = 1;
    for (qint64 from = 0; from < count; from += block) {
        const qint64 to = std::min(count, from + block);
        double s = 0, q = 0;
        qint64 n = 0;
        for (qint64 i = from; i < to; ++i) {
            const double v = values[i];
            if (v > 99) {
                s += v;
                q += v * v;
                ++n;
            }
        }
        sum += s;
        squares += q;
        counted += n;
    }
    const double mean = double(sum) / double(counted);
    GreyStatistics statistics;
    statistics.mean = float(mean);
    statistics.deviation =
        float(std::sqrt(std::max(0.0, double(squares) / double(counted) - mean * mean)));
    return statistics;
}

QImage dicomGreyImage(const float *values, int columns, int rows, const GreyStatistics &statistics,
                      bool inverted)
{
    if (!values || columns <= 0 || rows <= 0)
        return {};
    QImage image(columns, rows, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    static const GreyRamp ramp;
    const GreyWindow window = windowOf(statistics.mean, statistics.deviation);
    const float lo = float(window.lo);
    const int last = VoxelColours::greyEntries - 1;
    for (int y = 0; y < rows; ++y) {
        const float *in = values + qint64(y) * columns;
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < columns; ++x) {
            // NaN, which no decoder gives, lands on black with the negatives.
            const float p = in[x] > 0.0f ? in[x] : 0.0f;
            const float v = std::max(std::min((p - lo) / window.span * top, top), 0.0f);
            const int i = int(v);
            out[x] = ramp.grey[inverted ? last - i : i];
        }
    }
    return image;
}
