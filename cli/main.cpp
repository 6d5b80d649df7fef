#include "CommandLine.h"
#include "CortivexViewer.h"
#include "FigureRenderer.h"
#include "FigureSet.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPalette>
#include <QSplashScreen>
#include <QStyleFactory>
#include <QTextStream>
#include <QTimer>

namespace {

// The panels and views are dark; the rest of the window follows them.
QPalette darkPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(48, 48, 48));
    p.setColor(QPalette::WindowText, QColor(220, 220, 220));
    p.setColor(QPalette::Base, QColor(39, 39, 39));
    p.setColor(QPalette::AlternateBase, QColor(56, 56, 56));
    p.setColor(QPalette::ToolTipBase, QColor(60, 60, 60));
    p.setColor(QPalette::ToolTipText, QColor(230, 230, 230));
    p.setColor(QPalette::PlaceholderText, QColor(140, 140, 140));
    p.setColor(QPalette::Text, QColor(200, 200, 200));
    p.setColor(QPalette::Button, QColor(56, 56, 56));
    p.setColor(QPalette::ButtonText, QColor(220, 220, 220));
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Highlight, QColor(40, 82, 152));
    p.setColor(QPalette::HighlightedText, QColor(240, 240, 240));
    p.setColor(QPalette::Link, QColor(110, 160, 230));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(120, 120, 120));
    return p;
}

// Figures need no display: pictures need fonts, not a screen, and meshes are
// drawn in an OpenGL context of their own. Nor does Qt open a display that is
// there.
void withoutDisplay()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_QPA_OFFSCREEN_NO_GLX", "1");
}

// Draws the figure and exits: no window, no splash, no display.
int renderFigure(int argc, char *argv[], const CommandLine &line)
{
    QTextStream err(stderr);
    withoutDisplay();
    QGuiApplication app(argc, argv);
    FigureRenderer renderer;
    if (!renderer.render(line)) {
        err << "cxviewer: " << renderer.failure() << Qt::endl;
        return 1;
    }
    return 0;
}

// Many figures, as one: no window, no display.
int drawFigureSet(int argc, char *argv[], const CommandLine &line)
{
    QTextStream err(stderr);
    withoutDisplay();
    QGuiApplication app(argc, argv);
    FigureSet set;
    const bool whole = line.action() == CommandLine::RenderEach ? set.renderEach(line)
                                                                : set.drawContactSheet(line);
    for (const QString &failure : set.failures())
        err << "cxviewer: " << failure << Qt::endl;
    return whole ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QList<QByteArray> arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QByteArray(argv[i]);
    const CommandLine line(arguments);
    switch (line.action()) {
    case CommandLine::PrintHelp:
        QTextStream(stdout) << CommandLine::usage();
        return 0;
    case CommandLine::PrintVersion:
        QTextStream(stdout) << CommandLine::version() << Qt::endl;
        return 0;
    case CommandLine::Refuse:
        QTextStream(stderr) << line.error() << Qt::endl;
        return 2;
    case CommandLine::Render:
        return renderFigure(argc, argv, line);
    case CommandLine::RenderEach:
    case CommandLine::ContactSheet:
        return drawFigureSet(argc, argv, line);
    case CommandLine::OpenWindow:
        break;
    }

    QApplication app(argc, argv);
    QApplication::setOrganizationName("Cortivex");
    QApplication::setApplicationName("CXViewer");
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QApplication::setPalette(darkPalette());

    QSplashScreen splash(QPixmap(":/resources/CXV_Splash_v18.png"));
    splash.show();
    app.processEvents();

    auto *viewer = new CortivexViewer;
    viewer->openDataFolders(QCoreApplication::applicationDirPath());
    // Paths given take the place of the first favorite.
    if (line.paths().isEmpty())
        QTimer::singleShot(500, viewer, &CortivexViewer::autoSelectFirstFavFolder);

    viewer->resize(1200, 750);
    viewer->show();
    splash.finish(viewer);
    if (!line.paths().isEmpty())
        viewer->openPaths(line.paths());
    return app.exec();
}
