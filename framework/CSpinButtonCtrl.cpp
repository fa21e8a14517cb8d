#include "framework/CSpinButtonCtrl.h"

#include "framework/DecimalNumber.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

#include <algorithm>

CSpinButtonCtrl::CSpinButtonCtrl(unsigned style, QWidget* parent)
    : QWidget(parent), m_style(style), m_up(new QToolButton(this)),
      m_down(new QToolButton(this))
{
    m_up->setObjectName(QStringLiteral("upButton"));
    m_down->setObjectName(QStringLiteral("downButton"));
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {m_up, m_down}) {
        // Held arrows keep stepping; clicking them leaves the focus where
        // the user was typing.
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setMinimumSize(1, 1);
    }
    connect(m_up, &QToolButton::clicked, this, [this] { Step(+1); });
    connect(m_down, &QToolButton::clicked, this, [this] { Step(-1); });
    setFocusPolicy(Qt::NoFocus);
}

CSpinButtonCtrl::~CSpinButtonCtrl()
{
    if (m_buddy)
        m_buddy->removeEventFilter(this);
}

void CSpinButtonCtrl::SetRange(int lower, int upper)
{
    m_lower = lower;
    m_upper = upper;
    m_pos = Clamp(m_pos);
}

void CSpinButtonCtrl::GetRange(int& lower, int& upper) const
{
    lower = m_lower;
    upper = m_upper;
}

void CSpinButtonCtrl::SetPos(int pos)
{
    m_pos = Clamp(pos);
}

void CSpinButtonCtrl::SetBuddy(QLineEdit* buddy)
{
    if (m_buddy)
        m_buddy->removeEventFilter(this);
    m_buddy = buddy;
    if (!buddy)
        return;
    if (m_style & UDS_ARROWKEYS)
        buddy->installEventFilter(this);
    if (m_style & UDS_ALIGNRIGHT) {
        // Geometry is in the buddy's parent's coordinates, so the control
        // has to live in the same parent.
        if (parentWidget() != buddy->parentWidget()) {
            setParent(buddy->parentWidget());
            setVisible(!buddy->isHidden());
        }
        QRect r = buddy->geometry();
        int w = width();
        setGeometry(r.x() + r.width() - w, r.y(), w, r.height());
        buddy->setGeometry(r.x(), r.y(), r.width() - w, r.height());
    }
}

QLineEdit* CSpinButtonCtrl::GetBuddy() const { return m_buddy; }

bool CSpinButtonCtrl::Step(int direction)
{
    // Up moves toward upper whichever way round the range is.
    int delta = direction > 0 ? 1 : -1;
    if (m_lower > m_upper)
        delta = -delta;
    const std::int64_t start = StartOfStep();
    // In 64 bits, so no wrap at INT_MAX/INT_MIN bounds; a start outside the
    // range lands on its nearer end.
    const int pos = static_cast<int>(std::clamp<std::int64_t>(
        start + delta, std::min(m_lower, m_upper), std::max(m_lower, m_upper)));
    m_pos = pos;
    if (pos == start)
        return false;
    WriteBuddy();
    emit PositionChanged(m_pos);
    return true;
}

std::int64_t CSpinButtonCtrl::StartOfStep() const
{
    // The number the user sees is the one to step from; what is typed into
    // the box counts as soon as it is a number.
    int typed = 0;
    if ((m_style & UDS_SETBUDDYINT) && m_buddy && ParseDecimalInt(m_buddy->text().toStdString(), typed))
        return typed;
    return Clamp(m_pos);
}

bool CSpinButtonCtrl::eventFilter(QObject* watched, QEvent* event)
{
    // The event type first: the buddy's destructor passes events through
    // here once it is no longer a QLineEdit, when reading m_buddy (a cast to
    // QLineEdit*) would be undefined; key presses never come that late.
    if (event->type() == QEvent::KeyPress && watched == m_buddy && isEnabled()) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
            if (key->key() == Qt::Key_Up) {
                Step(+1);
                return true;
            }
            if (key->key() == Qt::Key_Down) {
                Step(-1);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CSpinButtonCtrl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    int half = height() / 2;
    m_up->setGeometry(0, 0, width(), half);
    m_down->setGeometry(0, half, width(), height() - half);
}

int CSpinButtonCtrl::Clamp(int pos) const
{
    return std::clamp(pos, std::min(m_lower, m_upper), std::max(m_lower, m_upper));
}

void CSpinButtonCtrl::WriteBuddy()
{
    if ((m_style & UDS_SETBUDDYINT) && m_buddy)
        m_buddy->setText(QString::number(m_pos));
}
