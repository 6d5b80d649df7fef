#include "MeshOGLViewer.h"

#include <QPainter>

MeshOGLViewer::MeshOGLViewer(DocSRFInterface *meshes, QWidget *parent)
    : InspectionView(0, parent), meshes(meshes)
{
}

void MeshOGLViewer::newMeshItemForInspection(int sel_item, QString filename)
{
    Q_UNUSED(sel_item);
    Q_UNUSED(filename);
}

void MeshOGLViewer::clickedMap(QListWidgetItem *item)
{
    Q_UNUSED(item);
}

void MeshOGLViewer::clickedSubMap(QListWidgetItem *item)
{
    Q_UNUSED(item);
}

QString MeshOGLViewer::instructionText(int inputKind) const
{
    if (inputKind == 1)
        return "Touch and move one finger to rotate or translate 3D model\n"
               "Touch the \"Rotate\" or \"Translate\" icon\" to switch between rotation and "
               "translation mode\n"
               "Use two-finger pinch gesture to zoom in and out\n"
               "Touch and hold for a couple of seconds to get the context menu";
    if (inputKind == 2)
        return "Use two-finger pan gesture to rotate or translate 3D model\n"
               "Use three-finger swipe down gesture to switch between rotation and translation "
               "mode\n"
               "Use two-finger pinch gesture to zoom in and out\n"
               "Perform \"secondary click\" (e.g. two-finger click) to get context menu";
    return "Click and drag with the left mouse button to rotate 3D model\n"
           "Click and drag with right mouse button to tranlate 3D model\n"
           "Use both buttons, double click or wheel to zoom image";
}

void MeshOGLViewer::paintGL()
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    drawInstructions(painter);
}
