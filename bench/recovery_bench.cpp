// What the recovery copy costs a change: on one hour of 44.1 kHz 16-bit
// stereo (635 MB), deletes made through the window (a drag across the detail
// pane, then Delete), with recovery off (the editor as it was: a fresh undo
// copy before every change) and on. For each change it prints the time from
// the key press to the view's first paint of the result, the bytes the
// process wrote for it (undo copy, recovery copy and record, read from
// /proc/self/io once the background write has ended) and how long that
// background write took after the paint.
//   QT_QPA_PLATFORM=offscreen recovery_bench [CHANGES]   (default 3)
// Goals: with recovery on, no change writes more than one copy of the audio
// except the first after opening, and no first paint comes later than with
// recovery off.

#include "app/COndrelApp.h"
#include "doc/COndrelDoc.h"
#include "frame/CMainFrame.h"
#include "framework/MessageBox.h"
#include "platform/ProcessCache.h"
#include "view/COndrelView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QtTest>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <stdlib.h>

namespace {
std::uint64_t BytesWritten()
{
    std::ifstream io("/proc/self/io");
    std::string key;
    std::uint64_t value = 0;
    while (io >> key >> value)
        if (key == "wchar:")
            return value;
    return 0;
}

// One hour of a stereo tone, in the editor's own layout.
bool WriteHour(const std::string& path)
{
    CCurrentFormat frame;
    COndrelDoc doc(frame);
    const std::uint32_t frames = 44100u * 3600u;
    if (!doc.m_wave.Allocate(frames * 4))
        return false;
    auto* p = reinterpret_cast<std::int16_t*>(doc.LockData());
    for (std::uint32_t i = 0; i < frames; ++i) {
        p[2 * i] = static_cast<std::int16_t>(20000 * std::sin(i * 0.0627));
        p[2 * i + 1] = static_cast<std::int16_t>(15000 * std::sin(i * 0.0311));
    }
    doc.UnlockData();
    doc.m_wave.m_dwDataSize = frames * 4;
    *doc.m_wave.m_pFormat = WAVEFORMATEX{1, 2, 44100, 176400, 4, 16, 0};
    return doc.SaveWaveFile(path, false) == 1;
}

// Counts the paints of a widget.
class CPaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

void Run(const std::string& file, bool bRecovery, int changes)
{
    COndrelApp app(std::string(std::getenv("HOME")) + "/ondrel.ini");
    CCommandLineInfo info;
    info.m_nShellCommand = CCommandLineInfo::FileOpen;
    info.m_strFileName = QString::fromStdString(file);
    if (!app.InitInstance(info)) {
        std::fprintf(stderr, "cannot open %s\n", file.c_str());
        return;
    }
    CMainFrame& frame = *app.GetMainFrame();
    COndrelView& view = *app.GetView();
    COndrelDoc& doc = *app.GetDocument();
    if (!bRecovery)
        doc.DisableRecovery();
    frame.resize(1280, 800);
    frame.show();
    frame.activateWindow();
    QApplication::setActiveWindow(&frame);
    QTest::qWaitForWindowActive(&frame);
    QTest::qWait(200);
    CPaintCounter counter;
    view.installEventFilter(&counter);
    const std::uint64_t bytes = doc.GetDataSize();
    std::printf("recovery %s:\n", bRecovery ? "on" : "off");
    for (int i = 0; i < changes; ++i) {
        const int y = view.m_rcDetail.top + 20;
        QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, QPoint(100, y));
        QTest::mouseMove(&view, QPoint(300, y));
        QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, QPoint(300, y));
        frame.OnIdle();
        QCoreApplication::processEvents();
        const int paintsBefore = counter.paints;
        const std::uint64_t written = BytesWritten();
        QElapsedTimer clock;
        clock.start();
        QTest::keyClick(&view, Qt::Key_Delete);
        while (counter.paints == paintsBefore)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        const double paintMs = clock.nsecsElapsed() / 1e6;
        while (doc.IsRecoveryWriting())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const double writeMs = clock.nsecsElapsed() / 1e6 - paintMs;
        const double copies = double(BytesWritten() - written) / double(bytes);
        std::printf("  change %d: first paint after %8.1f ms; written %6.1f MB = %.2f copies; background write "
                    "%8.1f ms after the paint\n",
                    i + 1, paintMs, (BytesWritten() - written) / 1e6, copies, bRecovery ? writeMs : 0.0);
        std::fflush(stdout);
    }
    frame.SetCloseHandler(nullptr);
}
} // namespace

int main(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    const int changes = argc > 1 ? std::atoi(argv[1]) : 3;
    char folder[] = "/tmp/ondrel-recovery-bench-XXXXXX";
    if (!::mkdtemp(folder))
        return 1;
    ::setenv("HOME", folder, 1);
    ::setenv("XDG_CACHE_HOME", (std::string(folder) + "/cache").c_str(), 1);
    SetMessageBoxHook([](const QString&, unsigned) { return IDNO; });
    const std::string file = std::string(folder) + "/hour.wav";
    if (!WriteHour(file))
        return 1;
    Run(file, false, changes);
    RemoveProcessCacheFolder();
    Run(file, true, changes);
    RemoveProcessCacheFolder();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return 0;
}
