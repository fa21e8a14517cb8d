#include "device/CWavDeviceDlg.h"

#include "platform/Profile.h"
#include "platform/WaveAudio.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace {

const char kSection[] = "WAV Config";
const char kInKey[] = "WavInDevice";
const char kOutKey[] = "WavOutDevice";
const QString kMapperName = QStringLiteral("Wave Mapper");

} // namespace

CWavDeviceDlg::CWavDeviceDlg(CProfile& profile, IWaveAudio& audio, QWidget* parent)
    : QDialog(parent), m_profile(profile), m_units(DialogFont())
{
    // The font goes on first so that every control takes it over.
    setFont(DialogFont());
    setWindowTitle(QStringLiteral("WAVデバイス"));
    setFixedSize(m_units.MapX(187), m_units.MapY(77));

    auto addLabel = [this](const QString& text, int x, int y, int w, int h) {
        auto* label = new QLabel(text, this);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setGeometry(m_units.MapRect(x, y, w, h));
    };
    addLabel(QStringLiteral("ＷＡＶ入力デバイス"), 7, 7, 68, 8);
    m_inList = AddList(IDC_WAVE_IN, 7, 17, 119, false);
    addLabel(QStringLiteral("ＷＡＶ出力デバイス"), 7, 36, 58, 8);
    m_outList = AddList(IDC_WAVE_OUT, 7, 48, 119, true);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("IDOK"));
    ok->setDefault(true);
    ok->setGeometry(m_units.MapRect(130, 7, 50, 14));
    connect(ok, &QPushButton::clicked, this, &CWavDeviceDlg::accept);

    auto* cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    cancel->setObjectName(QStringLiteral("IDCANCEL"));
    cancel->setAutoDefault(false);
    cancel->setGeometry(m_units.MapRect(130, 24, 50, 14));
    connect(cancel, &QPushButton::clicked, this, &CWavDeviceDlg::reject);

    m_nOutDevice = m_profile.GetProfileInt(kSection, kOutKey, WAVE_MAPPER);
    m_nOutDevCount = FillList(m_outList, audio.OutputDevices(), m_anOutDevIds, m_nOutDevice);
    m_nInDevice = m_profile.GetProfileInt(kSection, kInKey, WAVE_MAPPER);
    m_nInDevCount = FillList(m_inList, audio.InputDevices(), m_anInDevIds, m_nInDevice);
}

QComboBox* CWavDeviceDlg::AddList(int id, int x, int y, int w, bool editable)
{
    auto* list = new QComboBox(this);
    list->setObjectName(QString::number(id));
    list->setEditable(editable);
    // Typed text is only ever matched against the entries, never added.
    list->setInsertPolicy(QComboBox::NoInsert);
    // A drop-down's template height includes the open list; closed, it is
    // as tall as the font needs.
    const QRect r = m_units.MapRect(x, y, w, 0);
    list->setGeometry(r.x(), r.y(), r.width(), list->sizeHint().height());
    return list;
}

int CWavDeviceDlg::FillList(QComboBox* list, const std::vector<std::string>& names, int ids[],
                            int device)
{
    const int count = static_cast<int>(std::min<std::size_t>(names.size(), kMaxDevices));
    int selected = count; // "Wave Mapper" unless a listed device has the identifier
    for (int k = 0; k < count; ++k) {
        list->addItem(QString::fromStdString(names[static_cast<std::size_t>(k)]));
        ids[k] = k;
        if (k == device)
            selected = k;
    }
    list->addItem(kMapperName);
    list->setCurrentIndex(selected);
    return count;
}

int CWavDeviceDlg::ChosenId(const QComboBox* list, int count, const int ids[], int current)
{
    int position = list->currentIndex();
    if (list->isEditable()) {
        // The selection follows the edit field: an entry only while the
        // field holds its text.
        const QString text = list->currentText();
        if (position < 0 || list->itemText(position).compare(text, Qt::CaseInsensitive) != 0)
            position = list->findText(text, Qt::MatchFixedString);
    }
    if (position < 0)
        return current;
    if (position < count)
        return ids[position];
    return WAVE_MAPPER;
}

void CWavDeviceDlg::accept()
{
    m_nOutDevice = ChosenId(m_outList, m_nOutDevCount, m_anOutDevIds, m_nOutDevice);
    m_nInDevice = ChosenId(m_inList, m_nInDevCount, m_anInDevIds, m_nInDevice);
    m_profile.WriteProfileInt(kSection, kOutKey, m_nOutDevice);
    m_profile.WriteProfileInt(kSection, kInKey, m_nInDevice);
    QDialog::accept();
}
