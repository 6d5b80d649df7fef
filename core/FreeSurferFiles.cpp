#include "FreeSurferFiles.h"

#include "LocalFiles.h"

#include <QFile>
#include <QHash>
#include <QtEndian>

#include <new>

namespace {

constexpr quint32 triangleMagic = 0xFFFFFE;
constexpr quint32 newQuadMagic = 0xFFFFFD;
// Shared by curvature files and the old quadrangle surfaces.
constexpr quint32 valuesMagic = 0xFFFFFF;
// The created-by line is some tens of characters; its end is looked for no
// further than this.
constexpr qint64 maxCreatedByLength = 64 * 1024;
// The volume geometry after the triangles is some hundred bytes.
constexpr qint64 maxTailRead = 16 * 1024;
constexpr qint64 maxNameLength = 4096;

quint32 magicOf(const QByteArray &bytes)
{
    if (bytes.size() < 3)
        return 0;
    const auto *b = reinterpret_cast<const uchar *>(bytes.constData());
    return quint32(b[0]) << 16 | quint32(b[1]) << 8 | b[2];
}

QString hexMagic(quint32 magic)
{
    return "0x" + QString::number(magic, 16).toUpper().rightJustified(6, '0');
}

// Big-endian numbers from a device, with the bytes left weighed first.
class BigEndianInput
{
public:
    explicit BigEndianInput(QIODevice &device)
        : device(device), end(device.pos() + qMax<qint64>(0, device.size() - device.pos()))
    {
    }
    qint64 left() const { return end - device.pos(); }
    bool readInt(qint32 &value)
    {
        uchar b[4];
        if (device.read(reinterpret_cast<char *>(b), 4) != 4)
            return false;
        value = qFromBigEndian<qint32>(b);
        return true;
    }
    // count 32-bit numbers into place, in the host's order.
    bool readWords(void *into, qint64 count)
    {
        if (device.read(static_cast<char *>(into), 4 * count) != 4 * count)
            return false;
        SurfaceFiles::bigEndianToHost(into, count);
        return true;
    }
    // count 32-bit numbers as the list, a cache-sized piece at a time read
    // into place and turned to the host's order by convert, which may check
    // them while at hand. False when the file ends before or the memory
    // cannot be had.
    template <typename T, typename Convert>
    bool readWords(std::vector<T> &into, qint64 count, Convert convert)
    {
        static_assert(sizeof(T) == 4, "words");
        constexpr qint64 piece = 65536;
        try {
            into.resize(size_t(count));
        } catch (const std::bad_alloc &) {
            noMemory = true;
            return false;
        }
        for (qint64 done = 0; done < count; done += piece) {
            const qint64 n = qMin(piece, count - done);
            if (device.read(reinterpret_cast<char *>(into.data() + done), 4 * n) != 4 * n)
                return false;
            convert(into.data() + done, n);
        }
        return true;
    }
    bool skip(qint64 bytes) { return bytes <= left() && device.seek(device.pos() + bytes); }
    QByteArray read(qint64 bytes) { return device.read(bytes); }
    // Whether the last read failed for want of memory, not of bytes.
    bool noMemory = false;

private:
    QIODevice &device;
    const qint64 end;
};

template <typename T> bool allocate(std::vector<T> &into, qint64 count, T value = T())
{
    try {
        into.assign(size_t(count), value);
    } catch (const std::bad_alloc &) {
        return false;
    }
    return true;
}

} // namespace

FreeSurferReader::Kind FreeSurferReader::kindOf(const QByteArray &firstBytes)
{
    const quint32 magic = magicOf(firstBytes);
    if (magic == triangleMagic)
        return Kind::Surface;
    if (magic == newQuadMagic)
        return Kind::QuadSurface;
    if (magic == valuesMagic) {
        // Curvature files say one value per vertex where a quadrangle surface
        // has its first coordinates.
        if (firstBytes.size() >= 15 && qFromBigEndian<qint32>(firstBytes.constData() + 11) == 1)
            return Kind::Values;
        return Kind::QuadSurface;
    }
    return Kind::Unknown;
}

std::nullopt_t FreeSurferReader::refuse(const QString &why)
{
    failure = why;
    return std::nullopt;
}

bool FreeSurferReader::open(QFile &file, const QString &fileName)
{
    QString why;
    if (LocalFiles::openRegular(file, fileName, QIODevice::ReadOnly | QIODevice::Unbuffered, &why))
        return true;
    failure = why;
    return false;
}

std::optional<SurfaceGeometry> FreeSurferReader::readSurface(const QString &fileName)
{
    QFile file;
    if (!open(file, fileName))
        return std::nullopt;
    return readSurface(file);
}

std::optional<SurfaceGeometry> FreeSurferReader::readSurface(QIODevice &device)
{
    failure.clear();
    const qint64 start = device.pos();
    const QByteArray head = device.read(3 + maxCreatedByLength + 2 + 8);
    const quint32 magic = magicOf(head);
    if (head.size() < 3)
        return refuse("not a readable FreeSurfer surface (cut short in its header)");
    if (magic != triangleMagic) {
        if (kindOf(head) == Kind::QuadSurface)
            return refuse("a FreeSurfer quadrangle surface, which the viewer does not read");
        if (kindOf(head) == Kind::Values)
            return refuse(QString("not a FreeSurfer surface but values per vertex (magic %1)")
                              .arg(hexMagic(magic)));
        return refuse(QString("not a FreeSurfer surface (magic %1)").arg(hexMagic(magic)));
    }
    const qsizetype lineEnd = head.indexOf("\n\n", 3);
    if (lineEnd < 0)
        return refuse("not a readable FreeSurfer surface (its created-by line has no end)");
    const qsizetype countsAt = lineEnd + 2;
    if (head.size() < countsAt + 8)
        return refuse("not a readable FreeSurfer surface (cut short in its header)");
    const quint32 vertices = qFromBigEndian<quint32>(head.constData() + countsAt);
    const quint32 triangles = qFromBigEndian<quint32>(head.constData() + countsAt + 8 - 4);
    if (!device.seek(start + countsAt + 8))
        return refuse("not a readable FreeSurfer surface (cannot be read)");

    BigEndianInput in(device);
    const qint64 needed = 12 * qint64(vertices) + 12 * qint64(triangles);
    if (needed > in.left()) {
        return refuse(
            QString("a surface of %1 vertices and %2 triangles is longer than the file: they "
                    "need %3 bytes, %4 are left")
                .arg(vertices)
                .arg(triangles)
                .arg(needed)
                .arg(in.left()));
    }
    if (vertices > SurfaceFiles::maxVertices || triangles > SurfaceFiles::maxFaces) {
        return refuse(
            QString("a surface of %1 vertices and %2 triangles is more than the viewer holds "
                    "(%3 vertices and %4 triangles)")
                .arg(vertices)
                .arg(triangles)
                .arg(SurfaceFiles::maxVertices)
                .arg(SurfaceFiles::maxFaces));
    }

    SurfaceGeometry surface;
    surface.createdBy = QString::fromUtf8(head.constData() + 3, lineEnd - 3);
    quint32 misplaced = 0, outside = 0;
    if (!in.readWords(surface.xyz, 3 * qint64(vertices),
                      [&](float *xyz, qint64 n) {
                          misplaced |= SurfaceFiles::coordinatesFromBigEndian(xyz, n);
                      }) ||
        !in.readWords(surface.faces, 3 * qint64(triangles), [&](qint32 *faces, qint64 n) {
            outside |= SurfaceFiles::cornersFromBigEndian(faces, n, vertices);
        }))
        return refuse(in.noMemory ? QString("no memory for a surface of %1 vertices").arg(vertices)
                                  : QString("not a readable FreeSurfer surface (cannot be read)"));
    const QString problem =
        SurfaceFiles::geometryProblem(surface.xyz.data(), vertices, surface.faces.data(), triangles,
                                      misplaced == 0 && outside == 0);
    if (!problem.isEmpty())
        return refuse(problem);

    // The volume the surface was made in: a tag of 20 (or 2, 0, 20) and key =
    // value lines. Anything else there is left alone.
    const QByteArray tail = in.read(qMin(in.left(), maxTailRead));
    qsizetype at = -1;
    if (tail.size() >= 4 && qFromBigEndian<qint32>(tail.constData()) == 20)
        at = 4;
    else if (tail.size() >= 12 && qFromBigEndian<qint32>(tail.constData()) == 2 &&
             qFromBigEndian<qint32>(tail.constData() + 4) == 0 &&
             qFromBigEndian<qint32>(tail.constData() + 8) == 20)
        at = 12;
    for (int line = 0; at >= 0 && line < 8; ++line) {
        const qsizetype end = tail.indexOf('\n', at);
        if (end < 0)
            break;
        const QString text = QString::fromUtf8(tail.constData() + at, end - at).trimmed();
        const qsizetype equals = text.indexOf('=');
        if (equals <= 0)
            break;
        bool keyIsWord = true;
        for (const QChar c : text.left(equals).trimmed())
            keyIsWord &= c.isLetter();
        if (!keyIsWord)
            break;
        surface.volumeInfo << text;
        at = end + 1;
    }
    return surface;
}

std::optional<PerVertexValues> FreeSurferReader::readValues(const QString &fileName)
{
    QFile file;
    if (!open(file, fileName))
        return std::nullopt;
    return readValues(file);
}

std::optional<PerVertexValues> FreeSurferReader::readValues(QIODevice &device)
{
    failure.clear();
    const QByteArray head = device.read(15);
    const quint32 magic = magicOf(head);
    if (head.size() >= 3 && magic != valuesMagic)
        return refuse(QString("not a FreeSurfer curvature file (magic %1)").arg(hexMagic(magic)));
    if (head.size() < 15)
        return refuse("not a readable FreeSurfer curvature file (cut short in its header)");
    const quint32 vertices = qFromBigEndian<quint32>(head.constData() + 3);
    const quint32 triangles = qFromBigEndian<quint32>(head.constData() + 7);
    const qint32 perVertex = qFromBigEndian<qint32>(head.constData() + 11);
    if (perVertex != 1)
        return refuse(
            QString("%1 values per vertex where curvature files have one").arg(perVertex));
    BigEndianInput in(device);
    if (4 * qint64(vertices) > in.left()) {
        return refuse(
            QString("values of %1 vertices are longer than the file: they need %2 bytes, %3 "
                    "are left")
                .arg(vertices)
                .arg(4 * qint64(vertices))
                .arg(in.left()));
    }
    if (vertices == 0)
        return refuse("an empty file: values of no vertex");
    if (vertices > SurfaceFiles::maxVertices)
        return refuse(QString("values of %1 vertices are more than the viewer holds (%2)")
                          .arg(vertices)
                          .arg(SurfaceFiles::maxVertices));
    PerVertexValues values;
    values.faceCount = triangles;
    if (!in.readWords(values.values, vertices, SurfaceFiles::bigEndianToHost))
        return refuse(in.noMemory ? QString("no memory for values of %1 vertices").arg(vertices)
                                  : QString("not a readable FreeSurfer curvature file (cannot be "
                                            "read)"));
    return values;
}

std::optional<VertexLabels> FreeSurferReader::readAnnotation(const QString &fileName)
{
    QFile file;
    if (!open(file, fileName))
        return std::nullopt;
    return readAnnotation(file);
}

std::optional<VertexLabels> FreeSurferReader::readAnnotation(QIODevice &device)
{
    failure.clear();
    BigEndianInput in(device);
    const QString cutShort = "not a readable FreeSurfer annotation (cut short)";
    qint32 count;
    if (!in.readInt(count))
        return refuse(cutShort);
    const quint32 vertices = quint32(count);
    // The pairs, and the tag of the colour table after them.
    const qint64 needed = 8 * qint64(vertices) + 4;
    if (needed > in.left()) {
        return refuse(
            QString("an annotation of %1 vertices is longer than the file: it needs %2 bytes, "
                    "%3 are left")
                .arg(vertices)
                .arg(needed)
                .arg(in.left()));
    }
    if (vertices == 0)
        return refuse("an empty annotation: it labels no vertex");
    if (vertices > SurfaceFiles::maxVertices)
        return refuse(QString("an annotation of %1 vertices is more than the viewer holds (%2)")
                          .arg(vertices)
                          .arg(SurfaceFiles::maxVertices));
    std::vector<qint32> pairs;
    VertexLabels labels;
    if (!allocate(labels.labelOfVertex, vertices, -1) ||
        !in.readWords(pairs, 2 * qint64(vertices), SurfaceFiles::bigEndianToHost))
        return refuse(in.noMemory || labels.labelOfVertex.empty()
                          ? QString("no memory for an annotation of %1 vertices").arg(vertices)
                          : cutShort);
    for (quint32 i = 0; i < vertices; ++i) {
        if (quint32(pairs[2 * i]) >= vertices)
            return refuse(QString("annotation entry %1 is for vertex %2, not one of the %3")
                              .arg(i)
                              .arg(pairs[2 * i])
                              .arg(vertices));
    }

    qint32 tag, entries;
    if (!in.readInt(tag))
        return refuse(cutShort);
    if (tag != 1)
        return refuse(QString("an annotation without its colour table (tag %1)").arg(tag));
    if (!in.readInt(entries))
        return refuse(cutShort);
    const bool numbered = entries < 0;
    qint32 maxKey = 0;
    if (numbered) {
        if (entries != -2)
            return refuse(QString("a colour table of version %1, which the viewer does not read")
                              .arg(-qint64(entries)));
        if (!in.readInt(maxKey))
            return refuse(cutShort);
    } else if (entries == 0) {
        return refuse("an annotation with an empty colour table");
    }
    qint32 length;
    if (!in.readInt(length))
        return refuse(cutShort);
    // The name of the table the colours came from is not needed.
    if (length < 0 || !in.skip(length))
        return refuse(cutShort);
    if (numbered && !in.readInt(entries))
        return refuse(cutShort);
    // Each entry holds at least its name's length and four colour components,
    // and in version 2 its number.
    const qint64 entryBytes = numbered ? 24 : 20;
    if (entries < 0 || entries * entryBytes > in.left())
        return refuse(QString("a colour table of %1 entries is longer than the file").arg(entries));
    if (entries > SurfaceFiles::maxTableEntries)
        return refuse(QString("a colour table of %1 entries is more than the viewer holds (%2)")
                          .arg(entries)
                          .arg(SurfaceFiles::maxTableEntries));

    labels.table.reserve(size_t(entries));
    QHash<qint32, int> positionOfValue;
    for (qint32 e = 0; e < entries; ++e) {
        VertexLabels::Label label;
        label.key = e;
        qint32 nameLength, rgbt[4];
        if (numbered && !in.readInt(label.key))
            return refuse(cutShort);
        if (numbered && (label.key < 0 || label.key >= maxKey))
            return refuse(QString("colour table entry %1 is numbered %2, outside 0 to %3")
                              .arg(e)
                              .arg(label.key)
                              .arg(qint64(maxKey) - 1));
        if (!in.readInt(nameLength) || nameLength < 0 || nameLength > in.left())
            return refuse(cutShort);
        if (nameLength > maxNameLength)
            return refuse(
                QString("colour table entry %1 has a name of %2 bytes").arg(e).arg(nameLength));
        const QByteArray name = in.read(nameLength);
        if (name.size() != nameLength || !in.readWords(rgbt, 4))
            return refuse(cutShort);
        for (const qint32 component : rgbt) {
            if (component < 0 || component > 255)
                return refuse(QString("colour table entry %1 has the colour %2 %3 %4 %5")
                                  .arg(e)
                                  .arg(rgbt[0])
                                  .arg(rgbt[1])
                                  .arg(rgbt[2])
                                  .arg(rgbt[3]));
        }
        // Names are written with their terminating zero.
        const qsizetype zero = name.indexOf('\0');
        label.name = QString::fromUtf8(name.constData(), zero < 0 ? name.size() : zero);
        label.red = quint8(rgbt[0]);
        label.green = quint8(rgbt[1]);
        label.blue = quint8(rgbt[2]);
        // The fourth component is transparency.
        label.alpha = quint8(255 - rgbt[3]);
        const qint32 value = rgbt[0] + rgbt[1] * 256 + rgbt[2] * 65536;
        if (!positionOfValue.contains(value))
            positionOfValue.insert(value, int(labels.table.size()));
        labels.table.push_back(label);
    }
    // A value of 0 marks a vertex outside every label, whatever the table says.
    for (quint32 i = 0; i < vertices; ++i) {
        const qint32 value = pairs[2 * i + 1];
        labels.labelOfVertex[size_t(pairs[2 * i])] =
            value == 0 ? -1 : positionOfValue.value(value, -1);
    }
    return labels;
}
