#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestNoCore : public QObject
{
    Q_OBJECT

private slots:
    void missingCoreEndsWithCodeOne();
};

void TestNoCore::missingCoreEndsWithCodeOne()
{
    QTemporaryDir appDir;
    QProcess viewer;
    viewer.start(QCoreApplication::applicationDirPath() + "/cxviewer_nocore", {appDir.path()});
    QVERIFY(viewer.waitForFinished(60000));
    QCOMPARE(viewer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(viewer.exitCode(), 1);
    QCOMPARE(viewer.readAllStandardOutput().trimmed(),
             QByteArray("CX Viewer|Error - can not access CXSCore"));
    QVERIFY(QDir(appDir.path()).isEmpty());
}

QTEST_GUILESS_MAIN(TestNoCore)
#include "tst_nocore.moc"
