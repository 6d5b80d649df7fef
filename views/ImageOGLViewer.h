#ifndef IMAGEOGLVIEWER_H
#define IMAGEOGLVIEWER_H

#include <QOpenGLWidget>

class CortivexViewer;
class CoverFlowBrowser;
class QListWidgetItem;

class ImageOGLViewer : public QOpenGLWidget
{
    Q_OBJECT

public:
    ImageOGLViewer(CortivexViewer *mainWindow, CoverFlowBrowser *coverFlowBrowser);

public slots:
    void newImageForInspection(int sel_item, QString filename);

protected:
    void paintGL() override;

private:
    CortivexViewer *mainWindow;
    CoverFlowBrowser *coverFlowBrowser;
};

#endif
