#ifndef VOLUMEOGLVIEWER_H
#define VOLUMEOGLVIEWER_H

#include <QOpenGLWidget>

class CortivexViewer;
class CoverFlowBrowser;
class QListWidgetItem;

class VolumeOGLViewer : public QOpenGLWidget
{
    Q_OBJECT

public:
    VolumeOGLViewer(CortivexViewer *mainWindow, CoverFlowBrowser *coverFlowBrowser);

public slots:
    void newVolumeItemForInspection(int sel_item, QString filename);
    void clickedMap(QListWidgetItem *item);
    void clickedSubMap(QListWidgetItem *item);

protected:
    void paintGL() override;

private:
    CortivexViewer *mainWindow;
    CoverFlowBrowser *coverFlowBrowser;
};

#endif
