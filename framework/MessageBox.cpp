#include "framework/MessageBox.h"

#include "res/Strings.h"
#include "res/resource.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {
MessageBoxHook g_messageBoxHook;
FileDialogHook g_fileDialogHook;
PrintFileDialogHook g_printFileDialogHook;
} // namespace

void SetMessageBoxHook(MessageBoxHook hook) { g_messageBoxHook = std::move(hook); }

void SetFileDialogHook(FileDialogHook hook) { g_fileDialogHook = std::move(hook); }

void SetPrintFileDialogHook(PrintFileDialogHook hook) { g_printFileDialogHook = std::move(hook); }

int AfxMessageBox(const QString& text, unsigned nType)
{
    if (g_messageBoxHook)
        return g_messageBoxHook(text, nType);

    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(AfxLoadString(AFX_IDS_APP_TITLE));
    box.setText(text);
    switch (nType & 0xF0) {
    case MB_ICONSTOP: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONEXCLAMATION: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    struct SButton {
        int nResult;
        const char* text;
        QMessageBox::ButtonRole role;
    };
    std::vector<SButton> buttons;
    switch (nType & 0xF) {
    case MB_OKCANCEL:
        buttons = {{IDOK, "OK", QMessageBox::AcceptRole}, {IDCANCEL, "キャンセル", QMessageBox::RejectRole}};
        break;
    case MB_YESNOCANCEL:
        buttons = {{IDYES, "はい(&Y)", QMessageBox::YesRole},
                   {IDNO, "いいえ(&N)", QMessageBox::NoRole},
                   {IDCANCEL, "キャンセル", QMessageBox::RejectRole}};
        break;
    case MB_YESNO:
        buttons = {{IDYES, "はい(&Y)", QMessageBox::YesRole}, {IDNO, "いいえ(&N)", QMessageBox::NoRole}};
        break;
    default:
        buttons = {{IDOK, "OK", QMessageBox::AcceptRole}};
        break;
    }
    std::vector<std::pair<QAbstractButton*, int>> results;
    for (const SButton& b : buttons)
        results.emplace_back(box.addButton(QString::fromUtf8(b.text), b.role), b.nResult);
    box.setDefaultButton(static_cast<QPushButton*>(results.front().first));
    box.exec();
    for (const auto& [button, result] : results)
        if (box.clickedButton() == button)
            return result;
    // Closed without a button: Escape or the window's close box.
    return buttons.size() == 1 ? IDOK : (nType & 0xF) == MB_YESNO ? IDNO : IDCANCEL;
}

QString AfxGetFileName(bool bOpen, const QString& initial)
{
    if (g_fileDialogHook)
        return g_fileDialogHook(bOpen, initial);
    const QString filters = QStringLiteral("Windows Files (*.wav);;") + AfxLoadString(AFX_IDS_ALLFILTER);
    QWidget* parent = QApplication::activeWindow();
    if (bOpen)
        return QFileDialog::getOpenFileName(parent, AfxLoadString(AFX_IDS_OPENFILE), initial, filters);
    return QFileDialog::getSaveFileName(parent, AfxLoadString(AFX_IDS_SAVEFILE), initial, filters);
}

QString AfxGetPrintFileName(const QString& initial)
{
    if (g_printFileDialogHook)
        return g_printFileDialogHook(initial);
    QFileDialog dlg(QApplication::activeWindow(), AfxLoadString(AFX_IDS_PRINTCAPTION), initial,
                    AfxLoadString(AFX_IDS_PRINTFILTER) + QStringLiteral(";;") + AfxLoadString(AFX_IDS_ALLFILTER));
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setDefaultSuffix(QStringLiteral("pdf"));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return QString();
    return dlg.selectedFiles().constFirst();
}
