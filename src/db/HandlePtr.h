#pragma once

#include <memory>

namespace vesko::db {

// Owns a handle of a C library and releases it with that library's own
// function, whatever the function returns.
template<auto Release>
struct ReleaseWith
{
    template<typename Handle>
    void operator()(Handle *handle) const
    {
        Release(handle);
    }
};

template<typename Handle, auto Release>
using HandlePtr = std::unique_ptr<Handle, ReleaseWith<Release>>;

} // namespace vesko::db
