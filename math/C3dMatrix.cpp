#include "C3dMatrix.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

const double DegreesToRadians = 0.01745329251994;
const double RadiansToDegrees = 57.29577951308232;
const double HalfPi = 1.570796326794895;

// Right angles get exact values so that turned axes carry no rounding noise.
void sineAndCosine(float degrees, float &s, float &c)
{
    if (degrees == 0) {
        s = 0;
        c = 1;
    } else if (degrees == 90) {
        s = 1;
        c = 0;
    } else if (degrees == -90 || degrees == 270) {
        s = -1;
        c = 0;
    } else if (degrees == 180) {
        s = 0;
        c = -1;
    } else {
        const double radians = degrees * DegreesToRadians;
        s = float(std::sin(radians));
        c = float(std::cos(radians));
    }
}

// Rounding can push an element of a rotation just past 1, where asin has no value.
double clampedAsin(float v)
{
    return std::asin(std::clamp(double(v), -1.0, 1.0));
}

// atan2 gives -180 for a negative zero; a half turn is always reported as 180.
float toDegrees(double radians)
{
    const float degrees = float(radians * RadiansToDegrees);
    return degrees == -180 ? 180 : degrees;
}

// With the middle rotation at a right angle the outer two turn about the same
// axis and only their sum or difference can be read back.
bool isGimbalLock(double middleAngle)
{
    return std::abs(middleAngle) >= HalfPi;
}

std::vector<float> candidateAngles(float analytic)
{
    if (analytic == 0 || analytic == 90 || analytic == -90 || analytic == 180)
        return {analytic, -90, 0, 90, 180};
    return {analytic};
}

} // namespace

C3dMatrix::C3dMatrix()
{
    makeIdentity();
}

C3dMatrix::C3dMatrix(float m0, float m1, float m2, float m3, float m4, float m5, float m6, float m7,
                     float m8, float m9, float m10, float m11, float m12, float m13, float m14,
                     float m15)
    : m{m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11, m12, m13, m14, m15}
{
}

C3dMatrix::~C3dMatrix() = default;

C3dMatrix &C3dMatrix::operator+=(const C3dMatrix &b)
{
    for (int i = 0; i < 16; ++i)
        m[i] += b.m[i];
    return *this;
}

C3dMatrix &C3dMatrix::operator*=(const C3dMatrix &b)
{
    *this = *this * b;
    return *this;
}

bool C3dMatrix::operator==(const C3dMatrix &b) const
{
    for (int i = 0; i < 16; ++i) {
        if (!(std::abs(m[i] - b.m[i]) < 1e-6f))
            return false;
    }
    return true;
}

void C3dMatrix::Translate(float x, float y, float z)
{
    C3dMatrix t;
    t.m[3] = x;
    t.m[7] = y;
    t.m[11] = z;
    *this *= t;
}

void C3dMatrix::Scale(float x, float y, float z)
{
    C3dMatrix s;
    s.m[0] = x;
    s.m[5] = y;
    s.m[10] = z;
    *this *= s;
}

void C3dMatrix::Rotate(float ax, float ay, float az)
{
    float sx, cx, sy, cy, sz, cz;
    sineAndCosine(ax, sx, cx);
    sineAndCosine(ay, sy, cy);
    sineAndCosine(az, sz, cz);
    const C3dMatrix rx(1, 0, 0, 0, 0, cx, -sx, 0, 0, sx, cx, 0, 0, 0, 0, 1);
    const C3dMatrix ry(cy, 0, sy, 0, 0, 1, 0, 0, -sy, 0, cy, 0, 0, 0, 0, 1);
    const C3dMatrix rz(cz, -sz, 0, 0, sz, cz, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    *this *= rx * ry * rz;
}

void C3dMatrix::makeIdentity()
{
    for (int i = 0; i < 16; ++i)
        m[i] = i % 5 == 0 ? 1 : 0;
}

bool C3dMatrix::isIdentity() const
{
    for (int i = 0; i < 16; ++i) {
        if (m[i] != (i % 5 == 0 ? 1 : 0))
            return false;
    }
    return true;
}

void C3dMatrix::Transpose()
{
    for (int r = 0; r < 4; ++r) {
        for (int c = r + 1; c < 4; ++c)
            std::swap(m[4 * r + c], m[4 * c + r]);
    }
}

void C3dMatrix::invertRotationTranslationMatrix()
{
    // The inverse of T(t)·R is Rᵀ·T(-t).
    C3dMatrix inverse(m[0], m[4], m[8], 0, m[1], m[5], m[9], 0, m[2], m[6], m[10], 0, 0, 0, 0, 1);
    inverse.Translate(-m[3], -m[7], -m[11]);
    *this = inverse;
}

bool C3dMatrix::invertRotationTranslationScaleMatrix()
{
    // The inverse of T(t)·R·S(s) is S(1/s)·Rᵀ·T(-t).
    C3dMatrix rotationTranslation = *this;
    const C3dVector s = rotationTranslation.normalizeColumns();
    if (s.x == 0 || s.y == 0 || s.z == 0)
        return false;
    rotationTranslation.invertRotationTranslationMatrix();
    C3dMatrix inverse;
    inverse.Scale(1 / s.x, 1 / s.y, 1 / s.z);
    *this = inverse * rotationTranslation;
    return true;
}

bool C3dMatrix::checkCoordinateSystemFlip() const
{
    return column(0).Dot(column(1) * column(2)) < 0;
}

void C3dMatrix::decomposeRotationTranslation(float &rx, float &ry, float &rz, float &tx, float &ty,
                                             float &tz) const
{
    tx = m[3];
    ty = m[7];
    tz = m[11];

    // The rotation is read as Rz·Ry·Rx.
    const double y = clampedAsin(-m[8]);
    double x, z;
    if (isGimbalLock(y)) {
        // Only x - z (at +90 degrees) or x + z (at -90 degrees) is defined; x takes
        // it. -m8 is sin(y).
        x = std::atan2(-m[8] * m[1], m[5]);
        z = 0;
    } else {
        x = std::atan2(m[9], m[10]);
        z = std::atan2(m[4], m[0]);
    }
    rx = toDegrees(x);
    ry = toDegrees(y);
    rz = toDegrees(z);
}

void C3dMatrix::decomposeScaleRotationTranslation(float &sx, float &sy, float &sz, float &rx,
                                                  float &ry, float &rz, float &tx, float &ty,
                                                  float &tz) const
{
    C3dMatrix rotationTranslation = *this;
    const C3dVector s = rotationTranslation.normalizeColumns();
    sx = s.x;
    sy = s.y;
    sz = s.z;
    rotationTranslation.decomposeRotationTranslation(rx, ry, rz, tx, ty, tz);
}

void C3dMatrix::decomposeRotationZYX(float &rx, float &ry, float &rz) const
{
    iterateDecomposeRotation(rx, ry, rz, QStringLiteral("ZYX"));
}

void C3dMatrix::decomposeRotationXYZ(float &rx, float &ry, float &rz) const
{
    iterateDecomposeRotation(rx, ry, rz, QStringLiteral("XYZ"));
}

void C3dMatrix::iterateDecomposeRotation(float &rx, float &ry, float &rz,
                                         const QString &order) const
{
    const bool zyx = order == QLatin1String("ZYX");
    if (!zyx && order != QLatin1String("XYZ"))
        return;

    double x = 0, y, z;
    if (zyx) {
        // Rz·Ry·Rx; -m8 is sin(y).
        y = clampedAsin(-m[8]);
        if (isGimbalLock(y)) {
            z = std::atan2(-m[1], -m[8] * m[2]);
        } else {
            x = std::atan2(m[9], m[10]);
            z = std::atan2(m[4], m[0]);
        }
    } else {
        // Rx·Ry·Rz, as Rotate builds it.
        y = clampedAsin(m[2]);
        if (isGimbalLock(y)) {
            z = std::atan2(m[4], m[5]);
        } else {
            x = std::atan2(-m[6], m[10]);
            z = std::atan2(-m[1], m[0]);
        }
    }
    rx = toDegrees(x);
    ry = toDegrees(y);
    rz = toDegrees(z);

    // Right angles have several equivalent triples; of those that rebuild this
    // matrix, keep the first one with the smallest total turn.
    const std::vector<float> xs = candidateAngles(rx);
    const std::vector<float> ys = candidateAngles(ry);
    const std::vector<float> zs = candidateAngles(rz);
    bool found = false;
    for (float cz : zs) {
        for (float cy : ys) {
            for (float cx : xs) {
                C3dMatrix test;
                if (zyx) {
                    test.Rotate(0, 0, cz);
                    test.Rotate(0, cy, 0);
                    test.Rotate(cx, 0, 0);
                } else {
                    test.Rotate(cx, cy, cz);
                }
                if (!(test == *this))
                    continue;
                const float total = std::abs(cx) + std::abs(cy) + std::abs(cz);
                if (!found || total < std::abs(rx) + std::abs(ry) + std::abs(rz)) {
                    rx = cx;
                    ry = cy;
                    rz = cz;
                    found = true;
                }
            }
        }
    }
}

C3dVector C3dMatrix::column(int c) const
{
    return C3dVector(m[c], m[4 + c], m[8 + c]);
}

C3dVector C3dMatrix::normalizeColumns()
{
    float lengths[3];
    for (int c = 0; c < 3; ++c) {
        C3dVector v = column(c);
        lengths[c] = v.Mag();
        v.Normalize();
        m[c] = v.x;
        m[4 + c] = v.y;
        m[8 + c] = v.z;
    }
    return C3dVector(lengths[0], lengths[1], lengths[2]);
}

C3dMatrix operator+(const C3dMatrix &a, const C3dMatrix &b)
{
    C3dMatrix sum = a;
    sum += b;
    return sum;
}

C3dMatrix operator*(const C3dMatrix &a, const C3dMatrix &b)
{
    C3dMatrix product;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            float sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += a.m[4 * r + k] * b.m[4 * k + c];
            product.m[4 * r + c] = sum;
        }
    }
    return product;
}

C3dVector operator*(const C3dMatrix &a, const C3dVector &v)
{
    const float *m = a.m;
    return C3dVector(m[0] * v.x + m[1] * v.y + m[2] * v.z + m[3],
                     m[4] * v.x + m[5] * v.y + m[6] * v.z + m[7],
                     m[8] * v.x + m[9] * v.y + m[10] * v.z + m[11]);
}
