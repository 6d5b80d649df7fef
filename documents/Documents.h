#ifndef DOCUMENTS_H
#define DOCUMENTS_H

#include "DicomSeries.h"
#include "MapDisplay.h"
#include "ViewingParameters.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <optional>

class Atlas;
class DICOMDoc;
class SurfaceMesh;
class VolumeDoc;
struct VertexLabels;
struct ClusterCriteria;
struct MapGrid;

// A file read to be shown, whole: made by readDocument, on any thread, and
// handed to whoever asked. What it shows never changes afterwards, but for the
// maps read onto a volume or a mesh (MapTarget), which the window's thread does.
class Document
{
public:
    enum Kind { Picture, Dicom, Volume, Mesh };

    virtual ~Document();
    virtual Kind kind() const = 0;
    // With its path.
    QString fileName() const { return name; }
    // Documents alive in the process: a superseded read must not leave one behind.
    static int instances();

protected:
    explicit Document(const QString &fileName);

private:
    QString name;
};

// Reads fileName as its type says (FileTypes); null with the reader's reason
// when it cannot be read or shown. A DICOM series cover's name
// (FileTypes::seriesCoverName) reads the series as a volume.
std::shared_ptr<Document> readDocument(const QString &fileName, QString &reason);

// The series of its folder that a series cover stands for, grouped anew from
// the headers; none with the reason when its file is gone.
std::optional<DicomSeries> dicomSeriesOfCover(const QString &coverName, QString &reason);

// A picture, upright: turned as its EXIF orientation says.
class PictureDocument final : public Document
{
public:
    static std::unique_ptr<PictureDocument> read(const QString &fileName, QString &reason);
    Kind kind() const override { return Picture; }

    QImage image() const { return picture; }
    // The EXIF orientation code, 1 when the file has none.
    int orientation() const { return orientationCode; }

private:
    PictureDocument(const QString &fileName, const QImage &picture, int orientation);

    QImage picture;
    int orientationCode;
};

// One DICOM image: its header fields and the picture of its first frame, grey
// scaled to the frame's statistics or in colour; the other frames of a
// multi-frame image are decoded when asked for. One without pixels is not read.
class DicomDocument final : public Document
{
public:
    static std::unique_ptr<DicomDocument> read(const QString &fileName, QString &reason);
    ~DicomDocument() override;
    Kind kind() const override { return Dicom; }

    const DICOMDoc &dicom() const { return *doc; }
    // The first frame.
    QImage image() const { return first; }
    int frames() const { return frameCount; }
    bool isColour() const { return colour; }
    // The picture of a frame (from 0), decoded now; null with the reason when
    // it cannot be. Safe from any thread.
    QImage frameImage(int frame, QString &reason) const;

private:
    DicomDocument(const QString &fileName, std::unique_ptr<DICOMDoc> doc, const QImage &first);

    std::unique_ptr<DICOMDoc> doc;
    QImage first;
    int frameCount = 1;
    bool colour = false;
    // The decoder of a multi-frame image, which holds its bytes; one frame at a time.
    struct Frames;
    std::unique_ptr<Frames> decoder;
};

// A VMR or NIfTI volume, with the maps chosen for it.
class VolumeDocument final : public Document, public MapTarget
{
public:
    static std::unique_ptr<VolumeDocument> read(const QString &fileName, QString &reason);
    ~VolumeDocument() override;
    Kind kind() const override { return Volume; }

    const VolumeDoc &volume() const { return *doc; }
    // Where the cross starts: the position stored with the volume, or the
    // middle of an axis whose stored value is no voxel of it.
    std::array<int, 3> initialCross() const;

    QStringList readMapFile(const QString &fileName, QString &reason) override;
    std::optional<MapDisplay> chooseMap(int row, QString &problem) override;
    // Remembers how the map chosen is shown, for composing.
    void applyDisplay(const MapDisplay &display) override;
    // How the map chosen is shown: as its file says until a display is applied.
    MapDisplay display() const { return shown; }

    // The map shown on its own grid (VolumeDoc::mapGrid), which outlives
    // the choice of another map; null while none is shown.
    std::shared_ptr<const MapGrid> mapGrid() const { return grid; }
    // The name the maps panel lists the map shown by; empty while none is.
    QString mapName() const { return gridName; }
    // Which values of mapGrid() the slices show, and as clusters of what
    // size: with the cluster filter on, of at least its size in voxels of the
    // volume, in cubic millimetres.
    ClusterCriteria clusterCriteria() const;
    // The file mapGrid() was read from; empty while no map is shown.
    QString mapFileName() const { return gridFile; }
    // The volume's voxel nearest to a position in the millimetres of map
    // grids and cluster tables; false when it lies outside the volume.
    bool voxelAt(const std::array<double, 3> &millimetres, std::array<int, 3> &voxel) const;

    // What the panel shows at a voxel, as labels and values: "Anatomy", the
    // value of the map shown (its own voxel or cell nearest) under the map's
    // name ("Map" while none is shown), and "Atlas region", the region there
    // when an atlas is given and the volume has a world; values empty where
    // there are none.
    QList<QPair<QString, QString>> valuesAt(const std::array<int, 3> &voxel,
                                            const Atlas *atlas) const;

private:
    VolumeDocument(const QString &fileName, std::unique_ptr<VolumeDoc> doc);

    std::unique_ptr<VolumeDoc> doc;
    MapDisplay shown;
    QString mapFile;
    std::shared_ptr<const MapGrid> grid;
    QString gridName;
    QString gridFile;
};

// A surface mesh, its viewing parameters if a file beside it holds them, and
// the maps chosen for it. An SRF mesh, or a FreeSurfer or GIfTI surface shaded
// by the curvature beside it; maps are SMP files, or FreeSurfer and GIfTI
// values (a map each) or labels (drawn in their colours).
class MeshDocument final : public Document, public MapTarget
{
public:
    static std::unique_ptr<MeshDocument> read(const QString &fileName, QString &reason);
    ~MeshDocument() override;
    Kind kind() const override { return Mesh; }
    // Where the viewing parameters of a mesh file are looked for, in order:
    // its name without its ending, and ".vwp" or ".VWP".
    static QStringList viewingParameterFiles(const QString &meshFile);

    const SurfaceMesh &mesh() const { return *doc; }
    // For the window's thread, which draws it and changes its render mode.
    SurfaceMesh &mesh() { return *doc; }
    std::optional<ViewingParameters> viewingParameters() const { return parameters; }
    // The mesh's figures for the properties panel, counted while it was read.
    QStringList headerValues() const { return header; }
    // The file of curvature the surface is shaded by; empty when none.
    QString curvatureFile() const { return curvature; }
    // The name of the label of a vertex, while labels are shown; empty for a
    // vertex of no label, or when no labels are shown.
    QString labelAt(int vertex) const;

    QStringList readMapFile(const QString &fileName, QString &reason) override;
    std::optional<MapDisplay> chooseMap(int row, QString &problem) override;
    // Colours the mesh's vertices with the map chosen.
    void applyDisplay(const MapDisplay &display) override;

    // What the panel shows of a vertex, as labels and values: "Vertex",
    // "Coordinates", "Curvature" (the convex or concave colour the file gives
    // it), the value of the map shown under its name ("Map" while none is
    // shown) and "Label", of the labels shown; values empty for no vertex of the mesh.
    QList<QPair<QString, QString>> vertexValues(int vertex) const;

private:
    MeshDocument(const QString &fileName, std::unique_ptr<SurfaceMesh> mesh,
                 const QString &type = QString());
    void showLabels();

    std::unique_ptr<SurfaceMesh> doc;
    std::optional<ViewingParameters> parameters;
    QStringList header;
    QString curvature;
    // The labels of the label file read last, instead of maps.
    std::unique_ptr<VertexLabels> labels;
    bool labelsShown = false;
};

#endif
