#pragma once

namespace vesko::db {

// A column's type, in the numbering the desk's windows were built on; each
// engine maps its own types to one of these.
enum class TypeCode : int {
    Integer = 3,
    Double = 5,
    Date = 7, // a date or a date-time
    Boolean = 11,
    Binary = 128,
    Numeric = 131,
    Text = 202,
};

// What a type means to the program, each meaning in one place. A code that
// none of these names is text: shown as stored, searched for as text and
// sorted as Chinese text.

// Searched for as a whole number: N=<number>.
constexpr bool isInteger(TypeCode type)
{
    return type == TypeCode::Integer;
}

// Shown in the short form of dates, offered the date frame, and searched
// for as a range of whole days.
constexpr bool isDate(TypeCode type)
{
    return type == TypeCode::Date;
}

// Sorted by value.
constexpr bool sortsAsNumber(TypeCode type)
{
    return type == TypeCode::Integer || type == TypeCode::Double || type == TypeCode::Numeric;
}

// Sorted by the stored bytes: dates (year first, fixed widths) and binary.
constexpr bool sortsAsBytes(TypeCode type)
{
    return type == TypeCode::Date || type == TypeCode::Binary;
}

} // namespace vesko::db
