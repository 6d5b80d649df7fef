#include "CoverFlowBrowser.h"

#include "CortivexViewer.h"

#include <QPainter>

CoverFlowBrowser::CoverFlowBrowser(CortivexViewer *mainWindow)
    : QOpenGLWidget(mainWindow), mainWindow(mainWindow)
{
    setMinimumHeight(50);
    setFocusPolicy(Qt::StrongFocus);
}

void CoverFlowBrowser::clearCoverStore()
{
    coverImages.clear();
    coverFileNames.clear();
    thumbnailLoaded.clear();
    imageWidths.clear();
    imageHeights.clear();
    imageOrientations.clear();
    selectedIndex = -1;
}

bool CoverFlowBrowser::addEmptyCover(QString fileName)
{
    coverImages.append(QImage());
    coverFileNames.append(fileName);
    thumbnailLoaded.append(0);
    if (mainWindow->showBitmaps) {
        imageWidths.append(-1);
        imageHeights.append(-1);
        imageOrientations.append(0);
    }
    return true;
}

void CoverFlowBrowser::hideInstruction()
{
    showInstruction = false;
    repaint();
}

void CoverFlowBrowser::setCurrentCoverIndex(int index)
{
    if (index == selectedIndex || index < 0 || index >= coverImages.size())
        return;
    selectedIndex = index;
    emitCurrentItemChanged();
}

void CoverFlowBrowser::emitCurrentItemChanged()
{
    if (selectedIndex < 0 || selectedIndex >= coverFileNames.size())
        return;
    const QString name = coverFileNames[selectedIndex];
    if (mainWindow->showBitmaps)
        emit currentItemChanged(selectedIndex, name, imageWidths.value(selectedIndex, -1),
                                imageHeights.value(selectedIndex, -1),
                                imageOrientations.value(selectedIndex, 0));
    if (mainWindow->showCXFiles)
        emit currentCXItemChanged(selectedIndex, name);
    if (mainWindow->showRawMRIData)
        emit currentRawMRIItemChanged(selectedIndex, name);
}

void CoverFlowBrowser::emitCurrentItemChangedForInspection()
{
    if (selectedIndex < 0 || selectedIndex >= coverFileNames.size())
        return;
    const QString name = coverFileNames[selectedIndex];
    if (mainWindow->showBitmaps)
        emit imageForInspectionChanged(selectedIndex, name);
    if (mainWindow->showCXFiles)
        emit CXFileForInspectionChanged(selectedIndex, name);
    if (mainWindow->showRawMRIData)
        emit rawMRIFileForInspectionChanged(selectedIndex, name);
}

void CoverFlowBrowser::paintGL()
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
}

void CoverFlowBrowser::keyPressEvent(QKeyEvent *event)
{
    QOpenGLWidget::keyPressEvent(event);
}
