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

// A fractional field's text. Blanks (spaces and tabs) may surround the
// number; what is between them must be one number that strtod takes in
// whole ("1e2" and "0x10" are numbers, "1.5x", "1,5" and "" are not).
// Leaves `value` alone when the text does not parse.
bool ParseReal(const QString& text, double& value);

// A whole-number field's text: blanks around an optional sign and decimal
// digits, within the range of int. Leaves `value` alone when the text does
// not parse.
bool ParseInt(const QString& text, int& value);

// "lo から hi までの数字を入力してください。", the bounds in FormatGeneral15.
QString RangeMessage(double lo, double hi);

// The standard text-to-double conversion (atof): the number at the start of
// the text, after any white space; 0 when there is none. "440abc" -> 440,
// "abc" -> 0.
double LeadingReal(const QString& text);

// The sine generator's amplitude in sample units for a scroll position:
// position x 256 for 16-bit data, the position itself otherwise.
int SineAmplitude(int position, int bitsPerSample);

// The sine generator's frequency rules. A frequency of exactly 0 is refused
// ("周波数に適切な数値を入力してください。"), and so is one above half the sample
// rate, the half by integer division ("周波数を11025以下の数値にしてください" at
// 22,050 Hz). Negative frequencies pass. Returns false with the message set
// when the frequency is refused.
bool CheckSineFrequency(double frequency, int samplesPerSec, QString& message);

// The same for the text of the frequency box, converted with LeadingReal
// ("abc" is 0 and is refused). `frequency` receives the converted value
// whether or not it passes.
bool CheckSineFrequency(const QString& text, int samplesPerSec, double& frequency,
                        QString& message);
