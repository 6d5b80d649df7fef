#ifndef DATAFOLDERS_H
#define DATAFOLDERS_H

#include <QString>

// Where the viewer keeps its data: the sample folder that is the first favorite
// on a first start, and the folder of its own files (favorites, visited folders,
// thumbnails), beside the program or, where it is installed or cannot write
// there, with the user.
struct DataFolders
{
    // The folder that holds the program, or its macOS bundle.
    QString base;
    QString viewerData;
    QString folderData;

    // The folders of a program in applicationDir; makes folderData when it is missing.
    static DataFolders forProgramIn(const QString &applicationDir);
};

#endif
