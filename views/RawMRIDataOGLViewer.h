#ifndef RAWMRIDATAOGLVIEWER_H
#define RAWMRIDATAOGLVIEWER_H

#include <QOpenGLWidget>

class CortivexViewer;
class CoverFlowBrowser;
class QListWidgetItem;

class RawMRIDataOGLViewer : public QOpenGLWidget
{
    Q_OBJECT

public:
    RawMRIDataOGLViewer(CortivexViewer *mainWindow, CoverFlowBrowser *coverFlowBrowser);

public slots:
    void newRawMRIFileForInspection(int sel_item, QString filename);

protected:
    void paintGL() override;

private:
    CortivexViewer *mainWindow;
    CoverFlowBrowser *coverFlowBrowser;
};

#endif
