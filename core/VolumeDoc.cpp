#include "VolumeDoc.h"

#include "CXSCore.h"
#include "DocumentStream.h"

#include <QFile>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <iterator>

namespace {

// Room of the name buffers of the format, without the terminating zero.
const int maxNameLength = 263;
// Smallest transformation: two empty names, the type and the value count.
const int minTransformationSize = 1 + 4 + 1 + 4;

} // namespace

VolumeDoc::VolumeDoc(CXSCore *core) : core(core) {}

VolumeDoc::~VolumeDoc()
{
    free(vmrData);
}

bool VolumeDoc::readVolume(QString name)
{
    QFile file(name);
    if (!DocumentStream::openFile(file) || !readVolume(file))
        return false;

    const int slash = name.lastIndexOf('/');
    if (slash >= 0) {
        fileNameWithPath = name;
        fileName = name.mid(slash + 1);
        filePath = name.left(slash + 1);
    } else {
        fileName = name;
        filePath = core->getCurrentDir();
        fileNameWithPath = core->combinePathAndFileName(filePath, fileName);
    }
    return true;
}

bool VolumeDoc::readVolume(QIODevice &device)
{
    DocumentStream in(&device, core->hostIsBigEndian);

    qint16 first;
    qint16 dims[3];
    in >> first;
    int version = 1;
    if (first >= 2 && first <= 10) {
        version = first;
        if (version >= 5)
            return false;
        in >> dims[0] >> dims[1] >> dims[2];
    } else {
        dims[0] = first;
        if (first == 0) {
            qint16 skipped;
            in >> skipped >> dims[0];
        }
        in >> dims[1] >> dims[2];
    }
    if (in.status() != QDataStream::Ok || dims[0] <= 0 || dims[1] <= 0 || dims[2] <= 0)
        return false;
    vmrVersion = version;
    dimX = dims[0];
    dimY = dims[1];
    dimZ = dims[2];

    // A short voxel block is a broken file, not a volume with a black tail.
    const qint64 nrOfVoxels = qint64(dimX) * dimY * dimZ;
    if (nrOfVoxels > INT_MAX || !in.fits(nrOfVoxels, 1))
        return false;
    free(vmrData);
    vmrData = static_cast<unsigned char *>(malloc(size_t(nrOfVoxels)));
    if (!vmrData || !in.readBytes(vmrData, nrOfVoxels))
        return false;

    if (version >= 3) {
        qint16 offsets[4];
        in >> offsets[0] >> offsets[1] >> offsets[2] >> offsets[3];
        offsetX = offsets[0];
        offsetY = offsets[1];
        offsetZ = offsets[2];
        framingCubeDim = offsets[3];
    } else {
        offsetX = offsetY = offsetZ = 0;
        framingCubeDim = dimX > 256 || dimY > 256 || dimZ > 256 ? 512 : 256;
    }

    if (version >= 2) {
        posInfoVerified = coordinateSystem = 0;
        std::fill(std::begin(posVectors), std::end(posVectors), 0.0f);
        std::fill(std::begin(posGridSize), std::end(posGridSize), 0);
        std::fill(std::begin(posExtents), std::end(posExtents), 0.0f);
        if (!in.atEnd()) {
            in >> posInfoVerified >> coordinateSystem;
            for (float &v : posVectors)
                in >> v;
            in >> posGridSize[0] >> posGridSize[1];
            for (float &v : posExtents)
                in >> v;
        }

        nrOfTransformations = 0;
        transformationNames.clear();
        transformationSourceFiles.clear();
        transformationTypes.clear();
        transformationNrOfValues.clear();
        transformationValueOffsets.clear();
        transformationValues.clear();
        if (in.bytesLeft() > 6) {
            if (!readTransformations(in))
                return false;

            quint8 byte;
            in >> byte;
            leftRightConvention = byte;
            referenceSpace = 0;
            if (version == 4) {
                in >> byte;
                referenceSpace = byte;
            }

            if (in.atEnd()) {
                voxelSizeX = voxelSizeY = voxelSizeZ = -1.0f;
                voxelSizeVerified = inTalairachSpace = false;
            } else {
                in >> voxelSizeX >> voxelSizeY >> voxelSizeZ;
                in >> byte;
                voxelSizeVerified = byte != 0;
                in >> byte;
                inTalairachSpace = byte != 0;
                if (version < 4 && inTalairachSpace)
                    referenceSpace = 3;
            }

            if (in.atEnd()) {
                rangeMinValue = rangeMeanValue = rangeMaxValue = -1;
            } else {
                qint32 range[3];
                in >> range[0] >> range[1] >> range[2];
                rangeMinValue = range[0];
                rangeMeanValue = range[1];
                rangeMaxValue = range[2];
            }
        }
    }

    crossPosX = dimX / 2;
    crossPosY = dimY / 2;
    crossPosZ = dimZ / 2;
    return true;
}

// The transformation records are all or nothing: a count, a value count or a
// record the rest of the file cannot hold fails the read.
bool VolumeDoc::readTransformations(DocumentStream &in)
{
    qint32 count;
    in >> count;
    if (!in.fits(count, minTransformationSize))
        return false;
    nrOfTransformations = count;
    for (int i = 0; i < count; ++i) {
        transformationNames << QString::fromLatin1(in.readText(maxNameLength));
        qint32 type;
        in >> type;
        transformationTypes << type;
        QString sourceFile = QString::fromLatin1(in.readText(maxNameLength));
        core->convertWinDirSlashes2UnixSlashes(sourceFile);
        transformationSourceFiles << sourceFile;
        qint32 nrOfValues;
        in >> nrOfValues;
        if (!in.fits(nrOfValues, 4))
            return false;
        transformationNrOfValues << nrOfValues;
        transformationValueOffsets << int(transformationValues.size());
        transformationValues.resize(transformationValues.size() + nrOfValues);
        if (!in.readFloats(transformationValues.data() + transformationValueOffsets.last(),
                           nrOfValues))
            return false;
    }
    return in.status() == QDataStream::Ok;
}
