#ifndef MESHPICK_H
#define MESHPICK_H

#include <QPointF>
#include <QSizeF>

class MeshCamera;
class SurfaceMesh;

// The vertex of a mesh, drawn as MeshRenderer draws it through the camera into
// a view of the given size, that lies under a point of the view (pixels from
// its top-left corner): of the nearest triangle the ray through the point meets
// between the near and far planes (of those facing the viewer when back faces
// are culled), its vertex nearest to where the ray meets it. -1 when the ray
// meets no triangle. Needs no OpenGL: the projection is computed as
// gluPerspective and glOrtho set it up.
int pickVertex(const SurfaceMesh &mesh, const MeshCamera &camera, bool cullBackFaces, QSizeF view,
               QPointF point);

#endif
