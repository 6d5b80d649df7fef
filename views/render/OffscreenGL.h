#ifndef OFFSCREENGL_H
#define OFFSCREENGL_H

#include <QImage>
#include <QSize>
#include <QString>

#include <memory>

// An OpenGL compatibility context that needs no display, no X server and no
// window: Mesa's surfaceless EGL platform, made current on the thread that
// constructs this, drawing into a framebuffer object of the given size (RGBA,
// 8 bits a channel, 24-bit depth). Qt knows nothing of the context
// (QOpenGLContext::currentContext() stays null). Use it on that thread only,
// with no other context made current in between; the destructor releases
// everything and makes current again whatever EGL context was current before.
// It fails on a thread where a GLX context is current (a QOpenGLWidget's under
// X: call its doneCurrent() first), as one thread holds one API's context.
class OffscreenGL
{
public:
    explicit OffscreenGL(QSize size);
    ~OffscreenGL();
    OffscreenGL(const OffscreenGL &) = delete;
    OffscreenGL &operator=(const OffscreenGL &) = delete;

    // False, with failure() saying why, when there is no such context or
    // framebuffer; then nothing is current and grab() gives a null image.
    bool isValid() const { return state != nullptr; }
    QString failure() const { return reason; }
    QSize size() const { return pixels; }

    // The framebuffer's pixels, top row first, in the format and with the
    // values QOpenGLWidget::grabFramebuffer() gives for the same picture.
    QImage grab() const;

private:
    struct State;

    QSize pixels;
    QString reason;
    std::unique_ptr<State> state;
};

#endif
