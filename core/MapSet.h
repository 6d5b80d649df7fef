#ifndef MAPSET_H
#define MAPSET_H

#include "DocumentStream.h"

#include <QFile>
#include <QList>
#include <QString>

#include <memory>
#include <vector>

// What every set of maps read from a file holds: its maps, which of them are
// selected, the name of the file and why the last read failed.
template <typename Map> class MapSet
{
public:
    MapSet(const MapSet &) = delete;
    MapSet &operator=(const MapSet &) = delete;

    // Why the last read failed, in a few words for the user.
    QString failureReason() const { return failure; }
    void freeMapsMemory()
    {
        maps.clear();
        selectedMaps.clear();
        nrOfSelectedMaps = 0;
    }

    std::vector<std::unique_ptr<Map>> maps;
    int nrOfSelectedMaps = 0;
    QList<int> selectedMaps;
    QString fileNameWithPath;

protected:
    explicit MapSet(const QString &untitled) : fileNameWithPath(untitled) {}
    ~MapSet() = default;

    // Reads the file with read(file), which gives 1 for a set read; the set
    // then takes the file's name. A file that cannot be opened is not read.
    template <typename Read> int readFile(const QString &fileName, Read read)
    {
        QFile file(fileName);
        if (!DocumentStream::openFile(file))
            return fail(DocumentStream::openFailure(fileName));
        const int result = read(file);
        if (result == 1)
            fileNameWithPath = fileName;
        return result;
    }
    // Keeps why the read failed; 0, which also reads as false.
    int fail(const QString &reason)
    {
        failure = reason;
        return 0;
    }
    void clearFailure() { failure.clear(); }

private:
    QString failure;
};

#endif
