#ifndef DOCUMENTS_H
#define DOCUMENTS_H

#include "MapDisplay.h"
#include "ViewingParameters.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <optional>

class DICOMDoc;
class SurfaceMesh;
class VolumeDoc;

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
// when it cannot be read or shown.
std::shared_ptr<Document> readDocument(const QString &fileName, QString &reason);

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

// One DICOM image and its grey picture, scaled to the image's statistics;
// one without pixels is not read.
class DicomDocument final : public Document
{
public:
    static std::unique_ptr<DicomDocument> read(const QString &fileName, QString &reason);
    ~DicomDocument() override;
    Kind kind() const override { return Dicom; }

    const DICOMDoc &dicom() const { return *doc; }
    QImage greyImage() const { return grey; }

private:
    DicomDocument(const QString &fileName, std::unique_ptr<DICOMDoc> doc, const QImage &grey);

    std::unique_ptr<DICOMDoc> doc;
    QImage grey;
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
    // The map file read last, with its path; empty before one was read.
    QString mapFileName() const { return mapFile; }

private:
    VolumeDocument(const QString &fileName, std::unique_ptr<VolumeDoc> doc);

    std::unique_ptr<VolumeDoc> doc;
    MapDisplay shown;
    QString mapFile;
};

// A surface mesh, its viewing parameters if a file beside it holds them, and
// the maps chosen for it.
class MeshDocument final : public Document, public MapTarget
{
public:
    static std::unique_ptr<MeshDocument> read(const QString &fileName, QString &reason);
    ~MeshDocument() override;
    Kind kind() const override { return Mesh; }

    const SurfaceMesh &mesh() const { return *doc; }
    // For the window's thread, which draws it and changes its render mode.
    SurfaceMesh &mesh() { return *doc; }
    std::optional<ViewingParameters> viewingParameters() const { return parameters; }
    // The mesh's figures for the properties panel, counted while it was read.
    QStringList headerValues() const { return header; }

    QStringList readMapFile(const QString &fileName, QString &reason) override;
    std::optional<MapDisplay> chooseMap(int row, QString &problem) override;
    // Colours the mesh's vertices with the map chosen.
    void applyDisplay(const MapDisplay &display) override;

private:
    MeshDocument(const QString &fileName, std::unique_ptr<SurfaceMesh> mesh);

    std::unique_ptr<SurfaceMesh> doc;
    std::optional<ViewingParameters> parameters;
    QStringList header;
};

#endif
