#ifndef MESHVIEWPOINT_H
#define MESHVIEWPOINT_H

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// A side of the head a figure shows a mesh from, turned by an azimuth and an
// elevation, as the rotations of the mesh camera (MeshCamera) that show it:
// the side faces the viewer, superior up (anterior up when seen from above or
// below). A mesh lies in the volume's grid, x anterior to posterior, y
// superior to inferior, z right to left.
class MeshViewpoint
{
public:
    enum Side { Lateral, Medial, Superior, Inferior, Anterior, Posterior };
    enum Hemisphere { EitherHemisphere, LeftHemisphere, RightHemisphere };

    // "lateral", "medial", ... as the command line names them.
    static const QStringList &sideNames();
    static std::optional<Side> sideNamed(const QString &name);

    // What a mesh file's name says of its hemisphere: a word lh, rh, left or
    // right, or hemi-L / hemi-R, in any letter case, between the name's
    // separators. Either when it says neither, or both.
    static Hemisphere hemisphereOf(const QString &fileName);

    // Lateral and medial are those of the hemisphere; of either, lateral is
    // seen from the right (+x) and medial from the left (-x). Then the camera
    // turns azimuth degrees about the head's vertical axis (counter-clockwise
    // seen from above) and rises elevation degrees towards the figure's top.
    MeshViewpoint(Side side, Hemisphere hemisphere, double azimuth = 0, double elevation = 0);

    // rotationX, rotationY, rotationZ of the camera, in degrees.
    std::array<double, 3> cameraRotation() const { return angles; }

private:
    std::array<double, 3> angles{};
};

#endif
