#pragma once

#include <QString>
#include <QStringView>

namespace vesko {

// The number an integer column is searched for, read leniently from the
// search box's text.
//
// The longest leading part that reads as a decimal number is taken: an
// optional sign, digits, at most one ".", an optional exponent ("e" or "E",
// optional sign, digits). Blanks, tabs and line feeds are skipped wherever
// they stand; the first other character ends the number. No such part (the
// empty text included) reads as 0.
//
// The value is rounded to an integer, a half going to the even neighbour,
// and written in plain decimal with a leading "-" when negative. Values
// beyond the signed 64-bit range are clamped to its ends, so the text is
// always an integer literal that no integer column holds a value beyond.
//
// Examples: "30" -> "30", "3 0" -> "30", "2.5" -> "2", "3.5" -> "4",
// "1,000" -> "1", "abc" -> "0".
QString numberText(QStringView text);

} // namespace vesko
