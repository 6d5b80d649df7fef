#include "C3dVector.h"

#include <cmath>

C3dVector::C3dVector(float x, float y, float z) : x(x), y(y), z(z) {}

C3dVector::~C3dVector() = default;

C3dVector &C3dVector::operator+=(const C3dVector &b)
{
    x += b.x;
    y += b.y;
    z += b.z;
    return *this;
}

C3dVector &C3dVector::operator-=(const C3dVector &b)
{
    x -= b.x;
    y -= b.y;
    z -= b.z;
    return *this;
}

C3dVector &C3dVector::operator*=(const C3dVector &b)
{
    *this = *this * b;
    return *this;
}

C3dVector &C3dVector::operator*=(float s)
{
    x *= s;
    y *= s;
    z *= s;
    return *this;
}

C3dVector &C3dVector::operator/=(float s)
{
    if (s == 0)
        return *this;
    x /= s;
    y /= s;
    z /= s;
    return *this;
}

C3dVector C3dVector::operator-() const
{
    return C3dVector(-x, -y, -z);
}

float C3dVector::Dot(const C3dVector &b) const
{
    return x * b.x + y * b.y + z * b.z;
}

float C3dVector::Mag() const
{
    return std::sqrt(x * x + y * y + z * z);
}

bool C3dVector::Normalize()
{
    const float length = Mag();
    if (length == 0)
        return false;
    *this /= length;
    return true;
}

bool C3dVector::IsNull() const
{
    return x == 0 && y == 0 && z == 0;
}

bool C3dVector::Coincident(const C3dVector &b) const
{
    C3dVector u = *this;
    C3dVector v = b;
    u.Normalize();
    v.Normalize();
    return u.x == v.x && u.y == v.y && u.z == v.z;
}

C3dVector C3dVector::GenerateUp()
{
    Normalize();
    const C3dVector up(0, 1, 0);
    if (Coincident(up) || Coincident(-up))
        return C3dVector(1, 0, 0);
    return (*this * up) * *this;
}

C3dVector operator+(const C3dVector &a, const C3dVector &b)
{
    return C3dVector(a.x + b.x, a.y + b.y, a.z + b.z);
}

C3dVector operator-(const C3dVector &a, const C3dVector &b)
{
    return C3dVector(a.x - b.x, a.y - b.y, a.z - b.z);
}

C3dVector operator*(const C3dVector &a, const C3dVector &b)
{
    return C3dVector(a.y * b.z - b.y * a.z, b.x * a.z - a.x * b.z, a.x * b.y - a.y * b.x);
}

C3dVector operator*(const C3dVector &a, float s)
{
    return C3dVector(a.x * s, a.y * s, a.z * s);
}
