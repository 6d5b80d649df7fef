#include "LocalFiles.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemReason(int error)
{
    const QString reason = QString::fromLocal8Bit(strerror(error));
    return reason.left(1).toLower() + reason.mid(1);
}

void tell(QString *why, const QString &reason)
{
    if (why)
        *why = reason;
}

} // namespace

int LocalFiles::openRegular(const QString &fileName, QString *why)
{
    const QByteArray name = QFile::encodeName(fileName);
    struct stat info;
    if (name.isEmpty() || ::stat(name.constData(), &info) != 0) {
        const int error = name.isEmpty() ? ENOENT : errno;
        tell(why, error == ENOENT || error == ENOTDIR ? "no such file" : systemReason(error));
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        tell(why, "not a regular file");
        return -1;
    }
    // Without waiting, should a FIFO have taken the file's place since.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        tell(why, errno == ENOENT ? "no such file" : systemReason(errno));
        return -1;
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        tell(why, "not a regular file");
        return -1;
    }
    // Reads of a regular file never wait; whoever reads need not see the flag.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool LocalFiles::openRegular(QFile &file, const QString &fileName, QIODevice::OpenMode mode,
                             QString *why)
{
    const int fd = openRegular(fileName, why);
    if (fd < 0)
        return false;
    if (!file.open(fd, mode | QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        tell(why, file.errorString().left(1).toLower() + file.errorString().mid(1));
        return false;
    }
    return true;
}

QString LocalFiles::openFailure(const QString &fileName)
{
    QString why;
    const int fd = openRegular(fileName, &why);
    if (fd >= 0)
        ::close(fd);
    return why;
}

bool LocalFiles::isRegular(const QString &fileName)
{
    struct stat info;
    const QByteArray name = QFile::encodeName(fileName);
    return !name.isEmpty() && ::stat(name.constData(), &info) == 0 && S_ISREG(info.st_mode);
}

bool LocalFiles::sameFile(const QString &a, const QString &b)
{
    const QByteArray first = QFile::encodeName(a), second = QFile::encodeName(b);
    struct stat one, other;
    if (first.isEmpty() || second.isEmpty() || ::stat(first.constData(), &one) != 0 ||
        ::stat(second.constData(), &other) != 0)
        return false;
    if (one.st_dev == other.st_dev && one.st_ino == other.st_ino)
        return true;
    char oneResolved[PATH_MAX], otherResolved[PATH_MAX];
    return ::realpath(first.constData(), oneResolved) &&
           ::realpath(second.constData(), otherResolved) && strcmp(oneResolved, otherResolved) == 0;
}

QString LocalFiles::printable(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '\n')
            shown += QLatin1String("\\n");
        else if (u == '\t')
            shown += QLatin1String("\\t");
        else if (u == '\r')
            shown += QLatin1String("\\r");
        else if (u < 0x20 || (u >= 0x7f && u < 0xa0))
            shown += QString("\\x%1").arg(uint(u), 2, 16, QLatin1Char('0'));
        // Line and paragraph separators, and the marks, embeddings, overrides
        // and isolates that reorder what follows them.
        else if (u == 0x2028 || u == 0x2029 || u == 0x200e || u == 0x200f || u == 0x061c ||
                 (u >= 0x202a && u <= 0x202e) || (u >= 0x2066 && u <= 0x2069))
            shown += QString("\\u%1").arg(uint(u), 4, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

QString LocalFiles::displayName(const QString &path)
{
    return printable(path.mid(path.lastIndexOf('/') + 1));
}

bool LocalFiles::isDecodable(const QByteArray &name)
{
    return QFile::encodeName(QFile::decodeName(name)) == name;
}

QString LocalFiles::decodedName(const QByteArray &name)
{
    if (isDecodable(name))
        return QFile::decodeName(name);
    // The longest piece from here that decodes and encodes back to itself is
    // one character; a byte that starts none is escaped.
    QString decoded;
    qsizetype i = 0;
    while (i < name.size()) {
        qsizetype length = 0;
        for (qsizetype n = qMin<qsizetype>(4, name.size() - i); n >= 1 && !length; --n)
            if (isDecodable(name.mid(i, n)))
                length = n;
        if (length) {
            decoded += QFile::decodeName(name.mid(i, length));
            i += length;
        } else {
            decoded += QString("\\x%1").arg(quint8(name[i]), 2, 16, QLatin1Char('0'));
            ++i;
        }
    }
    return decoded;
}
