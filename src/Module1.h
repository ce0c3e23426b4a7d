#pragma once

#include "runtime/Form.h"

namespace quintarel {

// Confines the mouse cursor to the form's outer rectangle as it is now.
void ClipCursorToForm(rt::Form& form);
// Lets the cursor move over the whole screen again; the form is not read.
void UnclipCursor(rt::Form& form);

}  // namespace quintarel
