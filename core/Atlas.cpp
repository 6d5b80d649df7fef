#include "Atlas.h"

#include "LocalFiles.h"
#include "NiftiImage.h"

#include <QFile>
#include <QSet>

#include <cmath>
#include <new>

namespace {

QString withoutGz(const QString &fileName)
{
    return fileName.endsWith(".gz", Qt::CaseInsensitive) ? fileName.chopped(3) : fileName;
}

// At most maxBytes of a regular file; false with why (and missing set when
// there is no such file) otherwise.
bool readSmallFile(const QString &fileName, qint64 maxBytes, QByteArray &bytes, QString &why,
                   bool &missing)
{
    missing = false;
    QFile file;
    if (!LocalFiles::openRegular(file, fileName, QIODevice::ReadOnly, &why)) {
        missing = why == "no such file";
        return false;
    }
    // The size may change while it is read: never more than the limit and a byte.
    bytes = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        why = file.errorString();
        return false;
    }
    if (bytes.size() > maxBytes) {
        why = QString("larger than %1 bytes").arg(maxBytes);
        return false;
    }
    return true;
}

} // namespace

QString Atlas::labelTextName(const QString &imageFileName)
{
    return withoutGz(imageFileName) + ".txt";
}

QString Atlas::colourTableName(const QString &imageFileName)
{
    return withoutGz(imageFileName) + ".lut";
}

bool Atlas::fail(const QString &why)
{
    reason = why;
    imageName.clear();
    size = {0, 0, 0};
    toWorld = toVoxel = AffineTransform();
    labels.clear();
    names.clear();
    colours.clear();
    return false;
}

bool Atlas::read(const QString &imageFileName)
{
    fail(QString());
    const QString shown = LocalFiles::displayName(imageFileName);

    // The small files first: a missing text makes reading the image pointless.
    const QString textName = labelTextName(imageFileName);
    const QString textShown = LocalFiles::displayName(textName);
    QByteArray bytes;
    QString why;
    bool missing = false;
    if (!readSmallFile(textName, maxLabelTextBytes, bytes, why, missing))
        return fail(missing ? QString("%1 has no label names beside it (%2)").arg(shown, textShown)
                            : textShown + ": " + why);
    QMap<int, QString> readNames;
    if (!parseLabelNames(bytes, readNames, why))
        return fail(textShown + ": " + why);

    std::vector<Colour> readColours;
    const QString lutName = colourTableName(imageFileName);
    const QString lutShown = LocalFiles::displayName(lutName);
    if (!readSmallFile(lutName, colourTableBytes, bytes, why, missing) && !missing)
        return fail(lutShown + ": " + why);
    if (!missing && !parseColourTable(bytes, readColours, why))
        return fail(lutShown + ": " + why);

    NiftiImage image;
    if (!image.read(imageFileName, false))
        return fail(shown + ": " + image.failureReason());
    if (image.nrOfVolumes() != 1)
        return fail(QString("%1: an image of %2 volumes is no label image")
                        .arg(shown)
                        .arg(image.nrOfVolumes()));
    const float *values = image.volumeValues(0);
    const qint64 nx = image.dim(0), ny = image.dim(1), nz = image.dim(2);
    const qint64 count = nx * ny * nz;
    if (!values)
        return fail(shown + ": no values were read");
    std::vector<qint32> readLabels;
    try {
        readLabels.resize(size_t(count));
    } catch (const std::bad_alloc &) {
        return fail(shown + ": not enough memory for its labels");
    }
    for (qint64 n = 0; n < count; ++n) {
        const float v = values[n];
        if (!(v >= 0.0f && v <= float(maxLabel)) || v != std::trunc(v)) {
            const qint64 k = n / (nx * ny), j = n / nx % ny, i = n % nx;
            return fail(QString("%1: the value %2 at voxel %3, %4, %5 is no label (labels are "
                                "whole numbers from 0 to %6)")
                            .arg(shown)
                            .arg(double(v))
                            .arg(i)
                            .arg(j)
                            .arg(k)
                            .arg(maxLabel));
        }
        readLabels[size_t(n)] = qint32(v);
    }
    AffineTransform inverse;
    if (!image.voxelToWorld().inverted(inverse))
        return fail(shown + ": its voxel-to-world transform cannot be inverted");

    imageName = imageFileName;
    size = {int(nx), int(ny), int(nz)};
    toWorld = image.voxelToWorld();
    toVoxel = inverse;
    labels = std::move(readLabels);
    names = std::move(readNames);
    colours = std::move(readColours);
    return true;
}

int Atlas::labelAt(const AffineTransform::Point &world) const
{
    if (labels.empty())
        return -1;
    const AffineTransform::Point v = toVoxel.map(world);
    qint64 index[3];
    for (int a = 0; a < 3; ++a) {
        // Halves go up; a position that is no number lies nowhere.
        const double nearest = std::floor(v[a] + 0.5);
        if (!(nearest >= 0.0 && nearest < double(size[a])))
            return -1;
        index[a] = qint64(nearest);
    }
    return labels[size_t(index[0] + index[1] * size[0] + index[2] * qint64(size[0]) * size[1])];
}

QString Atlas::nameAt(const AffineTransform::Point &world) const
{
    const int label = labelAt(world);
    return label < 0 ? QString() : labelName(label);
}

std::optional<Atlas::Colour> Atlas::colour(int label) const
{
    if (label < 0 || label >= int(colours.size()))
        return std::nullopt;
    return colours[size_t(label)];
}

bool Atlas::parseLabelNames(const QByteArray &text, QMap<int, QString> &names, QString &why)
{
    names.clear();
    if (text.size() > maxLabelTextBytes) {
        why = QString("larger than %1 bytes").arg(maxLabelTextBytes);
        return false;
    }
    if (text.contains('\0')) {
        why = "not a text: it holds zero bytes";
        return false;
    }
    QMap<int, int> lineOf;
    // Line by line, so that a text of empty lines takes no memory per line.
    int lineNumber = 0;
    for (qsizetype at = 0; at < text.size();) {
        qsizetype end = text.indexOf('\n', at);
        if (end < 0)
            end = text.size();
        QByteArray line = text.mid(at, end - at);
        at = end + 1;
        if (++lineNumber == 1 && line.startsWith("\xEF\xBB\xBF"))
            line.remove(0, 3);
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        qsizetype digits = 0;
        while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9')
            ++digits;
        if (digits == 0) {
            why = QString("line %1 does not begin with a label index").arg(lineNumber);
            names.clear();
            return false;
        }
        bool ok = false;
        const qint64 index = digits <= 9 ? line.left(digits).toLongLong(&ok) : -1;
        if (!ok || index > maxLabel) {
            why = QString("line %1: the label index is above %2").arg(lineNumber).arg(maxLabel);
            names.clear();
            return false;
        }
        if (digits < line.size() && !QChar::isSpace(uchar(line[digits]))) {
            why = QString("line %1: no space after the label index").arg(lineNumber);
            names.clear();
            return false;
        }
        const QString name =
            LocalFiles::printable(QString::fromUtf8(line.mid(digits)).simplified());
        if (name.isEmpty()) {
            why = QString("line %1: label %2 has no name").arg(lineNumber).arg(index);
            names.clear();
            return false;
        }
        if (lineOf.contains(int(index))) {
            why = QString("line %1: label %2 is named already on line %3")
                      .arg(lineNumber)
                      .arg(index)
                      .arg(lineOf.value(int(index)));
            names.clear();
            return false;
        }
        lineOf.insert(int(index), lineNumber);
        names.insert(int(index), name);
    }
    if (names.isEmpty()) {
        why = "no label names";
        return false;
    }
    // Some atlases give each region a code of their own after its name ("1
    // Precentral_L 2001"): a whole number after every name is no part of it,
    // unless the names need it to be told apart ("Area 4", "Area 6").
    const auto codeAt = [](const QString &name) {
        const qsizetype space = name.lastIndexOf(' ');
        if (space <= 0)
            return qsizetype(-1);
        for (qsizetype c = space + 1; c < name.size(); ++c)
            if (name[c] < '0' || name[c] > '9')
                return qsizetype(-1);
        return space;
    };
    QSet<QString> shortNames;
    for (const QString &name : std::as_const(names)) {
        const qsizetype code = codeAt(name);
        if (code <= 0)
            return true;
        shortNames.insert(name.left(code));
    }
    if (shortNames.size() == names.size())
        for (QString &name : names)
            name.truncate(codeAt(name));
    return true;
}

bool Atlas::parseColourTable(const QByteArray &bytes, std::vector<Colour> &colours, QString &why)
{
    colours.clear();
    if (bytes.size() != colourTableBytes) {
        why = QString("%1 bytes, not the %2 of a colour table of 256 reds, greens and blues")
                  .arg(bytes.size())
                  .arg(colourTableBytes);
        return false;
    }
    colours.resize(256);
    for (int i = 0; i < 256; ++i)
        for (int c = 0; c < 3; ++c)
            colours[size_t(i)][size_t(c)] = uchar(bytes[c * 256 + i]);
    return true;
}
