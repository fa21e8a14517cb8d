#pragma once
// The help window: the help page shipped with the program, in a window of
// its own.

#include <QDialog>

class QTextBrowser;

class CHelpWindow : public QDialog {
    Q_OBJECT
public:
    explicit CHelpWindow(QWidget* parent = nullptr);
    QTextBrowser* Browser() const { return m_pBrowser; }

private:
    QTextBrowser* m_pBrowser;
};
