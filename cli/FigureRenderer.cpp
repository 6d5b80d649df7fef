#include "FigureRenderer.h"

#include "CommandLine.h"
#include "DocRawDataInterface.h"
#include "DocSRFInterface.h"
#include "DocVMRInterface.h"
#include "ImageOGLViewer.h"
#include "LocalFiles.h"
#include "MeshOGLViewer.h"
#include "RawMRIDataOGLViewer.h"
#include "SurfaceMesh.h"
#include "VolumeDoc.h"
#include "VolumeOGLViewer.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

FigureRenderer::FigureRenderer(QObject *core) : core(core) {}

bool FigureRenderer::render(const CommandLine &line)
{
    reason.clear();
    alsoRead.clear();
    shownFailure.clear();
    // Only regular files: a FIFO would hold the figure for good.
    for (const QString &input : {line.paths().value(0), line.mapFile()}) {
        const QString why = input.isEmpty() ? QString() : LocalFiles::openFailure(input);
        if (!why.isEmpty())
            return fail(LocalFiles::displayName(input) + ": " + why);
    }
    const QImage figure = draw(line);
    if (figure.isNull())
        // A view that read its file but could not be drawn (no framebuffer of that size).
        return fail(QString("cannot draw %1 at %2 × %3 pixels")
                        .arg(LocalFiles::displayName(line.paths().value(0)))
                        .arg(line.size().width())
                        .arg(line.size().height()));
    for (const QString &input : std::as_const(alsoRead))
        if (LocalFiles::sameFile(line.outputFile(), input))
            return fail("--render would write over " + input + ", which the figure reads");
    if (!write(figure, line.outputFile()))
        return false;
    // The figure says it too, as the window would.
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
    switch (line.fileKind()) {
    case FileTypes::Image:
        return drawImage(line);
    case FileTypes::Dicom:
        return drawDicom(line);
    case FileTypes::Volume:
        return drawVolume(line);
    case FileTypes::Mesh:
        return drawMesh(line);
    default:
        fail("cannot draw " + line.paths().value(0));
        return QImage();
    }
}

// The view is drawn as in the window, but never mapped on a screen.
void FigureRenderer::prepare(OGLViewer &view, const CommandLine &line)
{
    view.setAttribute(Qt::WA_DontShowOnScreen);
    view.resize(line.size());
    view.show();
}

QImage FigureRenderer::drawImage(const CommandLine &line)
{
    ImageOGLViewer view;
    prepare(view, line);
    bool measured = false;
    QObject::connect(&view, &ImageOGLViewer::imageMeasured,
                     [&](int, int width, int height) { measured = width > 0 && height > 0; });
    const QString file = line.paths().first();
    view.newImageForInspection(0, file);
    if (!measured) {
        fail(LocalFiles::displayName(file) + ": not a readable image");
        return QImage();
    }
    return view.grabFramebuffer();
}

QImage FigureRenderer::drawDicom(const CommandLine &line)
{
    RawMRIDataOGLViewer view(qobject_cast<DocRawDataInterface *>(core));
    prepare(view, line);
    QObject::connect(&view, &RawMRIDataOGLViewer::loadFailed,
                     [this](const QString &note) { fail(note); });
    view.newRawMRIFileForInspection(0, line.paths().first());
    return reason.isEmpty() ? view.grabFramebuffer() : QImage();
}

QImage FigureRenderer::drawVolume(const CommandLine &line)
{
    auto *volumes = qobject_cast<DocVMRInterface *>(core);
    VolumeOGLViewer view(volumes);
    prepare(view, line);
    QObject::connect(&view, &VolumeOGLViewer::loadFailed,
                     [this](const QString &note) { fail(note); });
    view.newVolumeItemForInspection(0, line.paths().first());
    if (!reason.isEmpty())
        return QImage();
    if (const auto cross = line.cross()) {
        if (!view.setCrossPosition((*cross)[0], (*cross)[1], (*cross)[2])) {
            const VolumeDoc *doc = volumes->getVolumeDoc(0);
            fail(QString("the cross %1,%2,%3 lies outside the volume's %4 × %5 × %6 voxels")
                     .arg((*cross)[0])
                     .arg((*cross)[1])
                     .arg((*cross)[2])
                     .arg(doc->dimX)
                     .arg(doc->dimY)
                     .arg(doc->dimZ));
            return QImage();
        }
    }
    if (!line.mapFile().isEmpty() && !showMap(view, line))
        return QImage();
    return view.grabFramebuffer();
}

QImage FigureRenderer::drawMesh(const CommandLine &line)
{
    MeshOGLViewer view(qobject_cast<DocSRFInterface *>(core));
    prepare(view, line);
    QObject::connect(&view, &MeshOGLViewer::loadFailed,
                     [this](const QString &note) { fail(note); });
    view.newMeshItemForInspection(0, line.paths().first());
    if (!reason.isEmpty())
        return QImage();
    // The file of another vertex set the mesh names, read from the mesh's folder.
    const SurfaceMesh *mesh = qobject_cast<DocSRFInterface *>(core)->getMesh(0);
    if (mesh && mesh->indirectVerticesLoaded)
        alsoRead << QFileInfo(line.paths().first())
                        .dir()
                        .filePath(QFile::decodeName(mesh->indirectMeshFile));
    if (!line.mapFile().isEmpty() && !showMap(view, line))
        return QImage();
    return view.grabFramebuffer();
}

// Through the view's own slots, as the maps panel drives them: the file, its
// map, then each setting asked for.
template <class View> bool FigureRenderer::showMap(View &view, const CommandLine &line)
{
    const QString name = LocalFiles::displayName(line.mapFile());
    QStringList maps;
    bool listed = false;
    QString mapFailure;
    QObject::connect(&view, &View::mapNamesListed, [&](const QStringList &names) {
        maps = names;
        listed = true;
    });
    QObject::connect(&view, &View::mapFailed, [&](const QString &note) { mapFailure = note; });
    view.clickedMap(line.mapFile());
    if (!listed)
        return fail(mapFailure.isEmpty() ? name + ": not a readable map file for " +
                                               LocalFiles::displayName(line.paths().first())
                                         : mapFailure);
    if (line.mapIndex() > maps.size())
        return fail(
            QString("%1: holds %2 maps, not %3").arg(name).arg(maps.size()).arg(line.mapIndex()));
    view.clickedSubMap(line.mapIndex() - 1, maps.size());
    // A map file that reads but shows nothing, such as one beside the volume:
    // the figure shows the note, and the run fails.
    shownFailure = mapFailure;
    if (const auto threshold = line.threshold())
        view.changeThreshold(*threshold);
    if (const auto size = line.clusterSize()) {
        view.changeClusterSize(*size);
        view.enableClusterSize(true);
    }
    if (const auto sign = line.signSelection())
        view.showPosNegMapValues(*sign);
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
