#include "MapsPanel.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

MapsPanel::MapsPanel(QWidget *parent) : QGroupBox(parent)
{
    setObjectName("AvailableMapsGrpBx");
    setStyleSheet("border: 0px; margin: 0px; padding 0px;");
    auto *layout = new QVBoxLayout(this);
    layout->setObjectName("VBoxLayout");
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);

    availableMapsLsWdg = new QListWidget;
    availableMapsLsWdg->setObjectName("AvailableMapsLsWdg");
    availableMapsLsWdg->setAlternatingRowColors(false);
    layout->addWidget(availableMapsLsWdg);
    availableSubMapsLsWdg = new QListWidget;
    availableSubMapsLsWdg->setObjectName("AvailableSubMapsLsWdg");
    availableSubMapsLsWdg->setAlternatingRowColors(false);
    availableSubMapsLsWdg->setStyleSheet("background-color: #202225;");
    layout->addWidget(availableSubMapsLsWdg);

    auto *grid = new QGridLayout;
    grid->setObjectName("GridForMapControls");
    grid->setContentsMargins(9, 9, 9, 9);
    grid->setSpacing(9);
    showPosChkBx = new QCheckBox(tr("Show positive values"));
    showPosChkBx->setChecked(true);
    grid->addWidget(showPosChkBx, 0, 0);
    showNegChkBx = new QCheckBox(tr("Show negative values"));
    showNegChkBx->setChecked(true);
    grid->addWidget(showNegChkBx, 0, 1);

    auto *threshBox = new QHBoxLayout;
    threshBox->setObjectName("HBoxLyForThreshSpBx");
    threshBox->addWidget(new QLabel(tr("Threshold: ")));
    threshSpBx = new QDoubleSpinBox;
    threshSpBx->setRange(0.0, 1000.0);
    threshBox->addWidget(threshSpBx);
    threshBox->addSpacerItem(new QSpacerItem(10, 10, QSizePolicy::Expanding, QSizePolicy::Minimum));
    grid->addLayout(threshBox, 1, 0);

    auto *clusterBox = new QHBoxLayout;
    clusterBox->setObjectName("HBoxLyForClusterSpBx");
    clusterChkBx = new QCheckBox(tr("Cluster size:"));
    clusterChkBx->setChecked(false);
    clusterBox->addWidget(clusterChkBx);
    clusterSpBx = new QSpinBox;
    clusterSpBx->setRange(0, 10000);
    clusterBox->addWidget(clusterSpBx);
    clusterBox->addSpacerItem(
        new QSpacerItem(10, 10, QSizePolicy::Expanding, QSizePolicy::Minimum));
    grid->addLayout(clusterBox, 1, 1);

    // An atlas names the region at the cross and the peaks of the clusters.
    auto *atlasBox = new QHBoxLayout;
    atlasBox->setObjectName("HBoxLyForAtlasBtn");
    atlasBtn = new QPushButton(tr("Atlas..."));
    atlasBtn->setObjectName("AtlasBtn");
    // The panel's sheet takes every border away; a button keeps its own.
    atlasBtn->setStyleSheet(
        "QPushButton { border: 1px solid rgb(130, 130, 130); border-radius: 3px; "
        "padding: 2px 10px; }");
    atlasBox->addWidget(atlasBtn);
    atlasLbl = new QLabel(tr("No atlas"));
    atlasLbl->setObjectName("AtlasLbl");
    atlasLbl->setTextFormat(Qt::PlainText);
    atlasLbl->setMinimumWidth(10);
    atlasLbl->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    atlasBox->addWidget(atlasLbl, 1);
    grid->addLayout(atlasBox, 2, 0, 1, 2);
    layout->addLayout(grid);

    connect(availableMapsLsWdg, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { emit mapFileChosen(item->text()); });
    connect(availableSubMapsLsWdg, &QListWidget::itemClicked, this, [this] {
        emit mapChosen(availableSubMapsLsWdg->currentRow(), availableSubMapsLsWdg->count());
    });
    connect(threshSpBx, &QDoubleSpinBox::valueChanged, this, &MapsPanel::thresholdChanged);
    connect(clusterChkBx, &QCheckBox::clicked, this, &MapsPanel::clusterFilterToggled);
    connect(clusterSpBx, &QSpinBox::valueChanged, this, &MapsPanel::clusterSizeChanged);
    connect(showPosChkBx, &QCheckBox::clicked, this, &MapsPanel::signSelectionChanged);
    connect(showNegChkBx, &QCheckBox::clicked, this, &MapsPanel::signSelectionChanged);
    connect(atlasBtn, &QPushButton::clicked, this, &MapsPanel::chooseAtlasFile);
}

// A dialog of the panel's own, which tests and the user drive alike; it opens
// in the folder shown.
void MapsPanel::chooseAtlasFile()
{
    if (!atlasDialog) {
        atlasDialog = new QFileDialog(this, tr("Choose an atlas"));
        atlasDialog->setObjectName("AtlasFileDialog");
        atlasDialog->setOption(QFileDialog::DontUseNativeDialog);
        atlasDialog->setFileMode(QFileDialog::ExistingFile);
        atlasDialog->setNameFilters(
            {tr("NIfTI label images (*.nii *.nii.gz *.hdr)"), tr("All files (*)")});
        connect(atlasDialog, &QFileDialog::fileSelected, this, &MapsPanel::atlasFileChosen);
    }
    atlasDialog->setDirectory(QDir::currentPath());
    atlasDialog->open();
}

void MapsPanel::showAtlas(const QString &text)
{
    atlasLbl->setText(text);
    atlasLbl->setToolTip(text);
}

QString MapsPanel::atlasText() const
{
    return atlasLbl->text();
}

void MapsPanel::setMapFiles(const QStringList &fileNames)
{
    availableMapsLsWdg->clear();
    availableSubMapsLsWdg->clear();
    availableMapsLsWdg->addItems(fileNames);
}

bool MapsPanel::chooseMapFile(const QString &fileName)
{
    const QList<QListWidgetItem *> found =
        availableMapsLsWdg->findItems(fileName, Qt::MatchExactly);
    if (found.isEmpty())
        return false;
    availableMapsLsWdg->setCurrentItem(found.first());
    emit mapFileChosen(fileName);
    return true;
}

void MapsPanel::setSubMapNames(const QStringList &names)
{
    availableSubMapsLsWdg->clear();
    availableSubMapsLsWdg->addItems(names);
    if (names.isEmpty())
        return;
    availableSubMapsLsWdg->setCurrentRow(0);
    emit mapChosen(0, availableSubMapsLsWdg->count());
}

void MapsPanel::showMapSettings(float threshold, int clusterSize, bool clusterFilter,
                                int signSelection)
{
    // The view shows the map with these already; an echo would draw it again.
    const QSignalBlocker thresholdBlocker(threshSpBx), sizeBlocker(clusterSpBx);
    threshSpBx->setValue(threshold);
    if (clusterSize >= 0)
        clusterSpBx->setValue(clusterSize);
    clusterChkBx->setChecked(clusterFilter);
    showPosChkBx->setChecked(signSelection == 1 || signSelection == 3);
    showNegChkBx->setChecked(signSelection == 2 || signSelection == 3);
}

float MapsPanel::threshold() const
{
    return float(threshSpBx->value());
}

int MapsPanel::clusterSize() const
{
    return clusterSpBx->value();
}

bool MapsPanel::clusterFilterEnabled() const
{
    return clusterChkBx->isChecked();
}

int MapsPanel::signSelection() const
{
    const bool positive = showPosChkBx->isChecked();
    const bool negative = showNegChkBx->isChecked();
    return positive && negative ? 3 : negative ? 2 : positive ? 1 : 0;
}
