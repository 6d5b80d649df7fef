// Feeds arbitrary bytes to the thumbnail file reader as the viewer reads a
// folder's stored file: one pass for the places of the pictures, then every
// entry put on a cover and decoded from the file as the strip would.

#include "CoverStore.h"
#include "ThumbnailFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QString name = dir.filePath("input.cxi");
    QFile file(name);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Truncate | QIODevice::Unbuffered) ||
        file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size) ||
        !file.seek(0))
        return 0;
    CoverStore store;
    store.openStoredFile(name, file.handle());
    ThumbnailFileScanner scanner(file);
    ThumbnailPlace entry;
    while (scanner.next(entry)) {
        store.append(entry.fileName, QImage(), false);
        const int index = store.count() - 1;
        if (entry.length == 0)
            store.setThumbnail(index, QByteArray());
        else if (entry.thumbnailHeader)
            store.setStoredThumbnail(index, entry.offset, entry.length);
        store.image(index);
    }
    return 0;
}
