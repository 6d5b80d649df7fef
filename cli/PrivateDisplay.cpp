#include "PrivateDisplay.h"

#include <QByteArray>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// How long Xvfb may take to accept connections.
const int startTimeoutMs = 15000;

} // namespace

PrivateDisplay::~PrivateDisplay()
{
    stop();
}

bool PrivateDisplay::ensure(const QSize &screen)
{
    if (!qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return true;
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        failure = "no display, and no pipe to start Xvfb with";
        return false;
    }
    const QByteArray fd = QByteArray::number(pipeEnds[1]);
    const QByteArray geometry = QByteArray::number(qMax(screen.width(), 1280)) + 'x' +
                                QByteArray::number(qMax(screen.height(), 1024)) + "x24";
    server = fork();
    if (server == 0) {
        // The server goes with the process, however it ends.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        fcntl(pipeEnds[1], F_SETFD, 0);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.constData(), "-screen", "0", geometry.constData(),
               "-nolisten", "tcp", static_cast<char *>(nullptr));
        _exit(127);
    }
    close(pipeEnds[1]);
    // Xvfb writes its display number and a line feed once it accepts connections.
    QByteArray number;
    pollfd ready{pipeEnds[0], POLLIN, 0};
    while (server > 0 && !number.endsWith('\n')) {
        const int polled = poll(&ready, 1, startTimeoutMs);
        if (polled < 0 && errno == EINTR)
            continue;
        char c;
        if (polled <= 0 || read(pipeEnds[0], &c, 1) != 1)
            break;
        number += c;
    }
    close(pipeEnds[0]);
    number = number.trimmed();
    if (server < 0 || number.isEmpty()) {
        stop();
        failure = "no display, and Xvfb could not be started";
        return false;
    }
    qputenv("DISPLAY", ":" + number);
    return true;
}

void PrivateDisplay::stop()
{
    if (server <= 0)
        return;
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    server = -1;
}
