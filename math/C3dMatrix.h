#ifndef C3DMATRIX_H
#define C3DMATRIX_H

#include "C3dVector.h"

#include <QString>

// 4 x 4 matrix stored row by row (element (r, c) is m[4 * r + c]), acting on
// column vectors. Angles are in degrees.
class C3dMatrix
{
public:
    C3dMatrix();
    C3dMatrix(float m0, float m1, float m2, float m3, float m4, float m5, float m6, float m7,
              float m8, float m9, float m10, float m11, float m12, float m13, float m14, float m15);
    C3dMatrix(const C3dMatrix &) = default;
    C3dMatrix &operator=(const C3dMatrix &) = default;
    virtual ~C3dMatrix();

    C3dMatrix &operator+=(const C3dMatrix &b);
    C3dMatrix &operator*=(const C3dMatrix &b);
    bool operator==(const C3dMatrix &b) const;

    void Translate(float x, float y, float z);
    void Scale(float x, float y, float z);
    void Rotate(float ax, float ay, float az);
    void makeIdentity();
    bool isIdentity() const;
    void Transpose();

    void invertRotationTranslationMatrix();
    bool invertRotationTranslationScaleMatrix();
    bool checkCoordinateSystemFlip() const;

    void decomposeRotationTranslation(float &rx, float &ry, float &rz, float &tx, float &ty,
                                      float &tz) const;
    void decomposeScaleRotationTranslation(float &sx, float &sy, float &sz, float &rx, float &ry,
                                           float &rz, float &tx, float &ty, float &tz) const;
    void decomposeRotationZYX(float &rx, float &ry, float &rz) const;
    void decomposeRotationXYZ(float &rx, float &ry, float &rz) const;
    void iterateDecomposeRotation(float &rx, float &ry, float &rz, const QString &order) const;

    // Tracing hook; silent.
    void log(const QString &) const {}

    float m[16];

private:
    C3dVector column(int c) const;
    // Scales the columns of the 3 x 3 part to unit length; returns their former lengths.
    C3dVector normalizeColumns();
};

C3dMatrix operator+(const C3dMatrix &a, const C3dMatrix &b);
C3dMatrix operator*(const C3dMatrix &a, const C3dMatrix &b);
C3dVector operator*(const C3dMatrix &a, const C3dVector &v);

#endif
