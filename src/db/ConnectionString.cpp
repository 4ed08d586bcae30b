#include "db/ConnectionString.h"

#include "db/DbError.h"

namespace vesko::db {

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// Reads a value in {} or "" starting at the opening character; returns the
// position after the closing one.
qsizetype readQuoted(const QString &text, qsizetype pos, QString &value)
{
    const QChar close = text.at(pos) == u'{' ? u'}' : u'"';
    for (qsizetype i = pos + 1; i < text.size(); ++i) {
        if (text.at(i) != close) {
            value += text.at(i);
        } else if (i + 1 < text.size() && text.at(i + 1) == close) {
            value += close;
            ++i;
        } else {
            return i + 1;
        }
    }
    throw DbError(text::unterminatedQuote(text.at(pos), text.mid(pos, 20)));
}

} // namespace

ConnectionString::ConnectionString(const QString &text)
    : m_text(text)
{
    // One pass: every character is looked at a bounded number of times.
    const qsizetype size = text.size();
    qsizetype pos = 0;
    while (pos < size) {
        const qsizetype begin = pos;
        qsizetype eq = pos;
        while (eq < size && text.at(eq) != u'=' && text.at(eq) != u';')
            ++eq;
        if (eq == size || text.at(eq) == u';') {
            const QString rest = text.mid(pos, eq - pos).trimmed();
            if (!rest.isEmpty())
                throw DbError(text::notAPair(rest));
            pos = eq + 1;
            continue;
        }
        Pair pair;
        pair.key = text.mid(pos, eq - pos).trimmed();
        pos = eq + 1;
        while (pos < size && isBlank(text.at(pos)))
            ++pos;
        if (pos < size && (text.at(pos) == u'{' || text.at(pos) == u'"')) {
            pos = readQuoted(text, pos, pair.value);
            while (pos < size && isBlank(text.at(pos)))
                ++pos;
            if (pos < size && text.at(pos) != u';')
                throw DbError(text::textAfterQuotedValue(pair.key));
        } else {
            const qsizetype start = pos;
            while (pos < size && text.at(pos) != u';')
                ++pos;
            pair.value = text.mid(start, pos - start).trimmed();
        }
        pos = qMin(pos + 1, size);
        m_pairs.append(pair);
        m_spans.append({begin, pos});
    }
}

bool ConnectionString::contains(const QString &key) const
{
    for (const Pair &pair : m_pairs) {
        if (pair.key.compare(key, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString ConnectionString::value(const QString &key) const
{
    for (auto it = m_pairs.crbegin(); it != m_pairs.crend(); ++it) {
        if (it->key.compare(key, Qt::CaseInsensitive) == 0)
            return it->value;
    }
    return {};
}

QString ConnectionString::without(const QString &key) const
{
    QString rest;
    qsizetype kept = 0;
    for (qsizetype i = 0; i < m_pairs.size(); ++i) {
        if (m_pairs.at(i).key.compare(key, Qt::CaseInsensitive) != 0)
            continue;
        rest += QStringView(m_text).sliced(kept, m_spans.at(i).begin - kept);
        kept = m_spans.at(i).end;
    }
    rest += QStringView(m_text).sliced(kept);
    return rest;
}

QString maskPasswords(const QString &connectionString)
{
    static const QString hidden = QStringLiteral("***");
    try {
        const ConnectionString parsed(connectionString);
        QString shown;
        qsizetype kept = 0;
        for (qsizetype i = 0; i < parsed.m_pairs.size(); ++i) {
            const QString &key = parsed.m_pairs.at(i).key;
            if (key.compare(u"Password", Qt::CaseInsensitive) != 0 && key.compare(u"PWD", Qt::CaseInsensitive) != 0)
                continue;
            const auto &span = parsed.m_spans.at(i);
            const bool closed = connectionString.at(span.end - 1) == u';';
            shown += QStringView(connectionString).sliced(kept, span.begin - kept);
            shown += key + u'=' + hidden + (closed ? ";" : "");
            kept = span.end;
        }
        shown += QStringView(connectionString).sliced(kept);
        return shown;
    } catch (const DbError &) {
        // Its own error text may hold part of the password.
        return hidden;
    }
}

} // namespace vesko::db
