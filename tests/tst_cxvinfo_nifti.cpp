#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestCxvInfoNifti : public QObject
{
    Q_OBJECT

private slots:
    void headerAndGrid();
    void hostileHeader();

private:
    // Runs the inspector with --json on a file; its exit code and its object.
    static int run(const QString &file, QJsonObject &object, QByteArray *err = nullptr);
};

int TestCxvInfoNifti::run(const QString &file, QJsonObject &object, QByteArray *err)
{
    QProcess process;
    process.start(QCoreApplication::applicationDirPath() + "/cxvinfo", {"--json", file});
    process.waitForFinished(30000);
    object = QJsonDocument::fromJson(process.readAllStandardOutput()).object();
    if (err)
        *err = process.readAllStandardError();
    return process.exitCode();
}

// The standard field names with the values nibabel wrote, and the grid derived.
void TestCxvInfoNifti::headerAndGrid()
{
    QJsonObject o;
    QCOMPARE(run(CXV_NIFTI_FIXTURES "/ras_uint8.nii.gz", o), 0);
    QCOMPARE(o["kind"].toString(), QString("NIfTI"));
    QCOMPARE(o["dim"].toArray(), QJsonArray({3, 16, 20, 14, 1, 1, 1, 1}));
    QCOMPARE(o["datatype"].toInt(), 2);
    QCOMPARE(o["sform_code"].toInt(), 4);
    QCOMPARE(o["srow_y"].toArray(), QJsonArray({0, 2, 0, -20}));
    QCOMPARE(o["orientation"].toString(), QString("sform"));
    QCOMPARE(o["space"].toString(), QString("MNI"));
    // x runs anterior to posterior over the 20 voxels of j, and so on.
    QCOMPARE(o["gridDims"].toArray(), QJsonArray({20, 14, 16}));
    QCOMPARE(o["gridVoxelSize"].toDouble(), 2.0);

    QCOMPARE(run(CXV_NIFTI_FIXTURES "/scaled_float64.nii", o), 0);
    QCOMPARE(o["scl_slope"].toDouble(), 2.0);
    QCOMPARE(o["scl_inter"].toDouble(), -5.0);
    QCOMPARE(run(CXV_NIFTI_FIXTURES "/neither_uint8.hdr", o), 0);
    QCOMPARE(o["orientation"].toString(), QString("none"));
}

void TestCxvInfoNifti::hostileHeader()
{
    QTemporaryDir dir;
    QFile file(dir.filePath("hostile.nii"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QByteArray header(352, '\0');
    header[0] = char(0x5c);
    header[1] = char(0x01); // 348
    header[40] = 3;
    for (int axis = 1; axis <= 3; ++axis)
        header[40 + 2 * axis + 1] = 0x7f; // 32512 voxels each
    file.write(header);
    file.close();
    QJsonObject o;
    QByteArray err;
    QCOMPARE(run(file.fileName(), o, &err), 1);
    QCOMPARE(o["ok"].toBool(), false);
    QVERIFY2(err.contains("more voxels"), err.constData());
}

QTEST_GUILESS_MAIN(TestCxvInfoNifti)
#include "tst_cxvinfo_nifti.moc"
