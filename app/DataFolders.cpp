#include "DataFolders.h"

#include "FileHelpers.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

DataFolders DataFolders::forProgramIn(const QString &applicationDir)
{
    QDir base(applicationDir);
    // Inside a macOS bundle the data sit next to Name.app, not in Contents/MacOS.
    if (applicationDir.endsWith(".app/Contents/MacOS")) {
        base.cdUp();
        base.cdUp();
        base.cdUp();
    }
    DataFolders folders;
    folders.base = base.absolutePath();
    folders.viewerData = combinePathAndFileName(folders.base, "ViewerData");
    folders.folderData = combinePathAndFileName(folders.base, "CXViewerFolderData");
    // Installed in a prefix (bin/ beside share/), the program's folder is no place
    // for data, even where it can be written (by root, or in the user's own prefix).
    const bool installed = base.dirName() == "bin" && QFileInfo(base.filePath("../share")).isDir();
    if (!installed && !QDir(folders.folderData).exists())
        QDir().mkdir(folders.folderData);
    const QFileInfo folderData(folders.folderData);
    if (installed || !folderData.isDir() || !folderData.isWritable()) {
        // A read-only or installed location: keep the data with the user instead.
        const QString userData = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        folders.folderData = combinePathAndFileName(userData, "CXViewerFolderData");
        QDir().mkpath(folders.folderData);
    }
    return folders;
}
