#include "CoverFiles.h"

#include "CoverStore.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A thumbnail's PNG stream takes a few hundred kilobytes at most.
constexpr qint64 largestStream = 16 * 1024 * 1024;

qint64 modifiedNs(const struct stat &info)
{
    return qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
}

// Exactly length bytes at offset, or an empty array.
QByteArray readAt(int fd, qint64 offset, qint64 length)
{
    if (fd < 0 || offset < 0 || length <= 0 || length > largestStream)
        return QByteArray();
    QByteArray bytes(length, Qt::Uninitialized);
    qint64 done = 0;
    while (done < length) {
        const ssize_t got = ::pread(fd, bytes.data() + done, size_t(length - done), offset + done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return QByteArray();
        done += got;
    }
    return isWholeThumbnailStream(bytes) ? bytes : QByteArray();
}

QByteArray encodedPath(const QString &folder, const QString &name)
{
    return QFile::encodeName(QDir(folder).filePath(name));
}

} // namespace

bool isWholeThumbnailStream(const QByteArray &png)
{
    return CoverStore::hasThumbnailHeader(png) && png.size() >= 8 + 25 + 12 &&
           png.sliced(png.size() - 12, 8) == QByteArray("\0\0\0\0IEND", 8);
}

StoredCovers::~StoredCovers()
{
    close();
}

bool StoredCovers::open(const QString &name, int descriptor)
{
    close();
    fd = descriptor < 0 ? -1 : ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
    struct stat info;
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close();
        return false;
    }
    fileName = name;
    device = info.st_dev;
    inode = info.st_ino;
    size = info.st_size;
    modifiedNs = ::modifiedNs(info);
    return true;
}

void StoredCovers::close()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

bool StoredCovers::isUnchanged()
{
    struct stat info;
    if (fd < 0)
        return false;
    if (::stat(QFile::encodeName(fileName).constData(), &info) != 0 || info.st_dev != device ||
        info.st_ino != inode || info.st_size != size || ::modifiedNs(info) != modifiedNs) {
        close();
        return false;
    }
    return true;
}

QByteArray StoredCovers::read(qint64 offset, qint64 length)
{
    if (!isUnchanged() || offset + length > size)
        return QByteArray();
    return readAt(fd, offset, length);
}

CoverSpool::~CoverSpool()
{
    remove();
}

void CoverSpool::setFolder(const QString &newFolder)
{
    remove();
    folder = newFolder;
}

bool CoverSpool::isSpoolName(const QString &fileName)
{
    static const QRegularExpression rule(R"(^thumbnails-[0-9]+(-[0-9]+)?\.spool\z)");
    return rule.match(fileName).hasMatch();
}

// The lock is what tells a live spool from one left behind: the system lets go
// of it when the viewer ends, however it ends.
bool CoverSpool::create()
{
    if (folder.isEmpty())
        return false;
    const QString stem = QString("thumbnails-%1").arg(::getpid());
    for (int counter = 1; counter < 100; ++counter) {
        const QString candidate =
            counter == 1 ? stem + ".spool" : QString("%1-%2.spool").arg(stem).arg(counter);
        const QByteArray path = encodedPath(folder, candidate);
        const int file =
            ::open(path.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (file < 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        // A viewer starting just then may have taken the file for one left behind.
        struct stat opened, named;
        if (::flock(file, LOCK_EX | LOCK_NB) != 0 || ::fstat(file, &opened) != 0 ||
            ::lstat(path.constData(), &named) != 0 || opened.st_ino != named.st_ino ||
            opened.st_dev != named.st_dev) {
            ::close(file);
            continue;
        }
        fd = file;
        name = candidate;
        end = 0;
        return true;
    }
    return false;
}

qint64 CoverSpool::append(const QByteArray &png)
{
    if (failed || png.isEmpty() || (fd < 0 && !create())) {
        failed = true;
        return -1;
    }
    const qint64 offset = end;
    qint64 done = 0;
    while (done < png.size()) {
        const ssize_t wrote =
            ::pwrite(fd, png.constData() + done, size_t(png.size() - done), offset + done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0) {
            // What was written of the stream is of no use; the space is given back.
            [[maybe_unused]] const int kept = ::ftruncate(fd, offset);
            failed = true;
            return -1;
        }
        done += wrote;
    }
    end += png.size();
    return offset;
}

QByteArray CoverSpool::read(qint64 offset, qint64 length) const
{
    return offset + length <= end ? readAt(fd, offset, length) : QByteArray();
}

void CoverSpool::remove()
{
    if (fd >= 0) {
        // Only while the name still leads to the spool.
        const QByteArray path = encodedPath(folder, name);
        struct stat opened, named;
        if (::fstat(fd, &opened) == 0 && ::lstat(path.constData(), &named) == 0 &&
            opened.st_ino == named.st_ino && opened.st_dev == named.st_dev)
            ::unlink(path.constData());
        ::close(fd);
    }
    fd = -1;
    name.clear();
    end = 0;
    failed = false;
}

void CoverSpool::removeLeftBehind(const QString &folder)
{
    if (folder.isEmpty())
        return;
    const QStringList names =
        QDir(folder).entryList({"thumbnails-*.spool"}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &candidate : names) {
        if (!isSpoolName(candidate))
            continue;
        const QByteArray path = encodedPath(folder, candidate);
        struct stat named, opened;
        if (::lstat(path.constData(), &named) != 0 || !S_ISREG(named.st_mode))
            continue;
        const int file = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (file < 0)
            continue;
        if (::fstat(file, &opened) == 0 && S_ISREG(opened.st_mode) &&
            opened.st_ino == named.st_ino && opened.st_dev == named.st_dev &&
            ::flock(file, LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.constData());
        ::close(file);
    }
}
