// Starts the editor: ondrel [FILE.wav]

#include "app/COndrelApp.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ondrel"));
    QApplication::setDesktopFileName(QStringLiteral("ondrel"));
    COndrelApp theApp(CProfile::DefaultPath());
    if (!theApp.InitInstance(QApplication::arguments()))
        return 1;
    return qapp.exec();
}
