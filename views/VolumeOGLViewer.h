#ifndef VOLUMEOGLVIEWER_H
#define VOLUMEOGLVIEWER_H

#include "PlaneView.h"

class DocVMRInterface;
class QListWidgetItem;

class VolumeOGLViewer : public PlaneView
{
    Q_OBJECT

public:
    explicit VolumeOGLViewer(DocVMRInterface *volumes, QWidget *parent = nullptr);

signals:
    // A volume was loaded into the core; its maps may be listed.
    void volumeLoaded();
    void crossMoved();

public slots:
    void newVolumeItemForInspection(int sel_item, QString filename);
    void clickedMap(QListWidgetItem *item);
    void clickedSubMap(QListWidgetItem *item);

protected:
    QString instructionText(int inputKind) const override;

private:
    DocVMRInterface *volumes;
};

#endif
