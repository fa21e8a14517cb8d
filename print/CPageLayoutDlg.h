#pragma once
// The page layout dialog "ﾍﾟｰｼﾞﾚｱｳﾄの設定": the four page margins in
// millimetres and the resolution factor that printing reads from the
// profile, section "Print Layout", keys "Left", "Right", "Up", "Down" and
// "Reso" (defaults 20, 0, 20, 0 and 1).
//
// OK checks the fields in the order left, right, top, bottom, resolution;
// the first one that is not a whole number in its range (0 to 50 for a
// margin, 1 to 10 for the resolution) is refused with its message and gets
// the focus, and nothing is stored. When all five are good they are written
// in the order Left, Right, Up, Down, Reso and the dialog closes. ｷｬﾝｾﾙ
// stores nothing. The printer button runs the printer setup and leaves the
// dialog open.

#include "framework/DialogUnits.h"

#include <QDialog>

#include <functional>

class CProfile;
class QLabel;
class QLineEdit;

class CPageLayoutDlg : public QDialog {
    Q_OBJECT
public:
    // Control identifiers, which are also the controls' object names.
    static constexpr int IDC_LEFT = 528;
    static constexpr int IDC_RIGHT = 478;
    static constexpr int IDC_UP = 479;
    static constexpr int IDC_DOWN = 529;
    static constexpr int IDC_RESO = 531;
    static constexpr int IDC_PRINTER_SETUP = 530;

    // Reads the five values from `profile`. `printerSetup` runs the printer
    // setup dialog (may be empty: the button then does nothing).
    CPageLayoutDlg(CProfile& profile, std::function<void()> printerSetup, QWidget* parent = nullptr);

    void accept() override;

    // The values shown at opening, then the ones OK stored.
    int m_nLeft = 20;
    int m_nRight = 0;
    int m_nUp = 20;
    int m_nDown = 0;
    int m_nReso = 1;

    // Whether `text` is a whole number from lo to hi, read by
    // ParseDecimalInt (blanks around it and one sign before the digits,
    // nothing else). The number is stored in `value` only when it is
    // accepted.
    static bool ParseInRange(const QString& text, int lo, int hi, int& value);

private:
    QLineEdit* AddEdit(int id, int value, int x, int y, int w, int h);
    QLabel* AddLabel(const QString& text, int x, int y, int w, int h);

    CProfile& m_profile;
    std::function<void()> m_printerSetup;
    CDialogUnits m_units;
    QLineEdit* m_pLeft = nullptr;
    QLineEdit* m_pRight = nullptr;
    QLineEdit* m_pUp = nullptr;
    QLineEdit* m_pDown = nullptr;
    QLineEdit* m_pReso = nullptr;
};
