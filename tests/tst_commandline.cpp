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
    // Empty files, but FreeSurfer's surface and values of other names, told by their magic.
    const QByteArray magic[] = {QByteArray("\xff\xff\xfe", 3),
                                QByteArray("\xff\xff\xff\0\0\0\4\0\0\0\4\0\0\0\1", 15)};
    const QStringList names =
        QString("lh.sphere.reg lh.white.H a.vmr b.SRF b.vwp c.png d.dcm h.hdr "
                "h.img m.vmp s.smp z.nii.gz notes.txt -dash.png lh.white "
                "lh.thickness lh.aparc.annot lh.vwp x.surf.gii x.label.gii")
            .split(' ');
    for (int i = 0; i < names.size(); ++i) {
        QFile file(tmp.filePath(names[i]));
        QVERIFY(file.open(QIODevice::WriteOnly) && (i > 1 || file.write(magic[i]) > 0));
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
    // A refusal's line after "cxviewer: ".
    const auto row = [](const QString &name, const QStringList &arguments,
                        CommandLine::Action action, const QString &error = QString()) {
        QTest::newRow(qPrintable(name))
            << arguments << action << (error.isEmpty() ? error : "cxviewer: " + error);
    };
    const auto refused = [&](const QString &name, const QStringList &arguments,
                             const QString &error) {
        row(name, arguments, CommandLine::Refuse, error);
    };
    // --render o.png and the arguments: drawn, or refused with the error.
    const auto figure = [&](const QString &name, const QStringList &arguments,
                            const QString &error = QString()) {
        row(name, QStringList{"--render", "o.png"} + arguments,
            error.isEmpty() ? CommandLine::Render : CommandLine::Refuse, error);
    };
    // Values out of range, each with its option's whole message.
    const auto outOfRange = [&](const QString &option, const QString &takes,
                                const QStringList &values, const QStringList &before,
                                const QString &file) {
        for (const QString &value : values)
            figure(option + " " + value, before + QStringList{option, value, file},
                   QString("%1 takes %2, not %3").arg(option, takes, value));
    };
    const auto window = CommandLine::OpenWindow;

    row("nothing", {}, window);
    row("paths", {"%/folder", "%/a.vmr", "%/m.vmp"}, window);
    row("help", {"%/a.vmr", "--help", "--bogus"}, CommandLine::PrintHelp);
    row("-h", {"-h"}, CommandLine::PrintHelp);
    row("version", {"--version"}, CommandLine::PrintVersion);
    refused("unknown long", {"--bogus", "%/a.vmr"}, "unknown option --bogus");
    refused("unknown short", {"-x"}, "unknown option -x");
    refused("single dash option", {"-render", "o.png", "%/a.vmr"}, "unknown option -render");
    refused("missing path", {"%/a.vmr", "%/gone.vmr"}, "no such file or folder: %/gone.vmr");
    row("path after --", {"--", "%/-dash.png"}, window);
    refused("no value", {"%/a.vmr", "--render"}, "--render needs a value");
    refused("empty output", {"--render=", "%/a.vmr"}, "--render needs a file name");
    refused("size without render", {"--size", "10x10", "%/a.vmr"}, "--size is only for --render");
    refused("map without render", {"--map", "%/m.vmp", "%/a.vmr"}, "--map is only for --render");

    figure("render volume", {"%/a.vmr"});
    row("render =", {"--render=o.png", "--size=20x10", "%/b.SRF"}, CommandLine::Render);
    figure("render image", {"%/c.png"});
    figure("render dicom", {"%/d.dcm"});
    figure("render two", {"%/a.vmr", "%/c.png"}, "--render draws one file");
    figure("render none", {}, "--render draws one file");
    figure("render folder", {"%/folder"}, "%/folder holds no DICOM series of 3 slices or more");
    figure("series of a file", {"--series", "1", "%/d.dcm"},
           "--series is for a folder of DICOM series");
    figure("series 0", {"--series", "0", "%/folder"},
           "--series takes a series number from 1, as cxvinfo lists them, not 0");
    const QString cannotDraw = "--render draws an image, DICOM, VMR, NIfTI, SRF, FreeSurfer or "
                               "GIfTI surface file or a folder of DICOM series, not ";
    for (const char *file : {"notes.txt", "m.vmp", "lh.white.H"})
        figure(QString("render ") + file, {QString("%/") + file}, cannotDraw + "%/" + file);
    figure("render missing", {"%/gone.srf"}, "no such file or folder: %/gone.srf");
    refused("missing path with control characters", {"%/gone\n\x1b[2J\x7f\u009b\u202e.vmr"},
            "no such file or folder: %/gone\\n\\x1b[2J\\x7f\\x9b\\u202e.vmr");

    // A figure never writes over a file it reads.
    const auto over = [&](const char *name, const QStringList &arguments, const char *input) {
        refused(QString("output is ") + name, QStringList{"--render"} + arguments,
                QString("--render would write over %/%1, which the figure reads").arg(input));
    };
    over("the file", {"%/a.vmr", "%/a.vmr"}, "a.vmr");
    over("the file, relative", {"a.vmr", "%/a.vmr"}, "a.vmr");
    over("a link to the file", {"%/link.vmr", "%/a.vmr"}, "a.vmr");
    over("a hard link to the file", {"%/hard.vmr", "%/a.vmr"}, "a.vmr");
    over("the map", {"%/m.vmp", "--map", "%/m.vmp", "%/a.vmr"}, "m.vmp");
    over("a link to the map", {"link.vmp", "--map", "%/m.vmp", "%/a.vmr"}, "m.vmp");
    over("the viewing parameters of the mesh", {"%/b.vwp", "%/b.SRF"}, "b.vwp");
    over("the viewing parameters of a hemisphere", {"%/lh.vwp", "%/lh.white"}, "lh.vwp");
    over("the image file of the header", {"%/h.img", "%/h.hdr"}, "h.img");
    row("output beside the file", {"--render", "%/a.png", "%/a.vmr"}, CommandLine::Render);

    outOfRange("--size", "WIDTHxHEIGHT, each from 1 to 8192",
               {"0x10", "10x", "10", "8193x10", "-5x10", "10X10", "1.5x2"}, {}, "%/a.vmr");
    figure("size 8192", {"--size", "8192x1", "%/a.vmr"});

    outOfRange("--cross", "voxel indices X,Y,Z", {"1,2", "1,2,3,4", "-1,2,3", "a,b,c", "1;2;3"}, {},
               "%/a.vmr");
    figure("cross on mesh", {"--cross", "1,2,3", "%/b.SRF"}, "--cross is for a volume");

    figure("vmp on volume", {"--map", "%/m.vmp", "%/a.vmr"});
    figure("smp on mesh", {"--map", "%/s.smp", "%/b.SRF"});
    figure("nifti on volume", {"--map", "%/z.nii.gz", "%/a.vmr"});
    const QString notForMesh = "--map takes a VMP or NIfTI file for a volume, or for a mesh an SMP "
                               "file or a FreeSurfer or GIfTI file of values or labels per vertex";
    for (const auto &[map, file] : {std::pair{"z.nii.gz", "b.SRF"},
                                    {"m.vmp", "b.SRF"},
                                    {"m.vmp", "c.png"},
                                    {"lh.white", "b.SRF"}})
        figure(QString("%1 on %2").arg(map, file),
               {"--map", QString("%/") + map, QString("%/") + file}, notForMesh);
    for (const char *map : {"lh.thickness", "lh.aparc.annot", "x.label.gii", "lh.white.H"})
        for (const char *mesh : {"lh.white", "x.surf.gii", "lh.sphere.reg", "b.SRF"})
            figure(QString("%1 on %2").arg(map, mesh),
                   {"--map", QString("%/") + map, QString("%/") + mesh});
    figure("map missing", {"--map", "%/gone.vmp", "%/a.vmr"}, "no such file: %/gone.vmp");
    figure("map folder", {"--map", "%/folder", "%/a.vmr"}, "no such file: %/folder");
    figure("threshold without map", {"--threshold", "3", "%/a.vmr"}, "--threshold needs --map");
    figure("sign without map", {"--sign", "pos", "%/a.vmr"}, "--sign needs --map");

    // Figures of many files.
    row("render each",
        {"--render-each", "%/folder", "--size", "10x10", "%/a.vmr", "%/gone.vmr", "%/notes.txt"},
        CommandLine::RenderEach);
    refused("render each into a file", {"--render-each", "%/c.png", "%/a.vmr"},
            "--render-each writes into a folder, not %/c.png");
    refused("render each of nothing", {"--render-each", "%/folder"},
            "--render-each draws one figure per file; no file given");
    refused("render each and render", {"--render-each", "%/folder", "--render", "o.png", "%/a.vmr"},
            "--render and --render-each cannot be given together");
    refused("render each, a map setting without map",
            {"--render-each", "%/folder", "--cluster", "3", "%/a.vmr"}, "--cluster needs --map");
    refused("render each, a bad value", {"--render-each", "%/folder", "--size", "0x1", "%/a.vmr"},
            "--size takes WIDTHxHEIGHT, each from 1 to 8192, not 0x1");

    // A folder's covers.
    row("contact sheet", {"--contact-sheet", "s.png", "--mode", "cx", "--columns=4", "%/folder"},
        CommandLine::ContactSheet);
    const QStringList sheet = {"--contact-sheet", "s.png"};
    refused("contact sheet of a file", sheet + QStringList{"%/a.vmr"},
            "--contact-sheet shows one folder");
    refused("contact sheet of two folders", sheet + QStringList{"%", "%/folder"},
            "--contact-sheet shows one folder");
    refused("contact sheet over a file of the folder", {"--contact-sheet", "%/link.vmr", "%"},
            "--contact-sheet would write over %/a.vmr, which the sheet shows");
    refused("contact sheet over a picture of a folder of scans",
            {"--contact-sheet", "c.png", "--mode", "cx", "%"},
            "--contact-sheet would write over %/c.png, which the sheet shows");
    refused("contact sheet, a figure's option", sheet + QStringList{"--size", "9x9", "%/folder"},
            "--size is not for --contact-sheet");
    refused("contact sheet and render", sheet + QStringList{"--render", "o.png", "%/a.vmr"},
            "--contact-sheet and --render cannot be given together");
    figure("mode without contact sheet", {"--mode", "cx", "%/a.vmr"},
           "--mode is only for --contact-sheet");
    refused("contact sheet, bad mode", sheet + QStringList{"--mode", "dicom", "%/folder"},
            "--mode takes images, raw or cx, not dicom");
    refused("contact sheet, bad columns", sheet + QStringList{"--columns", "0", "%/folder"},
            "--columns takes a number from 1 to 1000, not 0");

    // A mesh seen from a side, turned.
    figure("view", {"--view", "medial", "--azimuth", "-30.5", "--elevation=90", "%/b.SRF"});
    figure("view on volume", {"--view", "lateral", "%/a.vmr"}, "--view is for a mesh");
    figure("elevation on image", {"--elevation", "10", "%/c.png"}, "--elevation is for a mesh");
    refused("view without render", {"--view", "lateral", "%/b.SRF"}, "--view is only for --render");
    const QStringList vmp = {"--map", "%/m.vmp"};
    outOfRange("--view", "lateral, medial, superior, inferior, anterior or posterior",
               {"left", "Lateral"}, {}, "%/b.SRF");
    outOfRange("--azimuth", "degrees from -360 to 360", {"361", "inf", "10deg"}, {}, "%/b.SRF");
    outOfRange("--elevation", "degrees from -90 to 90", {"-90.5", ""}, {}, "%/b.SRF");
    outOfRange("--threshold", "a number from 0 to 1000", {"-1", "1000.5", "nan", "x"}, vmp,
               "%/a.vmr");
    outOfRange("--cluster", "a voxel or vertex count from 0 to 10000", {"10001", "2.5"}, vmp,
               "%/a.vmr");
    outOfRange("--map-index", "a map number from 1", {"0"}, vmp, "%/a.vmr");
    outOfRange("--sign", "pos, neg or both", {"positive"}, vmp, "%/a.vmr");
    figure("--threshold 0", vmp + QStringList{"--threshold", "0", "%/a.vmr"});

    // Figures that cannot be drawn as asked.
    outOfRange("--cross-mm", "world coordinates X,Y,Z in millimetres",
               {"1,2", "1,2,3,4", "nan,0,0", "a,b,c"}, {}, "%/a.vmr");
    for (const auto &[arguments, message] : QList<std::pair<QStringList, QString>>{
             {{"--cross-mm", "0,0,0", "--cross", "1,1,1", "%/a.vmr"},
              "--cross and --cross-mm name the same cross: give one"},
             {{"--cross-mm", "0,0,0", "%/b.SRF"}, "--cross-mm is for a volume"},
             {{"--layout", "grid", "%/a.vmr"}, "--layout takes mosaic or lightbox, not grid"},
             {{"--layout", "lightbox", "--axis", "oblique", "%/a.vmr"},
              "--axis takes axial, coronal or sagittal, not oblique"},
             {{"--layout", "lightbox", "--slices", "0", "%/a.vmr"},
              "--slices takes a count from 1 to 256, not 0"},
             {{"--layout", "lightbox", "--columns", "1001", "%/a.vmr"},
              "--columns takes a number from 1 to 1000, not 1001"},
             {{"--columns", "4", "%/a.vmr"}, "--columns is for --layout lightbox"},
             {{"--layout", "lightbox", "%/c.png"}, "--layout lightbox is for a volume"},
             {{"--legend", "%/c.png"}, "--legend is for a volume or a mesh"}})
        figure(arguments.join(' '), arguments, message);
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
    // Size, cross, map, map number and threshold as read: the figure tests; what
    // they cannot tell: the defaults, a cluster size of 0, each sign.
    const CommandLine plain(expand({"--render", "o.png", "%/a.vmr"}));
    QCOMPARE(plain.outputFile(), QString("o.png"));
    QCOMPARE(plain.paths(), expand({"%/a.vmr"}));
    QCOMPARE(plain.fileKind(), FileTypes::Volume);
    QCOMPARE(plain.size(), QSize(800, 600));
    QVERIFY(!plain.cross() && !plain.threshold() && !plain.clusterSize() && !plain.signSelection());
    QCOMPARE(plain.mapIndex(), 1);
    QCOMPARE(
        *CommandLine(expand({"--map", "%/m.vmp", "--cluster", "0", "--render", "o.png", "%/a.vmr"}))
             .clusterSize(),
        0);
    for (const auto &[word, sign] : {std::pair{"pos", 1}, {"neg", 2}, {"both", 3}})
        QCOMPARE(*CommandLine(
                      expand({"--render", "o.png", "--map", "%/s.smp", "--sign", word, "%/b.SRF"}))
                      .signSelection(),
                 sign);
    // The last of an option given twice counts.
    QCOMPARE(CommandLine(expand({"--render", "o.png", "--size", "1x1", "--size", "2x3", "%/c.png"}))
                 .size(),
             QSize(2, 3));
    // Each figure of a set as --render draws it (the figure sets' test draws them),
    // {stem} and {dir} its file's.
    const CommandLine set(expand({"--render-each", "%/folder/", "--map", "{dir}/{stem}.vmp",
                                  "--map-index=2", "%/z.nii.gz", "h.hdr"}));
    QCOMPARE(set.action(), CommandLine::RenderEach);
    QCOMPARE(set.eachFigure(0)->error(), "cxviewer: no such file: " + tmp.filePath("z.vmp"));
    QCOMPARE(set.eachFigure(1)->error(), QString("cxviewer: no such file: ./h.vmp"));
    // A name that is no UTF-8 keeps its bytes in messages.
    const CommandLine raw(QList<QByteArray>{"--render-each", "out", "bad\xff.png", "good.png"});
    QCOMPARE(raw.shownPath(0), QString("bad\\xff.png"));
    QCOMPARE(raw.shownPath(1), QString("good.png"));
    QVERIFY(CommandLine::usage().startsWith("Usage: cxviewer [PATH...]\n"));
    for (const char *option : {"--view", "--azimuth", "--elevation", "--render-each",
                               "--contact-sheet", "--mode", "--columns", "{stem}", "{dir}"})
        QVERIFY2(CommandLine::usage().contains(option), option);
    QVERIFY(CommandLine::version().startsWith("cxviewer 0."));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
