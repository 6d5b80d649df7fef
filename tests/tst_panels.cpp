#include "AffineTransform.h"
#include "DicomFixture.h"
#include "HeaderTexts.h"
#include "MapsPanel.h"
#include "NiftiVolume.h"
#include "PropertyPanels.h"
#include "QtBrowserItem.h"
#include "QtTreePropertyBrowser.h"
#include "QtVariantProperty.h"
#include "ShowFile.h"
#include "SmpFixture.h"
#include "SrfFixture.h"
#include "SurfaceMaps.h"
#include "SurfaceMesh.h"
#include "VmrFixture.h"
#include "VolumeDoc.h"

#include <QCheckBox>
#include <QFile>
#include <QHeaderView>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <cmath>

#include <sys/stat.h>

namespace {

// The property of a browser's group by its label.
QtVariantProperty *propertyOf(QtTreePropertyBrowser *browser, const QString &group,
                              const QString &label)
{
    for (QtBrowserItem *top : browser->topLevelItems())
        if (top->property()->propertyName() == group)
            for (QtVariantProperty *p : top->property()->subProperties())
                if (p->propertyName() == label)
                    return p;
    return nullptr;
}

QString shown(QtTreePropertyBrowser *browser, const QString &group, const QString &label)
{
    QtVariantProperty *p = propertyOf(browser, group, label);
    return p ? p->valueText() : QString("<no %1>").arg(label);
}

QStringList labels(QtBrowserItem *group)
{
    QStringList names;
    for (QtVariantProperty *p : group->property()->subProperties())
        names << p->propertyName();
    return names;
}

// The labels and values of a group, in order.
QStringList rows(QtBrowserItem *group)
{
    QStringList shown;
    for (QtVariantProperty *p : group->property()->subProperties())
        shown << p->propertyName() + '=' + p->valueText();
    return shown;
}

} // namespace

class TestPanels : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(tmp.isValid()); }
    void propertyPanels();
    void headerPanels();
    void srfType();
    void fileProperties();
    void mapsPanel();

private:
    QString write(const QString &name, const QByteArray &data);

    QTemporaryDir tmp;
    PropertyPanels panels;
};

QString TestPanels::write(const QString &name, const QByteArray &data)
{
    QFile file(tmp.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
}

void TestPanels::propertyPanels()
{
    const QStringList file = {"Name", "Folder", "Size"};
    const QStringList dicom =
        QString("No. of rows|No. of columns|Pixel spacing|Slice thickness|Spacing bw slices|"
                "Bits allocated|Repetition time|Series number|Acquisition number|Instance number|"
                "Patient position|Image position patient|Image orientation patient|Image type|"
                "Modality|Manufacturer|Manufacturers model name|Magnetic field strength|"
                "Institution name|Study description|Series description|Patients name|Byte order|"
                "Frame")
            .split('|');
    const struct
    {
        QtTreePropertyBrowser *browser;
        QStringList groups;
        QList<QStringList> members;
    } expected[] = {
        {panels.imagePropertiesBrowser(),
         {"File Properties", "Image Properties"},
         {file, {"Width:", "Height:"}}},
        {panels.cxPropertiesBrowser(),
         {"File Properties", "VMR Info / Talairach Coords", "Values at Cross", "SRF Header",
          "Picked Vertex", "NIfTI Info"},
         {file,
          {"Dims X/Y/Z", "X", "Y", "Z"},
          {"Anatomy", "Map", "Atlas region"},
          {"Type", "No. of vertices", "Mean no. of neighbors", "No. of triangles", "No. of edges",
           "Mean edge length"},
          {"Vertex", "Coordinates", "Curvature", "Map", "Label"},
          {"Dims", "Voxel size", "Data type", "Orientation", "X mm", "Y mm", "Z mm", "Voxel i/j/k",
           "Value", "Notes"}}},
        {panels.rawMRIPropertiesBrowser(), {"File Properties", "DICOM Header"}, {file, dicom}},
    };
    for (const auto &e : expected) {
        const QList<QtBrowserItem *> tops = e.browser->topLevelItems();
        QCOMPARE(tops.size(), e.groups.size());
        for (int g = 0; g < tops.size(); ++g) {
            QCOMPARE(tops[g]->property()->propertyName(), e.groups[g]);
            QCOMPARE(labels(tops[g]), e.members[g]);
            for (QtVariantProperty *p : tops[g]->property()->subProperties())
                QCOMPARE(p->valueText(), QString());
        }
        QVERIFY(!e.browser->isHeaderVisible());
    }
    QtTreePropertyBrowser *cx = panels.cxPropertiesBrowser();
    QVERIFY(!cx->isExpanded(panels.vmrGroupItem()));
    QVERIFY(!cx->isExpanded(panels.srfGroupItem()));
    // Each browser has its own file properties.
    QVERIFY(propertyOf(panels.imagePropertiesBrowser(), "File Properties", "Name") !=
            propertyOf(cx, "File Properties", "Name"));
}

void TestPanels::headerPanels()
{
    QtTreePropertyBrowser *cx = panels.cxPropertiesBrowser();
    VmrFixture volume;
    volume.dimX = 6;
    volume.version = 3;
    volume.talairach = 1;
    panels.updateHeaderOfLoadedVMR(readAs<VolumeDocument>(write("anat.vmr", volume.bytes())));
    const QString vmr = "VMR Info / Talairach Coords";
    QCOMPARE(shown(cx, vmr, "Dims X/Y/Z"), QString("3 / 6 / 4"));
    // A Talairach volume renames the coordinates, in the tree too.
    QCOMPARE(labels(panels.vmrGroupItem()), QStringList({"Dims X/Y/Z", "TAL X", "TAL Y", "TAL Z"}));
    QCOMPARE(cx->treeWidget()->findItems("TAL X", Qt::MatchRecursive).size(), 1);
    QVERIFY(cx->isExpanded(panels.vmrGroupItem()));
    // A volume outside Talairach space next: the plain names again, and the
    // cross in voxels, the panel's X being the third axis.
    volume.talairach = 0;
    const auto native = readAs<VolumeDocument>(write("native.vmr", volume.bytes()));
    panels.updateHeaderOfLoadedVMR(native);
    QCOMPARE(labels(panels.vmrGroupItem()), QStringList({"Dims X/Y/Z", "X", "Y", "Z"}));
    panels.updateCrossCoords(1, 2, 0);
    QCOMPARE(shown(cx, vmr, "X") + shown(cx, vmr, "Y") + shown(cx, vmr, "Z"), QString("012"));
    // In Talairach space, millimetres from the centre of the framing cube.
    volume.version = 4;
    volume.referenceSpace = 3;
    volume.offsetX = volume.offsetY = volume.offsetZ = 0;
    volume.voxelSize[0] = volume.voxelSize[1] = volume.voxelSize[2] = 1.0f;
    const auto talairach = readAs<VolumeDocument>(write("tal.vmr", volume.bytes()));
    panels.updateHeaderOfLoadedVMR(talairach);
    panels.updateCrossCoords(100, 90, 128);
    QCOMPARE(shown(cx, vmr, "X") + "/" + shown(cx, vmr, "Y") + "/" + shown(cx, vmr, "Z"),
             QString("0/28/38"));
    panels.clearHeaderOfVMR();
    QCOMPARE(shown(cx, vmr, "Dims X/Y/Z") + shown(cx, vmr, "Y"), QString());
    QVERIFY(!cx->isExpanded(panels.srfGroupItem()));

    const auto octahedron =
        readAs<MeshDocument>(write("octa.srf", SrfFixture::octahedron().bytes()));
    panels.updateHeaderOfLoadedSRF(octahedron->headerValues());
    const QStringList srf = {"Reconstructed", "6", "4", "8", "12", "1.41421"};
    for (int i = 0; i < srf.size(); ++i)
        QCOMPARE(shown(cx, "SRF Header", srfHeaderLabels()[i]), srf[i]);
    QVERIFY(!cx->isExpanded(panels.vmrGroupItem()));
    QVERIFY(cx->isExpanded(panels.srfGroupItem()));
    QVERIFY(!cx->isExpanded(panels.pickedVertexGroupItem()));

    // A picked vertex, its group opened: its coordinates, the curvature its file
    // gives it (odd vertices concave) and the value of the map shown, under the
    // map's name.
    const auto vertexRows = [&] { return rows(panels.pickedVertexGroupItem()); };
    panels.showPickedVertex(octahedron, 3);
    QVERIFY(cx->isExpanded(panels.pickedVertexGroupItem()));
    QCOMPARE(vertexRows(), QStringList({"Vertex=3", "Coordinates=-1 / 0 / 0", "Curvature=concave",
                                        "Map=", "Label="}));
    SmpFixture smp;
    smp.maps = {SmpFixture::Map()};
    smp.maps[0].name = "faces";
    smp.maps[0].data = {0.5f, 1.5f, 2.5f, 3.5f, 4.5f, 5.5f};
    QString reason;
    QCOMPARE(octahedron->readMapFile(write("octa.smp", smp.bytes()), reason),
             QStringList({"faces"}));
    octahedron->chooseMap(0, reason);
    octahedron->applyDisplay({4.0f, 0, false, 3});
    panels.updateValues();
    QCOMPARE(vertexRows(), QStringList({"Vertex=3", "Coordinates=-1 / 0 / 0", "Curvature=concave",
                                        "faces=3.5", "Label="}));
    panels.showPickedVertex(octahedron, 2);
    QCOMPARE(vertexRows().mid(2), QStringList({"Curvature=convex", "faces=2.5", "Label="}));
    panels.showPickedVertex(octahedron, -1);
    QCOMPARE(vertexRows(),
             QStringList({"Vertex=", "Coordinates=", "Curvature=", "faces=", "Label="}));
    panels.updateHeaderOfLoadedVMR(native);
    QVERIFY(!cx->isExpanded(panels.srfGroupItem()));

    QtTreePropertyBrowser *raw = panels.rawMRIPropertiesBrowser();
    QCOMPARE(shown(raw, "DICOM Header", "No. of rows"), QString());
    DicomFixture image(DicomFixture::ExplicitBigEndian);
    image.text(0x0018, 0x0050, "DS", "1.25")
        .text(0x0020, 0x0011, "IS", "7")
        .text(0x0010, 0x0010, "PN", "Doe^Jane")
        .text(0x0028, 0x0030, "DS", "0.9375\\0.5")
        .unsignedShort(0x0028, 0x0010, 2)
        .unsignedShort(0x0028, 0x0011, 1)
        .unsignedShort(0x0028, 0x0100, 16)
        .pixels({100, 200});
    panels.updateHeaderOfLoadedDICOM(
        readAs<DicomDocument>(write("slice.dcm", image.file()))->dicom());
    for (const QString field : {"No. of rows=2", "No. of columns=1", "Pixel spacing=0.9375\\0.5",
                                "Slice thickness=1.25", "Series number=7", "Acquisition number=-1",
                                "Patients name=Doe^Jane", "Byte order=Big Endian"})
        QCOMPARE(shown(raw, "DICOM Header", field.section('=', 0, 0)), field.section('=', 1));

    // In a narrow dock the labels take their share of the width and the values
    // the rest, each cut short with the whole text as tool tip; in a wide one
    // the labels take what they need.
    raw->resize(240, 600);
    raw->show();
    QVERIFY(QTest::qWaitForWindowExposed(raw));
    QTreeWidget *tree = raw->treeWidget();
    const QHeaderView *header = tree->header();
    const QString longest = "Image orientation patient";
    const int needed = tree->fontMetrics().horizontalAdvance(longest) + tree->indentation();
    QTreeWidgetItem *row = tree->findItems(longest, Qt::MatchRecursive).value(0);
    QVERIFY(row);
    QCOMPARE(row->toolTip(0), longest);
    int width = tree->viewport()->width();
    QCOMPARE(header->sectionSize(0), int(width * QtTreePropertyBrowser::labelShare));
    QCOMPARE(header->sectionSize(0) + header->sectionSize(1), width);
    QTreeWidgetItem *name = tree->findItems("Patients name", Qt::MatchRecursive).value(0);
    QCOMPARE(name->toolTip(1), QString("Doe^Jane"));
    raw->resize(800, 600);
    QTRY_VERIFY(header->sectionSize(0) >= needed);
    width = tree->viewport()->width();
    QVERIFY(header->sectionSize(0) < width / 2);
    QCOMPARE(header->sectionSize(0) + header->sectionSize(1), width);
    raw->hide();

    // A NIfTI file's figures, and at the cross the world position named after
    // the file's space, the file's voxel and its value.
    const auto ras = readAs<VolumeDocument>(CXV_NIFTI_FIXTURES "/ras_uint8.nii.gz");
    panels.updateHeaderOfLoadedVMR(ras);
    // World (-10, -10, 0) is the file's voxel (3, 5, 7), of value 2·3 + 3·5 + 5·7 + 1.
    AffineTransform worldToGrid;
    QVERIFY(ras->volume().niftiVolume->gridToWorld().inverted(worldToGrid));
    const AffineTransform::Point g = worldToGrid.map({-10, -10, 0});
    panels.updateCrossCoords(int(std::lround(g[0])), int(std::lround(g[1])),
                             int(std::lround(g[2])));
    QCOMPARE(rows(panels.niftiGroupItem()),
             QStringList({"Dims=16 × 20 × 14", "Voxel size=2 × 2 × 2 mm", "Data type=uint8",
                          "Orientation=sform", "MNI X=-10.0", "MNI Y=-10.0", "MNI Z=0.0",
                          "Voxel i/j/k=3 / 5 / 7", "Value=57", "Notes="}));
    QVERIFY(panels.cxPropertiesBrowser()->isExpanded(panels.niftiGroupItem()));

    panels.updateHeaderOfLoadedVMR(
        readAs<VolumeDocument>(CXV_NIFTI_FIXTURES "/fourd_int16.nii.gz"));
    QCOMPARE(rows(panels.niftiGroupItem()).first(), QString("Dims=10 × 10 × 10 × 3"));
    const auto oblique = readAs<VolumeDocument>(CXV_NIFTI_FIXTURES "/oblique_float32.nii.gz");
    panels.updateHeaderOfLoadedVMR(oblique);
    panels.updateCrossCoords(0, 0, 0);
    const QStringList shown = rows(panels.niftiGroupItem());
    QCOMPARE(shown.mid(2, 2), QStringList({"Data type=float32", "Orientation=sform"}));
    QVERIFY(shown[4].startsWith("X mm="));
    // The grid's corner lies outside the oblique file's voxels.
    QCOMPARE(shown.mid(7), QStringList({"Voxel i/j/k=", "Value=", "Notes="}));
}

// The type is read from the reserved value, or else from the triangle count.
void TestPanels::srfType()
{
    QStringList types;
    for (const auto &[reserved, triangles] : QList<std::pair<int, int>>{
             {0, 1000}, {0, 81920}, {1, 81920}, {2, 10}, {5, 20480}, {5, 20481}}) {
        SurfaceMesh mesh;
        mesh.reservedValue = reserved;
        mesh.nrOfTriangles = triangles;
        types << srfHeaderValues(mesh).first();
    }
    QCOMPARE(types,
             QStringList({"Reconstructed", "Sphere", "Reconstructed with extended set of neighbors",
                          "Sphere", "Sphere", ""}));
}

// Name, folder and size of the file in each panel, and the image size.
void TestPanels::fileProperties()
{
    const QString f = "File Properties", name = tmp.filePath("data/file.png");
    QtTreePropertyBrowser *cx = panels.cxPropertiesBrowser();
    QtTreePropertyBrowser *raw = panels.rawMRIPropertiesBrowser();
    QtTreePropertyBrowser *image = panels.imagePropertiesBrowser();
    QDir(tmp.path()).mkpath("data");
    const QList<std::pair<int, QString>> sizeTexts = {
        {0, "0 bytes"},          {1024, "1024 bytes"}, {1025, "1.00 KB"},   {1536, "1.50 KB"},
        {1048576, "1024.00 KB"}, {1048577, "1.00 MB"}, {5505024, "5.25 MB"}};
    for (const auto &[size, text] : sizeTexts) {
        QFile file(name);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(size));
        file.close();
        panels.updateCXFileProperties(3, name);
        panels.updateRawMRIFileProperties(0, name);
        panels.updateImageFileProperties(0, name, 640, -1, 6);
        for (QtTreePropertyBrowser *browser : {cx, raw, image})
            QCOMPARE(shown(browser, f, "Size"), text);
    }
    QCOMPARE(shown(image, "Image Properties", "Height:"), QString());

    panels.updateImageFileProperties(-1, "", 0, 0, 1);
    for (const char *label : {"Name", "Folder", "Size"})
        QCOMPARE(shown(image, f, label), QString());
    QCOMPARE(shown(image, "Image Properties", "Width:"), QString());
    panels.updateCXFileProperties(0, tmp.filePath("missing.vmr"));
    QCOMPARE(shown(cx, f, "Size"), QString("0 bytes"));
}

// The sign check boxes, the lists, and which SMP files fit a mesh.
void TestPanels::mapsPanel()
{
    MapsPanel maps;
    QCheckBox *showPositive = nullptr, *showNegative = nullptr;
    for (QCheckBox *box : maps.findChildren<QCheckBox *>()) {
        if (box->text() == "Show positive values")
            showPositive = box;
        if (box->text() == "Show negative values")
            showNegative = box;
    }
    QVERIFY(showPositive && showNegative);
    int changes = 0;
    connect(&maps, &MapsPanel::signSelectionChanged, this, [&] { ++changes; });
    QList<int> selections;
    for (const auto &[positive, negative] :
         QList<std::pair<bool, bool>>{{true, true}, {false, true}, {true, false}, {false, false}}) {
        if (showPositive->isChecked() != positive)
            showPositive->click();
        if (showNegative->isChecked() != negative)
            showNegative->click();
        selections << maps.signSelection();
    }
    QCOMPARE(selections, QList<int>({3, 2, 1, 0}));
    QCOMPARE(changes, 4);

    maps.subMapList()->addItem("old map");
    maps.setMapFiles({"a.vmp", "b.vmp"});
    QCOMPARE(maps.mapFileList()->count(), 2);
    QCOMPARE(maps.mapFileList()->item(1)->text(), QString("b.vmp"));
    QCOMPARE(maps.subMapList()->count(), 0);

    // A chosen file's maps: the first is chosen at once. Its settings reach the
    // controls without being echoed back as changes.
    QList<QList<int>> chosen;
    connect(&maps, &MapsPanel::mapChosen, this, [&](int row, int count) {
        chosen << QList<int>{row, count};
    });
    maps.setSubMapNames({"t", "r"});
    QCOMPARE(chosen, QList<QList<int>>({{0, 2}}));
    QCOMPARE(maps.subMapList()->currentRow(), 0);
    int echoes = 0;
    for (auto signal : {&MapsPanel::thresholdChanged, &MapsPanel::clusterSizeChanged})
        connect(&maps, signal, this, [&] { ++echoes; });
    maps.showMapSettings(5.5f, 12, true, 2);
    QCOMPARE(maps.threshold(), 5.5f);
    QCOMPARE(maps.clusterSize(), 12);
    QVERIFY(maps.clusterFilterEnabled());
    QCOMPARE(maps.signSelection(), 2);
    maps.showMapSettings(4.0f, -1, false, 3);
    QCOMPARE(maps.clusterSize(), 12);
    QCOMPARE(maps.signSelection(), 3);
    QCOMPARE(echoes, 0);

    // The vertex count an SMP file states, by which the maps panel offers it:
    // none for a file cut short. A FIFO would block the loader if it were opened.
    const QString fifo = tmp.filePath("fifo.smp");
    QVERIFY(mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    QCOMPARE(SurfaceMaps::statedVertexCount(fifo), -1);
    QCOMPARE(SurfaceMaps::statedVertexCount(write("short.smp", SmpFixture().bytes().left(5))), -1);
}

QTEST_MAIN(TestPanels)
#include "tst_panels.moc"
