#ifndef SAMPLESET_H
#define SAMPLESET_H

#include "Icosphere.h"

#include <QDir>

// Writes the sample folder of the viewer: pictures, a DICOM series, VMR volumes,
// SRF meshes and statistical maps on both, and in FreeSurfer/ the left
// hemisphere as FreeSurfer writes it, all made from one synthetic head.
// Each kind of file has its own function; every file is the same, byte for
// byte, on every run.
class SampleSet
{
public:
    explicit SampleSet(const QString &folder);

    // False when a file could not be written; its name goes to standard error.
    bool write();

private:
    bool writePictures();
    bool writeDicomSeries();
    bool writeTalairachVolume();
    bool writeNativeVolume();
    bool writeCortexMesh();
    bool writeSphereMesh();
    bool writeVolumeMaps();
    bool writeOlderVolumeMap();
    bool writeCortexMaps();
    bool writeSphereMaps();
    bool writeFreeSurferHemisphere();

    bool save(const QString &name, const QByteArray &bytes);
    bool saveImage(const QString &name, const QImage &image);

    QDir folder;
    // The cortex in the coordinates of the Talairach volume, whose axes run
    // anterior to posterior, superior to inferior and right to left.
    Icosphere cortex;
    QList<bool> sulcal;
    Icosphere sphere;
};

#endif
