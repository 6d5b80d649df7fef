#ifndef COVERFLOWBROWSER_H
#define COVERFLOWBROWSER_H

#include <QHash>
#include <QImage>
#include <QOpenGLWidget>
#include <QStringList>
#include <QVector>

class CortivexViewer;

// The strip of file covers above the inspection views.
class CoverFlowBrowser : public QOpenGLWidget
{
    Q_OBJECT

public:
    explicit CoverFlowBrowser(CortivexViewer *mainWindow);

    int getSelectedImageIndex() const { return selectedIndex; }
    QSize sizeHint() const override { return QSize(700, 350); }
    // Public so that the main window can hand on the step keys of its lists.
    void keyPressEvent(QKeyEvent *event) override;

    QList<QImage> coverImages;
    QStringList coverFileNames;
    QVector<int> thumbnailLoaded;
    QVector<int> imageWidths;
    QVector<int> imageHeights;
    QVector<unsigned char> imageOrientations;

    int selectedIndex = -1;
    bool drawCoverFrames = true;
    bool showInstruction = true;
    int inputKind = 0;
    int multiTouchActive = 0;

signals:
    void currentItemChanged(int, QString, int, int, int);
    void currentCXItemChanged(int, QString);
    void currentRawMRIItemChanged(int, QString);
    void imageForInspectionChanged(int, QString);
    void CXFileForInspectionChanged(int, QString);
    void rawMRIFileForInspectionChanged(int, QString);

public slots:
    void clearCoverStore();
    bool addEmptyCover(QString fileName);
    void hideInstruction();
    void setCurrentCoverIndex(int index);
    void emitCurrentItemChanged();
    void emitCurrentItemChangedForInspection();

protected:
    void paintGL() override;

private:
    CortivexViewer *mainWindow;
};

#endif
