#include "ThumbnailFile.h"

#include "CoverStore.h"
#include "FileHelpers.h"

#include <QDataStream>
#include <QDateTime>
#include <QFileDevice>
#include <QRegularExpression>
#include <QtEndian>

#include <cerrno>
#include <unistd.h>

namespace {

const QByteArray pngSignature("\x89PNG\r\n\x1a\n", 8);
// A thumbnail's PNG stream takes a few hundred kilobytes at most; a longer one is damage.
constexpr qint64 largestPngStream = 16 * 1024 * 1024;

} // namespace

ThumbnailFileScanner::ThumbnailFileScanner(QIODevice &device) : device(device)
{
    if (auto *file = qobject_cast<QFileDevice *>(&device))
        descriptor = file->handle();
    size = device.size();
}

// Up to length bytes at position: fewer where the data end.
QByteArray ThumbnailFileScanner::readAt(qint64 at, qint64 length)
{
    length = qBound<qint64>(0, length, size - at);
    QByteArray bytes(length, Qt::Uninitialized);
    qint64 done = 0;
    if (descriptor < 0) {
        if (device.seek(at))
            done = qMax<qint64>(0, device.read(bytes.data(), length));
    } else {
        while (done < length) {
            const ssize_t got =
                ::pread(descriptor, bytes.data() + done, size_t(length - done), off_t(at + done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            done += got;
        }
    }
    bytes.truncate(done);
    return bytes;
}

bool ThumbnailFileScanner::next(ThumbnailPlace &entry)
{
    if (remaining < 0) {
        // Version (ignored) and count.
        const QByteArray head = readAt(0, 8);
        remaining = head.size() == 8 ? qFromLittleEndian<qint32>(head.constData() + 4) : -1;
        position = 8;
        if (remaining < 0) {
            damaged = true;
            remaining = 0;
        }
    }
    // The count never sizes anything: the walk ends with the data.
    if (remaining == 0)
        return false;
    entry = ThumbnailPlace();
    if (!nextEntry(entry)) {
        damaged = true;
        remaining = 0;
        return false;
    }
    --remaining;
    return true;
}

// A name as a data stream holds a string (its byte count, 0xFFFFFFFF for a null
// one, then UTF-16 little-endian), the marker, then the PNG stream.
bool ThumbnailFileScanner::nextEntry(ThumbnailPlace &entry)
{
    const QByteArray count = readAt(position, 4);
    if (count.size() != 4)
        return false;
    const quint32 nameBytes = qFromLittleEndian<quint32>(count.constData());
    const bool null = nameBytes == 0xFFFFFFFFu;
    const qint64 nameLength = null ? 0 : nameBytes;
    if (nameLength % 2 != 0 || nameLength > size - position - 8)
        return false;
    // The name, the marker and the start of the PNG stream in one read.
    const QByteArray bytes = readAt(position + 4, nameLength + 4 + 24);
    if (bytes.size() < nameLength + 4)
        return false;
    if (!null) {
        entry.fileName.resize(nameLength / 2);
        QChar *name = entry.fileName.data();
        for (qint64 i = 0; i < nameLength / 2; ++i)
            name[i] = QChar(qFromLittleEndian<quint16>(bytes.constData() + 2 * i));
    }
    const qint32 marker = qFromLittleEndian<qint32>(bytes.constData() + nameLength);
    position += 4 + nameLength + 4;
    return marker == 0 || findPngStream(entry, bytes.mid(nameLength + 4));
}

// The PNG stream at the position, up to the end of its IEND chunk; false when
// the data end first or are no PNG stream. head holds its first bytes.
bool ThumbnailFileScanner::findPngStream(ThumbnailPlace &entry, const QByteArray &head)
{
    const qint64 start = position;
    const qint64 available = size - start;
    if (!head.startsWith(pngSignature) || head.size() < 16)
        return false;
    entry.thumbnailHeader = CoverStore::hasThumbnailHeader(head);
    qint64 length = pngSignature.size();
    QByteArray header = head.mid(8, 8);
    for (;;) {
        if (header.size() != 8)
            return false;
        const quint32 dataLength = qFromBigEndian<quint32>(header.constData());
        if (dataLength > 0x7FFFFFFFu)
            return false;
        // Header, data and CRC.
        length += 8 + qint64(dataLength) + 4;
        if (length > available || length > largestPngStream)
            return false;
        if (header.mid(4) == "IEND")
            break;
        header = readAt(start + length, 8);
    }
    entry.offset = start;
    entry.length = length;
    position = start + length;
    return true;
}

ThumbnailFileWriter::ThumbnailFileWriter(QIODevice &device, int count)
    : device(device), out(&device), start(device.pos()), count(count)
{
    out.setByteOrder(QDataStream::LittleEndian);
    out << qint32(1) << qint32(count);
}

void ThumbnailFileWriter::add(const QString &fileName, const QByteArray &png)
{
    out << fileName << qint32(png.isEmpty() ? 0 : 1);
    out.writeRawData(png.constData(), int(png.size()));
    ++added;
}

bool ThumbnailFileWriter::finish()
{
    if (added == count)
        return true;
    const qint64 end = device.pos();
    if (!device.seek(start + 4))
        return false;
    out << added;
    return device.seek(end) && out.status() == QDataStream::Ok;
}

bool readThumbnailFile(QIODevice &device, QList<ThumbnailEntry> &entries)
{
    ThumbnailFileScanner scanner(device);
    ThumbnailPlace place;
    while (scanner.next(place)) {
        ThumbnailEntry entry{place.fileName, QByteArray()};
        if (place.length > 0) {
            if (!device.seek(place.offset))
                return false;
            entry.png = device.read(place.length);
            if (entry.png.size() != place.length)
                return false;
        }
        entries.append(entry);
    }
    return !scanner.isDamaged();
}

void writeThumbnailFile(QIODevice &device, const QList<ThumbnailEntry> &entries)
{
    ThumbnailFileWriter writer(device, int(entries.size()));
    for (const ThumbnailEntry &entry : entries)
        writer.add(entry.fileName, entry.png);
}

QString thumbnailFileName(const QString &folderPath, BrowsingMode mode, const QDateTime &when,
                          const std::function<bool(const QString &)> &taken)
{
    QString folder = getFileNameFromFullFileName(folderPath);
    if (folder.isEmpty())
        folder = folderPath;
    if (folder.endsWith('/')) {
        folder.chop(1);
        folder.remove(':');
    }
    // Only a path with a trailing '/' gets here with a '/' left ("/data/scans/"):
    // its last folder is the name, as without the '/'.
    if (folder.contains('/'))
        folder = getFileNameFromFullFileName(folder);
    // One arg() call for all parts: a '%' in a folder name must not take a later part.
    const QString stem = QString("%1_%2_%3")
                             .arg(folder, QString::number(browsingModeNumber(mode)),
                                  when.toString("yyyy-MM-dd'T'HH:mm:ss").replace(':', '-'));
    QString name = stem + ".cxi";
    for (int counter = 2; taken(name); ++counter)
        name = QString("%1_%2.cxi").arg(stem, QString::number(counter));
    return name;
}

bool isThumbnailFileName(const QString &name)
{
    // The folder's own name may hold anything but a separator; a NUL would end
    // the path early where it is handed to the system.
    static const QRegularExpression rule(
        R"(^[^/\\\x{0}]*_[1-3]_[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}-[0-9]{2}-[0-9]{2}(_[0-9]+)?\.cxi\z)");
    return rule.match(name).hasMatch();
}
