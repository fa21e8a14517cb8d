#include "frame/CMainFrame.h"

#include "frame/CHelpWindow.h"
#include "frame/CRecordPanel.h"
#include "framework/CRecentFileList.h"
#include "framework/MessageBox.h"
#include "res/AppIcon.h"
#include "res/Menus.h"
#include "res/Strings.h"
#include "res/ToolBarImages.h"
#include "res/resource.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QWhatsThis>

#include <algorithm>

#if defined(ONDREL_HAVE_X11)
#include <QGuiApplication>
#include <X11/XKBlib.h>
#endif

namespace {
// Bit 0 Caps Lock, bit 1 Num Lock, bit 2 Scroll Lock, as far as the
// platform can tell (0 where it cannot).
unsigned QueryLockIndicators()
{
#if defined(ONDREL_HAVE_X11)
    if (auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr) {
        unsigned state = 0;
        if (Display* display = x11->display(); display && XkbGetIndicatorState(display, XkbUseCoreKbd, &state) == Success)
            return state & 0x7u;
    }
#endif
    return 0;
}
} // namespace

CMainFrame::CMainFrame()
{
    setWindowIcon(CreateAppIcon());
    CreateMenus();
    CreateAccelerators();
    CreateToolBar();
    CreateStatusBar();
    CreateRecordPanel();
    RegisterCommands();
    resize(820, 560);
    // Update handlers run whenever the program goes idle, so tool bar
    // buttons and shortcuts never show a stale state.
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &CMainFrame::OnIdle);
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::SetView(QWidget* pViewWidget, CCmdTarget* pView)
{
    m_pViewWidget = pViewWidget;
    m_pView = pView;
    setCentralWidget(pViewWidget);
}

QAction* CMainFrame::CommandAction(unsigned nID)
{
    auto it = m_actions.find(nID);
    if (it != m_actions.end())
        return it->second;
    auto* action = new QAction(this);
    action->setData(nID);
    action->setStatusTip(CommandPrompt(nID));
    action->setWhatsThis(CommandPrompt(nID));
    action->setToolTip(CommandTip(nID));
    action->setEnabled(false); // until the first update says otherwise
    connect(action, &QAction::triggered, this, [this, nID] { ExecuteCommand(nID); });
    m_actions[nID] = action;
    return action;
}

QAction* CMainFrame::GetAction(unsigned nID) const
{
    auto it = m_actions.find(nID);
    return it == m_actions.end() ? nullptr : it->second;
}

QMenu* CMainFrame::GetMenu(int nIndex) const
{
    return nIndex >= 0 && nIndex < static_cast<int>(m_menus.size()) ? m_menus[nIndex] : nullptr;
}

void CMainFrame::CreateMenus()
{
    for (const SPopupMenu& popup : MainMenu()) {
        QMenu* menu = menuBar()->addMenu(QString::fromUtf8(popup.title));
        m_menus.push_back(menu);
        for (const SMenuItem& item : popup.items) {
            if (item.nID == 0) {
                menu->addSeparator();
            } else if (item.nID == ID_FILE_MRU_FILE1) {
                // Stands for the recent files; greyed while there are none.
                m_pFileMenu = menu;
                m_pMruPlaceholder = menu->addAction(QString::fromUtf8(item.text));
                m_pMruPlaceholder->setEnabled(false);
            } else {
                QAction* action = CommandAction(item.nID);
                action->setText(QString::fromUtf8(item.text));
                menu->addAction(action);
            }
        }
        connect(menu, &QMenu::aboutToShow, this, [this, menu] {
            if (menu == m_pFileMenu)
                UpdateRecentFileMenu();
            OnIdle();
        });
        // The prompt of the highlighted item goes to the message pane.
        connect(menu, &QMenu::hovered, this, [this](QAction* action) {
            SetMessageText(action->data().isValid() ? CommandPrompt(action->data().toUInt()) : QString());
        });
        connect(menu, &QMenu::aboutToHide, this,
                [this] { SetMessageText(AfxLoadString(AFX_IDS_IDLEMESSAGE)); });
    }
}

void CMainFrame::CreateAccelerators()
{
    for (const SAccelerator& accel : MainAccelerators()) {
        QAction* action = CommandAction(accel.nID);
        QList<QKeySequence> keys = action->shortcuts();
        keys.append(accel.keys);
        action->setShortcuts(keys);
        // Commands reached only from the keyboard live on the window.
        addAction(action);
    }
}

void CMainFrame::CreateToolBar()
{
    m_pToolBar = new QToolBar(QStringLiteral("ﾂｰﾙ ﾊﾞｰ"), this);
    m_pToolBar->setObjectName(QStringLiteral("toolbar"));
    m_pToolBar->setAllowedAreas(Qt::AllToolBarAreas);
    m_pToolBar->setMovable(true);
    m_pToolBar->setFloatable(true);
    m_pToolBar->setIconSize(QSize(16, 15));
    for (const SToolBarButton& button : MainToolBar()) {
        if (button.nID == 0) {
            m_pToolBar->addSeparator();
            continue;
        }
        QAction* action = CommandAction(button.nID);
        action->setIcon(ToolBarIcon(button.nImage));
        action->setIconVisibleInMenu(false); // menus stay text only
        m_pToolBar->addAction(action);
    }
    addToolBar(Qt::TopToolBarArea, m_pToolBar);
}

void CMainFrame::CreateStatusBar()
{
    QStatusBar* bar = statusBar();
    m_panes[0] = new QLabel(AfxLoadString(AFX_IDS_IDLEMESSAGE), bar);
    // The message pane gives up its room first when the window narrows: a
    // prompt may be cut short, the readouts beside it may not.
    m_panes[0]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bar->addWidget(m_panes[0], 1);
    const unsigned ids[] = {ID_INDICATOR_SELTIME, ID_INDICATOR_SELFREQ, ID_INDICATOR_CAPS,
                            ID_INDICATOR_NUM, ID_INDICATOR_SCRL};
    for (int i = 1; i < 6; ++i) {
        const QString text = AfxLoadString(ids[i - 1]);
        auto* pane = new QLabel(bar);
        pane->setObjectName(QStringLiteral("pane%1").arg(i));
        pane->setFrameShape(QFrame::Panel);
        pane->setFrameShadow(QFrame::Sunken);
        pane->setAlignment(Qt::AlignCenter);
        // Each pane is sized for its string, as the indicators are, and
        // grows for a longer text (FitPane).
        m_nPaneWidths[i] = pane->fontMetrics().horizontalAdvance(text);
        // The selection panes show their strings until the first readout;
        // the lock indicators stay blank: the platform does not tell the
        // lock states to programs on every desktop.
        if (i <= 2)
            pane->setText(QString::fromStdString(GetText(ids[i - 1])));
        bar->addPermanentWidget(pane);
        m_panes[i] = pane;
        FitPane(i);
    }
}

void CMainFrame::FitPane(int nIndex)
{
    QLabel* pane = m_panes[nIndex];
    const int text = pane->fontMetrics().horizontalAdvance(pane->text());
    pane->setMinimumWidth(std::max(m_nPaneWidths[nIndex], text) + 12);
    // The main window keeps the status bar at least as wide as its panes
    // need; the layout of the bar alone would squeeze them over each other.
    // The bar's layout caches its panes' sizes until it is activated.
    QStatusBar* bar = statusBar();
    if (QLayout* layout = bar->layout())
        layout->activate();
    bar->setMinimumWidth(bar->minimumSizeHint().width());
}

void CMainFrame::CreateRecordPanel()
{
    m_pPanel = new CRecordPanel;
    auto* dock = new QDockWidget(this);
    dock->setObjectName(QStringLiteral("recordPanelDock"));
    dock->setWidget(m_pPanel);
    dock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    dock->setAllowedAreas(Qt::LeftDockWidgetArea);
    dock->setTitleBarWidget(new QWidget(dock)); // no caption
    addDockWidget(Qt::LeftDockWidgetArea, dock);
    m_pPanel->Initialise(m_nRecordSeconds);
}

void CMainFrame::RegisterCommands()
{
    OnCommand(ID_VIEW_TOOLBAR, [this] { m_pToolBar->setVisible(m_pToolBar->isHidden()); });
    OnUpdateCommand(ID_VIEW_TOOLBAR, [this](CCmdUI* ui) { ui->SetCheck(!m_pToolBar->isHidden()); });
    OnCommand(ID_VIEW_STATUS_BAR, [this] { statusBar()->setVisible(statusBar()->isHidden()); });
    OnUpdateCommand(ID_VIEW_STATUS_BAR, [this](CCmdUI* ui) { ui->SetCheck(!statusBar()->isHidden()); });

    auto showHelp = [this] {
        if (!m_pHelp)
            m_pHelp = new CHelpWindow(this);
        m_pHelp->show();
        m_pHelp->raise();
    };
    OnCommand(ID_HELP_FINDER, showHelp);
    OnCommand(ID_HELP, showHelp);
    OnCommand(ID_DEFAULT_HELP, showHelp);
    OnCommand(ID_CONTEXT_HELP, [] { QWhatsThis::enterWhatsThisMode(); });
}

bool CMainFrame::RouteCmdMsg(unsigned nID, CCmdUI* pCmdUI)
{
    return (m_pView && m_pView->OnCmdMsg(nID, pCmdUI)) || CCmdTarget::OnCmdMsg(nID, pCmdUI) ||
           (m_pApp && m_pApp->OnCmdMsg(nID, pCmdUI));
}

bool CMainFrame::IsHandled(unsigned nID) const
{
    return (m_pView && m_pView->HasCommand(nID)) || CCmdTarget::HasCommand(nID) ||
           (m_pApp && m_pApp->HasCommand(nID));
}

void CMainFrame::UpdateCmdUI(CCmdUI& ui)
{
    if (m_commandGate && !m_commandGate(ui.m_nID)) {
        ui.Enable(false);
        return;
    }
    if (!RouteCmdMsg(ui.m_nID, &ui))
        ui.Enable(IsHandled(ui.m_nID));
}

bool CMainFrame::ExecuteCommand(unsigned nID)
{
    CCmdUI ui(nID);
    UpdateCmdUI(ui);
    if (!ui.m_bEnabled)
        return false;
    RouteCmdMsg(nID, nullptr);
    return true;
}

void CMainFrame::OnIdle()
{
    for (const auto& [nID, action] : m_actions) {
        CCmdUI ui(nID);
        UpdateCmdUI(ui);
        action->setEnabled(ui.m_bEnabled);
        if (ui.m_bCheckSet) {
            action->setCheckable(true);
            action->setChecked(ui.m_nCheck != 0);
        }
    }
    for (QAction* action : m_mruActions)
        action->setEnabled(IsHandled(action->data().toUInt()) &&
                           (!m_commandGate || m_commandGate(action->data().toUInt())));
    UpdateLockIndicators();
}

void CMainFrame::UpdateLockIndicators()
{
    // Only the X11 keyboard extension tells programs the lock states; on
    // other platforms the three panes stay blank.
    const unsigned state = QueryLockIndicators();
    const unsigned ids[] = {ID_INDICATOR_CAPS, ID_INDICATOR_NUM, ID_INDICATOR_SCRL};
    for (int i = 0; i < 3; ++i) {
        const QString text = (state & (1u << i)) ? AfxLoadString(ids[i]) : QString();
        if (m_panes[3 + i]->text() != text)
            m_panes[3 + i]->setText(text);
    }
}

void CMainFrame::UpdateRecentFileMenu()
{
    for (QAction* action : m_mruActions) {
        m_pFileMenu->removeAction(action);
        delete action;
    }
    m_mruActions.clear();
    const int count = m_pMru ? m_pMru->GetCount() : 0;
    m_pMruPlaceholder->setVisible(count == 0);
    for (int i = 0; i < count; ++i) {
        const unsigned nID = ID_FILE_MRU_FILE1 + static_cast<unsigned>(i);
        auto* action = new QAction(m_pMru->GetMenuText(i), this);
        action->setData(nID);
        action->setStatusTip(CommandPrompt(nID));
        connect(action, &QAction::triggered, this, [this, nID] { ExecuteCommand(nID); });
        m_pFileMenu->insertAction(m_pMruPlaceholder, action);
        m_mruActions.push_back(action);
    }
}

void CMainFrame::SetMessageText(const QString& text) { m_panes[0]->setText(text); }

int CMainFrame::ReadPanel()
{
    bool ok = false;
    const int seconds = m_pPanel->GetDlgItemText(IDC_REC_TIME).trimmed().toInt(&ok);
    if (!ok) {
        AfxMessageBox(AfxLoadString(IDS_REC_TIME_NOT_NUMBER), MB_OK);
        return 0;
    }
    if (seconds == 0) {
        AfxMessageBox(AfxLoadString(IDS_ZERO_INVALID), MB_OK);
        return 0;
    }
    auto pick = [this](unsigned nID, const quint16* table, int count, quint16 fallback) {
        const int sel = m_pPanel->GetCurSel(nID);
        return sel >= 0 && sel < count ? table[sel] : fallback;
    };
    m_nRecordSeconds = seconds;
    m_dwSamplesPerSec = pick(IDC_RATE, CRecordPanel::s_wSampleRates, 6, 22050);
    m_wChannels = pick(IDC_CHANNELS, CRecordPanel::s_wChannelCounts, 2, 1);
    m_wBitsPerSample = pick(IDC_BITS, CRecordPanel::s_wBitDepths, 2, 16);
    return 1;
}

void CMainFrame::ShowText(unsigned nID, const std::string& text)
{
    CCurrentFormat::ShowText(nID, text);
    const QString qtext = QString::fromStdString(text);
    if (nID == ID_INDICATOR_SELTIME || nID == ID_INDICATOR_SELFREQ) {
        const int i = nID == ID_INDICATOR_SELTIME ? 1 : 2;
        m_panes[i]->setText(qtext);
        FitPane(i);
    } else if (m_pPanel) {
        m_pPanel->SetDlgItemText(nID, qtext);
    }
}

bool CMainFrame::event(QEvent* e)
{
    if (e->type() == QEvent::StatusTip) {
        // Menus report their items through `hovered`; here come the tool
        // bar's fly-by prompts, and the idle prompt when the mouse leaves.
        if (!QApplication::activePopupWidget()) {
            const QString tip = static_cast<QStatusTipEvent*>(e)->tip();
            SetMessageText(tip.isEmpty() ? AfxLoadString(AFX_IDS_IDLEMESSAGE) : tip);
        }
        return true;
    }
    return QMainWindow::event(e);
}

void CMainFrame::closeEvent(QCloseEvent* e)
{
    if (m_closeHandler && !m_closeHandler()) {
        e->ignore();
        return;
    }
    if (m_pHelp)
        m_pHelp->close();
    e->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* e)
{
    for (const QUrl& url : e->mimeData()->urls()) {
        if (url.isLocalFile()) {
            e->acceptProposedAction();
            return;
        }
    }
}

void CMainFrame::dropEvent(QDropEvent* e)
{
    QStringList paths;
    for (const QUrl& url : e->mimeData()->urls())
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    if (paths.isEmpty())
        return;
    e->acceptProposedAction();
    // Opening asks questions in message boxes: not inside the drop itself.
    QMetaObject::invokeMethod(this, [this, paths] { emit FilesDropped(paths); }, Qt::QueuedConnection);
}
