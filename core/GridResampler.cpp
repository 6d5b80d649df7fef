#include "GridResampler.h"

#include <algorithm>
#include <cmath>
#include <thread>
#include <vector>

namespace {

// Rounding error at the grid's faces must not drop their voxels.
const double faceTolerance = 1e-4;

// Between the eight values from v at the offsets di, dj, dk along the axes,
// at the fractions fi, fj, fk of the way.
float interpolate(const float *v, qint64 di, qint64 dj, qint64 dk, double fi, double fj, double fk)
{
    const double c00 = v[0] + fi * (v[di] - v[0]);
    const double c10 = v[dj] + fi * (v[dj + di] - v[dj]);
    const double c01 = v[dk] + fi * (v[dk + di] - v[dk]);
    const double c11 = v[dk + dj] + fi * (v[dk + dj + di] - v[dk + dj]);
    const double c0 = c00 + fj * (c10 - c00);
    const double c1 = c01 + fj * (c11 - c01);
    return float(c0 + fk * (c1 - c0));
}

} // namespace

GridResampler::GridResampler(const float *values, std::array<qint64, 3> dims, bool nearest)
    : values(values), dims(dims), nearest(nearest)
{
}

float GridResampler::at(const AffineTransform::Point &p) const
{
    double c[3];
    for (int axis = 0; axis < 3; ++axis) {
        c[axis] = p[axis];
        const double last = double(dims[axis] - 1);
        if (!(c[axis] >= -faceTolerance && c[axis] <= last + faceTolerance))
            return 0.0f;
        c[axis] = qBound(0.0, c[axis], last);
    }
    if (!nearest)
        return trilinear(c[0], c[1], c[2]);
    const qint64 i = qint64(c[0] + 0.5), j = qint64(c[1] + 0.5), k = qint64(c[2] + 0.5);
    return values[i + dims[0] * (j + dims[1] * k)];
}

float GridResampler::trilinear(double i, double j, double k) const
{
    const qint64 i0 = qint64(i), j0 = qint64(j), k0 = qint64(k);
    const double fi = i - double(i0), fj = j - double(j0), fk = k - double(k0);
    // At the last voxel of an axis the upper neighbour has no weight.
    const qint64 di = i0 + 1 < dims[0] ? 1 : 0;
    const qint64 dj = j0 + 1 < dims[1] ? dims[0] : 0;
    const qint64 dk = k0 + 1 < dims[2] ? dims[0] * dims[1] : 0;
    return interpolate(values + i0 + dims[0] * (j0 + dims[1] * k0), di, dj, dk, fi, fj, fk);
}

void GridResampler::fill(const AffineTransform &targetToSource, std::array<int, 3> start,
                         std::array<int, 3> count, float *out) const
{
    // A transform of whole numbers puts voxel centres on voxel centres, as
    // between most grids of one space: a copy, without weights.
    qint64 whole[3][4];
    bool copy = true;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) {
            const double rounded = std::round(targetToSource.at(r, c));
            copy = copy && std::abs(targetToSource.at(r, c) - rounded) < 1e-6 &&
                   std::abs(rounded) < 1e9;
            whole[r][c] = copy ? qint64(rounded) : 0;
        }
    if (copy) {
        // Of y and z, the axis along the source's rows goes second innermost, so
        // that successive rows read the neighbours of the values just read.
        const bool zFirst = whole[0][0] == 0 && whole[0][2] != 0;
        const int outer = zFirst ? 1 : 2, middle = zFirst ? 2 : 1;
        for (int o = 0; o < count[outer]; ++o)
            for (int m = 0; m < count[middle]; ++m) {
                const int y = zFirst ? o : m, z = zFirst ? m : o;
                float *row = out + (qint64(z) * count[1] + y) * count[0];
                qint64 index[3];
                for (int r = 0; r < 3; ++r)
                    index[r] = whole[r][0] * start[0] + whole[r][1] * (start[1] + y) +
                               whole[r][2] * (start[2] + z) + whole[r][3];
                for (int x = 0; x < count[0]; ++x) {
                    const qint64 i = index[0] + whole[0][0] * x;
                    const qint64 j = index[1] + whole[1][0] * x;
                    const qint64 k = index[2] + whole[2][0] * x;
                    row[x] = i >= 0 && j >= 0 && k >= 0 && i < dims[0] && j < dims[1] && k < dims[2]
                                 ? values[i + dims[0] * (j + dims[1] * k)]
                                 : 0.0f;
                }
            }
        return;
    }
    const AffineTransform::Point origin = targetToSource.map({0, 0, 0});
    AffineTransform::Point stepX;
    for (int r = 0; r < 3; ++r)
        stepX[r] = targetToSource.map({1, 0, 0})[r] - origin[r];
    if (fillAxisAligned(targetToSource, stepX, start, count, out))
        return;
    // Slabs of z on threads of their own: every voxel is computed as on one.
    const auto fillSlab = [&](int zFrom, int zTo) {
        for (int z = zFrom; z < zTo; ++z) {
            for (int y = 0; y < count[1]; ++y) {
                float *row = out + (qint64(z) * count[1] + y) * count[0];
                const AffineTransform::Point p = targetToSource.map(
                    {double(start[0]), double(start[1] + y), double(start[2] + z)});
                const auto [from, to] = columnsInside(p, stepX, count[0]);
                std::fill(row, row + from, 0.0f);
                for (int x = from; x < to; ++x)
                    row[x] = at({p[0] + x * stepX[0], p[1] + x * stepX[1], p[2] + x * stepX[2]});
                std::fill(row + to, row + count[0], 0.0f);
            }
        }
    };
    const qint64 voxels = qint64(count[0]) * count[1] * count[2];
    const int threads = voxels < (qint64(1) << 18) || count[2] < 2
                            ? 1
                            : int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t)
        helpers.emplace_back(fillSlab, count[2] * t / threads, count[2] * (t + 1) / threads);
    fillSlab(0, count[2] / threads);
    for (std::thread &helper : helpers)
        helper.join();
}

// The columns x of a row from p in steps of step that may lie inside the grid:
// beyond them, by more than a column, every position lies outside.
std::pair<int, int> GridResampler::columnsInside(const AffineTransform::Point &p,
                                                 const AffineTransform::Point &step,
                                                 int columns) const
{
    double low = 0.0, high = double(columns);
    for (int axis = 0; axis < 3; ++axis) {
        const double first = -faceTolerance - p[axis];
        const double last = double(dims[axis] - 1) + faceTolerance - p[axis];
        if (step[axis] == 0.0) {
            if (first > 0.0 || last < 0.0)
                return {0, 0};
            continue;
        }
        const double a = first / step[axis], b = last / step[axis];
        low = std::max(low, std::min(a, b));
        high = std::min(high, std::max(a, b));
    }
    if (!(low <= high))
        return {0, 0};
    const int from = int(std::max(0.0, std::floor(low) - 1.0));
    const int to = int(std::min(double(columns), std::ceil(high) + 2.0));
    return {from, std::max(from, to)};
}

// Each source axis along one target axis, as between grids of one space at
// other voxel sizes: where each target column, row and plane falls in the
// source is worked out once, with the same arithmetic as the voxel by voxel
// path, so that the values come out the same.
bool GridResampler::fillAxisAligned(const AffineTransform &targetToSource,
                                    const AffineTransform::Point &stepX, std::array<int, 3> start,
                                    std::array<int, 3> count, float *out) const
{
    int along[3];
    bool taken[3] = {false, false, false};
    for (int r = 0; r < 3; ++r) {
        along[r] = -1;
        for (int c = 0; c < 3; ++c) {
            if (targetToSource.at(r, c) == 0.0)
                continue;
            if (along[r] >= 0 || taken[c])
                return false;
            along[r] = c;
        }
        if (along[r] < 0)
            return false;
        taken[along[r]] = true;
    }
    struct Step
    {
        qint64 offset; // of the lower neighbour, in values
        qint64 next;   // from it to the upper one; 0 at the last voxel
        double fraction;
        bool inside;
    };
    const qint64 strides[3] = {1, dims[0], dims[0] * dims[1]};
    std::vector<Step> steps[3];
    for (int r = 0; r < 3; ++r) {
        const int a = along[r];
        steps[r].resize(size_t(count[a]));
        const double last = double(dims[r] - 1);
        for (int t = 0; t < count[a]; ++t) {
            // As the voxel by voxel path finds the coordinate.
            double c;
            if (a == 0) {
                c = targetToSource.map({double(start[0]), double(start[1]), double(start[2])})[r] +
                    t * stepX[r];
            } else {
                AffineTransform::Point p = {double(start[0]), double(start[1]), double(start[2])};
                p[a] += t;
                c = targetToSource.map(p)[r] + 0 * stepX[r];
            }
            Step &step = steps[r][size_t(t)];
            step.inside = c >= -faceTolerance && c <= last + faceTolerance;
            c = qBound(0.0, step.inside ? c : 0.0, last);
            const qint64 lower = nearest ? qint64(c + 0.5) : qint64(c);
            step.offset = lower * strides[r];
            step.next = lower + 1 < dims[r] ? strides[r] : 0;
            step.fraction = c - double(lower);
        }
    }
    // The source axis that follows each target axis.
    int source[3];
    for (int r = 0; r < 3; ++r)
        source[along[r]] = r;
    for (int z = 0; z < count[2]; ++z) {
        for (int y = 0; y < count[1]; ++y) {
            const int at[3] = {0, y, z};
            const Step *fixed[3] = {nullptr, nullptr, nullptr};
            bool rowInside = true;
            for (int a = 1; a < 3; ++a) {
                fixed[source[a]] = &steps[source[a]][size_t(at[a])];
                rowInside = rowInside && fixed[source[a]]->inside;
            }
            const int xAxis = source[0];
            for (int x = 0; x < count[0]; ++x) {
                const Step *s[3] = {fixed[0], fixed[1], fixed[2]};
                s[xAxis] = &steps[xAxis][size_t(x)];
                if (!rowInside || !s[xAxis]->inside) {
                    *out++ = 0.0f;
                    continue;
                }
                const float *v = values + s[0]->offset + s[1]->offset + s[2]->offset;
                if (nearest) {
                    *out++ = *v;
                    continue;
                }
                *out++ = interpolate(v, s[0]->next, s[1]->next, s[2]->next, s[0]->fraction,
                                     s[1]->fraction, s[2]->fraction);
            }
        }
    }
    return true;
}
