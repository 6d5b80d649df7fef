#include "AffineTransform.h"

#include <algorithm>
#include <cmath>

AffineTransform::AffineTransform()
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            m[r][c] = r == c ? 1.0 : 0.0;
}

AffineTransform AffineTransform::fromRows(const std::array<std::array<double, 4>, 3> &rows)
{
    AffineTransform t;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            t.m[r][c] = rows[r][c];
    return t;
}

AffineTransform::Point AffineTransform::map(const Point &p) const
{
    Point out;
    for (int r = 0; r < 3; ++r)
        out[r] = m[r][0] * p[0] + m[r][1] * p[1] + m[r][2] * p[2] + m[r][3];
    return out;
}

AffineTransform AffineTransform::operator*(const AffineTransform &first) const
{
    AffineTransform t;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k)
                sum += m[r][k] * first.m[k][c];
            t.m[r][c] = sum;
        }
    return t;
}

bool AffineTransform::inverted(AffineTransform &inverse) const
{
    // The 3 × 3 part by its adjugate, then the translation.
    const double a = m[0][0], b = m[0][1], c = m[0][2];
    const double d = m[1][0], e = m[1][1], f = m[1][2];
    const double g = m[2][0], h = m[2][1], i = m[2][2];
    const double det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
    if (!std::isfinite(det) || std::abs(det) < 1e-12)
        return false;
    const double r[3][3] = {{(e * i - f * h) / det, (c * h - b * i) / det, (b * f - c * e) / det},
                            {(f * g - d * i) / det, (a * i - c * g) / det, (c * d - a * f) / det},
                            {(d * h - e * g) / det, (b * g - a * h) / det, (a * e - b * d) / det}};
    AffineTransform t;
    for (int row = 0; row < 3; ++row) {
        double shift = 0.0;
        for (int col = 0; col < 3; ++col) {
            t.m[row][col] = r[row][col];
            shift -= r[row][col] * m[col][3];
        }
        t.m[row][3] = shift;
        if (!std::isfinite(shift))
            return false;
    }
    inverse = t;
    return true;
}

double AffineTransform::determinant() const
{
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
           m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

double AffineTransform::columnLength(int column) const
{
    return std::sqrt(m[0][column] * m[0][column] + m[1][column] * m[1][column] +
                     m[2][column] * m[2][column]);
}

std::array<AffineTransform::Point, 2>
AffineTransform::boxOfGrid(const std::array<long long, 3> &dims) const
{
    Point low = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
    Point high = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (int corner = 0; corner < 8; ++corner) {
        const Point p =
            map({corner & 1 ? double(dims[0] - 1) : 0.0, corner & 2 ? double(dims[1] - 1) : 0.0,
                 corner & 4 ? double(dims[2] - 1) : 0.0});
        for (int axis = 0; axis < 3; ++axis) {
            low[axis] = std::min(low[axis], p[axis]);
            high[axis] = std::max(high[axis], p[axis]);
        }
    }
    return {low, high};
}
