#ifndef IMAGEOGLVIEWER_H
#define IMAGEOGLVIEWER_H

#include "InspectionView.h"

class ImageOGLViewer : public InspectionView
{
    Q_OBJECT

public:
    explicit ImageOGLViewer(QWidget *parent = nullptr);

signals:
    // The size and EXIF orientation of the image loaded for the cover at index.
    void imageMeasured(int index, int width, int height, int orientation);

public slots:
    void newImageForInspection(int sel_item, QString filename);
};

#endif
