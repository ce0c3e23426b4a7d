#pragma once

#include "runtime/Form.h"
#include "runtime/Platform.h"

namespace quintarel {

// Confines the mouse cursor to the form's outer rectangle as it is now.
void ClipCursorToForm(rt::Form& form);
// Lets the cursor move over the whole screen again; the form is not read.
void UnclipCursor(rt::Form& form);

// The rectangle ClipCursorToForm confines to, from the values it reads: the
// form's outer rectangle in twips and the screen's twips per pixel.
rt::ClipRect FormClipRect(double left, double top, double width, double height, double twipsPerPixelX,
                          double twipsPerPixelY);
// The rectangle UnclipCursor hands over: the whole screen as the runtime reports it.
rt::ClipRect ScreenClipRect(double width, double height, double twipsPerPixelX, double twipsPerPixelY);

}  // namespace quintarel
