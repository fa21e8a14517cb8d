#pragma once
// The one rule by which the program reads a number typed into a field or
// given as a command-line option: blanks (spaces and tabs), an optional
// sign, decimal digits with an optional decimal point, an optional decimal
// exponent, blanks. Nothing else is a number: not "nan", "inf" or
// "infinity", not hexadecimal ("0x10", "0x1p3"), not a number followed by
// anything ("1.5x", "1,5") or preceded by a line break. The C library's own
// conversions take all of those, and NaN then passes any range check,
// since it compares false with both bounds.

#include <string_view>

// A fractional number: digits with an optional point ("5", "5.", ".5",
// "1.25") and an optional exponent of "e" or "E", an optional sign and at
// least one digit ("1e2", "5E-1"). The decimal point is always ".", whatever
// the process locale says. A value too large for a double (e.g. "1e999") is
// refused as well; one too small to tell from 0 reads as 0. Sets `value`
// only when the text is a number.
bool ParseDecimal(std::string_view text, double& value);

// A whole number: blanks, an optional sign, decimal digits, blanks, within
// the range of int ("007" is 7; "1.0", "1e2" and "2147483648" are refused).
// Sets `value` only when the text is a number.
bool ParseDecimalInt(std::string_view text, int& value);
