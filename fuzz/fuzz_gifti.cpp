// Feeds arbitrary bytes to the GIfTI reader twice: with the data texts taken
// from the bytes and with everything through the XML reader. Both must agree
// on whether the file can be read and, when it can, on every value. A surface
// is made into the mesh the view draws.

#include "GiftiFile.h"
#include "MeshOfSurface.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

template <typename T> bool sameBits(const std::vector<T> &a, const std::vector<T> &b)
{
    return a.size() == b.size() &&
           (a.empty() || memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

bool sameArrays(const GiftiFile &one, const GiftiFile &other)
{
    if (one.arrays().size() != other.arrays().size() || one.metaData() != other.metaData() ||
        one.labelTable().size() != other.labelTable().size())
        return false;
    for (size_t i = 0; i < one.arrays().size(); ++i) {
        const GiftiArray &a = one.arrays()[i], &b = other.arrays()[i];
        if (a.intentCode != b.intentCode || a.dims != b.dims || !sameBits(a.floats, b.floats) ||
            !sameBits(a.ints, b.ints) || a.metaData != b.metaData)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    GiftiFile direct, throughXml;
    throughXml.setDataTakenDirectly(false);
    const bool read = direct.readContents(bytes);
    if (read != throughXml.readContents(bytes))
        abort();
    if (!read) {
        if (direct.failureReason().isEmpty() || !direct.arrays().empty())
            abort();
        return 0;
    }
    if (!sameArrays(direct, throughXml))
        abort();
    if (const auto surface = direct.surface()) {
        for (const qint32 corner : surface->faces) {
            if (corner < 0 || corner >= surface->vertexCount())
                abort();
        }
        checkMeshOf(*surface);
    }
    direct.perVertexValues();
    if (const auto labels = direct.vertexLabels()) {
        for (const int position : labels->labelOfVertex) {
            if (position < -1 || position >= int(labels->table.size()))
                abort();
        }
    }
    return 0;
}
