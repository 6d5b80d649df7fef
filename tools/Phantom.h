#ifndef PHANTOM_H
#define PHANTOM_H

#include <QVector3D>

// A synthetic head for the sample data. Positions are in millimetres with x
// towards the subject's right, y anterior and z superior. Grey values are those
// of a T1-weighted scan, 10 (air) to 225: scalp, skull, CSF, folded grey and
// white matter, ventricles, deep nuclei, cerebellum, brainstem, eyes, face,
// neck, and a marker capsule on the right.
class Phantom
{
public:
    // The grey value at p, with a little noise that depends only on p.
    static float intensity(const QVector3D &p);
    // The same without noise.
    static float tissue(const QVector3D &p);

    // A smooth surface in the middle of the cortex, in a direction from the
    // brain's centre given as a unit vector in the space where the brain is the
    // unit sphere; inSulcus tells whether the point lies in a sulcus rather
    // than on a gyrus. Its sulci are open grooves along the volume's slits.
    static QVector3D cortexPoint(const QVector3D &direction, bool &inSulcus);
    // The point of the volume's grey matter nearest to the cortex point in
    // that direction, looking along the line from the brain's centre.
    static QVector3D greyMatterPoint(const QVector3D &direction);

    static const QVector3D brainCentre;
};

#endif
