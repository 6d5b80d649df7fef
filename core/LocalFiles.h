#ifndef LOCALFILES_H
#define LOCALFILES_H

#include <QString>

// How the viewer names the user's files in messages: with their control
// characters escaped, so that a message stays one line and a name cannot drive
// a terminal.
namespace LocalFiles {

// The text with control characters (C0, DEL, C1), line and paragraph
// separators and bidirectional controls escaped as \n, \t, \r, \xNN or \uNNNN.
QString printable(const QString &text);
// The last part of a path, printable: how a file is named in a message.
QString displayName(const QString &path);

} // namespace LocalFiles

#endif
