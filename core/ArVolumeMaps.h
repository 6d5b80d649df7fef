#ifndef ARVOLUMEMAPS_H
#define ARVOLUMEMAPS_H

#include "ArVolumeMap.h"
#include "VolumeGrid.h"

#include <QList>
#include <QString>

#include <memory>
#include <vector>

class DocumentStream;
class QIODevice;
class VolumeDoc;

// Maps at the resolution of the volume over a box of it: read from an
// older-format VMP file or converted from the maps of a current-format one.
class ArVolumeMaps : public VoxelBox
{
public:
    explicit ArVolumeMaps(VolumeDoc *volumeDoc);
    ~ArVolumeMaps();

    // 0: failed, 1: read, 2: a current-format file, for VolumeMaps.
    int loadVolumeMaps(QString fileName);
    int loadVolumeMaps(QIODevice &device);
    // Why the last load did not give 1, in a few words for the user.
    QString failureReason() const { return failure; }
    void freeMapsMemory();

    VolumeDoc *volumeDoc;
    QString fileNameWithPath = QStringLiteral("untitled.vmp");
    std::vector<std::unique_ptr<ArVolumeMap>> maps;
    int vmpVersion = 0; // of the file read; 0 for converted maps

    int resolution = 1;

    // Volume dimensions the maps were made for.
    int savedDimX = 256;
    int savedDimY = 256;
    int savedDimZ = 256;

    int nrOfSelectedMaps = 0;
    QList<int> selectedMaps;
    int mapMixMode = 1; // 1: average the colours of several maps, else add them
    int transparentOverlay = 0;

private:
    Q_DISABLE_COPY(ArVolumeMaps)

    int readMaps(DocumentStream &in, int version, int nrOfMaps);
    int fail(const QString &reason);

    QString failure;
};

#endif
