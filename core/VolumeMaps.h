#ifndef VOLUMEMAPS_H
#define VOLUMEMAPS_H

#include <QList>
#include <QString>
#include <QStringList>

#include <climits>
#include <memory>
#include <vector>

class QIODevice;
class VolumeDoc;
class VolumeMap;

// The maps of a current-format VMP file: values over a box of the volume, on a
// grid whose cells are resolution voxels wide.
class VolumeMaps
{
public:
    // Leads every current-format file; the older format has none.
    static const quint32 vmpMagic = 0xA1B2C3D4;

    explicit VolumeMaps(VolumeDoc *volumeDoc);
    ~VolumeMaps();

    // 0: failed, 1: read, 2: an older-format file, for ArVolumeMaps.
    int loadVolumeMaps(QString fileName);
    // The older format is recognised only in files named .vmp.
    int loadVolumeMaps(QIODevice &device, bool vmpExtension);
    // Why the last load gave 0, in a few words for the user.
    QString failureReason() const { return failure; }
    // False when the memory cannot be had; then no map is held.
    bool allocateMapsMemory(int nrOfMaps, int nrOfTimePoints, int nrOfComponentParams);
    void freeMapsMemory();

    // Cells of the grid along each axis.
    int gridDimX() const { return gridDim(xStart, xEnd); }
    int gridDimY() const { return gridDim(yStart, yEnd); }
    int gridDimZ() const { return gridDim(zStart, zEnd); }

    VolumeDoc *volumeDoc;
    QString fileNameWithPath = QStringLiteral("untitled.vmp");
    std::vector<std::unique_ptr<VolumeMap>> maps;

    // In voxels of the volume; the ends are exclusive.
    int xStart = 4096;
    int xEnd = 0;
    int yStart = 4096;
    int yEnd = 0;
    int zStart = 4096;
    int zEnd = 0;
    int resolution = 3;

    int nrOfSelectedMaps = 0;
    QList<int> selectedMaps;

    int vmpVersion = 1;
    int nrOfMaps = 0;
    int nrOfTimePoints = 0;
    int nrOfComponentParams = 0;
    QStringList componentNames;
    QString headerStrings[3];
    int headerValues[4] = {};

private:
    Q_DISABLE_COPY(VolumeMaps)

    int gridDim(int start, int end) const
    {
        if (resolution <= 0 || end <= start)
            return 0;
        return int(qMin<qint64>((qint64(end) - start) / resolution, INT_MAX));
    }
    int readMaps(QIODevice &device, bool vmpExtension);
    int fail(const QString &reason);

    QString failure;
};

#endif
