// Feeds arbitrary bytes to the thumbnail file reader, then puts every entry read
// on a cover and decodes it as the strip would.

#include "CoverStore.h"
#include "ThumbnailFile.h"

#include <QBuffer>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QList<ThumbnailEntry> entries;
    readThumbnailFile(buffer, entries);
    CoverStore store;
    for (const ThumbnailEntry &entry : std::as_const(entries)) {
        store.append(entry.fileName, QImage(), false);
        store.setThumbnail(store.count() - 1, entry.png);
        store.image(store.count() - 1);
    }
    return 0;
}
