#include "FileHelpers.h"

#include "LocalFiles.h"

#include <QCursor>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>

void showBusyCursor()
{
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

void hideBusyCursor()
{
    QGuiApplication::restoreOverrideCursor();
}

QString getPathFromFullFileName(const QString &name)
{
    const int slashes = name.count('/');
    if (slashes == 0)
        return QString();
    const int last = name.lastIndexOf('/');
    // A single slash stays with the folder so that "/file" keeps the root "/".
    return slashes == 1 ? name.left(last + 1) : name.left(last);
}

QString getFileNameFromFullFileName(const QString &name)
{
    return name.mid(name.lastIndexOf('/') + 1);
}

QString getExtension(const QString &name)
{
    return QFileInfo(name).suffix().toLower();
}

QString removeExtension(const QString &name)
{
    const int dot = name.lastIndexOf('.');
    return dot < 0 ? name : name.left(dot);
}

QString combinePathAndFileName(const QString &path, const QString &name)
{
    if (path.isEmpty())
        return name;
    return path.endsWith('/') ? path + name : path + '/' + name;
}

void convertWinDirSlashes2UnixSlashes(QString &path)
{
    path.replace('\\', '/');
}

namespace {

// Sequential reader over the JPEG file; any read past the end sets failed.
class ExifReader
{
public:
    explicit ExifReader(QFile &file) : file(file) {}

    bool failed = false;
    bool bigEndian = true;

    quint8 byte()
    {
        char c = 0;
        if (!file.getChar(&c))
            failed = true;
        return quint8(c);
    }
    quint16 u16()
    {
        const quint8 a = byte(), b = byte();
        return bigEndian ? quint16(a << 8 | b) : quint16(b << 8 | a);
    }
    quint32 u32()
    {
        const quint32 a = u16(), b = u16();
        return bigEndian ? (a << 16 | b) : (b << 16 | a);
    }
    void skip(qint64 n)
    {
        // Never step back: a segment length below 2 would loop forever.
        if (n < 0 || !file.seek(file.pos() + n) || file.pos() > file.size())
            failed = true;
    }
    void seek(qint64 pos)
    {
        if (pos > file.size() || !file.seek(pos))
            failed = true;
    }
    qint64 pos() const { return file.pos(); }

private:
    QFile &file;
};

int readExifOrientation(ExifReader &in)
{
    if (in.u16() != 0xFFD8 || in.failed)
        return 1;
    for (;;) {
        const quint8 lead = in.byte();
        if (in.failed || lead != 0xFF)
            return 1;
        const quint8 marker = in.byte();
        if (in.failed || marker == 0xD9)
            return 1;
        if (marker == 0xE1)
            break;
        const quint16 length = in.u16();
        if (in.failed)
            return 1;
        in.skip(qint64(length) - 2);
        if (in.failed)
            return 1;
    }
    in.u16(); // APP1 length
    char tag[4];
    for (char &c : tag)
        c = char(in.byte());
    if (in.failed || QByteArray(tag, 4) != "Exif")
        return 1;
    in.skip(2);
    const qint64 tiffStart = in.pos();
    const quint16 order = in.u16();
    if (order == 0x4949)
        in.bigEndian = false;
    else if (order != 0x4D4D)
        return 1;
    if (in.u16() != 42 || in.failed)
        return 1;
    in.seek(tiffStart + in.u32());
    const quint16 count = in.u16();
    if (in.failed || count == 0)
        return 1;
    for (int i = 0; i < count; ++i) {
        const quint16 entryTag = in.u16();
        in.u16(); // type
        in.u32(); // count
        const quint16 value = in.u16();
        in.u16();
        if (in.failed)
            return 1;
        if (entryTag == 0x0112)
            return value;
    }
    return 1;
}

} // namespace

int getOrientationFromExif(const QString &fileName)
{
    QFile file;
    if (!LocalFiles::openRegular(file, fileName))
        return 1;
    ExifReader in(file);
    return readExifOrientation(in);
}
