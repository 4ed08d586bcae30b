#include "db/Snapshot.h"

#include <QDate>
#include <QTime>

#include <charconv>

namespace vesko::db {

namespace {

// Reads 1 to maxDigits digits at pos; false when there is none.
bool readNumber(std::string_view s, std::size_t &pos, std::size_t maxDigits, int &value)
{
    const std::size_t end = std::min(s.size(), pos + maxDigits);
    const auto [ptr, ec] = std::from_chars(s.data() + pos, s.data() + end, value);
    if (ec != std::errc() || ptr == s.data() + pos || value < 0)
        return false;
    pos = std::size_t(ptr - s.data());
    return true;
}

bool readSeparator(std::string_view s, std::size_t &pos, char a, char b = 0)
{
    if (pos < s.size() && (s[pos] == a || (b && s[pos] == b))) {
        ++pos;
        return true;
    }
    return false;
}

} // namespace

QString dateText(std::string_view stored)
{
    std::size_t pos = 0;
    int year = 0, month = 0, day = 0;
    const bool dateRead = readNumber(stored, pos, 4, year) && pos == 4 && readSeparator(stored, pos, '-', '/')
        && readNumber(stored, pos, 2, month) && readSeparator(stored, pos, stored[4])
        && readNumber(stored, pos, 2, day);
    const QDate date(year, month, day);
    if (!dateRead || !date.isValid())
        return QString::fromUtf8(stored.data(), qsizetype(stored.size()));

    QString text = QString::number(year) + u'/' + QString::number(month) + u'/' + QString::number(day);
    if (pos == stored.size())
        return text;
    int hour = 0, minute = 0, second = 0;
    const bool timeRead = readSeparator(stored, pos, ' ', 'T') && readNumber(stored, pos, 2, hour)
        && readSeparator(stored, pos, ':') && readNumber(stored, pos, 2, minute)
        && (!readSeparator(stored, pos, ':') || readNumber(stored, pos, 2, second));
    const bool restIsFractionOrZone =
        pos == stored.size() || stored[pos] == '.' || stored[pos] == '+' || stored[pos] == '-' || stored[pos] == 'Z';
    if (!timeRead || !restIsFractionOrZone || !QTime::isValid(hour, minute, second))
        return QString::fromUtf8(stored.data(), qsizetype(stored.size()));
    if (hour == 0 && minute == 0 && second == 0)
        return text;
    return text + u' ' + QString::number(hour) + u':' + QString::number(minute).rightJustified(2, u'0') + u':'
        + QString::number(second).rightJustified(2, u'0');
}

Snapshot::Snapshot() = default;

Snapshot::Snapshot(const QList<ColumnInfo> &columns)
    : m_open(true)
    , m_columns(columns)
    , m_stores(std::size_t(columns.size()))
{
}

void Snapshot::finish()
{
    for (ColumnStore &store : m_stores)
        store.squeeze();
    m_rows = m_stores.empty() ? 0 : m_stores.front().size();
    m_current = m_rows > 0 ? 0 : -1;
}

std::size_t Snapshot::memoryBytes() const
{
    std::size_t bytes = sizeof(*this);
    for (const ColumnStore &store : m_stores)
        bytes += store.memoryBytes();
    for (const ColumnInfo &column : m_columns)
        bytes += sizeof(column) + std::size_t(column.name.capacity()) * sizeof(QChar);
    return bytes;
}

void Snapshot::checkOpen() const
{
    if (!m_open)
        throw DbError(text::kResultNotOpen);
}

void Snapshot::checkColumn(int column) const
{
    checkOpen();
    if (column < 0 || column >= m_columns.size())
        throw DbError(text::noColumn(column));
}

void Snapshot::checkCell(qint64 row, int column) const
{
    checkColumn(column);
    if (row < 0 || row >= m_rows)
        throw DbError(text::noRow(row));
}

int Snapshot::columnCount() const
{
    checkOpen();
    return int(m_columns.size());
}

qint64 Snapshot::rowCount() const
{
    checkOpen();
    return m_rows;
}

QString Snapshot::columnName(int column) const
{
    checkColumn(column);
    return m_columns.at(column).name;
}

TypeCode Snapshot::columnType(int column) const
{
    checkColumn(column);
    return m_columns.at(column).type;
}

int Snapshot::indexOf(const QString &name) const
{
    checkOpen();
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_columns.at(i).name == name)
            return i;
    }
    return -1;
}

bool Snapshot::isNull(qint64 row, int column) const
{
    checkCell(row, column);
    return m_stores[std::size_t(column)].isNull(row);
}

std::string_view Snapshot::bytes(qint64 row, int column) const
{
    checkCell(row, column);
    return m_stores[std::size_t(column)].at(row);
}

QString Snapshot::text(qint64 row, int column) const
{
    const std::string_view stored = bytes(row, column);
    if (isDate(m_columns.at(column).type) && !stored.empty())
        return dateText(stored);
    return QString::fromUtf8(stored.data(), qsizetype(stored.size()));
}

qint64 Snapshot::widestRow(int column) const
{
    checkColumn(column);
    return m_stores[std::size_t(column)].widestRow();
}

qint64 Snapshot::currentRow() const
{
    checkOpen();
    return m_current;
}

void Snapshot::setCurrentRow(qint64 row)
{
    checkOpen();
    if (row < 0 || row >= m_rows)
        throw DbError(text::noRow(row));
    m_current = row;
}

void Snapshot::moveLast()
{
    checkOpen();
    if (m_rows == 0)
        throw DbError(text::kResultHasNoRows);
    m_current = m_rows - 1;
}

} // namespace vesko::db
