#ifndef INSPECTIONVIEW_H
#define INSPECTIONVIEW_H

#include <QOpenGLWidget>

// The base of the four inspection views below the cover strip. A view knows
// nothing of the window around it: what it needs of the strip or the panels it
// asks for with these signals, which the main window connects.
class InspectionView : public QOpenGLWidget
{
    Q_OBJECT

public:
    explicit InspectionView(QWidget *parent = nullptr);

signals:
    // What the view shows, offered as the thumbnail of the cover at index;
    // forced when the user asked for it.
    void thumbnailOffered(int index, const QImage &image, bool forced);
    // A step key (Right, Page Down, +, Left, Page Up, -) meant for the strip.
    void coverFlowKeyPressed(int key);
    // A horizontal swipe meant for the strip.
    void coverFlowSwiped(bool forward);
    // Sent with every touch event: the kind of device touched.
    void inputKindChanged(int kind);

protected:
    void paintGL() override;
};

#endif
