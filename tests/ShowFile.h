#ifndef SHOWFILE_H
#define SHOWFILE_H

// What the window does with a file chosen in the strip, for a view on its own:
// the file read into its document (here, at once), then shown, or its failure.

#include "Documents.h"

#include <QString>

#include <memory>

template <class Doc> std::shared_ptr<Doc> readAs(const QString &fileName)
{
    QString reason;
    return std::dynamic_pointer_cast<Doc>(readDocument(fileName, reason));
}

// show(document, index) is the view's own showPicture, showDicom... ; false
// when the file could not be read.
template <class Doc, class View, class Show>
bool showFile(View &view, int index, const QString &fileName, Show show)
{
    QString reason;
    const auto document = std::dynamic_pointer_cast<Doc>(readDocument(fileName, reason));
    if (!document) {
        view.showFailure(index, fileName, reason);
        return false;
    }
    show(document, index);
    return true;
}

#endif
