// Exports and window procedures must not let an exception out: NoThrow runs a body and turns
// any exception (in practice an allocation failure) into the failure value of its result
// type, value-initialised: false, 0 or null.
#pragma once

namespace qz {

template <typename F>
auto NoThrow(F&& body) noexcept -> decltype(body()) {
    try {
        return body();
    } catch (...) {
        return {};
    }
}

}  // namespace qz
