#include "lumapix/window_placement.h"

#include <charconv>
#include <cstdio>

namespace lumapix {

std::optional<WindowPlacement> ParseWindowPos(const std::string& text) {
    int32_t values[10];
    const char* p = text.data();
    const char* end = p + text.size();
    for (int i = 0; i < 10; ++i) {
        if (i > 0) {
            if (p == end || *p != ':') return std::nullopt;
            ++p;
        }
        auto [next, error] = std::from_chars(p, end, values[i]);
        if (error != std::errc()) return std::nullopt;
        p = next;
    }
    if (p != end) return std::nullopt;  // an eleventh field, or trailing text
    WindowPlacement w;
    w.flags = values[0];
    w.show = values[1];
    w.minX = values[2];
    w.minY = values[3];
    w.maxX = values[4];
    w.maxY = values[5];
    w.left = values[6];
    w.top = values[7];
    w.right = values[8];
    w.bottom = values[9];
    return w;
}

std::string FormatWindowPos(const WindowPlacement& w) {
    char text[160];
    int n = std::snprintf(text, sizeof text, "%i:%i:%i:%i:%i:%i:%i:%i:%i:%i", w.flags, w.show, w.minX, w.minY,
                          w.maxX, w.maxY, w.left, w.top, w.right, w.bottom);
    return n > 0 ? std::string(text, static_cast<size_t>(n)) : std::string();
}

}  // namespace lumapix
