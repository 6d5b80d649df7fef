#ifndef CLUSTERSPANEL_H
#define CLUSTERSPANEL_H

#include <QWidget>

#include <memory>

class Atlas;
class ClusterListing;
class ClusterTable;
class ClusterTableModel;
class QFileDialog;
class QLabel;
class QPushButton;
class QTableView;
class VolumeDocument;

// The contents of the "Clusters" dock: the clusters of the map shown on a
// volume, as the slices show it (threshold, signs, cluster size), on the map's
// own grid, the largest first; a click on a row moves the cross to its peak and
// "Save..." writes the table as TSV. Tables are computed on a worker thread,
// the newest request first.
class ClustersPanel : public QWidget
{
    Q_OBJECT

public:
    explicit ClustersPanel(QWidget *parent = nullptr);
    ~ClustersPanel() override;

    // The volume whose map is listed from now on; none empties the table.
    void setVolume(const std::shared_ptr<const VolumeDocument> &volume);
    // The atlas that names the peaks; none names nothing.
    void setAtlas(const std::shared_ptr<const Atlas> &atlas);

    QTableView *tableView() const { return view; }
    QPushButton *saveButton() const { return saveBtn; }
    // What the panel says above the table: how many clusters, or why none.
    QString status() const;
    // The table shown; null while none is.
    std::shared_ptr<const ClusterTable> clusterTable() const { return shown; }
    // Whether a table is being computed.
    bool isListing() const;

    // Writes the table shown as TSV, whole or not at all; refuses a name that
    // is not a regular file or that leads to a file read for it (the volume,
    // the map, the atlas and the files beside them). False with why.
    bool saveTable(const QString &fileName, QString &why) const;

public slots:
    // Lists the clusters anew: the map shown or how it is shown changed.
    void refresh();

signals:
    // A row was clicked: the volume's voxel nearest to the cluster's peak.
    void peakChosen(int x, int y, int z);
    // A table was put in place.
    void tableShown();

private:
    void show(const std::shared_ptr<const ClusterTable> &table);
    void setStatus(const QString &text);
    void chooseRow(int row);
    void chooseSaveFile();

    std::shared_ptr<const VolumeDocument> volume;
    std::shared_ptr<const Atlas> atlas;
    std::shared_ptr<const ClusterTable> shown;
    ClusterListing *listing;
    ClusterTableModel *model;
    QTableView *view;
    QLabel *statusLbl;
    QPushButton *saveBtn;
    QFileDialog *saveDialog = nullptr;
};

#endif
