// The viewer's start-up in a program that has no core plug-in compiled in.
// Prints the message box it meets and accepts it.

#include "CortivexViewer.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            std::printf("%s|%s\n", qPrintable(box->windowTitle()), qPrintable(box->text()));
            std::fflush(stdout);
            box->accept();
        }
    });
    closer.start(20);
    auto *viewer = new CortivexViewer;
    viewer->openDataFolders(QString::fromLocal8Bit(argv[1]));
    viewer->close();
    return 0;
}
