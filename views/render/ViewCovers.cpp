#include "ViewCovers.h"

#include "Documents.h"
#include "MeshCamera.h"
#include "MeshLights.h"
#include "MeshRenderer.h"
#include "OffscreenGL.h"
#include "VolumeComposer.h"

QImage drawMeshAsViewStarts(const MeshDocument &mesh, QSize size, QString &reason)
{
    MeshCamera camera;
    MeshLights lights;
    bool cullBackFaces = true;
    if (const std::optional<ViewingParameters> p = mesh.viewingParameters()) {
        camera.apply(*p);
        lights.apply(*p);
        cullBackFaces = p->cullBackFaces;
    }
    OffscreenGL gl(size);
    if (!gl.isValid()) {
        reason = gl.failure();
        return QImage();
    }
    MeshRenderer renderer;
    renderer.draw(mesh.mesh(), camera, lights, cullBackFaces, size,
                  double(size.width()) / size.height());
    QImage picture = gl.grab();
    renderer.releaseBuffers();
    return picture;
}

ViewCover viewCover(const Document &document, QSize meshViewSize, QString &reason)
{
    ViewCover cover;
    switch (document.kind()) {
    case Document::Picture:
        cover.picture = static_cast<const PictureDocument &>(document).image();
        break;
    case Document::Dicom:
        cover.picture = static_cast<const DicomDocument &>(document).image();
        break;
    case Document::Volume: {
        const auto &volume = static_cast<const VolumeDocument &>(document);
        cover.picture = VolumeComposer().compose(volume, volume.initialCross(),
                                                 VolumeComposer::coverOverlays());
        break;
    }
    case Document::Mesh:
        cover.picture =
            drawMeshAsViewStarts(static_cast<const MeshDocument &>(document), meshViewSize, reason);
        cover.rendered = true;
        return cover;
    }
    if (cover.picture.isNull())
        reason = "no picture to show";
    return cover;
}
