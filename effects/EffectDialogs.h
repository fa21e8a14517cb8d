#pragma once
// The parameter dialogs of the effect commands. Each only collects its
// parameter struct: the command hands in the values to offer, shows the
// dialog modally and, after OK, reads them back with Params().
//
// The five effect dialogs work alike: every number has an edit box with an
// up-down control at its right edge. Opening sets the control's position
// from the value (value x 100 for fractional fields stepped in hundredths)
// and writes the value into the box; a click on the control sets the value
// from the new position and rewrites the box ("%.2f" or "%d"); typed text
// does not move the control. OK reads every box in order and refuses the
// first one that does not parse or is out of its range with a message,
// leaving the dialog open with that box focused and its text selected.

#include "effects/EffectParams.h"
#include "framework/DialogUnits.h"

#include <QDialog>

#include <vector>

class CSpinButtonCtrl;
class QLabel;
class QLineEdit;
class QScrollBar;

// The common part of the effect dialogs: the font, the buttons, and the
// numeric fields with their up-down controls. Layouts are given in dialog
// units.
class CEffectParamDlg : public QDialog {
    Q_OBJECT
protected:
    // How a field follows its up-down control.
    enum class EStep {
        Hundredths, // value = position / 100, box "%.2f"; position = trunc(value x 100)
        Units,      // value = position, box "%d"; position = trunc(value)
    };

    // A dialog of w x h dialog units with the caption, OK (default) and
    // ｷｬﾝｾﾙ stacked at the top of the column at x.
    CEffectParamDlg(const QString& caption, int w, int h, int buttonsX, QWidget* parent);

    const CDialogUnits& Units() const { return m_units; }

    CGroupFrame* AddGroup(const QString& title, int x, int y, int w, int h);
    QLabel* AddLabel(const QString& text, int x, int y, int w, int h = 8);

    // A fractional field. The edit box takes the rectangle (x, y, w, h) with
    // the up-down control inside its right edge. With lo <= hi, OK also
    // refuses values outside lo to hi.
    QLineEdit* AddRealField(double& field, EStep step, int editId, int spinId, int lower,
                            int upper, int x, int y, int w, int h, double lo = 1.0,
                            double hi = 0.0);
    // A whole-number field, stepped in units.
    QLineEdit* AddIntField(int& field, int editId, int spinId, int lower, int upper, int x, int y,
                           int w, int h);

    // Reads every box in the order the fields were added; accepts only when
    // all pass.
    void accept() override;

private:
    struct SField {
        QLineEdit* edit;
        CSpinButtonCtrl* spin;
        double* real; // one of real and whole is set
        int* whole;
        EStep step;
        double lo; // range checked on OK when lo <= hi
        double hi;
    };

    CSpinButtonCtrl* AddUpDown(QLineEdit* edit, int spinId, int lower, int upper);
    QLineEdit* AddEdit(int editId, int x, int y, int w, int h);
    void OnPosition(const SField& field, int pos);

    CDialogUnits m_units;
    std::vector<SField> m_fields;
};

// "ｴｺｰ": mix level (edit 1021, up-down 1022) and echo count (1027, 1028).
class CEchoDlg : public CEffectParamDlg {
    Q_OBJECT
public:
    explicit CEchoDlg(const SEchoParams& params = {}, QWidget* parent = nullptr);
    const SEchoParams& Params() const { return m_params; }

private:
    SEchoParams m_params;
};

// "ｺｰﾗｽ": frequency ratio (1011, 1012) and mix level (1021, 1022).
class CChorusDlg : public CEffectParamDlg {
    Q_OBJECT
public:
    explicit CChorusDlg(const SChorusParams& params = {}, QWidget* parent = nullptr);
    const SChorusParams& Params() const { return m_params; }

private:
    SChorusParams m_params;
};

// "ボイスチェンジャー": frequency ratio (1000, 1010), 0.5 to 2 on OK.
class CVoiceChangerDlg : public CEffectParamDlg {
    Q_OBJECT
public:
    explicit CVoiceChangerDlg(const SVoiceParams& params = {}, QWidget* parent = nullptr);
    const SVoiceParams& Params() const { return m_params; }

private:
    SVoiceParams m_params;
};

// "ﾋﾞﾌﾞﾗｰﾄ": depth (1016, 1015) and frequency in whole hertz steps
// (1011, 1012).
class CVibratoDlg : public CEffectParamDlg {
    Q_OBJECT
public:
    explicit CVibratoDlg(const SVibratoParams& params = {}, QWidget* parent = nullptr);
    const SVibratoParams& Params() const { return m_params; }

private:
    SVibratoParams m_params;
};

// "ﾄﾚﾓﾛ": frequency in whole hertz steps (1011, 1012), 1 to 100 on OK, and
// level (1013, 1014), 0 to 1 on OK.
class CTremoloDlg : public CEffectParamDlg {
    Q_OBJECT
public:
    explicit CTremoloDlg(const STremoloParams& params = {}, QWidget* parent = nullptr);
    const STremoloParams& Params() const { return m_params; }

private:
    STremoloParams m_params;
};

// "正弦波": the frequency box (1000, "%.1f") and the amplitude scroll bar
// (1029, 0 to 127) with the label that shows the amplitude in sample units
// (1030). params.amplitude is the bar's position on opening; after OK,
// Params().amplitude is in sample units for the document's bits per sample.
// OK applies CheckSineFrequency (effects/DataExchange.h) with the
// document's sample rate.
class CSineWaveDlg : public QDialog {
    Q_OBJECT
public:
    explicit CSineWaveDlg(const SSineParams& params = {}, int bitsPerSample = 16,
                          int samplesPerSec = 22050, QWidget* parent = nullptr);
    const SSineParams& Params() const { return m_params; }

    void accept() override;

private:
    void OnAction(int action);
    void ShowAmplitude();

    SSineParams m_params;
    int m_bitsPerSample;
    int m_samplesPerSec;
    QLineEdit* m_frequency;
    QScrollBar* m_amplitudeBar;
    QLabel* m_amplitudeLabel;
};
