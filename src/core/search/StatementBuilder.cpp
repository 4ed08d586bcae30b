#include "core/search/StatementBuilder.h"

#include "db/TypeCode.h"
#include "core/search/NumberText.h"

namespace vesko {

namespace {

QString quoted(QString value)
{
    return value.replace(u'\'', QStringLiteral("''"));
}

bool canBeDate(const QString &value)
{
    return !value.contains(u'#') && !value.contains(u'\'');
}

} // namespace

std::optional<QString> composeStatement(const SearchCriteria &criteria)
{
    const QString join = criteria.join == SearchJoin::And ? QStringLiteral(" and ")
                                                          : QStringLiteral(" or ");
    const QString &defaultStatement = criteria.defaultStatement;

    const qsizetype keyword = defaultStatement.indexOf(QStringLiteral("where"), 0, Qt::CaseSensitive);
    QString s = keyword >= 0 ? defaultStatement.left(keyword + 5) + u' ' : defaultStatement + QStringLiteral(" where ");

    for (const SearchRow &row : criteria.rows) {
        if (row.checkValue != 1)
            continue;
        const QString &name = row.caption;
        if (row.typeCode == db::TypeInteger) {
            s += name + u'=' + numberText(row.text) + join;
        } else if (row.typeCode == db::TypeDate) {
            const bool ranged = !row.tag.isEmpty();
            const QString &start = ranged ? row.tag : row.text;
            const QString &end = ranged ? row.toolTipText : row.text;
            if (!canBeDate(start) || !canBeDate(end))
                return std::nullopt;
            s += name + QStringLiteral("  between  # ") + start
                    + QStringLiteral(" 01:01:01 #  and  # ") + end + QStringLiteral(" 23:59:01#")
                    + join;
        } else if (criteria.substringOption != 0) {
            s += name + QStringLiteral(" LIKE '%") + quoted(row.text) + QStringLiteral("%' ") + join;
        } else {
            s += name + QStringLiteral("='") + quoted(row.text) + u'\'' + join;
        }
    }

    if (s.endsWith(QStringLiteral("where ")))
        s = defaultStatement;
    if (s.endsWith(QStringLiteral("and ")))
        s.chop(4);
    if (s.endsWith(QStringLiteral("or ")))
        s.chop(3);
    return s;
}

} // namespace vesko
