#include "CortivexViewer.h"

#include <QApplication>
#include <QSplashScreen>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Cortivex");
    QApplication::setApplicationName("CXViewer");

    QSplashScreen splash(QPixmap(":/resources/CXV_Splash_v18.png"));
    splash.show();
    app.processEvents();

    auto *viewer = new CortivexViewer;
    viewer->initDataFolders(QCoreApplication::applicationDirPath());
    viewer->loadFavoriteFoldersList();
    viewer->fillFavoriteFoldersLsWdg();
    viewer->loadVisitedFoldersToThumbnailFilesMaps();
    QTimer::singleShot(500, viewer, &CortivexViewer::autoSelectFirstFavFolder);

    viewer->resize(1200, 750);
    viewer->show();
    splash.finish(viewer);
    return app.exec();
}
