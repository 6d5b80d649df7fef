#ifndef FILEHELPERS_H
#define FILEHELPERS_H

#include <QString>

// Paths always use '/' as separator.

void showBusyCursor();
void hideBusyCursor();

QString getPathFromFullFileName(const QString &name);
QString getFileNameFromFullFileName(const QString &name);
QString getExtension(const QString &name);
QString removeExtension(const QString &name);
QString combinePathAndFileName(const QString &path, const QString &name);
void convertWinDirSlashes2UnixSlashes(QString &path);

// The EXIF orientation code of a JPEG file; 1 (upright) whenever none can be read.
int getOrientationFromExif(const QString &fileName);

#endif
