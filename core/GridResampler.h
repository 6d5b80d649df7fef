#ifndef GRIDRESAMPLER_H
#define GRIDRESAMPLER_H

#include "AffineTransform.h"

#include <QtGlobal>

#include <array>
#include <utility>

// Samples a grid of float values at positions between its voxels, trilinearly
// or at the nearest voxel; positions beyond the grid give 0.
class GridResampler
{
public:
    GridResampler(const float *values, std::array<qint64, 3> dims, bool nearest);

    float at(const AffineTransform::Point &p) const;
    // Fills out, x fastest, with the values at the voxels start .. start + count - 1
    // of a target grid that targetToSource places on this one.
    void fill(const AffineTransform &targetToSource, std::array<int, 3> start,
              std::array<int, 3> count, float *out) const;

private:
    float trilinear(double i, double j, double k) const;
    std::pair<int, int> columnsInside(const AffineTransform::Point &p,
                                      const AffineTransform::Point &step, int columns) const;

    const float *values;
    std::array<qint64, 3> dims;
    bool nearest;
};

#endif
