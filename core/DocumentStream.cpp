#include "DocumentStream.h"

#include "LocalFiles.h"

#include <QFile>

#include <cstring>

DocumentStream::DocumentStream(QIODevice *device, const ReadContext &context)
    : QDataStream(device), hostIsBigEndian(context.hostIsBigEndian), deviceSize(device->size())
{
    setByteOrder(QDataStream::LittleEndian);
    setVersion(QDataStream::Qt_4_5);
}

bool DocumentStream::openFile(QFile &file)
{
    return LocalFiles::openRegular(file, file.fileName());
}

QString DocumentStream::openFailure(const QString &fileName)
{
    return LocalFiles::openFailure(fileName);
}

// Asking a file for its size costs a system call, too much once per vertex.
qint64 DocumentStream::bytesLeft() const
{
    return qMax<qint64>(deviceSize - device()->pos(), 0);
}

bool DocumentStream::fits(qint64 count, qint64 itemSize) const
{
    return count >= 0 && count <= bytesLeft() / itemSize;
}

QByteArray DocumentStream::readText(int maxLength)
{
    QByteArray text;
    char chunk[4096];
    for (;;) {
        const qint64 got = device()->peek(chunk, sizeof chunk);
        if (got <= 0) {
            setStatus(QDataStream::ReadPastEnd);
            return text;
        }
        const auto *zero = static_cast<const char *>(memchr(chunk, 0, size_t(got)));
        const int length = zero ? int(zero - chunk) : int(got);
        text.append(chunk, qBound(0, maxLength - int(text.size()), length));
        skipRawData(zero ? length + 1 : length);
        if (zero)
            return text;
    }
}

bool DocumentStream::readBytes(void *data, qint64 size)
{
    auto *p = static_cast<char *>(data);
    while (size > 0) {
        const int chunk = int(qMin<qint64>(size, 1 << 30));
        if (readRawData(p, chunk) != chunk)
            return false;
        p += chunk;
        size -= chunk;
    }
    return true;
}

template <typename T> bool DocumentStream::readValues(T *values, qint64 count)
{
    if (!hostIsBigEndian)
        return readBytes(values, count * qint64(sizeof(T)));
    for (qint64 i = 0; i < count; ++i)
        *this >> values[i];
    return status() == QDataStream::Ok;
}

bool DocumentStream::readInts(qint32 *values, qint64 count)
{
    return readValues(values, count);
}

bool DocumentStream::readFloats(float *values, qint64 count)
{
    return readValues(values, count);
}
