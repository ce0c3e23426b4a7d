#include "runtime/win32/Accessible.h"

#include <oleacc.h>

#include <algorithm>

#include "runtime/Accessible.h"
#include "runtime/Geometry.h"
#include "runtime/win32/FormWindow.h"
#include "runtime/win32/Text.h"

namespace quintarel::win32 {

// What the objects handed out share with the window: nothing once it is gone,
// and the text the alert reads.
struct WindowAccessibility::Shared {
  FormWindow* window = nullptr;
  std::wstring alert;
};

namespace {

// Targets besides the tree's nodes (0 and more).
constexpr int kClient = -1;  // the client area itself
constexpr int kAlert = -2;
constexpr int kNone = -3;

const wchar_t kPressAction[] = L"Stisknout";
const wchar_t kChooseAction[] = L"Zvolit";

const rt::AccessibleNode& At(const rt::Form& form, int node) {
  return form.Accessible()[static_cast<std::size_t>(node)];
}

bool IsContainer(const rt::Form& form, int node) {
  return node >= 0 && (At(form, node).kind == rt::NodeKind::Group || At(form, node).kind == rt::NodeKind::Table);
}

LONG RoleOf(rt::NodeKind kind) {
  switch (kind) {
    case rt::NodeKind::Group:
      return ROLE_SYSTEM_GROUPING;
    case rt::NodeKind::Choice:
      return ROLE_SYSTEM_RADIOBUTTON;
    case rt::NodeKind::Button:
      return ROLE_SYSTEM_PUSHBUTTON;
    case rt::NodeKind::Table:
      return ROLE_SYSTEM_TABLE;
    case rt::NodeKind::ColumnHeader:
      return ROLE_SYSTEM_COLUMNHEADER;
    case rt::NodeKind::RowHeader:
      return ROLE_SYSTEM_ROWHEADER;
    case rt::NodeKind::Cell:
      return ROLE_SYSTEM_CELL;
    case rt::NodeKind::Text:
      break;
  }
  return ROLE_SYSTEM_STATICTEXT;
}

LONG StateOf(const FormWindow& window, int node) {
  const rt::Form& form = window.Form();
  const rt::NodeState s = rt::NodeStateOf(form, node);
  LONG state = 0;
  if (!s.enabled) state |= STATE_SYSTEM_UNAVAILABLE;
  if (!s.visible) state |= STATE_SYSTEM_INVISIBLE;
  if (s.focusable) state |= STATE_SYSTEM_FOCUSABLE;
  // A window in the background has no focus to tell.
  if (s.focused && GetForegroundWindow() == window.Handle()) state |= STATE_SYSTEM_FOCUSED;
  if (s.checked) state |= STATE_SYSTEM_CHECKED;
  if (!s.pressable && !IsContainer(form, node)) state |= STATE_SYSTEM_READONLY;
  return state;
}

HRESULT Text(const std::wstring& text, BSTR* out) {
  *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

// One object: the client area (kClient) or a group or table of the tree. It
// answers for itself (CHILDID_SELF) and for every node's child id, as the
// client area does: a screen reader reaches a node that an event names by the
// window and the child id alone, and a sibling's id (accNavigate) means that
// sibling, whichever object answered. Its children's
// ids are not 1 to their count: it enumerates them itself.
class Object final : public IAccessible, public IEnumVARIANT {
 public:
  Object(std::shared_ptr<WindowAccessibility::Shared> shared, int node) : shared_(std::move(shared)), node_(node) {}

  // IUnknown.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == __uuidof(IUnknown) || riid == __uuidof(IDispatch) || riid == __uuidof(IAccessible)) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    if (riid == __uuidof(IEnumVARIANT)) {
      *out = static_cast<IEnumVARIANT*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
  }

  // IEnumVARIANT: the children, as get_accChild gives them.
  HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* out, ULONG* fetched) override {
    if (!out) return E_POINTER;
    if (!Window()) return CO_E_OBJNOTCONNECTED;
    const std::vector<int> children = Children(node_);
    ULONG got = 0;
    for (; got < count && cursor_ < children.size(); ++got, ++cursor_) out[got] = ChildVariant(children[cursor_]);
    if (fetched) *fetched = got;
    return got == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    if (!Window()) return CO_E_OBJNOTCONNECTED;
    const std::size_t size = Children(node_).size();
    cursor_ = std::min<std::size_t>(cursor_ + count, size);
    return cursor_ < size || count == 0 ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    cursor_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** out) override {
    if (!out) return E_POINTER;
    auto* copy = new Object(shared_, node_);
    copy->cursor_ = cursor_;
    *out = copy;
    return S_OK;
  }

  // IDispatch: screen readers call IAccessible's methods directly.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  // IAccessible.
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    if (!parent) return E_POINTER;
    *parent = nullptr;
    FormWindow* window = Window();
    if (!window) return CO_E_OBJNOTCONNECTED;
    if (node_ == kClient)
      return AccessibleObjectFromWindow(window->Handle(), static_cast<DWORD>(OBJID_WINDOW), __uuidof(IDispatch),
                                        reinterpret_cast<void**>(parent));
    *parent = new Object(shared_, At(window->Form(), node_).parent);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    if (!count) return E_POINTER;
    if (!Window()) return CO_E_OBJNOTCONNECTED;
    *count = static_cast<LONG>(Children(node_).size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!Window()) return CO_E_OBJNOTCONNECTED;
    const int target = Target(child);
    if (target == kNone) return E_INVALIDARG;
    if (target == node_) return S_FALSE;
    VARIANT v = ChildVariant(target);
    if (v.vt != VT_DISPATCH) return S_FALSE;
    *out = v.pdispVal;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    return Answer(child, name, [&](const FormWindow& w, int t) -> std::wstring {
      if (t == kClient) return Widen(rt::AccessibleTitle(w.Form()));
      if (t == kAlert) return shared_->alert;
      return Widen(rt::NodeName(w.Form(), t));
    });
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    if (!value) return E_POINTER;
    *value = nullptr;
    FormWindow* window = Window();
    if (!window) return CO_E_OBJNOTCONNECTED;
    const int target = Target(child);
    if (target == kNone) return E_INVALIDARG;
    if (target < 0 || At(window->Form(), target).kind != rt::NodeKind::Text) return S_FALSE;
    return Text(Widen(rt::NodeValue(window->Form(), target)), value);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT, BSTR* text) override { return Nothing(text); }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (!role) return E_POINTER;
    VariantInit(role);
    FormWindow* window = Window();
    if (!window) return CO_E_OBJNOTCONNECTED;
    const int target = Target(child);
    if (target == kNone) return E_INVALIDARG;
    role->vt = VT_I4;
    role->lVal = target == kClient  ? ROLE_SYSTEM_CLIENT
                 : target == kAlert ? ROLE_SYSTEM_ALERT
                                    : RoleOf(At(window->Form(), target).kind);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    if (!state) return E_POINTER;
    VariantInit(state);
    FormWindow* window = Window();
    if (!window) return CO_E_OBJNOTCONNECTED;
    const int target = Target(child);
    if (target == kNone) return E_INVALIDARG;
    state->vt = VT_I4;
    if (target == kClient) {
      state->lVal = STATE_SYSTEM_FOCUSABLE;
      if (GetForegroundWindow() == window->Handle() && window->Form().FocusNode() < 0)
        state->lVal |= STATE_SYSTEM_FOCUSED;
    } else if (target == kAlert) {
      state->lVal = STATE_SYSTEM_READONLY | (shared_->alert.empty() ? STATE_SYSTEM_INVISIBLE : 0);
    } else {
      state->lVal = StateOf(*window, target);
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* text) override { return Nothing(text); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) override {
    if (file) *file = nullptr;
    if (topic) *topic = 0;
    return DISP_E_MEMBERNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT, BSTR* text) override { return Nothing(text); }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    if (!focus) return E_POINTER;
    VariantInit(focus);
    FormWindow* window = Window();
    if (!window) return CO_E_OBJNOTCONNECTED;
    if (GetForegroundWindow() != window->Handle()) return S_FALSE;
    const int node = window->Form().FocusNode();
    if (node < 0) {
      if (node_ != kClient) return S_FALSE;
      focus->vt = VT_I4;
      focus->lVal = CHILDID_SELF;
      return S_OK;
    }
    const int child = ChildToward(node);
    if (child == kNone) return S_FALSE;
    *focus = ChildVariant(child);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    if (!selection) return E_POINTER;
    VariantInit(selection);
    return Window() ? S_FALSE : CO_E_OBJNOTCONNECTED;
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    if (!action) return E_POINTER;
    *action = nullptr;
    FormWindow* window = Window();
    if (!window) return CO_E_OBJNOTCONNECTED;
    const int target = Target(child);
    if (target == kNone) return E_INVALIDARG;
    if (target < 0) return S_FALSE;
    switch (At(window->Form(), target).kind) {
      case rt::NodeKind::Button:
        return Text(kPressAction, action);
      case rt::NodeKind::Choice:
        return Text(kChooseAction, action);
      default:
        return S_FALSE;
    }
  }
  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
    FormWindow* window = Window();
    if (!window) return CO_E_OBJNOTCONNECTED;
    const int target = Target(child);
    if (target == kNone) return E_INVALIDARG;
    if (target < 0 || (flags & SELFLAG_TAKEFOCUS) == 0) return DISP_E_MEMBERNOTFOUND;
    // Whether the node takes the focus is the runtime's to decide.
    PostMessageW(window->Handle(), WindowAccessibility::kFocusMessage, static_cast<WPARAM>(target), 0);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override {
    if (!left || !top || !width || !height) return E_POINTER;
    *left = *top = *width = *height = 0;
    FormWindow* window = Window();
    if (!window) return CO_E_OBJNOTCONNECTED;
    const int target = Target(child);
    if (target == kNone) return E_INVALIDARG;
    if (target == kAlert) return S_OK;
    RECT r{};
    if (target == kClient) {
      GetClientRect(window->Handle(), &r);
    } else {
      const rt::PixelRect p = rt::NodeRect(window->Form(), target, window->Screen());
      r = {p.left, p.top, p.left + p.width, p.top + p.height};
    }
    MapWindowPoints(window->Handle(), nullptr, reinterpret_cast<POINT*>(&r), 2);
    *left = r.left;
    *top = r.top;
    *width = r.right - r.left;
    *height = r.bottom - r.top;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
    if (!end) return E_POINTER;
    VariantInit(end);
    FormWindow* window = Window();
    if (!window) return CO_E_OBJNOTCONNECTED;
    const int from = Target(start);
    if (from == kNone) return E_INVALIDARG;
    std::vector<int> list;
    int at = -1;
    switch (direction) {
      case NAVDIR_FIRSTCHILD:
      case NAVDIR_LASTCHILD:
        list = Children(from);
        at = direction == NAVDIR_FIRSTCHILD ? 0 : static_cast<int>(list.size()) - 1;
        break;
      case NAVDIR_NEXT:
      case NAVDIR_PREVIOUS: {
        if (from == kClient) return S_FALSE;
        list = Children(from == kAlert ? kClient : At(window->Form(), from).parent);
        const auto it = std::find(list.begin(), list.end(), from);
        at = static_cast<int>(it - list.begin()) + (direction == NAVDIR_NEXT ? 1 : -1);
        break;
      }
      default:
        return S_FALSE;
    }
    if (at < 0 || at >= static_cast<int>(list.size())) return S_FALSE;
    *end = ChildVariant(list[static_cast<std::size_t>(at)]);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* hit) override {
    if (!hit) return E_POINTER;
    VariantInit(hit);
    FormWindow* window = Window();
    if (!window) return CO_E_OBJNOTCONNECTED;
    POINT p{x, y};
    ScreenToClient(window->Handle(), &p);
    RECT client{};
    GetClientRect(window->Handle(), &client);
    if (!PtInRect(&client, p)) return S_FALSE;
    // Any node there, disabled ones too (the click's hit test passes them
    // over): the smallest, where one lies over another.
    const rt::Form& form = window->Form();
    int node = -1;
    long area = 0;
    for (std::size_t n = 0; n < form.Accessible().size(); ++n) {
      const int i = static_cast<int>(n);
      const rt::PixelRect r = rt::NodeRect(form, i, window->Screen());
      if (!Holds(i) || !rt::NodeStateOf(form, i).visible || !r.Contains({p.x, p.y})) continue;
      if (node < 0 || static_cast<long>(r.width) * r.height < area) {
        node = i;
        area = static_cast<long>(r.width) * r.height;
      }
    }
    const int child = node >= 0 ? ChildToward(node) : kNone;
    if (child != kNone) {
      *hit = ChildVariant(child);
      return S_OK;
    }
    if (node_ != kClient) {
      const rt::PixelRect own = rt::NodeRect(form, node_, window->Screen());
      if (!own.Contains({p.x, p.y})) return S_FALSE;
    }
    hit->vt = VT_I4;
    hit->lVal = CHILDID_SELF;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    FormWindow* window = Window();
    if (!window) return CO_E_OBJNOTCONNECTED;
    const int target = Target(child);
    if (target == kNone) return E_INVALIDARG;
    if (target < 0) return DISP_E_MEMBERNOTFOUND;
    const rt::NodeState state = rt::NodeStateOf(window->Form(), target);
    if (!state.pressable) return DISP_E_MEMBERNOTFOUND;
    if (!state.enabled || !state.visible) return E_FAIL;
    PostMessageW(window->Handle(), WindowAccessibility::kPressMessage, static_cast<WPARAM>(target), 0);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

 private:
  ~Object() = default;

  FormWindow* Window() const { return shared_->window; }
  int AlertId() const { return static_cast<int>(Window()->Form().Accessible().size()) + 1; }

  // Whether the node lies inside this object.
  bool Holds(int node) const {
    if (node_ == kClient) return true;
    const rt::Form& form = Window()->Form();
    for (int n = At(form, node).parent; n >= 0; n = At(form, n).parent)
      if (n == node_) return true;
    return false;
  }

  // What a child id names here, or kNone.
  int Target(const VARIANT& child) const {
    if (child.vt != VT_I4) return kNone;
    if (child.lVal == CHILDID_SELF) return node_;
    const int count = static_cast<int>(Window()->Form().Accessible().size());
    if (child.lVal == AlertId()) return kAlert;
    const int node = static_cast<int>(child.lVal) - 1;
    return node >= 0 && node < count ? node : kNone;
  }

  // The objects directly in the target, in reading order.
  std::vector<int> Children(int target) const {
    if (target == kAlert) return {};
    const rt::Form& form = Window()->Form();
    if (target != kClient) return At(form, target).children;
    std::vector<int> top = rt::TopNodes(form);
    top.push_back(kAlert);
    return top;
  }

  // The child of this object that is the node or holds it, or kNone.
  int ChildToward(int node) const {
    if (!Holds(node)) return kNone;
    const rt::Form& form = Window()->Form();
    while (At(form, node).parent != (node_ == kClient ? -1 : node_)) node = At(form, node).parent;
    return node;
  }

  // A child as a screen reader takes it: a group or a table an object of its
  // own, anything else a child id. A command button too: Wine's standard
  // object of a BUTTON window reads as a client area and cannot be pressed.
  VARIANT ChildVariant(int target) const {
    VARIANT v;
    VariantInit(&v);
    if (target >= 0 && IsContainer(Window()->Form(), target) && target != node_) {
      v.vt = VT_DISPATCH;
      v.pdispVal = new Object(shared_, target);
      return v;
    }
    v.vt = VT_I4;
    v.lVal = target == kAlert ? AlertId() : target + 1;
    return v;
  }

  template <typename Read>
  HRESULT Answer(const VARIANT& child, BSTR* out, Read read) {
    if (!out) return E_POINTER;
    *out = nullptr;
    FormWindow* window = Window();
    if (!window) return CO_E_OBJNOTCONNECTED;
    const int target = Target(child);
    if (target == kNone) return E_INVALIDARG;
    return Text(read(*window, target), out);
  }

  HRESULT Nothing(BSTR* out) const {
    if (!out) return E_POINTER;
    *out = nullptr;
    return Window() ? S_FALSE : CO_E_OBJNOTCONNECTED;
  }

  LONG refs_ = 1;
  std::size_t cursor_ = 0;
  std::shared_ptr<WindowAccessibility::Shared> shared_;
  int node_;
};

}  // namespace

WindowAccessibility::WindowAccessibility(FormWindow& window) : window_(window), shared_(std::make_shared<Shared>()) {
  shared_->window = &window;
  seen_ = Read();
}

WindowAccessibility::~WindowAccessibility() { shared_->window = nullptr; }

LRESULT WindowAccessibility::Respond(WPARAM wParam, LPARAM lParam) {
  // The object id arrives as a DWORD in a 64-bit lParam: compared as sent.
  if (static_cast<LONG>(static_cast<DWORD>(lParam)) != OBJID_CLIENT)
    return DefWindowProcW(window_.Handle(), WM_GETOBJECT, wParam, lParam);
  auto* root = new Object(shared_, kClient);
  const LRESULT result = LresultFromObject(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(root));
  root->Release();
  return result;
}

std::vector<WindowAccessibility::Seen> WindowAccessibility::Read() const {
  const rt::Form& form = window_.Form();
  std::vector<Seen> seen;
  for (std::size_t node = 0; node < form.Accessible().size(); ++node) {
    const int n = static_cast<int>(node);
    seen.push_back({Widen(rt::NodeName(form, n)), Widen(rt::NodeValue(form, n)), StateOf(window_, n)});
  }
  return seen;
}

void WindowAccessibility::Changed() {
  std::vector<Seen> now = Read();
  for (std::size_t node = 0; node < now.size(); ++node) {
    const LONG id = static_cast<LONG>(node) + 1;
    if (now[node].name != seen_[node].name) NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window_.Handle(), OBJID_CLIENT, id);
    if (now[node].value != seen_[node].value)
      NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, window_.Handle(), OBJID_CLIENT, id);
    if (now[node].state != seen_[node].state)
      NotifyWinEvent(EVENT_OBJECT_STATECHANGE, window_.Handle(), OBJID_CLIENT, id);
  }
  seen_ = std::move(now);
}

void WindowAccessibility::FocusMoved() {
  Changed();
  const rt::Form& form = window_.Form();
  const int node = form.FocusNode();
  if (node < 0) return;
  if (HWND button = window_.ButtonOf(At(form, node).control)) {
    NotifyWinEvent(EVENT_OBJECT_FOCUS, button, OBJID_CLIENT, CHILDID_SELF);
    return;
  }
  NotifyWinEvent(EVENT_OBJECT_FOCUS, window_.Handle(), OBJID_CLIENT, node + 1);
}

void WindowAccessibility::Announce(std::string_view text) {
  Changed();
  shared_->alert = Widen(text);
  const LONG id = static_cast<LONG>(window_.Form().Accessible().size()) + 1;
  NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window_.Handle(), OBJID_CLIENT, id);
  NotifyWinEvent(EVENT_SYSTEM_ALERT, window_.Handle(), OBJID_CLIENT, id);
}

}  // namespace quintarel::win32
