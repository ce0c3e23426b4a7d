#include "Module1.h"

#include "runtime/Conversions.h"
#include "runtime/Runtime.h"

namespace quintarel {

using rt::CheckedAdd;
using rt::CheckedDiv;
using rt::vbaFpI4;

void ClipCursorToForm(rt::Form& form) {
  rt::Runtime& runtime = form.Rt();
  // The factors are used as read: rounding 7.5 twips per pixel (192 dpi) to 8
  // would give a rectangle that misses the window.
  const double perPixelX = runtime.TwipsPerPixelX();
  const double perPixelY = runtime.TwipsPerPixelY();
  rt::ClipRect clip;
  clip.left = vbaFpI4(CheckedDiv(form.Left(), perPixelX));
  clip.top = vbaFpI4(CheckedDiv(form.Top(), perPixelY));
  // Right and bottom add the already rounded left and top, and are rounded once.
  clip.right = vbaFpI4(CheckedAdd(CheckedDiv(form.Width(), perPixelX), clip.left));
  clip.bottom = vbaFpI4(CheckedAdd(CheckedDiv(form.Height(), perPixelY), clip.top));
  runtime.ClipCursor(clip);
}

void UnclipCursor(rt::Form& form) {
  rt::Runtime& runtime = form.Rt();
  rt::ClipRect clip;
  clip.right = vbaFpI4(CheckedDiv(runtime.ScreenWidth(), runtime.TwipsPerPixelX()));
  clip.bottom = vbaFpI4(CheckedDiv(runtime.ScreenHeight(), runtime.TwipsPerPixelY()));
  runtime.ClipCursor(clip);
}

}  // namespace quintarel
