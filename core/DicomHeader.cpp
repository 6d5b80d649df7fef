#include "DicomHeader.h"

#include "LocalFiles.h"

#include <QFile>
#include <QSet>
#include <QtEndian>

#include <zlib.h>

#include <cmath>
#include <cstring>

namespace {

const quint32 undefinedLength = 0xFFFFFFFF;
const quint32 itemTag = 0xFFFEE000;
const quint32 itemEndTag = 0xFFFEE00D;
const quint32 sequenceEndTag = 0xFFFEE0DD;
// Values longer than this are skipped: no header field the viewer reads is.
const quint32 longestKeptValue = 4096;
// Sequences nest deeper only in documents, never in image geometry.
const int deepestNesting = 16;

// The sequences whose items are kept: the rest are skipped.
bool keepsItems(quint32 tag)
{
    switch (tag) {
    case Dicom::SharedGroups:
    case Dicom::PerFrameGroups:
    case Dicom::PlanePositionSequence:
    case Dicom::PlaneOrientationSequence:
    case Dicom::PixelMeasuresSequence:
    case Dicom::ValueTransformationSequence:
        return true;
    default:
        return false;
    }
}

// Value representations with a 2-byte reserved field and a 4-byte length in
// explicit VR (PS3.5 7.1.2).
bool hasLongLength(const char *vr)
{
    static const char *const longOnes[] = {"OB", "OD", "OF", "OL", "OV", "OW", "SQ",
                                           "SV", "UC", "UN", "UR", "UT", "UV"};
    for (const char *l : longOnes)
        if (vr[0] == l[0] && vr[1] == l[1])
            return true;
    return false;
}

QString tagName(quint32 tag)
{
    return QString("(%1,%2)")
        .arg(tag >> 16, 4, 16, QChar('0'))
        .arg(tag & 0xFFFF, 4, 16, QChar('0'))
        .toUpper();
}

QByteArray trimmed(QByteArray text)
{
    int start = 0, end = int(text.size());
    while (start < end && (text[start] == ' ' || text[start] == '\0'))
        ++start;
    while (end > start && (text[end - 1] == ' ' || text[end - 1] == '\0'))
        --end;
    return text.mid(start, end - start);
}

} // namespace

QByteArray DicomDataSet::text(quint32 tag) const
{
    return trimmed(values.value(tag));
}

std::vector<double> DicomDataSet::decimals(quint32 tag) const
{
    std::vector<double> numbers;
    const QByteArray value = values.value(tag);
    if (value.isEmpty())
        return numbers;
    for (const QByteArray &part : value.split('\\')) {
        bool ok = false;
        const double v = trimmed(part).toDouble(&ok);
        if (!ok || !std::isfinite(v))
            return {};
        numbers.push_back(v);
    }
    return numbers;
}

double DicomDataSet::decimal(quint32 tag, double fallback) const
{
    const std::vector<double> numbers = decimals(tag);
    return numbers.empty() ? fallback : numbers[0];
}

int DicomDataSet::unsignedShort(quint32 tag, int fallback) const
{
    const QByteArray value = values.value(tag);
    if (value.size() != 2)
        return fallback;
    return bigEndian ? qFromBigEndian<quint16>(value.constData())
                     : qFromLittleEndian<quint16>(value.constData());
}

const std::vector<DicomDataSet> *DicomDataSet::items(quint32 tag) const
{
    const auto it = sequences.constFind(tag);
    return it == sequences.constEnd() ? nullptr : &*it;
}

const DicomDataSet *DicomDataSet::item(quint32 tag, qsizetype index) const
{
    const std::vector<DicomDataSet> *list = items(tag);
    if (!list || index < 0 || index >= qsizetype(list->size()))
        return nullptr;
    return &(*list)[size_t(index)];
}

struct DicomHeader::Cursor
{
    const uchar *data;
    qint64 size;
    qint64 pos;
    bool bigEndian;

    bool has(qint64 count) const { return count <= size - pos; }
    quint16 u16(bool big) const
    {
        return big ? qFromBigEndian<quint16>(data + pos) : qFromLittleEndian<quint16>(data + pos);
    }
    quint32 u32(bool big, qint64 at) const
    {
        return big ? qFromBigEndian<quint32>(data + at) : qFromLittleEndian<quint32>(data + at);
    }
    quint32 tag() const
    {
        const quint16 group = u16(bigEndian);
        const quint16 element = bigEndian ? qFromBigEndian<quint16>(data + pos + 2)
                                          : qFromLittleEndian<quint16>(data + pos + 2);
        return quint32(group) << 16 | element;
    }
};

DicomHeader::DicomHeader() = default;
DicomHeader::~DicomHeader() = default;

const char *DicomHeader::data() const
{
    if (deflated)
        return inflated.constData();
    return given ? given->constData() : nullptr;
}

qint64 DicomHeader::dataSize() const
{
    if (deflated)
        return inflated.size();
    return given ? given->size() : 0;
}

DicomHeader::Status DicomHeader::fail(const QString &why)
{
    reason = why;
    return Failed;
}

DicomHeader::Status DicomHeader::parse(const QByteArray &bytes, bool wholeFile, qint64 inflateLimit)
{
    given = &bytes;
    complete = wholeFile;
    top = DicomDataSet();
    syntax.clear();
    inflated.clear();
    inflatedAll = true;
    explicitVR = true;
    bigEndian = deflated = pixelFound = encapsulated = false;
    pixels = Range();
    pieces.clear();
    reason.clear();

    const auto *b = reinterpret_cast<const uchar *>(bytes.constData());
    const qint64 size = bytes.size();
    qint64 pos = 0;
    if (size >= 132 && memcmp(b + 128, "DICM", 4) == 0)
        pos = 132;
    else if (size < 132 && !complete)
        return NeedMore;

    // The meta group, always explicit VR little-endian.
    Cursor meta{b, size, pos, false};
    bool hasMeta = false;
    while (meta.has(8) && meta.u16(false) == 0x0002) {
        const quint32 tag = meta.tag();
        const char vr[2] = {char(b[meta.pos + 4]), char(b[meta.pos + 5])};
        qint64 length;
        qint64 headerLength;
        if (hasLongLength(vr)) {
            if (!meta.has(12))
                break;
            length = meta.u32(false, meta.pos + 8);
            headerLength = 12;
        } else {
            length = qFromLittleEndian<quint16>(b + meta.pos + 6);
            headerLength = 8;
        }
        if (length == undefinedLength || !meta.has(headerLength + length)) {
            if (!complete)
                return NeedMore;
            return fail(QString("the file meta element %1 runs past the end of the file")
                            .arg(tagName(tag)));
        }
        if (tag == Dicom::TransferSyntaxUid)
            syntax = trimmed(bytes.mid(meta.pos + headerLength, length));
        meta.pos += headerLength + length;
        hasMeta = true;
    }
    if (!meta.has(8) && !complete)
        return NeedMore;
    pos = meta.pos;

    if (!hasMeta || syntax.isEmpty()) {
        // No meta group: the first tag tells the byte order, a VR after it the mode.
        if (size - pos < 6)
            return fail("not a DICOM file");
        // Without a preamble, a data set starts with the identifying group.
        const bool littleStart = b[pos] == 0x08 && b[pos + 1] == 0;
        const bool bigStart = b[pos] == 0 && b[pos + 1] == 0x08;
        if (!littleStart && !bigStart)
            return fail("not a DICOM file");
        bigEndian = b[pos] == 0 && b[pos + 1] != 0;
        explicitVR =
            b[pos + 4] >= 'A' && b[pos + 4] <= 'Z' && b[pos + 5] >= 'A' && b[pos + 5] <= 'Z';
        syntax = !explicitVR ? "1.2.840.10008.1.2"
                             : (bigEndian ? "1.2.840.10008.1.2.2" : "1.2.840.10008.1.2.1");
    } else if (syntax == "1.2.840.10008.1.2") {
        explicitVR = false;
    } else if (syntax == "1.2.840.10008.1.2.2") {
        bigEndian = true;
    } else if (syntax == "1.2.840.10008.1.2.1.99") {
        deflated = true;
    }

    Cursor c{b, size, pos, bigEndian};
    if (deflated) {
        // A raw deflate stream (no zlib header) from the end of the meta group.
        z_stream z{};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
            return fail("the deflated data set cannot be inflated");
        const qint64 limit = qMax<qint64>(inflateLimit, 1 << 20);
        const qint64 chunk = 1 << 20;
        qint64 produced = 0;
        z.next_in = const_cast<Bytef *>(b + pos);
        qint64 inLeft = size - pos;
        int status = Z_OK;
        while (status == Z_OK && produced < limit) {
            inflated.resize(qMin(limit, produced + chunk));
            z.next_out = reinterpret_cast<Bytef *>(inflated.data() + produced);
            z.avail_out = uInt(inflated.size() - produced);
            if (z.avail_in == 0) {
                const qint64 take = qMin<qint64>(inLeft, 1 << 30);
                z.avail_in = uInt(take);
                inLeft -= take;
            }
            status = inflate(&z, Z_NO_FLUSH);
            produced = inflated.size() - z.avail_out;
            if (status == Z_BUF_ERROR && z.avail_in == 0 && inLeft == 0)
                break;
        }
        inflateEnd(&z);
        inflated.resize(produced);
        if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR)
            return fail("the deflated data set is damaged");
        inflatedAll = status == Z_STREAM_END;
        if (!inflatedAll && complete && produced < limit)
            return fail("the deflated data set ends early");
        c = Cursor{reinterpret_cast<const uchar *>(inflated.constData()), produced, 0, false};
        complete = inflatedAll;
    }

    const Status status = parseDataSet(c, c.size, top, 0, false);
    if (status == NeedMore && deflated && wholeFile)
        return fail(
            inflatedAll
                ? QString("the file ends inside its header")
                : QString("the deflated header inflates past %1 MB").arg(inflateLimit >> 20));
    return status;
}

DicomHeader::Status DicomHeader::parseDataSet(Cursor &c, qint64 end, DicomDataSet &set, int depth,
                                              bool undefined)
{
    set.bigEndian = bigEndian;
    while (c.pos < end) {
        if (!c.has(8) || end - c.pos < 8) {
            if (!complete && end == c.size)
                return NeedMore;
            // Trailing padding of a few bytes is left alone.
            if (depth == 0 && !undefined)
                return Complete;
            return fail("the file ends inside an element");
        }
        const quint32 tag = c.tag();
        if (tag == itemEndTag || tag == sequenceEndTag) {
            c.pos += 8;
            if (undefined)
                return Complete;
            continue;
        }
        qint64 length;
        qint64 headerLength;
        char vr[2] = {0, 0};
        if (explicitVR && (tag >> 16) != 0xFFFE) {
            vr[0] = char(c.data[c.pos + 4]);
            vr[1] = char(c.data[c.pos + 5]);
            if (!(vr[0] >= 'A' && vr[0] <= 'Z' && vr[1] >= 'A' && vr[1] <= 'Z'))
                return fail(
                    QString("the element %1 has no value representation").arg(tagName(tag)));
            if (hasLongLength(vr)) {
                if (!c.has(12)) {
                    if (!complete)
                        return NeedMore;
                    return fail("the file ends inside an element");
                }
                length = c.u32(bigEndian, c.pos + 8);
                headerLength = 12;
            } else {
                length = bigEndian ? qFromBigEndian<quint16>(c.data + c.pos + 6)
                                   : qFromLittleEndian<quint16>(c.data + c.pos + 6);
                headerLength = 8;
            }
        } else {
            length = c.u32(bigEndian, c.pos + 4);
            headerLength = 8;
        }
        c.pos += headerLength;

        if (tag == Dicom::PixelData && depth == 0) {
            pixelFound = true;
            if (length == undefinedLength) {
                encapsulated = true;
                return parseFragments(c);
            }
            pixels = Range{c.pos, length};
            return Complete;
        }
        const bool isSequence = (vr[0] == 'S' && vr[1] == 'Q') || length == undefinedLength ||
                                (!explicitVR && keepsItems(tag));
        if (isSequence) {
            if (depth >= deepestNesting)
                return fail("sequences nest too deeply");
            std::vector<DicomDataSet> *items = keepsItems(tag) ? &set.sequences[tag] : nullptr;
            if (length == undefinedLength) {
                // An unknown element of undefined length holds implicit VR
                // little-endian items (PS3.5 6.2.2).
                const bool unknown = vr[0] == 'U' && vr[1] == 'N';
                const bool wasExplicit = explicitVR, wasBig = bigEndian;
                if (unknown) {
                    explicitVR = c.bigEndian = bigEndian = false;
                }
                const Status s = parseSequence(c, end, items, depth + 1, true);
                explicitVR = wasExplicit;
                c.bigEndian = bigEndian = wasBig;
                if (s != Complete)
                    return s;
                continue;
            }
            if (length > end - c.pos) {
                if (!complete && end == c.size)
                    return NeedMore;
                return fail(
                    QString("the sequence %1 runs past the end of its data set").arg(tagName(tag)));
            }
            const Status s = parseSequence(c, c.pos + length, items, depth + 1, false);
            if (s != Complete)
                return s;
            continue;
        }
        if (length > end - c.pos) {
            if (!complete && end == c.size)
                return NeedMore;
            return fail(QString("the element %1 of %2 bytes runs past the end of the file")
                            .arg(tagName(tag))
                            .arg(length));
        }
        if (length <= longestKeptValue)
            set.values.insert(
                tag, QByteArray(reinterpret_cast<const char *>(c.data + c.pos), int(length)));
        c.pos += length;
    }
    if (undefined)
        return fail("an item has no end");
    return Complete;
}

DicomHeader::Status DicomHeader::parseSequence(Cursor &c, qint64 end,
                                               std::vector<DicomDataSet> *items, int depth,
                                               bool undefined)
{
    while (c.pos < end) {
        if (!c.has(8) || end - c.pos < 8) {
            if (!complete && end == c.size)
                return NeedMore;
            return fail("the file ends inside a sequence");
        }
        const quint32 tag = c.tag();
        const qint64 length = c.u32(bigEndian, c.pos + 4);
        c.pos += 8;
        if (tag == sequenceEndTag) {
            if (undefined)
                return Complete;
            continue;
        }
        if (tag != itemTag)
            return fail(QString("a sequence holds %1 where an item belongs").arg(tagName(tag)));
        DicomDataSet scratch;
        DicomDataSet &item = items ? (items->emplace_back(), items->back()) : scratch;
        Status s;
        if (length == undefinedLength) {
            s = parseDataSet(c, end, item, depth, true);
        } else {
            if (length > end - c.pos) {
                if (!complete && end == c.size)
                    return NeedMore;
                return fail("an item runs past the end of its sequence");
            }
            s = parseDataSet(c, c.pos + length, item, depth, false);
        }
        if (s != Complete)
            return s;
    }
    if (undefined)
        return fail("a sequence has no end");
    return Complete;
}

DicomHeader::Status DicomHeader::parseFragments(Cursor &c)
{
    // Items of defined length up to the sequence delimiter; the first is the
    // basic offset table (PS3.5 A.4). Only lengths are read, never the bytes.
    while (true) {
        if (!c.has(8)) {
            if (!complete)
                return Complete; // a header scan needs no fragments
            return fail("the compressed pixel data ends early");
        }
        const quint32 tag = c.tag();
        const qint64 length = c.u32(bigEndian, c.pos + 4);
        c.pos += 8;
        if (tag == sequenceEndTag)
            return Complete;
        if (tag != itemTag || length == undefinedLength)
            return fail("the compressed pixel data is damaged");
        if (length > c.size - c.pos) {
            if (!complete)
                return Complete;
            return fail("a fragment of the compressed pixel data runs past the end of the file");
        }
        pieces.push_back(Range{c.pos, length});
        c.pos += length;
    }
}

bool Dicom::isDicomByContent(const QString &fileName)
{
    QFile file;
    if (!LocalFiles::openRegular(file, fileName))
        return false;
    char head[132];
    qint64 got = 0;
    while (got < qint64(sizeof head)) {
        const qint64 n = file.read(head + got, qint64(sizeof head) - got);
        if (n <= 0)
            return false;
        got += n;
    }
    return memcmp(head + 128, "DICM", 4) == 0;
}

const DicomDataSet *Dicom::frameGroup(const DicomDataSet &set, qsizetype frame, quint32 sequence,
                                      quint32 tag)
{
    for (const quint32 groups : {quint32(PerFrameGroups), quint32(SharedGroups)}) {
        const DicomDataSet *group = set.item(groups, groups == PerFrameGroups ? frame : 0);
        if (!group)
            continue;
        const DicomDataSet *inner = group->item(sequence);
        if (inner && inner->has(tag))
            return inner;
    }
    return set.has(tag) ? &set : nullptr;
}
