#ifndef CLUSTERLISTING_H
#define CLUSTERLISTING_H

#include "ClusterTable.h"

#include <QObject>
#include <QThreadPool>

#include <atomic>
#include <memory>

class Atlas;

// Computes cluster tables on a worker thread and hands each finished one over
// on the thread the listing lives on. Only the newest request counts: one
// still running when another comes is canceled, and its table never arrives.
class ClusterListing : public QObject
{
    Q_OBJECT

public:
    explicit ClusterListing(QObject *parent = nullptr);
    ~ClusterListing() override;

    // Lists the clusters of grid as criteria says, their peaks named by the
    // atlas when there is one and the grid lies in a world it can name.
    void list(std::shared_ptr<const MapGrid> grid, const ClusterCriteria &criteria,
              std::shared_ptr<const Atlas> atlas);
    // Forgets the request under way, if any.
    void cancel();
    bool isListing() const { return pending; }

signals:
    void listed(const std::shared_ptr<const ClusterTable> &table);
    void failed(const QString &reason);

private:
    QThreadPool pool;
    quint64 request = 0;
    bool pending = false;
    std::shared_ptr<std::atomic<bool>> stop;
};

#endif
