#include "DocumentRouter.h"

#include "Atlas.h"
#include "ClustersPanel.h"
#include "Documents.h"
#include "FileHelpers.h"
#include "FileTypes.h"
#include "ImageOGLViewer.h"
#include "LocalFiles.h"
#include "MapDisplaySettings.h"
#include "MapsPanel.h"
#include "MeshOGLViewer.h"
#include "PropertyPanels.h"
#include "RawMRIDataOGLViewer.h"
#include "VolumeOGLViewer.h"

#include <QEventLoop>
#include <QFileInfo>

DocumentRouter::DocumentRouter(const Views &views, PropertyPanels *panels, MapsPanel *maps,
                               MapDisplaySettings *mapSettings, ClustersPanel *clusters,
                               QObject *parent)
    : QObject(parent), views(views), panels(panels), maps(maps), mapSettings(mapSettings),
      clusters(clusters)
{
    connect(&loader, &DocumentLoader::loaded, this, &DocumentRouter::show);
    connect(&loader, &DocumentLoader::failed, this, &DocumentRouter::fail);
    connectMapsPanel();
}

// The panel drives the settings and follows them; only the view of the document
// they serve draws their changes and says what of its maps cannot be shown.
void DocumentRouter::connectMapsPanel()
{
    // The lists hold bare names of files in the folder of the volume or mesh shown.
    connect(maps, &MapsPanel::mapFileChosen, mapSettings,
            [this](const QString &name) { mapSettings->chooseMapFile(mapFile(name)); });
    connect(maps, &MapsPanel::mapChosen, mapSettings,
            [this](int row) { mapSettings->chooseMap(row); });
    connect(maps, &MapsPanel::thresholdChanged, mapSettings,
            [this] { mapSettings->setThreshold(maps->threshold()); });
    connect(maps, &MapsPanel::clusterSizeChanged, mapSettings,
            [this] { mapSettings->setClusterSize(maps->clusterSize()); });
    connect(maps, &MapsPanel::clusterFilterToggled, mapSettings,
            [this] { mapSettings->setClusterFilter(maps->clusterFilterEnabled()); });
    connect(maps, &MapsPanel::signSelectionChanged, mapSettings,
            [this] { mapSettings->setSignSelection(maps->signSelection()); });
    connect(mapSettings, &MapDisplaySettings::mapNamesListed, maps, &MapsPanel::setSubMapNames);
    connect(mapSettings, &MapDisplaySettings::mapChosen, maps, [this](const MapDisplay &display) {
        maps->showMapSettings(display.threshold, display.clusterSize, display.clusterFilter,
                              display.signSelection);
    });
    connect(mapSettings, &MapDisplaySettings::changed, views.volume,
            &VolumeOGLViewer::mapDisplayChanged);
    connect(mapSettings, &MapDisplaySettings::changed, views.mesh,
            &MeshOGLViewer::meshColoursChanged);
    connect(mapSettings, &MapDisplaySettings::noteChanged, this, [this](const QString &note) {
        if (mapView)
            mapView->showNote(note);
    });
    // The values at the cross and the cluster table follow the map shown at once.
    connect(mapSettings, &MapDisplaySettings::changed, panels, &PropertyPanels::updateValues);
    connect(mapSettings, &MapDisplaySettings::changed, clusters, &ClustersPanel::refresh);
    connect(maps, &MapsPanel::atlasFileChosen, this, &DocumentRouter::chooseAtlas);
    connect(mapSettings, &MapDisplaySettings::atlasChanged, this,
            [this](const std::shared_ptr<const Atlas> &atlas) {
                panels->setAtlas(atlas);
                clusters->setAtlas(atlas);
                maps->showAtlas(LocalFiles::displayName(atlas->fileName()));
            });
}

void DocumentRouter::chooseAtlas(const QString &fileName)
{
    showBusyCursor();
    QString why;
    const bool chosen = mapSettings->chooseAtlas(fileName, why);
    hideBusyCursor();
    if (!chosen)
        maps->showAtlas(why);
}

void DocumentRouter::setMapTarget(std::shared_ptr<MapTarget> target, OGLViewer *view)
{
    // The note of the maps left goes from the view that showed them.
    clusters->setVolume(view == views.volume ? std::dynamic_pointer_cast<VolumeDocument>(target)
                                             : nullptr);
    mapSettings->setTarget(std::move(target));
    mapView = view;
}

OGLViewer *DocumentRouter::viewFor(const QString &fileName) const
{
    return viewOf(FileTypes::kindOfFile(fileName));
}

OGLViewer *DocumentRouter::viewOf(FileTypes::Kind kind) const
{
    switch (kind) {
    case FileTypes::Image:
        return views.image;
    case FileTypes::Dicom:
        return views.rawMRI;
    case FileTypes::Volume:
    case FileTypes::DicomSeries:
        return views.volume;
    case FileTypes::Mesh:
        return views.mesh;
    default:
        return nullptr;
    }
}

void DocumentRouter::inspect(int index, const QString &fileName)
{
    OGLViewer *view = viewFor(fileName);
    if (!view)
        return;
    if (loadingView && loadingView != view)
        loadingView->unsetCursor();
    loadingView = view;
    view->setCursor(Qt::BusyCursor);
    if (view == views.volume || view == views.mesh) {
        // The maps offered belong to the volume or mesh shown until now.
        setMapTarget(nullptr, nullptr);
        maps->setMapFiles({});
    }
    emit viewChosen(view);
    loader.load(fileName, index);
}

void DocumentRouter::cancel()
{
    loader.cancel();
    if (loadingView)
        loadingView->unsetCursor();
    loadingView = nullptr;
}

void DocumentRouter::clearViews()
{
    cancel();
    setMapTarget(nullptr, nullptr);
    for (OGLViewer *view :
         {static_cast<OGLViewer *>(views.image), static_cast<OGLViewer *>(views.mesh),
          static_cast<OGLViewer *>(views.volume), static_cast<OGLViewer *>(views.rawMRI)})
        view->clear();
}

// A large DICOM image or volume would otherwise stay in memory, and on the
// graphics card, for as long as its mode is left.
void DocumentRouter::releaseOtherModes(BrowsingMode mode)
{
    for (FileTypes::Kind kind :
         {FileTypes::Image, FileTypes::Dicom, FileTypes::Volume, FileTypes::Mesh}) {
        if (FileTypes::browsingMode(kind) == mode)
            continue;
        OGLViewer *view = viewOf(kind);
        if (view == mapView)
            setMapTarget(nullptr, nullptr);
        view->clear();
        clearHeaderOf(view);
    }
}

void DocumentRouter::clearHeaderOf(OGLViewer *view)
{
    if (view == views.rawMRI)
        panels->clearHeaderOfDICOM();
    else if (view == views.volume)
        panels->clearHeaderOfVMR();
    else if (view == views.mesh)
        panels->clearHeaderOfSRF();
}

void DocumentRouter::show(const std::shared_ptr<Document> &document, int index)
{
    if (loadingView)
        loadingView->unsetCursor();
    loadingView = nullptr;
    switch (document->kind()) {
    case Document::Picture:
        views.image->showPicture(std::static_pointer_cast<PictureDocument>(document), index);
        return;
    case Document::Dicom: {
        const auto dicom = std::static_pointer_cast<DicomDocument>(document);
        panels->updateHeaderOfLoadedDICOM(dicom->dicom());
        views.rawMRI->showDicom(dicom, index);
        return;
    }
    case Document::Volume: {
        const auto volume = std::static_pointer_cast<VolumeDocument>(document);
        // The mesh view shows nothing meanwhile: the map settings are the volume's now.
        views.mesh->clear();
        setMapTarget(volume, views.volume);
        panels->updateHeaderOfLoadedVMR(volume);
        views.volume->showVolume(volume, index);
        offerMapFiles(*volume, volume->fileName());
        break;
    }
    case Document::Mesh: {
        const auto mesh = std::static_pointer_cast<MeshDocument>(document);
        views.volume->clear();
        setMapTarget(mesh, views.mesh);
        panels->updateHeaderOfLoadedSRF(mesh->headerValues());
        panels->showPickedVertex(mesh, -1);
        views.mesh->showMesh(mesh, index);
        offerMapFiles(*mesh, mesh->fileName());
        break;
    }
    }
}

void DocumentRouter::fail(const QString &fileName, const QString &reason, int index)
{
    OGLViewer *view = viewFor(fileName);
    if (loadingView)
        loadingView->unsetCursor();
    loadingView = nullptr;
    if (!view)
        return;
    if (view == views.volume || view == views.mesh) {
        // A file that fails takes the maps of the last one out of the panel.
        setMapTarget(nullptr, nullptr);
        maps->setMapFiles({});
    }
    view->showFailure(index, fileName, reason);
    clearHeaderOf(view);
}

void DocumentRouter::waitForDocument()
{
    if (!loader.isLoading())
        return;
    QEventLoop loop;
    connect(&loader, &DocumentLoader::loaded, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    connect(&loader, &DocumentLoader::failed, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    loop.exec();
}

QString DocumentRouter::mapFile(const QString &name) const
{
    return mapFolder.filePath(name);
}

// The map files the document found beside it; the panel holds bare names.
void DocumentRouter::offerMapFiles(const MapTarget &target, const QString &fileName)
{
    // A series' folder is the one its cover stands for.
    mapFolder = QDir(FileTypes::folderOf(fileName));
    maps->setMapFiles(target.offeredMapFiles());
}
