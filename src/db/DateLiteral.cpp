#include "db/DateLiteral.h"

#include "db/DbError.h"

#include <QDate>
#include <QRegularExpression>
#include <QTime>

namespace vesko::db {

namespace {

QString isoLiteral(const QString &content)
{
    static const QRegularExpression form(QStringLiteral(
        R"(^\s*(\d{4})([-/])(\d{1,2})\2(\d{1,2})(?:\s+(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?)?\s*$)"));
    const QRegularExpressionMatch m = form.match(content);
    const QDate date = m.hasMatch()
        ? QDate(m.captured(1).toInt(), m.captured(3).toInt(), m.captured(4).toInt())
        : QDate();
    if (!date.isValid())
        throw DbError(QStringLiteral("Invalid date literal #%1#").arg(content));
    QString literal = date.toString(u"yyyy-MM-dd");
    if (m.hasCaptured(5)) {
        const QTime time(m.captured(5).toInt(), m.captured(6).toInt(), m.captured(7).toInt());
        if (!time.isValid())
            throw DbError(QStringLiteral("Invalid date literal #%1#").arg(content));
        literal += u' ' + time.toString(u"HH:mm:ss");
    }
    return u'\'' + literal + u'\'';
}

// Position after the quoted run that starts at pos; a doubled closing quote
// stands for itself and does not end the run.
qsizetype skipQuoted(const QString &text, qsizetype pos, QChar close)
{
    for (qsizetype i = pos + 1; i < text.size(); ++i) {
        if (text.at(i) == close) {
            if (i + 1 < text.size() && text.at(i + 1) == close && close != u']')
                ++i;
            else
                return i + 1;
        }
    }
    return text.size();
}

} // namespace

QString rewriteDateLiterals(const QString &statement)
{
    if (!statement.contains(u'#'))
        return statement;
    QString out;
    out.reserve(statement.size() + 16);
    qsizetype pos = 0;
    while (pos < statement.size()) {
        const QChar c = statement.at(pos);
        qsizetype next = pos + 1;
        if (c == u'\'' || c == u'"' || c == u'`') {
            next = skipQuoted(statement, pos, c);
        } else if (c == u'[') {
            next = skipQuoted(statement, pos, u']');
        } else if (c == u'#') {
            const qsizetype close = statement.indexOf(u'#', pos + 1);
            if (close >= 0) {
                out += isoLiteral(statement.mid(pos + 1, close - pos - 1));
                pos = close + 1;
                continue;
            }
        }
        out += QStringView(statement).mid(pos, next - pos);
        pos = next;
    }
    return out;
}

} // namespace vesko::db
