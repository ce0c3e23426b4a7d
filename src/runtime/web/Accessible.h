#pragma once

#include <string>
#include <vector>

#include "runtime/Geometry.h"

namespace quintarel::web {

class FormWindow;

// A window's accessible tree in the page: an element per node of the core's
// tree, lying over the canvas where the node is painted, with the ARIA role,
// name and states a browser's screen reader reads; a command button is the
// page's own button. A screen reader's click on an element presses it, its
// focus there moves the program's focus.
class WindowAccessibility {
 public:
  explicit WindowAccessibility(FormWindow& window);

  // Names, values, states and places as the controls now have them; only what
  // changed reaches the page.
  void Changed();
  // The page's focus to the node the program's focus is on.
  void FocusChanged();

  // From the page: a screen reader pressed (or focused) the node.
  void Pressed(int node);
  void Focused(int node);

 private:
  struct Sent {
    std::string text;
    int flags = -1;
    rt::PixelRect rect;
  };
  FormWindow& window_;
  std::vector<Sent> sent_;
};

}  // namespace quintarel::web
