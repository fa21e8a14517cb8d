#pragma once
// An editor for one Qt Test: a private folder as home, cache and profile,
// message boxes answered from a queue and recorded, and the application
// started with no file.

#include "app/COndrelApp.h"
#include "doc/COndrelDoc.h"
#include "frame/CMainFrame.h"
#include "framework/MessageBox.h"
#include "platform/ProcessCache.h"
#include "tests/support/WaveFixtures.h"
#include "view/COndrelView.h"

#include <QApplication>
#include <QByteArray>
#include <QString>
#include <QToolBar>
#include <QtTest>

#include <deque>
#include <memory>
#include <vector>

class CAppFixture {
public:
    std::unique_ptr<CTempDir> dir;
    std::unique_ptr<COndrelApp> app;
    std::vector<QString> messages; // every message box, in order
    std::deque<int> answers;       // their answers; IDNO once they run out

    // Makes the folder and starts the editor; false when it did not start.
    bool Start()
    {
        Prepare();
        return Launch(CCommandLineInfo{});
    }
    // The folder, the environment and the message boxes, without the editor.
    void Prepare()
    {
        dir = std::make_unique<CTempDir>();
        qputenv("HOME", QByteArray::fromStdString(dir->Path().string()));
        qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(*dir / "cache"));
        RemoveProcessCacheFolder();
        messages.clear();
        answers.clear();
        SetMessageBoxHook([this](const QString& text, unsigned) {
            messages.push_back(text);
            if (answers.empty())
                return IDNO;
            const int a = answers.front();
            answers.pop_front();
            return a;
        });
    }
    // Starts the editor with the command line `info`, after Prepare; false
    // when the program would end (see COndrelApp::InitInstance).
    bool Launch(const CCommandLineInfo& info)
    {
        app = std::make_unique<COndrelApp>(*dir / "ondrel.ini");
        return app->InitInstance(info);
    }
    void Stop()
    {
        if (app)
            app->GetMainFrame()->SetCloseHandler(nullptr);
        app.reset();
        SetMessageBoxHook(nullptr);
        RemoveProcessCacheFolder();
        dir.reset();
    }

    CMainFrame& Frame() { return *app->GetMainFrame(); }
    COndrelDoc& Doc() { return *app->GetDocument(); }
    COndrelView& View() { return *app->GetView(); }
    bool Enabled(unsigned nID)
    {
        CCmdUI ui(nID);
        Frame().UpdateCmdUI(ui);
        return ui.m_bEnabled;
    }
    // Writes a file of `bytes` bytes in the given format and opens it.
    bool Open(const PcmFormat& f, std::size_t bytes, const char* name = "a.wav")
    {
        WriteAll(*dir / name, SimpleWave(f, Ramp(bytes)));
        return app->OpenDocumentFile(QString::fromStdString(*dir / name));
    }
    // Shows the window and makes it the active one, so that the keyboard
    // focus and the shortcuts work as they do for a person.
    bool ShowActive()
    {
        Frame().show();
        Frame().activateWindow();
        QApplication::setActiveWindow(&Frame());
        return QTest::qWaitForWindowActive(&Frame());
    }
    // The program goes idle: commands and buttons get their states.
    void Idle() { Frame().OnIdle(); }
    // Presses `key` on the widget that has the keyboard focus. The window
    // is made active first, as the desktop does when a dialog over it closes.
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        if (!Frame().isActiveWindow())
            QVERIFY(ShowActive());
        Idle();
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : &Frame(), static_cast<Qt::Key>(key), modifiers);
        Idle();
    }
    // Clicks the tool bar button of command `nID`.
    void ClickTool(unsigned nID)
    {
        Idle();
        QTest::mouseClick(Frame().GetToolBar()->widgetForAction(Frame().GetAction(nID)), Qt::LeftButton);
        Idle();
    }
    // Drags with the left button across the view from x0 to x1 at height y.
    void Drag(int x0, int x1, int y)
    {
        QTest::mousePress(&View(), Qt::LeftButton, Qt::NoModifier, QPoint(x0, y));
        QTest::mouseMove(&View(), QPoint(x1, y));
        QTest::mouseRelease(&View(), Qt::LeftButton, Qt::NoModifier, QPoint(x1, y));
    }
    Bytes Data()
    {
        std::uint8_t* p = Doc().LockData();
        Bytes b(p, p + Doc().GetDataSize());
        Doc().UnlockData();
        return b;
    }
};
