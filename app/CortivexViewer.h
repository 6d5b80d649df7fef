#ifndef CORTIVEXVIEWER_H
#define CORTIVEXVIEWER_H

#include "BrowsingMode.h"
#include "DocumentRouter.h"

#include <QList>
#include <QMainWindow>

#include <memory>
#include <optional>

class ClustersPanel;
class CoverFlowBrowser;
class CoverStore;
class DicomSeriesLister;
class FolderBrowser;
class FolderThumbnails;
class MapsPanel;
class PropertyPanels;
class QAction;
class QDockWidget;
class QDragEnterEvent;
class QDropEvent;
class QSplitter;
class QStackedWidget;
class QToolBar;

// The main window: builds the widgets, switches the browsing modes, and connects
// the strip, the views, the panels, the folder browser and the thumbnails.
class CortivexViewer : public QMainWindow
{
    Q_OBJECT

public:
    CortivexViewer();
    ~CortivexViewer() override;

    // Finds the data folders of a program in applicationDir and reads the
    // favorites and the index of visited folders kept there.
    void openDataFolders(const QString &applicationDir);
    // Opens folders and files as given on the command line or dropped on the
    // window: a folder in the browsing mode that fits it, a file in its folder
    // with its cover chosen, a map file after its volume or mesh in the maps panel.
    void openPaths(const QStringList &paths);

    BrowsingMode browsingMode() const { return mode; }
    CoverFlowBrowser *coverFlow() const { return coverFlowBrowser; }
    // The device touched last in the strip or a view: 0 mouse, 1 touch screen, 2 touch pad.
    int inputKind() const { return lastInputKind; }

    bool eventFilter(QObject *watched, QEvent *event) override;

public slots:
    void autoSelectFirstFavFolder();
    // What the mode buttons do: the folder is listed in mode, also the mode shown.
    void setBrowsingMode(BrowsingMode newMode);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // What a browsing mode shows.
    struct ModeParts
    {
        QAction *action;
        OGLViewer *view;
        QWidget *properties;
    };

    void createViews();
    void createActions();
    void createToolBar();
    void createDockWindows();
    QDockWidget *addDock(const QString &title, QWidget *widget, Qt::DockWidgetArea area);
    void wireCoverFlow();
    void wireViews();
    void wireFolders();
    void wireReadings();
    const ModeParts &partsOf(BrowsingMode browsing) const;
    void switchBrowsingMode(BrowsingMode newMode);
    void connectCoverFlowSignals();
    void listCurrentFolder();
    void addSeriesCovers(const QStringList &covers);
    void openFolder(const QString &path, std::optional<BrowsingMode> newMode);
    void toggleFullScreen();
    void adjustFontSizeForTouchScreen(float points);
    void resizeStrip(int delta);

    std::unique_ptr<QObject> cxsCore;
    BrowsingMode mode = BrowsingMode::CXData;
    // Empty until a folder is chosen: the working directory is listed then.
    QString currentFolder;
    int lastInputKind = 0;
    bool fullScreen = false;
    // What full screen hid that was visible.
    QList<QWidget *> hiddenByFullScreen;

    QSplitter *splitter = nullptr;
    CoverStore *coverStore = nullptr;
    CoverFlowBrowser *coverFlowBrowser = nullptr;
    QStackedWidget *viewStack = nullptr;
    DocumentRouter::Views views{};
    QList<ModeParts> modeParts;
    QToolBar *toolBar = nullptr;
    QAction *loadInCXSAct = nullptr;
    QAction *fullScreenAct = nullptr;
    QDockWidget *favoriteFoldersDock = nullptr;
    QDockWidget *dirTreeDock = nullptr;
    QDockWidget *propertiesDock = nullptr;
    QDockWidget *availableMapsDock = nullptr;
    QDockWidget *clustersDock = nullptr;
    PropertyPanels *propertyPanels = nullptr;
    MapsPanel *mapsPanel = nullptr;
    ClustersPanel *clustersPanel = nullptr;
    DocumentRouter *router = nullptr;
    FolderBrowser *folders = nullptr;
    FolderThumbnails *thumbnails = nullptr;
    // The DICOM series of the folder listed in CX data mode, found after its files.
    DicomSeriesLister *seriesLister = nullptr;
};

#endif
