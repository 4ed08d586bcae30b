#pragma once

#include <stdexcept>

namespace vesko {

// A panel build that exceeds the 16-bit limits of the row index or of a
// scroll bar's range. It ends the build; the caller's error handling decides
// what the user sees.
class SearchPanelOverflow : public std::overflow_error
{
public:
    using std::overflow_error::overflow_error;
};

} // namespace vesko
