#pragma once

namespace quintarel::qt {

class FormWindow;

// Presents every form's window to assistive technology through Qt's
// accessibility (AT-SPI on Linux): the controls its design exposes, with their
// roles, names, values and states. A press acts as a click.
void InstallAccessibility();

// The program changed the window's controls: tells assistive technology what
// now reads differently. Nothing travels back as user input.
void AccessibilityChanged(FormWindow& window);

}  // namespace quintarel::qt
