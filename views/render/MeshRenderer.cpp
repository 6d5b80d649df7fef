// Buffer objects are OpenGL 1.5; their entry points come with the prototypes,
// exported by the vendor-neutral library whatever made the context current.
#define GL_GLEXT_PROTOTYPES
#include "MeshRenderer.h"

#include "MeshCamera.h"
#include "MeshLights.h"
#include "SurfaceMesh.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include <algorithm>
#include <iterator>

namespace {

void setupProjection(const MeshCamera &cam, double aspect)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (cam.perspectiveProjection()) {
        gluPerspective(cam.fieldOfView(), aspect, cam.nearPlane(), cam.farPlane());
    } else {
        const double h = cam.orthoHalfWidth();
        // A camera in front of the model has no width to show.
        if (h > 0)
            glOrtho(-h, h, -h / aspect, h / aspect, cam.nearPlane(), cam.farPlane());
    }
    glMatrixMode(GL_MODELVIEW);
}

// Painting uses the lights' mode 1.
void setLights(const MeshLights &lights, const MeshCamera &cam)
{
    const auto gl = lights.openGLLights(1, cam.rotationX(), cam.rotationY(), cam.rotationZ());
    for (int i = 0; i < 2; ++i) {
        const GLenum light = GL_LIGHT0 + GLenum(i);
        if (!gl[i].enabled) {
            glDisable(light);
            continue;
        }
        glEnable(light);
        glLightfv(light, GL_AMBIENT, gl[i].ambient);
        glLightfv(light, GL_POSITION, gl[i].position);
        glLightfv(light, GL_DIFFUSE, gl[i].diffuse);
        glLightfv(light, GL_SPECULAR, gl[i].specular);
    }
}

} // namespace

void MeshRenderer::draw(const SurfaceMesh &mesh, const MeshCamera &cam, const MeshLights &lights,
                        bool cullBackFaces, QSize viewportDevicePixels, double aspect)
{
    glClearColor(0, 0, 0, 0);
    glClearDepth(1.0);
    glDepthMask(GL_TRUE);
    glDepthFunc(GL_LESS);
    glEnable(GL_DEPTH_TEST);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(0, 0, viewportDevicePixels.width(), viewportDevicePixels.height());
    setupProjection(cam, aspect);
    glLoadIdentity();
    glTranslatef(float(cam.translationX()), float(cam.translationY()), float(cam.translationZ()));
    glRotatef(float(cam.rotationX()), 1, 0, 0);
    glRotatef(float(cam.rotationY()), 0, 1, 0);
    glRotatef(float(cam.rotationZ()), 0, 0, 1);
    glPushMatrix();
    setLights(lights, cam);
    prepareArrays(mesh);
    renderMesh(mesh, cullBackFaces);
    glPopMatrix();
}

void MeshRenderer::meshColoursChanged()
{
    // Made again on the next frame.
    arraysRenderMode = -1;
}

void MeshRenderer::meshReplaced()
{
    arraysMesh = nullptr;
}

// Makes the arrays again for a new mesh, render mode or colours.
void MeshRenderer::prepareArrays(const SurfaceMesh &mesh)
{
    const MeshRenderMode mode = renderState.next(mesh.renderMode);
    if (&mesh != arraysMesh) {
        arraysMesh = &mesh;
        arraysRenderMode = mesh.renderMode;
        pendingUpload = arrays.build(mesh, mode) ? UploadAll : NothingToUpload;
        if (arrays.isEmpty())
            releaseBuffers();
    } else if (arraysRenderMode != mesh.renderMode) {
        arraysRenderMode = mesh.renderMode;
        const bool coloursOnly = arrays.updateColours(mesh, mode);
        pendingUpload = std::max(pendingUpload, coloursOnly ? UploadColours : UploadAll);
    }
}

void MeshRenderer::releaseBuffers()
{
    if (buffers[0])
        glDeleteBuffers(4, buffers);
    std::fill(std::begin(buffers), std::end(buffers), 0u);
    pendingUpload = arrays.isEmpty() ? NothingToUpload : UploadAll;
}

void MeshRenderer::uploadArrays()
{
    if (pendingUpload == NothingToUpload || arrays.isEmpty())
        return;
    if (!buffers[0]) {
        glGenBuffers(4, buffers);
        pendingUpload = UploadAll;
    }
    const auto upload = [](GLenum target, unsigned buffer, const auto &values) {
        glBindBuffer(target, buffer);
        glBufferData(target, GLsizeiptr(values.size() * sizeof(values[0])), values.data(),
                     GL_STATIC_DRAW);
    };
    upload(GL_ARRAY_BUFFER, buffers[2], arrays.colours());
    if (pendingUpload == UploadAll) {
        upload(GL_ARRAY_BUFFER, buffers[0], arrays.positions());
        upload(GL_ARRAY_BUFFER, buffers[1], arrays.normals());
        upload(GL_ELEMENT_ARRAY_BUFFER, buffers[3], arrays.indices());
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    pendingUpload = NothingToUpload;
}

void MeshRenderer::renderMesh(const SurfaceMesh &mesh, bool cullBackFaces)
{
    glFrontFace(GL_CCW);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glShadeModel(GL_SMOOTH);
    if (cullBackFaces) {
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
    } else {
        glDisable(GL_CULL_FACE);
    }
    glColorMaterial(GL_FRONT_AND_BACK, GL_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);

    glColor4f(1, 1, 1, 1);
    const GLfloat ambient[] = {0.2f, 0.2f, 0.2f, 1};
    const GLfloat specular[] = {0.5f, 0.5f, 0.5f, 1};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 64);

    renderState = renderState.next(mesh.renderMode);
    const GLenum polygons[] = {GL_FILL, GL_LINE, GL_POINT};
    glPolygonMode(GL_FRONT_AND_BACK, polygons[renderState.polygons()]);
    glShadeModel(renderState.flatShading() ? GL_FLAT : GL_SMOOTH);
    if (renderState.transparent()) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glDepthMask(GL_FALSE);
    }
    if (mesh.reservedValue >= 0) {
        uploadArrays();
        drawArrays();
    }
    if (renderState.transparent()) {
        glDepthMask(GL_TRUE);
        glDisable(GL_BLEND);
    }
}

void MeshRenderer::drawArrays()
{
    if (arrays.isEmpty() || !buffers[0])
        return;
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    glVertexPointer(3, GL_FLOAT, 0, nullptr);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[1]);
    glNormalPointer(GL_FLOAT, 0, nullptr);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[2]);
    glColorPointer(4, GL_FLOAT, 0, nullptr);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[3]);
    if (arrays.primitive() == MeshArrays::Triangles) {
        glDrawElements(GL_TRIANGLES, GLsizei(arrays.indices().size()), GL_UNSIGNED_INT, nullptr);
    } else {
        const std::vector<int> &firsts = arrays.stripFirsts();
        std::vector<const void *> offsets(firsts.size());
        for (size_t i = 0; i < firsts.size(); ++i)
            offsets[i] = reinterpret_cast<const void *>(size_t(firsts[i]) * sizeof(quint32));
        glMultiDrawElements(GL_TRIANGLE_STRIP, arrays.stripCounts().data(), GL_UNSIGNED_INT,
                            offsets.data(), GLsizei(firsts.size()));
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
}
