#pragma once
// The View menu's check marks, read by the lists when they draw.

namespace gm {

enum class StopLineMode { Default, Show, Hide };

struct ViewFlags {
    bool WorldLine = true;
    bool Point = false;
    bool Zone = true;
    bool Background = false;
    StopLineMode StopLine = StopLineMode::Default;
};

} // namespace gm
