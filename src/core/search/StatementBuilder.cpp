#include "core/search/StatementBuilder.h"

#include "core/search/NumberText.h"
#include "texts/Texts.h"

#include <QDate>
#include <QRegularExpression>
#include <QStringList>

namespace vesko {

namespace {

// The forms a clerk may type a date in, each with the example the refusal shows.
struct DateForm
{
    QRegularExpression pattern;
    int year, month, day; // capture numbers
    QString example;
};

const QList<DateForm> &dateForms()
{
    static const QList<DateForm> forms = {
        {QRegularExpression(QStringLiteral(R"(^(\d{4})-(\d{1,2})-(\d{1,2})$)")), 1, 2, 3, QStringLiteral("2012-3-5")},
        {QRegularExpression(QStringLiteral(R"(^(\d{4})/(\d{1,2})/(\d{1,2})$)")), 1, 2, 3, QStringLiteral("2012/3/5")},
        {QRegularExpression(QStringLiteral(R"(^(\d{4})\.(\d{1,2})\.(\d{1,2})$)")), 1, 2, 3, QStringLiteral("2012.3.5")},
        {QRegularExpression(QStringLiteral(R"(^(\d{4})年(\d{1,2})月(\d{1,2})日$)")), 1, 2, 3,
         QStringLiteral("2012年3月5日")},
        {QRegularExpression(QStringLiteral(R"(^(\d{4})(\d{2})(\d{2})$)")), 1, 2, 3, QStringLiteral("20120305")},
        {QRegularExpression(QStringLiteral(R"(^(\d{1,2})/(\d{1,2})/(\d{4})$)")), 3, 1, 2, text::kMonthFirstExample},
    };
    return forms;
}

QDate readDate(const QString &text)
{
    // Full-width digits and signs, as a Chinese input method may give them, read as plain ones.
    const QString plain = text.normalized(QString::NormalizationForm_KC).trimmed();
    for (const DateForm &form : dateForms()) {
        // \d is ASCII only here: the pattern has no Unicode option.
        if (const QRegularExpressionMatch m = form.pattern.match(plain); m.hasMatch())
            return QDate(m.captured(form.year).toInt(), m.captured(form.month).toInt(), m.captured(form.day).toInt());
    }
    return QDate();
}

QString unreadableDate(const QString &column, const QString &text)
{
    QStringList examples;
    for (const DateForm &form : dateForms())
        examples.append(form.example);
    return text::unreadableDate(column, text, examples.join(u'、'));
}

bool isWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

bool isWordAt(QStringView s, qsizetype at, QStringView word)
{
    return (at == 0 || !isWordCharacter(s.at(at - 1))) && s.mid(at, word.size()).compare(word, Qt::CaseInsensitive) == 0
        && (at + word.size() == s.size() || !isWordCharacter(s.at(at + word.size())));
}

// Where a search's conditions go in a default statement.
struct ConditionPlaces
{
    qsizetype where = -1;       // the outermost "where"
    qsizetype orderBy = -1;     // the outermost "order by": the conditions end before it
    bool inLineComment = false; // the statement ends inside a "--" comment
};

ConditionPlaces conditionPlaces(QStringView s)
{
    ConditionPlaces places;
    int depth = 0;
    qsizetype i = 0;
    while (i < s.size()) {
        const QChar c = s.at(i);
        qsizetype skipTo = -1; // the last character this step passes; none: all the rest
        if (c == u'\'' || c == u'"' || c == u'`' || c == u'[') {
            // A doubled quote inside text reads as two texts in a row: the same span.
            skipTo = s.indexOf(c == u'[' ? u']' : c, i + 1);
        } else if (s.mid(i, 2) == u"--") {
            skipTo = s.indexOf(u'\n', i);
            places.inLineComment = skipTo < 0;
        } else if (s.mid(i, 2) == u"/*") {
            skipTo = s.indexOf(u"*/", i + 2);
            if (skipTo >= 0)
                ++skipTo;
        } else {
            if (c == u'(') {
                ++depth;
            } else if (c == u')') {
                --depth;
            } else if (depth == 0 && places.where < 0 && isWordAt(s, i, u"where")) {
                places.where = i;
            } else if (depth == 0 && isWordAt(s, i, u"order")) {
                qsizetype by = i + 5;
                while (by < s.size() && s.at(by).isSpace())
                    ++by;
                if (by > i + 5 && isWordAt(s, by, u"by")) {
                    places.orderBy = i;
                    break;
                }
            }
            skipTo = i;
        }
        if (skipTo < 0)
            break;
        i = skipTo + 1;
    }
    return places;
}

} // namespace

ComposedSearch composeStatement(const SearchCriteria &criteria, const db::Dialect &dialect)
{
    QStringList clauses;
    for (const SearchRow &row : criteria.rows) {
        if (!row.ticked)
            continue;
        const QString &name = row.caption;
        if (db::isInteger(row.typeCode)) {
            clauses.append(name + u'=' + numberText(row.text));
        } else if (db::isDate(row.typeCode)) {
            const bool ranged = !row.rangeStart.isEmpty();
            const QString start = (ranged ? row.rangeStart : row.text).trimmed();
            const QString end = (ranged ? row.rangeEnd : row.text).trimmed();
            const QDate startDate = readDate(start);
            if (!startDate.isValid())
                return {QString(), unreadableDate(name, start)};
            const QDate endDate = readDate(end);
            if (!endDate.isValid())
                return {QString(), unreadableDate(name, end)};
            // Every engine reads year-month-day, whichever form was typed.
            clauses.append(dialect.dayRange(name, startDate.toString(u"yyyy-M-d"), startDate,
                                            endDate.toString(u"yyyy-M-d"), endDate));
        } else {
            const std::optional<QString> value =
                criteria.substring ? dialect.containsPattern(row.text) : dialect.literal(row.text);
            if (!value)
                return {QString(), text::backslashRefused(name)};
            clauses.append(criteria.substring ? name + QStringLiteral(" LIKE ") + *value + u' ' : name + u'=' + *value);
        }
    }

    const QString &base = criteria.defaultStatement;
    if (clauses.isEmpty())
        return {base, QString()};

    const ConditionPlaces places = conditionPlaces(base);
    const qsizetype conditionsEnd = places.orderBy >= 0 ? places.orderBy : base.size();
    QString s;
    if (places.where >= 0) {
        s = base.left(places.where + 5) + u' ';
    } else {
        s = base.left(conditionsEnd);
        while (s.endsWith(u' ') || s.endsWith(u'\t'))
            s.chop(1);
        if (places.inLineComment)
            s += u'\n';
        s += QStringLiteral(" where ");
    }
    const QString join = criteria.join == SearchJoin::And ? QStringLiteral(" and ") : QStringLiteral(" or ");
    return {s + clauses.join(join) + u' ' + base.mid(conditionsEnd), QString()};
}

} // namespace vesko
