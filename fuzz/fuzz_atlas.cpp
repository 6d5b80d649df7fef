// Feeds arbitrary bytes to the readers of an atlas's label names and colour
// table and of saved cluster tables; the first byte chooses which. A table
// read and written again reads back the same.

#include "Atlas.h"
#include "ClusterTable.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    QString why;
    switch (data[0] % 3) {
    case 0: {
        QMap<int, QString> names;
        Atlas::parseLabelNames(bytes, names, why);
        break;
    }
    case 1: {
        std::vector<Atlas::Colour> colours;
        Atlas::parseColourTable(bytes, colours, why);
        break;
    }
    case 2: {
        ClusterTable table;
        if (table.readTsv(bytes)) {
            const QByteArray written = table.toTsv();
            ClusterTable again;
            if (!again.readTsv(written) || again.toTsv() != written)
                abort();
        }
        break;
    }
    }
    return 0;
}
