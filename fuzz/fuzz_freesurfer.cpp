// Feeds arbitrary bytes to the FreeSurfer surface, curvature and annotation
// readers, and walks what each gives back; a surface is made into the mesh
// the view draws.

#include "FreeSurferFiles.h"
#include "MeshOfSurface.h"

#include <QBuffer>

#include <cstdint>
#include <cstdlib>

namespace {

QByteArray bytesOf(const uint8_t *data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes = bytesOf(data, size);
    FreeSurferReader reader;
    FreeSurferReader::kindOf(bytes);
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        if (const auto surface = reader.readSurface(buffer)) {
            // Every corner is a vertex.
            for (const qint32 corner : surface->faces) {
                if (corner < 0 || corner >= surface->vertexCount())
                    abort();
            }
            checkMeshOf(*surface);
        } else if (reader.failureReason().isEmpty()) {
            abort();
        }
    }
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        if (!reader.readValues(buffer) && reader.failureReason().isEmpty())
            abort();
    }
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        if (const auto labels = reader.readAnnotation(buffer)) {
            // Every label a vertex has is in the table.
            for (const int position : labels->labelOfVertex) {
                if (position < -1 || position >= int(labels->table.size()))
                    abort();
            }
        } else if (reader.failureReason().isEmpty()) {
            abort();
        }
    }
    return 0;
}
