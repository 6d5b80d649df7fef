#ifndef MESHPICK_H
#define MESHPICK_H

#include <QPointF>
#include <QSizeF>

class MeshCamera;
class SurfaceMesh;

// The vertex under a point of a view of viewSize showing the mesh through the
// camera as MeshRenderer draws it: of the triangle the line of sight through
// the point meets first, the corner nearest to where it meets it. -1 when the
// line meets no triangle.
int pickVertex(const SurfaceMesh &mesh, const MeshCamera &camera, QSizeF viewSize, QPointF point);

#endif
