#include "FolderDataFiles.h"

#include <QDataStream>
#include <QSaveFile>

namespace {

// The smallest favorite entry: an empty string's byte count and the mode.
constexpr qint64 minFavoriteEntrySize = 8;

} // namespace

void readFavoriteFolders(QIODevice &device, QStringList &folders, QList<int> &modes)
{
    QDataStream in(&device);
    in.setByteOrder(QDataStream::LittleEndian);
    qint32 version = 0, count = 0;
    in >> version >> count;
    if (in.status() != QDataStream::Ok || count < 0)
        return;
    // A count that cannot fit in the rest of the file marks a damaged file.
    if (count > (device.size() - device.pos()) / minFavoriteEntrySize)
        return;
    for (qint32 i = 0; i < count; ++i) {
        QString folder;
        qint32 mode = 0;
        in >> folder >> mode;
        if (in.status() != QDataStream::Ok)
            return;
        folders.append(folder);
        modes.append(mode);
    }
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

bool saveFileAtomically(const QString &fileName, const std::function<void(QIODevice &)> &write)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    write(file);
    return file.commit();
}
