#ifndef VIEWERDATAFILE_H
#define VIEWERDATAFILE_H

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class QIODevice;

// One of the viewer's own files, read at start-up and written when its contents
// change. The reader and writer work on the caller's data; the reader returns
// false when the file was cut short or malformed.
//
// A file is rewritten only when the contents differ from what was read, so a
// file the viewer could not read is never replaced just because it started and
// quit. When it is replaced after all, the damaged file is kept beside the new
// one as NAME.damaged.
class ViewerDataFile
{
public:
    using Reader = std::function<bool(QIODevice &)>;
    using Writer = std::function<void(QIODevice &)>;

    ViewerDataFile(Reader reader, Writer writer);

    // Reads fileName into the caller's data. Returns false when there is no such
    // file; the data are then left as they are.
    bool load(const QString &fileName);
    // Writes the data if they changed since load(); false on any failure, which
    // leaves the old file whole. Does nothing before load().
    bool save();

    bool isDamaged() const { return damaged; }

private:
    QByteArray serialized() const;
    bool keepDamagedFile() const;

    Reader reader;
    Writer writer;
    QString fileName;
    bool damaged = false;
    // What the data looked like when read; empty for a missing file.
    std::optional<QByteArray> contentsAsRead;
};

#endif
