#include "FolderBrowser.h"

#include "FileHelpers.h"
#include "FileTypes.h"
#include "FolderDataFiles.h"

#include <QDir>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QListWidget>
#include <QTreeView>

#include <algorithm>

FolderBrowser::FolderBrowser(QObject *parent)
    : QObject(parent), model(new QFileSystemModel(this)), list(new QListWidget),
      tree(new QTreeView),
      favoritesFile([this](QIODevice &file) { return readFavoriteFolders(file, folders, modes); },
                    [this](QIODevice &file) { writeFavoriteFolders(file, folders, modes); })
{
    list->setObjectName("FavoriteFoldersLsWdg");
    list->setAttribute(Qt::WA_MacShowFocusRect, false);
    list->setFocusPolicy(Qt::StrongFocus);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setDragEnabled(true);
    list->setAcceptDrops(true);
    list->setDropIndicatorShown(true);
    list->setDragDropMode(QAbstractItemView::InternalMove);
    list->installEventFilter(this);
    connect(list, &QListWidget::itemClicked, this, &FolderBrowser::clickedFavoriteFolder);
    // Clicks and deletions address the favorites by row, so the lists follow a drag.
    connect(list->model(), &QAbstractItemModel::rowsMoved, this,
            [this](const QModelIndex &, int first, int, const QModelIndex &, int destination) {
                moveFavorite(first, destination > first ? destination - 1 : destination);
            });

    model->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
    model->setRootPath("/Volumes/");
    tree->setModel(model);
    tree->setFocusPolicy(Qt::StrongFocus);
    tree->setAnimated(true);
    tree->setAttribute(Qt::WA_MacShowFocusRect, false);
    tree->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    for (int column : {1, 2, 3})
        tree->hideColumn(column);
    tree->setHeaderHidden(true);
    tree->setStyleSheet("font-size: 11pt;");
    tree->installEventFilter(this);
    connect(tree, &QTreeView::clicked, this, &FolderBrowser::clickedFolder);
    connect(tree, &QTreeView::doubleClicked, this, &FolderBrowser::doubleClickedFolder);
}

void FolderBrowser::loadFavorites(const QString &fileName, const QString &sample)
{
    sampleFolder = sample;
    folders.clear();
    modes.clear();
    if (!favoritesFile.load(fileName)) {
        folders.append(sampleFolder);
        modes.append(browsingModeNumber(BrowsingMode::Images));
    }
    fillList();
}

bool FolderBrowser::saveFavorites()
{
    return favoritesFile.save();
}

BrowsingMode FolderBrowser::favoriteMode(int row) const
{
    return browsingModeOfNumber(modes.value(row));
}

bool FolderBrowser::addFavorite(const QString &folder, BrowsingMode mode)
{
    if (folders.contains(folder))
        return false;
    folders.append(folder);
    modes.append(browsingModeNumber(mode));
    fillList();
    return true;
}

void FolderBrowser::removeFavorite(int row)
{
    if (row < folders.size())
        folders.removeAt(row);
    if (row < modes.size())
        modes.removeAt(row);
    fillList();
}

void FolderBrowser::moveFavorite(int from, int to)
{
    if (from < 0 || from >= folders.size() || to < 0 || to >= folders.size())
        return;
    folders.move(from, to);
    if (from < modes.size() && to < modes.size())
        modes.move(from, to);
}

// Each item shows the folder's own name and its system icon, its path on hovering.
void FolderBrowser::fillList()
{
    list->clear();
    for (const QString &folder : std::as_const(folders)) {
        QString path = folder;
        if (path.endsWith('/'))
            path.chop(1);
        auto *item = new QListWidgetItem(getFileNameFromFullFileName(path));
        item->setToolTip(folder);
        item->setIcon(model->fileIcon(model->index(path)));
        list->addItem(item);
    }
}

void FolderBrowser::showInTree(const QString &folder)
{
    const QModelIndex index = model->index(folder);
    tree->expand(index);
    tree->scrollTo(index, QAbstractItemView::PositionAtCenter);
    tree->setCurrentIndex(index);
    tree->resizeColumnToContents(0);
}

bool FolderBrowser::hasFocus() const
{
    return list->hasFocus() || tree->hasFocus();
}

QStringList FolderBrowser::filesToShow(const QString &folder, BrowsingMode mode)
{
    QStringList files;
    const QStringList filters = FileTypes::modeNameFilters(mode);
    // Some files are told by their bytes, not their names: in raw MRI mode DICOM
    // files without an ending, as scanners write them; in CX data mode
    // FreeSurfer's surfaces of other names (lh.sphere.reg, none at all). That
    // reads the first bytes of each such file, here on the window's thread.
    const bool byContent = mode != BrowsingMode::Images;
    const QFileInfoList entries =
        QDir(folder).entryInfoList(byContent ? QStringList() : filters,
                                   QDir::Files | QDir::NoSymLinks, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &entry : entries) {
        const QString path = entry.absoluteFilePath();
        if (!byContent || QDir::match(filters, entry.fileName()) ||
            (mode == BrowsingMode::RawMRI && FileTypes::isDicomWithoutEnding(path)) ||
            (mode == BrowsingMode::CXData &&
             FileTypes::kindOf(entry.fileName()) == FileTypes::Unknown &&
             FileTypes::kindOfFile(path) == FileTypes::Mesh))
            files << path;
    }
    return files;
}

BrowsingMode FolderBrowser::fittingBrowsingMode(const QString &folder) const
{
    const QString path = QDir::cleanPath(folder);
    for (int i = 0; i < folders.size(); ++i)
        if (QDir::cleanPath(folders[i]) == path)
            return favoriteMode(i);
    return modeOfFiles(path);
}

BrowsingMode FolderBrowser::modeOfFiles(const QString &folder)
{
    bool dicom = false;
    for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::NoSymLinks)) {
        const FileTypes::Kind kind = FileTypes::kindOf(name);
        if (kind == FileTypes::Volume || kind == FileTypes::Mesh)
            return BrowsingMode::CXData;
        dicom = dicom || kind == FileTypes::Dicom;
    }
    return dicom ? BrowsingMode::RawMRI : BrowsingMode::Images;
}

// Delete or Backspace removes the current favorite, Return opens it; Return in
// the tree opens its current folder.
bool FolderBrowser::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (watched == list) {
        const int row = list->currentRow();
        if (row < 0)
            return false;
        if (key == Qt::Key_Delete || key == Qt::Key_Backspace) {
            removeFavorite(row);
            return true;
        }
        if (key == Qt::Key_Return) {
            clickedFavoriteFolder(list->currentItem());
            return true;
        }
    }
    if (watched == tree && key == Qt::Key_Return) {
        clickedFolder(tree->currentIndex());
        return true;
    }
    return false;
}

void FolderBrowser::chooseFirstFavorite()
{
    if (list->count() < 1)
        return;
    // An installed viewer has no sample folder beside it: rather than on an empty
    // strip, it starts on the user's home, in the mode of the favorite it stands for.
    if (folders.value(0) == sampleFolder && !QFileInfo(sampleFolder).isDir()) {
        emit folderChosen(QDir::homePath(), favoriteMode(0));
        return;
    }
    list->setCurrentRow(0);
    clickedFavoriteFolder(list->item(0));
}

// The list's current row is the favorite chosen, whichever item was clicked.
void FolderBrowser::clickedFavoriteFolder(QListWidgetItem *)
{
    const int row = list->currentRow();
    const bool listed = row >= 0 && row < folders.size();
    emit folderChosen(listed ? folders[row] : QString(), favoriteMode(row));
}

void FolderBrowser::clickedFolder(const QModelIndex &index)
{
    emit folderChosen(model->filePath(index), std::nullopt);
}

void FolderBrowser::doubleClickedFolder(const QModelIndex &index)
{
    addFavorite(model->filePath(index), browsingMode);
}
