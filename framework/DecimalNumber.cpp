#include "framework/DecimalNumber.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <locale.h>
#include <string>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The text between the blanks at its ends.
std::string_view Unblanked(std::string_view text)
{
    std::size_t from = 0, to = text.size();
    while (from < to && IsBlank(text[from]))
        ++from;
    while (to > from && IsBlank(text[to - 1]))
        --to;
    return text.substr(from, to - from);
}

// Skips the digits at `i`; returns how many there were.
std::size_t SkipDigits(std::string_view s, std::size_t& i)
{
    const std::size_t from = i;
    while (i < s.size() && IsDigit(s[i]))
        ++i;
    return i - from;
}

} // namespace

bool ParseDecimal(std::string_view text, double& value)
{
    const std::string_view s = Unblanked(text);
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    std::size_t digits = SkipDigits(s, i);
    if (i < s.size() && s[i] == '.') {
        ++i;
        digits += SkipDigits(s, i);
    }
    if (digits == 0)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        if (SkipDigits(s, i) == 0)
            return false;
    }
    if (i != s.size())
        return false;

    // Only digits, signs, one point and one exponent are left, which strtod
    // reads as the decimal number they spell. It runs in the C locale: the
    // process locale may have a decimal comma.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    const std::string number(s);
    const double parsed = strtod_l(number.c_str(), nullptr, cLocale);
    if (!std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

bool ParseDecimalInt(std::string_view text, int& value)
{
    const std::string_view s = Unblanked(text);
    std::size_t i = 0;
    const bool negative = i < s.size() && s[i] == '-';
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    if (i == s.size())
        return false;
    std::int64_t magnitude = 0;
    for (; i < s.size(); ++i) {
        if (!IsDigit(s[i]))
            return false;
        magnitude = magnitude * 10 + (s[i] - '0');
        // One past INT_MAX's magnitude is INT_MIN's; anything beyond fails,
        // checked before the next digit could overflow 64 bits.
        if (magnitude > std::int64_t{INT_MAX} + 1)
            return false;
    }
    const std::int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue > INT_MAX || signedValue < INT_MIN)
        return false;
    value = static_cast<int>(signedValue);
    return true;
}
