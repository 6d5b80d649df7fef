#include "ClustersPanel.h"

#include "Atlas.h"
#include "ClusterListing.h"
#include "ClusterTable.h"
#include "Documents.h"
#include "LocalFiles.h"
#include "NiftiImage.h"

#include <QAbstractTableModel>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QTableView>
#include <QVBoxLayout>

// The rows of a cluster table, made as the view asks for them, so that a
// table of thousands of clusters costs nothing until it is scrolled.
class ClusterTableModel : public QAbstractTableModel
{
public:
    enum Column { Voxels, Volume, Peak, PeakVoxel, PeakPosition, Centre, Region, Columns };

    explicit ClusterTableModel(QObject *parent) : QAbstractTableModel(parent) {}

    void setTable(std::shared_ptr<const ClusterTable> shown)
    {
        beginResetModel();
        table = std::move(shown);
        endResetModel();
        emit headerDataChanged(Qt::Horizontal, 0, Columns - 1);
    }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() || !table ? 0 : int(table->clusters().size());
    }
    int columnCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : Columns;
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!table || !index.isValid() || index.row() >= rowCount())
            return QVariant();
        if (role == Qt::TextAlignmentRole)
            return int(index.column() == Region ? Qt::AlignLeft | Qt::AlignVCenter
                                                : Qt::AlignRight | Qt::AlignVCenter);
        if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
            return QVariant();
        const Cluster &c = table->clusters()[size_t(index.row())];
        const auto mm = [](double v) { return QString::number(v, 'f', 1); };
        const auto triple = [&mm](const std::array<double, 3> &p) {
            return QString("%1, %2, %3").arg(mm(p[0]), mm(p[1]), mm(p[2]));
        };
        switch (index.column()) {
        case Voxels:
            return QString::number(c.voxels);
        case Volume:
            return QString::number(c.volumeMm3, 'f', c.volumeMm3 < 100 ? 1 : 0);
        case Peak:
            return QString::number(double(c.peakValue), 'g', 5);
        case PeakVoxel:
            return QString("%1, %2, %3")
                .arg(c.peakVoxel[0])
                .arg(c.peakVoxel[1])
                .arg(c.peakVoxel[2]);
        case PeakPosition:
            return triple(c.peakWorld);
        case Centre:
            return triple(c.centreOfGravity);
        case Region:
            return c.peakLabel;
        }
        return QVariant();
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return QAbstractTableModel::headerData(section, orientation, role);
        const QString space = table && table->isTalairach() ? "Tal" : "mm";
        switch (section) {
        case Voxels:
            return tr("Voxels");
        case Volume:
            return tr("mm³");
        case Peak:
            return tr("Peak");
        case PeakVoxel:
            return tr("Peak voxel");
        case PeakPosition:
            return tr("Peak (%1)").arg(space);
        case Centre:
            return tr("Centre (%1)").arg(space);
        case Region:
            return tr("Region");
        }
        return QVariant();
    }

private:
    std::shared_ptr<const ClusterTable> table;
};

ClustersPanel::ClustersPanel(QWidget *parent)
    : QWidget(parent), listing(new ClusterListing(this)), model(new ClusterTableModel(this))
{
    setObjectName("ClustersPanel");
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    auto *top = new QHBoxLayout;
    top->setContentsMargins(6, 2, 6, 2);
    statusLbl = new QLabel;
    statusLbl->setObjectName("ClustersStatusLbl");
    statusLbl->setTextFormat(Qt::PlainText);
    statusLbl->setMinimumWidth(10);
    statusLbl->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    top->addWidget(statusLbl, 1);
    saveBtn = new QPushButton(tr("Save..."));
    saveBtn->setObjectName("SaveClustersBtn");
    saveBtn->setEnabled(false);
    top->addWidget(saveBtn);
    layout->addLayout(top);

    view = new QTableView;
    view->setObjectName("ClustersTableView");
    view->setModel(model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSortingEnabled(false);
    view->setWordWrap(false);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 4);
    view->horizontalHeader()->setStretchLastSection(true);
    view->setColumnHidden(ClusterTableModel::Region, true);
    layout->addWidget(view, 1);

    connect(listing, &ClusterListing::listed, this, &ClustersPanel::show);
    connect(listing, &ClusterListing::failed, this, [this](const QString &why) {
        show(nullptr);
        setStatus(LocalFiles::printable(why));
    });
    connect(view, &QTableView::clicked, this,
            [this](const QModelIndex &index) { chooseRow(index.row()); });
    connect(view, &QTableView::activated, this,
            [this](const QModelIndex &index) { chooseRow(index.row()); });
    connect(saveBtn, &QPushButton::clicked, this, &ClustersPanel::chooseSaveFile);
    refresh();
}

ClustersPanel::~ClustersPanel() = default;

void ClustersPanel::setVolume(const std::shared_ptr<const VolumeDocument> &shownVolume)
{
    volume = shownVolume;
    refresh();
}

void ClustersPanel::setAtlas(const std::shared_ptr<const Atlas> &regions)
{
    atlas = regions;
    refresh();
}

QString ClustersPanel::status() const
{
    return statusLbl->text();
}

bool ClustersPanel::isListing() const
{
    return listing->isListing();
}

void ClustersPanel::setStatus(const QString &text)
{
    statusLbl->setText(text);
    statusLbl->setToolTip(text);
}

// The rows shown stay until the new table is there, so that a threshold
// dragged along does not make the table flicker.
void ClustersPanel::refresh()
{
    const std::shared_ptr<const MapGrid> grid = volume ? volume->mapGrid() : nullptr;
    if (!grid) {
        listing->cancel();
        show(nullptr);
        setStatus(volume ? tr("No map shown") : QString());
        return;
    }
    setStatus(tr("Listing clusters..."));
    listing->list(grid, volume->clusterCriteria(), atlas);
}

void ClustersPanel::show(const std::shared_ptr<const ClusterTable> &table)
{
    shown = table;
    model->setTable(table);
    view->setColumnHidden(ClusterTableModel::Region, !atlas);
    saveBtn->setEnabled(bool(table));
    if (table) {
        const qsizetype count = qsizetype(table->clusters().size());
        setStatus(count == 1 ? tr("1 cluster") : tr("%1 clusters").arg(count));
        view->resizeColumnsToContents();
    }
    emit tableShown();
}

void ClustersPanel::chooseRow(int row)
{
    if (!shown || !volume || row < 0 || row >= int(shown->clusters().size()))
        return;
    std::array<int, 3> voxel;
    if (volume->voxelAt(shown->clusters()[size_t(row)].peakWorld, voxel))
        emit peakChosen(voxel[0], voxel[1], voxel[2]);
}

void ClustersPanel::chooseSaveFile()
{
    if (!saveDialog) {
        saveDialog = new QFileDialog(this, tr("Save the cluster table"));
        saveDialog->setObjectName("ClustersFileDialog");
        saveDialog->setOption(QFileDialog::DontUseNativeDialog);
        saveDialog->setAcceptMode(QFileDialog::AcceptSave);
        saveDialog->setFileMode(QFileDialog::AnyFile);
        saveDialog->setNameFilters({tr("Tab-separated tables (*.tsv)"), tr("All files (*)")});
        saveDialog->setDefaultSuffix("tsv");
        connect(saveDialog, &QFileDialog::fileSelected, this, [this](const QString &fileName) {
            QString why;
            if (!saveTable(fileName, why))
                setStatus(tr("Not saved: %1").arg(why));
            else
                setStatus(tr("Saved as %1").arg(LocalFiles::displayName(fileName)));
        });
    }
    if (volume) {
        const QFileInfo map(volume->mapFileName());
        saveDialog->setDirectory(map.absolutePath());
        saveDialog->selectFile(map.completeBaseName() + "_clusters.tsv");
    }
    saveDialog->open();
}

bool ClustersPanel::saveTable(const QString &fileName, QString &why) const
{
    if (!shown) {
        why = "no table to save";
        return false;
    }
    const QFileInfo target(fileName);
    if (target.exists() && !target.isFile()) {
        why = LocalFiles::displayName(fileName) + " is not a regular file";
        return false;
    }
    // Every file the table was read from, with the files beside them.
    QStringList inputs;
    for (const QString &read :
         {volume ? volume->fileName() : QString(), volume ? volume->mapFileName() : QString(),
          atlas ? atlas->fileName() : QString()}) {
        if (read.isEmpty())
            continue;
        inputs << read;
        if (NiftiImage::isNiftiFileName(read))
            inputs << NiftiImage::namesLookedFor(read);
    }
    if (atlas && !atlas->fileName().isEmpty())
        inputs << Atlas::labelTextName(atlas->fileName())
               << Atlas::colourTableName(atlas->fileName());
    for (const QString &input : std::as_const(inputs))
        if (LocalFiles::sameFile(fileName, input)) {
            why = QString("%1 is %2, which the table is read from")
                      .arg(LocalFiles::displayName(fileName), LocalFiles::displayName(input));
            return false;
        }
    QSaveFile file(fileName);
    const QByteArray tsv = shown->toTsv();
    if (!file.open(QIODevice::WriteOnly) || file.write(tsv) != tsv.size() || !file.commit()) {
        why = LocalFiles::displayName(fileName) + ": " + file.errorString().toLower();
        return false;
    }
    return true;
}
