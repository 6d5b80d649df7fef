#ifndef FIGURERENDERER_H
#define FIGURERENDERER_H

#include <QImage>
#include <QString>
#include <QStringList>

class CommandLine;
class OGLViewer;

// Draws a file into a figure through the inspection view the window shows it
// in, at the figure's size and with the map settings asked for, and writes it
// as a PNG that either appears whole or not at all.
class FigureRenderer
{
public:
    // core: the document core, as the window gets it.
    explicit FigureRenderer(QObject *core);

    // False, with failure(), when a file cannot be read or the figure written,
    // or when a map file reads but shows nothing; the figure is written then,
    // with the note that says so.
    bool render(const CommandLine &line);
    QString failure() const { return reason; }

private:
    QImage draw(const CommandLine &line);
    QImage drawImage(const CommandLine &line);
    QImage drawDicom(const CommandLine &line);
    QImage drawVolume(const CommandLine &line);
    QImage drawMesh(const CommandLine &line);
    template <class View> bool showMap(View &view, const CommandLine &line);
    void prepare(OGLViewer &view, const CommandLine &line);
    bool write(const QImage &figure, const QString &fileName);
    bool fail(const QString &why);

    QObject *core;
    QString reason;
    // Files read that the command line could not know of.
    QStringList alsoRead;
    // Why the figure written shows less than was asked for.
    QString shownFailure;
};

#endif
