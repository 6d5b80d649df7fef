#include "DicomSeriesLister.h"

#include "DicomSeries.h"
#include "FileTypes.h"

DicomSeriesLister::DicomSeriesLister(QObject *parent) : QObject(parent)
{
    // A superseded grouping goes on until it ends; the newer one needs a thread of its own.
    pool.setMaxThreadCount(2);
}

DicomSeriesLister::~DicomSeriesLister()
{
    ++request;
    pool.clear();
    pool.waitForDone();
}

QStringList DicomSeriesLister::seriesCovers(const QString &folder)
{
    QStringList covers;
    for (const DicomSeries &series : DicomSeriesGrouping::scanFolder(folder))
        if (series.isVolume())
            covers << FileTypes::seriesCoverName(series.slices.front().fileName,
                                                 series.displayName());
    return covers;
}

void DicomSeriesLister::list(const QString &folder)
{
    const quint64 ticket = ++request;
    pending = true;
    pool.clear();
    pool.start([this, ticket, folder] {
        const QStringList covers = seriesCovers(folder);
        QMetaObject::invokeMethod(this, [this, ticket, folder, covers] {
            if (ticket != request)
                return;
            pending = false;
            emit listed(folder, covers);
        });
    });
}

void DicomSeriesLister::cancel()
{
    ++request;
    pending = false;
    pool.clear();
}
