#include "effects/DataExchange.h"

#include "framework/DecimalNumber.h"
#include "res/Strings.h"
#include "res/resource.h"

#include <charconv>
#include <climits>
#include <cstdint>

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
    return ParseDecimal(text.toStdString(), value);
}

bool ParseInt(const QString& text, int& value)
{
    return ParseDecimalInt(text.toStdString(), value);
}

QString RangeMessage(double lo, double hi)
{
    return AfxFormatString(AFX_IDP_PARSE_REAL_RANGE, FormatGeneral15(lo), FormatGeneral15(hi));
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
    if (!ParseReal(text, frequency))
        frequency = 0.0;
    return CheckSineFrequency(frequency, samplesPerSec, message);
}
