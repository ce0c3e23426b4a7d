#include "runtime/web/Accessible.h"

#include <emscripten.h>

#include <algorithm>

#include "runtime/Accessible.h"
#include "runtime/Runtime.h"
#include "runtime/web/FormWindow.h"
#include "runtime/web/WebPlatform.h"

namespace quintarel::web {

namespace {

// clang-format off
EM_JS(void, PageAddNode, (int id, int node, int parent, int kind, int row, int column, int button), {
  Quintarel.addNode(id, node, parent, kind, row, column, button);
});
EM_JS(void, PageUpdateNode, (int id, int node, const char* text, int flags, int left, int top, int width,
                             int height), {
  Quintarel.updateNode(id, node, UTF8ToString(text), flags, left, top, width, height);
});
EM_JS(void, PageFocusNode, (int id, int node), { Quintarel.focusNode(id, node); });
// clang-format on

// The states as the page reads them, one bit each.
int Flags(const rt::NodeState& s) {
  return (s.enabled ? 1 : 0) | (s.visible ? 2 : 0) | (s.focusable ? 4 : 0) | (s.checkable ? 8 : 0) |
         (s.checked ? 16 : 0);
}

}  // namespace

WindowAccessibility::WindowAccessibility(FormWindow& window) : window_(window) {
  const rt::Form& form = window_.Form();
  const std::vector<rt::AccessibleNode>& nodes = form.Accessible();
  sent_.resize(nodes.size());
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const rt::AccessibleNode& n = nodes[i];
    PageAddNode(window_.Id(), static_cast<int>(i), n.parent, static_cast<int>(n.kind), n.row, n.column,
                window_.ButtonIndex(n.control));
  }
  Changed();
}

void WindowAccessibility::Changed() {
  const rt::Form& form = window_.Form();
  const rt::ScreenInfo screen = window_.Screen();
  const rt::PixelRect& client = window_.Frame().client;
  for (std::size_t i = 0; i < sent_.size(); ++i) {
    const int node = static_cast<int>(i);
    // A text reads as one, name and value, as in a review of the window.
    Sent now{form.Accessible()[i].kind == rt::NodeKind::Text ? rt::NodeReading(form, node) : rt::NodeName(form, node),
             Flags(rt::NodeStateOf(form, node)), rt::NodeRect(form, node, screen)};
    now.rect.left += client.left;
    now.rect.top += client.top;
    Sent& before = sent_[i];
    if (now.text == before.text && now.flags == before.flags && now.rect == before.rect) continue;
    before = now;
    PageUpdateNode(window_.Id(), node, now.text.c_str(), now.flags, now.rect.left, now.rect.top, now.rect.width,
                   now.rect.height);
  }
}

void WindowAccessibility::FocusChanged() { PageFocusNode(window_.Id(), window_.Form().FocusNode()); }

void WindowAccessibility::Pressed(int node) {
  if (node < 0 || node >= static_cast<int>(sent_.size())) return;
  if (rt::Control* control = window_.Form().Accessible()[static_cast<std::size_t>(node)].control)
    window_.Platform().Runtime().Click(*control);
}

void WindowAccessibility::Focused(int node) {
  if (node < 0 || node >= static_cast<int>(sent_.size()) || node == window_.Form().FocusNode()) return;
  window_.Platform().Runtime().Focus(window_.Form(), node);
}

}  // namespace quintarel::web
