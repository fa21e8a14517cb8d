#pragma once
// The device dialog "WAVデバイス": picks the input and the output device for
// recording and playback and keeps the choice in the profile, section
// "WAV Config", keys "WavInDevice" and "WavOutDevice" (device identifiers;
// -1 is the system's default device, shown as "Wave Mapper").
//
// Each list shows the device names in identifier order, then "Wave Mapper".
// Only the first kMaxDevices devices of a kind are offered: the identifier
// tables have that many places, and devices past them are left out of the
// list (they can still be reached through "Wave Mapper" when one of them is
// the default). Opening selects the stored identifier, or "Wave Mapper" when
// no listed device has it (including -1 and identifiers past the list).
//
// OK stores the output first, then the input, and closes. The output list
// has an edit field: its selection is the entry whose text equals the
// field's (case aside); text typed there that names no entry leaves no
// selection, and then the value read at opening is stored back unchanged.
// ｷｬﾝｾﾙ stores nothing.

#include "framework/DialogUnits.h"

#include <QDialog>

#include <string>
#include <vector>

class CProfile;
class IWaveAudio;
class QComboBox;

class CWavDeviceDlg : public QDialog {
    Q_OBJECT
public:
    // Control identifiers, which are also the controls' object names.
    static constexpr int IDC_WAVE_IN = 467;
    static constexpr int IDC_WAVE_OUT = 468;
    // Places in each identifier table.
    static constexpr int kMaxDevices = 20;

    // Reads the stored identifiers and fills both lists from `audio`.
    CWavDeviceDlg(CProfile& profile, IWaveAudio& audio, QWidget* parent = nullptr);

    void accept() override;

    // The lists' state. Position p < m_n*DevCount of a list holds device
    // m_an*DevIds[p]; position m_n*DevCount is "Wave Mapper".
    int m_nInDevCount = 0;
    int m_nInDevice = -1; // the stored identifier, then the one chosen by OK
    int m_anInDevIds[kMaxDevices] = {};
    int m_nOutDevCount = 0;
    int m_nOutDevice = -1;
    int m_anOutDevIds[kMaxDevices] = {};

private:
    // Fills `list` with `names` (at most kMaxDevices) and "Wave Mapper", and
    // selects `device`'s position. Returns the number of devices listed.
    static int FillList(QComboBox* list, const std::vector<std::string>& names, int ids[],
                        int device);
    // The identifier at the list's selection; `current` without one.
    static int ChosenId(const QComboBox* list, int count, const int ids[], int current);

    QComboBox* AddList(int id, int x, int y, int w, bool editable);

    CProfile& m_profile;
    CDialogUnits m_units;
    QComboBox* m_inList = nullptr;
    QComboBox* m_outList = nullptr;
};
