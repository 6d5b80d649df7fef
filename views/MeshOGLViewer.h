#ifndef MESHOGLVIEWER_H
#define MESHOGLVIEWER_H

#include "MeshCamera.h"
#include "MeshLights.h"
#include "MeshRenderer.h"
#include "OGLViewer.h"

#include <QElapsedTimer>

#include <memory>

class MeshDocument;
class QTimeLine;
class SurfaceMesh;

// Shows an SRF mesh lit by two lights, turned, moved and brought nearer by
// mouse, wheel, keys and touch, gliding on after a flick and spinning on the
// arrow keys.
class MeshOGLViewer : public OGLViewer
{
    Q_OBJECT

public:
    explicit MeshOGLViewer(QWidget *parent = nullptr);
    ~MeshOGLViewer() override;

    // Shows a mesh read for the cover at index, from its viewing parameters.
    void showMesh(const std::shared_ptr<MeshDocument> &mesh, int index);
    void clear() override;
    std::shared_ptr<MeshDocument> mesh() const { return document; }

    const MeshCamera &camera() const { return cam; }
    bool cullsBackFaces() const { return cullBackFaces; }
    // Whether buffers hold the mesh on the graphics side.
    bool hasBuffers() const { return renderer.hasBuffers(); }
    // Every time line of the flicks and the spin stands still.
    bool isAnimating() const;
    QTimeLine *spinTimeLine() const { return spinLine; }

    // Draws the mesh in wireframe if it was filled, filled otherwise.
    void toggleWireframeGouraudRenderMode();
    // The colours of the mesh changed (a map was overlaid): they are drawn anew.
    void meshColoursChanged();

    // The vertex of the mesh shown under a point of the view, -1 for none.
    int vertexAt(QPointF point) const;

signals:
    // Touch on a touch screen: the lists around should take a touch-sized font.
    void touchFontSizeRequested(float points);
    // A Control-click picked a vertex of the mesh shown, -1 beside the mesh.
    void vertexPicked(int vertex);

public slots:
    void resetView() override;
    void animateTranslation(int frame);
    void animateRotation(int frame);
    void animateLongRotation(int frame);
    void animateZoom(int frame);
    void delayedCheckAddingThumbnail();

protected:
    QString instructionText(int inputKind) const override;
    bool event(QEvent *event) override;
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void pinchTriggered(QPinchGesture *pinch) override;
    void panTriggered(QPanGesture *pan) override;
    void swipeTriggered(QSwipeGesture *swipe) override;

private:
    void resetAnimations();
    void startFlick(MeshCamera::Flick flick);

    std::shared_ptr<MeshDocument> document;
    MeshCamera cam;
    MeshLights lights;
    MeshRenderer renderer;
    bool cullBackFaces = true;
    bool thumbnailPending = false;
    bool instructionWasShown = false;
    int inspectedIndex = -1;
    int panEventCount = 0;
    QElapsedTimer clock;
    QTimeLine *translationLine;
    QTimeLine *rotationLine;
    QTimeLine *spinLine;
    QTimeLine *zoomLine;
    QImage rotationIcons[2];
    QImage translationIcons[2];
};

#endif
