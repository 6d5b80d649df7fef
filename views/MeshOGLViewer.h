#ifndef MESHOGLVIEWER_H
#define MESHOGLVIEWER_H

#include <QOpenGLWidget>

class CortivexViewer;
class CoverFlowBrowser;
class QListWidgetItem;

class MeshOGLViewer : public QOpenGLWidget
{
    Q_OBJECT

public:
    MeshOGLViewer(CortivexViewer *mainWindow, CoverFlowBrowser *coverFlowBrowser);

public slots:
    void newMeshItemForInspection(int sel_item, QString filename);
    void clickedMap(QListWidgetItem *item);
    void clickedSubMap(QListWidgetItem *item);

protected:
    void paintGL() override;

private:
    CortivexViewer *mainWindow;
    CoverFlowBrowser *coverFlowBrowser;
};

#endif
