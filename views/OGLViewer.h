#ifndef OGLVIEWER_H
#define OGLVIEWER_H

#include "QtPieMenu.h"

#include <QImage>
#include <QOpenGLWidget>
#include <QPointer>

class QGestureEvent;
class QPanGesture;
class QPinchGesture;
class QSwipeGesture;

// The base of the four inspection views below the cover strip: touch input and
// the gesture gate, the view modes, the instruction overlay and the touch pie
// menu. A view knows nothing of the window around it: what it needs of the
// strip or the panels it asks for with the signals below, which the main window
// connects.
class OGLViewer : public QOpenGLWidget
{
    Q_OBJECT

public:
    // viewMode: 0 zoom only, 1 zoom and pan, 2 zoom and rotate.
    explicit OGLViewer(int viewMode, QWidget *parent = nullptr);
    ~OGLViewer() override;

    QSize minimumSizeHint() const override { return QSize(100, 100); }

    // 0 mouse, 1 touch screen, 2 touch pad: the device last touched here.
    int inputKind() const { return kind; }
    // 1 while several fingers touch; gestures act only then.
    int multiTouchActive() const { return multiTouch; }
    int viewMode() const { return mode; }
    bool touchPieMenuEnabled() const { return pieMenuEnabled; }
    bool isInstructionShown() const { return showInstruction; }
    // A line over the cleared view saying which file could not be shown and
    // why; empty while the view shows its item.
    QString failureNote() const { return failure; }
    QImage instructionImage() const { return instructions; }
    QtPieMenu *touchPieMenu() const { return pieMenu; }

    // The keys that step the cover strip: Right, Page Down, +, Left, Page Up, -.
    static bool isStepKey(int key);
    // Whether OpenGL is drawn by the processor (Mesa's llvmpipe and the like),
    // where multisampling costs as much again per frame.
    static bool isSoftwareRendered();

    // Lets go of what the view shows, texture and document, and shows nothing.
    virtual void clear() = 0;
    // Shows nothing but a line saying which file of the cover at index could
    // not be shown, and why.
    virtual void showFailure(int index, const QString &fileName, const QString &reason);
    // A line over what the view shows, saying what of it cannot be shown (a
    // map, and why); an empty one takes it away.
    void showNote(const QString &note) { setFailureNote(note); }

    // Shows the instructions for ten seconds.
    void reShowInstructions();
    void formatInstructions(int width, int height);

signals:
    // What the view shows, offered as the thumbnail of the cover at index;
    // forced when the user asked for it.
    void thumbnailOffered(int index, const QImage &image, bool forced);
    // A step key (Right, Page Down, +, Left, Page Up, -) meant for the strip.
    void coverFlowKeyPressed(int key);
    // A horizontal swipe meant for the strip: to the next cover when forward.
    void coverFlowSwiped(bool forward);
    // Sent with every touch event: the kind of device touched.
    void inputKindChanged(int kind);

public slots:
    void hideInstruction();
    void setZoomOnlyMode() { mode = 0; }
    void setZoomPanMode() { mode = 1; }
    void setZoomRotateMode() { mode = 2; }
    virtual void resetView() = 0;
    void deleteTouchPieMenu();

protected:
    // The instructions for an input kind, lines separated by line feeds.
    virtual QString instructionText(int inputKind) const = 0;
    // Top-left corner of the overlay; centred in the view unless overridden.
    virtual QPoint instructionPosition() const;
    // Called for gestures only while several fingers touch.
    virtual void pinchTriggered(QPinchGesture *pinch) = 0;
    virtual void panTriggered(QPanGesture *pan) = 0;
    virtual void swipeTriggered(QSwipeGesture *swipe) = 0;

    bool event(QEvent *event) override;
    void drawInstructions(QPainter &painter);
    void setFailureNote(const QString &note);
    // Shows or hides the instructions without the ten-second timer.
    void setInstructionShown(bool shown);
    // Draws the failure note, if any, across the middle of the view.
    void drawFailureNote(QPainter &painter);
    // Opens the pie menu at a screen position, making a new one when the last
    // was used up.
    void popUpTouchPieMenu(const QPoint &globalPos);
    void toggleTouchPieMenu() { pieMenuEnabled = !pieMenuEnabled; }
    // A step key or horizontal swipe goes to the strip; the overlay goes away.
    void stepCoverFlow(int key);
    void swipeCoverFlow(bool forward);

private:
    void createTouchPieMenu();
    bool gestureEvent(QGestureEvent *event);

    int kind = 0;
    int multiTouch = 0;
    int mode;
    bool pieMenuEnabled = false;
    bool showInstruction = false;
    QImage instructions;
    QString failure;
    QPointer<QtPieMenu> pieMenu;
};

#endif
