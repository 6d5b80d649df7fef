#include "FigureRenderer.h"

#include "CommandLine.h"
#include "Documents.h"
#include "InstructionBand.h"
#include "LocalFiles.h"
#include "MapDisplaySettings.h"
#include "PlaneFrame.h"
#include "SurfaceMesh.h"
#include "ViewCovers.h"
#include "VolumeComposer.h"
#include "VolumeCross.h"
#include "VolumeDoc.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QSaveFile>

namespace {

// The background of the DICOM and volume views.
const QColor planeBackground(12, 12, 12);

// A note over the figure where the view draws it: across the middle.
void drawNote(QImage &figure, const QString &note)
{
    if (note.isEmpty() || figure.isNull())
        return;
    const QImage band =
        renderInstructionBand(note, QGuiApplication::font(), figure.width(), figure.height());
    QPainter painter(&figure);
    painter.drawImage(0, (figure.height() - band.height()) / 2, band);
}

} // namespace

bool FigureRenderer::render(const CommandLine &line)
{
    reason.clear();
    alsoRead.clear();
    shownFailure.clear();
    // Only regular files: a FIFO would hold the figure for good. A series'
    // files are each opened as such by their reader.
    const QString file = line.fileKind() == FileTypes::DicomSeries ? QString() : line.figureFile();
    for (const QString &input : {file, line.mapFile()}) {
        const QString why = input.isEmpty() ? QString() : LocalFiles::openFailure(input);
        if (!why.isEmpty())
            return fail(LocalFiles::displayName(input) + ": " + why);
    }
    QImage figure = draw(line);
    if (figure.isNull())
        return fail(QString("cannot draw %1 at %2 × %3 pixels")
                        .arg(LocalFiles::displayName(line.figureFile()))
                        .arg(line.size().width())
                        .arg(line.size().height()));
    for (const QString &input : std::as_const(alsoRead))
        if (LocalFiles::sameFile(line.outputFile(), input))
            return fail("--render would write over " + input + ", which the figure reads");
    // The figure says it too, as the window would.
    drawNote(figure, shownFailure);
    if (!write(figure, line.outputFile()))
        return false;
    return shownFailure.isEmpty() || fail(shownFailure);
}

bool FigureRenderer::fail(const QString &why)
{
    if (reason.isEmpty())
        reason = LocalFiles::printable(why);
    return false;
}

QImage FigureRenderer::draw(const CommandLine &line)
{
    const QString file = line.figureFile();
    QString why;
    const std::shared_ptr<Document> document = readDocument(file, why);
    if (!document) {
        fail(LocalFiles::displayName(file) + ": " + why);
        return QImage();
    }
    switch (document->kind()) {
    case Document::Picture:
        return planeFrame(static_cast<PictureDocument &>(*document).image(), line.size(),
                          Qt::black);
    case Document::Dicom:
        return planeFrame(static_cast<DicomDocument &>(*document).image(), line.size(),
                          planeBackground);
    case Document::Volume:
        return drawVolume(std::static_pointer_cast<VolumeDocument>(document), line);
    case Document::Mesh:
        return drawMesh(std::static_pointer_cast<MeshDocument>(document), line);
    }
    return QImage();
}

QImage FigureRenderer::drawVolume(const std::shared_ptr<VolumeDocument> &volume,
                                  const CommandLine &line)
{
    VolumeCross cross;
    cross.reset(volume.get());
    if (const auto asked = line.cross(); asked && !cross.moveTo(*asked)) {
        const VolumeDoc &doc = volume->volume();
        fail(QString("the cross %1,%2,%3 lies outside the volume's %4 × %5 × %6 voxels")
                 .arg((*asked)[0])
                 .arg((*asked)[1])
                 .arg((*asked)[2])
                 .arg(doc.dimX)
                 .arg(doc.dimY)
                 .arg(doc.dimZ));
        return QImage();
    }
    MapDisplaySettings settings;
    settings.setTarget(volume);
    if (!line.mapFile().isEmpty() && !showMap(settings, line))
        return QImage();
    // The view shows the cross once it was moved or a map was chosen.
    const bool crossShown = line.cross() || !line.mapFile().isEmpty();
    VolumeComposer composer;
    const QImage slices = composer.compose(*volume, cross.position(), {true, true, crossShown});
    return planeFrame(slices, line.size(), planeBackground);
}

// As the mesh view draws it, with no display: into a framebuffer of an OpenGL
// context of its own.
QImage FigureRenderer::drawMesh(const std::shared_ptr<MeshDocument> &mesh, const CommandLine &line)
{
    // The file of another vertex set the mesh names, read from the mesh's folder.
    if (mesh->mesh().indirectVerticesLoaded)
        alsoRead << QFileInfo(mesh->fileName())
                        .dir()
                        .filePath(QFile::decodeName(mesh->mesh().indirectMeshFile));
    // The curvature a surface is shaded by.
    if (!mesh->curvatureFile().isEmpty())
        alsoRead << mesh->curvatureFile();
    MapDisplaySettings settings;
    settings.setTarget(mesh);
    if (!line.mapFile().isEmpty() && !showMap(settings, line))
        return QImage();
    const QSize size = line.size();
    QString why;
    const QImage figure = drawMeshAsViewStarts(*mesh, size, why);
    if (figure.isNull())
        fail(QString("cannot draw %1 at %2 × %3 pixels: %4")
                 .arg(LocalFiles::displayName(mesh->fileName()))
                 .arg(size.width())
                 .arg(size.height())
                 .arg(why));
    return figure;
}

// As the maps panel drives the settings: the file, its map, then each setting
// asked for.
bool FigureRenderer::showMap(MapDisplaySettings &settings, const CommandLine &line)
{
    const QString name = LocalFiles::displayName(line.mapFile());
    QStringList maps;
    QObject::connect(&settings, &MapDisplaySettings::mapNamesListed,
                     [&](const QStringList &names) { maps = names; });
    if (!settings.chooseMapFile(line.mapFile()))
        return fail(settings.note());
    if (line.mapIndex() > maps.size())
        return fail(
            QString("%1: holds %2 maps, not %3").arg(name).arg(maps.size()).arg(line.mapIndex()));
    settings.chooseMap(line.mapIndex() - 1);
    // A map file that reads but shows nothing, such as one beside the volume:
    // the figure shows the note, and the run fails.
    shownFailure = settings.note();
    if (const auto threshold = line.threshold())
        settings.setThreshold(*threshold);
    if (const auto size = line.clusterSize()) {
        settings.setClusterSize(*size);
        settings.setClusterFilter(true);
    }
    if (const auto sign = line.signSelection())
        settings.setSignSelection(*sign);
    return true;
}

bool FigureRenderer::write(const QImage &figure, const QString &fileName)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return fail("cannot write " + fileName + ": " + file.errorString());
    if (!figure.save(&file, "PNG") || !file.flush())
        return fail("cannot write " + fileName + ": " + file.errorString());
    if (!file.commit())
        return fail("cannot write " + fileName + ": " + file.errorString());
    return true;
}
