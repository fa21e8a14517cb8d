#pragma once
// The main window: menus, tool bar, status bar and the recording panel
// around the view. It holds the program's current format (CCurrentFormat)
// and puts its readouts on screen, and it routes every command to the view
// (and through it the document), then itself, then the application.

#include "frame/CCurrentFormat.h"
#include "framework/CCmdTarget.h"

#include <QMainWindow>

#include <functional>
#include <map>

class CHelpWindow;
class CRecentFileList;
class CRecordPanel;
class QAction;
class QLabel;
class QMenu;
class QToolBar;

class CMainFrame : public QMainWindow, public CCurrentFormat, public CCmdTarget {
    Q_OBJECT
public:
    // Creates the window's menus, tool bar, status bar and recording panel,
    // and initialises the current format and the panel.
    CMainFrame();
    ~CMainFrame() override;

    // The view (central widget and first command target) and the
    // application (last command target).
    void SetView(QWidget* pViewWidget, CCmdTarget* pView);
    void SetApp(CCmdTarget* pApp) { m_pApp = pApp; }
    // The recent-file list shown in the File menu.
    void SetRecentFileList(CRecentFileList* pMru) { m_pMru = pMru; }
    // Asked for every command before its update handler: false disables
    // it (while the audio is being worked on, only harmless commands run).
    void SetCommandGate(std::function<bool(unsigned nID)> gate) { m_commandGate = std::move(gate); }
    // Asked before the window closes; false keeps it open.
    void SetCloseHandler(std::function<bool()> handler) { m_closeHandler = std::move(handler); }

    // Reads the recording time and format from the panel (see CCurrentFormat).
    int ReadPanel() override;

    // Runs the update handler of `nID` along the routing, or, without one,
    // enables the command exactly when some target handles it.
    void UpdateCmdUI(CCmdUI& ui);
    // Runs command `nID` when it is enabled; returns whether it ran.
    bool ExecuteCommand(unsigned nID);
    // Brings every action's enabled and checked state up to date, as the
    // framework does when the program goes idle.
    void OnIdle();

    QAction* GetAction(unsigned nID) const;
    QMenu* GetMenu(int nIndex) const;
    QToolBar* GetToolBar() const { return m_pToolBar; }
    CRecordPanel* GetRecordPanel() const { return m_pPanel; }
    // The status bar's panes: 0 the message pane, 1 selection time,
    // 2 selection frequency, 3 to 5 the CAP, NUM and SCRL indicators.
    QLabel* GetPane(int nIndex) const { return m_panes[nIndex]; }
    // Shows `text` in the message pane (the idle prompt when empty is not
    // wanted: pass AFX_IDS_IDLEMESSAGE's text for that).
    void SetMessageText(const QString& text);
    CHelpWindow* GetHelpWindow() const { return m_pHelp; }

signals:
    // Files dropped on the window, in order.
    void FilesDropped(const QStringList& paths);

protected:
    void ShowText(unsigned nID, const std::string& text) override;
    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    QAction* CommandAction(unsigned nID);
    void CreateMenus();
    void CreateAccelerators();
    void CreateToolBar();
    void CreateStatusBar();
    void CreateRecordPanel();
    void RegisterCommands();
    void UpdateRecentFileMenu();
    void UpdateLockIndicators();
    // Makes status-bar pane `nIndex` (1 to 5) wide enough for its string and
    // for the text it shows, and the window wide enough for the panes.
    void FitPane(int nIndex);
    bool RouteCmdMsg(unsigned nID, CCmdUI* pCmdUI);
    bool IsHandled(unsigned nID) const;

    std::map<unsigned, QAction*> m_actions;
    std::vector<QMenu*> m_menus;
    QMenu* m_pFileMenu = nullptr;
    QAction* m_pMruPlaceholder = nullptr;
    std::vector<QAction*> m_mruActions;
    QToolBar* m_pToolBar = nullptr;
    QLabel* m_panes[6] = {};
    int m_nPaneWidths[6] = {}; // text widths of the panes' own strings
    CRecordPanel* m_pPanel = nullptr;
    CHelpWindow* m_pHelp = nullptr;
    QWidget* m_pViewWidget = nullptr;
    CCmdTarget* m_pView = nullptr;
    CCmdTarget* m_pApp = nullptr;
    CRecentFileList* m_pMru = nullptr;
    std::function<bool()> m_closeHandler;
    std::function<bool(unsigned)> m_commandGate;
};
