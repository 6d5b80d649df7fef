#ifndef DICOMSERIESLISTER_H
#define DICOMSERIESLISTER_H

#include <QObject>
#include <QStringList>
#include <QThreadPool>

// Finds the DICOM series of a folder that show as volumes, by reading the
// headers of its files on a worker thread, and names a cover for each
// (FileTypes::seriesCoverName, labelled by DicomSeries::displayName()). Only
// the newest request counts.
class DicomSeriesLister : public QObject
{
    Q_OBJECT

public:
    explicit DicomSeriesLister(QObject *parent = nullptr);
    ~DicomSeriesLister() override;

    // Starts grouping the files of folder; listed() follows.
    void list(const QString &folder);
    // Forgets the request under way, if any.
    void cancel();
    bool isListing() const { return pending; }

    // The covers of folder's volumes, in the order of the grouping, at once.
    static QStringList seriesCovers(const QString &folder);

signals:
    void listed(const QString &folder, const QStringList &covers);

private:
    QThreadPool pool;
    quint64 request = 0;
    bool pending = false;
};

#endif
