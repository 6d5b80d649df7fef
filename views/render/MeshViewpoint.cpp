#include "MeshViewpoint.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace {

using Vector = std::array<double, 3>;
// Rows: the eye's x, y and z axes in the model's coordinates.
using Matrix = std::array<Vector, 3>;

// The model as the renderer sends it: centred, mirrored along z, so that
// anterior is -x, superior -y and the subject's right +z.
const Vector anterior{-1, 0, 0}, superior{0, -1, 0}, right{0, 0, 1};

Vector operator-(const Vector &v)
{
    return {-v[0], -v[1], -v[2]};
}

Vector cross(const Vector &a, const Vector &b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

Matrix product(const Matrix &a, const Matrix &b)
{
    Matrix p{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                p[i][j] += a[i][k] * b[k][j];
    return p;
}

double radians(double degrees)
{
    return degrees * M_PI / 180.0;
}

double degrees(double radians)
{
    return radians * 180.0 / M_PI;
}

// A right-handed turn by angle degrees about the unit axis (Rodrigues).
Matrix turn(const Vector &axis, double angle)
{
    const double c = std::cos(radians(angle)), s = std::sin(radians(angle)), t = 1 - c;
    const double x = axis[0], y = axis[1], z = axis[2];
    return {Vector{t * x * x + c, t * x * y - s * z, t * x * z + s * y},
            Vector{t * x * y + s * z, t * y * y + c, t * y * z - s * x},
            Vector{t * x * z - s * y, t * y * z + s * x, t * z * z + c}};
}

// The model seen from the direction towards, with up at the top.
Matrix looking(const Vector &towards, const Vector &up)
{
    return {cross(up, towards), up, towards};
}

// The angles a, b, c of Rx(a) Ry(b) Rz(c), the camera's order.
std::array<double, 3> eulerAngles(const Matrix &m)
{
    const double b = std::asin(std::clamp(m[0][2], -1.0, 1.0));
    if (std::abs(m[0][2]) > 1 - 1e-9)
        // Seen along the axis of the second turn: the first and last turn the
        // same way, all in the first.
        return {degrees(std::atan2(m[2][1], m[1][1])), degrees(b), 0};
    return {degrees(std::atan2(-m[1][2], m[2][2])), degrees(b),
            degrees(std::atan2(-m[0][1], m[0][0]))};
}

} // namespace

const QStringList &MeshViewpoint::sideNames()
{
    static const QStringList names = {"lateral",  "medial",   "superior",
                                      "inferior", "anterior", "posterior"};
    return names;
}

std::optional<MeshViewpoint::Side> MeshViewpoint::sideNamed(const QString &name)
{
    const int i = sideNames().indexOf(name);
    if (i < 0)
        return std::nullopt;
    return Side(i);
}

MeshViewpoint::Hemisphere MeshViewpoint::hemisphereOf(const QString &fileName)
{
    const QString name = fileName.section('/', -1).toLower();
    bool left = false, rightSide = false;
    const QStringList words = name.split(QRegularExpression("[^a-z0-9]+"), Qt::SkipEmptyParts);
    for (int i = 0; i < words.size(); ++i) {
        const QString &word = words[i];
        const bool hemi = i > 0 && words[i - 1] == "hemi";
        left = left || word == "lh" || word == "left" || (hemi && word == "l");
        rightSide = rightSide || word == "rh" || word == "right" || (hemi && word == "r");
    }
    if (left == rightSide)
        return EitherHemisphere;
    return left ? LeftHemisphere : RightHemisphere;
}

MeshViewpoint::MeshViewpoint(Side side, Hemisphere hemisphere, double azimuth, double elevation)
{
    const Vector outside = hemisphere == LeftHemisphere ? -right : right;
    Matrix seen{};
    switch (side) {
    case Lateral:
        seen = looking(outside, superior);
        break;
    case Medial:
        seen = looking(-outside, superior);
        break;
    case Superior:
        seen = looking(superior, anterior);
        break;
    case Inferior:
        seen = looking(-superior, anterior);
        break;
    case Anterior:
        seen = looking(anterior, superior);
        break;
    case Posterior:
        seen = looking(-anterior, superior);
        break;
    }
    // The camera goes round the head by turning the model the other way; it
    // rises by tipping the model's top towards it about the eye's x axis.
    const Matrix turned =
        product(turn({1, 0, 0}, elevation), product(seen, turn(superior, -azimuth)));
    angles = eulerAngles(turned);
}
