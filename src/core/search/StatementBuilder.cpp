#include "core/search/StatementBuilder.h"

#include "core/search/NumberText.h"
#include "db/TypeCode.h"

#include <QDate>
#include <QRegularExpression>

namespace vesko {

namespace {

QString quoted(QString value)
{
    return value.replace(u'\'', QStringLiteral("''"));
}

QDate readDate(const QString &text)
{
    static const QRegularExpression yearFirst(QStringLiteral(R"(^(\d{4})([-/])(\d{1,2})\2(\d{1,2})$)"));
    static const QRegularExpression monthFirst(QStringLiteral(R"(^(\d{1,2})/(\d{1,2})/(\d{4})$)"));
    if (const QRegularExpressionMatch m = yearFirst.match(text); m.hasMatch())
        return QDate(m.captured(1).toInt(), m.captured(3).toInt(), m.captured(4).toInt());
    if (const QRegularExpressionMatch m = monthFirst.match(text); m.hasMatch())
        return QDate(m.captured(3).toInt(), m.captured(1).toInt(), m.captured(2).toInt());
    return QDate();
}

bool isWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

// The first "where" keyword outside quoted text, or -1.
qsizetype whereKeyword(const QString &statement)
{
    QChar quote;
    for (qsizetype i = 0; i < statement.size(); ++i) {
        const QChar c = statement.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == u'\'' || c == u'"') {
            quote = c;
            continue;
        }
        if ((i == 0 || !isWordCharacter(statement.at(i - 1)))
            && QStringView(statement).mid(i, 5).compare(u"where", Qt::CaseInsensitive) == 0
            && (i + 5 == statement.size() || !isWordCharacter(statement.at(i + 5))))
            return i;
    }
    return -1;
}

} // namespace

std::optional<QString> composeStatement(const SearchCriteria &criteria, const db::Dialect &dialect)
{
    const QString join = criteria.join == SearchJoin::And ? QStringLiteral(" and ")
                                                          : QStringLiteral(" or ");
    const QString &defaultStatement = criteria.defaultStatement;

    const qsizetype keyword = whereKeyword(defaultStatement);
    QString s = keyword >= 0 ? defaultStatement.left(keyword + 5) + u' '
                             : defaultStatement + QStringLiteral(" where ");

    bool anyTicked = false;
    for (const SearchRow &row : criteria.rows) {
        if (!row.ticked)
            continue;
        anyTicked = true;
        const QString &name = row.caption;
        if (row.typeCode == db::TypeInteger) {
            s += name + u'=' + numberText(row.text) + join;
        } else if (row.typeCode == db::TypeDate) {
            const bool ranged = !row.rangeStart.isEmpty();
            const QString start = (ranged ? row.rangeStart : row.text).trimmed();
            const QString end = (ranged ? row.rangeEnd : row.text).trimmed();
            const QDate startDate = readDate(start);
            const QDate endDate = readDate(end);
            if (!startDate.isValid() || !endDate.isValid())
                return std::nullopt;
            s += name + QStringLiteral("  between  ") + dialect.rangeStart(start, startDate)
                    + QStringLiteral("  and  ") + dialect.rangeEnd(end, endDate) + join;
        } else if (criteria.substring) {
            s += name + QStringLiteral(" LIKE '%") + quoted(dialect.likeText(row.text))
                    + QStringLiteral("%' ") + join;
        } else {
            s += name + QStringLiteral("='") + quoted(row.text) + u'\'' + join;
        }
    }

    if (!anyTicked)
        s = defaultStatement;
    if (s.endsWith(QStringLiteral("and ")))
        s.chop(4);
    if (s.endsWith(QStringLiteral("or ")))
        s.chop(3);
    return s;
}

} // namespace vesko
