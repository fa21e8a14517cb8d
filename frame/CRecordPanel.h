#pragma once
// The recording panel at the left edge of the main window: the format and
// duration for the next recording (rate, channels, bits, seconds) and the
// readouts of the current data's format and size. Laid out from its dialog
// template in dialog units of the dialog font; every control carries its
// identifier's name as object name.

#include "framework/DialogUnits.h"

#include <QWidget>

#include <map>
#include <vector>

class CSpinButtonCtrl;
class QComboBox;
class QLabel;

class CRecordPanel : public QWidget {
    Q_OBJECT
public:
    // List position -> value for the three drop-down lists.
    static constexpr quint16 s_wSampleRates[6] = {8000, 11025, 16000, 22050, 32000, 44100};
    static constexpr quint16 s_wChannelCounts[2] = {1, 2};
    static constexpr quint16 s_wBitDepths[2] = {8, 16};

    explicit CRecordPanel(QWidget* parent = nullptr);

    // The control with identifier nID, or nullptr.
    QWidget* GetDlgItem(unsigned nID) const;

    // Text of the edit, a static text or a drop-down list (its current
    // entry). Setting a drop-down list's text selects the entry with that
    // text (compared without case) and does nothing when there is none.
    void SetDlgItemText(unsigned nID, const QString& text);
    QString GetDlgItemText(unsigned nID) const;
    void SetDlgItemInt(unsigned nID, int value);

    // Selected position of a drop-down list, -1 for none or not a list.
    int GetCurSel(unsigned nComboID) const;
    void SetCurSel(unsigned nComboID, int index);

    CSpinButtonCtrl* GetSpin() const { return m_spin; }
    const CDialogUnits& Units() const { return m_units; }

    // Puts the panel in its starting state: the recording time, zero data,
    // no current format, the rate list filled with 22050 Hz selected, mono
    // and 16 bits selected.
    void Initialise(int nRecordSeconds);

protected:
    bool event(QEvent* event) override;

private:
    QLabel* AddStatic(const char* name, const QString& text, Qt::Alignment align, int x,
                      int y, int w, int h);
    QComboBox* AddDropDown(const char* name, int x, int y, int w);
    // A static text with its template rectangle in pixels and the room it
    // may grow into (the inside of its group, else the panel).
    struct SStatic {
        QLabel* label;
        QRect rect;
        QRect room;
    };
    void FitStatic(const SStatic& s);
    void FitStatics();

    CDialogUnits m_units;
    std::map<unsigned, QWidget*> m_items;
    std::vector<QRect> m_groups; // the group boxes' rectangles
    std::vector<SStatic> m_statics;
    CSpinButtonCtrl* m_spin = nullptr;
};
