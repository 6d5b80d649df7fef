#include "VolumeOGLViewer.h"

VolumeOGLViewer::VolumeOGLViewer(DocVMRInterface *volumes, QWidget *parent)
    : PlaneView(0, parent), volumes(volumes)
{
}

void VolumeOGLViewer::newVolumeItemForInspection(int sel_item, QString filename)
{
    Q_UNUSED(sel_item);
    Q_UNUSED(filename);
}

void VolumeOGLViewer::clickedMap(QListWidgetItem *item)
{
    Q_UNUSED(item);
}

void VolumeOGLViewer::clickedSubMap(QListWidgetItem *item)
{
    Q_UNUSED(item);
}

QString VolumeOGLViewer::instructionText(int inputKind) const
{
    if (inputKind == 1)
        return "Touch and move one finger to move red cross in sub-views or to move whole image\n"
               "Touch the \"Red Cross\" or \"Translate\" icon\" to switch panning mode\n"
               "Use two-finger pinch gesture to zoom in and out\n"
               "Touch and hold for a couple of seconds to get the context menu";
    if (inputKind == 2)
        return "Use two-finger pan gesture to move red cross in sub-views or to move whole image\n"
               "Use three-finger swipe down gesture to switch panning mode\n"
               "Use two-finger pinch gesture to zoom in and out\n"
               "Perform \"secondary click\" (e.g. two-finger click) to get context menu";
    return "Click and drag with the left mouse button to move red cross in sub-views\n"
           "Drag with right mouse button (or Shift left mouse button) to translate whole image\n"
           "Use both buttons, wheel or Shift-Ctrl left mouse button to zoom\n"
           "Double-click to zoom in selected region or to reset view";
}
