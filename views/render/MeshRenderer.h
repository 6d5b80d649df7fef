#ifndef MESHRENDERER_H
#define MESHRENDERER_H

#include "MeshArrays.h"
#include "MeshRenderMode.h"

#include <QSize>

class MeshCamera;
class MeshLights;
class SurfaceMesh;

// Draws a mesh as the mesh view shows it, with whatever OpenGL context is
// current (a widget's, or one Qt knows nothing of): cleared to black, seen
// through the camera, lit by the two lights, from vertex buffer objects that
// are made again only when the mesh, its render mode or its colours change.
// Every call that touches OpenGL needs the same context current; the buffers
// belong to that context.
class MeshRenderer
{
public:
    MeshRenderer() = default;
    // Touches no OpenGL: the context may be gone. Call releaseBuffers() first
    // while it is current.
    ~MeshRenderer() = default;
    MeshRenderer(const MeshRenderer &) = delete;
    MeshRenderer &operator=(const MeshRenderer &) = delete;

    // Clears the bound framebuffer and draws the mesh into a viewport of that
    // many device pixels whose width is aspect times its height.
    void draw(const SurfaceMesh &mesh, const MeshCamera &camera, const MeshLights &lights,
              bool cullBackFaces, QSize viewportDevicePixels, double aspect);
    // The colour codes of the mesh changed (a map was overlaid).
    void meshColoursChanged();
    // Another mesh is drawn next, even should it lie where the last one lay.
    void meshReplaced();
    // Deletes the buffers; the next frame makes them again.
    void releaseBuffers();
    // Whether buffers hold a mesh on the graphics side.
    bool hasBuffers() const { return buffers[0] != 0; }

private:
    enum Upload { NothingToUpload, UploadColours, UploadAll };

    void prepareArrays(const SurfaceMesh &mesh);
    void uploadArrays();
    void drawArrays();
    void renderMesh(const SurfaceMesh &mesh, bool cullBackFaces);

    MeshArrays arrays;
    // Polygon mode and shading carry over from frame to frame.
    MeshRenderMode renderState;
    const SurfaceMesh *arraysMesh = nullptr;
    int arraysRenderMode = 0;
    Upload pendingUpload = NothingToUpload;
    unsigned buffers[4] = {}; // positions, normals, colours, indices
};

#endif
