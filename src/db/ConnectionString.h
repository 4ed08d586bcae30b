#pragma once

#include <QList>
#include <QString>

namespace vesko::db {

// A connection string of key=value pairs separated by ';', in the form known
// from OLE DB and ODBC: keys without regard to case, values optionally in {}
// (with }} for a literal }) or in double quotes (with "" for a literal ").
class ConnectionString
{
public:
    // Throws DbError on a pair without '=' or an unterminated quote.
    explicit ConnectionString(const QString &text);

    struct Pair
    {
        QString key;   // as written, trimmed
        QString value; // unquoted and trimmed
    };

    const QList<Pair> &pairs() const { return m_pairs; }
    bool contains(const QString &key) const;
    // The last value given for the key, empty when there is none.
    QString value(const QString &key) const;
    // The original text with every pair of that key cut out, the rest kept
    // exactly as written.
    QString without(const QString &key) const;

private:
    struct Span
    {
        qsizetype begin;
        qsizetype end; // one past the pair's closing ';' or the text's end
    };

    QString m_text;
    QList<Pair> m_pairs;
    QList<Span> m_spans;

    friend QString maskPasswords(const QString &connectionString);
};

// The connection string with the value of every Password and PWD key (any
// case) replaced by ***, for showing in a message; the rest stays as
// written. A text that is not a connection string is hidden whole.
QString maskPasswords(const QString &connectionString);

} // namespace vesko::db
