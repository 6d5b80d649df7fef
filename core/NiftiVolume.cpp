#include "NiftiVolume.h"

#include "Allocation.h"
#include "DicomSeriesImage.h"
#include "GridResampler.h"
#include "VolumeDoc.h"

#include <nifti1.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

namespace {

const int maxGridEdge = 256;
const double minVoxelEdge = 0.5;

// Orders floats as their values are ordered, for finite ones.
quint32 orderKey(float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits & 0x80000000u ? ~bits : bits | 0x80000000u;
}

float fromOrderKey(quint32 key)
{
    const quint32 bits = key & 0x80000000u ? key & 0x7FFFFFFFu : ~key;
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

bool counted(float v)
{
    return v != 0.0f && std::isfinite(v);
}

// The values at quantiles q[0] and q[1] (0..1) of the non-zero finite values,
// as sorting them would give, found without a copy of them: the high half of
// each value's key picks a bin of a histogram, the low half then the value
// within the bin. Both 0 when there is no such value.
std::array<float, 2> quantiles(const float *values, qint64 count, std::array<double, 2> q)
{
    std::vector<qint64> bins(1 << 16, 0);
    qint64 total = 0;
    for (qint64 v = 0; v < count; ++v)
        if (counted(values[v])) {
            ++bins[orderKey(values[v]) >> 16];
            ++total;
        }
    if (total == 0)
        return {0.0f, 0.0f};
    // The bin of each quantile and its rank within it; then one pass counts
    // the low halves of both bins.
    quint32 high[2];
    qint64 rank[2];
    for (int i = 0; i < 2; ++i) {
        rank[i] = std::llround(q[i] * double(total - 1));
        high[i] = 0;
        while (rank[i] >= bins[high[i]])
            rank[i] -= bins[high[i]++];
    }
    std::vector<qint64> low[2] = {std::vector<qint64>(1 << 16, 0), std::vector<qint64>(1 << 16, 0)};
    for (qint64 v = 0; v < count; ++v) {
        if (!counted(values[v]))
            continue;
        const quint32 key = orderKey(values[v]);
        for (int i = 0; i < 2; ++i)
            if (key >> 16 == high[i])
                ++low[i][key & 0xFFFF];
    }
    std::array<float, 2> result;
    for (int i = 0; i < 2; ++i) {
        quint32 key = 0;
        while (rank[i] >= low[i][key])
            rank[i] -= low[i][key++];
        result[i] = fromOrderKey(high[i] << 16 | key);
    }
    return result;
}

} // namespace

NiftiVolume::NiftiVolume(std::unique_ptr<NiftiImage> image) : source(std::move(image)) {}

NiftiVolume::NiftiVolume(std::unique_ptr<DicomSeriesImage> image) : series(std::move(image)) {}

NiftiVolume::~NiftiVolume() = default;

qint64 NiftiVolume::fileDim(int axis) const
{
    return series ? series->dim(axis) : source->dim(axis);
}

float NiftiVolume::fileValueAt(qint64 i, qint64 j, qint64 k) const
{
    return series ? series->valueAt(i, j, k) : source->valueAt(i, j, k);
}

const AffineTransform &NiftiVolume::fileToWorld() const
{
    return series ? series->voxelToWorld() : source->voxelToWorld();
}

AffineTransform NiftiVolume::worldToViewerAxes()
{
    // x = -anterior, y = -superior, z = -right.
    return AffineTransform::fromRows({{{0, -1, 0, 0}, {0, 0, -1, 0}, {-1, 0, 0, 0}}});
}

bool NiftiVolume::fillVolume(VolumeDoc &doc)
{
    const float *values = series ? series->values() : source->volumeValues(0);
    if (!values) {
        failure = "the image's values were not read";
        return false;
    }
    const std::array<qint64, 3> dims = {fileDim(0), fileDim(1), fileDim(2)};
    const AffineTransform &voxelToWorld = fileToWorld();
    const AffineTransform toViewer = worldToViewerAxes() * voxelToWorld;

    // The box of the voxel centres in the viewer's axes.
    const auto box = toViewer.boxOfGrid(dims);
    const AffineTransform::Point &low = box[0], &high = box[1];
    edge = minVoxelEdge;
    double extent = 0.0;
    for (int axis = 0; axis < 3; ++axis)
        extent = std::max(extent, high[axis] - low[axis]);
    double smallest = HUGE_VAL;
    for (int axis = 0; axis < 3; ++axis)
        if (dims[axis] > 1)
            smallest = std::min(smallest, voxelToWorld.columnLength(axis));
    if (std::isfinite(smallest))
        edge = std::max(edge, smallest);
    if (extent / edge + 1 > maxGridEdge)
        edge = extent / (maxGridEdge - 1);
    if (!std::isfinite(edge) || edge <= 0) {
        failure = "its world transform places the voxels nowhere that can be shown";
        return false;
    }
    int n[3];
    for (int axis = 0; axis < 3; ++axis)
        n[axis] =
            std::min(int(std::floor((high[axis] - low[axis]) / edge + 1e-6)) + 1, maxGridEdge);

    AffineTransform viewerInverse;
    worldToViewerAxes().inverted(viewerInverse);
    toWorld =
        viewerInverse * AffineTransform::fromRows(
                            {{{edge, 0, 0, low[0]}, {0, edge, 0, low[1]}, {0, 0, edge, low[2]}}});
    AffineTransform worldToSource;
    if (!voxelToWorld.inverted(worldToSource)) {
        failure = "its world transform cannot be inverted";
        return false;
    }

    const qint64 count = qint64(n[0]) * n[1] * n[2];
    const QString noMemory = "no memory for the voxels shown";
    std::vector<float> grid;
    std::array<float, 2> range;
    try {
        grid.resize(size_t(count));
        GridResampler(values, dims, false)
            .fill(worldToSource * toWorld, {0, 0, 0}, {n[0], n[1], n[2]}, grid.data());
        range = quantiles(values, dims[0] * dims[1] * dims[2], {0.005, 0.995});
    } catch (const std::bad_alloc &) {
        failure = noMemory;
        return false;
    }
    const auto [lo, hi] = range;

    auto bytes = allocateArray<unsigned char>(count);
    if (!bytes) {
        failure = noMemory;
        return false;
    }
    const double scale = hi > lo ? 215.0 / (double(hi) - double(lo)) : 0.0;
    for (qint64 v = 0; v < count; ++v) {
        const float r = grid[size_t(v)];
        if (r == 0.0f || !std::isfinite(r))
            bytes[v] = 0;
        else if (scale == 0.0)
            bytes[v] = r >= hi ? 225 : 10;
        else
            bytes[v] = (unsigned char)(10.5 + qBound(0.0, (r - lo) * scale, 215.0));
    }

    doc.vmrData = std::move(bytes);
    doc.dimX = n[0];
    doc.dimY = n[1];
    doc.dimZ = n[2];
    doc.offsetX = doc.offsetY = doc.offsetZ = 0;
    doc.framingCubeDim = maxGridEdge;
    doc.voxelSizeX = doc.voxelSizeY = doc.voxelSizeZ = float(edge);
    doc.voxelSizeVerified = true;
    // Right on the left of the coronal and transverse slices, as z runs right to left.
    doc.leftRightConvention = 1;
    doc.referenceSpace = 0;
    doc.inTalairachSpace = false;
    doc.crossPosX = float(n[0] / 2);
    doc.crossPosY = float(n[1] / 2);
    doc.crossPosZ = float(n[2] / 2);
    return true;
}

bool NiftiVolume::fileVoxelAt(int x, int y, int z, std::array<qint64, 3> &ijk) const
{
    AffineTransform worldToSource;
    if (!fileToWorld().inverted(worldToSource))
        return false;
    const AffineTransform::Point p =
        (worldToSource * toWorld).map({double(x), double(y), double(z)});
    for (int axis = 0; axis < 3; ++axis) {
        const double rounded = std::floor(p[axis] + 0.5);
        if (!(rounded >= 0 && rounded < double(fileDim(axis))))
            return false;
        ijk[axis] = qint64(rounded);
    }
    return true;
}

QString NiftiVolume::spaceName() const
{
    // A series lies in the scanner's own patient coordinates.
    if (series)
        return QString();
    if (source->spaceCode() == NIFTI_XFORM_MNI_152)
        return "MNI";
    if (source->spaceCode() == NIFTI_XFORM_TALAIRACH)
        return "TAL";
    return QString();
}
