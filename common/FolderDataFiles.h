#ifndef FOLDERDATAFILES_H
#define FOLDERDATAFILES_H

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

class QDataStream;
class QIODevice;

// The viewer's own files: little-endian data streams of ints and UTF-16 strings.

// Appends the favorites of the device; false when the data end early or are
// malformed, after every complete entry before the fault was read.
bool readFavoriteFolders(QIODevice &device, QStringList &folders, QList<int> &modes);
void writeFavoriteFolders(QIODevice &device, const QStringList &folders, const QList<int> &modes);

// A map is written from the largest key to the smallest; reading accepts any
// order and leaves the map empty when an entry is cut short.
bool readStringMap(QDataStream &in, QMap<QString, QString> &map);
void writeStringMap(QDataStream &out, const QMap<QString, QString> &map);

// The visited-folder index: per browsing mode (images, raw MRI data, CX data) a
// map from folder to thumbnail file name. A map cut short is left empty, and so
// is every map after it; false then.
bool readVisitedFolders(QIODevice &device, QMap<QString, QString> &images,
                        QMap<QString, QString> &rawMRI, QMap<QString, QString> &cx);
void writeVisitedFolders(QIODevice &device, const QMap<QString, QString> &images,
                         const QMap<QString, QString> &rawMRI, const QMap<QString, QString> &cx);

// Writes through a temporary file that replaces the old one only when every byte
// was written, so a failed save never truncates or damages it.
bool saveFileAtomically(const QString &fileName, const std::function<void(QIODevice &)> &write);
// The same with a writer that can give up: false leaves the old file as it was.
bool saveFileAtomicallyIf(const QString &fileName, const std::function<bool(QIODevice &)> &write);

#endif
