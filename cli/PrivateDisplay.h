#ifndef PRIVATEDISPLAY_H
#define PRIVATEDISPLAY_H

#include <QSize>
#include <QString>

#include <sys/types.h>

// An X server of the process's own (Xvfb) for drawing where there is no
// display: started only when neither DISPLAY nor WAYLAND_DISPLAY is set,
// ended with this object (or with the process, should it die first).
class PrivateDisplay
{
public:
    PrivateDisplay() = default;
    ~PrivateDisplay();
    PrivateDisplay(const PrivateDisplay &) = delete;
    PrivateDisplay &operator=(const PrivateDisplay &) = delete;

    // Makes sure there is a display with a screen of at least that size,
    // pointing DISPLAY at a private one if need be; false when none can be had.
    bool ensure(const QSize &screen);
    QString error() const { return failure; }

private:
    void stop();

    pid_t server = -1;
    QString failure;
};

#endif
