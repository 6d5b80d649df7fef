#include "AffineTransform.h"
#include "NiftiVolume.h"
#include "PropertyPanels.h"
#include "QtBrowserItem.h"
#include "QtTreePropertyBrowser.h"
#include "QtVariantProperty.h"
#include "ShowFile.h"
#include "VolumeDoc.h"

#include <QTest>

#include <cmath>

namespace {

// The labels and values of a group, in order.
QStringList rows(QtBrowserItem *group)
{
    QStringList shown;
    for (QtVariantProperty *p : group->property()->subProperties())
        shown << p->propertyName() + '=' + p->valueText();
    return shown;
}

} // namespace

class TestNiftiPanels : public QObject
{
    Q_OBJECT

private slots:
    void headerAndCross();
};

// The file's figures, and at the cross the world position named after the
// file's space, the file's voxel and its value.
void TestNiftiPanels::headerAndCross()
{
    PropertyPanels panels;
    const auto volume = readAs<VolumeDocument>(CXV_NIFTI_FIXTURES "/ras_uint8.nii.gz");
    panels.updateHeaderOfLoadedVMR(volume);
    // World (-10, -10, 0) is the file's voxel (3, 5, 7), of value 2·3 + 3·5 + 5·7 + 1.
    AffineTransform worldToGrid;
    QVERIFY(volume->volume().niftiVolume->gridToWorld().inverted(worldToGrid));
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

QTEST_MAIN(TestNiftiPanels)
#include "tst_nifti_panels.moc"
