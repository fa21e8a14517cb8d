#pragma once
// An up-down control: a pair of stacked arrow buttons that step an integer
// position within a range, optionally attached to a line edit (its "buddy").
// Qt's spin boxes join the number and the arrows in one widget; the panel
// and the dialogs need the arrows as a control of their own, placed by the
// template next to an ordinary edit.

#include <QPointer>
#include <QWidget>

#include <cstdint>

class QLineEdit;
class QToolButton;

class CSpinButtonCtrl : public QWidget {
    Q_OBJECT
public:
    enum Style : unsigned {
        // The buddy holds the position as a whole number: each step starts
        // from the number in the buddy and writes the new position back as
        // "%d". Without it the control keeps its own position and leaves the
        // buddy's text to its owner.
        UDS_SETBUDDYINT = 0x2,
        UDS_ALIGNRIGHT = 0x4,  // sit at the buddy's right edge, narrowing it
        UDS_ARROWKEYS = 0x20,  // Up and Down keys in the buddy step the position
    };

    explicit CSpinButtonCtrl(unsigned style = 0, QWidget* parent = nullptr);
    ~CSpinButtonCtrl() override;

    unsigned GetStyle() const { return m_style; }

    // The range; lower may exceed upper, in which case the up arrow moves the
    // position toward upper, i.e. down in value. The current position is
    // pulled into the new range, silently as SetPos. Default 0 to 100.
    void SetRange(int lower, int upper);
    void GetRange(int& lower, int& upper) const;

    // Sets the position, clamped into the range. Emits nothing and leaves
    // the buddy's text alone: only steps write it. With UDS_SETBUDDYINT
    // the next step still starts from the buddy's number when it has one.
    void SetPos(int pos);
    int GetPos() const { return m_pos; }

    // Attaches the line edit, or detaches with nullptr. With UDS_ALIGNRIGHT
    // the control moves into the right-hand part of the buddy's rectangle,
    // keeping its own width and taking the buddy's height, and the buddy is
    // narrowed by that width. Text typed into the buddy is read back only
    // with UDS_SETBUDDYINT, at the next step.
    void SetBuddy(QLineEdit* buddy);
    QLineEdit* GetBuddy() const;

    // Steps as one click on the up (+1) or down (-1) arrow would: by one,
    // reversed when lower > upper, stopping at the range's ends. The step
    // starts from the control's position or, with UDS_SETBUDDYINT, from the
    // whole number in the buddy (ParseDecimalInt), which may lie outside the
    // range: the result is pulled into it, so 2000 steps down to 1000 in a
    // range of 1 to 1000 and 0 up to 1. A buddy without a number (empty,
    // not a whole number, beyond int) leaves the control's own position as
    // the start. Returns whether the number shown changed, i.e. the result
    // differs from the start; the position takes the result either way.
    bool Step(int direction);

signals:
    // The position after a click or an arrow key changed it.
    void PositionChanged(int newPos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int Clamp(int pos) const;
    // Where the next step starts (see Step).
    std::int64_t StartOfStep() const;
    void WriteBuddy();

    unsigned m_style;
    int m_lower = 0;
    int m_upper = 100;
    int m_pos = 0;
    QPointer<QLineEdit> m_buddy;
    QToolButton* m_up;
    QToolButton* m_down;
};
