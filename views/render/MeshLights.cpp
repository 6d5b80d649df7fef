#include "MeshLights.h"

#include "C3dMatrix.h"
#include "ViewingParameters.h"

#include <algorithm>

MeshLights::MeshLights() = default;

void MeshLights::apply(const ViewingParameters &p)
{
    on[0] = p.light0On;
    on[1] = p.light1On;
    std::copy(p.light0Position, p.light0Position + 3, positions[0]);
    std::copy(p.light1Position, p.light1Position + 3, positions[1]);
    std::copy(p.light0Diffuse, p.light0Diffuse + 3, diffuse[0]);
    std::copy(p.light1Diffuse, p.light1Diffuse + 3, diffuse[1]);
}

std::array<MeshLights::Light, 2> MeshLights::openGLLights(int mode, double rotationX,
                                                          double rotationY, double rotationZ) const
{
    // The inverse of the model rotation undoes it for lights fixed to the viewer.
    C3dMatrix inverse;
    inverse.Rotate(0, 0, float(-rotationZ));
    inverse.Rotate(0, float(-rotationY), 0);
    inverse.Rotate(float(-rotationX), 0, 0);

    Light lights[2];
    for (int i = 0; i < 2; ++i) {
        Light &light = lights[i];
        light.enabled = on[i];
        const float ambient = mode == 2 ? 0.0f : 0.1f;
        std::fill_n(light.ambient, 3, ambient);
        light.ambient[3] = 1.0f;
        if (mode == 2 && i == 0)
            std::fill_n(light.diffuse, 3, 1.0f);
        else
            std::copy(diffuse[i], diffuse[i] + 3, light.diffuse);
        light.diffuse[3] = 1.0f;
        std::fill_n(light.specular, 3, 0.3f);
        light.specular[3] = 1.0f;
        const float *p = positions[i];
        const C3dVector direction =
            fixedToViewer ? inverse * C3dVector(-p[2], -p[1], -p[0]) : C3dVector(-p[2], p[1], p[0]);
        light.position[0] = direction.x;
        light.position[1] = direction.y;
        light.position[2] = direction.z;
        light.position[3] = 0.0f;
    }
    if (!on[0])
        return {on[1] ? lights[1] : Light(), Light()};
    return {lights[0], lights[1]};
}
