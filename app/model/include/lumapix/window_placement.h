// The main window's placement as the profile stores it: ten integers,
// "flags:show:minX:minY:maxX:maxY:left:top:right:bottom".
#ifndef LUMAPIX_WINDOW_PLACEMENT_H
#define LUMAPIX_WINDOW_PLACEMENT_H

#include <cstdint>
#include <optional>
#include <string>

namespace lumapix {

struct WindowPlacement {
    enum Flags : int32_t { kRestoreToMaximized = 2 };
    enum Show : int32_t { kShowNormal = 1, kShowMinimized = 2, kShowMaximized = 3 };

    int32_t flags = 0;
    int32_t show = kShowNormal;
    int32_t minX = -1, minY = -1;  // minimised and maximised positions: kept, not used here
    int32_t maxX = -1, maxY = -1;
    int32_t left = 0, top = 0, right = 0, bottom = 0;  // the normal (restored) rectangle

    bool maximized() const { return show == kShowMaximized || (show == kShowMinimized && (flags & kRestoreToMaximized)); }
};

// Exactly ten integers separated by ':' or nothing: a damaged value is ignored.
std::optional<WindowPlacement> ParseWindowPos(const std::string& text);
std::string FormatWindowPos(const WindowPlacement& placement);

}  // namespace lumapix

#endif
