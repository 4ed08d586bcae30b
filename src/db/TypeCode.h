#pragma once

namespace vesko::db {

// Column type codes in the numbering the windows rely on: 3 integer,
// 7 date or date-time; every other code is treated as text.
enum TypeCode : int {
    TypeInteger = 3,
    TypeDouble = 5,
    TypeDate = 7,
    TypeBoolean = 11,
    TypeNumeric = 131,
    TypeBinary = 128,
    TypeText = 202,
};

} // namespace vesko::db
