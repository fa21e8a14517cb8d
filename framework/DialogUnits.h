#pragma once
// Dialog units: the panel and the dialogs are laid out from templates whose
// coordinates are in units of the dialog font (a quarter of the average
// character width horizontally, an eighth of the character height
// vertically), so the layout scales with the font instead of being fixed in
// pixels.

#include <QFont>
#include <QGroupBox>
#include <QRect>

// The font of the panel and the dialogs: MS PGothic where it exists, else
// the IPA proportional gothic or Noto CJK, 9 points. The whole family list is
// given because fontconfig has no alias from the Windows names to the
// fonts installed here and would otherwise fall back to a font without kana.
QFont DialogFont();

// a x b / c rounded to the nearest integer, halves away from zero, with the
// product in 64 bits so it cannot overflow. Returns -1 when c is 0 or the
// result does not fit in an int.
int MulDiv(int a, int b, int c);

class CDialogUnits {
public:
    // Base units from the font's metrics: the average width of the 52 Latin
    // letters, rounded the way the template converter rounds it, and the
    // font's line height.
    explicit CDialogUnits(const QFont& font);
    // Base units given directly (pixels per 4 horizontal and 8 vertical DLU).
    CDialogUnits(int baseX, int baseY);

    int BaseX() const { return m_baseX; }
    int BaseY() const { return m_baseY; }

    int MapX(int dluX) const { return MulDiv(dluX, m_baseX, 4); }
    int MapY(int dluY) const { return MulDiv(dluY, m_baseY, 8); }

    // A template rectangle in pixels. The right and bottom edges are mapped
    // from x + w and y + h rather than the size being mapped on its own, so
    // controls that touch in the template still touch after rounding.
    QRect MapRect(int x, int y, int w, int h) const;

private:
    int m_baseX;
    int m_baseY;
};

// A group box drawn the way dialog templates lay them out: an etched frame
// whose top line runs through the middle of the title, the title on top of
// it near the left. The widget style's group box puts the title above the
// frame instead, which crowds the first control placed inside. Used only as
// a frame: the controls it surrounds are siblings placed by the template.
class CGroupFrame : public QGroupBox {
public:
    explicit CGroupFrame(const QString& title, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
