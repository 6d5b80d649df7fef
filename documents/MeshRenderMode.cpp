#include "MeshRenderMode.h"

MeshRenderMode MeshRenderMode::next(int renderMode) const
{
    MeshRenderMode mode = *this;
    switch (renderMode % 100) {
    case 1:
        mode.polygonMode = Filled;
        mode.flat = false;
        break;
    case 2:
        mode.polygonMode = Lines;
        break;
    case 3:
        mode.polygonMode = Filled;
        mode.flat = true;
        break;
    case 4:
        mode.polygonMode = Points;
        break;
    default:
        break;
    }
    mode.blended = renderMode > 100;
    mode.flatColours = renderMode % 100 == 3;
    return mode;
}

int MeshRenderMode::toggledWireframe(int renderMode)
{
    if (renderMode == 1 || renderMode == 101)
        return renderMode + 1;
    return renderMode > 100 ? 101 : 1;
}
