// Where a window goes when it is centred on a reference rectangle inside a work area: centred,
// but never left of or above the work area, and moved back so that it ends at the work area's
// right and bottom edges when it would pass them.
#pragma once

#include <windows.h>

namespace qz {

inline POINT CentredOrigin(const RECT& window, const RECT& reference, const RECT& work) {
    auto axis = [](LONG size, LONG refLo, LONG refHi, LONG workLo, LONG workHi) {
        LONG pos = refLo + ((refHi - refLo) - size) / 2;
        if (pos + size > workHi) pos = workHi - size;
        if (pos < workLo) pos = workLo;
        return pos;
    };
    LONG width = window.right - window.left;
    LONG height = window.bottom - window.top;
    return POINT{axis(width, reference.left, reference.right, work.left, work.right),
                 axis(height, reference.top, reference.bottom, work.top, work.bottom)};
}

}  // namespace qz
