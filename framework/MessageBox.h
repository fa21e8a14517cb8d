#pragma once
// Message boxes and the file dialogs of the framework. Tests replace the
// interactive part with hooks, so every flow that asks the user runs
// offscreen.

#include <QString>
#include <functional>

class QWidget;

constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_OKCANCEL = 0x1;
constexpr unsigned MB_YESNOCANCEL = 0x3;
constexpr unsigned MB_YESNO = 0x4;
constexpr unsigned MB_ICONSTOP = 0x10;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONEXCLAMATION = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Shows `text` in a modal box captioned with the application's name, with
// the buttons of `nType` ("OK"; "はい", "いいえ", "キャンセル"). Returns the
// button chosen; closing the box counts as キャンセル (or OK when that is the
// only button).
int AfxMessageBox(const QString& text, unsigned nType = MB_OK | MB_ICONEXCLAMATION);

// Asks for a file name: the open dialog ("開く") or the save-as dialog
// ("名前を付けて保存"), with the filters "Windows Files (*.wav)" and
// "すべてのﾌｧｲﾙ (*.*)", starting at `initial`. Returns the chosen path, or an
// empty string when the user cancels.
QString AfxGetFileName(bool bOpen, const QString& initial);

// Asks where a print job's PDF file goes: the save dialog "ﾌｧｲﾙへ出力" with
// the filters "PDF ﾌｧｲﾙ (*.pdf)" and "すべてのﾌｧｲﾙ (*.*)", starting at
// `initial` (a folder and a proposed name). A name typed without an
// extension gets ".pdf"; replacing an existing file is confirmed first.
// Returns the chosen path, or an empty string when the user cancels.
QString AfxGetPrintFileName(const QString& initial);

// Replace the interactive message box and file dialogs (tests). A null hook
// restores the dialogs.
using MessageBoxHook = std::function<int(const QString& text, unsigned nType)>;
using FileDialogHook = std::function<QString(bool bOpen, const QString& initial)>;
using PrintFileDialogHook = std::function<QString(const QString& initial)>;
void SetMessageBoxHook(MessageBoxHook hook);
void SetFileDialogHook(FileDialogHook hook);
void SetPrintFileDialogHook(PrintFileDialogHook hook);
