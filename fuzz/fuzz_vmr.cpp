// Feeds arbitrary bytes to the VMR reader.

#include "VolumeDoc.h"

#include <QBuffer>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    VolumeDoc doc;
    doc.readVolume(buffer);
    return 0;
}
