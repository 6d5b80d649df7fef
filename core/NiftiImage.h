#ifndef NIFTIIMAGE_H
#define NIFTIIMAGE_H

#include "AffineTransform.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <vector>

// A NIfTI-1 or NIfTI-2 image (.nii, .nii.gz or a .hdr/.img pair) read with the
// NIfTI library: its header, the scaled values of its first or of all volumes
// as floats, and the transform from its voxels to its world space. The header
// is checked before the library allocates anything, so that a hostile header
// fails the read instead of exhausting memory.
class NiftiImage
{
public:
    enum Orientation { NoOrientation, QForm, SForm };

    // Whether the name is one of the NIfTI file names the viewer lists.
    static bool isNiftiFileName(const QString &fileName);
    // The names beside a header that the NIfTI library opens while it looks
    // for the header and its image file.
    static QStringList namesLookedFor(const QString &fileName);

    // Reads the header, and the values of the first volume or of all volumes.
    bool read(const QString &fileName, bool allVolumes);
    bool readHeader(const QString &fileName) { return read(fileName, false, false); }
    // Why the last read failed.
    QString failureReason() const { return reason; }

    // Voxels along the three spatial axes i, j, k (0, 1, 2).
    qint64 dim(int axis) const { return dims[axis]; }
    // Volumes in the file (the product of dims 4 to 7), and how many were read.
    qint64 nrOfVolumes() const { return volumes; }
    int nrOfVolumesRead() const { return int(values.size()); }
    float pixdim(int axis) const { return float(pixdims[axis]); }
    int datatype() const { return dataType; }
    QString datatypeName() const;
    bool isFloatingPoint() const;
    int intentCode() const { return intent; }
    bool hasStatisticIntent() const;
    Orientation orientation() const { return orientationSource; }
    QString orientationName() const;
    // The sform or qform code that chose the transform; 0 without one.
    int spaceCode() const { return xformCode; }
    const AffineTransform &voxelToWorld() const { return toWorld; }

    // The values of a volume read, i fastest, then j, then k; null when not read.
    const float *volumeValues(int volume) const;
    float valueAt(qint64 i, qint64 j, qint64 k, int volume = 0) const;
    // Whether any value read is below 0.
    bool hasNegativeValues() const;

    // The header fields by their standard names: numbers, texts, and lists of numbers.
    const QList<QPair<QString, QVariant>> &headerFields() const { return fields; }

private:
    bool read(const QString &fileName, bool withValues, bool allVolumes);
    bool fail(const QString &why);

    QString reason;
    qint64 dims[3] = {0, 0, 0};
    qint64 volumes = 0;
    double pixdims[3] = {0, 0, 0};
    int dataType = 0;
    int intent = 0;
    Orientation orientationSource = NoOrientation;
    int xformCode = 0;
    AffineTransform toWorld;
    std::vector<std::vector<float>> values;
    QList<QPair<QString, QVariant>> fields;
};

#endif
