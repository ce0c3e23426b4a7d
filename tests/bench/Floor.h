#pragma once

// The floor programs: the least a toolkit window does that the game's main
// window also does (open at its place and size, paint one colour, repaint a
// patch when clicked). tools/bench.sh measures the game against them.

// A macro, so that both programs can take it as a narrow or a wide literal.
#define FLOOR_TITLE "Quintarel floor"

namespace floor_window {

// Where the client area opens and its size, as the game's main window at 96 dpi.
inline constexpr int kLeft = 221, kTop = 171, kWidth = 431, kHeight = 237;
inline constexpr unsigned kBackground = 0xFFC0C0;  // RGB
// The patch a click (on release, as the game's click) repaints in the other colour.
inline constexpr int kPatchLeft = 350, kPatchTop = 68, kPatchWidth = 15, kPatchHeight = 23;
inline constexpr unsigned kPatchColours[2] = {0xFFFFFF, 0x0000FF};
// Where the window is clicked in turn, away from the label and the button.
inline constexpr int kClicks[2][2] = {{200, 150}, {260, 150}};

}  // namespace floor_window
