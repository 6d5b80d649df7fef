#include "NameLinks.h"

#include "LocalFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <unistd.h>

namespace {

QString systemReason()
{
    const QString reason = QString::fromLocal8Bit(strerror(errno));
    return reason.left(1).toLower() + reason.mid(1);
}

bool link(const QByteArray &target, const QString &name)
{
    return ::symlink(target.constData(), QFile::encodeName(name).constData()) == 0;
}

} // namespace

NameLinks::NameLinks() = default;
NameLinks::~NameLinks() = default;

QString NameLinks::reach(const QByteArray &path, QString *why)
{
    QByteArray trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith('/'))
        trimmed.chop(1);
    const qsizetype slash = trimmed.lastIndexOf('/');
    const QByteArray name = trimmed.mid(slash + 1);
    const QByteArray given = slash < 0 ? QByteArray(".") : slash == 0 ? "/" : trimmed.left(slash);
    if (name.isEmpty() || name == "." || name == "..") {
        *why = "names no entry of a folder";
        return QString();
    }
    // The folder itself through its links, so that each is mirrored once.
    char resolved[PATH_MAX];
    if (!::realpath(given.constData(), resolved)) {
        *why = systemReason();
        return QString();
    }
    const QString folder = mirror(resolved, name, why);
    return folder.isEmpty() ? QString() : folder + '/' + LocalFiles::decodedName(name);
}

QString NameLinks::mirror(const QByteArray &folder, const QByteArray &first, QString *why)
{
    if (mirrors.contains(folder))
        return mirrors.value(folder);
    if (!links) {
        links = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/cxviewer-links-XXXXXX");
        if (!links->isValid()) {
            *why = "no private folder for links: " + links->errorString();
            links.reset();
            return QString();
        }
    }
    const QString mirrored = links->filePath(QString::number(mirrors.size()));
    const QByteArray base = folder == "/" ? QByteArray() : folder;
    if (!QDir().mkdir(mirrored) ||
        !link(base + '/' + first, mirrored + '/' + LocalFiles::decodedName(first))) {
        *why = "cannot make a link to it: " + systemReason();
        return QString();
    }
    // The rest of the folder, where a name has not been taken by another that
    // reads the same.
    if (DIR *entries = ::opendir(folder.constData())) {
        while (const dirent *entry = ::readdir(entries)) {
            const QByteArray name(entry->d_name);
            if (name != "." && name != ".." && name != first)
                link(base + '/' + name, mirrored + '/' + LocalFiles::decodedName(name));
        }
        ::closedir(entries);
    }
    mirrors.insert(folder, mirrored);
    return mirrored;
}
