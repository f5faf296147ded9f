#pragma once
// What the 3D panel's mouse and keyboard hand to the interaction logic, and what the logic asks
// of the window in return. Plain data: the widgets translate their events into these.

#include <string>

namespace gm {

enum class PanelButton { None, Left, Right, Middle };

// One mouse event in panel pixels (800 x 600, origin top-left).
struct PanelMouse {
    PanelButton Button = PanelButton::None; // the button pressed or released; None for a move
    int X = 0;
    int Y = 0;
    // Buttons held once the event has happened (a press counts its own button, a release not).
    bool LeftHeld = false;
    bool RightHeld = false;
    bool Shift = false;
    bool Ctrl = false;
};

// Key codes of the keys the panel knows (letters are their upper-case character codes).
namespace PanelKeyCode {
inline constexpr int Space = 32;
inline constexpr int PageUp = 33;
inline constexpr int PageDown = 34;
inline constexpr int End = 35;
inline constexpr int Home = 36;
inline constexpr int Left = 37;
inline constexpr int Up = 38;
inline constexpr int Right = 39;
inline constexpr int Down = 40;
inline constexpr int Delete = 46;
inline constexpr int B = 66;
inline constexpr int C = 67;
inline constexpr int P = 80;
inline constexpr int W = 87;
inline constexpr int Z = 90;
} // namespace PanelKeyCode

// One key press that reached the panel, with the mouse cursor's place in panel pixels at that
// moment (keys that act "at the cursor" use it; it may lie outside the panel).
struct PanelKey {
    int Code = 0;
    bool Shift = false;
    bool Ctrl = false;
    int CursorX = 0;
    int CursorY = 0;
};

// The View menu items the keyboard toggles.
enum class ViewItem { None, Point, WorldLine, Background, Zone };

enum class PanelCursor {
    Unchanged,
    Drag,   // a drag began: four-way cursor, mouse held by the panel
    Normal, // every drag ended: default cursor, mouse released
};

// What the window does after an event: refresh its pages, mark the document, follow the View
// menu, change the cursor, show the cursor's coordinates or a message.
struct PanelResult {
    bool Refresh = false;  // show the page of the selected object again
    bool Modified = false; // the document changed
    // Toggle this View item exactly as clicking it in the menu would (check mark and effect).
    ViewItem Toggle = ViewItem::None;
    // The view flags were changed here: set the View menu's check marks from them.
    bool ViewChecksChanged = false;
    PanelCursor Cursor = PanelCursor::Unchanged;
    bool CoordChanged = false;
    std::string Coord;   // the "Coord:" text, empty when the cursor is off the sphere
    std::string Message; // a failure to show the designer; empty when there is none
};

} // namespace gm
