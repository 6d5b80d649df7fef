#ifndef NAMELINKS_H
#define NAMELINKS_H

#include <QByteArray>
#include <QHash>
#include <QString>

#include <memory>

class QTemporaryDir;

// Qt decodes every file name as UTF-8, replacing the bytes that are not, and
// leaves such names out of folder listings, so a file whose name is not valid
// UTF-8 cannot be opened by its name. It is reached through a mirror of its
// folder instead: a private folder of links to all the folder's entries under
// names Qt can hold (each byte that is not UTF-8 written as \xNN), so that the
// files read beside it (a mesh's viewing parameters, the image file of a NIfTI
// header) are found as well. Only the links are removed, with this object.
class NameLinks
{
public:
    NameLinks();
    ~NameLinks();

    // The name to reach path by; empty, with why, when no link can be made.
    QString reach(const QByteArray &path, QString *why);

private:
    QString mirror(const QByteArray &folder, const QByteArray &first, QString *why);

    std::unique_ptr<QTemporaryDir> links;
    QHash<QByteArray, QString> mirrors; // folder, as the system names it -> its mirror
};

#endif
