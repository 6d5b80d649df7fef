#ifndef VOLUMEOGLVIEWER_H
#define VOLUMEOGLVIEWER_H

#include "MosaicLayout.h"
#include "PlaneView.h"
#include "SliceMosaic.h"
#include "VolumeMapColouring.h"

class ArVolumeMap;
class DocVMRInterface;
class QTimeLine;
class VolumeDoc;

// Shows a VMR volume as three orthogonal slices through the red cross, which
// follows the mouse, the arrow keys and a one- or two-finger pan, or travels
// through the volume by itself.
class VolumeOGLViewer : public PlaneView
{
    Q_OBJECT

public:
    explicit VolumeOGLViewer(DocVMRInterface *volumes, QWidget *parent = nullptr);

    // The cross, voxel indices x, y, z.
    int crossPosX() const { return cross[0]; }
    int crossPosY() const { return cross[1]; }
    int crossPosZ() const { return cross[2]; }
    // 0 the pan moves the cross, 1 it moves the image.
    int touchPanMode() const { return panMode; }
    bool isCrossShown() const { return showCross; }
    bool areOrientationLabelsShown() const { return showOrientationLabels; }
    QTimeLine *crossTimeLine() const { return crossLine; }

    // Moves the cross to a voxel and shows it there, as a click on it would;
    // false, the cross unmoved, for a voxel outside the volume shown.
    bool setCrossPosition(int x, int y, int z);

    // Reads a map file onto the volume and lists its maps.
    void loadVolumeMaps(QString fileName);
    // The settings of the map shown, which is coloured anew.
    void showPosNegMapValues(int signSelection);
    void enableClusterSize(bool on);
    void changeClusterSize(int size);
    void changeThreshold(float threshold);

signals:
    // A volume was loaded into the core; its maps may be listed.
    void volumeLoaded();
    // A file could not be shown; the note says which and why.
    void loadFailed(const QString &note);
    void crossMoved(int x, int y, int z);
    // The maps of the file read last, for the maps panel; empty when it held none.
    void mapNamesListed(const QStringList &names);
    // A map file could not be read, or the map chosen shows nothing; the note
    // over the slices says which and why.
    void mapFailed(const QString &note);
    // The settings of the map chosen, for the panel's controls; a cluster size
    // below 0 leaves the panel's as it is.
    void mapSettingsShown(float threshold, int clusterSize, bool clusterFilter, int signSelection);

public slots:
    void newVolumeItemForInspection(int sel_item, QString filename);
    void releaseItem() override;
    void animateCrossMovement(int frame);
    // A map file chosen in the maps panel.
    void clickedMap(const QString &fileName);
    // Map row of the file's rowCount maps chosen in the maps panel.
    void clickedSubMap(int row, int rowCount);

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
    QImage composeMosaic(bool borders, bool labels, bool crossHair);
    // Moves the cross to the voxel under a widget position, if there is one,
    // and shows it there when asked.
    void moveCrossTo(const QPoint &pos, bool render = true);
    // One step of the cross along an axis, ignored at the volume's edge.
    void stepCross(int axis, int step);
    void travel(int axis, int step);
    void resetCrossAnimation();
    void fail(const QString &fileName, const QString &reason);
    void failMap(const QString &reason);
    VolumeDoc *shownVolume() const;
    // The one map shown, whose settings the panel's controls change.
    ArVolumeMap *shownMap() const;
    void recolour();

    DocVMRInterface *volumes;
    // The map file chosen last, named by the note of a map that fails.
    QString mapFileName;
    SliceMosaic mosaic;
    VolumeMapColouring mapColouring;
    MosaicLayout layout;
    int cross[3] = {0, 0, 0};
    int crossStep[3] = {0, 0, 0};
    int leftRightConvention = 1;
    int panMode = 0;
    bool showCross = true;
    bool showOrientationLabels = true;
    QTimeLine *crossLine;
    // The touch-mode icons, off and on.
    QImage crossIcons[2];
    QImage translationIcons[2];
};

#endif
