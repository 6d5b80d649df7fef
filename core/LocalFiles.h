#ifndef LOCALFILES_H
#define LOCALFILES_H

#include <QIODevice>
#include <QString>

class QFile;

// How the viewer reaches the user's files and names them in messages.
//
// Only regular files are opened: a FIFO would keep the open, or the reads,
// waiting for a writer that never comes, and a device could never end. The
// name is checked first, and the file is opened without waiting, so that a
// FIFO put in its place in between cannot hold the open either.
//
// Names are shown with their control characters escaped, so that a message
// stays one line and a name cannot drive a terminal.
namespace LocalFiles {

// A descriptor of the regular file the name leads to (through links), opened
// read-only; the caller closes it. -1 when it cannot be opened, with why set to
// "no such file", "not a regular file" or the system's reason in lower case.
int openRegular(const QString &fileName, QString *why = nullptr);
// The same into file, opened with the mode given; it then has no name of its own.
bool openRegular(QFile &file, const QString &fileName,
                 QIODevice::OpenMode mode = QIODevice::ReadOnly, QString *why = nullptr);
// Why the name cannot be opened as openRegular() says; empty when it can.
QString openFailure(const QString &fileName);
// Whether the name leads to a regular file, for libraries that open by name.
bool isRegular(const QString &fileName);
// Whether both names lead to one existing file: the same path once links are
// followed, or another name of it (a hard link: the same device and inode).
bool sameFile(const QString &a, const QString &b);

// The text with control characters (C0, DEL, C1), line and paragraph
// separators and bidirectional controls escaped as \n, \t, \r, \xNN or \uNNNN.
QString printable(const QString &text);
// The last part of a path, printable: how a file is named in a message.
QString displayName(const QString &path);
// Bytes of a name as the system holds them, with each byte that is not part of
// valid UTF-8 written as \xNN: a name Qt can hold for one it cannot.
QString decodedName(const QByteArray &name);
// Whether the bytes of a name survive Qt's decoding (valid UTF-8).
bool isDecodable(const QByteArray &name);

} // namespace LocalFiles

#endif
