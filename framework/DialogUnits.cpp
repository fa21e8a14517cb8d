#include "framework/DialogUnits.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStringList>
#include <QStyle>

#include <climits>
#include <cstdint>

QFont DialogFont()
{
    QFont font;
    font.setFamilies(
        {QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
         QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")});
    font.setPointSize(9);
    return font;
}

int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    std::int64_t product = std::int64_t{a} * b;
    std::int64_t divisor = c;
    bool negative = (product < 0) != (divisor < 0);
    // |a x b| is at most 2^62, so the magnitudes and the rounding half fit.
    std::int64_t num = product < 0 ? -product : product;
    std::int64_t den = divisor < 0 ? -divisor : divisor;
    std::int64_t q = (num + den / 2) / den;
    if (negative)
        q = -q;
    if (q > INT_MAX || q < INT_MIN)
        return -1;
    return static_cast<int>(q);
}

CDialogUnits::CDialogUnits(const QFont& font)
{
    QFontMetrics fm(font);
    int avg = fm.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = (avg / 26 + 1) / 2;
    m_baseY = fm.height();
}

CDialogUnits::CDialogUnits(int baseX, int baseY) : m_baseX(baseX), m_baseY(baseY) {}

QRect CDialogUnits::MapRect(int x, int y, int w, int h) const
{
    int left = MapX(x);
    int top = MapY(y);
    int right = MapX(x + w);
    int bottom = MapY(y + h);
    return QRect(left, top, right - left, bottom - top);
}

CGroupFrame::CGroupFrame(const QString& title, QWidget* parent) : QGroupBox(title, parent)
{
    setFocusPolicy(Qt::NoFocus);
}

void CGroupFrame::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QFontMetrics fm(font());
    int top = fm.height() / 2;
    // Etched: a shadow line with a highlight one pixel below and right.
    p.setPen(palette().color(QPalette::Light));
    p.drawRect(rect().adjusted(1, top + 1, -1, -1));
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(rect().adjusted(0, top, -2, -2));
    if (title().isEmpty())
        return;
    int gap = 2;
    QRect text(fm.averageCharWidth() - gap, 0, fm.horizontalAdvance(title()) + 2 * gap,
               fm.height());
    p.fillRect(text, palette().window());
    style()->drawItemText(&p, text, Qt::AlignCenter | Qt::TextShowMnemonic, palette(),
                          isEnabled(), title(), QPalette::WindowText);
}
