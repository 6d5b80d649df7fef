#ifndef SURFACEMAPS_H
#define SURFACEMAPS_H

#include <QList>
#include <QString>

class DocumentStream;
class QIODevice;
class SurfaceMap;
class SurfaceMesh;

// The maps of an SMP file, one value per vertex of the mesh that owns them.
class SurfaceMaps
{
public:
    explicit SurfaceMaps(SurfaceMesh *mesh);
    ~SurfaceMaps();

    bool loadSurfaceMaps(QString fileName);
    bool loadSurfaceMaps(QIODevice &device);
    // Maps of nrOfVertices zero values, coloured by their number or, with
    // greys, in grey. False when the memory cannot be had; then no map is held.
    bool allocateMapsMemory(int nrOfMaps, bool greys);
    void freeMapsMemory();

    SurfaceMesh *mesh;
    QString fileNameWithPath = QStringLiteral("untitled.smp");
    QList<SurfaceMap *> maps;
    int nrOfSelectedMaps = 0;
    QList<int> selectedMaps;
    int nrOfVertices = 0;
    int smpVersion = 0;
    QString srfFileName;

private:
    Q_DISABLE_COPY(SurfaceMaps)

    bool readMaps(DocumentStream &in, int version);
};

#endif
