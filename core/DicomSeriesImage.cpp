#include "DicomSeriesImage.h"

#include "DicomPixels.h"
#include "LocalFiles.h"

#include <algorithm>
#include <cmath>
#include <new>

bool DicomSeriesImage::fail(const QString &why)
{
    reason = why;
    voxels.clear();
    voxels.shrink_to_fit();
    return false;
}

bool DicomSeriesImage::read(const DicomSeries &series)
{
    reason.clear();
    stack = series;
    if (!series.isVolume())
        return fail(QString("the series %1 is no volume: %2")
                        .arg(series.displayName(), series.notes().isEmpty()
                                                       ? QString("it has fewer than 3 slices")
                                                       : series.notes().join(' ')));
    dims = {series.columns, series.rows, series.gridSlices};
    const qint64 plane = dims[0] * dims[1];
    if (dims[2] < 1 || plane * dims[2] > maxVoxels)
        return fail(QString("a series of %1 × %2 × %3 voxels is larger than the viewer reads "
                            "(%4 voxels, 512 × 512 × 256)")
                        .arg(dims[0])
                        .arg(dims[1])
                        .arg(dims[2])
                        .arg(maxVoxels));
    try {
        voxels.assign(size_t(plane * dims[2]), 0.0f);
    } catch (const std::bad_alloc &) {
        return fail("no memory for the series' values");
    }

    // Where each image lies on the grid, in grid slices from the first.
    const size_t n = series.slices.size();
    const double first = series.slices.front().distance;
    const double step =
        dims[2] > 1 ? (series.slices.back().distance - first) / double(dims[2] - 1) : 1.0;
    std::vector<double> at(n);
    for (size_t s = 0; s < n; ++s)
        at[s] = (series.slices[s].distance - first) / step;

    // The grid is filled in order along the normal, each grid slice from the
    // image on it or linearly between the two around it; an image is decoded
    // once, when first needed, and only the last two are kept.
    DicomPixels pixels;
    QString openFile;
    struct Decoded
    {
        size_t slice = size_t(-1);
        std::vector<float> values;
    } low, high;
    auto decode = [&](size_t s, Decoded &into) {
        if (into.slice == s)
            return true;
        const DicomSlice &slice = series.slices[s];
        if (slice.fileName != openFile) {
            openFile.clear();
            if (!pixels.open(slice.fileName))
                return fail(LocalFiles::displayName(slice.fileName) + ": " +
                            pixels.failureReason());
            if (pixels.columns() != dims[0] || pixels.rows() != dims[1] || pixels.isColour())
                return fail(LocalFiles::displayName(slice.fileName) +
                            ": its image is not a grey one of the series' size");
            openFile = slice.fileName;
            if (dataType.isEmpty()) {
                dataType = QString("%1int%2")
                               .arg(pixels.isSigned() ? "" : "u")
                               .arg(pixels.bitsAllocated());
                if (pixels.rescaleSlope() != 1.0 || pixels.rescaleIntercept() != 0.0)
                    dataType += ", rescaled";
            }
        }
        into.slice = size_t(-1);
        if (!pixels.greyFrame(slice.frame, into.values))
            return fail(LocalFiles::displayName(slice.fileName) + ": " + pixels.failureReason());
        into.slice = s;
        return true;
    };
    const double onGrid = 1e-3;
    size_t s = 0;
    try {
        for (qint64 k = 0; k < dims[2]; ++k) {
            while (s + 1 < n && at[s + 1] <= double(k) + onGrid)
                ++s;
            float *out = voxels.data() + k * plane;
            if (high.slice == s)
                std::swap(low, high);
            if (std::abs(at[s] - double(k)) < onGrid || s + 1 >= n) {
                if (!decode(s, low))
                    return false;
                std::copy(low.values.begin(), low.values.end(), out);
                continue;
            }
            // Between two images.
            if (!decode(s, low) || !decode(s + 1, high))
                return false;
            const float w = float((double(k) - at[s]) / (at[s + 1] - at[s]));
            const float *a = low.values.data(), *b = high.values.data();
            for (qint64 v = 0; v < plane; ++v)
                out[v] = a[v] + w * (b[v] - a[v]);
        }
    } catch (const std::bad_alloc &) {
        return fail("no memory for the series' values");
    }
    return true;
}

float DicomSeriesImage::valueAt(qint64 i, qint64 j, qint64 k) const
{
    if (voxels.empty() || i < 0 || j < 0 || k < 0 || i >= dims[0] || j >= dims[1] || k >= dims[2])
        return 0.0f;
    return voxels[size_t((k * dims[1] + j) * dims[0] + i)];
}

QStringList DicomSeriesImage::notes() const
{
    QStringList lines = stack.notes();
    if (stack.missingSlices > 0 || stack.unevenSpacing)
        lines << "Resampled to even spacing.";
    return lines;
}
