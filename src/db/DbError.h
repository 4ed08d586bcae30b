#pragma once

#include <QString>

#include <stdexcept>

namespace vesko::db {

// A failure of the database layer. detail() keeps the engine's own error
// text so that a window can show it under its fixed message.
class DbError : public std::runtime_error
{
public:
    explicit DbError(const QString &detail)
        : std::runtime_error(detail.toStdString()), m_detail(detail)
    {
    }

    const QString &detail() const { return m_detail; }

private:
    QString m_detail;
};

// A statement with nothing to run (blanks only) is refused, as the desk's
// original engine refused it, rather than passing as an empty success.
inline DbError emptyStatementError()
{
    return DbError(QStringLiteral("The statement is empty."));
}

} // namespace vesko::db
