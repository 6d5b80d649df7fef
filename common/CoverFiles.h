#ifndef COVERFILES_H
#define COVERFILES_H

#include <QByteArray>
#include <QString>

#include <sys/types.h>

// The files a cover store reads thumbnails from by place (offset and length),
// so that a folder of ten thousand covers does not hold its thumbnails in memory.
// A read gives the bytes only when they are a whole PNG stream with a thumbnail's
// header; anything else gives an empty array, never other bytes.

// Whether the bytes are a thumbnail's PNG stream from its signature and header
// chunk to its end chunk (what lies between is checked by decoding).
bool isWholeThumbnailStream(const QByteArray &png);

// The folder's stored thumbnail file, read where the entries lie. The file is
// someone else's to replace (another viewer, a user emptying the data folder):
// each read first checks that the name still leads to the file opened, of the
// same size and time, and once it does not, nothing is read from it any more.
class StoredCovers
{
public:
    StoredCovers() = default;
    ~StoredCovers();
    StoredCovers(const StoredCovers &) = delete;
    StoredCovers &operator=(const StoredCovers &) = delete;

    // Keeps a copy of descriptor, which reads fileName: the file as it is now.
    bool open(const QString &fileName, int descriptor);
    void close();
    bool isOpen() const { return fd >= 0; }
    // False once the file has changed or gone since it was opened.
    bool isUnchanged();
    QByteArray read(qint64 offset, qint64 length);

private:
    QString fileName;
    int fd = -1;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    qint64 modifiedNs = 0;
};

// The thumbnails made while a folder is shown, appended to a file of the
// viewer's data folder until the folder's file is written from it. The spool is
// the viewer's alone: it is locked while the viewer runs, removed when done, and
// one left by a viewer that was killed is removed by the next to start.
class CoverSpool
{
public:
    CoverSpool() = default;
    ~CoverSpool();
    CoverSpool(const CoverSpool &) = delete;
    CoverSpool &operator=(const CoverSpool &) = delete;

    // Where the spool is made when the first thumbnail comes; none before.
    void setFolder(const QString &folder);
    // The offset the bytes start at, or -1 when they could not be written all
    // (a full disk): the spool then takes nothing more until it is removed.
    qint64 append(const QByteArray &png);
    QByteArray read(qint64 offset, qint64 length) const;
    bool hasFailed() const { return failed; }
    // Closes and deletes the file; the next append starts a new one.
    void remove();
    QString fileName() const { return name; }

    // Whether the name is one a spool is given: it never ends in ".cxi", nor is
    // it the name of the index or the favorites.
    static bool isSpoolName(const QString &name);
    // Deletes the spools in folder whose viewer is gone (none holds their lock);
    // touches no other file.
    static void removeLeftBehind(const QString &folder);

private:
    bool create();

    QString folder;
    QString name;
    int fd = -1;
    qint64 end = 0;
    bool failed = false;
};

#endif
