#ifndef FOLDERBROWSER_H
#define FOLDERBROWSER_H

#include "BrowsingMode.h"
#include "ViewerDataFile.h"

#include <QList>
#include <QObject>
#include <QStringList>

#include <optional>

class QFileSystemModel;
class QListWidget;
class QListWidgetItem;
class QModelIndex;
class QTreeView;

// The folders the user chooses from: the favorites, each kept with the browsing
// mode it was added in (FavoriteFolders.cxf), and the directory tree of the
// whole file system. Reports the folder chosen; the window opens it.
class FolderBrowser : public QObject
{
    Q_OBJECT

public:
    explicit FolderBrowser(QObject *parent = nullptr);

    // For the docks, which own them.
    QListWidget *favoritesList() const { return list; }
    QTreeView *directoryTree() const { return tree; }

    // Reads the favorites of fileName; without that file, sampleFolder is the
    // one favorite, in images mode.
    void loadFavorites(const QString &fileName, const QString &sampleFolder);
    // Written only when they changed; an empty list is written too, so that
    // removing every favorite lasts.
    bool saveFavorites();
    QStringList favorites() const { return folders; }
    // The mode favorite row opens in: the one stored with it.
    BrowsingMode favoriteMode(int row) const;
    // Adds folder in mode unless it is a favorite already; false then.
    bool addFavorite(const QString &folder, BrowsingMode mode);

    // The mode a folder double-clicked in the tree is added in.
    void setBrowsingMode(BrowsingMode mode) { browsingMode = mode; }
    // Makes folder the tree's current one, unfolded and in sight.
    void showInTree(const QString &folder);
    // Whether the favorites or the tree have the keyboard.
    bool hasFocus() const;

    // The full paths of the files of folder that mode lists, by name ignoring
    // case; no links, no hidden files, no subfolders.
    static QStringList filesToShow(const QString &folder, BrowsingMode mode);
    // The mode stored with folder as a favorite, else the mode of the files it holds.
    BrowsingMode fittingBrowsingMode(const QString &folder) const;
    // CX data for a folder of volumes or meshes, else raw MRI data for one of
    // DICOM files, else images.
    static BrowsingMode modeOfFiles(const QString &folder);

    bool eventFilter(QObject *watched, QEvent *event) override;

public slots:
    // The first favorite, chosen at start-up.
    void chooseFirstFavorite();
    void clickedFavoriteFolder(QListWidgetItem *item);
    void clickedFolder(const QModelIndex &index);
    void doubleClickedFolder(const QModelIndex &index);

signals:
    // A favorite was chosen, to be opened in its mode (the folder may be gone),
    // or a folder of the tree, to be listed in the mode browsed (no mode).
    void folderChosen(const QString &folder, std::optional<BrowsingMode> mode);

private:
    void fillList();
    void removeFavorite(int row);
    void moveFavorite(int from, int to);

    QFileSystemModel *model;
    QListWidget *list;
    QTreeView *tree;
    QStringList folders;
    // The numbers as stored, one per folder: one that is no mode is written back as read.
    QList<int> modes;
    ViewerDataFile favoritesFile;
    QString sampleFolder;
    BrowsingMode browsingMode = BrowsingMode::CXData;
};

#endif
