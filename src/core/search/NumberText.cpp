#include "core/search/NumberText.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace vesko {

namespace {

bool isSkipped(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// The leading number of the text in a form the C locale reads
// ("-12.5e3"), or an empty text when the text starts with no number.
QString leadingNumber(QStringView text)
{
    enum class Stage { Start, Integer, Fraction, ExponentStart, ExponentSign, ExponentDigits };
    Stage stage = Stage::Start;
    QString sign;
    QString integer;
    QString fraction;
    QString exponentSign;
    QString exponent;

    for (const QChar c : text) {
        if (isSkipped(c))
            continue;
        const bool digit = isDigit(c);
        bool goesOn = true;
        switch (stage) {
        case Stage::Start:
            if (c == u'+' || c == u'-') {
                sign = c;
                stage = Stage::Integer;
            } else if (digit) {
                integer += c;
                stage = Stage::Integer;
            } else if (c == u'.') {
                stage = Stage::Fraction;
            } else {
                goesOn = false;
            }
            break;
        case Stage::Integer:
            if (digit)
                integer += c;
            else if (c == u'.')
                stage = Stage::Fraction;
            else if ((c == u'e' || c == u'E') && !integer.isEmpty())
                stage = Stage::ExponentStart;
            else
                goesOn = false;
            break;
        case Stage::Fraction:
            if (digit)
                fraction += c;
            else if ((c == u'e' || c == u'E') && !(integer.isEmpty() && fraction.isEmpty()))
                stage = Stage::ExponentStart;
            else
                goesOn = false;
            break;
        case Stage::ExponentStart:
            if (c == u'+' || c == u'-') {
                exponentSign = c;
                stage = Stage::ExponentSign;
            } else if (digit) {
                exponent += c;
                stage = Stage::ExponentDigits;
            } else {
                goesOn = false;
            }
            break;
        case Stage::ExponentSign:
        case Stage::ExponentDigits:
            if (digit) {
                exponent += c;
                stage = Stage::ExponentDigits;
            } else {
                goesOn = false;
            }
            break;
        }
        if (!goesOn)
            break;
    }

    if (integer.isEmpty() && fraction.isEmpty())
        return QString();
    QString number = sign + (integer.isEmpty() ? QStringLiteral("0") : integer) + u'.'
        + (fraction.isEmpty() ? QStringLiteral("0") : fraction);
    if (!exponent.isEmpty())
        number += u'e' + exponentSign + exponent;
    return number;
}

} // namespace

QString numberText(QStringView text)
{
    const QString number = leadingNumber(text);
    if (number.isEmpty())
        return QStringLiteral("0");

    // nearbyint rounds halves to even in the default rounding mode. Overflow
    // reads as an infinity and is clamped below, underflow reads as 0.
    const double value = std::nearbyint(QLocale::c().toDouble(number));
    constexpr double limit = 0x1p63;
    if (value >= limit)
        return QString::number(std::numeric_limits<qint64>::max());
    if (value < -limit)
        return QString::number(std::numeric_limits<qint64>::min());
    return QString::number(static_cast<qint64>(value));
}

} // namespace vesko
