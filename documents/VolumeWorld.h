#ifndef VOLUMEWORLD_H
#define VOLUMEWORLD_H

#include "AffineTransform.h"

#include <QString>

#include <array>
#include <optional>

class VolumeDoc;

// Where a volume's voxels lie in the world its file gives: a NIfTI image's
// sform or qform space, or Talairach millimetres for a VMR in Talairach space.
// A value; it keeps no reference to the volume.
class VolumeWorld
{
public:
    using Voxel = std::array<int, 3>;

    explicit VolumeWorld(const VolumeDoc &volume);

    // False for a volume without world coordinates.
    bool isKnown() const { return known; }
    // What the coordinates are called: "MNI", "TAL" or "mm".
    QString spaceName() const { return space; }
    // The world point of a voxel's centre, in millimetres (right, anterior, superior).
    AffineTransform::Point worldOf(const Voxel &voxel) const;
    // The voxel whose centre lies nearest a world point, halves rounded up;
    // none, with why, for a point outside the volume or a volume without a world.
    std::optional<Voxel> voxelAt(const AffineTransform::Point &mm, QString &why) const;
    // "x, y, z" in millimetres, one decimal.
    static QString text(const AffineTransform::Point &mm);

private:
    bool known = false;
    QString space;
    AffineTransform toWorld;
    AffineTransform fromWorld;
    int dims[3] = {};
};

#endif
