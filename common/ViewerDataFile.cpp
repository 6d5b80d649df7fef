#include "ViewerDataFile.h"

#include "FolderDataFiles.h"
#include "LocalFiles.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

ViewerDataFile::ViewerDataFile(Reader reader, Writer writer)
    : reader(std::move(reader)), writer(std::move(writer))
{
}

bool ViewerDataFile::load(const QString &name)
{
    fileName = name;
    contentsAsRead.reset();
    damaged = false;
    const QFileInfo info(fileName);
    if (!info.exists())
        return false;
    QFile file;
    damaged = !LocalFiles::openRegular(file, fileName) || !reader(file);
    contentsAsRead = serialized();
    return true;
}

bool ViewerDataFile::save()
{
    if (fileName.isEmpty())
        return false;
    if (contentsAsRead && serialized() == *contentsAsRead)
        return true;
    if (damaged && QFileInfo::exists(fileName) && !keepDamagedFile())
        return false;
    if (!saveFileAtomically(fileName, writer))
        return false;
    damaged = false;
    contentsAsRead = serialized();
    return true;
}

QByteArray ViewerDataFile::serialized() const
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    writer(buffer);
    return bytes;
}

// One copy, of the newest failure. What cannot be read (or is no regular file,
// whose opening could block) is moved aside instead.
bool ViewerDataFile::keepDamagedFile() const
{
    const QString damagedName = fileName + ".damaged";
    QFile::remove(damagedName);
    if (QFileInfo(fileName).isFile() && QFile::copy(fileName, damagedName))
        return true;
    return QFile::rename(fileName, damagedName);
}
