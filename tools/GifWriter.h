#ifndef GIFWRITER_H
#define GIFWRITER_H

#include <QByteArray>
#include <QImage>

// Encodes an 8-bit indexed image as a GIF89a file with LZW-compressed pixels;
// Qt reads GIF files but does not write them.
class GifWriter
{
public:
    // image: QImage::Format_Indexed8 with at most 256 colours.
    static QByteArray encode(const QImage &image);
};

#endif
