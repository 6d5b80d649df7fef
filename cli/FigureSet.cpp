#include "FigureSet.h"

#include "CommandLine.h"
#include "ContactSheet.h"
#include "DataFolders.h"
#include "FigureRenderer.h"
#include "FolderBrowser.h"
#include "FolderCovers.h"
#include "FolderThumbnails.h"
#include "LocalFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <memory>
#include <vector>

void FigureSet::fail(const QString &file, const QString &why)
{
    // The figure's own reasons begin with the file's name, which the line gives already.
    const QString named = LocalFiles::displayName(file) + ": ";
    failed << LocalFiles::printable(file) + ": " +
                  (why.startsWith(named) ? why.mid(named.size()) : why);
}

bool FigureSet::renderEach(const CommandLine &line)
{
    failed.clear();
    const QString folder = line.eachFolder();
    if (!QDir().mkpath(folder)) {
        failed << "cannot make the folder " + LocalFiles::printable(folder);
        return false;
    }
    // Every figure's options and names are checked before the first is drawn,
    // so that no figure writes over a file that another reads.
    std::vector<std::unique_ptr<CommandLine>> figures;
    QStringList inputs;
    for (int i = 0; i < line.paths().size(); ++i) {
        figures.push_back(line.eachFigure(i));
        if (figures.back()->action() == CommandLine::Render)
            inputs << figures.back()->inputs();
    }
    QStringList outputs;
    FigureRenderer renderer;
    for (int i = 0; i < int(figures.size()); ++i) {
        const CommandLine &figure = *figures[i];
        const QString file = line.shownPath(i);
        const QString output = QDir::cleanPath(figure.outputFile());
        if (figure.action() != CommandLine::Render) {
            fail(file, figure.error().mid(QString("cxviewer: ").size()));
            continue;
        }
        if (outputs.contains(output)) {
            fail(file, "its figure would take the name of another's, " + output);
            continue;
        }
        outputs << output;
        QString over;
        if (QFileInfo::exists(output))
            for (const QString &input : std::as_const(inputs))
                if (LocalFiles::sameFile(output, input)) {
                    over = input;
                    break;
                }
        if (!over.isEmpty()) {
            fail(file,
                 "its figure " + output + " would write over " + over + ", which the set reads");
            continue;
        }
        if (!renderer.render(figure))
            fail(file, renderer.failure());
    }
    return failed.isEmpty();
}

bool FigureSet::drawContactSheet(const CommandLine &line)
{
    failed.clear();
    // The window's names, which place its data with the user where they are not beside it.
    QCoreApplication::setOrganizationName("Cortivex");
    QCoreApplication::setApplicationName("CXViewer");
    const DataFolders data = DataFolders::forProgramIn(QCoreApplication::applicationDirPath());
    const FolderCovers folderCovers(data.folderData);
    const QString folder = QFileInfo(line.paths().value(0)).absoluteFilePath();
    const BrowsingMode mode = line.sheetMode().value_or(folderCovers.fittingMode(folder));
    // Refused before any cover is made.
    const int count = int(FolderBrowser::filesToShow(folder, mode).size());
    const int columns = ContactSheet::columnsFor(count, line.sheetColumns());
    const QSize size = ContactSheet::sheetSize(count, columns);
    if (size.width() > ContactSheet::maxSide || size.height() > ContactSheet::maxSide) {
        failed << QString("a sheet of %1 covers in %2 columns would be %3 × %4 pixels, more "
                          "than %5 on a side")
                      .arg(count)
                      .arg(columns)
                      .arg(size.width())
                      .arg(size.height())
                      .arg(ContactSheet::maxSide);
        return false;
    }
    const QList<FolderCovers::Cover> covers =
        folderCovers.covers(folder, mode, FolderThumbnails::initialMeshViewSize());
    if (covers.isEmpty()) {
        failed << LocalFiles::printable(folder) + ": no file of the browsing mode to show";
        return false;
    }
    for (const FolderCovers::Cover &cover : covers)
        if (cover.picture.isNull())
            fail(cover.fileName, cover.failure);
    const QImage sheet = ContactSheet::draw(covers, columns);
    const QString output = line.sheetFile();
    QSaveFile file(output);
    if (sheet.isNull() || !file.open(QIODevice::WriteOnly) || !sheet.save(&file, "PNG") ||
        !file.commit()) {
        failed << "cannot write " + LocalFiles::printable(output) + ": " +
                      (sheet.isNull() ? QString("no memory for the sheet") : file.errorString());
        return false;
    }
    return failed.isEmpty();
}
