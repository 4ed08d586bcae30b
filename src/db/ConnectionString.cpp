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
    throw DbError(QStringLiteral("Connection string: unterminated %1 in the value starting at \"%2\"")
                      .arg(text.at(pos), text.mid(pos, 20)));
}

} // namespace

ConnectionString::ConnectionString(const QString &text)
    : m_text(text)
{
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype begin = pos;
        const qsizetype eq = text.indexOf(u'=', pos);
        const qsizetype semi = text.indexOf(u';', pos);
        if (eq < 0 || (semi >= 0 && semi < eq)) {
            const qsizetype end = semi < 0 ? text.size() : semi;
            if (!text.mid(pos, end - pos).trimmed().isEmpty())
                throw DbError(QStringLiteral("Connection string: \"%1\" is not a key=value pair")
                                  .arg(text.mid(pos, end - pos).trimmed()));
            pos = end + 1;
            continue;
        }
        Pair pair;
        pair.key = text.mid(pos, eq - pos).trimmed();
        pos = eq + 1;
        while (pos < text.size() && isBlank(text.at(pos)))
            ++pos;
        if (pos < text.size() && (text.at(pos) == u'{' || text.at(pos) == u'"')) {
            pos = readQuoted(text, pos, pair.value);
            while (pos < text.size() && isBlank(text.at(pos)))
                ++pos;
            if (pos < text.size() && text.at(pos) != u';')
                throw DbError(QStringLiteral("Connection string: text after the quoted value of \"%1\"")
                                  .arg(pair.key));
        } else {
            const qsizetype end = semi < 0 ? text.size() : semi;
            pair.value = text.mid(pos, end - pos).trimmed();
            pos = end;
        }
        pos = qMin(pos + 1, text.size());
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
    QString rest = m_text;
    for (qsizetype i = m_pairs.size() - 1; i >= 0; --i) {
        if (m_pairs.at(i).key.compare(key, Qt::CaseInsensitive) == 0)
            rest.remove(m_spans.at(i).begin, m_spans.at(i).end - m_spans.at(i).begin);
    }
    return rest;
}

QString maskPasswords(const QString &connectionString)
{
    static const QString hidden = QStringLiteral("***");
    try {
        const ConnectionString parsed(connectionString);
        QString shown = connectionString;
        for (qsizetype i = parsed.m_pairs.size() - 1; i >= 0; --i) {
            const QString &key = parsed.m_pairs.at(i).key;
            if (key.compare(u"Password", Qt::CaseInsensitive) != 0 && key.compare(u"PWD", Qt::CaseInsensitive) != 0)
                continue;
            const auto &span = parsed.m_spans.at(i);
            const bool closed = connectionString.at(span.end - 1) == u';';
            shown.replace(span.begin, span.end - span.begin, key + u'=' + hidden + (closed ? ";" : ""));
        }
        return shown;
    } catch (const DbError &) {
        // Its own error text may hold part of the password.
        return hidden;
    }
}

} // namespace vesko::db
