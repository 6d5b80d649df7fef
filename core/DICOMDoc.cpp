#include "DICOMDoc.h"

#include "Allocation.h"
#include "DicomHeader.h"
#include "LocalFiles.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// The pixel data tag is looked for in the first 100,001 byte pairs; the
// window read for it ends with the VR after a tag in the last pair.
const qint64 pixelSearchEnd = 2 * 100001;
const qint64 headerWindowSize = pixelSearchEnd + 4;
const quint32 maxElementLength = 1050000;
// The pixel data may be as long as the 16-bit image it holds, when that is
// longer, in images of up to this many rows and columns (128 MiB).
const int maxImageDimension = 8192;
// Past the window, the header is read in blocks of this size.
const qint64 readBlockSize = 65536;
// The longest value of an element kept, Image Position and Orientation.
const quint32 longestKeptValue = 150;
const quint32 undefinedLength = 0xFFFFFFFF;
// Work buffers of the numeric texts, terminating zero included.
const quint32 decimalBufferSize = 24;
const quint32 numberBufferSize = 128;

struct PixelDataTag
{
    qint64 pixelStart = -1;
    bool bigEndian = false;
    bool explicitVR = false;
};

// Finds the last (7FE0,0010) Pixel Data tag at an even offset of the search
// range, in either byte order; its VR (OW or OB), when there is one, tells the
// VR mode.
bool findPixelData(const QByteArray &window, PixelDataTag *tag)
{
    const auto *b = reinterpret_cast<const uchar *>(window.constData());
    const qint64 size = window.size();
    const qint64 end = qMin(size, pixelSearchEnd + 1);
    bool found = false;
    // Every candidate holds a 0x7F byte, so only those places are looked at.
    for (qint64 at = 0; at < end; ++at) {
        const void *hit = memchr(b + at, 0x7F, size_t(end - at));
        if (!hit)
            break;
        at = static_cast<const uchar *>(hit) - b;
        for (const qint64 i : {at - 1, at}) {
            if (i < 0 || i % 2 != 0 || i >= pixelSearchEnd || i + 4 > size)
                continue;
            if (!((b[i] == 0xE0 && b[i + 1] == 0x7F) || (b[i] == 0x7F && b[i + 1] == 0xE0)))
                continue;
            if (b[i + 2] == 0x10 && b[i + 3] == 0x00)
                tag->bigEndian = false;
            else if (b[i + 2] == 0x00 && b[i + 3] == 0x10)
                tag->bigEndian = true;
            else
                continue;
            // OW holds 16-bit pixels, OB 8-bit and compressed ones.
            tag->explicitVR =
                i + 6 <= size && b[i + 4] == 'O' && (b[i + 5] == 'W' || b[i + 5] == 'B');
            tag->pixelStart = i + 4 + (tag->explicitVR ? 8 : 4);
            found = true;
        }
    }
    return found;
}

// Copies the pixels out of the file's bytes (from may be to itself), swapping
// their two bytes when the file's order is not the machine's; sums the values
// above 99, their squares and their number; sets negative values to 0. One
// pass, as this runs over every pixel of every image.
void copyPixels(const char *from, qint16 *to, qint64 n, bool swap, qint64 &sum,
                qint64 &sumOfSquares, qint64 &count)
{
    qint64 i = 0;
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    const __m128i ones = _mm_set1_epi16(1);
    const __m128i threshold = _mm_set1_epi16(99);
    __m128i squares64 = zero;
    while (i + 8 <= n) {
        // 32-bit lane sums stay exact over blocks of 4096 vectors.
        const qint64 blockEnd = qMin(n, i + 8 * 4096);
        __m128i sum32 = zero, count32 = zero;
        for (; i + 8 <= blockEnd; i += 8) {
            __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(from + 2 * i));
            if (swap)
                v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(to + i), _mm_max_epi16(v, zero));
            const __m128i above = _mm_cmpgt_epi16(v, threshold);
            const __m128i counted = _mm_and_si128(v, above);
            // A pair of squares of values below 32768 fits in a signed 32-bit lane.
            const __m128i squares = _mm_madd_epi16(counted, counted);
            squares64 = _mm_add_epi64(squares64, _mm_unpacklo_epi32(squares, zero));
            squares64 = _mm_add_epi64(squares64, _mm_unpackhi_epi32(squares, zero));
            sum32 = _mm_add_epi32(sum32, _mm_madd_epi16(counted, ones));
            count32 = _mm_sub_epi32(count32, _mm_madd_epi16(above, ones));
        }
        alignas(16) qint32 sums[4], counts[4];
        _mm_store_si128(reinterpret_cast<__m128i *>(sums), sum32);
        _mm_store_si128(reinterpret_cast<__m128i *>(counts), count32);
        for (int k = 0; k < 4; ++k) {
            sum += sums[k];
            count += counts[k];
        }
    }
    alignas(16) qint64 squares[2];
    _mm_store_si128(reinterpret_cast<__m128i *>(squares), squares64);
    sumOfSquares += squares[0] + squares[1];
#endif
    for (; i < n; ++i) {
        qint16 v;
        memcpy(&v, from + 2 * i, 2);
        if (swap)
            v = qbswap(v);
        if (v > 99) {
            sum += v;
            sumOfSquares += qint64(v) * v;
            ++count;
        }
        to[i] = qMax<qint16>(0, v);
    }
}

// Reads size bytes from pos on; false when the device ends first or fails.
bool readAt(QIODevice &device, qint64 pos, char *data, qint64 size)
{
    // Seeking a file costs a system call even where it is already.
    if (device.pos() != pos && !device.seek(pos))
        return false;
    while (size > 0) {
        const qint64 got = device.read(data, size);
        if (got <= 0)
            return false;
        data += got;
        size -= got;
    }
    return true;
}

// A read position in the device with the bytes around it: first the search
// window, then blocks read as the position passes it, so that skipped values
// are never read. Values are assembled in the byte order in force. Callers
// check has() before a skip and load() before reading.
class ByteCursor
{
public:
    ByteCursor(QIODevice &device, qint64 size, const QByteArray &window, qint64 pos)
        : device(device), size(size), block(window), pos(pos)
    {
    }

    bool has(qint64 count) const { return count <= size - pos; }
    // Brings the next count bytes (a few hundred at most) into the block.
    bool load(qint64 count)
    {
        if (!has(count))
            return false;
        if (pos + count <= blockStart + block.size())
            return true;
        block.resize(qMin(qMax(count, readBlockSize), size - pos));
        blockStart = pos;
        if (readAt(device, pos, block.data(), block.size()))
            return true;
        block.clear();
        return false;
    }
    const char *here() const { return block.constData() + (pos - blockStart); }
    void skip(qint64 count) { pos += count; }
    quint16 u16()
    {
        const quint16 v =
            bigEndian ? qFromBigEndian<quint16>(here()) : qFromLittleEndian<quint16>(here());
        pos += 2;
        return v;
    }
    quint32 u32()
    {
        const quint32 v =
            bigEndian ? qFromBigEndian<quint32>(here()) : qFromLittleEndian<quint32>(here());
        pos += 4;
        return v;
    }

    bool bigEndian = false;

private:
    QIODevice &device;
    qint64 size;
    QByteArray block;
    qint64 blockStart = 0;
    qint64 pos;
};

// Value representations with two reserved bytes and a 4-byte length; all
// others have a 2-byte length.
bool hasLongLength(const char *vr)
{
    static const char longForms[][3] = {"OB", "OD", "OF", "OL", "OV", "OW", "SQ",
                                        "SV", "UC", "UN", "UR", "UT", "UV"};
    for (const char *form : longForms) {
        if (vr[0] == form[0] && vr[1] == form[1])
            return true;
    }
    return false;
}

bool isVR(const char *bytes)
{
    return bytes[0] >= 'A' && bytes[0] <= 'Z' && bytes[1] >= 'A' && bytes[1] <= 'Z';
}

// Reads the value representation (when withVR) and the length that follow a
// tag; shortLength tells whether the length had two bytes.
bool readLength(ByteCursor &in, bool withVR, quint32 *length, bool *shortLength)
{
    *shortLength = false;
    if (withVR) {
        if (!in.load(2))
            return false;
        const bool longForm = hasLongLength(in.here());
        in.skip(2);
        if (!longForm) {
            if (!in.load(2))
                return false;
            *length = in.u16();
            *shortLength = true;
            return true;
        }
        if (!in.has(2))
            return false;
        in.skip(2);
    }
    if (!in.load(4))
        return false;
    *length = in.u32();
    return true;
}

// Moves past the value of an element of undefined length, up to the
// delimiter that closes it. The items and their elements are walked, not
// searched, so that binary values cannot pose as delimiters, and nested
// sequences and items of undefined length are counted. Inside an explicit VR
// data set, an element without a VR (the implicit content of an undefined
// length UN element) is read with a 4-byte length.
bool skipUndefinedLength(ByteCursor &in, bool explicitVR)
{
    qint64 depth = 1;
    while (depth > 0) {
        if (!in.load(4))
            return false;
        const quint16 group = in.u16();
        const quint16 element = in.u16();
        quint32 length;
        bool shortLength;
        if (group == 0xFFFE) {
            // Items and delimiters never have a VR.
            if (!readLength(in, false, &length, &shortLength))
                return false;
            if (element == 0xE0DD || element == 0xE00D) {
                --depth;
                continue;
            }
        } else {
            const bool withVR = explicitVR && in.load(2) && isVR(in.here());
            if (!readLength(in, withVR, &length, &shortLength))
                return false;
        }
        if (length == undefinedLength) {
            ++depth;
        } else {
            if (!in.has(length))
                return false;
            in.skip(length);
        }
    }
    return true;
}

// The leading number of a text, read as the C library's atof reads it but
// whatever the locale; text that is not a finite float reads as 0.
float decimalValue(const QByteArray &text)
{
    const char *begin = text.constData();
    const char *end = begin + qstrlen(begin);
    while (begin < end && strchr(" \t\n\v\f\r", *begin))
        ++begin;
    if (begin < end && *begin == '+')
        ++begin;
    double value = 0.0;
    const auto result = std::from_chars(begin, end, value);
    if (result.ec != std::errc() || !std::isfinite(value) || std::fabs(value) > FLT_MAX)
        return 0.0f;
    return float(value);
}

// The leading integer of a text, as atoi reads it, held to the range of int.
int integerValue(const QByteArray &text)
{
    const long long value = std::strtoll(text.constData(), nullptr, 10);
    return int(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

quint16 unsignedShort(const char *value, bool bigEndian)
{
    return bigEndian ? qFromBigEndian<quint16>(value) : qFromLittleEndian<quint16>(value);
}

// The name of a transfer syntax whose pixel data is compressed, which the
// reader cannot decode; empty for the others.
QString compressionOf(QByteArray uid)
{
    while (uid.endsWith('\0') || uid.endsWith(' '))
        uid.chop(1);
    static const char *const names[][2] = {{"1.2.840.10008.1.2.4.50", "JPEG baseline"},
                                           {"1.2.840.10008.1.2.4.51", "JPEG extended"},
                                           {"1.2.840.10008.1.2.4.57", "JPEG lossless"},
                                           {"1.2.840.10008.1.2.4.70", "JPEG lossless"},
                                           {"1.2.840.10008.1.2.4.80", "JPEG-LS"},
                                           {"1.2.840.10008.1.2.4.81", "JPEG-LS"},
                                           {"1.2.840.10008.1.2.4.90", "JPEG 2000"},
                                           {"1.2.840.10008.1.2.4.91", "JPEG 2000"},
                                           {"1.2.840.10008.1.2.5", "RLE"}};
    for (const auto &name : names) {
        if (uid == name[0])
            return name[1];
    }
    // The rest of that branch (retired JPEG processes, other JPEG 2000 and
    // video syntaxes) is compressed too; the UID names it.
    if (uid.startsWith("1.2.840.10008.1.2.4."))
        return QString::fromLatin1(uid);
    return QString();
}

QString unreadable(const QString &why)
{
    return QString("not a readable DICOM image (%1)").arg(why);
}

QString damagedHeader()
{
    return unreadable("damaged or cut short header");
}

} // namespace

DICOMDoc::DICOMDoc(const ReadContext &context) : context(context) {}

bool DICOMDoc::readDICOM(QString fileName)
{
    QFile file;
    // The reader reads in blocks of its own, so the file's buffer would only copy.
    QString reason;
    if (!LocalFiles::openRegular(file, fileName, QIODevice::Unbuffered, &reason))
        return fail(reason);
    return readDICOM(file);
}

bool DICOMDoc::readDICOM(QIODevice &device)
{
    failure.clear();
    pixelKindRefused = false;
    // Asking a file for its size costs a system call, so it is asked once.
    const qint64 fileSize = device.size();
    // Nothing past the search window is read before the pixel data is found,
    // so a large file without it is refused at once.
    QByteArray window(qMin(fileSize, headerWindowSize), Qt::Uninitialized);
    if (!readAt(device, 0, window.data(), window.size()))
        return fail(unreadable("read error"));
    PixelDataTag tag;
    if (!findPixelData(window, &tag))
        return fail(unreadable("no pixel data found"));
    byteOrder = metaByteOrder = tag.bigEndian ? 2 : 1;
    explicitVR = tag.explicitVR;

    if (!readHeader(device, fileSize, window))
        return false;
    if (spacingBetweenSlices >= 0 && sliceThickness >= 0)
        sliceDistance = spacingBetweenSlices;
    return readPixels(device, fileSize, window, tag.pixelStart);
}

void DICOMDoc::readFields(const DicomHeader &header)
{
    static const quint32 kept[] = {0x00080008, 0x00080060, 0x00080070, 0x00080080, 0x00081030,
                                   0x0008103E, 0x00081090, 0x00100010, 0x00180050, 0x00180080,
                                   0x00180087, 0x00180088, 0x00185100, 0x00200011, 0x00200012,
                                   0x00200013, 0x00200032, 0x00200037, 0x00200105, 0x00280010,
                                   0x00280011, 0x00280030, 0x00280100};
    failure.clear();
    pixelKindRefused = false;
    pixelData.reset();
    meanIntensity = 0.0f;
    stdDevIntensity = 1.0f;
    // The meta group is always explicit little-endian.
    metaByteOrder = 1;
    byteOrder = header.isBigEndian() ? 2 : 1;
    explicitVR = header.isExplicitVR();
    const DicomDataSet &set = header.dataSet();
    for (const quint32 tag : kept) {
        if (!set.has(tag))
            continue;
        const QByteArray value = set.value(tag);
        // Values longer than any kept one are not held, as in the walk.
        keepElement(tag, quint32(value.size()) <= longestKeptValue ? value.constData() : nullptr,
                    quint32(value.size()), set.bigEndian);
    }
    failure.clear();
    if (spacingBetweenSlices >= 0 && sliceThickness >= 0)
        sliceDistance = spacingBetweenSlices;
}

bool DICOMDoc::fail(const QString &reason)
{
    failure = reason;
    return false;
}

QString DICOMDoc::cleanString(const QString &text, bool alsoSpaces)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == ' ')
        ++begin;
    while (end > begin) {
        const QChar c = text.at(end - 1);
        if (c != '\r' && c != '\n' && !(alsoSpaces && c == ' '))
            break;
        --end;
    }
    return text.mid(begin, end - begin);
}

// Walks the header elements in file order up to the image group, keeping the
// known ones. The file meta group (after the preamble and "DICM") may have
// another byte order and VR mode than the data set that follows it.
bool DICOMDoc::readHeader(QIODevice &device, qint64 fileSize, const QByteArray &window)
{
    if (fileSize < 128)
        return fail(unreadable("shorter than 128 bytes"));
    const bool dataBigEndian = byteOrder == 2;
    // The window holds the file's first 200 KB, or all of a shorter one.
    const bool hasPreamble =
        window.size() >= 132 && memcmp(window.constData() + 128, "DICM", 4) == 0;
    ByteCursor in(device, fileSize, window, hasPreamble ? 132 : 0);
    in.bigEndian = dataBigEndian;
    bool metaExplicit = explicitVR;
    if (hasPreamble) {
        if (!in.load(4))
            return fail(damagedHeader());
        const char *group = in.here();
        if (group[0] == 0x02 && group[1] == 0x00)
            metaByteOrder = 1;
        else if (group[0] == 0x00 && group[1] == 0x02)
            metaByteOrder = 2;
        else
            return fail(unreadable("no file meta group after DICM"));
        metaExplicit = in.load(6) && memcmp(in.here() + 4, "UL", 2) == 0;
        in.bigEndian = metaByteOrder == 2;
    }

    for (;;) {
        if (!in.load(4))
            return fail(damagedHeader());
        quint16 group = in.u16();
        quint16 element = in.u16();
        quint32 length;
        bool shortLength;
        if (!readLength(in, explicitVR || (metaExplicit && group == 0x0002), &length, &shortLength))
            return fail(damagedHeader());

        if (group != 0x0002 && in.bigEndian != dataBigEndian) {
            group = qbswap(group);
            element = qbswap(element);
            length = shortLength ? qbswap(quint16(length)) : qbswap(length);
            in.bigEndian = dataBigEndian;
        }

        // Groups from 0x29 on (by their low byte) are past the last one kept;
        // the value of the element that ends the walk is never read, so an
        // undefined length there (compressed pixel data) need not be resolved.
        const bool endOfWalk = (group & 0xFF) >= 0x29;
        if (length == undefinedLength) {
            if (endOfWalk)
                return true;
            if (!skipUndefinedLength(in, explicitVR))
                return fail(damagedHeader());
            length = 0;
        }
        // A longer element is taken for damage, but the pixels of an ordinary
        // 1024 x 1024 or 2048 x 2048 image are longer.
        qint64 limit = maxElementLength;
        if (endOfWalk && group == 0x7FE0 && element == 0x0010 && nrOfRows <= maxImageDimension &&
            nrOfColumns <= maxImageDimension)
            limit = qMax(limit, 2 * qint64(nrOfRows) * nrOfColumns);
        if (length > limit)
            return fail(unreadable(QString("an element of %1 bytes is too long").arg(length)));
        if (endOfWalk)
            return true;
        if (!in.has(length))
            return fail(damagedHeader());
        // Only short values are kept, so long ones are passed over unread.
        const char *value = nullptr;
        if (length <= longestKeptValue) {
            if (!in.load(length))
                return fail(damagedHeader());
            value = in.here();
        }
        in.skip(length);
        if (!keepElement(quint32(group) << 16 | element, value, length, in.bigEndian))
            return false;
    }
}

template <int size> void DICOMDoc::keepText(char (&field)[size], const char *value, quint32 length)
{
    if (length < quint32(size)) {
        memcpy(field, value, length);
        field[length] = 0;
    } else {
        qstrncpy(field, "<skipped>", size);
    }
}

// Stores the value of a kept element, which is null when longer than any
// kept one; false for an element that breaks the read (a compressed transfer
// syntax, an image dimension that is not one 16-bit value).
bool DICOMDoc::keepElement(quint32 tag, const char *value, quint32 length, bool bigEndian)
{
    switch (tag) {
    case 0x00020010:
        if (value) {
            const QString compression = compressionOf(QByteArray(value, length));
            if (!compression.isEmpty()) {
                pixelKindRefused = true;
                return fail(QString("compressed DICOM (%1) is not supported").arg(compression));
            }
        }
        break;
    case 0x00080008:
        keepText(imageType, value, length);
        break;
    case 0x00080060:
        keepText(modality, value, length);
        break;
    case 0x00080070:
        keepText(manufacturer, value, length);
        break;
    case 0x00080080:
        keepText(institutionName, value, length);
        break;
    case 0x00081030:
        keepText(studyDescription, value, length);
        break;
    case 0x0008103E:
        keepText(seriesDescription, value, length);
        break;
    case 0x00081090:
        keepText(manufacturerModelName, value, length);
        break;
    case 0x00100010:
        keepText(patientName, value, length);
        break;
    case 0x00180050:
        if (length < decimalBufferSize)
            sliceThickness = decimalValue(QByteArray(value, length));
        break;
    case 0x00180080:
        keepText(repetitionTime, value, length);
        break;
    case 0x00180087:
        keepText(magneticFieldStrength, value, length);
        break;
    case 0x00180088:
        if (length < decimalBufferSize)
            spacingBetweenSlices = decimalValue(QByteArray(value, length));
        break;
    case 0x00185100:
        keepText(patientPosition, value, length);
        break;
    case 0x00200011:
        if (length < numberBufferSize)
            seriesNumber = integerValue(QByteArray(value, length));
        break;
    case 0x00200012:
        if (length < numberBufferSize)
            acquisitionNumber = integerValue(QByteArray(value, length));
        break;
    case 0x00200013:
        if (length < numberBufferSize)
            instanceNumber = integerValue(QByteArray(value, length));
        break;
    case 0x00200032:
        keepText(imagePositionPatient, value, length);
        break;
    case 0x00200037:
        keepText(imageOrientationPatient, value, length);
        break;
    case 0x00200105:
        keepText(nrOfTemporalPositions, value, length);
        break;
    case 0x00280010:
    case 0x00280011:
    case 0x00280100: {
        if (length != 2)
            return fail(unreadable("rows, columns or bits allocated not one 16-bit value"));
        const int number = unsignedShort(value, bigEndian);
        if (tag == 0x00280010)
            nrOfRows = number;
        else if (tag == 0x00280011)
            nrOfColumns = number;
        else
            bitsAllocated = number;
        break;
    }
    case 0x00280030:
        if (length < numberBufferSize) {
            // "row\column"; one value alone stands for both.
            const QString text = QString::fromLatin1(QByteArray(value, length).constData());
            const qsizetype backslash = text.indexOf('\\');
            const QString rows = backslash < 0 ? text : text.left(backslash);
            const QString columns = backslash < 0 ? text : text.mid(backslash + 1);
            rowSpacing = decimalValue(cleanString(rows, true).toLatin1());
            columnSpacing = decimalValue(cleanString(columns, true).toLatin1());
        }
        break;
    }
    return true;
}

bool DICOMDoc::readPixels(QIODevice &device, qint64 fileSize, const QByteArray &window,
                          qint64 pixelStart)
{
    pixelData.reset();
    pixelKindRefused = bitsAllocated != 0 && bitsAllocated != 16;
    if (pixelKindRefused)
        return fail(
            QString("%1-bit pixels are not supported, only 16-bit ones").arg(bitsAllocated));
    // A file without an image has nothing to show.
    if (nrOfRows < 0 || nrOfColumns < 0)
        return fail("no image: Rows or Columns missing");
    if (nrOfRows == 0 || nrOfColumns == 0)
        return fail(QString("no image: %1 columns and %2 rows").arg(nrOfColumns).arg(nrOfRows));

    // The file must hold every pixel; this also bounds the allocation.
    const qint64 nrOfPixels = qint64(nrOfRows) * nrOfColumns;
    const qint64 size = 2 * nrOfPixels;
    if (pixelStart > fileSize || size > fileSize - pixelStart)
        return fail(unreadable("pixel data cut short"));
    pixelData = allocateArray<qint16>(nrOfPixels);
    if (!pixelData)
        return fail("image too large for memory");
    // The pixels in the search window are taken from it; the rest are read
    // straight into the pixel buffer and converted where they lie.
    const qint64 inWindow = qBound<qint64>(0, (window.size() - pixelStart) / 2, nrOfPixels);
    qint16 *rest = pixelData.get() + inWindow;
    if (!readAt(device, pixelStart + 2 * inWindow, reinterpret_cast<char *>(rest),
                2 * (nrOfPixels - inWindow))) {
        pixelData.reset();
        return fail(unreadable("read error"));
    }

    // Only values above 99 enter the statistics, the dim background stays out;
    // the count starts at 1, so an image of background only divides by 1.
    qint64 sum = 0;
    qint64 sumOfSquares = 0;
    qint64 count = 1;
    const bool swap = (byteOrder == 2) != context.hostIsBigEndian;
    copyPixels(window.constData() + pixelStart, pixelData.get(), inWindow, swap, sum, sumOfSquares,
               count);
    copyPixels(reinterpret_cast<const char *>(rest), rest, nrOfPixels - inWindow, swap, sum,
               sumOfSquares, count);
    const double mean = double(sum) / count;
    meanIntensity = float(mean);
    stdDevIntensity = float(std::sqrt(qMax(0.0, double(sumOfSquares) / count - mean * mean)));
    return true;
}
