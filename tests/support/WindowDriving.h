#pragma once
// Small helpers for driving the window as a person does: the parts of a
// scroll bar to click, the buttons of the dialog that opens next, and
// actions that wait for a dialog or a state from whatever event loop runs
// then.

#include <QApplication>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTimer>
#include <QtTest>

#include <functional>

// The rectangle of a part of the scroll bar (arrows, trough, thumb) in its
// own coordinates.
inline QRect ScrollBarPart(QScrollBar* bar, QStyle::SubControl part)
{
    QStyleOptionSlider opt;
    opt.initFrom(bar);
    opt.subControls = QStyle::SC_All;
    opt.activeSubControls = QStyle::SC_None;
    opt.orientation = bar->orientation();
    opt.minimum = bar->minimum();
    opt.maximum = bar->maximum();
    opt.sliderPosition = bar->sliderPosition();
    opt.sliderValue = bar->value();
    opt.singleStep = bar->singleStep();
    opt.pageStep = bar->pageStep();
    opt.upsideDown = bar->invertedAppearance();
    if (bar->orientation() == Qt::Horizontal)
        opt.state |= QStyle::State_Horizontal;
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, part, bar);
}

// Clicks the button named `button` ("IDOK", "IDCANCEL") of the modal dialog
// that opens next.
inline void AnswerNextDialog(const char* button)
{
    QTimer::singleShot(0, [button] {
        QWidget* modal = QApplication::activeModalWidget();
        QVERIFY(modal);
        auto* b = modal->findChild<QPushButton*>(QString::fromUtf8(button));
        QVERIFY(b);
        QTest::mouseClick(b, Qt::LeftButton);
    });
}

// Runs `action` once `ready` holds, looking every few milliseconds from the
// event loop that runs then (a dialog's, a progress window's), without a
// loop of its own.
inline void WhenReady(std::function<bool()> ready, std::function<void()> action)
{
    auto* timer = new QTimer;
    timer->setInterval(2);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, ready, action] {
        if (!ready())
            return;
        timer->stop();
        timer->deleteLater();
        action();
    });
    timer->start();
}
