#include "GifWriter.h"

#include <QHash>

namespace {

// Packs codes of varying width into bytes, least significant bit first.
class CodeWriter
{
public:
    void write(int code, int width)
    {
        buffer |= quint32(code) << bits;
        bits += width;
        while (bits >= 8) {
            bytes += char(buffer & 0xFF);
            buffer >>= 8;
            bits -= 8;
        }
    }
    QByteArray finish()
    {
        if (bits > 0)
            bytes += char(buffer & 0xFF);
        return bytes;
    }

private:
    QByteArray bytes;
    quint32 buffer = 0;
    int bits = 0;
};

void appendU16(QByteArray &out, int value)
{
    out += char(value & 0xFF);
    out += char(value >> 8 & 0xFF);
}

// LZW with 8-bit symbols: the table restarts with a clear code when full.
QByteArray compress(const QImage &image)
{
    const int clearCode = 256, endCode = 257;
    CodeWriter out;
    QHash<quint32, int> table;
    int width = 9;
    int next = endCode + 1;
    out.write(clearCode, width);
    int prefix = -1;
    for (int y = 0; y < image.height(); ++y) {
        const uchar *line = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            const int symbol = line[x];
            if (prefix < 0) {
                prefix = symbol;
                continue;
            }
            const quint32 key = quint32(prefix) << 8 | quint32(symbol);
            const auto found = table.constFind(key);
            if (found != table.constEnd()) {
                prefix = found.value();
                continue;
            }
            out.write(prefix, width);
            table.insert(key, next++);
            // The decoder learns each code one step later and widens then.
            if (next - 1 == 1 << width && width < 12)
                ++width;
            if (next == 4096) {
                out.write(clearCode, width);
                table.clear();
                width = 9;
                next = endCode + 1;
            }
            prefix = symbol;
        }
    }
    if (prefix >= 0)
        out.write(prefix, width);
    out.write(endCode, width);
    return out.finish();
}

} // namespace

QByteArray GifWriter::encode(const QImage &image)
{
    QByteArray gif("GIF89a");
    appendU16(gif, image.width());
    appendU16(gif, image.height());
    gif += char(0xF7); // global colour table of 256 entries, 8 bits per primary
    gif += char(0);    // background colour index
    gif += char(0);    // no aspect ratio
    const QList<QRgb> colours = image.colorTable();
    for (int i = 0; i < 256; ++i) {
        const QRgb c = i < colours.size() ? colours[i] : 0;
        gif += char(qRed(c));
        gif += char(qGreen(c));
        gif += char(qBlue(c));
    }
    gif += ',';
    appendU16(gif, 0);
    appendU16(gif, 0);
    appendU16(gif, image.width());
    appendU16(gif, image.height());
    gif += char(0); // no local colour table, not interlaced
    gif += char(8); // LZW minimum code size
    const QByteArray data = compress(image);
    for (qsizetype i = 0; i < data.size(); i += 255) {
        const qsizetype n = qMin<qsizetype>(255, data.size() - i);
        gif += char(n);
        gif += data.mid(i, n);
    }
    gif += char(0); // end of the image data
    gif += ';';
    return gif;
}
