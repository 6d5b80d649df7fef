#ifndef MESHLIGHTS_H
#define MESHLIGHTS_H

#include <array>

class ViewingParameters;

// The two lights of the mesh view and the values OpenGL lights 0 and 1 get
// from them. A light's position (x, y, z) stands for the direction (-z, y, x)
// in model coordinates; fixed to the viewer, the direction is (-z, -y, -x) in
// eye coordinates whatever the model's rotation. Both lights start on, fixed
// to the viewer, at (-0.8, -0.2, 0.5) and (-0.8, -0.2, -0.5) in grey 0.7.
class MeshLights
{
public:
    // What one OpenGL light is given, in the order ambient, position, diffuse,
    // specular; an OpenGL light that is not enabled is switched off.
    struct Light
    {
        bool enabled = false;
        float ambient[4] = {};
        float position[4] = {}; // a direction: w = 0
        float diffuse[4] = {};
        float specular[4] = {};
    };

    MeshLights();

    void apply(const ViewingParameters &parameters);
    void setFixedToViewer(bool fixed) { fixedToViewer = fixed; }

    // OpenGL lights 0 and 1 for the model rotated by (rotationX, rotationY,
    // rotationZ), as the model-view matrix holds it when the lights are set.
    // Mode 2 gives light 0 no ambient and a white diffuse colour, light 1 no
    // ambient (painting uses mode 1). When only light 1 is on, it is given to
    // OpenGL light 0.
    std::array<Light, 2> openGLLights(int mode, double rotationX, double rotationY,
                                      double rotationZ) const;

private:
    bool on[2] = {true, true};
    float positions[2][3] = {{-0.8f, -0.2f, 0.5f}, {-0.8f, -0.2f, -0.5f}};
    float diffuse[2][3] = {{0.7f, 0.7f, 0.7f}, {0.7f, 0.7f, 0.7f}};
    bool fixedToViewer = true;
};

#endif
