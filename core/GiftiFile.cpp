#include "GiftiFile.h"

#include "LocalFiles.h"

#include <QFile>
#include <QHash>
#include <QXmlStreamReader>
#include <QtEndian>

#include <array>
#include <charconv>
#include <cstring>
#include <new>

#include <zlib.h>

namespace {

// Larger than any surface file a pipeline writes (a few million vertices as
// ASCII), small enough that the file and the XML reader's copy of it fit.
constexpr qint64 maxFileSize = qint64(512) << 20;
// Values of all arrays of a file: a surface of millions of vertices, or
// hundreds of time points of a dense one.
constexpr qint64 maxValues = qint64(1) << 26;
constexpr int maxArrays = 65536;
// The most zlib's deflate makes of a byte, with room for a stream's header.
constexpr qint64 maxInflateRatio = 1032;
constexpr qint64 streamOverhead = 64;

struct Intent
{
    const char *name;
    int code;
};

const Intent intents[] = {
    {"NIFTI_INTENT_NONE", 0},           {"NIFTI_INTENT_CORREL", 2},
    {"NIFTI_INTENT_TTEST", 3},          {"NIFTI_INTENT_FTEST", 4},
    {"NIFTI_INTENT_ZSCORE", 5},         {"NIFTI_INTENT_CHISQ", 6},
    {"NIFTI_INTENT_BETA", 7},           {"NIFTI_INTENT_BINOM", 8},
    {"NIFTI_INTENT_GAMMA", 9},          {"NIFTI_INTENT_POISSON", 10},
    {"NIFTI_INTENT_NORMAL", 11},        {"NIFTI_INTENT_FTEST_NONC", 12},
    {"NIFTI_INTENT_CHISQ_NONC", 13},    {"NIFTI_INTENT_LOGISTIC", 14},
    {"NIFTI_INTENT_LAPLACE", 15},       {"NIFTI_INTENT_UNIFORM", 16},
    {"NIFTI_INTENT_TTEST_NONC", 17},    {"NIFTI_INTENT_WEIBULL", 18},
    {"NIFTI_INTENT_CHI", 19},           {"NIFTI_INTENT_INVGAUSS", 20},
    {"NIFTI_INTENT_EXTVAL", 21},        {"NIFTI_INTENT_PVAL", 22},
    {"NIFTI_INTENT_LOGPVAL", 23},       {"NIFTI_INTENT_LOG10PVAL", 24},
    {"NIFTI_INTENT_ESTIMATE", 1001},    {"NIFTI_INTENT_LABEL", 1002},
    {"NIFTI_INTENT_NEURONAME", 1003},   {"NIFTI_INTENT_GENMATRIX", 1004},
    {"NIFTI_INTENT_SYMMATRIX", 1005},   {"NIFTI_INTENT_DISPVECT", 1006},
    {"NIFTI_INTENT_VECTOR", 1007},      {"NIFTI_INTENT_POINTSET", 1008},
    {"NIFTI_INTENT_TRIANGLE", 1009},    {"NIFTI_INTENT_QUATERNION", 1010},
    {"NIFTI_INTENT_DIMLESS", 1011},     {"NIFTI_INTENT_TIME_SERIES", 2001},
    {"NIFTI_INTENT_NODE_INDEX", 2002},  {"NIFTI_INTENT_RGB_VECTOR", 2003},
    {"NIFTI_INTENT_RGBA_VECTOR", 2004}, {"NIFTI_INTENT_SHAPE", 2005},
};

constexpr int labelIntent = 1002;
constexpr int pointSetIntent = 1008;
constexpr int triangleIntent = 1009;

// Intents of one value per vertex.
bool isPerVertexIntent(int code)
{
    return code == 0 || GiftiFile::isStatisticIntent(code) || code == 1001 || code == 1011 ||
           code == 2001 || code == 2005;
}

// A text of the file as a message shows it: one line, not too long.
QString shown(QStringView text)
{
    const QString printable = LocalFiles::printable(text.left(80).toString());
    return text.size() > 80 ? printable + "..." : printable;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\t' || c == '\r';
}

// Base64 with XML whitespace anywhere, padded or not. The bytes the text
// holds, of which the first capacity are written; -1 for a character outside
// the alphabet or padding before the end.
qint64 decodeBase64(const char *text, qint64 length, uchar *out, qint64 capacity)
{
    enum : uchar { Space = 64, Pad = 65, Bad = 255 };
    static const auto table = [] {
        std::array<uchar, 256> t;
        t.fill(Bad);
        const char *alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int i = 0; i < 64; ++i)
            t[uchar(alphabet[i])] = uchar(i);
        t[' '] = t['\n'] = t['\t'] = t['\r'] = Space;
        t['='] = Pad;
        return t;
    }();
    qint64 produced = 0;
    quint32 bits = 0;
    int sextets = 0;
    auto put = [&](uchar byte) {
        if (produced < capacity)
            out[produced] = byte;
        ++produced;
    };
    qint64 i = 0;
    while (i < length) {
        // Four characters of the alphabet at once, as nearly all are.
        if (sextets == 0 && i + 4 <= length && produced + 3 <= capacity) {
            const quint32 a = table[uchar(text[i])], b = table[uchar(text[i + 1])],
                          c = table[uchar(text[i + 2])], d = table[uchar(text[i + 3])];
            if (((a | b | c | d) & 0xC0) == 0) {
                const quint32 word = a << 18 | b << 12 | c << 6 | d;
                out[produced] = uchar(word >> 16);
                out[produced + 1] = uchar(word >> 8);
                out[produced + 2] = uchar(word);
                produced += 3;
                i += 4;
                continue;
            }
        }
        const uchar v = table[uchar(text[i])];
        if (v < 64) {
            bits = bits << 6 | v;
            if (++sextets == 4) {
                put(uchar(bits >> 16));
                put(uchar(bits >> 8));
                put(uchar(bits));
                bits = 0;
                sextets = 0;
            }
        } else if (v == Pad) {
            break;
        } else if (v != Space) {
            return -1;
        }
        ++i;
    }
    // Only padding and whitespace may follow the first pad.
    for (; i < length; ++i) {
        const uchar v = table[uchar(text[i])];
        if (v != Pad && v != Space)
            return -1;
    }
    if (sextets == 1)
        return -1;
    if (sextets == 2) {
        put(uchar(bits >> 4));
    } else if (sextets == 3) {
        put(uchar(bits >> 10));
        put(uchar(bits >> 2));
    }
    return produced;
}

// Reorders count values from column-major (the first dimension fastest) to
// row-major.
template <typename T> void toRowMajor(std::vector<T> &values, const std::vector<qint64> &dims)
{
    if (dims.size() < 2)
        return;
    std::vector<T> ordered(values.size());
    std::vector<qint64> index(dims.size(), 0), stride(dims.size(), 1);
    for (size_t k = dims.size() - 1; k > 0; --k)
        stride[k - 1] = stride[k] * dims[k];
    qint64 at = 0;
    for (const T &value : values) {
        ordered[size_t(at)] = value;
        for (size_t k = 0; k < dims.size(); ++k) {
            at += stride[k];
            if (++index[k] < dims[k])
                break;
            at -= stride[k] * dims[k];
            index[k] = 0;
        }
    }
    values.swap(ordered);
}

template <typename T> bool allocate(std::vector<T> &into, qint64 count)
{
    try {
        into.resize(size_t(count));
    } catch (const std::bad_alloc &) {
        return false;
    }
    return true;
}

// Text the XML reader would give back as its bytes: printable ASCII and
// whitespace, without references or the "]]>" XML forbids in text.
bool isPlainText(const char *text, qint64 length)
{
    // Bitwise, without branches, so that the compiler checks many bytes at
    // once; a search for "]]>" is slow and seldom needed.
    uchar bad = 0, bracket = 0;
    for (qint64 i = 0; i < length; ++i) {
        const uchar c = uchar(text[i]);
        bad |= uchar(c >= 0x80) | uchar(c == '&') |
               (uchar(c < 0x20) & uchar(c != '\n') & uchar(c != '\t') & uchar(c != '\r'));
        bracket |= uchar(c == ']');
    }
    return !bad && !(bracket && QByteArrayView(text, length).contains("]]>"));
}

// Whether each character of a document in the encoding its declaration names
// is the byte it reads as, so that data texts may be cut out of the bytes:
// UTF-8 and its ASCII and Latin-1 kin. Any other (UTF-7 shifts '+' runs,
// UTF-16 has two bytes a character, told by its mark) leaves the whole file
// to the XML reader.
bool bytesAreCharacters(QStringView declared, const QByteArray &document)
{
    if (declared.isEmpty())
        return !document.startsWith("\xFE\xFF") && !document.startsWith("\xFF\xFE") &&
               !(document.size() > 1 && document[1] == '\0');
    return declared.compare(u"UTF-8", Qt::CaseInsensitive) == 0 ||
           declared.compare(u"US-ASCII", Qt::CaseInsensitive) == 0 ||
           declared.compare(u"ISO-8859-1", Qt::CaseInsensitive) == 0;
}

} // namespace

// Where the text of a Data element lies in the file's bytes, when it was
// taken out of the document the XML reader sees; begin is -1 when it was not.
struct GiftiFile::DataText
{
    qint64 begin = -1, end = -1;
};

qint64 GiftiArray::valueCount() const
{
    qint64 count = dims.empty() ? 0 : 1;
    for (const qint64 d : dims)
        count *= d;
    return count;
}

float GiftiArray::valueAt(qint64 index) const
{
    return type == Type::Float32 ? floats[size_t(index)] : float(ints[size_t(index)]);
}

QString GiftiArray::metaValue(const QString &name) const
{
    for (const auto &entry : metaData) {
        if (entry.first == name)
            return entry.second;
    }
    return QString();
}

bool GiftiFile::isGiftiFileName(const QString &fileName)
{
    return fileName.endsWith(QLatin1String(".gii"), Qt::CaseInsensitive);
}

int GiftiFile::intentCode(const QString &name)
{
    for (const Intent &intent : intents) {
        if (name == QLatin1String(intent.name))
            return intent.code;
    }
    return -1;
}

bool GiftiFile::isStatisticIntent(int code)
{
    return code >= 2 && code <= 24;
}

bool GiftiFile::fail(const QString &why)
{
    failure = why;
    return false;
}

void GiftiFile::clear()
{
    failure.clear();
    gifti.clear();
    fileMetaData.clear();
    labels.clear();
    dataArrays.clear();
    valuesRead = 0;
    metaDataRead = 0;
    dataElementsSeen = 0;
}

bool GiftiFile::read(const QString &fileName)
{
    clear();
    QFile file;
    QString why;
    if (!LocalFiles::openRegular(file, fileName, QIODevice::ReadOnly, &why))
        return fail(why);
    return read(file);
}

bool GiftiFile::read(QIODevice &device)
{
    clear();
    const qint64 size = device.size() - device.pos();
    if (size > maxFileSize)
        return fail(QString("a GIfTI file of %1 bytes is more than the viewer reads (%2)")
                        .arg(size)
                        .arg(maxFileSize));
    QByteArray contents;
    try {
        contents = device.read(size);
    } catch (const std::bad_alloc &) {
        return fail(QString("no memory for a file of %1 bytes").arg(size));
    }
    if (contents.size() != size)
        return fail("not a readable GIfTI file (cannot be read)");
    return readContents(contents);
}

// The XML reader is slow on long texts, and the arrays' data are most of a
// file: their texts are cut out of the document it reads and decoded from the
// file's bytes. Each Data element the reader meets is matched with the cut of
// the same order by the number left in its place; should they not match (the
// text was not plain, or an entity brought in markup), the whole file is read
// again with its texts in place.
bool GiftiFile::readContents(const QByteArray &contents)
{
    clear();
    raw = &contents;
    Outcome outcome = Outcome::Misread;
    if (takeDataDirectly) {
        std::vector<DataText> texts;
        QByteArray skeleton;
        const char *bytes = contents.constData();
        const qint64 size = contents.size();
        qint64 copied = 0;
        qint64 i = 0;
        auto find = [&](qint64 from, const char *what) -> qint64 {
            const qsizetype at = contents.indexOf(what, from);
            return at < 0 ? size : at;
        };
        auto startsWith = [&](qint64 at, const char *what) {
            return qint64(at + strlen(what)) <= size && memcmp(bytes + at, what, strlen(what)) == 0;
        };
        while (i < size) {
            const void *lt = memchr(bytes + i, '<', size_t(size - i));
            if (!lt)
                break;
            i = static_cast<const char *>(lt) - bytes;
            if (startsWith(i, "<!--")) {
                i = find(i + 4, "-->") + 3;
            } else if (startsWith(i, "<![CDATA[")) {
                i = find(i + 9, "]]>") + 3;
            } else if (startsWith(i, "<?")) {
                i = find(i + 2, "?>") + 2;
            } else if (startsWith(i, "<!")) {
                // A declaration, with an internal subset in brackets and
                // quoted literals that may hold '>'.
                int depth = 0;
                char quote = 0;
                for (++i; i < size; ++i) {
                    const char c = bytes[i];
                    if (quote) {
                        quote = c == quote ? 0 : quote;
                    } else if (c == '"' || c == '\'') {
                        quote = c;
                    } else if (c == '[') {
                        ++depth;
                    } else if (c == ']') {
                        --depth;
                    } else if (c == '>' && depth <= 0) {
                        break;
                    }
                }
                ++i;
            } else if (startsWith(i, "</")) {
                i = find(i + 2, ">") + 1;
            } else {
                // A start tag: its attribute values may hold '>'.
                const qint64 nameStart = i + 1;
                char quote = 0;
                for (++i; i < size; ++i) {
                    const char c = bytes[i];
                    if (quote)
                        quote = c == quote ? 0 : quote;
                    else if (c == '"' || c == '\'')
                        quote = c;
                    else if (c == '>')
                        break;
                }
                if (i >= size)
                    break;
                // The name, then '>', '/' or a space: i is on the '>'.
                const bool isData = i - nameStart >= 4 &&
                                    memcmp(bytes + nameStart, "Data", 4) == 0 &&
                                    (bytes[nameStart + 4] == '>' || bytes[nameStart + 4] == '/' ||
                                     isSpace(bytes[nameStart + 4]));
                ++i;
                if (!isData)
                    continue;
                DataText text;
                if (bytes[i - 2] == '/') {
                    texts.push_back(text);
                    continue;
                }
                const void *next = memchr(bytes + i, '<', size_t(size - i));
                const qint64 end = next ? static_cast<const char *>(next) - bytes : size;
                qint64 close = end + 6;
                while (close < size && isSpace(bytes[close]))
                    ++close;
                if (next && startsWith(end, "</Data") && close < size && bytes[close] == '>' &&
                    isPlainText(bytes + i, end - i)) {
                    text.begin = i;
                    text.end = end;
                    skeleton.append(bytes + copied, i - copied);
                    skeleton.append('#').append(QByteArray::number(qint64(texts.size())));
                    copied = end;
                    i = end;
                }
                texts.push_back(text);
            }
        }
        skeleton.append(bytes + copied, size - copied);
        outcome = parse(skeleton, texts);
        // An XML error is reported where it lies in the file itself.
        if (outcome == Outcome::Failed && failure.startsWith(QLatin1String("not a readable GIfTI")))
            outcome = Outcome::Misread;
    }
    if (outcome == Outcome::Misread) {
        clear();
        outcome = parse(contents, {});
    }
    raw = nullptr;
    if (outcome != Outcome::Read) {
        const QString why = failure;
        clear();
        return fail(why);
    }
    if (!checkArrays()) {
        const QString why = failure;
        clear();
        return fail(why);
    }
    return true;
}

GiftiFile::Outcome GiftiFile::parse(const QByteArray &document, const std::vector<DataText> &texts)
{
    QXmlStreamReader xml(document);
    auto xmlFailure = [&] {
        QString why = xml.errorString();
        if (why.endsWith('.'))
            why.chop(1);
        fail(QString("not a readable GIfTI file (%1, line %2)")
                 .arg(why.left(1).toLower() + why.mid(1))
                 .arg(xml.lineNumber()));
        return Outcome::Failed;
    };
    // The declaration names the encoding on the first token alone.
    const QString declared = xml.readNext() == QXmlStreamReader::StartDocument
                                 ? xml.documentEncoding().toString()
                                 : QString();
    if (!texts.empty() && !bytesAreCharacters(declared, document))
        return Outcome::Misread;
    if (!xml.readNextStartElement())
        return xmlFailure();
    if (xml.name() != QLatin1String("GIFTI")) {
        fail(QString("not a GIfTI file (its first element is <%1>)").arg(shown(xml.name())));
        return Outcome::Failed;
    }
    gifti = xml.attributes().value("Version").toString();
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("MetaData")) {
            if (!readMetaData(xml, fileMetaData))
                return Outcome::Failed;
        } else if (xml.name() == QLatin1String("LabelTable")) {
            if (!readLabelTable(xml))
                return Outcome::Failed;
        } else if (xml.name() == QLatin1String("DataArray")) {
            const Outcome outcome = readDataArray(xml, texts);
            if (outcome != Outcome::Read)
                return xml.hasError() ? xmlFailure() : outcome;
        } else {
            skipElement(xml);
        }
    }
    while (!xml.atEnd() && !xml.hasError())
        xml.readNext();
    if (xml.hasError())
        return xmlFailure();
    if (!texts.empty() && size_t(dataElementsSeen) != texts.size())
        return Outcome::Misread;
    return Outcome::Read;
}

// Elements the viewer has no use for, counting the Data elements within.
void GiftiFile::skipElement(QXmlStreamReader &xml)
{
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            if (xml.name() == QLatin1String("Data"))
                ++dataElementsSeen;
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
}

bool GiftiFile::readMetaData(QXmlStreamReader &xml, QList<QPair<QString, QString>> &into)
{
    while (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("MD")) {
            skipElement(xml);
            continue;
        }
        if (++metaDataRead > SurfaceFiles::maxTableEntries)
            return fail(
                QString("more than %1 metadata entries").arg(SurfaceFiles::maxTableEntries));
        QPair<QString, QString> entry;
        while (xml.readNextStartElement()) {
            if (xml.name() == QLatin1String("Name"))
                entry.first = xml.readElementText().trimmed();
            else if (xml.name() == QLatin1String("Value"))
                entry.second = xml.readElementText().trimmed();
            else
                skipElement(xml);
        }
        into.append(entry);
    }
    return true;
}

bool GiftiFile::readLabelTable(QXmlStreamReader &xml)
{
    while (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("Label")) {
            skipElement(xml);
            continue;
        }
        if (qint64(labels.size()) >= SurfaceFiles::maxTableEntries)
            return fail(
                QString("a label table of more than %1 labels").arg(SurfaceFiles::maxTableEntries));
        const QXmlStreamAttributes attributes = xml.attributes();
        VertexLabels::Label label;
        bool ok = false;
        label.key = attributes.value("Key").toInt(&ok);
        if (!ok)
            return fail(QString("label %1 of the label table has the key \"%2\"")
                            .arg(labels.size() + 1)
                            .arg(shown(attributes.value("Key"))));
        const char *components[] = {"Red", "Green", "Blue", "Alpha"};
        quint8 *into[] = {&label.red, &label.green, &label.blue, &label.alpha};
        label.hasColour = false;
        for (int c = 0; c < 4; ++c) {
            if (!attributes.hasAttribute(components[c]))
                continue;
            const float value = attributes.value(components[c]).toFloat(&ok);
            if (!ok || !(value >= 0.0f && value <= 1.0f))
                return fail(QString("label %1 has the %2 value \"%3\", not one from 0 to 1")
                                .arg(label.key)
                                .arg(QString(components[c]).toLower())
                                .arg(shown(attributes.value(components[c]))));
            *into[c] = quint8(qRound(value * 255.0f));
            label.hasColour |= c < 3;
        }
        label.name = xml.readElementText().trimmed();
        labels.push_back(label);
    }
    return true;
}

GiftiFile::Outcome GiftiFile::readDataArray(QXmlStreamReader &xml,
                                            const std::vector<DataText> &texts)
{
    const int number = int(dataArrays.size()) + 1;
    if (number > maxArrays) {
        fail(QString("more than %1 data arrays").arg(maxArrays));
        return Outcome::Failed;
    }
    const QString arrayName = QString("data array %1").arg(number);
    auto refuse = [&](const QString &why) {
        fail(arrayName + " " + why);
        return Outcome::Failed;
    };
    const QXmlStreamAttributes attributes = xml.attributes();
    GiftiArray array;

    array.intent = attributes.hasAttribute("Intent") ? attributes.value("Intent").toString()
                                                     : QString("NIFTI_INTENT_NONE");
    array.intentCode = intentCode(array.intent);
    if (array.intentCode < 0)
        return refuse(
            QString("has the intent \"%1\", which is no NIfTI intent").arg(shown(array.intent)));

    const QStringView type = attributes.value("DataType");
    if (type == QLatin1String("NIFTI_TYPE_FLOAT32"))
        array.type = GiftiArray::Type::Float32;
    else if (type == QLatin1String("NIFTI_TYPE_INT32"))
        array.type = GiftiArray::Type::Int32;
    else if (type == QLatin1String("NIFTI_TYPE_UINT8"))
        array.type = GiftiArray::Type::UInt8;
    else
        return refuse(QString("holds values of the type \"%1\"; the viewer reads FLOAT32, INT32 "
                              "and UINT8")
                          .arg(shown(type)));

    bool ok = false;
    const int dimensionality = attributes.value("Dimensionality").toInt(&ok);
    if (!ok || dimensionality < 1 || dimensionality > 6)
        return refuse(QString("has the dimensionality \"%1\", not 1 to 6")
                          .arg(shown(attributes.value("Dimensionality"))));
    qint64 count = 1;
    for (int d = 0; d < dimensionality; ++d) {
        const QString name = QString("Dim%1").arg(d);
        const qint64 size = attributes.value(name).toLongLong(&ok);
        if (!ok || size < 0)
            return refuse(QString("has the %1 \"%2\"").arg(name, shown(attributes.value(name))));
        if (size == 0)
            return refuse("holds no values");
        if (size > maxValues || count * size > maxValues - valuesRead)
            return refuse(
                QString("has more values than the viewer reads in a file (%1)").arg(maxValues));
        count *= size;
        array.dims.push_back(size);
    }
    valuesRead += count;

    const QStringView order = attributes.value("ArrayIndexingOrder");
    if (order == QLatin1String("ColumnMajorOrder"))
        array.columnMajor = true;
    else if (!order.isEmpty() && order != QLatin1String("RowMajorOrder"))
        return refuse(QString("has the indexing order \"%1\"").arg(shown(order)));

    const QStringView external = attributes.value("ExternalFileName");
    array.encoding = attributes.value("Encoding").toString();
    if (!external.trimmed().isEmpty())
        return refuse(QString("keeps its data in another file (%1), which the viewer does not "
                              "open")
                          .arg(shown(external)));
    if (array.encoding == QLatin1String("ExternalFileBinary"))
        return refuse("keeps its data in another file, which the viewer does not open");
    if (array.encoding != QLatin1String("ASCII") &&
        array.encoding != QLatin1String("Base64Binary") &&
        array.encoding != QLatin1String("GZipBase64Binary"))
        return refuse(QString("has the encoding \"%1\"; the viewer reads ASCII, Base64Binary and "
                              "GZipBase64Binary")
                          .arg(shown(array.encoding)));
    array.endian = attributes.value("Endian").toString();
    if (array.endian.isEmpty())
        array.endian = "LittleEndian";
    if (array.endian != QLatin1String("LittleEndian") && array.endian != QLatin1String("BigEndian"))
        return refuse(QString("has the byte order \"%1\"").arg(shown(array.endian)));

    bool haveData = false;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("MetaData")) {
            if (!readMetaData(xml, array.metaData))
                return Outcome::Failed;
        } else if (xml.name() == QLatin1String("CoordinateSystemTransformMatrix") &&
                   array.transform.empty()) {
            QString matrix;
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("DataSpace"))
                    array.dataSpace = xml.readElementText().trimmed();
                else if (xml.name() == QLatin1String("TransformedSpace"))
                    array.transformedSpace = xml.readElementText().trimmed();
                else if (xml.name() == QLatin1String("MatrixData"))
                    matrix = xml.readElementText();
                else
                    skipElement(xml);
            }
            const QStringList numbers = matrix.simplified().split(' ', Qt::SkipEmptyParts);
            for (const QString &number : numbers) {
                array.transform.push_back(number.toDouble(&ok));
                if (!ok || numbers.size() != 16)
                    return refuse(
                        QString("has a transform of %1 numbers, not 16").arg(numbers.size()));
            }
        } else if (xml.name() == QLatin1String("Data")) {
            const int seen = dataElementsSeen++;
            if (haveData)
                return refuse("has more than one Data element");
            const QString text = xml.readElementText();
            if (xml.hasError())
                return Outcome::Failed;
            const bool direct = size_t(seen) < texts.size() && texts[size_t(seen)].begin >= 0;
            if (!texts.empty()) {
                const QString mark = QString("#%1").arg(seen);
                if (size_t(seen) >= texts.size() || direct != (text == mark) ||
                    (!direct && text.startsWith('#')))
                    return Outcome::Misread;
            }
            bool decoded;
            if (direct) {
                const DataText &place = texts[size_t(seen)];
                decoded = decode(array, raw->constData() + place.begin, place.end - place.begin);
            } else {
                const QByteArray bytes = text.toLatin1();
                decoded = decode(array, bytes.constData(), bytes.size());
            }
            if (!decoded) {
                fail(arrayName + " " + failure);
                return Outcome::Failed;
            }
            haveData = true;
        } else {
            skipElement(xml);
        }
    }
    if (xml.hasError())
        return Outcome::Failed;
    if (!haveData)
        return refuse("has no Data element");
    dataArrays.push_back(std::move(array));
    return Outcome::Read;
}

// The values of the array from the text of its Data element. A failure says
// what is wrong after the array's name.
bool GiftiFile::decode(GiftiArray &array, const char *text, qint64 length)
{
    const qint64 count = array.valueCount();
    const bool isFloat = array.type == GiftiArray::Type::Float32;
    const qint64 valueSize = array.type == GiftiArray::Type::UInt8 ? 1 : 4;
    const qint64 bytes = count * valueSize;
    const QString noMemory = QString("needs more memory than there is for %1 values").arg(count);

    if (array.encoding == QLatin1String("ASCII")) {
        // A digit and a space at least for each value.
        if (count > (length + 1) / 2)
            return fail(QString("of %1 values is longer than its text of %2 characters")
                            .arg(count)
                            .arg(length));
        if (!(isFloat ? allocate(array.floats, count) : allocate(array.ints, count)))
            return fail(noMemory);
        const char *p = text, *end = text + length;
        for (qint64 n = 0;; ++n) {
            while (p < end && isSpace(*p))
                ++p;
            if (p == end) {
                if (n < count)
                    return fail(
                        QString("holds %1 values where its dimensions need %2").arg(n).arg(count));
                break;
            }
            if (n == count)
                return fail(QString("holds more values than its dimensions (%1)").arg(count));
            if (*p == '+')
                ++p;
            std::from_chars_result parsed;
            if (isFloat) {
                parsed = std::from_chars(p, end, array.floats[size_t(n)]);
            } else {
                qint32 value = 0;
                parsed = std::from_chars(p, end, value);
                if (array.type == GiftiArray::Type::UInt8 && (value < 0 || value > 255))
                    parsed.ec = std::errc::result_out_of_range;
                array.ints[size_t(n)] = value;
            }
            if (parsed.ec != std::errc() || (parsed.ptr < end && !isSpace(*parsed.ptr))) {
                const char *stop = p;
                while (stop < end && !isSpace(*stop) && stop - p < 40)
                    ++stop;
                return fail(QString("holds \"%1\", which is no %2")
                                .arg(shown(QString::fromLatin1(p, stop - p)),
                                     isFloat ? "number" : "whole number in range"));
            }
            p = parsed.ptr;
        }
    } else {
        const bool compressed = array.encoding == QLatin1String("GZipBase64Binary");
        // What the text can hold: 3 bytes in 4 characters, and, compressed,
        // at most zlib's ratio of that.
        const qint64 room = (length + 3) / 4 * 3;
        if (bytes > (compressed ? room * maxInflateRatio + streamOverhead : room))
            return fail(QString("of %1 values is longer than its %2 characters of data can hold")
                            .arg(count)
                            .arg(length));
        std::vector<uchar> packed;
        std::vector<uchar> small;
        uchar *into = nullptr;
        if (!(isFloat ? allocate(array.floats, count) : allocate(array.ints, count)))
            return fail(noMemory);
        if (array.type == GiftiArray::Type::UInt8) {
            if (!allocate(small, count))
                return fail(noMemory);
            into = small.data();
        } else {
            into = isFloat ? reinterpret_cast<uchar *>(array.floats.data())
                           : reinterpret_cast<uchar *>(array.ints.data());
        }
        if (!compressed) {
            const qint64 produced = decodeBase64(text, length, into, bytes);
            if (produced < 0)
                return fail("holds data that is not base64");
            if (produced != bytes)
                return fail(QString("holds %1 bytes where its dimensions need %2")
                                .arg(produced)
                                .arg(bytes));
        } else {
            if (!allocate(packed, room))
                return fail(noMemory);
            const qint64 produced = decodeBase64(text, length, packed.data(), room);
            if (produced < 0)
                return fail("holds data that is not base64");
            if (bytes > produced * maxInflateRatio + streamOverhead)
                return fail(QString("of %1 bytes cannot come from %2 compressed bytes")
                                .arg(bytes)
                                .arg(produced));
            z_stream stream;
            memset(&stream, 0, sizeof stream);
            // Either a zlib or a gzip header.
            if (inflateInit2(&stream, 15 + 32) != Z_OK)
                return fail(noMemory);
            stream.next_in = packed.data();
            stream.avail_in = uInt(produced);
            stream.next_out = into;
            stream.avail_out = uInt(bytes);
            int result = Z_OK;
            while (result == Z_OK && stream.avail_out > 0 && stream.avail_in > 0)
                result = inflate(&stream, Z_NO_FLUSH);
            const qint64 inflated = bytes - stream.avail_out;
            bool more = false;
            if (result == Z_OK && stream.avail_out == 0) {
                // Full: the stream must end here.
                uchar spare;
                stream.next_out = &spare;
                stream.avail_out = 1;
                result = inflate(&stream, Z_NO_FLUSH);
                more = stream.avail_out == 0;
            }
            const QString message = stream.msg ? QString::fromLatin1(stream.msg) : QString();
            inflateEnd(&stream);
            if (more)
                return fail(
                    QString("holds more data than its dimensions need (%1 bytes)").arg(bytes));
            if (result == Z_DATA_ERROR || result == Z_NEED_DICT)
                return fail(QString("holds damaged compressed data (%1)").arg(message));
            if (result == Z_MEM_ERROR)
                return fail(noMemory);
            if (result != Z_STREAM_END)
                return fail(QString("holds compressed data that is cut short after %1 bytes")
                                .arg(inflated));
            if (inflated != bytes)
                return fail(QString("holds %1 bytes where its dimensions need %2")
                                .arg(inflated)
                                .arg(bytes));
        }
        if (valueSize == 4 && array.endian == QLatin1String("BigEndian"))
            SurfaceFiles::bigEndianToHost(into, count);
        else if (valueSize == 4)
            SurfaceFiles::littleEndianToHost(into, count);
        if (array.type == GiftiArray::Type::UInt8)
            std::copy(small.begin(), small.end(), array.ints.begin());
    }
    if (array.columnMajor) {
        try {
            if (isFloat)
                toRowMajor(array.floats, array.dims);
            else
                toRowMajor(array.ints, array.dims);
        } catch (const std::bad_alloc &) {
            return fail(noMemory);
        }
    }
    return true;
}

bool GiftiFile::checkArrays()
{
    const GiftiArray *points = nullptr;
    const GiftiArray *triangles = nullptr;
    for (size_t i = 0; i < dataArrays.size(); ++i) {
        const GiftiArray &array = dataArrays[i];
        const QString name = QString("data array %1").arg(i + 1);
        const bool byThree = array.dims.size() == 2 && array.dims[1] == 3;
        const bool perVertex =
            array.dims.size() == 1 || (array.dims.size() == 2 && array.dims[1] == 1);
        if (array.intentCode == pointSetIntent && !points) {
            if (!byThree || array.type != GiftiArray::Type::Float32)
                return fail(name + " holds vertices that are not float triples");
            if (array.dims[0] > SurfaceFiles::maxVertices)
                return fail(QString("a surface of %1 vertices is more than the viewer holds (%2)")
                                .arg(array.dims[0])
                                .arg(SurfaceFiles::maxVertices));
            points = &array;
        } else if (array.intentCode == triangleIntent && !triangles) {
            if (!byThree || array.type == GiftiArray::Type::Float32)
                return fail(name + " holds triangles that are not triples of vertex numbers");
            if (array.dims[0] > SurfaceFiles::maxFaces)
                return fail(QString("a surface of %1 triangles is more than the viewer holds (%2)")
                                .arg(array.dims[0])
                                .arg(SurfaceFiles::maxFaces));
            triangles = &array;
        } else if (array.intentCode == labelIntent) {
            if (!perVertex || array.type == GiftiArray::Type::Float32)
                return fail(name + " holds labels that are not one whole number per vertex");
        }
    }
    if (points && triangles) {
        const QString problem = SurfaceFiles::geometryProblem(
            points->floats.data(), points->dims[0], triangles->ints.data(), triangles->dims[0]);
        if (!problem.isEmpty())
            return fail(problem);
    } else if (triangles) {
        for (size_t i = 0; i < triangles->ints.size(); ++i) {
            if (triangles->ints[i] < 0)
                return fail(QString("triangle %1 has a corner %2, which is no vertex")
                                .arg(i / 3)
                                .arg(triangles->ints[i]));
        }
    }
    return true;
}

std::optional<SurfaceGeometry> GiftiFile::surface() const
{
    const GiftiArray *points = nullptr;
    const GiftiArray *triangles = nullptr;
    for (const GiftiArray &array : dataArrays) {
        if (array.intentCode == pointSetIntent && !points)
            points = &array;
        else if (array.intentCode == triangleIntent && !triangles)
            triangles = &array;
    }
    if (!points || !triangles)
        return std::nullopt;
    SurfaceGeometry geometry;
    geometry.xyz = points->floats;
    geometry.faces = triangles->ints;
    return geometry;
}

std::vector<PerVertexValues> GiftiFile::perVertexValues() const
{
    std::vector<PerVertexValues> all;
    for (const GiftiArray &array : dataArrays) {
        if (!isPerVertexIntent(array.intentCode) || array.dims.size() > 2)
            continue;
        const qint64 vertices = array.dims[0];
        const qint64 columns = array.dims.size() == 2 ? array.dims[1] : 1;
        const QString name = array.metaValue("Name");
        for (qint64 c = 0; c < columns; ++c) {
            PerVertexValues values;
            values.intentCode = array.intentCode;
            values.name = columns > 1 ? QString("%1 (%2)").arg(name).arg(c + 1).trimmed() : name;
            values.values.resize(size_t(vertices));
            for (qint64 v = 0; v < vertices; ++v)
                values.values[size_t(v)] = array.valueAt(v * columns + c);
            all.push_back(std::move(values));
        }
    }
    return all;
}

std::optional<VertexLabels> GiftiFile::vertexLabels() const
{
    for (const GiftiArray &array : dataArrays) {
        if (array.intentCode != labelIntent)
            continue;
        VertexLabels result;
        result.table = labels;
        QHash<qint32, int> positionOfKey;
        for (size_t i = 0; i < labels.size(); ++i) {
            if (!positionOfKey.contains(labels[i].key))
                positionOfKey.insert(labels[i].key, int(i));
        }
        result.labelOfVertex.resize(array.ints.size());
        for (size_t v = 0; v < array.ints.size(); ++v)
            result.labelOfVertex[v] = positionOfKey.value(array.ints[v], -1);
        return result;
    }
    return std::nullopt;
}
