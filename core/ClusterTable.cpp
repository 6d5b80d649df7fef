#include "ClusterTable.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <tuple>

namespace {

// Voxels handled between two looks at the cancel flag.
const qint64 cancelStride = qint64(1) << 16;

const char *const columnNames[] = {"cluster", "sign",   "voxels", "volume_mm3", "peak_value",
                                   "peak_i",  "peak_j", "peak_k", "peak_x",     "peak_y",
                                   "peak_z",  "cog_x",  "cog_y",  "cog_z",      "peak_label"};
const int nrOfColumns = int(sizeof columnNames / sizeof columnNames[0]);

// The header row; world columns end in _tal in Talairach space, else in _mm.
QByteArray headerRow(bool talairach)
{
    QByteArray row;
    for (int c = 0; c < nrOfColumns; ++c) {
        if (c > 0)
            row += '\t';
        row += columnNames[c];
        if (c >= 8 && c <= 13)
            row += talairach ? "_tal" : "_mm";
    }
    return row;
}

// The shortest text that reads back as the same float, in the C locale.
QByteArray floatText(float value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QByteArray(buffer, int(result.ptr - buffer));
}

// Millimetres to the micrometre, without a sign on zero.
double micrometres(double value)
{
    return std::round(value * 1e6) / 1e6 + 0.0;
}

QByteArray millimetreText(double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, micrometres(value));
    return QByteArray(buffer, int(result.ptr - buffer));
}

// A float as the double its shortest text names, so that JSON shows 3.1, not 3.0999999.
double floatForJson(float value)
{
    const QByteArray text = floatText(value);
    double out = 0.0;
    std::from_chars(text.constData(), text.constData() + text.size(), out);
    return out;
}

template <typename T> bool parseNumber(const QByteArray &field, T &out)
{
    const char *end = field.constData() + field.size();
    const auto result = std::from_chars(field.constData(), end, out);
    return !field.isEmpty() && result.ec == std::errc() && result.ptr == end;
}

QString signName(int signSelection)
{
    switch (signSelection) {
    case 1:
        return "pos";
    case 2:
        return "neg";
    case 3:
        return "both";
    }
    return "none";
}

QJsonArray triple(const AffineTransform::Point &p)
{
    return {micrometres(p[0]), micrometres(p[1]), micrometres(p[2])};
}

// Sums over the voxels of one cluster as it grows.
struct Growth
{
    qint64 voxels = 0;
    double weight = 0.0;
    double weighted[3] = {0, 0, 0};
    double plain[3] = {0, 0, 0};
    float peak = 0.0f;
    qint64 peakIndex = -1;
};

} // namespace

float ClusterCriteria::compared(float value) const
{
    const bool positive = signSelection == 1 || signSelection == 3;
    return lagMap && positive ? value - std::trunc(value) : value;
}

// As the volume view colours a voxel: a lag outside the lags shown hides it,
// a negative value passes only strictly beyond minus the threshold.
int ClusterCriteria::signOf(float value) const
{
    const bool positive = signSelection == 1 || signSelection == 3;
    const bool negative = signSelection == 2 || signSelection == 3;
    float v = value;
    if (lagMap && positive) {
        const float whole = std::trunc(v);
        const float lag = std::abs(whole);
        if (lag < lowestLag || lag > highestLag)
            return 0;
        v -= whole;
    }
    if (positive && v >= threshold && v <= upperThreshold)
        return 1;
    if (negative && !colouredByLag && -v > threshold && -v <= upperThreshold)
        return -1;
    return 0;
}

bool MapGrid::voxelAt(const AffineTransform::Point &world, std::array<int, 3> &voxel) const
{
    AffineTransform toVoxel;
    if (values.empty() || !voxelToWorld.inverted(toVoxel))
        return false;
    const AffineTransform::Point p = toVoxel.map(world);
    for (int a = 0; a < 3; ++a) {
        // Halves go up; a position that is no number lies nowhere.
        const double nearest = std::floor(p[a] + 0.5);
        if (!(nearest >= 0.0 && nearest < double(dims[a])))
            return false;
        voxel[a] = int(nearest);
    }
    return true;
}

bool MapGrid::valueAt(const AffineTransform::Point &world, float &value) const
{
    std::array<int, 3> v;
    if (!voxelAt(world, v))
        return false;
    const size_t index = size_t(v[0]) + size_t(v[1]) * dims[0] + size_t(v[2]) * dims[0] * dims[1];
    if (index >= values.size())
        return false;
    value = values[index];
    return true;
}

bool ClusterTable::fail(const QString &why)
{
    rows.clear();
    reason = why;
    return false;
}

bool ClusterTable::compute(const ClusterGrid &grid, const ClusterCriteria &criteria,
                           const std::atomic<bool> *cancel)
{
    rows.clear();
    reason.clear();
    used = criteria;
    talairach = grid.talairach;
    if (!grid.values)
        return fail("the map has no values");
    const qint64 nx = grid.dims[0], ny = grid.dims[1], nz = grid.dims[2];
    if (nx < 1 || ny < 1 || nz < 1)
        return fail(QString("a grid of %1 × %2 × %3 voxels is empty").arg(nx).arg(ny).arg(nz));
    // Voxels are numbered in 32 bits on the stack.
    if (nx * ny > qint64(UINT32_MAX) / nz)
        return fail(QString("a grid of %1 × %2 × %3 voxels is too large").arg(nx).arg(ny).arg(nz));
    const AffineTransform &m = grid.voxelToWorld;
    const double det = m.determinant();
    if (!std::isfinite(det) || det == 0.0)
        return fail("the voxel-to-world transform has no volume");
    const double voxelVolume = std::abs(det);

    auto canceled = [cancel] { return cancel && cancel->load(std::memory_order_relaxed); };
    const qint64 count = nx * ny * nz;
    const qint64 slice = nx * ny;

    // 1 positive, 2 negative, 0 neither or already in a cluster.
    std::vector<quint8> side;
    std::vector<quint32> stack;
    try {
        side.resize(size_t(count));
    } catch (const std::bad_alloc &) {
        return fail("not enough memory for the grid's marks");
    }
    for (qint64 start = 0; start < count; start += cancelStride) {
        if (canceled())
            return fail("canceled");
        const qint64 end = std::min(count, start + cancelStride);
        for (qint64 n = start; n < end; ++n) {
            const int sign = criteria.signOf(grid.values[n]);
            side[size_t(n)] = sign > 0 ? 1 : sign < 0 ? 2 : 0;
        }
    }

    qint64 sinceLook = 0;
    for (qint64 seed = 0; seed < count; ++seed) {
        const quint8 kind = side[size_t(seed)];
        if (kind == 0)
            continue;
        Growth g;
        side[size_t(seed)] = 0;
        try {
            stack.push_back(quint32(seed));
        } catch (const std::bad_alloc &) {
            return fail("not enough memory for a cluster");
        }
        while (!stack.empty()) {
            if (++sinceLook == cancelStride) {
                sinceLook = 0;
                if (canceled())
                    return fail("canceled");
            }
            const qint64 n = stack.back();
            stack.pop_back();
            const qint64 k = n / slice;
            const qint64 j = (n - k * slice) / nx;
            const qint64 i = n - k * slice - j * nx;

            const float v = criteria.compared(grid.values[n]);
            // An infinite value weighs most, yet leaves the sums finite.
            const double w = std::min(std::abs(double(v)), double(FLT_MAX));
            ++g.voxels;
            g.weight += w;
            const double at[3] = {double(i), double(j), double(k)};
            for (int a = 0; a < 3; ++a) {
                g.weighted[a] += w * at[a];
                g.plain[a] += at[a];
            }
            const float magnitude = std::abs(v), best = std::abs(g.peak);
            if (g.peakIndex < 0 || magnitude > best || (magnitude == best && n < g.peakIndex)) {
                g.peak = v;
                g.peakIndex = n;
            }

            const qint64 neighbours[6] = {i > 0 ? n - 1 : -1,     i + 1 < nx ? n + 1 : -1,
                                          j > 0 ? n - nx : -1,    j + 1 < ny ? n + nx : -1,
                                          k > 0 ? n - slice : -1, k + 1 < nz ? n + slice : -1};
            for (qint64 next : neighbours) {
                if (next < 0 || side[size_t(next)] != kind)
                    continue;
                side[size_t(next)] = 0;
                try {
                    stack.push_back(quint32(next));
                } catch (const std::bad_alloc &) {
                    return fail("not enough memory for a cluster");
                }
            }
        }

        const double volume = double(g.voxels) * voxelVolume;
        // A volume that is the minimum but for rounding still reaches it.
        if (g.voxels < criteria.minVoxels || volume < criteria.minVolumeMm3 * (1.0 - 1e-9))
            continue;
        Cluster c;
        c.sign = kind == 1 ? 1 : -1;
        c.voxels = g.voxels;
        c.volumeMm3 = volume;
        c.peakValue = g.peak;
        const qint64 pk = g.peakIndex / slice;
        const qint64 pj = (g.peakIndex - pk * slice) / nx;
        c.peakVoxel = {int(g.peakIndex - pk * slice - pj * nx), int(pj), int(pk)};
        c.peakWorld = m.map({double(c.peakVoxel[0]), double(c.peakVoxel[1]), double(pk)});
        AffineTransform::Point centre;
        for (int a = 0; a < 3; ++a)
            centre[a] = g.weight > 0.0 ? g.weighted[a] / g.weight : g.plain[a] / double(g.voxels);
        c.centreOfGravity = m.map(centre);
        rows.push_back(c);
    }

    std::sort(rows.begin(), rows.end(), [](const Cluster &a, const Cluster &b) {
        if (a.voxels != b.voxels)
            return a.voxels > b.voxels;
        const float ma = std::abs(a.peakValue), mb = std::abs(b.peakValue);
        if (ma != mb)
            return ma > mb;
        if (a.sign != b.sign)
            return a.sign > b.sign;
        return std::make_tuple(a.peakVoxel[2], a.peakVoxel[1], a.peakVoxel[0]) <
               std::make_tuple(b.peakVoxel[2], b.peakVoxel[1], b.peakVoxel[0]);
    });
    return true;
}

void ClusterTable::labelPeaks(const std::function<QString(const AffineTransform::Point &)> &nameAt)
{
    for (Cluster &c : rows)
        c.peakLabel = nameAt ? nameAt(c.peakWorld) : QString();
}

QByteArray ClusterTable::toTsv() const
{
    QByteArray out = headerRow(talairach) + '\n';
    int number = 0;
    for (const Cluster &c : rows) {
        QByteArray label = c.peakLabel.toUtf8();
        // A label never breaks the columns or the rows.
        for (char &ch : label)
            if (ch == '\t' || ch == '\n' || ch == '\r')
                ch = ' ';
        const QList<QByteArray> fields = {QByteArray::number(++number),
                                          c.sign > 0 ? "pos" : "neg",
                                          QByteArray::number(c.voxels),
                                          millimetreText(c.volumeMm3),
                                          floatText(c.peakValue),
                                          QByteArray::number(c.peakVoxel[0]),
                                          QByteArray::number(c.peakVoxel[1]),
                                          QByteArray::number(c.peakVoxel[2]),
                                          millimetreText(c.peakWorld[0]),
                                          millimetreText(c.peakWorld[1]),
                                          millimetreText(c.peakWorld[2]),
                                          millimetreText(c.centreOfGravity[0]),
                                          millimetreText(c.centreOfGravity[1]),
                                          millimetreText(c.centreOfGravity[2]),
                                          label};
        out += fields.join('\t') + '\n';
    }
    return out;
}

QJsonDocument ClusterTable::toJson() const
{
    QJsonArray list;
    int number = 0;
    for (const Cluster &c : rows) {
        list.append(QJsonObject{
            {"cluster", ++number},
            {"sign", c.sign > 0 ? "pos" : "neg"},
            {"voxels", c.voxels},
            {"volumeMm3", micrometres(c.volumeMm3)},
            {"peakValue", floatForJson(c.peakValue)},
            {"peakVoxel", QJsonArray{c.peakVoxel[0], c.peakVoxel[1], c.peakVoxel[2]}},
            {"peakWorld", triple(c.peakWorld)},
            {"centreOfGravity", triple(c.centreOfGravity)},
            {"peakLabel", c.peakLabel},
        });
    }
    return QJsonDocument(QJsonObject{
        {"threshold", floatForJson(used.threshold)},
        {"sign", signName(used.signSelection)},
        {"lagMap", used.lagMap},
        {"minVoxels", used.minVoxels},
        {"minVolumeMm3", used.minVolumeMm3},
        {"space", talairach ? "talairach" : "world"},
        {"clusters", list},
    });
}

bool ClusterTable::readTsv(const QByteArray &tsv)
{
    rows.clear();
    reason.clear();
    used = ClusterCriteria();
    if (tsv.size() > maxTsvBytes)
        return fail(
            QString("a table of %1 bytes is larger than %2").arg(tsv.size()).arg(maxTsvBytes));
    // Line by line, so that a table of empty lines takes no memory per line.
    qsizetype at = 0;
    auto nextLine = [&](QByteArray &line) {
        if (at >= tsv.size())
            return false;
        qsizetype end = tsv.indexOf('\n', at);
        if (end < 0)
            end = tsv.size();
        line = tsv.mid(at, end - at);
        at = end + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        return true;
    };
    QByteArray line;
    if (!nextLine(line))
        return fail("no header row");
    if (line == headerRow(false))
        talairach = false;
    else if (line == headerRow(true))
        talairach = true;
    else
        return fail("the header row is not that of a cluster table");

    for (qsizetype r = 1; nextLine(line); ++r) {
        const QString where = QString("row %1").arg(r);
        const qsizetype columns = line.count('\t') + 1;
        if (columns != nrOfColumns)
            return fail(
                QString("%1 has %2 columns, not %3").arg(where).arg(columns).arg(nrOfColumns));
        const QList<QByteArray> f = line.split('\t');
        Cluster c;
        qint64 number = 0;
        if (!parseNumber(f[0], number) || number != r)
            return fail(where + " is not numbered " + QString::number(r));
        if (f[1] != "pos" && f[1] != "neg")
            return fail(where + " has a sign other than pos or neg");
        c.sign = f[1] == "pos" ? 1 : -1;
        bool ok = parseNumber(f[2], c.voxels) && c.voxels > 0 && parseNumber(f[3], c.volumeMm3) &&
                  parseNumber(f[4], c.peakValue);
        for (int a = 0; a < 3; ++a) {
            ok = ok && parseNumber(f[5 + a], c.peakVoxel[a]) && c.peakVoxel[a] >= 0 &&
                 parseNumber(f[8 + a], c.peakWorld[a]) &&
                 parseNumber(f[11 + a], c.centreOfGravity[a]);
        }
        if (!ok)
            return fail(where + " holds a field that is not a number of its kind");
        c.peakLabel = QString::fromUtf8(f[14]);
        rows.push_back(c);
    }
    return true;
}
