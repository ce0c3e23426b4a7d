#include "Module1.h"

#include "runtime/Conversions.h"
#include "runtime/Runtime.h"

namespace quintarel {

using rt::CheckedAdd;
using rt::CheckedDiv;
using rt::vbaFpI4;

rt::ClipRect FormClipRect(double left, double top, double width, double height, double twipsPerPixelX,
                          double twipsPerPixelY) {
  // The factors are used as read: rounding 7.5 twips per pixel (192 dpi) to 8
  // would give a rectangle that misses the window.
  rt::ClipRect clip;
  clip.left = vbaFpI4(CheckedDiv(left, twipsPerPixelX));
  clip.top = vbaFpI4(CheckedDiv(top, twipsPerPixelY));
  // Right and bottom add the already rounded left and top, and are rounded once.
  clip.right = vbaFpI4(CheckedAdd(CheckedDiv(width, twipsPerPixelX), clip.left));
  clip.bottom = vbaFpI4(CheckedAdd(CheckedDiv(height, twipsPerPixelY), clip.top));
  return clip;
}

void ClipCursorToForm(rt::Form& form) {
  rt::Runtime& runtime = form.Rt();
  const double perPixelX = runtime.TwipsPerPixelX();
  const double perPixelY = runtime.TwipsPerPixelY();
  const double left = form.Left();
  const double top = form.Top();
  const double width = form.Width();
  const double height = form.Height();
  runtime.ClipCursor(FormClipRect(left, top, width, height, perPixelX, perPixelY));
}

rt::ClipRect ScreenClipRect(double width, double height, double twipsPerPixelX, double twipsPerPixelY) {
  rt::ClipRect clip;
  clip.right = vbaFpI4(CheckedDiv(width, twipsPerPixelX));
  clip.bottom = vbaFpI4(CheckedDiv(height, twipsPerPixelY));
  return clip;
}

void UnclipCursor(rt::Form& form) {
  rt::Runtime& runtime = form.Rt();
  const double perPixelX = runtime.TwipsPerPixelX();
  const double width = runtime.ScreenWidth();
  const double perPixelY = runtime.TwipsPerPixelY();
  const double height = runtime.ScreenHeight();
  runtime.ClipCursor(ScreenClipRect(width, height, perPixelX, perPixelY));
}

}  // namespace quintarel
