#ifndef DOCUMENTROUTER_H
#define DOCUMENTROUTER_H

#include "BrowsingMode.h"
#include "DocumentLoader.h"
#include "FileTypes.h"

#include <QDir>
#include <QObject>

#include <memory>

class ClustersPanel;
class Document;
class ImageOGLViewer;
class MapTarget;
class MapDisplaySettings;
class MapsPanel;
class MeshOGLViewer;
class OGLViewer;
class PropertyPanels;
class RawMRIDataOGLViewer;
class VolumeOGLViewer;

// Takes the file chosen in the strip to the view of its type (FileTypes) and
// the panels that describe it: the file is read on a worker thread, and the
// document, or the reason it failed, goes to the view, the header panel and,
// for a volume or a mesh, the maps panel and the map display settings, which
// it binds to each other and to the view of the document they serve, and for
// a volume the cluster table of its map.
class DocumentRouter : public QObject
{
    Q_OBJECT

public:
    struct Views
    {
        ImageOGLViewer *image;
        MeshOGLViewer *mesh;
        VolumeOGLViewer *volume;
        RawMRIDataOGLViewer *rawMRI;
    };

    DocumentRouter(const Views &views, PropertyPanels *panels, MapsPanel *maps,
                   MapDisplaySettings *mapSettings, ClustersPanel *clusters,
                   QObject *parent = nullptr);

    // Whether a file is being read for a view.
    bool isLoading() const { return loader.isLoading(); }
    // The view of a file's type; null for a file no view shows.
    OGLViewer *viewFor(const QString &fileName) const;
    // Returns once the file asked for last is shown or has failed.
    void waitForDocument();
    // A map file offered in the maps panel, by name, with its path.
    QString mapFile(const QString &name) const;
    // What is being read will not be shown: the covers it was read for are gone.
    void cancel();
    // Every view lets go of its document: nothing being read reaches them.
    void clearViews();
    // The views of the other modes let go of their documents and headers.
    void releaseOtherModes(BrowsingMode mode);

public slots:
    // Reads the file of the cover at index for its view.
    void inspect(int index, const QString &fileName);

signals:
    // The view that is to show the file just asked for.
    void viewChosen(OGLViewer *view);

private:
    void show(const std::shared_ptr<Document> &document, int index);
    void fail(const QString &fileName, const QString &reason, int index);
    void offerMapFiles(const MapTarget &target, const QString &fileName);
    void connectMapsPanel();
    void chooseAtlas(const QString &fileName);
    OGLViewer *viewOf(FileTypes::Kind kind) const;
    void clearHeaderOf(OGLViewer *view);
    // The document whose maps the settings serve, and the view that shows it.
    void setMapTarget(std::shared_ptr<MapTarget> target, OGLViewer *view);

    Views views;
    PropertyPanels *panels;
    MapsPanel *maps;
    MapDisplaySettings *mapSettings;
    ClustersPanel *clusters;
    DocumentLoader loader;
    OGLViewer *loadingView = nullptr;
    // Shows the document of the map settings and what they say about its maps.
    OGLViewer *mapView = nullptr;
    // The folder of the volume or mesh shown, whose map files are offered.
    QDir mapFolder;
};

#endif
