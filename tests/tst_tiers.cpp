// The tiers of the viewer, each a folder and a library, include one way down:
//
//   cli/                 the programs that ship: the viewer's entry point, its
//                        command line and figures, cxvinfo
//   app/                 the main window: construction, modes, routing, wiring
//   app/panels/, app/thumbnails/, coverflow/, views/
//                        the docks' contents, the thumbnail cache, the strip, the
//                        views: each on its own, none includes another (views/
//                        knows no coverflow/);
//                        views/render/ holds the views' arithmetic and drawing
//                        outside any widget, which the thumbnail cache uses too
//   documents/           documents loaded on worker threads, the display
//                        settings, and every picture and array made from a
//                        document, without OpenGL
//   common/              path and file helpers, the file types, the viewer's own
//                        files, the cover store, the instruction band
//   core/, math/, propertybrowser/, piemenu/
//                        the file readers and the building blocks, each on its own
//
// Nothing below app/ knows the main window: a widget takes what it needs in its
// constructor or setters and reports by signals, which app/ connects. This test
// reads every #include "..." of the product folders and holds it to that picture.

#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QTest>

namespace {

const QString sourceDir = QStringLiteral(CXV_SOURCE_DIR);

// What each folder may include besides itself; cli/ may include everything.
const QMap<QString, QStringList> allowed = {
    {"math", {}},
    {"core", {}},
    {"propertybrowser", {}},
    {"piemenu", {}},
    {"common", {"core", "math", "propertybrowser", "piemenu"}},
    {"documents", {"common", "core", "math"}},
    {"coverflow", {"common", "core", "math", "propertybrowser", "piemenu"}},
    {"views/render", {"documents", "common", "core", "math"}},
    {"views",
     {"views/render", "documents", "common", "core", "math", "propertybrowser", "piemenu"}},
    {"app/panels", {"documents", "common", "core", "math", "propertybrowser", "piemenu"}},
    {"app/thumbnails",
     {"views/render", "documents", "common", "core", "math", "propertybrowser", "piemenu"}},
    {"app",
     {"app/panels", "app/thumbnails", "coverflow", "views", "views/render", "documents", "common",
      "core", "math", "propertybrowser", "piemenu"}},
    {"cli",
     {"app", "app/panels", "app/thumbnails", "coverflow", "views", "views/render", "documents",
      "common", "core", "math", "propertybrowser", "piemenu"}},
};

// The folder of a source file: the deepest folder of the table that holds it.
QString folderOf(const QString &relativePath)
{
    QString best;
    for (auto it = allowed.keyBegin(); it != allowed.keyEnd(); ++it)
        if (relativePath.startsWith(*it + "/") && it->size() > best.size())
            best = *it;
    return best;
}

} // namespace

class TestTiers : public QObject
{
    Q_OBJECT

private slots:
    void includesRunDown();
};

void TestTiers::includesRunDown()
{
    QMap<QString, QString> folderOfHeader; // file name -> folder
    QStringList sources;
    QDirIterator it(sourceDir, {"*.h", "*.cpp"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString relative = QDir(sourceDir).relativeFilePath(it.next());
        const QString folder = folderOf(relative);
        if (folder.isEmpty())
            continue;
        sources << relative;
        if (relative.endsWith(".h"))
            folderOfHeader.insert(it.fileName(), folder);
    }
    QVERIFY(sources.size() > 50);

    const QRegularExpression include(R"re(^\s*#\s*include\s*"([^"]+)")re",
                                     QRegularExpression::MultilineOption);
    QStringList wrong;
    for (const QString &source : std::as_const(sources)) {
        QFile file(sourceDir + "/" + source);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString from = folderOf(source);
        auto matches = include.globalMatch(QString::fromUtf8(file.readAll()));
        while (matches.hasNext()) {
            const QString header = QFileInfo(matches.next().captured(1)).fileName();
            const QString to = folderOfHeader.value(header);
            if (to.isEmpty() || to == from || allowed[from].contains(to))
                continue;
            wrong << QString("%1 includes %2 (%3)").arg(source, header, to);
        }
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join('\n')));
}

QTEST_APPLESS_MAIN(TestTiers)
#include "tst_tiers.moc"
