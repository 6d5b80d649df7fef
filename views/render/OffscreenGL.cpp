// Framebuffer objects are OpenGL 3.0; their entry points come with the
// prototypes, exported by the vendor-neutral library for any current context.
#define GL_GLEXT_PROTOTYPES
#include "OffscreenGL.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <mutex>

namespace {

// One surfaceless display serves every thread; it is initialised while any
// OffscreenGL holds it, so that ending one never pulls it from under another.
std::mutex displayMutex;
int displayUsers = 0;

QString eglError(const char *what)
{
    return QString("%1 (EGL error 0x%2)").arg(what).arg(eglGetError(), 0, 16);
}

bool hasExtension(const char *extensions, const QByteArray &name)
{
    return extensions && QByteArray(extensions).split(' ').contains(name);
}

// The surfaceless display, initialised, or EGL_NO_DISPLAY with the reason.
EGLDisplay acquireDisplay(QString *reason)
{
    const std::lock_guard<std::mutex> lock(displayMutex);
    if (!hasExtension(eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS),
                      "EGL_MESA_platform_surfaceless")) {
        *reason = "no surfaceless EGL platform (Mesa's EGL_MESA_platform_surfaceless)";
        return EGL_NO_DISPLAY;
    }
    const auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) {
        *reason = "no eglGetPlatformDisplayEXT";
        return EGL_NO_DISPLAY;
    }
    const EGLDisplay display =
        getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY) {
        *reason = eglError("no surfaceless EGL display");
        return EGL_NO_DISPLAY;
    }
    if (!eglInitialize(display, nullptr, nullptr)) {
        *reason = eglError("cannot initialise the surfaceless EGL display");
        return EGL_NO_DISPLAY;
    }
    ++displayUsers;
    return display;
}

void releaseDisplay(EGLDisplay display)
{
    const std::lock_guard<std::mutex> lock(displayMutex);
    if (--displayUsers == 0)
        eglTerminate(display);
}

} // namespace

// Whatever exists holds; the destructor undoes it in reverse.
struct OffscreenGL::State
{
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
    GLuint framebuffer = 0;
    GLuint renderbuffers[2] = {}; // colour, depth
    // What was current before, made current again at the end.
    EGLDisplay previousDisplay = EGL_NO_DISPLAY;
    EGLContext previousContext = EGL_NO_CONTEXT;
    EGLSurface previousDraw = EGL_NO_SURFACE;
    EGLSurface previousRead = EGL_NO_SURFACE;

    ~State()
    {
        if (display == EGL_NO_DISPLAY)
            return;
        if (context != EGL_NO_CONTEXT) {
            if (eglGetCurrentContext() == context ||
                eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
                glBindFramebuffer(GL_FRAMEBUFFER, 0);
                if (framebuffer)
                    glDeleteFramebuffers(1, &framebuffer);
                if (renderbuffers[0] || renderbuffers[1])
                    glDeleteRenderbuffers(2, renderbuffers);
            }
            if (previousContext != EGL_NO_CONTEXT)
                eglMakeCurrent(previousDisplay, previousDraw, previousRead, previousContext);
            else
                eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
            eglDestroyContext(display, context);
        }
        releaseDisplay(display);
    }
};

OffscreenGL::OffscreenGL(QSize size) : pixels(size)
{
    if (size.isEmpty()) {
        reason = QString("no framebuffer of %1 × %2 pixels").arg(size.width()).arg(size.height());
        return;
    }
    auto made = std::make_unique<State>();
    made->previousDisplay = eglGetCurrentDisplay();
    made->previousContext = eglGetCurrentContext();
    made->previousDraw = eglGetCurrentSurface(EGL_DRAW);
    made->previousRead = eglGetCurrentSurface(EGL_READ);

    made->display = acquireDisplay(&reason);
    if (made->display == EGL_NO_DISPLAY)
        return;
    const char *extensions = eglQueryString(made->display, EGL_EXTENSIONS);
    if (!hasExtension(extensions, "EGL_KHR_no_config_context") &&
        !hasExtension(extensions, "EGL_MESA_configless_context")) {
        reason = "EGL offers no context without a configuration";
        return;
    }
    if (!hasExtension(extensions, "EGL_KHR_surfaceless_context")) {
        reason = "EGL offers no context without a surface";
        return;
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        reason = eglError("EGL offers no desktop OpenGL");
        return;
    }
    const EGLint attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                 EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    made->context = eglCreateContext(made->display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
    if (made->context == EGL_NO_CONTEXT) {
        reason = eglError("cannot make an OpenGL compatibility context");
        return;
    }
    if (!eglMakeCurrent(made->display, EGL_NO_SURFACE, EGL_NO_SURFACE, made->context)) {
        reason = eglError("cannot make the OpenGL context current");
        return;
    }

    GLint largest = 0, viewport[2] = {};
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &largest);
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    largest = qMin(largest, qMin(viewport[0], viewport[1]));
    if (size.width() > largest || size.height() > largest) {
        reason = QString("no framebuffer of %1 × %2 pixels: at most %3 a side")
                     .arg(size.width())
                     .arg(size.height())
                     .arg(largest);
        return;
    }
    for (int i = 0; i < 8 && glGetError() != GL_NO_ERROR; ++i) {
    }
    glGenRenderbuffers(2, made->renderbuffers);
    glBindRenderbuffer(GL_RENDERBUFFER, made->renderbuffers[0]);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, size.width(), size.height());
    glBindRenderbuffer(GL_RENDERBUFFER, made->renderbuffers[1]);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, size.width(), size.height());
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glGenFramebuffers(1, &made->framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, made->framebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                              made->renderbuffers[0]);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                              made->renderbuffers[1]);
    const GLenum error = glGetError();
    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    if (error != GL_NO_ERROR || status != GL_FRAMEBUFFER_COMPLETE) {
        reason = QString("no framebuffer of %1 × %2 pixels (OpenGL error 0x%3, status 0x%4)")
                     .arg(size.width())
                     .arg(size.height())
                     .arg(error, 0, 16)
                     .arg(status, 0, 16);
        return;
    }
    glViewport(0, 0, size.width(), size.height());
    state = std::move(made);
}

OffscreenGL::~OffscreenGL() = default;

QImage OffscreenGL::grab() const
{
    if (!state)
        return QImage();
    QImage image(pixels, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, state->framebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    // Rows of 32-bit pixels need no padding, so the image's rows are OpenGL's.
    glReadPixels(0, 0, pixels.width(), pixels.height(), GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                 image.bits());
    image.mirror();
    // Opaque, as the format says.
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] |= 0xff000000u;
    }
    return image;
}
