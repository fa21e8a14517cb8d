#include "app/COndrelApp.h"

#include "app/CAboutDlg.h"
#include "device/CWavDeviceDlg.h"
#include "doc/COndrelDoc.h"
#include "effects/EffectUi.h"
#include "frame/CHelpWindow.h"
#include "frame/CMainFrame.h"
#include "framework/CSingleDocTemplate.h"
#include "framework/MessageBox.h"
#include "framework/ReasonText.h"
#include "platform/ProcessCache.h"
#include "print/CPageLayoutDlg.h"
#include "print/CPrintDlg.h"
#include "print/CPrintPreview.h"
#include "print/CPrintStatusDlg.h"
#include "print/PrintJob.h"
#include "res/Strings.h"
#include "res/resource.h"
#include "view/COndrelView.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QThread>

namespace {
constexpr int kRecentFiles = 8;

// The shape a converted file had, as the notices name it.
QString EncodingText(EWaveEncoding encoding)
{
    switch (encoding) {
    case EWaveEncoding::Pcm: break;
    case EWaveEncoding::Pcm24: return AfxLoadString(IDS_ENCODING_PCM24);
    case EWaveEncoding::Pcm32: return AfxLoadString(IDS_ENCODING_PCM32);
    case EWaveEncoding::Float32: return AfxLoadString(IDS_ENCODING_FLOAT32);
    case EWaveEncoding::Float64: return AfxLoadString(IDS_ENCODING_FLOAT64);
    case EWaveEncoding::ALaw: return AfxLoadString(IDS_ENCODING_ALAW);
    case EWaveEncoding::MuLaw: return AfxLoadString(IDS_ENCODING_MULAW);
    }
    return {};
}
} // namespace

COndrelApp::COndrelApp(const std::string& profilePath)
    : m_profile(profilePath), m_pPrinter(std::make_unique<QPrinter>(QPrinter::HighResolution)),
      m_mru(m_profile, kRecentFiles)
{
    // Without a printer Qt prints to PDF.
    UsePdfResolution(*m_pPrinter);
    OnCommand(ID_APP_ABOUT, [this] {
        CAboutDlg dlg(m_pFrame.get());
        dlg.exec();
    });
    OnCommand(ID_FILE_NEW, [this] { m_pTemplate->OnFileNew(); });
    OnCommand(ID_FILE_OPEN, [this] { m_pTemplate->OnFileOpen(); });
    OnCommand(ID_APP_EXIT, [this] { m_pFrame->close(); });
    OnCommand(ID_PAGE_LAYOUT, [this] {
        CPageLayoutDlg dlg(m_profile, [this] { DoPrinterSetup(); }, m_pFrame.get());
        dlg.exec();
    });
    // Always enabled, whatever the document holds.
    OnUpdateCommand(ID_PAGE_LAYOUT, [](CCmdUI*) {});
    OnCommand(ID_FILE_PRINT_SETUP, [this] { DoPrinterSetup(); });
    for (int i = 0; i < kRecentFiles; ++i) {
        const unsigned nID = ID_FILE_MRU_FILE1 + static_cast<unsigned>(i);
        OnCommand(nID, [this, nID] { OnOpenRecentFile(nID); });
    }
}

COndrelApp::~COndrelApp()
{
    // No recovery write may outlive the objects its end is reported to.
    if (m_pDoc) {
        m_pDoc->EnableRecovery({}, {});
        m_pDoc->WaitRecovery();
    }
    // The view belongs to the frame; the document outlives both.
    m_pTemplate.reset();
    m_pFrame.reset();
}

bool COndrelApp::InitInstance(const CCommandLineInfo& info)
{
    m_mru.ReadList();

    m_pFrame = std::make_unique<CMainFrame>();
    m_pDoc = std::make_unique<COndrelDoc>(*m_pFrame);
    m_pView = new COndrelView(*m_pDoc);
    // A change that starts while the recovery copy of the previous one is
    // still being written waits for it, with the progress window of the
    // effects; the end of a write is taken on this thread.
    m_pDoc->EnableRecovery(
        [this](const std::function<bool()>& finished) {
            CProgressRunner runner(m_pFrame.get(), QStringLiteral("復元用のｺﾋﾟｰを保存しています..."),
                                   /*bCancellable*/ false);
            const auto total = static_cast<std::uint32_t>(std::min<std::uint64_t>(m_pDoc->RecoveryTotal(), UINT32_MAX));
            runner.Run(
                [&](CEffectProgress* progress) {
                    while (!finished()) {
                        progress->Continue(static_cast<std::uint32_t>(std::min<std::uint64_t>(m_pDoc->RecoveryDone(), total)),
                                           total);
                        QThread::msleep(5);
                    }
                    return kEngineOk;
                },
                total);
        },
        [this] { QMetaObject::invokeMethod(this, [this] { OnRecoveryWritten(); }, Qt::QueuedConnection); });
    m_pFrame->SetView(m_pView, m_pView);
    RegisterEffectCommands(*m_pView, *m_pDoc,
                           {[this] { return std::make_pair(m_pView->GetSelectionStart(), m_pView->GetSelectionLength()); },
                            [this] { return m_pView->IsDataFree(); }},
                           m_pFrame.get());
    m_pFrame->SetApp(this);
    m_pFrame->SetRecentFileList(&m_mru);
    m_pTemplate = std::make_unique<CSingleDocTemplate>(*m_pDoc, *m_pFrame, &m_mru);
    m_pFrame->SetCloseHandler([this] {
        // A run works on the block: the window stays until it has ended.
        if (m_pDoc->IsBusy()) {
            AfxMessageBox(AfxLoadString(IDS_EFFECT_BUSY));
            return false;
        }
        return m_pTemplate->SaveModified();
    });
    // While an effect runs on its worker thread nothing on this thread may
    // read or replace the block: only the commands that leave the audio
    // alone stay enabled.
    m_pFrame->SetCommandGate([this](unsigned nID) {
        if (!m_pDoc->IsBusy())
            return true;
        switch (nID) {
        case ID_APP_ABOUT:
        case ID_HELP_FINDER:
        case ID_HELP:
        case ID_DEFAULT_HELP:
        case ID_CONTEXT_HELP:
        case ID_VIEW_TOOLBAR:
        case ID_VIEW_STATUS_BAR:
            return true;
        default:
            return false;
        }
    });
    // Nothing replaces the audio while a sound device or a run holds it; a
    // recording asks about unsaved changes first, as New does.
    m_pTemplate->SetBusyHandler([this] {
        if (m_pDoc->IsBusy())
            return AfxLoadString(IDS_EFFECT_BUSY);
        return m_pView->IsDataFree() ? QString() : AfxLoadString(IDS_DEVICE_BUSY);
    });
    // While recording the block holds no valid data yet: a save would write
    // an empty file over the user's. Playing only reads the block.
    auto saveRefusal = [this] {
        if (m_pDoc->IsBusy())
            return AfxLoadString(IDS_EFFECT_BUSY);
        if (m_pView->m_nTransport == 1 || m_pDoc->m_wave.IsRecording())
            return AfxLoadString(IDS_SAVE_WHILE_RECORDING);
        return QString();
    };
    m_pTemplate->SetSaveRefusalHandler(saveRefusal);
    // A file that was converted on opening says so once, and its original
    // is written over only when the user agrees (until a save replaced it).
    m_pTemplate->SetOpenNotice([this] {
        const EWaveEncoding encoding = m_pDoc->GetFileEncoding();
        return encoding == EWaveEncoding::Pcm
                   ? QString()
                   : AfxFormatString(IDS_OPEN_CONVERTED, m_pTemplate->GetDocumentName(), EncodingText(encoding));
    });
    m_pTemplate->SetOverwriteQuestion([this] {
        const EWaveEncoding encoding = m_pDoc->GetFileEncoding();
        return encoding == EWaveEncoding::Pcm
                   ? QString()
                   : AfxFormatString(IDS_SAVE_CONVERTED, m_pTemplate->GetDocumentName(), EncodingText(encoding));
    });
    m_pView->SetReplaceHandler([this] { return m_pTemplate->SaveModified(); });
    m_pDoc->m_wave.SetProfile(&m_profile);
    m_pFrame->OnCommand(ID_PCM_DEVICE, [this] {
        CWavDeviceDlg dlg(m_profile, WaveAudio(), m_pFrame.get());
        dlg.exec();
    });
    // Printing belongs to the view. The commands are always enabled: with
    // no data the job is one empty page.
    m_pView->OnCommand(ID_FILE_PRINT, [this] { OnFilePrint(false); });
    m_pView->OnCommand(ID_FILE_PRINT_DIRECT, [this] { OnFilePrint(true); });
    m_pView->OnCommand(ID_FILE_PRINT_PREVIEW, [this] { OnFilePrintPreview(); });

    // Saving and undo belong to the document; failures are told here.
    m_pDoc->OnCommand(ID_FILE_SAVE, [this] { m_pTemplate->OnFileSave(); });
    m_pDoc->OnCommand(ID_FILE_SAVE_AS, [this] { m_pTemplate->OnFileSaveAs(); });
    for (unsigned nID : {ID_FILE_SAVE, ID_FILE_SAVE_AS})
        m_pDoc->OnUpdateCommand(nID, [saveRefusal](CCmdUI* ui) { ui->Enable(saveRefusal().isEmpty()); });
    m_pDoc->OnCommand(ID_EDIT_UNDO, [this] {
        if (!m_pDoc->OnEditUndo())
            AfxMessageBox(ReasonText(m_pDoc->GetError()));
    });
    m_pDoc->OnUpdateCommand(ID_EDIT_UNDO, [this](CCmdUI* ui) {
        // Nothing may replace the data while a sound device holds it.
        ui->Enable(m_pDoc->CanUndo() && m_pView->IsDataFree());
    });

    m_nExitCode = kExitFailed;
    const QString& file = info.m_strFileName;
    if (!(info.m_nShellCommand == CCommandLineInfo::FileNew ? m_pTemplate->OnFileNew()
                                                            : m_pTemplate->OpenDocumentFile(file)))
        return false;
    if (info.m_nShellCommand == CCommandLineInfo::FilePrint) {
        // Printed as direct print does, on the default printer (or into a
        // PDF file), without the window; then the program ends.
        if (OnFilePrint(true))
            m_nExitCode = kExitOk;
        return false;
    }

    m_pFrame->setAcceptDrops(true);
    connect(m_pFrame.get(), &CMainFrame::FilesDropped, this, [this](const QStringList& paths) {
        for (const QString& path : paths)
            OpenDocumentFile(path);
    });
    m_pFrame->show();
    m_pFrame->OnIdle();
    SReason cacheError;
    if (ProcessCacheFolder(&cacheError).empty())
        TellRecoveryOff(cacheError);
    else
        OfferRecovery();
    return true;
}

void COndrelApp::TellRecoveryOff(const SReason& reason)
{
    if (m_bRecoveryOffTold)
        return;
    m_bRecoveryOffTold = true;
    AfxMessageBox(QStringLiteral("復元用のｺﾋﾟｰを保存できないため、ｴﾃﾞｨﾀが異常終了したときに保存していない変更を"
                                 "復元できません。\n") +
                  ReasonText(reason));
}

void COndrelApp::OnRecoveryWritten()
{
    SReason error;
    if (!m_pDoc->PollRecovery(&error))
        TellRecoveryOff(error);
}

void COndrelApp::OfferRecovery()
{
    bool bAsked = false;
    for (const std::string& folder : ClaimRecoverableFolders()) {
        SRecoveryRecord record;
        if (!ReadRecoveryRecord(folder, record)) {
            ReleaseRecoverableFolder(folder, /*bRemove*/ true);
            continue;
        }
        // One document at a time: the others are offered at a later start.
        if (bAsked) {
            ReleaseRecoverableFolder(folder, /*bRemove*/ false);
            continue;
        }
        bAsked = true;
        const QString name = record.title.empty() ? AfxLoadString(AFX_IDS_UNTITLED) : QString::fromStdString(record.title);
        const int answer = AfxMessageBox(QStringLiteral("ｴﾃﾞｨﾀが正しく終了しなかったため、\"%1\" の保存されていない"
                                                        "音声が残っています。復元しますか?")
                                             .arg(name),
                                         MB_YESNO | MB_ICONQUESTION);
        if (answer == IDYES) {
            if (m_pDoc->RecoverFrom(folder, record))
                m_pTemplate->OnDocumentReplaced();
            else
                AfxMessageBox(QStringLiteral("保存されていない音声を復元できませんでした。\n") +
                              ReasonText(m_pDoc->GetError()));
        }
        // Only now, with the user's answer, do the dead editor's files go.
        ReleaseRecoverableFolder(folder, /*bRemove*/ true);
    }
}

bool COndrelApp::OpenDocumentFile(const QString& path) { return m_pTemplate->OpenDocumentFile(path); }

void COndrelApp::OnOpenRecentFile(unsigned nID)
{
    const int index = static_cast<int>(nID - ID_FILE_MRU_FILE1);
    if (index >= m_mru.GetCount())
        return;
    const QString path = m_mru[index];
    // A file that has gone or no longer opens leaves the list.
    if (!m_pTemplate->OpenDocumentFile(path) && !QFileInfo::exists(path))
        m_mru.Remove(index);
}

QString COndrelApp::ProposedPdfPath()
{
    const QString docName = m_pTemplate->GetDocumentName();
    m_pPrinter->setDocName(docName);
    const QString docPath = QString::fromStdString(m_pDoc->GetPathName());
    if (!m_strPdfPath.isEmpty() && m_strPdfForDoc == docPath)
        return m_strPdfPath;
    const QString folder = !m_strPdfPath.isEmpty() ? QFileInfo(m_strPdfPath).absolutePath()
                           : !docPath.isEmpty()    ? QFileInfo(docPath).absolutePath()
                                                   : QDir::homePath();
    return PdfPathFor(folder, docName);
}

void COndrelApp::RememberPdfPath(const QString& path)
{
    m_strPdfPath = path;
    m_strPdfForDoc = QString::fromStdString(m_pDoc->GetPathName());
}

void COndrelApp::DoPrinterSetup()
{
    // A PDF destination shows the file the next job would write.
    if (IsPdfDestination(*m_pPrinter))
        m_pPrinter->setOutputFileName(ProposedPdfPath());
    else
        m_pPrinter->setDocName(m_pTemplate->GetDocumentName());
    QPrintDialog dlg(m_pPrinter.get(), m_pFrame.get());
    // Only the printer (or a PDF file) and its paper: the range and the
    // copies belong to the print dialog.
    dlg.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
    dlg.setWindowTitle(CommandTip(ID_FILE_PRINT_SETUP));
    // The dialog chooses, it does not print.
    if (auto* buttons = dlg.findChild<QDialogButtonBox*>()) {
        if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok))
            ok->setText(QStringLiteral("OK"));
    }
    const bool bAccepted = dlg.exec() == QDialog::Accepted;
    if (bAccepted && IsPdfDestination(*m_pPrinter) && !m_pPrinter->outputFileName().isEmpty())
        RememberPdfPath(m_pPrinter->outputFileName());
    UsePdfResolution(*m_pPrinter);
}

QString COndrelApp::PrintFailureMessage(const SPrintResult& result)
{
    const QString path = QString::fromStdString(result.path);
    switch (result.code) {
    case EPrintResult::AreaUnusable: return AfxLoadString(IDS_PRINT_NO_ROOM);
    case EPrintResult::StartFailed: return AfxLoadString(AFX_IDP_FAILED_TO_START_PRINT);
    case EPrintResult::PageFailed: return AfxFormatString(IDS_PRINT_PAGE_FAILED, QString::number(result.page));
    case EPrintResult::FinishFailed: return AfxLoadString(IDS_PRINT_END_FAILED);
    case EPrintResult::FileNotCreated: return AfxFormatString(IDS_PRINT_FILE_NOT_CREATED, path);
    case EPrintResult::FileNotSaved: return AfxFormatString(IDS_PRINT_FILE_NOT_SAVED, path);
    case EPrintResult::Done:
    case EPrintResult::Cancelled:
    case EPrintResult::kEnd: break;
    }
    return QString();
}

bool COndrelApp::OnFilePrint(bool bDirect)
{
    QPrinter& printer = *m_pPrinter;
    UsePdfResolution(printer);
    // The print dialog's printer line names the file a PDF job would write.
    if (IsPdfDestination(printer))
        printer.setOutputFileName(ProposedPdfPath());
    else
        printer.setDocName(m_pTemplate->GetDocumentName());
    if (!bDirect) {
        // The selection is printed whenever there is one; the dialog's
        // range buttons only show it.
        const bool bSelection = m_pView->m_nSelAnchor != m_pView->m_nSelCurrent;
        CPrintDlg dlg(
            printer, bSelection, [this] { DoPrinterSetup(); },
            [] {
                // Over the print dialog, which keeps the input while open.
                CHelpWindow help(QApplication::activeModalWidget());
                help.exec();
            },
            m_pFrame.get());
        if (dlg.exec() != QDialog::Accepted)
            return false;
    }

    const bool bPdf = IsPdfDestination(printer);
    const QString docName = m_pTemplate->GetDocumentName();
    QString port;
    if (bPdf) {
        // Asked every time, so that no job writes over a file unasked.
        const QString path = AfxGetPrintFileName(ProposedPdfPath());
        if (path.isEmpty())
            return false;
        // The file dialog adds ".pdf" to a bare name; another extension
        // would replace a file of another kind (the document itself).
        if (!path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) {
            AfxMessageBox(AfxFormatString(IDS_PRINT_NOT_PDF, path));
            return false;
        }
        printer.setOutputFileName(path);
        RememberPdfPath(path);
        port = path;
    } else {
        // Printers have no port here; where it stands says most.
        const QString location = QPrinterInfo(printer).location();
        port = location.isEmpty() ? printer.printerName() : location;
    }

    CPrintStatusDlg status(docName, bPdf ? AfxLoadString(IDS_PRINT_TO_PDF) : CPrintDlg::PrinterDisplayName(printer),
                           port, m_pFrame.get());
    status.show();
    const PrintProgress onPage = [&status](unsigned page, unsigned) { return status.OnPage(page); };
    const SPrintSettings settings = SPrintSettings::FromProfile(m_profile);
    const SPrintResult result =
        bPdf ? PrintToPdf(*m_pView, port.toStdString(), printer.pageLayout(), printer.resolution(), docName,
                          settings, onPage)
             : PrintDocument(*m_pView, printer, settings, onPage);
    status.hide();
    // A cancelled job has nothing to tell.
    if (const QString message = PrintFailureMessage(result); !message.isEmpty())
        AfxMessageBox(message);
    return result.Succeeded();
}

void COndrelApp::OnFilePrintPreview()
{
    CPrintPreview preview(*m_pPrinter, m_profile, *m_pView, m_pFrame.get());
    preview.exec();
    if (preview.PrintRequested())
        m_pFrame->ExecuteCommand(ID_FILE_PRINT);
}
