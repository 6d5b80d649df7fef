#ifndef MESHOGLVIEWER_H
#define MESHOGLVIEWER_H

#include "InspectionView.h"

class DocSRFInterface;
class QListWidgetItem;

class MeshOGLViewer : public InspectionView
{
    Q_OBJECT

public:
    explicit MeshOGLViewer(DocSRFInterface *meshes, QWidget *parent = nullptr);

signals:
    // A mesh was loaded into the core; its maps may be listed.
    void meshLoaded();
    // Touch on a touch screen: the lists around should take a touch-sized font.
    void touchFontSizeRequested(float points);

public slots:
    void newMeshItemForInspection(int sel_item, QString filename);
    void clickedMap(QListWidgetItem *item);
    void clickedSubMap(QListWidgetItem *item);

public slots:
    void resetView() override {}

protected:
    QString instructionText(int inputKind) const override;
    void pinchTriggered(QPinchGesture *) override {}
    void panTriggered(QPanGesture *) override {}
    void swipeTriggered(QSwipeGesture *) override {}
    void paintGL() override;

private:
    DocSRFInterface *meshes;
};

#endif
