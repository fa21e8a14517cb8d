#include "effects/EffectUi.h"

#include "doc/COndrelDoc.h"
#include "effects/EffectDialogs.h"
#include "framework/CCmdTarget.h"
#include "framework/MessageBox.h"
#include "framework/ReasonText.h"
#include "res/resource.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>

#include <atomic>
#include <thread>

namespace {
int g_nShowDelayMs = 500;
std::function<void()> g_workerStartHook;
} // namespace

CProgressRunner::CProgressRunner(QWidget* parent, QString label, bool bCancellable)
    : m_pParent(parent), m_strLabel(std::move(label)), m_bCancellable(bCancellable)
{
}

void CProgressRunner::SetTestHooks(int showDelayMs, std::function<void()> workerStart)
{
    g_nShowDelayMs = showDelayMs;
    g_workerStartHook = std::move(workerStart);
}

int CProgressRunner::Run(const std::function<int(CEffectProgress*)>& work, std::uint32_t totalFrames)
{
    struct CShared : CEffectProgress {
        std::atomic<std::uint32_t> done{0};
        std::atomic<bool> cancel{false};
        std::atomic<bool> finished{false};
        bool Continue(std::uint32_t framesDone, std::uint32_t) override
        {
            done.store(framesDone, std::memory_order_relaxed);
            return !cancel.load(std::memory_order_relaxed);
        }
    } shared;
    int result = kEngineOk;
    const std::function<void()> startHook = m_bCancellable ? g_workerStartHook : std::function<void()>();
    std::thread worker([&] {
        if (startHook)
            startHook();
        result = work(&shared);
        shared.finished.store(true);
    });

    QProgressDialog dialog(m_strLabel, QStringLiteral("ｷｬﾝｾﾙ"), 0, 1000, m_pParent);
    dialog.setWindowTitle(QStringLiteral("Ondrel"));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setMinimumDuration(1000000); // shown below, by our own clock
    if (!m_bCancellable)
        dialog.setCancelButton(nullptr);
    // ｷｬﾝｾﾙ reaches the worker at once, not at the next turn of the loop.
    QObject::connect(&dialog, &QProgressDialog::canceled, &dialog, [&shared] { shared.cancel.store(true); });
    QElapsedTimer clock;
    clock.start();
    const std::uint32_t total = totalFrames ? totalFrames : 1;
    while (!shared.finished.load()) {
        if (!dialog.isVisible() && clock.elapsed() >= (m_bCancellable ? g_nShowDelayMs : 500))
            dialog.show();
        // Before the window shows, no input is taken at all: nothing may
        // touch the data while the worker writes it.
        QEventLoop::ProcessEventsFlags flags =
            dialog.isVisible() ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents;
        QCoreApplication::processEvents(flags, 30);
        QThread::msleep(dialog.isVisible() ? 15 : 5);
        dialog.setValue(static_cast<int>(std::uint64_t{shared.done.load()} * 1000 / total));
        if (dialog.wasCanceled())
            shared.cancel.store(true);
    }
    worker.join();
    return result;
}

namespace {
struct SEffectCommand {
    unsigned nID;
    const char* label; // what the progress window says
    // Shows the dialog (if any) and applies; false when the dialog was
    // cancelled.
    std::function<bool(COndrelDoc&, std::uint32_t, std::uint32_t, QWidget*, EApplyResult&)> run;
};

template <typename Dialog, typename Apply>
bool WithDialog(COndrelDoc& doc, std::uint32_t start, std::uint32_t length, QWidget* parent, const char* label,
                EApplyResult& result, Dialog& dlg, Apply apply)
{
    if (dlg.exec() != QDialog::Accepted)
        return false;
    CProgressRunner runner(parent, QString::fromUtf8(label));
    result = apply(doc, start, length, dlg.Params(), runner);
    return true;
}

const std::vector<SEffectCommand>& EffectCommands()
{
    static const std::vector<SEffectCommand> table = {
        {ID_EFFECT_REVERSE, "逆転しています...",
         [](COndrelDoc& doc, std::uint32_t start, std::uint32_t length, QWidget* parent, EApplyResult& r) {
             CProgressRunner runner(parent, QStringLiteral("逆転しています..."));
             r = ReverseSelection(doc, start, length, runner);
             return true;
         }},
        {ID_EFFECT_ECHO, "エコーをかけています...",
         [](COndrelDoc& doc, std::uint32_t s, std::uint32_t l, QWidget* parent, EApplyResult& r) {
             CEchoDlg dlg(SEchoParams{}, parent);
             return WithDialog(doc, s, l, parent, "エコーをかけています...", r, dlg, ApplyEcho);
         }},
        {ID_EFFECT_VIBRATO, "ビブラートをかけています...",
         [](COndrelDoc& doc, std::uint32_t s, std::uint32_t l, QWidget* parent, EApplyResult& r) {
             CVibratoDlg dlg(SVibratoParams{}, parent);
             return WithDialog(doc, s, l, parent, "ビブラートをかけています...", r, dlg, ApplyVibrato);
         }},
        {ID_EFFECT_CHORUS, "コーラスをかけています...",
         [](COndrelDoc& doc, std::uint32_t s, std::uint32_t l, QWidget* parent, EApplyResult& r) {
             CChorusDlg dlg(SChorusParams{}, parent);
             return WithDialog(doc, s, l, parent, "コーラスをかけています...", r, dlg, ApplyChorus);
         }},
        {ID_EFFECT_TREMOLO, "トレモロをかけています...",
         [](COndrelDoc& doc, std::uint32_t s, std::uint32_t l, QWidget* parent, EApplyResult& r) {
             CTremoloDlg dlg(STremoloParams{}, parent);
             return WithDialog(doc, s, l, parent, "トレモロをかけています...", r, dlg, ApplyTremolo);
         }},
        {ID_EFFECT_VOICE, "ボイスチェンジャーをかけています...",
         [](COndrelDoc& doc, std::uint32_t s, std::uint32_t l, QWidget* parent, EApplyResult& r) {
             CVoiceChangerDlg dlg(SVoiceParams{}, parent);
             return WithDialog(doc, s, l, parent, "ボイスチェンジャーをかけています...", r, dlg, ApplyVoiceChanger);
         }},
        {ID_EFFECT_SINE, "正弦波を書いています...",
         [](COndrelDoc& doc, std::uint32_t s, std::uint32_t l, QWidget* parent, EApplyResult& r) {
             const WAVEFORMATEX& f = *doc.m_wave.m_pFormat;
             CSineWaveDlg dlg(SSineParams{}, f.wBitsPerSample, static_cast<int>(f.nSamplesPerSec), parent);
             return WithDialog(doc, s, l, parent, "正弦波を書いています...", r, dlg, GenerateSineWave);
         }},
    };
    return table;
}
} // namespace

void RegisterEffectCommands(CCmdTarget& target, COndrelDoc& doc, const SEffectHooks& hooks, QWidget* parent)
{
    for (const SEffectCommand& command : EffectCommands()) {
        target.OnCommand(command.nID, [&doc, hooks, parent, &command] {
            const auto [start, length] = hooks.selection();
            EApplyResult result = EApplyResult::Applied;
            if (command.run(doc, start, length, parent, result) && result == EApplyResult::Refused)
                AfxMessageBox(ReasonText(doc.GetError()));
        });
        target.OnUpdateCommand(command.nID,
                               [&doc, hooks](CCmdUI* ui) {
                                   // An empty recording holds no frames to change.
                                   ui->Enable(doc.HasData() == 1 && doc.GetDataSize() != 0 && hooks.dataFree());
                               });
    }
}
