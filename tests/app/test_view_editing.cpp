// The view in the window, offscreen: the scroll bar's actions, mouse drags,
// Delete and Undo through the command routing, and what opening a file does
// to the selection.

#include "tests/support/AppFixture.h"

#include "app/COndrelApp.h"
#include "doc/COndrelDoc.h"
#include "frame/CMainFrame.h"
#include "framework/MessageBox.h"
#include "platform/ProcessCache.h"
#include "res/resource.h"
#include "tests/support/WaveFixtures.h"
#include "view/COndrelView.h"

#include <QScrollBar>
#include <QtTest>

#include <memory>

class TestViewEditing : public QObject {
    Q_OBJECT

    CAppFixture m_fx;

    CMainFrame& Frame() { return m_fx.Frame(); }
    COndrelDoc& Doc() { return m_fx.Doc(); }
    COndrelView& View() { return m_fx.View(); }
    bool Enabled(unsigned nID) { return m_fx.Enabled(nID); }

    // Opens a file of `bytes` bytes in the given format; the view's client
    // area is 640 x 300.
    void Open(const PcmFormat& f, std::size_t bytes, const char* name = "a.wav")
    {
        QVERIFY(m_fx.Open(f, bytes, name));
        View().resize(640, 300 + View().GetScrollBar()->sizeHint().height());
        View().PaintNow();
        QCOMPARE(View().GetImage().size(), QSize(640, 300));
    }
    void Drag(int x0, int x1, int y)
    {
        QTest::mousePress(&View(), Qt::LeftButton, Qt::NoModifier, QPoint(x0, y));
        QTest::mouseMove(&View(), QPoint(x1, y));
        QTest::mouseRelease(&View(), Qt::LeftButton, Qt::NoModifier, QPoint(x1, y));
    }

private slots:
    void init() { QVERIFY(m_fx.Start()); }
    void cleanup() { m_fx.Stop(); }

    void scrollBarActionsMoveTheDetailPane()
    {
        Open(PcmFormat{1, 8000, 8}, 100000); // V = 320, M = 99680, P = 1000
        QScrollBar* bar = View().GetScrollBar();
        QVERIFY(bar->isVisible());
        QCOMPARE(bar->maximum(), 1000);
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(View().m_nStartFrame, 1);
        QCOMPARE(bar->sliderPosition(), 0);
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(View().m_nStartFrame, 1001);
        QCOMPARE(bar->sliderPosition(), 1001 * 1000 / 99680);
        bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        QCOMPARE(View().m_nStartFrame, 0);
        // Dragging the thumb to the middle.
        bar->setSliderDown(true);
        bar->setSliderPosition(500);
        QCOMPARE(View().m_nStartFrame, 49840);
        bar->setSliderDown(false);
        QCOMPARE(bar->sliderPosition(), 500);
        bar->triggerAction(QAbstractSlider::SliderToMaximum); // leaves the start as it is
        QCOMPARE(View().m_nStartFrame, 49840);
        QCOMPARE(bar->sliderPosition(), 500);
    }

    void draggingSelectsAndShowsTheReadouts()
    {
        Open(PcmFormat{2, 8000, 16}, 40000); // 10000 frames
        Drag(20, 60, 150);                    // detail, first channel half
        QCOMPARE(View().m_nSelPane, int(PaneDetailCh1));
        QCOMPARE(View().m_nSelAnchor, 20);
        QCOMPARE(View().m_nSelCurrent, 60);
        QCOMPARE(View().m_bDragging, 0);
        QCOMPARE(View().GetSelectionStart(), 10u * 4);
        QCOMPARE(View().GetSelectionLength(), 20u * 4);
        // 40 pixels at 8000 Hz: 2.5 ms, 400 Hz.
        QCOMPARE(Frame().GetText(ID_INDICATOR_SELTIME), std::string("2.500mS"));
        QCOMPARE(Frame().GetText(ID_INDICATOR_SELFREQ), std::string("400.0Hz"));
        QVERIFY(Enabled(ID_EDIT_DELETE));
        // A press outside every pane keeps the selection.
        QTest::mousePress(&View(), Qt::LeftButton, Qt::NoModifier, QPoint(30, 8));
        QTest::mouseRelease(&View(), Qt::LeftButton, Qt::NoModifier, QPoint(30, 8));
        QCOMPARE(View().GetSelectionLength(), 20u * 4);
        // Press and release without moving: empty, Delete disabled.
        Drag(30, 30, 150);
        QCOMPARE(View().GetSelectionLength(), 0u);
        QVERIFY(!Enabled(ID_EDIT_DELETE));
    }

    void deleteAndUndoThroughTheCommands()
    {
        Open(PcmFormat{1, 8000, 8}, 1000);
        QVERIFY(!Enabled(ID_EDIT_UNDO)); // nothing changed yet
        View().m_nStartFrame = 0;
        Drag(10, 30, 200); // detail: frames 5..14
        QCOMPARE(View().GetSelectionStart(), 5u);
        QCOMPARE(View().GetSelectionLength(), 10u);
        QVERIFY(Frame().ExecuteCommand(ID_EDIT_DELETE));
        QCOMPARE(Doc().GetDataSize(), 990u);
        QCOMPARE(Frame().GetText(IDC_DATA_BYTES), std::string("990"));
        QCOMPARE(View().GetSelectionLength(), 0u);
        QCOMPARE(View().m_nSelPane, int(PaneNone));
        QCOMPARE(Frame().GetText(ID_INDICATOR_SELTIME), std::string());
        QVERIFY(Doc().IsModified());
        QVERIFY(Enabled(ID_EDIT_UNDO));
        Bytes expected = Ramp(1000);
        expected.erase(expected.begin() + 5, expected.begin() + 15);
        std::uint8_t* p = Doc().LockData();
        QVERIFY(Bytes(p, p + 990) == expected);
        Doc().UnlockData();

        QVERIFY(Frame().ExecuteCommand(ID_EDIT_UNDO));
        QCOMPARE(Doc().GetDataSize(), 1000u);
        QCOMPARE(Frame().GetText(IDC_DATA_BYTES), std::string("1000"));
        QVERIFY(!Enabled(ID_EDIT_UNDO)); // one level only
        // Alt+Backspace and Ctrl+Z reach Undo, Delete the delete command.
        QVERIFY(Frame().GetAction(ID_EDIT_UNDO)->shortcuts().contains(QKeySequence("Alt+Backspace")));
    }

    void deleteIsRefusedWhenTheUndoCopyCannotBeWritten()
    {
        Open(PcmFormat{1, 8000, 8}, 1000);
        RemoveProcessCacheFolder();
        WriteAll(*m_fx.dir / "blocked", std::string("a file, not a folder"));
        qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(*m_fx.dir / "blocked"));
        Drag(10, 30, 200);
        Doc().SetModifiedFlag(false);
        QVERIFY(Frame().ExecuteCommand(ID_EDIT_DELETE));
        QCOMPARE(m_fx.messages.size(), std::size_t{1});
        QCOMPARE(m_fx.messages[0], QStringLiteral("元に戻すためのｺﾋﾟｰを保存できなかったため、操作を取りやめました。\n"
                                                  "作業用ﾌｫﾙﾀﾞ %1 を作成できませんでした。"
                                                  "ﾊﾟｽの途中にﾌｫﾙﾀﾞではないものがあります。")
                                       .arg(QString::fromStdString(*m_fx.dir / "blocked/ondrel")));
        QCOMPARE(Doc().GetDataSize(), 1000u);
        QVERIFY(!Doc().IsModified());
        QVERIFY(!Enabled(ID_EDIT_UNDO));
        QCOMPARE(View().GetSelectionLength(), 10u); // the selection stays for another try
    }

    void openingAnotherFileStartsAtTheFirstFrameWithNoSelection()
    {
        Open(PcmFormat{1, 8000, 8}, 100000);
        View().GetScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
        Drag(10, 100, 200);
        QVERIFY(View().GetSelectionLength() > 0);
        Open(PcmFormat{1, 8000, 8}, 50, "short.wav");
        QCOMPARE(View().m_nStartFrame, 0);
        QCOMPARE(View().GetScrollBar()->sliderPosition(), 0);
        QCOMPARE(View().GetSelectionLength(), 0u);
        QVERIFY(!Enabled(ID_EDIT_DELETE));
    }

    void nothingChangesTheDataWhileADeviceHoldsIt()
    {
        Open(PcmFormat{1, 8000, 8}, 1000);
        Drag(10, 30, 200);
        QVERIFY(Frame().ExecuteCommand(ID_EDIT_DELETE));
        Drag(10, 30, 200);
        View().m_nTransport = 2; // playing
        QVERIFY(!Enabled(ID_EDIT_DELETE));
        QVERIFY(!Enabled(ID_EDIT_UNDO));
        View().m_nTransport = 0;
        QVERIFY(Enabled(ID_EDIT_DELETE));
        QVERIFY(Enabled(ID_EDIT_UNDO));
    }
};

QTEST_MAIN(TestViewEditing)
#include "test_view_editing.moc"
