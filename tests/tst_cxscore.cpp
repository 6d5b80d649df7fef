#include "CXSCore.h"
#include "SrfFixture.h"
#include "SurfaceMesh.h"
#include "VmrFixture.h"
#include "VolumeDoc.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

} // namespace

// Loading replaces the document of its kind, and only when the new one reads.
class TestCXSCore : public QObject
{
    Q_OBJECT

private slots:
    void volumes();
    void meshes();
    void noDICOMBeforeLoad();

private:
    QTemporaryDir dir;
};

void TestCXSCore::volumes()
{
    VmrFixture first;
    first.dimX = 3;
    VmrFixture second;
    second.dimX = 7;
    const QString firstPath = writeFile(dir, "first.vmr", first.bytes());
    const QString secondPath = writeFile(dir, "second.vmr", second.bytes());
    const QString brokenPath =
        writeFile(dir, "broken.vmr", second.bytes(VmrFixture::Voxels).chopped(1));

    CXSCore core;
    QCOMPARE(core.getNrOfVolumeDocs(), 0);
    QVERIFY(!core.getVolumeDoc(0));
    QVERIFY(core.loadVMR(firstPath));
    QVERIFY(core.loadVMR(secondPath));
    QCOMPARE(core.getNrOfVolumeDocs(), 1);
    QCOMPARE(core.getVolumeDoc(0)->dimX, 7);
    QCOMPARE(core.getVolumeDoc(0)->fileName, "second.vmr");
    QVERIFY(!core.getVolumeDoc(1));
    QCOMPARE(core.currentVolumeDoc, -1);

    QVERIFY(!core.loadVMR(brokenPath));
    QVERIFY(!core.loadVMR(dir.filePath("none.vmr")));
    QCOMPARE(core.getNrOfVolumeDocs(), 1);
    QCOMPARE(core.getVolumeDoc(0)->fileName, "second.vmr");
}

void TestCXSCore::meshes()
{
    SrfFixture first = SrfFixture::octahedron();
    SrfFixture second = SrfFixture::octahedron();
    second.vertices.removeLast();
    for (SrfFixture::Vertex &v : second.vertices)
        v.neighbors.removeAll(5);
    second.triangles.clear();
    second.strips.clear();
    const QString firstPath = writeFile(dir, "first.srf", first.bytes());
    const QString secondPath = writeFile(dir, "second.srf", second.bytes());
    const QString brokenPath = writeFile(dir, "broken.srf", first.bytes(SrfFixture::Neighbors));

    CXSCore core;
    QCOMPARE(core.currentMesh, -1);
    QVERIFY(!core.getMesh(0));
    QVERIFY(!core.loadMesh(brokenPath));
    QCOMPARE(core.currentMesh, -1);
    QCOMPARE(core.getNrOfMeshes(), 0);
    QVERIFY(core.loadMesh(firstPath));
    QVERIFY(core.loadMesh(secondPath));
    QCOMPARE(core.getNrOfMeshes(), 1);
    QCOMPARE(core.currentMesh, 0);
    QCOMPARE(core.getMesh(0)->nrOfVertices, 5);
    QVERIFY(!core.getMesh(1));

    QVERIFY(!core.loadMesh(brokenPath));
    QVERIFY(!core.loadMesh(dir.filePath("none.srf")));
    QCOMPARE(core.getNrOfMeshes(), 1);
    QCOMPARE(core.getMesh(0)->fileNameWithPath, secondPath);
}

void TestCXSCore::noDICOMBeforeLoad()
{
    CXSCore core;
    QVERIFY(!core.getDICOMDoc());
}

QTEST_GUILESS_MAIN(TestCXSCore)
#include "tst_cxscore.moc"
