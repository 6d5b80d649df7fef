// Writes the input as up to four files (parts split at the bytes "\x1FNEXT\x1F")
// into a folder and groups the folder into series,
// checking what the grouping promises: every image in one series, slices in
// order along the normal, a finite geometry and a name for each series; the
// first volume is read onto its grid.

#include "DicomHeader.h"
#include "DicomSeries.h"
#include "DicomSeriesImage.h"

#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QList<QByteArray> parts;
    const QByteArray separator("\x1FNEXT\x1F");
    for (qsizetype from = 0;;) {
        const qsizetype at = bytes.indexOf(separator, from);
        parts << bytes.mid(from, at < 0 ? -1 : at - from);
        if (at < 0)
            break;
        from = at + separator.size();
    }
    const int files = int(qMin<qsizetype>(parts.size(), 4));
    for (int i = 0; i < 4; ++i) {
        QFile file(dir.filePath(QString("IM%1").arg(i)));
        if (i >= files) {
            file.remove();
            continue;
        }
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            abort();
        file.write(parts[i]);
        file.close();
        Dicom::isDicomByContent(file.fileName());
    }
    QStringList skipped;
    const std::vector<DicomSeries> series = DicomSeriesGrouping::scanFolder(dir.path(), &skipped);
    qsizetype images = 0;
    for (const DicomSeries &s : series) {
        if (s.displayName().isEmpty() || s.slices.empty())
            abort();
        images += s.multiFrame ? 1 : qsizetype(s.slices.size());
        for (size_t k = 1; k < s.slices.size(); ++k)
            if (s.hasGeometry && s.slices[k].distance < s.slices[k - 1].distance)
                abort();
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c)
                if (s.hasGeometry && !std::isfinite(s.voxelToWorld.at(r, c)))
                    abort();
        (void)s.notes();
    }
    // The first volume read as the volume view reads it: on its grid, finite.
    for (const DicomSeries &s : series) {
        if (!s.isVolume())
            continue;
        DicomSeriesImage image;
        if (image.read(s)) {
            const qint64 count = image.dim(0) * image.dim(1) * image.dim(2);
            if (count != qint64(s.columns) * s.rows * s.gridSlices)
                abort();
            for (qint64 v = 0; v < count; ++v)
                if (!std::isfinite(image.values()[v]))
                    abort();
        }
        break;
    }
    if (images + skipped.size() != files)
        abort();
    return 0;
}
