#ifndef AFFINETRANSFORM_H
#define AFFINETRANSFORM_H

#include <array>

// A 4 × 4 affine transform in double precision, row by row, acting on column
// vectors: voxel indices to millimetres and back.
class AffineTransform
{
public:
    using Point = std::array<double, 3>;

    AffineTransform();
    // The first three rows; the fourth is 0, 0, 0, 1.
    static AffineTransform fromRows(const std::array<std::array<double, 4>, 3> &rows);

    double at(int row, int column) const { return m[row][column]; }
    Point map(const Point &p) const;
    // This after first: p goes through first, then through this.
    AffineTransform operator*(const AffineTransform &first) const;
    // False when the transform cannot be inverted or holds no finite numbers.
    bool inverted(AffineTransform &inverse) const;
    // The low and high corner of the box around the voxel centres of a grid
    // of dims voxels that this places.
    std::array<Point, 2> boxOfGrid(const std::array<long long, 3> &dims) const;
    // The determinant of the upper 3 × 3: the volume of a voxel it places, with a sign.
    double determinant() const;
    // Length of the step one index along a column makes.
    double columnLength(int column) const;

private:
    double m[4][4];
};

#endif
