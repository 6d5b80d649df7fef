#ifndef MESHOGLVIEWER_H
#define MESHOGLVIEWER_H

#include "MeshArrays.h"
#include "MeshCamera.h"
#include "MeshLights.h"
#include "MeshRenderMode.h"
#include "OGLViewer.h"

#include <QElapsedTimer>

class DocSRFInterface;
class QTimeLine;
class SurfaceMap;
class SurfaceMaps;
class SurfaceMesh;

// Shows an SRF mesh lit by two lights, turned, moved and brought nearer by
// mouse, wheel, keys and touch, gliding on after a flick and spinning on the
// arrow keys.
class MeshOGLViewer : public OGLViewer
{
    Q_OBJECT

public:
    explicit MeshOGLViewer(DocSRFInterface *meshes, QWidget *parent = nullptr);
    ~MeshOGLViewer() override;

    const MeshCamera &camera() const { return cam; }
    bool cullsBackFaces() const { return cullBackFaces; }
    // Whether buffers hold the mesh on the graphics side.
    bool hasBuffers() const { return buffers[0] != 0; }
    // Every time line of the flicks and the spin stands still.
    bool isAnimating() const;
    QTimeLine *spinTimeLine() const { return spinLine; }

    // Draws the mesh in wireframe if it was filled, filled otherwise.
    void toggleWireframeGouraudRenderMode();
    // The colours of the mesh changed (a map was overlaid): they are drawn anew.
    void meshColoursChanged();

    // Reads a map file onto the mesh and lists its maps.
    void loadSurfaceMaps(QString fileName);
    // The maps of the mesh shown, or none; the mesh through its argument.
    SurfaceMaps *getSurfMaps(SurfaceMesh **mesh) const;
    // The settings of the map shown, which is overlaid anew.
    void showPosNegMapValues(int signSelection);
    void enableClusterSize(bool on);
    void changeClusterSize(int size);
    void changeThreshold(float threshold);

signals:
    // A mesh was loaded into the core; its maps may be listed.
    void meshLoaded();
    // A file could not be shown; the note says which and why.
    void loadFailed(const QString &note);
    // The maps of the file read last, for the maps panel.
    void mapNamesListed(const QStringList &names);
    // A map file could not be read onto the mesh; the note over it says which and why.
    void mapFailed(const QString &note);
    // The settings of the map chosen, for the panel's controls.
    void mapSettingsShown(float threshold, int clusterSize, bool clusterFilter, int signSelection);
    // Touch on a touch screen: the lists around should take a touch-sized font.
    void touchFontSizeRequested(float points);

public slots:
    void newMeshItemForInspection(int sel_item, QString filename);
    void releaseItem() override;
    // A map file chosen in the maps panel.
    void clickedMap(const QString &fileName);
    // Map row of the file's rowCount maps chosen in the maps panel.
    void clickedSubMap(int row, int rowCount);
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
    enum Upload { NothingToUpload, UploadColours, UploadAll };

    void resetAnimations();
    void startFlick(MeshCamera::Flick flick);
    void setupProjection();
    void setLights(int mode);
    void renderMeshes();
    void prepareArrays(SurfaceMesh *mesh);
    void uploadArrays();
    void drawArrays();
    void freeBuffers();
    void fail(const QString &fileName, const QString &reason);
    // The one map shown, whose settings the panel's controls change.
    SurfaceMap *shownMap() const;
    void overlay();

    DocSRFInterface *meshes;
    MeshCamera cam;
    MeshLights lights;
    MeshArrays arrays;
    // Polygon mode and shading carry over from frame to frame.
    MeshRenderMode renderState;
    const SurfaceMesh *arraysMesh = nullptr;
    int arraysRenderMode = 0;
    Upload pendingUpload = NothingToUpload;
    unsigned buffers[4] = {}; // positions, normals, colours, indices
    // A mesh that failed to load leaves none shown, not the last one read.
    bool meshShown = false;
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
