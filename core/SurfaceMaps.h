#ifndef SURFACEMAPS_H
#define SURFACEMAPS_H

#include <QList>
#include <QString>

#include <memory>
#include <vector>

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
    // Why the last load failed, in a few words for the user.
    QString failureReason() const { return failure; }
    // The number of vertices an SMP file states, read from its header alone;
    // -1 when the file cannot be read or its header is not one of an SMP file.
    static int statedVertexCount(const QString &fileName);
    // Maps of nrOfVertices zero values, coloured by their number or, with
    // greys, in grey. False when the memory cannot be had; then no map is held.
    bool allocateMapsMemory(int nrOfMaps, bool greys);
    void freeMapsMemory();

    SurfaceMesh *mesh;
    QString fileNameWithPath = QStringLiteral("untitled.smp");
    std::vector<std::unique_ptr<SurfaceMap>> maps;
    int nrOfSelectedMaps = 0;
    QList<int> selectedMaps;
    int nrOfVertices = 0;
    int smpVersion = 0;
    QString srfFileName;

private:
    Q_DISABLE_COPY(SurfaceMaps)

    bool readMaps(DocumentStream &in, int version);
    bool fail(const QString &reason);
    // The version and vertex count that lead the file; false for a header
    // that cannot be one.
    static bool readHeader(DocumentStream &in, qint16 &version, qint32 &vertexCount);

    QString failure;
};

#endif
