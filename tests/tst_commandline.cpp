#include "CommandLine.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

Q_DECLARE_METATYPE(CommandLine::Action)

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void actionsAndRefusals_data();
    void actionsAndRefusals();
    void renderSettings();

private:
    // "%" in a data row stands for the folder of test files.
    QStringList expand(const QStringList &arguments) const;

    QTemporaryDir tmp;
};

void TestCommandLine::initTestCase()
{
    QVERIFY(tmp.isValid());
    QVERIFY(QDir(tmp.path()).mkdir("folder"));
    for (const char *name :
         {"a.vmr", "b.SRF", "b.vwp", "c.png", "d.dcm", "h.hdr", "h.img", "m.vmp", "s.smp",
          "z.nii.gz", "notes.txt", "-dash.png", "lh.white", "lh.thickness", "lh.aparc.annot",
          "lh.vwp", "x.surf.gii", "x.label.gii"}) {
        QFile file(tmp.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    // FreeSurfer's surfaces and values of other names, by their magic.
    for (const char *name : {"lh.sphere.reg", "lh.white.H"}) {
        QFile file(tmp.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(name == QByteArray("lh.sphere.reg") ? QByteArray("\xff\xff\xfe", 3)
                                                       : QByteArray("\xff\xff\xff\0\0\0\4\0\0"
                                                                    "\0\4\0\0\0\1",
                                                                    15));
    }
    // Other names of the volume and the map; relative names from the folder.
    QVERIFY(QFile::link(tmp.filePath("a.vmr"), tmp.filePath("link.vmr")));
    QVERIFY(QFile::link(tmp.filePath("m.vmp"), tmp.filePath("link.vmp")));
    QCOMPARE(::link(QFile::encodeName(tmp.filePath("a.vmr")).constData(),
                    QFile::encodeName(tmp.filePath("hard.vmr")).constData()),
             0);
    QVERIFY(QDir::setCurrent(tmp.path()));
}

QStringList TestCommandLine::expand(const QStringList &arguments) const
{
    QStringList expanded;
    for (QString argument : arguments)
        expanded << argument.replace("%", tmp.path());
    return expanded;
}

void TestCommandLine::actionsAndRefusals_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<CommandLine::Action>("action");
    QTest::addColumn<QString>("error");
    const auto window = CommandLine::OpenWindow;
    const auto render = CommandLine::Render;
    const auto refuse = CommandLine::Refuse;

    QTest::newRow("nothing") << QStringList() << window << "";
    QTest::newRow("paths") << QStringList{"%/folder", "%/a.vmr", "%/m.vmp"} << window << "";
    QTest::newRow("help") << QStringList{"%/a.vmr", "--help", "--bogus"} << CommandLine::PrintHelp
                          << "";
    QTest::newRow("-h") << QStringList{"-h"} << CommandLine::PrintHelp << "";
    QTest::newRow("version") << QStringList{"--version"} << CommandLine::PrintVersion << "";
    QTest::newRow("unknown long") << QStringList{"--bogus", "%/a.vmr"} << refuse
                                  << "cxviewer: unknown option --bogus";
    QTest::newRow("unknown short") << QStringList{"-x"} << refuse << "cxviewer: unknown option -x";
    QTest::newRow("single dash option") << QStringList{"-render", "o.png", "%/a.vmr"} << refuse
                                        << "cxviewer: unknown option -render";
    QTest::newRow("missing path") << QStringList{"%/a.vmr", "%/gone.vmr"} << refuse
                                  << "cxviewer: no such file or folder: %/gone.vmr";
    QTest::newRow("path after --") << QStringList{"--", "%/-dash.png"} << window << "";
    QTest::newRow("no value") << QStringList{"%/a.vmr", "--render"} << refuse
                              << "cxviewer: --render needs a value";
    QTest::newRow("empty output") << QStringList{"--render=", "%/a.vmr"} << refuse
                                  << "cxviewer: --render needs a file name";
    QTest::newRow("size without render") << QStringList{"--size", "10x10", "%/a.vmr"} << refuse
                                         << "cxviewer: --size is only for --render";
    QTest::newRow("map without render") << QStringList{"--map", "%/m.vmp", "%/a.vmr"} << refuse
                                        << "cxviewer: --map is only for --render";

    const QStringList out = {"--render", "o.png"};
    QTest::newRow("render volume") << out + QStringList{"%/a.vmr"} << render << "";
    QTest::newRow("render =") << QStringList{"--render=o.png", "--size=20x10", "%/b.SRF"} << render
                              << "";
    QTest::newRow("render image") << out + QStringList{"%/c.png"} << render << "";
    QTest::newRow("render dicom") << out + QStringList{"%/d.dcm"} << render << "";
    QTest::newRow("render two") << out + QStringList{"%/a.vmr", "%/c.png"} << refuse
                                << "cxviewer: --render draws one file";
    QTest::newRow("render none") << out << refuse << "cxviewer: --render draws one file";
    QTest::newRow("render folder")
        << out + QStringList{"%/folder"} << refuse
        << "cxviewer: %/folder holds no DICOM series of 3 slices or more";
    QTest::newRow("series of a file") << out + QStringList{"--series", "1", "%/d.dcm"} << refuse
                                      << "cxviewer: --series is for a folder of DICOM series";
    QTest::newRow("series 0") << out + QStringList{"--series", "0", "%/folder"} << refuse
                              << "cxviewer: --series takes a series number from 1, as cxvinfo "
                                 "lists them, not 0";
    const QString cannotDraw = "cxviewer: --render draws an image, DICOM, VMR, NIfTI, SRF, "
                               "FreeSurfer or GIfTI surface file or a folder of DICOM series, not ";
    QTest::newRow("render text") << out + QStringList{"%/notes.txt"} << refuse
                                 << cannotDraw + "%/notes.txt";
    QTest::newRow("render map") << out + QStringList{"%/m.vmp"} << refuse << cannotDraw + "%/m.vmp";
    QTest::newRow("render FreeSurfer values")
        << out + QStringList{"%/lh.white.H"} << refuse << cannotDraw + "%/lh.white.H";
    QTest::newRow("render missing") << out + QStringList{"%/gone.srf"} << refuse
                                    << "cxviewer: no such file or folder: %/gone.srf";
    QTest::newRow("missing path with control characters")
        << QStringList{"%/gone\n\x1b[2J\x7f\u009b\u202e.vmr"} << refuse
        << "cxviewer: no such file or folder: %/gone\\n\\x1b[2J\\x7f\\x9b\\u202e.vmr";

    // A figure never writes over a file it reads.
    const auto over = [](const char *input) {
        return QString("cxviewer: --render would write over %1, which the figure reads").arg(input);
    };
    QTest::newRow("output is the file")
        << QStringList{"--render", "%/a.vmr", "%/a.vmr"} << refuse << over("%/a.vmr");
    QTest::newRow("output is the file, relative")
        << QStringList{"--render", "a.vmr", "%/a.vmr"} << refuse << over("%/a.vmr");
    QTest::newRow("output is a link to the file")
        << QStringList{"--render", "%/link.vmr", "%/a.vmr"} << refuse << over("%/a.vmr");
    QTest::newRow("output is a hard link to the file")
        << QStringList{"--render", "%/hard.vmr", "%/a.vmr"} << refuse << over("%/a.vmr");
    QTest::newRow("output is the map")
        << QStringList{"--render", "%/m.vmp", "--map", "%/m.vmp", "%/a.vmr"} << refuse
        << over("%/m.vmp");
    QTest::newRow("output is a link to the map")
        << QStringList{"--render", "link.vmp", "--map", "%/m.vmp", "%/a.vmr"} << refuse
        << over("%/m.vmp");
    QTest::newRow("output is the viewing parameters of the mesh")
        << QStringList{"--render", "%/b.vwp", "%/b.SRF"} << refuse << over("%/b.vwp");
    QTest::newRow("output is the viewing parameters of a hemisphere")
        << QStringList{"--render", "%/lh.vwp", "%/lh.white"} << refuse << over("%/lh.vwp");
    QTest::newRow("output is the image file of the header")
        << QStringList{"--render", "%/h.img", "%/h.hdr"} << refuse << over("%/h.img");
    QTest::newRow("output beside the file")
        << QStringList{"--render", "%/a.png", "%/a.vmr"} << render << "";

    const QString badSize = "cxviewer: --size takes WIDTHxHEIGHT, each from 1 to 8192, not ";
    for (const char *size : {"0x10", "10x", "10", "8193x10", "-5x10", "10X10", "1.5x2"})
        QTest::newRow(qPrintable(QString("size ") + size))
            << out + QStringList{"--size", size, "%/a.vmr"} << refuse << badSize + size;
    QTest::newRow("size 8192") << out + QStringList{"--size", "8192x1", "%/a.vmr"} << render << "";

    const QString badCross = "cxviewer: --cross takes voxel indices X,Y,Z, not ";
    for (const char *cross : {"1,2", "1,2,3,4", "-1,2,3", "a,b,c", "1;2;3"})
        QTest::newRow(qPrintable(QString("cross ") + cross))
            << out + QStringList{"--cross", cross, "%/a.vmr"} << refuse << badCross + cross;
    QTest::newRow("cross on mesh") << out + QStringList{"--cross", "1,2,3", "%/b.SRF"} << refuse
                                   << "cxviewer: --cross is for a volume";

    const QStringList vmp = {"--map", "%/m.vmp"};
    QTest::newRow("vmp on volume") << out + vmp + QStringList{"%/a.vmr"} << render << "";
    QTest::newRow("smp on mesh") << out + QStringList{"--map", "%/s.smp", "%/b.SRF"} << render
                                 << "";
    QTest::newRow("nifti on volume")
        << out + QStringList{"--map", "%/z.nii.gz", "%/a.vmr"} << render << "";
    const QString notForMesh = "cxviewer: --map takes a VMP or NIfTI file for a volume, or for a "
                               "mesh an SMP file or a FreeSurfer or GIfTI file of values or labels "
                               "per vertex";
    QTest::newRow("nifti on mesh")
        << out + QStringList{"--map", "%/z.nii.gz", "%/b.SRF"} << refuse << notForMesh;
    QTest::newRow("vmp on mesh") << out + vmp + QStringList{"%/b.SRF"} << refuse << notForMesh;
    QTest::newRow("map on image") << out + vmp + QStringList{"%/c.png"} << refuse << notForMesh;
    QTest::newRow("surface on mesh")
        << out + QStringList{"--map", "%/lh.white", "%/b.SRF"} << refuse << notForMesh;
    for (const char *map : {"lh.thickness", "lh.aparc.annot", "x.label.gii", "lh.white.H"})
        for (const char *mesh : {"lh.white", "x.surf.gii", "lh.sphere.reg", "b.SRF"})
            QTest::newRow(qPrintable(QString("%1 on %2").arg(map, mesh)))
                << out + QStringList{"--map", QString("%/") + map, QString("%/") + mesh} << render
                << "";
    QTest::newRow("map missing") << out + QStringList{"--map", "%/gone.vmp", "%/a.vmr"} << refuse
                                 << "cxviewer: no such file: %/gone.vmp";
    QTest::newRow("map folder") << out + QStringList{"--map", "%/folder", "%/a.vmr"} << refuse
                                << "cxviewer: no such file: %/folder";
    QTest::newRow("threshold without map") << out + QStringList{"--threshold", "3", "%/a.vmr"}
                                           << refuse << "cxviewer: --threshold needs --map";
    QTest::newRow("sign without map") << out + QStringList{"--sign", "pos", "%/a.vmr"} << refuse
                                      << "cxviewer: --sign needs --map";

    const QList<std::tuple<const char *, const char *, const char *>> values = {
        {"--threshold", "-1", "--threshold takes a number from 0 to 1000, not -1"},
        {"--threshold", "1000.5", "--threshold takes a number from 0 to 1000, not 1000.5"},
        {"--threshold", "nan", "--threshold takes a number from 0 to 1000, not nan"},
        {"--threshold", "x", "--threshold takes a number from 0 to 1000, not x"},
        {"--cluster", "10001",
         "--cluster takes a voxel or vertex count from 0 to 10000, not 10001"},
        {"--cluster", "2.5", "--cluster takes a voxel or vertex count from 0 to 10000, not 2.5"},
        {"--map-index", "0", "--map-index takes a map number from 1, not 0"},
        {"--sign", "positive", "--sign takes pos, neg or both, not positive"},
    };
    for (const auto &[option, value, message] : values)
        QTest::newRow(qPrintable(QString("%1 %2").arg(option, value)))
            << out + vmp + QStringList{option, value, "%/a.vmr"} << refuse
            << QString("cxviewer: ") + message;
}

void TestCommandLine::actionsAndRefusals()
{
    QFETCH(QStringList, arguments);
    QFETCH(CommandLine::Action, action);
    QFETCH(QString, error);
    const CommandLine line(expand(arguments));
    QCOMPARE(line.action(), action);
    QCOMPARE(line.error(), error.replace("%", tmp.path()));
}

void TestCommandLine::renderSettings()
{
    const CommandLine plain(expand({"--render", "o.png", "%/a.vmr"}));
    QCOMPARE(plain.outputFile(), QString("o.png"));
    QCOMPARE(plain.paths(), expand({"%/a.vmr"}));
    QCOMPARE(plain.fileKind(), FileTypes::Volume);
    QCOMPARE(plain.size(), QSize(800, 600));
    QVERIFY(!plain.cross() && !plain.threshold() && !plain.clusterSize() && !plain.signSelection());
    QCOMPARE(plain.mapIndex(), 1);

    const CommandLine all(expand({"--size", "640x480", "--cross=10,0,255", "--map", "%/m.vmp",
                                  "--map-index", "2", "--threshold", "2.5", "--cluster", "0",
                                  "--sign", "neg", "--render", "out.png", "%/a.vmr"}));
    QCOMPARE(all.action(), CommandLine::Render);
    QCOMPARE(all.size(), QSize(640, 480));
    QCOMPARE(*all.cross(), (std::array<int, 3>{10, 0, 255}));
    QCOMPARE(all.mapFile(), expand({"%/m.vmp"}).first());
    QCOMPARE(all.mapIndex(), 2);
    QCOMPARE(*all.threshold(), 2.5f);
    QCOMPARE(*all.clusterSize(), 0);
    QCOMPARE(*all.signSelection(), 2);
    for (const auto &[word, sign] : {std::pair{"pos", 1}, {"neg", 2}, {"both", 3}})
        QCOMPARE(*CommandLine(
                      expand({"--render", "o.png", "--map", "%/s.smp", "--sign", word, "%/b.SRF"}))
                      .signSelection(),
                 sign);
    // The last of an option given twice counts.
    QCOMPARE(CommandLine(expand({"--render", "o.png", "--size", "1x1", "--size", "2x3", "%/c.png"}))
                 .size(),
             QSize(2, 3));
    QVERIFY(CommandLine::usage().startsWith("Usage: cxviewer [PATH...]\n"));
    QVERIFY(CommandLine::version().startsWith("cxviewer 0."));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
