#include "VolumeOGLViewer.h"

VolumeOGLViewer::VolumeOGLViewer(DocVMRInterface *volumes, QWidget *parent)
    : InspectionView(parent), volumes(volumes)
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
