#include "CortivexViewer.h"
#include "CoverFlowBrowser.h"
#include "CoverStore.h"
#include "Documents.h"
#include "FixtureStream.h"
#include "FreeSurferFiles.h"
#include "MapsPanel.h"
#include "MeshOGLViewer.h"
#include "PropertyPanels.h"
#include "QtTreePropertyBrowser.h"
#include "SurfaceMesh.h"

#include <QListWidget>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

namespace {

QString fixture(const QString &name)
{
    return QStringLiteral(CXV_SURFACE_FIXTURES "/") + name;
}

bool writeFile(const QString &name, const QByteArray &bytes)
{
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// FreeSurfer's "new" curvature layout of that many values.
QByteArray freeSurferValues(int count)
{
    FixtureStream out(true);
    out.bytes(QByteArray("\xff\xff\xff", 3)).i32(count).i32(80).i32(1);
    for (int v = 0; v < count; ++v)
        out.f32(2.5f);
    return out.data;
}

// A GIfTI file of one array of shape values, in ASCII.
QByteArray giftiShape(const std::vector<float> &values)
{
    QByteArray data;
    for (const float v : values)
        data += QByteArray::number(v, 'g', 9) + ' ';
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<GIFTI Version=\"1.0\">\n"
           "<DataArray Intent=\"NIFTI_INTENT_SHAPE\" DataType=\"NIFTI_TYPE_FLOAT32\" "
           "Dimensionality=\"1\" Dim0=\"" +
           QByteArray::number(qsizetype(values.size())) +
           "\" Encoding=\"ASCII\" Endian=\"LittleEndian\" ExternalFileName=\"\">\n<Data>" + data +
           "</Data>\n</DataArray>\n</GIFTI>\n";
}

// Drawn pixels that are not grey: map or label colours.
int colouredPixels(const QImage &frame)
{
    int coloured = 0;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x) {
            const QRgb c = frame.pixel(x, y);
            coloured += qRed(c) != qGreen(c) || qGreen(c) != qBlue(c);
        }
    return coloured;
}

int litPixels(const QImage &frame)
{
    int lit = 0;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x)
            lit += qGray(frame.pixel(x, y)) > 20;
    return lit;
}

QStringList texts(const QListWidget *list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    return names;
}

} // namespace

class TestSurfacesWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void surfaceFolders_data();
    void surfaceFolders();

private:
    QTemporaryDir tmp;
};

// A FreeSurfer subject's surf/ folder and a folder of GIfTI files, of the
// 42-vertex surface nibabel wrote; beside them files that fit no mesh shown.
void TestSurfacesWindow::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QDir root(tmp.path());
    for (const char *folder : {"app", "surf", "gifti"})
        QVERIFY(root.mkpath(folder));
    const QList<QPair<const char *, const char *>> copies = {
        {"lh.white", "surf/lh.white"},
        {"lh.white", "surf/lh.sphere.reg"},
        {"rh.pial", "surf/rh.pial"},
        {"lh.curv", "surf/lh.curv"},
        {"lh.curv", "surf/lh.white.H"},
        {"lh.thickness", "surf/lh.thickness"},
        {"lh.aparc.annot", "surf/lh.aparc.annot"},
        {"surf_gzip_le.surf.gii", "gifti/sub-01_hemi-L_pial.surf.gii"},
        {"thickness_gzip_le.shape.gii", "gifti/sub-01_hemi-L_thickness.shape.gii"},
        {"areas_gzip_be.label.gii", "gifti/sub-01_hemi-L_areas.label.gii"},
        {"stats_gzip_le.func.gii", "gifti/sub-01_hemi-L_stats.func.gii"}};
    for (const auto &copy : copies)
        QVERIFY(QFile::copy(fixture(copy.first), tmp.filePath(copy.second)));
    const std::vector<float> curvature = FreeSurferReader().readValues(fixture("lh.curv"))->values;
    QVERIFY(writeFile(tmp.filePath("gifti/sub-01_hemi-L_curv.shape.gii"), giftiShape(curvature)));
    QVERIFY(writeFile(tmp.filePath("gifti/sub-02_hemi-L_curv.shape.gii"),
                      giftiShape(std::vector<float>(41, 0.5f))));
    QVERIFY(writeFile(tmp.filePath("surf/rh.thickness"), freeSurferValues(41)));
    QVERIFY(writeFile(tmp.filePath("surf/lh.cortex.label"), "#!ascii label\n1\n0 1 2 3 0\n"));
    QVERIFY(writeFile(tmp.filePath("surf/notes"), "no surface"));
}

void TestSurfacesWindow::surfaceFolders_data()
{
    QTest::addColumn<QString>("mesh");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QStringList>("covers");
    QTest::addColumn<QStringList>("offered");
    QTest::addColumn<QString>("thickness");
    QTest::addColumn<QString>("labels");
    QTest::newRow("FreeSurfer") << "surf/lh.white"
                                << "FreeSurfer surface"
                                << QStringList{"lh.sphere.reg", "lh.white", "rh.pial"}
                                << QStringList{"lh.aparc.annot", "lh.curv", "lh.thickness",
                                               "lh.white.H"}
                                << "lh.thickness"
                                << "lh.aparc.annot";
    QTest::newRow("GIfTI") << "gifti/sub-01_hemi-L_pial.surf.gii"
                           << "GIfTI surface" << QStringList{"sub-01_hemi-L_pial.surf.gii"}
                           << QStringList{"sub-01_hemi-L_areas.label.gii",
                                          "sub-01_hemi-L_curv.shape.gii",
                                          "sub-01_hemi-L_stats.func.gii",
                                          "sub-01_hemi-L_thickness.shape.gii"}
                           << "sub-01_hemi-L_thickness.shape.gii"
                           << "sub-01_hemi-L_areas.label.gii";
}

// The folder opens in CX data mode with its surfaces as covers; the surface
// shows in the greys of its curvature, its header figures in the panel; the
// maps panel offers the files of its vertex count; a thickness map and the
// labels are drawn in colour, and a Control-click names the label there.
void TestSurfacesWindow::surfaceFolders()
{
    QFETCH(QString, mesh);
    QFETCH(QString, type);
    QFETCH(QStringList, covers);
    QFETCH(QStringList, offered);
    QFETCH(QString, thickness);
    QFETCH(QString, labels);
    CortivexViewer viewer;
    viewer.openDataFolders(tmp.filePath("app"));
    viewer.resize(1200, 750);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    viewer.openPaths({tmp.filePath(mesh)});

    const CoverStore *store = viewer.coverFlow()->coverStore();
    QStringList listed;
    for (int i = 0; i < store->count(); ++i)
        listed << QFileInfo(store->fileName(i)).fileName();
    QCOMPARE(listed, covers);
    auto *view = viewer.findChild<MeshOGLViewer *>();
    QCOMPARE(viewer.findChild<QStackedWidget *>()->currentWidget(), view);
    QTRY_COMPARE(view->mesh() ? view->mesh()->fileName() : QString(), tmp.filePath(mesh));
    const SurfaceMesh &surface = view->mesh()->mesh();

    // Convex and concave vertices in two greys, and nothing but grey drawn.
    const int *codes = surface.vertexColors.get();
    QVERIFY(std::count(codes, codes + surface.nrOfVertices, 0) > 5);
    QVERIFY(std::count(codes, codes + surface.nrOfVertices, 1) > 5);
    QCOMPARE(std::count(codes, codes + surface.nrOfVertices, 0) +
                 std::count(codes, codes + surface.nrOfVertices, 1),
             qint64(surface.nrOfVertices));
    for (const float *grey : {surface.meshColor0, surface.meshColor1})
        QVERIFY(grey[0] == grey[1] && grey[1] == grey[2]);
    QCOMPARE_GT(surface.meshColor0[0], surface.meshColor1[0] + 0.2f);
    QTRY_VERIFY(litPixels(view->grabFramebuffer()) > 5000);
    QCOMPARE(colouredPixels(view->grabFramebuffer()), 0);
    const QtTreePropertyBrowser *header =
        viewer.findChild<PropertyPanels *>()->cxPropertiesBrowser();
    const auto headerValue = [header](const QString &label) {
        return header->treeWidget()->findItems(label, Qt::MatchRecursive).value(0)->text(1);
    };
    const auto inSight = [header](const QString &label) {
        const QTreeWidget *tree = header->treeWidget();
        const QTreeWidgetItem *item = tree->findItems(label, Qt::MatchRecursive).value(0);
        return tree->viewport()->rect().contains(tree->visualItemRect(item));
    };
    QVERIFY(inSight("Mean edge length"));
    QCOMPARE(headerValue("Type"), type);
    QCOMPARE(headerValue("No. of vertices"), QString("42"));
    QCOMPARE(headerValue("No. of triangles"), QString("80"));
    QCOMPARE(headerValue("No. of edges"), QString("120"));

    auto *mapsPanel = viewer.findChild<MapsPanel *>();
    QListWidget *files = mapsPanel->mapFileList();
    QTRY_COMPARE(texts(files), offered);
    const auto choose = [files](const QString &name) {
        const QListWidgetItem *item = files->findItems(name, Qt::MatchExactly).value(0);
        QTest::mouseClick(files->viewport(), Qt::LeftButton, {},
                          files->visualItemRect(item).center());
    };
    choose(thickness);
    QCOMPARE(mapsPanel->subMapList()->count(), 1);
    QTRY_VERIFY(colouredPixels(view->grabFramebuffer()) > 1000);

    choose(labels);
    QCOMPARE(texts(mapsPanel->subMapList()), QStringList{labels});
    QVERIFY(std::count_if(codes, codes + surface.nrOfVertices,
                          [](int code) { return code >= 0x3F000000; }) > 10);
    QTRY_VERIFY(colouredPixels(view->grabFramebuffer()) > 1000);
    QCOMPARE(headerValue("Label"), QString());
    // The label of the vertex under the middle of the view.
    const QPoint middle(view->width() / 2, view->height() / 2);
    const int vertex = view->vertexAt(middle);
    QVERIFY(vertex >= 0);
    QVERIFY(!view->mesh()->labelAt(vertex).isEmpty());
    QTest::mouseClick(view, Qt::LeftButton, Qt::ControlModifier, middle);
    QCOMPARE(headerValue("Label"), view->mesh()->labelAt(vertex));
    // The picked vertex in sight at the window's first size, as the mesh's
    // figures were before the click.
    QVERIFY(inSight("Label"));
    QCOMPARE(view->camera().rotationX(), 187.0);
}

QTEST_MAIN(TestSurfacesWindow)
#include "tst_surfaces_window.moc"
