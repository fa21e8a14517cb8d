// The editor as a user drives it, for the recovery tests: it opens a file
// and makes a seeded sequence of changes through the window (a drag across
// the detail pane and Delete, 逆転再生 from the menu, Ctrl+Z), telling on
// standard output what the user has after each one, until it is killed.
//
//   recovery_driver FILE.wav SEED MODE
//
// MODE "run": changes for ever. "save": four changes, then Ctrl+S, then it
// waits to be killed. "exit": four changes, then the window is closed and
// the save question answered いいえ, so the program ends normally.
//
// Lines: "DONE k HASH SIZE RATE CHANNELS BITS MODIFIED" when change k has
// completed (printed by a view of the document, which the document tells
// before it starts writing the recovery copy of that change); "SAVED k" once the recovery copy of change k is
// known to be on the disk (printed late: any time before the next change
// starts); "READY" after the save of the "save" mode; "MSG text" for every
// message box (answered いいえ).

#include "app/COndrelApp.h"
#include "doc/COndrelDoc.h"
#include "frame/CMainFrame.h"
#include "framework/MessageBox.h"
#include "res/resource.h"
#include "tests/support/FakeAudio.h"
#include "view/COndrelView.h"

#include <QApplication>
#include <QtTest>

#include <cstdio>
#include <random>

namespace {
std::uint64_t Fnv(const std::uint8_t* p, std::size_t n)
{
    std::uint64_t h = 1469598103934665603ull;
    for (std::size_t i = 0; i < n; ++i)
        h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

void Say(const QString& line)
{
    std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), stdout);
    std::fflush(stdout);
}

// Tells what the user has whenever the audio has changed.
class CReporter : public CView {
public:
    explicit CReporter(COndrelDoc& doc) : m_doc(doc), m_nVersion(doc.m_wave.m_nDataVersion) {}
    void OnUpdate(CView*, std::intptr_t, void*) override
    {
        if (m_doc.m_wave.m_nDataVersion == m_nVersion)
            return; // a refused or cancelled change
        m_nVersion = m_doc.m_wave.m_nDataVersion;
        ++m_nChanges;
        const WAVEFORMATEX& f = *m_doc.m_wave.m_pFormat;
        std::uint8_t* p = m_doc.LockData();
        const std::uint64_t hash = Fnv(p, m_doc.GetDataSize());
        m_doc.UnlockData();
        Say(QStringLiteral("DONE %1 %2 %3 %4 %5 %6 %7")
                .arg(m_nChanges)
                .arg(hash)
                .arg(m_doc.GetDataSize())
                .arg(f.nSamplesPerSec)
                .arg(f.nChannels)
                .arg(f.wBitsPerSample)
                .arg(m_doc.IsModified() ? 1 : 0));
    }
    int Changes() const { return m_nChanges; }

private:
    COndrelDoc& m_doc;
    std::uint64_t m_nVersion;
    int m_nChanges = 0;
};

void Pump(int ms)
{
    QElapsedTimer t;
    t.start();
    do
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    while (t.elapsed() < ms);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    QApplication qapp(argc, argv);
    FakeAudio audio;
    SetWaveAudio(&audio);
    SetMessageBoxHook([](const QString& text, unsigned) {
        Say(QStringLiteral("MSG ") + QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')));
        return IDNO;
    });
    const QString mode = QString::fromLocal8Bit(argv[3]);
    std::mt19937 rng(static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)));
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };

    COndrelApp app(qEnvironmentVariable("HOME").toStdString() + "/ondrel.ini");
    CCommandLineInfo info;
    info.m_nShellCommand = CCommandLineInfo::FileOpen;
    info.m_strFileName = QString::fromLocal8Bit(argv[1]);
    if (!app.InitInstance(info))
        return 3;
    CMainFrame& frame = *app.GetMainFrame();
    COndrelView& view = *app.GetView();
    COndrelDoc& doc = *app.GetDocument();
    CReporter reporter(doc);
    doc.AddView(&reporter);
    frame.show();
    frame.activateWindow();
    QApplication::setActiveWindow(&frame);
    if (!QTest::qWaitForWindowActive(&frame))
        return 4;

    auto key = [&](Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        frame.OnIdle();
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : &frame, k, m);
        frame.OnIdle();
    };
    auto drag = [&](int x0, int x1) {
        const int y = view.m_rcDetail.top + 20;
        QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, QPoint(x0, y));
        QTest::mouseMove(&view, QPoint(x1, y));
        QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, QPoint(x1, y));
    };

    int k = 0, saved = 0;
    const int changes = mode == QLatin1String("run") ? 1 << 30 : 4;
    while (k < changes) {
        if (k > saved && !doc.IsRecoveryWriting()) {
            saved = k;
            Say(QStringLiteral("SAVED %1").arg(k));
        }
        const int width = view.width();
        const int x0 = pick(2, width / 2);
        const int x1 = x0 + pick(4, width / 3);
        switch (pick(0, 2)) {
        case 0:
            drag(x0, x1);
            key(Qt::Key_Delete);
            break;
        case 1:
            drag(x0, x1);
            frame.ExecuteCommand(ID_EFFECT_REVERSE);
            break;
        default:
            key(Qt::Key_Z, Qt::ControlModifier);
            break;
        }
        k = reporter.Changes();
        // Sometimes the next change comes while the copy is still written.
        Pump(pick(0, 3) == 0 ? 0 : pick(1, 40));
    }
    while (doc.IsRecoveryWriting())
        Pump(5);
    Say(QStringLiteral("SAVED %1").arg(k));
    if (mode == QLatin1String("save")) {
        key(Qt::Key_S, Qt::ControlModifier);
        Say(QStringLiteral("READY"));
        for (;;)
            Pump(100);
    }
    // "exit": closing asks to save; いいえ ends the program normally.
    frame.close();
    doc.RemoveView(&reporter);
    Say(QStringLiteral("READY"));
    return 0;
}
