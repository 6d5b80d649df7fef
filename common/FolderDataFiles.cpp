#include "FolderDataFiles.h"

#include <QDataStream>
#include <QSaveFile>

namespace {

// The smallest favorite entry: an empty string's byte count and the mode.
constexpr qint64 minFavoriteEntrySize = 8;

} // namespace

bool readFavoriteFolders(QIODevice &device, QStringList &folders, QList<int> &modes)
{
    QDataStream in(&device);
    in.setByteOrder(QDataStream::LittleEndian);
    qint32 version = 0, count = 0;
    in >> version >> count;
    if (in.status() != QDataStream::Ok || count < 0)
        return false;
    // The count only bounds what is reserved: a file cut short still gives up
    // every complete entry before its end.
    const qint64 fitting = (device.size() - device.pos()) / minFavoriteEntrySize;
    const int expected = int(qMin<qint64>(count, fitting));
    folders.reserve(folders.size() + expected);
    modes.reserve(modes.size() + expected);
    for (qint32 i = 0; i < count; ++i) {
        QString folder;
        qint32 mode = 0;
        in >> folder >> mode;
        if (in.status() != QDataStream::Ok)
            return false;
        folders.append(folder);
        modes.append(mode);
    }
    return true;
}

void writeFavoriteFolders(QIODevice &device, const QStringList &folders, const QList<int> &modes)
{
    QDataStream out(&device);
    out.setByteOrder(QDataStream::LittleEndian);
    out << qint32(1) << qint32(folders.size());
    for (int i = 0; i < folders.size(); ++i)
        out << folders[i] << qint32(modes.value(i, 1));
}

bool readStringMap(QDataStream &in, QMap<QString, QString> &map)
{
    map.clear();
    quint32 count = 0;
    in >> count;
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        QString key, value;
        in >> key >> value;
        if (in.status() == QDataStream::Ok)
            map.insert(key, value);
    }
    if (in.status() != QDataStream::Ok)
        map.clear();
    return in.status() == QDataStream::Ok;
}

void writeStringMap(QDataStream &out, const QMap<QString, QString> &map)
{
    out << quint32(map.size());
    for (auto it = map.constEnd(); it != map.constBegin();) {
        --it;
        out << it.key() << it.value();
    }
}

bool readVisitedFolders(QIODevice &device, QMap<QString, QString> &images,
                        QMap<QString, QString> &rawMRI, QMap<QString, QString> &cx)
{
    images.clear();
    rawMRI.clear();
    cx.clear();
    QDataStream in(&device);
    in.setByteOrder(QDataStream::LittleEndian);
    return readStringMap(in, images) && readStringMap(in, rawMRI) && readStringMap(in, cx);
}

void writeVisitedFolders(QIODevice &device, const QMap<QString, QString> &images,
                         const QMap<QString, QString> &rawMRI, const QMap<QString, QString> &cx)
{
    QDataStream out(&device);
    out.setByteOrder(QDataStream::LittleEndian);
    writeStringMap(out, images);
    writeStringMap(out, rawMRI);
    writeStringMap(out, cx);
}

bool saveFileAtomically(const QString &fileName, const std::function<void(QIODevice &)> &write)
{
    return saveFileAtomicallyIf(fileName, [&write](QIODevice &device) {
        write(device);
        return true;
    });
}

bool saveFileAtomicallyIf(const QString &fileName, const std::function<bool(QIODevice &)> &write)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // commit() does not notice a final flush that fails on a full disk, so the
    // broken file would replace the good one.
    if (!write(file) || !file.flush() || file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
