#include "db/Dialect.h"

namespace vesko::db {

namespace {

QString isoDate(const QDate &date)
{
    return date.toString(u"yyyy-MM-dd");
}

} // namespace

QString Dialect::rangeStart(const QString &typed, const QDate &date) const
{
    switch (m_engine) {
    case Engine::Jet:
        return QStringLiteral("# %1 00:00:00 #").arg(typed);
    case Engine::Sqlite:
        return u'\'' + isoDate(date) + u'\'';
    case Engine::Postgres:
    case Engine::Standard:
        break;
    }
    return QStringLiteral("'%1 00:00:00'").arg(isoDate(date));
}

QString Dialect::rangeEnd(const QString &typed, const QDate &date) const
{
    if (m_engine == Engine::Jet)
        return QStringLiteral("# %1 23:59:59#").arg(typed);
    return QStringLiteral("'%1 23:59:59'").arg(isoDate(date));
}

QString Dialect::likeText(const QString &text) const
{
    if (m_engine != Engine::Postgres)
        return text;
    QString escaped = text;
    return escaped.replace(u'\\', QStringLiteral("\\\\"));
}

} // namespace vesko::db
