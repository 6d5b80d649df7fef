#ifndef VIEWCOVERS_H
#define VIEWCOVERS_H

#include <QImage>
#include <QSize>
#include <QString>

class Document;
class MeshDocument;

// What an inspection view offers as the cover of a document it has just shown,
// made without the view, on any thread that has no other OpenGL context current.

// The mesh as its view first shows it: the camera, lights and culling the view
// starts with (those of the mesh's viewing parameters, if any), the mesh's own
// render mode and colours, drawn into a framebuffer of an OpenGL context of its
// own of size device pixels. The picture equals the widget's grabFramebuffer()
// at that size. A null image, with the reason, when no context can draw it.
QImage drawMeshAsViewStarts(const MeshDocument &mesh, QSize size, QString &reason);

struct ViewCover
{
    // Null, with the reason, when it cannot be made.
    QImage picture;
    // A rendered view (a mesh) rather than an image: its thumbnail has no alpha.
    bool rendered = false;
};

// A picture as it is, a DICOM image's grey picture, a volume's slices at its
// initial cross with their borders (the view draws labels and the cross on
// screen only), a mesh drawn at meshViewSize device pixels as above.
ViewCover viewCover(const Document &document, QSize meshViewSize, QString &reason);

#endif
