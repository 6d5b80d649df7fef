#ifndef C3DVECTOR_H
#define C3DVECTOR_H

#include <QString>

class C3dVector
{
public:
    C3dVector() = default;
    C3dVector(float x, float y, float z);
    C3dVector(const C3dVector &) = default;
    C3dVector &operator=(const C3dVector &) = default;
    virtual ~C3dVector();

    C3dVector &operator+=(const C3dVector &b);
    C3dVector &operator-=(const C3dVector &b);
    C3dVector &operator*=(const C3dVector &b);
    C3dVector &operator*=(float s);
    C3dVector &operator/=(float s);
    C3dVector operator-() const;

    float Dot(const C3dVector &b) const;
    float Mag() const;
    bool Normalize();
    bool IsNull() const;
    bool Coincident(const C3dVector &b) const;
    C3dVector GenerateUp();

    // Tracing hook; silent.
    void log(const QString &, bool) const {}

    float x = 1;
    float y = 1;
    float z = 1;
};

C3dVector operator+(const C3dVector &a, const C3dVector &b);
C3dVector operator-(const C3dVector &a, const C3dVector &b);
C3dVector operator*(const C3dVector &a, const C3dVector &b);
C3dVector operator*(const C3dVector &a, float s);

#endif
