#include "effects/DataExchange.h"

#include "res/Strings.h"
#include "res/resource.h"

#include <QByteArray>

#include <charconv>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <locale.h>

namespace {

// strtod with the C locale's decimal point. Qt sets the process locale
// from the environment at start-up, and plain strtod would then read "1.5"
// as 1 in a locale with a decimal comma.
double CStrtod(const char* text, char** end)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    return strtod_l(text, end, cLocale);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

} // namespace

QString FormatGeneral15(double v)
{
    // to_chars in general format with a precision is printf's "%g" in the
    // C locale.
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::general, 15);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

bool ParseReal(const QString& text, double& value)
{
    const QByteArray bytes = text.toUtf8();
    const char* p = bytes.constData();
    const char* const end = p + bytes.size();
    while (p < end && IsBlank(*p))
        ++p;
    // strtod would skip line breaks and other white space of its own; only
    // blanks are allowed before the number.
    if (p == end || std::isspace(static_cast<unsigned char>(*p)))
        return false;
    char* stop = nullptr;
    const double parsed = CStrtod(p, &stop);
    if (stop == p)
        return false;
    const char* q = stop;
    while (q < end && IsBlank(*q))
        ++q;
    // An embedded NUL stops strtod early and fails here too.
    if (q != end)
        return false;
    value = parsed;
    return true;
}

bool ParseInt(const QString& text, int& value)
{
    const QByteArray bytes = text.toUtf8();
    const char* p = bytes.constData();
    const char* const end = p + bytes.size();
    while (p < end && IsBlank(*p))
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    const char* digits = p;
    std::int64_t magnitude = 0;
    while (p < end && *p >= '0' && *p <= '9') {
        magnitude = magnitude * 10 + (*p - '0');
        // One past INT_MAX's magnitude is INT_MIN's; anything beyond fails,
        // checked before the next digit could overflow 64 bits.
        if (magnitude > std::int64_t{INT_MAX} + 1)
            return false;
        ++p;
    }
    if (p == digits)
        return false;
    while (p < end && IsBlank(*p))
        ++p;
    if (p != end)
        return false;
    const std::int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue > INT_MAX || signedValue < INT_MIN)
        return false;
    value = static_cast<int>(signedValue);
    return true;
}

QString RangeMessage(double lo, double hi)
{
    return AfxFormatString(AFX_IDP_PARSE_REAL_RANGE, FormatGeneral15(lo), FormatGeneral15(hi));
}

double LeadingReal(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return CStrtod(bytes.constData(), nullptr);
}

int SineAmplitude(int position, int bitsPerSample)
{
    if (bitsPerSample != 16)
        return position;
    // Only positions 0 to 127 come from the scroll bar; a larger value
    // handed to the dialog is kept from overflowing.
    const std::int64_t units = std::int64_t{position} * 256;
    return static_cast<int>(units > INT_MAX ? INT_MAX : units < INT_MIN ? INT_MIN : units);
}

bool CheckSineFrequency(double frequency, int samplesPerSec, QString& message)
{
    if (frequency == 0.0) {
        message = QStringLiteral("周波数に適切な数値を入力してください。");
        return false;
    }
    const int half = samplesPerSec / 2;
    if (frequency > half) {
        message = QStringLiteral("周波数を%1以下の数値にしてください").arg(half);
        return false;
    }
    return true;
}

bool CheckSineFrequency(const QString& text, int samplesPerSec, double& frequency,
                        QString& message)
{
    frequency = LeadingReal(text);
    return CheckSineFrequency(frequency, samplesPerSec, message);
}
