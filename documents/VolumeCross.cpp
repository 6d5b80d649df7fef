#include "VolumeCross.h"

#include "Documents.h"
#include "VolumeDoc.h"

VolumeCross::VolumeCross(QObject *parent) : QObject(parent) {}

void VolumeCross::reset(const VolumeDocument *volume)
{
    if (!volume) {
        dims = at = {0, 0, 0};
        return;
    }
    const VolumeDoc &doc = volume->volume();
    dims = {doc.dimX, doc.dimY, doc.dimZ};
    set(volume->initialCross());
}

bool VolumeCross::contains(const Voxel &voxel) const
{
    for (int axis = 0; axis < 3; ++axis)
        if (voxel[axis] < 0 || voxel[axis] >= dims[axis])
            return false;
    return true;
}

bool VolumeCross::moveTo(const Voxel &voxel)
{
    if (!contains(voxel))
        return false;
    set(voxel);
    return true;
}

bool VolumeCross::step(int axis, int step)
{
    Voxel next = at;
    next[axis] += step;
    return moveTo(next);
}

void VolumeCross::travel(const Voxel &steps)
{
    if (!hasVolume())
        return;
    Voxel next = at;
    for (int axis = 0; axis < 3; ++axis) {
        next[axis] += steps[axis];
        if (next[axis] >= dims[axis])
            next[axis] = 0;
        else if (next[axis] < 0)
            next[axis] = dims[axis] - 1;
    }
    set(next);
}

void VolumeCross::set(const Voxel &voxel)
{
    at = voxel;
    emit moved(at[0], at[1], at[2]);
}
