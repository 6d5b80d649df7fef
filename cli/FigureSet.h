#ifndef FIGURESET_H
#define FIGURESET_H

#include <QStringList>

class CommandLine;

// Many figures in one run: --render-each draws one figure per file with the
// same options, --contact-sheet draws a folder's covers in a grid. Each file
// that fails is named on a line of its own; the others are still drawn.
class FigureSet
{
public:
    // True when every figure was written.
    bool renderEach(const CommandLine &line);
    // True when the sheet was written with every cover.
    bool drawContactSheet(const CommandLine &line);

    // One line per failure, without the program's name.
    QStringList failures() const { return failed; }

private:
    void fail(const QString &file, const QString &why);

    QStringList failed;
};

#endif
