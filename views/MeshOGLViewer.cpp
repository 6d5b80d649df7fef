#include "MeshOGLViewer.h"

MeshOGLViewer::MeshOGLViewer(DocSRFInterface *meshes, QWidget *parent)
    : InspectionView(parent), meshes(meshes)
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
