#include "DicomSeries.h"

#include "DicomHeader.h"
#include "LocalFiles.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

namespace {

// Headers are read in growing steps from this size up to the largest a
// multi-frame file's functional groups need.
const qint64 firstRead = 16 * 1024;
const qint64 largestHeader = qint64(64) << 20;
const double orientationTolerance = 1e-4;
const double spacingTolerance = 1e-3;

using Vec3 = std::array<double, 3>;

Vec3 cross(const Vec3 &a, const Vec3 &b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

double dot(const Vec3 &a, const Vec3 &b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// What one file's header says.
struct FileHeader
{
    QByteArray uid;
    int number = -1;
    QString description;
    int columns = 0;
    int rows = 0;
    double columnSpacing = 1.0;
    double rowSpacing = 1.0;
    bool hasOrientation = false;
    std::array<double, 6> orientation{};
    int instanceNumber = -1;
    int frames = 1;
    // One position per frame when every frame has one.
    std::vector<Vec3> positions;
    bool perFramePositions = false;
};

bool readOrientation(const DicomDataSet *set, std::array<double, 6> &orientation)
{
    if (!set)
        return false;
    const std::vector<double> v = set->decimals(Dicom::ImageOrientation);
    if (v.size() != 6)
        return false;
    const Vec3 r{v[0], v[1], v[2]}, c{v[3], v[4], v[5]};
    const double lr = std::sqrt(dot(r, r)), lc = std::sqrt(dot(c, c));
    // Direction cosines: unit vectors, at right angles.
    if (std::abs(lr - 1) > 0.01 || std::abs(lc - 1) > 0.01 || std::abs(dot(r, c)) > 0.01)
        return false;
    for (int i = 0; i < 3; ++i) {
        orientation[size_t(i)] = r[size_t(i)] / lr;
        orientation[size_t(i) + 3] = c[size_t(i)] / lc;
    }
    return true;
}

bool readPosition(const DicomDataSet *set, Vec3 &position)
{
    if (!set)
        return false;
    const std::vector<double> v = set->decimals(Dicom::ImagePosition);
    if (v.size() != 3)
        return false;
    position = {v[0], v[1], v[2]};
    return true;
}

bool readHeader(const QString &fileName, FileHeader &h, QString &why)
{
    QFile file;
    if (!LocalFiles::openRegular(file, fileName, QIODevice::ReadOnly, &why))
        return false;
    const qint64 size = file.size();
    QByteArray bytes;
    DicomHeader header;
    for (qint64 want = firstRead;; want *= 4) {
        const qint64 target = qMin(size, qMin(want, largestHeader));
        const qint64 had = bytes.size();
        bytes.resize(target);
        qint64 got = had;
        while (got < target) {
            const qint64 n = file.read(bytes.data() + got, target - got);
            if (n <= 0) {
                why = "cannot be read";
                return false;
            }
            got += n;
        }
        const DicomHeader::Status status = header.parse(bytes, target == size, qint64(16) << 20);
        if (status == DicomHeader::Complete)
            break;
        if (status == DicomHeader::Failed) {
            why = header.failureReason();
            return false;
        }
        if (target == size || target == largestHeader) {
            why = "the header is longer than the viewer reads";
            return false;
        }
    }
    if (!header.hasPixelData()) {
        why = "holds no image";
        return false;
    }
    const DicomDataSet &set = header.dataSet();
    h.uid = set.text(Dicom::SeriesInstanceUid);
    const std::vector<double> number = set.decimals(Dicom::SeriesNumber);
    if (number.size() == 1 && std::abs(number[0]) < 1e9)
        h.number = int(number[0]);
    const QByteArray description = set.text(Dicom::SeriesDescription);
    h.description = set.text(Dicom::SpecificCharacterSet).contains("ISO_IR 192")
                        ? QString::fromUtf8(description)
                        : QString::fromLatin1(description);
    const std::vector<double> instance = set.decimals(Dicom::InstanceNumber);
    if (instance.size() == 1 && std::abs(instance[0]) < 1e9)
        h.instanceNumber = int(instance[0]);
    h.rows = set.unsignedShort(Dicom::Rows, 0);
    h.columns = set.unsignedShort(Dicom::Columns, 0);
    if (h.rows <= 0 || h.columns <= 0) {
        why = "the image has no rows or columns";
        return false;
    }
    const std::vector<double> frames = set.decimals(Dicom::NumberOfFrames);
    if (frames.size() == 1 && frames[0] >= 1 && frames[0] <= 1e6)
        h.frames = int(frames[0]);

    const DicomDataSet *measures =
        Dicom::frameGroup(set, 0, Dicom::PixelMeasuresSequence, Dicom::PixelSpacing);
    const std::vector<double> spacing =
        measures ? measures->decimals(Dicom::PixelSpacing) : std::vector<double>();
    if (spacing.size() == 2 && spacing[0] > 0 && spacing[1] > 0) {
        h.rowSpacing = spacing[0];
        h.columnSpacing = spacing[1];
    }
    h.hasOrientation = readOrientation(
        Dicom::frameGroup(set, 0, Dicom::PlaneOrientationSequence, Dicom::ImageOrientation),
        h.orientation);
    if (h.frames > 1 && set.items(Dicom::PerFrameGroups)) {
        // An enhanced image: a position in each frame's functional groups.
        h.perFramePositions = true;
        for (int f = 0; f < h.frames && h.perFramePositions; ++f) {
            std::array<double, 6> own;
            const DicomDataSet *group = set.item(Dicom::PerFrameGroups, f);
            const DicomDataSet *plane = group ? group->item(Dicom::PlanePositionSequence) : nullptr;
            Vec3 p;
            if (!readPosition(plane, p) ||
                (readOrientation(Dicom::frameGroup(set, f, Dicom::PlaneOrientationSequence,
                                                   Dicom::ImageOrientation),
                                 own) &&
                 own != h.orientation)) {
                h.perFramePositions = false;
                break;
            }
            h.positions.push_back(p);
        }
        if (!h.perFramePositions)
            h.positions.clear();
    } else if (h.frames == 1) {
        Vec3 p;
        if (readPosition(&set, p))
            h.positions.push_back(p);
    }
    return true;
}

bool sameOrientation(const std::array<double, 6> &a, const std::array<double, 6> &b)
{
    for (size_t i = 0; i < 6; ++i)
        if (std::abs(a[i] - b[i]) > orientationTolerance)
            return false;
    return true;
}

// Sorts the slices along the normal and derives the stack's geometry.
void stack(DicomSeries &s)
{
    if (!s.hasGeometry) {
        std::sort(s.slices.begin(), s.slices.end(), [](const DicomSlice &a, const DicomSlice &b) {
            return std::tie(a.instanceNumber, a.fileName, a.frame) <
                   std::tie(b.instanceNumber, b.fileName, b.frame);
        });
        s.gridSlices = int(s.slices.size());
        return;
    }
    const Vec3 r{s.orientation[0], s.orientation[1], s.orientation[2]};
    const Vec3 c{s.orientation[3], s.orientation[4], s.orientation[5]};
    const Vec3 n = cross(r, c);
    for (DicomSlice &slice : s.slices)
        slice.distance = dot(n, slice.position);
    std::sort(s.slices.begin(), s.slices.end(), [](const DicomSlice &a, const DicomSlice &b) {
        return std::tie(a.distance, a.instanceNumber, a.fileName, a.frame) <
               std::tie(b.distance, b.instanceNumber, b.fileName, b.frame);
    });

    const size_t count = s.slices.size();
    std::vector<double> gaps;
    for (size_t i = 1; i < count; ++i)
        gaps.push_back(s.slices[i].distance - s.slices[i - 1].distance);
    s.gridSlices = int(count);
    Vec3 step = n;
    if (!gaps.empty()) {
        std::vector<double> sorted = gaps;
        std::nth_element(sorted.begin(), sorted.begin() + long(sorted.size() / 2), sorted.end());
        s.sliceSpacing = sorted[sorted.size() / 2];
        s.smallestGap = *std::min_element(gaps.begin(), gaps.end());
        s.largestGap = *std::max_element(gaps.begin(), gaps.end());
        s.sharedPositions = s.smallestGap < 1e-3;
        if (!s.sharedPositions && s.sliceSpacing > 0) {
            const double tolerance = std::max(0.01, 0.01 * s.sliceSpacing);
            for (const double g : gaps) {
                const double multiple = std::round(g / s.sliceSpacing);
                if (multiple >= 1 && std::abs(g - multiple * s.sliceSpacing) <= tolerance)
                    s.missingSlices += int(multiple) - 1;
                else
                    s.unevenSpacing = true;
            }
            const double span = s.slices.back().distance - s.slices.front().distance;
            s.gridSlices = int(std::lround(span / s.sliceSpacing)) + 1;
        }
        const Vec3 &first = s.slices.front().position;
        const Vec3 &last = s.slices.back().position;
        const Vec3 along{last[0] - first[0], last[1] - first[1], last[2] - first[2]};
        const double normal = dot(along, n);
        const Vec3 across{along[0] - normal * n[0], along[1] - normal * n[1],
                          along[2] - normal * n[2]};
        const double sideways = std::sqrt(dot(across, across));
        if (sideways > 0.01 && normal > 0)
            s.tiltDegrees = std::atan2(sideways, normal) * 180.0 / M_PI;
        if (s.gridSlices > 1 && normal > 0)
            for (int a = 0; a < 3; ++a)
                step[size_t(a)] = along[size_t(a)] / (s.gridSlices - 1);
    }
    // LPS to RAS: the first two world axes change sign.
    const Vec3 &o = s.slices.front().position;
    std::array<std::array<double, 4>, 3> rows;
    for (int a = 0; a < 3; ++a) {
        const double sign = a < 2 ? -1.0 : 1.0;
        rows[size_t(a)] = {sign * r[size_t(a)] * s.columnSpacing,
                           sign * c[size_t(a)] * s.rowSpacing, sign * step[size_t(a)],
                           sign * o[size_t(a)]};
    }
    s.voxelToWorld = AffineTransform::fromRows(rows);
}

} // namespace

bool DicomSeries::isVolume() const
{
    return hasGeometry && slices.size() >= 3 && !sharedPositions;
}

QString DicomSeries::displayName() const
{
    QStringList parts;
    if (number >= 0)
        parts << QString::number(number);
    if (!description.isEmpty())
        parts << description;
    if (part > 0)
        parts << QString("[%1]").arg(part);
    if (parts.isEmpty())
        parts << "series";
    parts << QString("(%1)").arg(slices.size());
    return parts.join(' ');
}

QStringList DicomSeries::notes() const
{
    QStringList lines;
    if (!hasGeometry)
        lines << "The images have no position or orientation.";
    if (sharedPositions)
        lines << "Two or more slices lie at one position.";
    if (missingSlices == 1)
        lines << "1 slice is missing.";
    else if (missingSlices > 1)
        lines << QString("%1 slices are missing.").arg(missingSlices);
    if (unevenSpacing)
        lines << QString("The slices are unevenly spaced (%1 to %2 mm).")
                     .arg(smallestGap, 0, 'f', 2)
                     .arg(largestGap, 0, 'f', 2);
    if (tiltDegrees > 0)
        lines << QString("The slices are tilted by %1°.").arg(tiltDegrees, 0, 'f', 2);
    return lines;
}

std::vector<DicomSeries> DicomSeriesGrouping::group(const QStringList &fileNames,
                                                    QStringList *skipped)
{
    std::vector<DicomSeries> series;
    // Series of single-frame files by UID, each split into parts.
    std::map<QByteArray, std::vector<size_t>> byUid;
    for (const QString &name : fileNames) {
        FileHeader h;
        QString why;
        if (!readHeader(name, h, why)) {
            if (skipped)
                *skipped << QString("%1: %2").arg(LocalFiles::displayName(name), why);
            continue;
        }
        if (h.frames > 1) {
            DicomSeries s;
            s.uid = h.uid;
            s.number = h.number;
            s.description = h.description;
            s.multiFrame = true;
            s.columns = h.columns;
            s.rows = h.rows;
            s.columnSpacing = h.columnSpacing;
            s.rowSpacing = h.rowSpacing;
            s.orientation = h.orientation;
            s.hasGeometry = h.hasOrientation && h.perFramePositions;
            for (int f = 0; f < h.frames; ++f) {
                DicomSlice slice;
                slice.fileName = name;
                slice.frame = f;
                slice.instanceNumber = f + 1;
                if (s.hasGeometry)
                    slice.position = h.positions[size_t(f)];
                s.slices.push_back(slice);
            }
            series.push_back(std::move(s));
            continue;
        }
        std::vector<size_t> &parts = byUid[h.uid];
        const bool geometry = h.hasOrientation && h.positions.size() == 1;
        DicomSeries *home = nullptr;
        for (const size_t i : parts) {
            DicomSeries &s = series[i];
            if (s.columns == h.columns && s.rows == h.rows && s.hasGeometry == geometry &&
                (!geometry || sameOrientation(s.orientation, h.orientation)) &&
                std::abs(s.columnSpacing - h.columnSpacing) <= spacingTolerance &&
                std::abs(s.rowSpacing - h.rowSpacing) <= spacingTolerance) {
                home = &s;
                break;
            }
        }
        if (!home) {
            parts.push_back(series.size());
            series.emplace_back();
            home = &series.back();
            home->uid = h.uid;
            home->number = h.number;
            home->description = h.description;
            home->columns = h.columns;
            home->rows = h.rows;
            home->columnSpacing = h.columnSpacing;
            home->rowSpacing = h.rowSpacing;
            home->orientation = h.orientation;
            home->hasGeometry = geometry;
        }
        DicomSlice slice;
        slice.fileName = name;
        slice.instanceNumber = h.instanceNumber;
        if (geometry)
            slice.position = h.positions[0];
        home->slices.push_back(slice);
    }
    for (const auto &entry : byUid)
        if (entry.second.size() > 1) {
            // The largest part first.
            std::vector<size_t> order = entry.second;
            std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
                return series[a].slices.size() > series[b].slices.size();
            });
            for (size_t p = 0; p < order.size(); ++p)
                series[order[p]].part = int(p) + 1;
        }
    for (DicomSeries &s : series)
        stack(s);
    std::stable_sort(series.begin(), series.end(), [](const DicomSeries &a, const DicomSeries &b) {
        return std::tie(a.number, a.uid, a.part) < std::tie(b.number, b.uid, b.part);
    });
    return series;
}

std::vector<DicomSeries> DicomSeriesGrouping::scanFolder(const QString &folder,
                                                         QStringList *skipped)
{
    QDir dir(folder);
    QStringList names;
    // The files the folder listing shows (no links, no hidden files), and of
    // those only the ones named or marked as DICOM: 132 bytes tell, where a
    // header would take a read of 16 KB.
    const QFileInfoList entries = dir.entryInfoList(QDir::Files | QDir::NoSymLinks, QDir::Name);
    for (const QFileInfo &info : entries) {
        if (info.suffix().compare("dcm", Qt::CaseInsensitive) == 0 ||
            Dicom::isDicomByContent(info.filePath()))
            names << info.filePath();
        else if (skipped)
            *skipped << QString("%1: not a DICOM file (no DICM at byte 128, no .dcm ending)")
                            .arg(LocalFiles::displayName(info.filePath()));
    }
    return group(names, skipped);
}
