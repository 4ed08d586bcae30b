#include "db/OdbcDataSource.h"

#include "db/ConnectionString.h"
#include "db/DbError.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSet>
#include <QStringView>

#include <optional>

#include <pwd.h>
#include <unistd.h>

namespace vesko::db {

namespace {

// Far beyond any real odbc.ini; a bigger file is not one.
constexpr qint64 kMaxIniBytes = 1 << 20;

using Entries = QList<ConnectionString::Pair>;

QString userIni()
{
    const QString named = qEnvironmentVariable("ODBCINI");
    if (!named.isEmpty())
        return named;
    const passwd *user = getpwuid(getuid());
    return QString::fromLocal8Bit(user && user->pw_dir ? user->pw_dir : "/home") + QStringLiteral("/.odbc.ini");
}

QString systemIni()
{
    const QString folder = qEnvironmentVariable("ODBCSYSINI");
    return (folder.isEmpty() ? QStringLiteral("/etc") : folder) + QStringLiteral("/odbc.ini");
}

// The keys of the first section named name, read as unixODBC reads them:
// lines starting with # or ; are comments, key and value trimmed.
std::optional<Entries> section(const QString &path, const QString &name)
{
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw DbError(QStringLiteral("%1: %2").arg(path, file.errorString()));
    const QByteArray bytes = file.read(kMaxIniBytes + 1);
    if (bytes.size() > kMaxIniBytes)
        throw DbError(
            QStringLiteral("%1 is larger than %2 bytes; it is no ODBC data source file.").arg(path).arg(kMaxIniBytes));
    std::optional<Entries> found;
    for (const QByteArray &raw : bytes.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(u'#') || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[')) {
            if (found)
                break;
            const qsizetype close = line.indexOf(u']');
            if (QStringView(line).mid(1, close < 0 ? -1 : close - 1).trimmed().compare(name, Qt::CaseInsensitive) == 0)
                found.emplace();
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (found && eq > 0)
            found->append({line.left(eq).trimmed(), line.mid(eq + 1).trimmed()});
    }
    return found;
}

QString pairText(const ConnectionString::Pair &pair)
{
    if (!pair.value.contains(u';') && !pair.value.startsWith(u'{'))
        return pair.key + u'=' + pair.value + u';';
    return pair.key + QStringLiteral("={") + QString(pair.value).replace(u'}', QStringLiteral("}}"))
        + QStringLiteral("};");
}

} // namespace

QString withDataSourceWrittenOut(const QString &connectionString)
{
    const ConnectionString given(connectionString);
    const QString name = given.value(QStringLiteral("DSN"));
    if (name.isEmpty())
        return connectionString;
    const QString user = userIni();
    const QString system = systemIni();
    std::optional<Entries> entries = section(user, name);
    if (!entries)
        entries = section(system, name);
    if (!entries)
        throw DbError(
            QStringLiteral("[IM002] The data source \"%1\" is in neither %2 nor %3.").arg(name, user, system));
    QString written = given.without(QStringLiteral("DSN")).trimmed();
    if (!written.isEmpty() && !written.endsWith(u';'))
        written += u';';
    // The first of equal keys counts, in the string as in the file.
    QSet<QString> keys;
    for (const ConnectionString::Pair &pair : given.pairs())
        keys.insert(pair.key.toCaseFolded());
    for (const ConnectionString::Pair &pair : std::as_const(*entries)) {
        if (!keys.contains(pair.key.toCaseFolded())) {
            keys.insert(pair.key.toCaseFolded());
            written += pairText(pair);
        }
    }
    return written;
}

} // namespace vesko::db
