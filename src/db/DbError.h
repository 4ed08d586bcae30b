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

} // namespace vesko::db
