#ifndef VOLUMEOGLVIEWER_H
#define VOLUMEOGLVIEWER_H

#include "MosaicLayout.h"
#include "PlaneView.h"
#include "VolumeComposer.h"
#include "VolumeCross.h"

#include <memory>

class QTimeLine;
class VolumeDocument;

// Shows a volume as three orthogonal slices through the red cross, which
// follows the mouse, the arrow keys and a one- or two-finger pan, or travels
// through the volume by itself; the map chosen for it is coloured in.
class VolumeOGLViewer : public PlaneView
{
    Q_OBJECT

public:
    explicit VolumeOGLViewer(QWidget *parent = nullptr);

    // Shows a volume read for the cover at index, its cross where it starts.
    void showVolume(const std::shared_ptr<VolumeDocument> &volume, int index);
    void clear() override;
    // The volume shown, if any.
    std::shared_ptr<VolumeDocument> volume() const { return document; }

    // The cross, voxel indices x, y, z.
    VolumeCross &cross() const { return *position; }
    int crossPosX() const { return position->position()[0]; }
    int crossPosY() const { return position->position()[1]; }
    int crossPosZ() const { return position->position()[2]; }
    // 0 the pan moves the cross, 1 it moves the image.
    int touchPanMode() const { return panMode; }
    bool isCrossShown() const { return showCross; }
    bool areOrientationLabelsShown() const { return showOrientationLabels; }
    // The legend in the empty quadrant: key K.
    bool isLegendShown() const { return showLegend; }
    QTimeLine *crossTimeLine() const { return crossLine; }

    // Moves the cross to a voxel and shows it there, as a click on it would;
    // false, the cross unmoved, for a voxel outside the volume shown.
    bool setCrossPosition(int x, int y, int z);

    // The maps of the volume are to be shown differently: composes it anew.
    void mapDisplayChanged();

signals:
    void crossMoved(int x, int y, int z);

public slots:
    void animateCrossMovement(int frame);

protected:
    QString instructionText(int inputKind) const override;
    QColor clearColour() const override { return QColor(12, 12, 12); }
    DragAction dragAction(Qt::MouseButtons buttons, Qt::KeyboardModifiers keys) const override;
    void ownDrag(const QPoint &pos) override;
    bool releaseMayGlide(const QMouseEvent *event) const override;
    bool isCoverFlowKey(const QKeyEvent *event) const override;
    double pinchGain() const override { return width() / 500.0; }
    double pinchRotationGain() const override { return 1.0; }
    void panBy(QPanGesture *pan) override;
    void swipeTriggered(QSwipeGesture *swipe) override;
    void drawOverlays(QPainter &painter) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Composes the slices at the cross and shows them with what is asked on top.
    void renderVolumeAtCrossPosition(bool borders, bool labels, bool crossHair);
    QImage composeMosaic(bool borders, bool labels, bool crossHair, bool legend);
    // Moves the cross to the voxel under a widget position, if there is one,
    // and shows it there when asked.
    void moveCrossTo(const QPoint &pos, bool render = true);
    // One step of the cross along an axis, ignored at the volume's edge.
    void stepCross(int axis, int step);
    void travel(int axis, int step);
    void resetCrossAnimation();

    std::shared_ptr<VolumeDocument> document;
    VolumeComposer composer;
    MosaicLayout layout;
    VolumeCross *position;
    VolumeCross::Voxel crossStep = {0, 0, 0};
    int panMode = 0;
    bool showCross = true;
    bool showOrientationLabels = true;
    bool showLegend = false;
    QTimeLine *crossLine;
    // The touch-mode icons, off and on.
    QImage crossIcons[2];
    QImage translationIcons[2];
};

#endif
