// Starts the editor: ondrel [FILE.wav]

#include "app/COndrelApp.h"
#include "device/CQtWaveAudio.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ondrel"));
    QApplication::setDesktopFileName(QStringLiteral("ondrel"));
    // Qt's own dialogs (the file dialogs) speak Japanese like the rest.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    // Recording and playback go through Qt Multimedia (PulseAudio or
    // PipeWire).
    CQtWaveAudio audio;
    SetWaveAudio(&audio);
    COndrelApp theApp(CProfile::DefaultPath());
    if (!theApp.InitInstance(QApplication::arguments()))
        return 1;
    return qapp.exec();
}
