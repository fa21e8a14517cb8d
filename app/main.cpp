// Starts the editor: ondrel [-p] [FILE.wav], ondrel --help, ondrel --version

#include "app/COndrelApp.h"
#include "app/CommandLine.h"
#include "device/CQtWaveAudio.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>

int main(int argc, char** argv)
{
    // The command line is read before the window system starts: help, the
    // version and a mistyped option need no display.
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args += QString::fromLocal8Bit(argv[i]);
    const SCommandLine cmd = ParseCommandLine(args);
    switch (cmd.action) {
    case SCommandLine::ShowHelp:
        std::fputs(CommandLineUsage().toUtf8().constData(), stdout);
        return kExitOk;
    case SCommandLine::ShowVersion:
        std::printf("%s\n", VersionText().toUtf8().constData());
        return kExitOk;
    case SCommandLine::UsageError:
        std::fprintf(stderr, "ondrel: %s\n%s", cmd.error.toUtf8().constData(), CommandLineUsage().toUtf8().constData());
        return kExitUsage;
    case SCommandLine::Run:
        break;
    }

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
    // False: the file did not open, or the command line's print is done.
    if (!theApp.InitInstance(cmd.info))
        return theApp.ExitInstance();
    return qapp.exec();
}
