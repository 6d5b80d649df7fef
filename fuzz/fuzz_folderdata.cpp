// Feeds arbitrary bytes to the readers of the favorites and of the visited-folder index.

#include "FolderDataFiles.h"

#include <QBuffer>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QStringList folders;
    QList<int> modes;
    readFavoriteFolders(buffer, folders, modes);
    buffer.seek(0);
    QMap<QString, QString> images, rawMRI, cx;
    readVisitedFolders(buffer, images, rawMRI, cx);
    return 0;
}
