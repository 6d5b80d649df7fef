#ifndef DOCUMENTSTREAM_H
#define DOCUMENTSTREAM_H

#include <QByteArray>
#include <QDataStream>
#include <QSysInfo>

class QFile;

// What a reader takes from the machine it runs on rather than from the file.
struct ReadContext
{
    // Whether this machine stores numbers big-endian; a test may pretend it does.
    bool hostIsBigEndian = QSysInfo::ByteOrder == QSysInfo::BigEndian;
};

// Reads the encoding shared by the document files: a little-endian data stream
// in the Qt 4.5 format (4-byte floats) with zero-terminated texts. It knows how
// much of the device is left, so that counts can be checked before anything
// is allocated. The device must be a random-access one, such as a file or a
// buffer, whose size does not change while it is read.
class DocumentStream : public QDataStream
{
public:
    // Room of the text buffers of the formats, without the terminating zero.
    static const int maxTextLength = 263;

    DocumentStream(QIODevice *device, const ReadContext &context);

    // Opens a document file for reading; anything but a regular file is
    // refused, as opening a FIFO or a device could block or never end. The
    // file keeps no name once open.
    static bool openFile(QFile &file);
    // Why a file cannot be opened at all ("no such file", "not a regular file",
    // or the system's reason in lower case), so that it is not called damaged;
    // empty when it can.
    static QString openFailure(const QString &fileName);

    qint64 bytesLeft() const;
    // Whether count items of itemSize bytes can still be read; never for a negative count.
    bool fits(qint64 count, qint64 itemSize) const;

    // A zero-terminated text. A longer one than maxLength bytes is read to its
    // end, so the stream stays in step, and cut to maxLength.
    QByteArray readText(int maxLength);

    // Blocks of values, straight into memory on a little-endian host. Each
    // returns false when the device ends first.
    bool readBytes(void *data, qint64 size);
    bool readInts(qint32 *values, qint64 count);
    bool readFloats(float *values, qint64 count);

private:
    template <typename T> bool readValues(T *values, qint64 count);

    bool hostIsBigEndian;
    qint64 deviceSize;
};

#endif
