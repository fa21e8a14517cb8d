#pragma once
// The version dialog: the program's icon, name and version, and an OK
// button, laid out from its dialog template.

#include <QDialog>

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
