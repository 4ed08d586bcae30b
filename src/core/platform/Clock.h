#pragma once

#include <QDate>

namespace vesko {

// Gives today's date; tests pass a fixed one.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDate today() const = 0;
};

class SystemClock : public Clock
{
public:
    QDate today() const override { return QDate::currentDate(); }
};

} // namespace vesko
