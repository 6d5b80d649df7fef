#include "ClusterListing.h"

#include "Atlas.h"

ClusterListing::ClusterListing(QObject *parent) : QObject(parent)
{
    // A canceled table ends within a few milliseconds; the next needs no thread of its own.
    pool.setMaxThreadCount(1);
}

ClusterListing::~ClusterListing()
{
    cancel();
    pool.waitForDone();
}

void ClusterListing::list(std::shared_ptr<const MapGrid> grid, const ClusterCriteria &criteria,
                          std::shared_ptr<const Atlas> atlas)
{
    cancel();
    const quint64 ticket = ++request;
    pending = true;
    stop = std::make_shared<std::atomic<bool>>(false);
    // The grid and atlas are shared, so that they outlive the map and atlas
    // chosen meanwhile; a result posted to a listing that is gone is dropped with it.
    pool.start([this, ticket, grid, criteria, atlas, flag = stop] {
        auto table = std::make_shared<ClusterTable>();
        bool computed = false;
        if (grid)
            computed = table->compute(grid->grid(), criteria, flag.get());
        if (computed && atlas && !atlas->isEmpty() && grid->inWorld)
            table->labelPeaks(
                [&atlas](const AffineTransform::Point &p) { return atlas->nameAt(p); });
        const QString reason = grid ? table->failureReason() : QString("no map is shown");
        QMetaObject::invokeMethod(this, [this, ticket, computed, table, reason] {
            if (ticket != request)
                return;
            pending = false;
            if (computed)
                emit listed(table);
            else
                emit failed(reason);
        });
    });
}

void ClusterListing::cancel()
{
    ++request;
    pending = false;
    if (stop)
        stop->store(true);
    pool.clear();
}
