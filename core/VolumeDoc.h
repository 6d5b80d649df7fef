#ifndef VOLUMEDOC_H
#define VOLUMEDOC_H

#include "DocumentStream.h"
#include "VolumeGrid.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

class AffineTransform;
class ArVolumeMaps;
struct DicomSeries;
class NiftiImage;
class NiftiVolume;
class QIODevice;
class VolumeMaps;
struct MapGrid;

// One anatomical volume read from a VMR file: dimX × dimY × dimZ voxels of one
// byte, its place in the framing cube and the position information stored with it.
class VolumeDoc
{
public:
    // The most voxels a volume read may have: a header claims what it likes,
    // and a sparse file can hold what it claims in a few kilobytes on disk.
    static constexpr qint64 maxVoxels = qint64(512) * 512 * 512;

    explicit VolumeDoc(const ReadContext &context = {});
    ~VolumeDoc();

    // Reads the file and sets the name fields from fileName.
    bool readVolume(QString fileName);
    // Reads the contents of a VMR file; leaves the name fields alone. A volume
    // of more than maxVoxels, or with no slice of two voxels each way to show,
    // is refused before its voxels are allocated.
    bool readVolume(QIODevice &device);

    // Reads a NIfTI image into the volume's grid and keeps it in niftiVolume.
    bool readNifti(QString fileName);
    // Reads a DICOM series (one that isVolume()) into the volume's grid as a
    // NIfTI image is read, and keeps it in niftiVolume; name is what the
    // volume is called.
    bool readDicomSeries(const DicomSeries &series, const QString &name);
    // Why the last readVolume or readNifti failed, in a few words for the
    // user; empty after one that succeeded.
    QString failureReason() const { return failure; }
    // Why the last map operation below failed: the map reader's reason, or
    // "does not overlap the volume" for a map that lies wholly outside it.
    QString mapFailureReason() const { return mapFailure; }
    // The transform from the volume's voxels to world millimetres: the NIfTI
    // image's world, or Talairach coordinates in Talairach space; false without one.
    bool worldTransform(AffineTransform &gridToWorld) const;
    // The transform from the volume's voxels to millimetres that cluster
    // tables give: the NIfTI image's world, else the framing cube's
    // coordinates as the header panel gives them in Talairach space (right,
    // anterior and superior from its centre), also outside Talairach space;
    // talairach tells whether they are Talairach coordinates.
    AffineTransform millimetreTransform(bool *talairach = nullptr) const;
    // Map row of the map file read last on its own grid (the VMP's cells, the
    // older VMP's box, the NIfTI file's voxels), placed in millimetres
    // through millimetreTransform (a NIfTI map in its own world); false with
    // why when there is no such map or no memory for a copy of its values.
    bool mapGrid(int row, MapGrid &grid, QString &why) const;
    // Volume index of a NIfTI image on its own grid and world.
    static bool niftiMapGrid(const NiftiImage &image, int index, MapGrid &grid, QString &why);
    // Whether a NIfTI file holds statistics (a statistic intent code, or
    // floating-point values below 0) over world space the volume shows.
    bool niftiMapFits(QString fileName) const;
    // Reads every volume of a NIfTI map into niftiMaps; their number, 0 when
    // the file cannot be read or the volume has no world transform.
    int loadNiftiMaps(QString fileName);
    // Names of the maps of niftiMaps: "Volume 1", "Volume 2"... one per volume.
    QStringList niftiMapNames() const;
    // Replaces arVolumeMaps with volume index of niftiMaps resampled into
    // this volume's grid, trilinearly (nearest for integer values). False
    // when the map lies wholly outside the volume.
    bool convertNiftiMapToArVMP(int index);

    // Replaces volumeMaps. 0: failed, 1: read, 2: an older-format file, which
    // loadArVolumeMaps reads; then volumeMaps is null.
    int loadVolumeMaps(QString fileName);
    // Replaces arVolumeMaps. 0: failed, 1: read, 2: a current-format file.
    int loadArVolumeMaps(QString fileName);
    // Replaces arVolumeMaps with the selected maps of volumeMaps at the
    // resolution of the volume; without a selection it only removes it.
    // False when a map cannot be converted or the box lies wholly outside
    // the volume.
    bool convertSelectedMapsToNrMaps(bool interpolate);
    // Selects map index of arVolumeMaps alone; false when there is no such
    // map or the box lies wholly outside the volume.
    bool selectArVolumeMap(int index);
    // Replaces arVolumeMaps with one map holding data, a map on the grid of
    // volumeMaps, at the resolution of the volume. False when the box is
    // larger than the framing cube or the memory cannot be had. The last two
    // arguments have no effect.
    bool upmixFuncResMapToArVMP(float *data, bool interpolate, bool interpolateLag, QString name,
                                int mapType, int, bool);
    // What maps are read onto.
    VolumeGrid grid() const { return {dimX, dimY, dimZ, offsetX, offsetY, offsetZ}; }

    int vmrVersion = 0; // 1 for the old header without a version
    int dimX = 0;
    int dimY = 0;
    int dimZ = 0;
    // Voxel (x, y, z) at x + y·dimX + z·dimX·dimY.
    std::unique_ptr<unsigned char[]> vmrData;

    QString fileNameWithPath;
    QString fileName;
    QString filePath;

    int offsetX = 0;
    int offsetY = 0;
    int offsetZ = 0;
    int framingCubeDim = 256;
    float crossPosX = 0;
    float crossPosY = 0;
    float crossPosZ = 0;

    int posInfoVerified = 0;
    int coordinateSystem = 0;
    float posVectors[12] = {};
    int posGridSize[2] = {};
    float posExtents[4] = {};

    int leftRightConvention = 0;
    int referenceSpace = 0; // 3: Talairach space

    int nrOfTransformations = 0;
    QStringList transformationNames;
    QStringList transformationSourceFiles;
    QList<int> transformationTypes;
    QList<int> transformationNrOfValues;
    QList<int> transformationValueOffsets;
    QList<float> transformationValues;

    float voxelSizeX = -1.0f; // -1: not stored
    float voxelSizeY = -1.0f;
    float voxelSizeZ = -1.0f;
    bool inTalairachSpace = false;
    bool voxelSizeVerified = false;

    int rangeMinValue = -1;
    int rangeMeanValue = -1;
    int rangeMaxValue = -1;

    // Map sets, loaded on request.
    std::unique_ptr<VolumeMaps> volumeMaps;
    std::unique_ptr<ArVolumeMaps> arVolumeMaps;
    // For a volume read from a NIfTI file: the image and the grid's placement.
    std::unique_ptr<NiftiVolume> niftiVolume;
    // The NIfTI map file read onto the volume, all its volumes.
    std::unique_ptr<NiftiImage> niftiMaps;

private:
    Q_DISABLE_COPY(VolumeDoc)

    bool readTransformations(DocumentStream &in);
    // Fills the grid from a NIfTI image or DICOM series and keeps it.
    bool takeWorldVolume(std::unique_ptr<NiftiVolume> volume, const QString &name);
    void setFileName(const QString &name);
    void removeMaps();
    bool fail(const QString &reason);
    bool failMap(const QString &reason);
    // Whether the box of arVolumeMaps shares a voxel with the volume, the
    // last layer of each axis left out when it is empty.
    bool mapsOverlapVolume(bool lastLayersEmpty);

    ReadContext context;
    QString failure;
    QString mapFailure;
};

#endif
