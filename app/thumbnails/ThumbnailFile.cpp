#include "ThumbnailFile.h"

#include "FileHelpers.h"

#include <QDataStream>
#include <QDateTime>
#include <QIODevice>
#include <QRegularExpression>
#include <QtEndian>

namespace {

const QByteArray pngSignature("\x89PNG\r\n\x1a\n", 8);
// A thumbnail's PNG stream takes a few hundred kilobytes at most; a longer one is damage.
constexpr qint64 largestPngStream = 16 * 1024 * 1024;

// The PNG stream at the device's position, up to the end of its IEND chunk;
// empty when the data end first or are no PNG stream. The chunks are walked
// first and the stream then read in one piece: it is kept for as long as the
// folder is shown, so it should take one allocation of its own size.
QByteArray readPngStream(QIODevice &device)
{
    const qint64 start = device.pos();
    const qint64 available = device.size() - start;
    if (device.read(pngSignature.size()) != pngSignature)
        return QByteArray();
    qint64 length = pngSignature.size();
    for (;;) {
        const QByteArray header = device.read(8);
        if (header.size() != 8)
            return QByteArray();
        const quint32 dataLength = qFromBigEndian<quint32>(header.constData());
        if (dataLength > 0x7FFFFFFFu)
            return QByteArray();
        // Header, data and CRC.
        length += 8 + qint64(dataLength) + 4;
        if (length > available || length > largestPngStream)
            return QByteArray();
        if (header.mid(4) == "IEND")
            break;
        if (!device.seek(start + length))
            return QByteArray();
    }
    device.seek(start);
    const QByteArray png = device.read(length);
    return png.size() == length ? png : QByteArray();
}

} // namespace

bool readThumbnailFile(QIODevice &device, QList<ThumbnailEntry> &entries)
{
    QDataStream in(&device);
    in.setByteOrder(QDataStream::LittleEndian);
    qint32 version = 0, count = 0;
    in >> version >> count;
    if (in.status() != QDataStream::Ok || count < 0)
        return false;
    // The count never sizes anything: the loop ends with the data.
    for (qint32 i = 0; i < count; ++i) {
        ThumbnailEntry entry;
        qint32 marker = 0;
        in >> entry.fileName >> marker;
        if (in.status() != QDataStream::Ok)
            return false;
        if (marker != 0) {
            entry.png = readPngStream(device);
            if (entry.png.isEmpty())
                return false;
        }
        entries.append(entry);
    }
    return true;
}

void writeThumbnailFile(QIODevice &device, const QList<ThumbnailEntry> &entries)
{
    QDataStream out(&device);
    out.setByteOrder(QDataStream::LittleEndian);
    out << qint32(1) << qint32(entries.size());
    for (const ThumbnailEntry &entry : entries) {
        out << entry.fileName << qint32(entry.png.isEmpty() ? 0 : 1);
        out.writeRawData(entry.png.constData(), int(entry.png.size()));
    }
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
