#ifndef PLANEVIEW_H
#define PLANEVIEW_H

#include "OGLViewer.h"
#include "ViewNavigation.h"

#include <QElapsedTimer>

class QTimeLine;

// The image, raw MRI and volume views: one image on a quad facing the viewer,
// moved, zoomed and turned by mouse, wheel, keys and gestures, gliding on after
// a flick, zooming in and back by animation. The y axis points down, as in the
// image.
class PlaneView : public OGLViewer
{
    Q_OBJECT

public:
    explicit PlaneView(int viewMode, QWidget *parent = nullptr);
    ~PlaneView() override;

    const ViewNavigation &navigation() const { return nav; }
    // The image on the quad, in its own size (its texture may be smaller).
    QImage shownImage() const { return image; }
    // Whether the last image had to be scaled down to fit the largest texture.
    bool isTextureReduced() const { return textureReduced; }
    // Whether a texture holds the image on the graphics side.
    bool hasTexture() const { return textureId != 0; }
    QTimeLine *translationTimeLine() const { return translationLine; }
    QTimeLine *zoomTimeLine() const { return zoomLine; }

public slots:
    void animateTranslation(int frame);
    void animateZoom(int frame);
    void resetView() override;

protected:
    // What a mouse drag does, by the buttons and keys held.
    enum DragAction { NoDrag, PanDrag, ZoomDrag, OwnDrag };

    // Shows an image on the quad; a null image leaves the view cleared.
    void setImage(const QImage &newImage);
    // Clears the view and frees the texture at once, not at the next paint,
    // which a view out of sight never gets.
    void releaseImage();
    // Translation, rotation and zoom back to the start, at once.
    void resetTransformation() { nav.resetTransformation(); }
    ViewNavigation::Sizes sizes() const;
    ViewNavigation &navigator() { return nav; }
    // The cover the shown item belongs to, for its thumbnail.
    void setInspectedIndex(int index) { inspectedIndex = index; }
    int inspectedItem() const { return inspectedIndex; }

    virtual QColor clearColour() const { return QColor(0, 0, 0, 0); }
    virtual DragAction dragAction(Qt::MouseButtons buttons, Qt::KeyboardModifiers keys) const;
    // A drag that dragAction() gave to the view itself.
    virtual void ownDrag(const QPoint &) {}
    // Whether a release may throw the image into a glide.
    virtual bool releaseMayGlide(const QMouseEvent *event) const;
    virtual bool isCoverFlowKey(const QKeyEvent *event) const;
    // Pinch gains of zoom and rotation.
    virtual double pinchGain() const;
    virtual double pinchRotationGain() const { return 0.5; }
    // Moves the image by a pan gesture's delta once the gate let it through.
    virtual void panBy(QPanGesture *pan);
    // Painted over the scene: the instructions, unless overridden.
    virtual void drawOverlays(QPainter &painter);

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

    QPoint lastMousePos;
    QElapsedTimer dragTime;
    QElapsedTimer pinchTime;
    int panEventCount = 0;
    static const int panUpdateEvery = 3;

private:
    void uploadTexture();
    void freeTexture();

    ViewNavigation nav;
    QTimeLine *translationLine;
    QTimeLine *zoomLine;
    QImage image;
    int inspectedIndex = -1;
    // Texture name, 0 when there is none; made on the next paint after setImage().
    unsigned textureId = 0;
    QSize textureSize;
    bool textureStale = false;
    bool textureReduced = false;
    int maxTextureSize = 0;
};

#endif
