#include "frame/CRecordPanel.h"

#include "framework/CSpinButtonCtrl.h"
#include "res/resource.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QRegularExpressionValidator>
#include <QStyleFactory>
#include <QStyleOptionComboBox>

#include <algorithm>

namespace {

// The template's drop-down lists are 44 DLU wide, sized for a slim arrow
// button; the widget style's wider one would cut "22050Hz" short. This
// narrows the arrow part to about the font's height, the rest of the style
// unchanged.
class CSlimComboStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    QRect subControlRect(ComplexControl cc, const QStyleOptionComplex* opt, SubControl sc,
                         const QWidget* widget) const override
    {
        QRect r = QProxyStyle::subControlRect(cc, opt, sc, widget);
        if (cc != CC_ComboBox || !opt)
            return r;
        QRect arrow = QProxyStyle::subControlRect(cc, opt, SC_ComboBoxArrow, widget);
        int slim = qMin(arrow.width(), opt->fontMetrics.height() + 2);
        int gain = arrow.width() - slim;
        if (gain <= 0)
            return r;
        bool rtl = opt->direction == Qt::RightToLeft;
        if (sc == SC_ComboBoxArrow)
            return rtl ? r.adjusted(0, 0, -gain, 0) : r.adjusted(gain, 0, 0, 0);
        if (sc == SC_ComboBoxEditField)
            return rtl ? r.adjusted(-gain, 0, 0, 0) : r.adjusted(0, 0, gain, 0);
        return r;
    }
};

// Adds an entry where a sorted list would put it (case-insensitive order).
void AddSortedString(QComboBox* combo, const QString& text)
{
    int i = 0;
    while (i < combo->count() && QString::compare(combo->itemText(i), text, Qt::CaseInsensitive) <= 0)
        ++i;
    combo->insertItem(i, text);
}

QStyle* SlimComboStyle()
{
    // One instance shared by the panel's lists, kept for the program's life
    // (a widget does not own a style set on it).
    static CSlimComboStyle* style =
        new CSlimComboStyle(QStyleFactory::create(QApplication::style()->name()));
    return style;
}

} // namespace

CRecordPanel::CRecordPanel(QWidget* parent) : QWidget(parent), m_units(DialogFont())
{
    setObjectName(QStringLiteral("IDD_RECORD_PANEL"));
    // The font goes on first: children take it over as they are created, and
    // the drop-down lists' height comes from it.
    setFont(DialogFont());
    setFixedSize(m_units.MapX(61), m_units.MapY(167));

    // Group boxes first so that they lie beneath the controls they frame.
    // They are only frames: the controls are the panel's children.
    auto addGroup = [this](const char* name, const QString& title, int x, int y, int w, int h) {
        auto* group = new CGroupFrame(title, this);
        group->setObjectName(QLatin1String(name));
        group->setGeometry(m_units.MapRect(x, y, w, h));
        m_groups.push_back(group->geometry());
    };
    addGroup("IDC_STATIC_RECORD_GROUP", QStringLiteral("録音"), 4, 7, 53, 81);
    addGroup("IDC_STATIC_DATA_GROUP", QStringLiteral("データ"), 4, 95, 53, 63);

    m_items[IDC_RATE] = AddDropDown("IDC_RATE", 9, 18, 44);

    QComboBox* channels = AddDropDown("IDC_CHANNELS", 9, 36, 44);
    AddSortedString(channels, QStringLiteral("Mono"));
    AddSortedString(channels, QStringLiteral("Stereo"));
    m_items[IDC_CHANNELS] = channels;

    QComboBox* bits = AddDropDown("IDC_BITS", 9, 56, 44);
    bits->addItem(QStringLiteral("8  Bits"));
    bits->addItem(QStringLiteral("16 Bits"));
    m_items[IDC_BITS] = bits;

    auto* recTime = new QLineEdit(this);
    recTime->setObjectName(QStringLiteral("IDC_REC_TIME"));
    recTime->setGeometry(m_units.MapRect(17, 72, 27, 13));
    // Once the up-down control has taken its part, the template leaves the
    // edit room for "1000" only with the thin inner margins of a classic
    // edit; the widget's own 2-pixel padding each side would scroll the
    // first digit out of view.
    recTime->setTextMargins(-2, 0, -2, 0);
    recTime->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), recTime));
    m_items[IDC_REC_TIME] = recTime;

    // The up-down control's own rectangle only gives its width: attached to
    // the edit it moves to the edit's right edge and takes the edit's height.
    m_spin = new CSpinButtonCtrl(CSpinButtonCtrl::UDS_ALIGNRIGHT | CSpinButtonCtrl::UDS_SETBUDDYINT |
                                     CSpinButtonCtrl::UDS_ARROWKEYS,
                                 this);
    m_spin->setObjectName(QStringLiteral("IDC_REC_TIME_SPIN"));
    m_spin->setGeometry(m_units.MapRect(10, 70, 9, 16));
    m_spin->SetBuddy(recTime);
    m_spin->SetRange(1, 1000);
    m_items[IDC_REC_TIME_SPIN] = m_spin;

    AddStatic("IDC_STATIC_SECONDS", QStringLiteral("秒"), Qt::AlignLeft, 46, 74, 8, 8);

    m_items[IDC_CUR_RATE] = AddStatic("IDC_CUR_RATE", QString(), Qt::AlignHCenter, 15, 107, 33, 8);
    m_items[IDC_CUR_CHANNELS] =
        AddStatic("IDC_CUR_CHANNELS", QString(), Qt::AlignHCenter, 15, 116, 33, 8);
    m_items[IDC_CUR_BITS] = AddStatic("IDC_CUR_BITS", QString(), Qt::AlignHCenter, 15, 125, 33, 8);
    m_items[IDC_DATA_BYTES] = AddStatic("IDC_DATA_BYTES", QString(), Qt::AlignRight, 10, 135, 23, 8);
    AddStatic("IDC_STATIC_BYTES", QStringLiteral("Bytes"), Qt::AlignLeft, 34, 135, 18, 8);
    m_items[IDC_DATA_MS] = AddStatic("IDC_DATA_MS", QString(), Qt::AlignRight, 10, 145, 23, 8);
    AddStatic("IDC_STATIC_MS", QStringLiteral("mS"), Qt::AlignLeft, 34, 145, 10, 8);
}

QComboBox* CRecordPanel::AddDropDown(const char* name, int x, int y, int w)
{
    // A drop-down list's template height includes the open list; closed, it
    // is as tall as the font needs.
    auto* combo = new QComboBox(this);
    combo->setObjectName(QLatin1String(name));
    combo->setStyle(SlimComboStyle());
    combo->setEditable(false);
    QRect r = m_units.MapRect(x, y, w, 0);
    combo->setGeometry(r.x(), r.y(), r.width(), combo->sizeHint().height());
    return combo;
}

QLabel* CRecordPanel::AddStatic(const char* name, const QString& text, Qt::Alignment align,
                                int x, int y, int w, int h)
{
    auto* label = new QLabel(this);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(align | Qt::AlignTop);
    label->setText(text);
    SStatic s{label, m_units.MapRect(x, y, w, h), rect()};
    // A text inside a group may grow up to the inside of the group's etched
    // frame (two lines) with a pixel to spare; others up to the panel's edges.
    for (const QRect& group : m_groups) {
        if (group.contains(s.rect)) {
            s.room = group.adjusted(3, 0, -3, 0);
            break;
        }
    }
    m_statics.push_back(s);
    FitStatic(s);
    return label;
}

// A static text keeps its template rectangle and the panel's font while its
// text fits. A wider text first grows away from the alignment edge (a
// right-aligned number to the left, a centred one on both sides) as far as
// its room; what still does not fit is drawn condensed, and if need be
// smaller, so that the whole text shows: a readout never loses a digit.
void CRecordPanel::FitStatic(const SStatic& s)
{
    QLabel* label = s.label;
    const QString text = label->text();
    const QFont natural = font();
    const int need = QFontMetrics(natural).horizontalAdvance(text);
    QRect r = s.rect;
    if (need > r.width()) {
        const Qt::Alignment h = label->alignment() & Qt::AlignHorizontal_Mask;
        if (h & Qt::AlignRight) {
            r.setLeft(qMax(s.rect.right() + 1 - need, s.room.left()));
        } else if (h & Qt::AlignHCenter) {
            // About the same centre, as far as the nearer side of the room.
            const int half = std::min({(need + 1) / 2, s.rect.center().x() - s.room.left(),
                                   s.room.right() - s.rect.center().x()});
            r.setLeft(s.rect.center().x() - half);
            r.setRight(s.rect.center().x() + half);
        } else {
            r.setRight(qMin(s.rect.left() + need - 1, s.room.right()));
        }
        r = r.united(s.rect);
    }
    QFont f; // inherits the panel's font entirely
    if (need > r.width()) {
        f = natural;
        int stretch = qMax(1, 100 * r.width() / need);
        f.setStretch(stretch);
        while (stretch > 50 && QFontMetrics(f).horizontalAdvance(text) > r.width())
            f.setStretch(--stretch);
        for (qreal points = f.pointSizeF(); points > 4 && QFontMetrics(f).horizontalAdvance(text) > r.width();) {
            points -= 0.5;
            f.setPointSizeF(points);
        }
    }
    // Compared as shown: setting a font asks for a new layout, which fits
    // the statics again.
    if (label->font() != f.resolve(natural))
        label->setFont(f);
    if (label->geometry() != r)
        label->setGeometry(r);
}

void CRecordPanel::FitStatics()
{
    for (const SStatic& s : m_statics)
        FitStatic(s);
}

bool CRecordPanel::event(QEvent* event)
{
    // A static's text set directly on the QLabel (not through SetDlgItemText)
    // shows up here as a layout request once the panel is visible.
    if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Show)
        FitStatics();
    return QWidget::event(event);
}

QWidget* CRecordPanel::GetDlgItem(unsigned nID) const
{
    auto it = m_items.find(nID);
    return it == m_items.end() ? nullptr : it->second;
}

void CRecordPanel::SetDlgItemText(unsigned nID, const QString& text)
{
    QWidget* item = GetDlgItem(nID);
    if (auto* label = qobject_cast<QLabel*>(item)) {
        label->setText(text);
        for (const SStatic& s : m_statics)
            if (s.label == label)
                FitStatic(s);
    } else if (auto* edit = qobject_cast<QLineEdit*>(item)) {
        edit->setText(text);
    } else if (auto* combo = qobject_cast<QComboBox*>(item)) {
        int i = combo->findText(text, Qt::MatchFixedString);
        if (i >= 0)
            combo->setCurrentIndex(i);
    }
}

QString CRecordPanel::GetDlgItemText(unsigned nID) const
{
    QWidget* item = GetDlgItem(nID);
    if (auto* label = qobject_cast<QLabel*>(item))
        return label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(item))
        return edit->text();
    if (auto* combo = qobject_cast<QComboBox*>(item))
        return combo->currentText();
    return QString();
}

void CRecordPanel::SetDlgItemInt(unsigned nID, int value)
{
    SetDlgItemText(nID, QString::number(value));
}

int CRecordPanel::GetCurSel(unsigned nComboID) const
{
    auto* combo = qobject_cast<QComboBox*>(GetDlgItem(nComboID));
    return combo ? combo->currentIndex() : -1;
}

void CRecordPanel::SetCurSel(unsigned nComboID, int index)
{
    if (auto* combo = qobject_cast<QComboBox*>(GetDlgItem(nComboID)))
        combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

void CRecordPanel::Initialise(int nRecordSeconds)
{
    SetDlgItemInt(IDC_REC_TIME, nRecordSeconds);
    SetDlgItemText(IDC_DATA_BYTES, QStringLiteral("0"));
    SetDlgItemText(IDC_DATA_MS, QStringLiteral("0"));
    SetDlgItemText(IDC_CUR_CHANNELS, QStringLiteral("-----"));
    SetDlgItemText(IDC_CUR_BITS, QStringLiteral("-----"));
    SetDlgItemText(IDC_CUR_RATE, QStringLiteral("-----"));
    m_spin->SetRange(1, 1000);
    m_spin->SetPos(nRecordSeconds);

    auto* rate = static_cast<QComboBox*>(GetDlgItem(IDC_RATE));
    rate->clear();
    for (quint16 hz : s_wSampleRates)
        rate->addItem(QStringLiteral("%1Hz").arg(hz));
    rate->setCurrentIndex(3);
    SetCurSel(IDC_CHANNELS, 0);
    SetCurSel(IDC_BITS, 1);
}
