#pragma once
// Reading and writing the numbers of the parameter dialogs. The dialogs use
// these when they open and on OK; the command-line tool validates its
// options with the same rules, so they need no window.
//
// All conversions use the C locale's decimal point whatever the user's
// locale is: the edit boxes always show and take "1.5", never "1,5".

#include <QString>

// C's "%.15g": 1.1 -> "1.1", 3.0 -> "3", 0.5 -> "0.5", 1e20 -> "1e+20".
QString FormatGeneral15(double v);

// A fractional field's text, read by ParseDecimal (framework/DecimalNumber.h):
// blanks around a decimal number with an optional point and exponent ("1.5",
// " .5 ", "1e2"). "nan", "inf", "0x10", "1.5x", "1,5", "1e999" and "" are not
// numbers. Leaves `value` alone when the text does not parse.
bool ParseReal(const QString& text, double& value);

// A whole-number field's text, read by ParseDecimalInt: blanks around an
// optional sign and decimal digits, within the range of int. Leaves `value`
// alone when the text does not parse.
bool ParseInt(const QString& text, int& value);

// "lo から hi までの数字を入力してください。", the bounds in FormatGeneral15.
QString RangeMessage(double lo, double hi);

// The sine generator's amplitude in sample units for a scroll position:
// position x 256 for 16-bit data, the position itself otherwise.
int SineAmplitude(int position, int bitsPerSample);

// The sine generator's frequency rules. A frequency of exactly 0 is refused
// ("周波数に適切な数値を入力してください。"), and so is one above half the sample
// rate, the half by integer division ("周波数を11025以下の数値にしてください" at
// 22,050 Hz). Negative frequencies pass. Returns false with the message set
// when the frequency is refused.
bool CheckSineFrequency(double frequency, int samplesPerSec, QString& message);

// The same for the text of the frequency box, read by ParseReal. Text that
// is not a number counts as 0 and so is refused with the zero message
// ("abc", "nan", "440abc"). `frequency` receives the value, 0 for such
// text, whether or not it passes.
bool CheckSineFrequency(const QString& text, int samplesPerSec, double& frequency,
                        QString& message);
