#include "OGLViewer.h"

#include "LocalFiles.h"
#include "InstructionBand.h"
#include "QtPieMenu.h"
#include "TouchInput.h"

#include <QGestureEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPainter>
#include <QTimer>
#include <QTouchEvent>

OGLViewer::OGLViewer(int viewMode, QWidget *parent) : QOpenGLWidget(parent), mode(viewMode)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_AcceptTouchEvents);
    grabGesture(Qt::PanGesture);
    grabGesture(Qt::PinchGesture);
    grabGesture(Qt::SwipeGesture);
    createTouchPieMenu();
}

OGLViewer::~OGLViewer() = default;

void OGLViewer::createTouchPieMenu()
{
    pieMenu = new QtPieMenu("Root menu", this, "Root menu", 15, 90);
    pieMenu->insertItem("Zoom-Rot Mode", this, SLOT(setZoomRotateMode()));
    pieMenu->insertItem("Reset View", this, SLOT(resetView()));
    pieMenu->insertItem("Zoom-Pan Mode", this, SLOT(setZoomPanMode()));
    pieMenu->insertItem("Zoom Mode", this, SLOT(setZoomOnlyMode()));
    connect(pieMenu, &QtPieMenu::aboutToHide, this, &OGLViewer::deleteTouchPieMenu);
}

void OGLViewer::deleteTouchPieMenu()
{
    // Deleted once its signals are over; the next right press builds a new one.
    if (pieMenu)
        pieMenu->deleteLater();
}

void OGLViewer::popUpTouchPieMenu(const QPoint &globalPos)
{
    if (!pieMenu)
        createTouchPieMenu();
    pieMenu->popup(globalPos);
}

void OGLViewer::hideInstruction()
{
    showInstruction = false;
    update();
}

void OGLViewer::reShowInstructions()
{
    showInstruction = true;
    QTimer::singleShot(10000, this, &OGLViewer::hideInstruction);
    update();
}

void OGLViewer::formatInstructions(int width, int height)
{
    instructions = renderInstructionBand(instructionText(kind), font(), width, height);
}

QPoint OGLViewer::instructionPosition() const
{
    return QPoint((width() - instructions.width()) / 2, (height() - instructions.height()) / 2);
}

void OGLViewer::drawInstructions(QPainter &painter)
{
    if (showInstruction)
        painter.drawImage(instructionPosition(), instructions);
}

void OGLViewer::setInstructionShown(bool shown)
{
    showInstruction = shown;
    update();
}

void OGLViewer::showFailure(int, const QString &fileName, const QString &reason)
{
    clear();
    setFailureNote(LocalFiles::displayName(fileName) + ": " + LocalFiles::printable(reason));
}

void OGLViewer::setFailureNote(const QString &note)
{
    failure = note;
    update();
}

void OGLViewer::drawFailureNote(QPainter &painter)
{
    if (failure.isEmpty())
        return;
    const QImage band = renderInstructionBand(failure, font(), width(), height());
    painter.drawImage(0, (height() - band.height()) / 2, band);
}

bool OGLViewer::isStepKey(int key)
{
    return key == Qt::Key_Right || key == Qt::Key_PageDown || key == Qt::Key_Plus ||
           key == Qt::Key_Left || key == Qt::Key_PageUp || key == Qt::Key_Minus;
}

bool OGLViewer::isSoftwareRendered()
{
    static const bool software = [] {
        QOffscreenSurface surface;
        surface.create();
        QOpenGLContext context;
        if (!context.create() || !context.makeCurrent(&surface))
            return true;
        const QByteArray renderer =
            reinterpret_cast<const char *>(context.functions()->glGetString(GL_RENDERER));
        context.doneCurrent();
        return renderer.contains("llvmpipe") || renderer.contains("softpipe") ||
               renderer.contains("Software");
    }();
    return software;
}

void OGLViewer::stepCoverFlow(int key)
{
    hideInstruction();
    emit coverFlowKeyPressed(key);
}

void OGLViewer::swipeCoverFlow(bool forward)
{
    hideInstruction();
    emit coverFlowSwiped(forward);
}

bool OGLViewer::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd: {
        const auto &touch = *static_cast<QTouchEvent *>(event);
        const int touchKind = touchInputKind(touch);
        emit inputKindChanged(touchKind);
        if (touchKind != kind) {
            kind = touchKind;
            formatInstructions(width(), height());
            reShowInstructions();
        }
        multiTouch = multiTouchAfter(touch, multiTouch);
        pieMenuEnabled = true;
        break;
    }
    case QEvent::Gesture:
        return gestureEvent(static_cast<QGestureEvent *>(event));
    default:
        break;
    }
    return QOpenGLWidget::event(event);
}

bool OGLViewer::gestureEvent(QGestureEvent *event)
{
    if (multiTouch != 1)
        return true;
    if (auto *pinch = static_cast<QPinchGesture *>(event->gesture(Qt::PinchGesture)))
        pinchTriggered(pinch);
    else if (auto *swipe = static_cast<QSwipeGesture *>(event->gesture(Qt::SwipeGesture)))
        swipeTriggered(swipe);
    else if (auto *pan = static_cast<QPanGesture *>(event->gesture(Qt::PanGesture)))
        panTriggered(pan);
    return true;
}
