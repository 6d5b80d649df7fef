#include "VolumeWorld.h"

#include "NiftiVolume.h"
#include "VolumeDoc.h"

#include <cmath>

VolumeWorld::VolumeWorld(const VolumeDoc &volume) : dims{volume.dimX, volume.dimY, volume.dimZ}
{
    known = volume.worldTransform(toWorld) && toWorld.inverted(fromWorld);
    if (volume.niftiVolume)
        space = volume.niftiVolume->spaceName();
    else if (known)
        space = "TAL";
    if (space.isEmpty())
        space = "mm";
}

AffineTransform::Point VolumeWorld::worldOf(const Voxel &voxel) const
{
    return toWorld.map({double(voxel[0]), double(voxel[1]), double(voxel[2])});
}

std::optional<VolumeWorld::Voxel> VolumeWorld::voxelAt(const AffineTransform::Point &mm,
                                                       QString &why) const
{
    if (!known) {
        why = "the volume has no world coordinates (it is not in Talairach space)";
        return std::nullopt;
    }
    const AffineTransform::Point at = fromWorld.map(mm);
    Voxel voxel;
    bool inside = true;
    for (int axis = 0; axis < 3; ++axis) {
        const double index = std::floor(at[axis] + 0.5);
        inside = inside && std::isfinite(index) && index >= 0 && index < dims[axis];
        voxel[axis] = inside ? int(index) : 0;
    }
    if (inside)
        return voxel;
    // The box around the voxel centres, in world axes.
    const auto box = toWorld.boxOfGrid({dims[0], dims[1], dims[2]});
    QString spans;
    for (int axis = 0; axis < 3; ++axis)
        spans += QString("%1%2 %3 to %4")
                     .arg(axis ? ", " : "")
                     .arg(QChar("xyz"[axis]))
                     .arg(box[0][axis], 0, 'f', 1)
                     .arg(box[1][axis], 0, 'f', 1);
    why = QString("the cross at %1 %2 lies outside the volume (%3)")
              .arg(text(mm), space == "mm" ? "mm" : space + " mm", spans);
    return std::nullopt;
}

QString VolumeWorld::text(const AffineTransform::Point &mm)
{
    QStringList parts;
    for (double c : mm)
        // No "-0.0".
        parts << QString::number(std::abs(c) < 0.05 ? 0.0 : c, 'f', 1);
    return parts.join(", ");
}
