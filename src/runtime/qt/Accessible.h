#pragma once

#include <string>

namespace quintarel::qt {

class FormWindow;

// Presents every form's window to assistive technology through Qt's
// accessibility (AT-SPI on Linux): the objects of the form's accessible tree,
// with their roles, names, values and states. A press acts as a click.
void InstallAccessibility();

// The program changed the window's controls: tells assistive technology what
// now reads differently. Nothing travels back as user input.
void AccessibilityChanged(FormWindow& window);

// The runtime moved the keyboard focus to another painted object of the window.
void AccessibleFocusMoved(FormWindow& window);

// Tells a screen reader user the text: a notification of the window's that
// shows with the text as its name.
void AccessibleAnnounce(FormWindow& window, const std::string& text);

}  // namespace quintarel::qt
