#pragma once
// The editor's command line: ondrel [-p | --print] [FILE.wav], --help and
// --version, with Qt's own options (-platform, -display, -style and the
// rest) accepted anywhere and left to Qt. It is read before the window
// system starts, so that --help, --version and a mistyped option need no
// display.

#include <QString>
#include <QStringList>

// What start-up does with the command line.
class CCommandLineInfo {
public:
    enum EShellCommand {
        FileNew,   // no file: a new, empty document
        FileOpen,  // open m_strFileName
        FilePrint, // print m_strFileName without showing the window, then end
    };
    EShellCommand m_nShellCommand = FileNew;
    QString m_strFileName;
};

struct SCommandLine {
    enum EAction {
        Run,         // start with `info`
        ShowHelp,    // print CommandLineUsage() on standard output, exit 0
        ShowVersion, // print VersionText() on standard output, exit 0
        UsageError,  // print `error` and the usage on standard error, exit 2
    };
    EAction action = Run;
    CCommandLineInfo info;
    QString error; // UsageError: what is wrong, one line without a newline
};

// Reads `args`, the program's name first. Options: -h/--help, -v/--version,
// -p/--print (long names also with one dash); "--" ends the options. At
// most one file; --print needs one. An unknown option, a second file or
// --print without a file is a UsageError; --help and --version win over
// everything else that is valid.
SCommandLine ParseCommandLine(const QStringList& args);

// The usage text, several lines ending in a newline.
QString CommandLineUsage();

// "Ondrel Version 1.30": the version as --version and the version dialog
// show it.
QString VersionText();

// Exit codes of the editor.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1; // a file did not open, or a command-line print failed
constexpr int kExitUsage = 2;
