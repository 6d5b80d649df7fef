#pragma once

#include "Documents.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSize>
#include <QWidget>
#include <QWindow>

// Shows the widget at the size and waits (up to 5 s) until the X server has
// exposed it, so that the first measured frame is a real one.
inline void showAndWaitForExposure(QWidget *widget, const QSize &size)
{
    widget->resize(size);
    widget->show();
    QElapsedTimer waited;
    waited.start();
    while (!widget->windowHandle()->isExposed() && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

// The document of a file as the window's loader reads it, here on the caller's thread.
template <class Doc> std::shared_ptr<Doc> readAs(const QString &fileName)
{
    QString reason;
    return std::dynamic_pointer_cast<Doc>(readDocument(fileName, reason));
}
