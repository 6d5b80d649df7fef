#include "ArVolumeMap.h"
#include "ArVolumeMaps.h"
#include "DocumentLoader.h"
#include "Documents.h"
#include "MapDisplaySettings.h"
#include "SmpFixture.h"
#include "SrfFixture.h"
#include "SurfaceMap.h"
#include "SurfaceMaps.h"
#include "SurfaceMesh.h"
#include "VmpFixture.h"
#include "VmrFixture.h"
#include "VolumeComposer.h"
#include "VolumeDoc.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <cmath>
#include <thread>
#include <tuple>

namespace {

// The anatomy is grey, the map scales are not.
int colouredPixels(const QImage &image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += qRed(image.pixel(x, y)) != qBlue(image.pixel(x, y));
    return n;
}

} // namespace

class TestDocuments : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(tmp.isValid()); }
    void failuresCarryTheReadersReason();
    void onlyTheNewestRequestArrives();
    void settingsDriveTheVolumesColours();
    void twoThreadsComposeOneVolume();

private:
    QString write(const QString &name, const QByteArray &data);

    QTemporaryDir tmp;
};

QString TestDocuments::write(const QString &name, const QByteArray &data)
{
    QFile file(tmp.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
}

// The reason comes from the reader that failed, through the loader as it is.
void TestDocuments::failuresCarryTheReadersReason()
{
    for (const auto &[name, data, reason] : QList<std::tuple<QString, QByteArray, QString>>{
             {"missing.vmr", {}, "no such file"},
             {"cut.vmr", VmrFixture().bytes().left(20), "not a readable VMR volume"},
             {"notes.txt", "text", "not a kind of file the viewer shows"}}) {
        const QString file = data.isEmpty() ? tmp.filePath(name) : write(name, data);
        DocumentLoader loader;
        QSignalSpy failed(&loader, &DocumentLoader::failed);
        loader.load(file, 3);
        QVERIFY(failed.wait(10000));
        QCOMPARE(failed[0][0].toString(), file);
        const QString said = failed[0][1].toString();
        QVERIFY2(said.startsWith(reason), qPrintable(said));
        QCOMPARE(failed[0][2].toInt(), 3);
        QVERIFY(!loader.isLoading());
    }
}

// A document read on a worker arrives on the window's thread; a newer request
// supersedes an older one still being read, and a cancelled one never arrives.
void TestDocuments::onlyTheNewestRequestArrives()
{
    VmrFixture large;
    large.dimX = large.dimY = large.dimZ = 200;
    large.voxels = QByteArray(200 * 200 * 200, char(90));
    const QString first = write("large.vmr", large.bytes());
    const QString second = write("small.vmr", VmrFixture().bytes());
    DocumentLoader loader;
    QThread *arrivedOn = nullptr;
    connect(&loader, &DocumentLoader::loaded, this, [&] { arrivedOn = QThread::currentThread(); });
    QSignalSpy loaded(&loader, &DocumentLoader::loaded);
    QSignalSpy failed(&loader, &DocumentLoader::failed);
    loader.load(first, 0);
    loader.load(second, 1);
    QVERIFY(loader.isLoading());
    QVERIFY(loaded.wait(10000));
    QCOMPARE(arrivedOn, thread());
    // Long enough for the large volume to be read too; its document is gone.
    QTest::qWait(1500);
    QCOMPARE(loaded.size(), 1);
    const auto document = loaded[0][0].value<std::shared_ptr<Document>>();
    QCOMPARE(document->kind(), Document::Volume);
    QCOMPARE(document->fileName(), second);
    QCOMPARE(static_cast<VolumeDocument &>(*document).volume().dimX, VmrFixture().dimX);
    QCOMPARE(loaded[0][1].toInt(), 1);
    QCOMPARE(Document::instances(), 1);

    loader.load(first, 2);
    loader.cancel();
    QVERIFY(!loaded.wait(1500));
    QCOMPARE(loaded.size() + failed.size(), 1);
}

// The map settings reach the composition with no widget: the file and map
// chosen, then threshold, signs and cluster size.
void TestDocuments::settingsDriveTheVolumesColours()
{
    VmrFixture anatomy;
    anatomy.dimX = anatomy.dimY = anatomy.dimZ = 40;
    anatomy.voxels = QByteArray(40 * 40 * 40, char(100));
    anatomy.offsetX = anatomy.offsetY = anatomy.offsetZ = 0;
    VmpFixture vmp;
    vmp.maps[0].showPosNeg = 3;
    vmp.maps[0].useMapColors = 0;
    vmp.maps[0].mapOption = 1;
    vmp.maps[0].clusterCheckEnabled = 0;
    vmp.maps[0].threshMin = 3.5f;
    vmp.maps[0].data = QList<float>(vmp.nrOfCells(false), 6.0f);
    QString reason;
    const auto volume = std::static_pointer_cast<VolumeDocument>(
        readDocument(write("anat.vmr", anatomy.bytes()), reason));
    QVERIFY2(volume, qPrintable(reason));
    VolumeComposer composer;
    const auto coloured = [&] {
        return colouredPixels(composer.compose(*volume, {20, 20, 20}, {true, true, false}));
    };
    QCOMPARE(coloured(), 0);

    MapDisplaySettings settings;
    settings.setTarget(volume);
    QSignalSpy names(&settings, &MapDisplaySettings::mapNamesListed);
    QSignalSpy changed(&settings, &MapDisplaySettings::changed);
    QVERIFY(settings.chooseMapFile(write("anat.vmp", vmp.current())));
    QCOMPARE(names.value(0), QVariantList({QStringList({"t map"})}));
    QVERIFY(settings.chooseMap(0));
    const int all = coloured();
    QVERIFY2(all > 10, qPrintable(QString::number(all)));
    const ArVolumeMap &map = *volume->volume().arVolumeMaps->maps[0];
    const MapDisplay stored = map.storedDisplay();
    const float upper = map.threshMax;

    // A threshold above every value takes the colours away (signs: the figure tests).
    settings.setThreshold(100);
    QCOMPARE(coloured(), 0);
    settings.setThreshold(3.5f);
    // The map is one cluster of the whole box: a size beyond it filters it all.
    settings.setClusterSize(40 * 40 * 40);
    QCOMPARE(coloured(), all);
    settings.setClusterFilter(true);
    QCOMPARE(coloured(), 0);
    settings.setClusterFilter(false);
    QCOMPARE(changed.size(), 6); // once for each change
    // The map keeps what its file says.
    QCOMPARE(map.storedDisplay(), stored);
    QCOMPARE(map.threshMax, upper);

    // A file that is no map file leaves the maps as they were, and says why,
    // until a map file is read.
    QVERIFY(!settings.chooseMapFile(write("bad.vmp", "not a map")));
    QCOMPARE(names.size(), 1);
    QCOMPARE(settings.note(), QString("bad.vmp: VMP version 28526 is not supported (versions 1 "
                                      "to 4 of the older format are)"));
    QCOMPARE(coloured(), all);
    QVERIFY(settings.chooseMapFile(tmp.filePath("anat.vmp")));
    QCOMPARE(settings.note(), QString());

    // A mesh's map colours it, and a threshold above every value leaves it
    // plain again; the map keeps what its file says.
    SmpFixture smp;
    smp.maps = {SmpFixture::Map()};
    smp.maps[0].threshMin = 1.0f;
    smp.maps[0].data = QList<float>(6, 2.0f);
    const auto mesh = std::static_pointer_cast<MeshDocument>(
        readDocument(write("a.srf", SrfFixture::octahedron().bytes()), reason));
    const auto colours = [&] {
        return QList<int>(mesh->mesh().vertexColors.get(), mesh->mesh().vertexColors.get() + 6);
    };
    const QList<int> plain = colours();
    settings.setTarget(mesh);
    QVERIFY(settings.chooseMapFile(write("a.smp", smp.bytes())) && settings.chooseMap(0));
    QVERIFY(colours() != plain);
    settings.setThreshold(5.0f);
    QCOMPARE(colours(), plain);
    QCOMPARE(mesh->mesh().surfaceMaps->maps[0]->threshMin, 1.0f);
}

// Composing only reads the volume: two threads composing one volume, with the
// cluster filter on, get the pictures one thread gets.
void TestDocuments::twoThreadsComposeOneVolume()
{
    const int n = 40;
    VmrFixture anatomy;
    anatomy.dimX = anatomy.dimY = anatomy.dimZ = n;
    anatomy.voxels = QByteArray(n * n * n, char(100));
    for (int i = 0; i < n * n * n; i += 7)
        anatomy.voxels[i] = char(255);
    VmpFixture vmp;
    vmp.version = 4;
    vmp.resolution = 1;
    std::fill(std::begin(vmp.box), std::end(vmp.box), 0);
    vmp.box[1] = vmp.box[3] = vmp.box[5] = n - 1;
    std::fill(std::begin(vmp.savedDims), std::end(vmp.savedDims), n);
    // Blobs of both signs and sizes, and single values among them.
    for (int z = 0; z < n; ++z)
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x)
                vmp.maps[0].data << ((x * 7 + y * 5 + z * 3) % 11 == 0
                                         ? 6.0f
                                         : 6.0f * std::sin(x * 0.6f + 0.4f) *
                                               std::sin(y * 0.5f + z * 0.4f));
    QString reason;
    const auto volume = std::static_pointer_cast<VolumeDocument>(
        readDocument(write("blobs.vmr", anatomy.bytes()), reason));
    QVERIFY2(volume, qPrintable(reason));
    MapDisplaySettings settings;
    settings.setTarget(volume);
    QVERIFY(settings.chooseMapFile(write("blobs.vmp", vmp.older())));
    QVERIFY(settings.chooseMap(0));
    settings.setThreshold(2.0f);
    settings.setSignSelection(3);
    settings.setClusterSize(30);
    settings.setClusterFilter(false);

    const std::array<int, 3> crosses[] = {{20, 20, 20}, {5, 30, 12}, {33, 8, 27}};
    const VolumeComposer::Overlays overlays{true, false, true};
    VolumeComposer single;
    QList<QImage> expected;
    for (const auto &cross : crosses)
        expected << single.compose(*volume, cross, overlays);
    settings.setClusterFilter(true);
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const QImage unfiltered = expected[i];
        expected[i] = single.compose(*volume, crosses[i], overlays);
        QVERIFY(colouredPixels(expected[i]) > 0);
        QVERIFY(expected[i] != unfiltered);
    }

    QList<QImage> composed[2];
    std::thread threads[2];
    for (int t = 0; t < 2; ++t)
        threads[t] = std::thread([&, t] {
            VolumeComposer composer;
            for (int round = 0; round < 4; ++round)
                for (const auto &cross : crosses)
                    composed[t] << composer.compose(*volume, cross, overlays);
        });
    for (std::thread &thread : threads)
        thread.join();
    for (const QList<QImage> &pictures : composed)
        for (qsizetype i = 0; i < pictures.size(); ++i)
            QVERIFY2(pictures[i] == expected[i % expected.size()], qPrintable(QString::number(i)));
}

QTEST_MAIN(TestDocuments)
#include "tst_documents.moc"
