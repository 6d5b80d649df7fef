#ifndef MAPSPANEL_H
#define MAPSPANEL_H

#include <QGroupBox>

class QCheckBox;
class QDoubleSpinBox;
class QFileDialog;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;

// The contents of the "Available Maps" dock: the map files of the folder, the
// maps of the chosen file, and the controls of the map shown.
class MapsPanel : public QGroupBox
{
    Q_OBJECT

public:
    explicit MapsPanel(QWidget *parent = nullptr);

    QListWidget *mapFileList() const { return availableMapsLsWdg; }
    QListWidget *subMapList() const { return availableSubMapsLsWdg; }

    // Empties both lists and offers the given map files.
    void setMapFiles(const QStringList &fileNames);
    // Chooses the map file of that name as a click would; false when it is not offered.
    bool chooseMapFile(const QString &fileName);
    // Lists the maps of the chosen file and chooses the first, if any.
    void setSubMapNames(const QStringList &names);
    // The controls take the settings of the map chosen, without reporting a change.
    void showMapSettings(float threshold, int clusterSize, bool clusterFilter, int signSelection);

    float threshold() const;
    int clusterSize() const;
    bool clusterFilterEnabled() const;
    // 0 no values, 1 positive only, 2 negative only, 3 both.
    int signSelection() const;

    // The button that opens the dialog choosing an atlas, and what the panel
    // says of the atlas: its name, or why the one chosen cannot be read.
    QPushButton *atlasButton() const { return atlasBtn; }
    void showAtlas(const QString &text);
    QString atlasText() const;

signals:
    // A map file of the list was clicked.
    void mapFileChosen(const QString &fileName);
    // A map of the chosen file was chosen: its row, and how many the list holds.
    void mapChosen(int row, int rowCount);
    void thresholdChanged();
    void clusterSizeChanged();
    void clusterFilterToggled();
    void signSelectionChanged();
    // A NIfTI label image was chosen in the atlas dialog.
    void atlasFileChosen(const QString &fileName);

private:
    void chooseAtlasFile();

    QListWidget *availableMapsLsWdg;
    QListWidget *availableSubMapsLsWdg;
    QDoubleSpinBox *threshSpBx;
    QSpinBox *clusterSpBx;
    QCheckBox *clusterChkBx;
    QCheckBox *showPosChkBx;
    QCheckBox *showNegChkBx;
    QPushButton *atlasBtn;
    QLabel *atlasLbl;
    QFileDialog *atlasDialog = nullptr;
};

#endif
