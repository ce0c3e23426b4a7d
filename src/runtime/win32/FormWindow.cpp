#include "runtime/win32/FormWindow.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <tuple>
#include <vector>

#include "app/Icon.h"
#include "runtime/Accessible.h"
#include "runtime/Color.h"
#include "runtime/Geometry.h"
#include "runtime/Runtime.h"
#include "runtime/win32/Text.h"
#include "runtime/win32/Win32Platform.h"

namespace quintarel::win32 {

namespace {

constexpr int kIconResource = 1;
// The classic 3-D edge colours of a frame's etched border.
constexpr COLORREF kEdgeShadow = RGB(128, 128, 128);
constexpr COLORREF kEdgeHighlight = RGB(255, 255, 255);
// Where a frame's title starts, from the frame's left edge.
constexpr int kFrameTitleInset = 8;

COLORREF ToColorRef(rt::Color color) {
  const rt::Rgb rgb = rt::ResolveColor(color);
  return RGB(rgb.r, rgb.g, rgb.b);
}

RECT ToRect(const rt::PixelRect& r) { return {r.left, r.top, r.left + r.width, r.top + r.height}; }

struct Styles {
  DWORD style = 0;
  DWORD exStyle = 0;
};

Styles StylesFor(const rt::FormDesign& design) {
  Styles s;
  s.style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  if (design.borderStyle == 4) {
    // A fixed tool window: a narrow caption with the close box only.
    s.exStyle |= WS_EX_TOOLWINDOW;
  } else {
    if (design.borderStyle == 2) s.style |= WS_THICKFRAME;
    if (design.minButton) s.style |= WS_MINIMIZEBOX;
    if (design.maxButton) s.style |= WS_MAXIMIZEBOX;
  }
  return s;
}

// Brushes and pens, made once for each colour and width and kept while the
// program runs: a window uses a handful, and painting creates none.
HBRUSH SolidBrush(COLORREF color) {
  static std::map<COLORREF, HBRUSH> brushes;
  auto [it, added] = brushes.try_emplace(color);
  if (added) it->second = CreateSolidBrush(color);
  return it->second;
}

HPEN SolidPen(int style, int width, COLORREF color) {
  static std::map<std::tuple<int, int, COLORREF>, HPEN> pens;
  auto [it, added] = pens.try_emplace({style, width, color});
  if (added) it->second = CreatePen(style, width, color);
  return it->second;
}

// The program's icon as a 32-bit premultiplied bitmap, selected into a memory
// DC of its own: made on first use and kept, and blended in one call.
struct IconBitmap {
  HDC dc = nullptr;
  int width = 0, height = 0;
};

const IconBitmap& Icon() {
  static const IconBitmap icon = [] {
    const IconImage image = ProgramIcon();
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) return IconBitmap{};
    auto* pixels = static_cast<std::uint32_t*>(bits);
    // A pixel is either transparent or fully drawn.
    for (int i = 0; i < image.width * image.height; ++i) {
      const std::uint32_t argb = image.argb[i];
      pixels[i] = (argb >> 24) == 0 ? 0u : (0xFF000000u | (argb & 0xFFFFFFu));
    }
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, bitmap);
    return IconBitmap{dc, image.width, image.height};
  }();
  return icon;
}

// Selects a kept (or stock) object for a scope.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ object) : dc_(dc) { previous_ = SelectObject(dc, object); }
  ~Selected() { SelectObject(dc_, previous_); }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

void Fill(HDC dc, const RECT& r, COLORREF color) { FillRect(dc, &r, SolidBrush(color)); }

// The key a key-down message stands for. Virtual-key codes name positions: the
// top row's digits are VK '1' to '7' whatever the layout puts on them (Czech
// gives digits only with Shift), the keypad's are VK_NUMPAD1 to 7 with Num Lock.
std::optional<rt::Key> KeyOf(WPARAM vk) {
  if (vk >= '1' && vk <= '7') return static_cast<rt::Key>(vk - '0');
  if (vk >= VK_NUMPAD1 && vk <= VK_NUMPAD7) return static_cast<rt::Key>(vk - VK_NUMPAD0);
  if (vk == VK_RETURN) return rt::Key::Enter;  // the keypad's Enter too
  if (vk == VK_SPACE) return rt::Key::Space;
  if (vk == VK_TAB) return rt::Key::Tab;  // Shift+Tab: Tab with Shift held
  if (vk == VK_LEFT) return rt::Key::Left;
  if (vk == VK_RIGHT) return rt::Key::Right;
  if (vk == VK_UP) return rt::Key::Up;
  if (vk == VK_DOWN) return rt::Key::Down;
  return std::nullopt;
}

int HeldModifiers() {
  const auto held = [](int vk) { return (GetKeyState(vk) & 0x8000) != 0; };
  int modifiers = 0;
  if (held(VK_SHIFT)) modifiers |= rt::keymod::Shift;
  if (held(VK_CONTROL)) modifiers |= rt::keymod::Control;
  if (held(VK_MENU)) modifiers |= rt::keymod::Alt;
  if (held(VK_LWIN) || held(VK_RWIN)) modifiers |= rt::keymod::System;
  return modifiers;
}

void Outline(HDC dc, const RECT& r, COLORREF color) { FrameRect(dc, &r, SolidBrush(color)); }

}  // namespace

FormWindow::FormWindow(Win32Platform& platform, rt::Runtime& runtime, rt::Form& form, HWND owner,
                       const rt::PixelRect& outer)
    : platform_(platform), runtime_(runtime), form_(form), screen_(platform.Screen()) {
  const rt::FormDesign& design = form.Design();
  HINSTANCE instance = platform.Instance();
  className_ = L"Quintarel." + Widen(design.name);

  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &FormWindow::Procedure;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.lpszClassName = className_.c_str();
  if (design.icon) {
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kIconResource));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  }
  RegisterClassExW(&wc);

  const Styles styles = StylesFor(design);
  // A window without a taskbar entry is owned by the main window.
  HWND parent = design.showInTaskbar ? nullptr : owner;
  CreateWindowExW(styles.exStyle, className_.c_str(), Widen(design.caption).c_str(), styles.style, outer.left,
                  outer.top, outer.width, outer.height, parent, nullptr, instance, this);
  if (!hwnd_) {
    createError_ = GetLastError();
    return;
  }
  if (design.icon) {
    // Also as the window's own icons, which task switchers ask the window for.
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(wc.hIcon));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(wc.hIconSm));
  }
  CreateButtons();
  accessibility_ = std::make_unique<WindowAccessibility>(*this);
}

FormWindow::~FormWindow() {
  if (buffer_) {
    SelectObject(buffer_, bufferPrevious_);
    DeleteObject(bufferBitmap_);
    DeleteDC(buffer_);
  }
  accessibility_.reset();
  if (hwnd_) DestroyWindow(hwnd_);
  UnregisterClassW(className_.c_str(), platform_.Instance());
}

rt::FrameMargins FormWindow::Frame(const rt::FormDesign& design) {
  // At the system dpi, as the client area is laid out: the frame that the
  // window gets on the primary monitor.
  RECT r{0, 0, 0, 0};
  const Styles styles = StylesFor(design);
  AdjustWindowRectEx(&r, styles.style, FALSE, styles.exStyle);
  return {-r.left, -r.top, r.right, r.bottom};
}

void FormWindow::CreateButtons() {
  for (const auto& control : form_.Controls()) {
    if (control->Kind() != rt::ControlKind::CommandButton) continue;
    const rt::PixelRect r = rt::ControlRect(*control, screen_);
    DWORD style = WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON;
    if (control->Visible()) style |= WS_VISIBLE;
    if (!control->Enabled()) style |= WS_DISABLED;
    HWND button = CreateWindowExW(0, L"BUTTON", Widen(control->Caption()).c_str(), style, r.left, r.top, r.width,
                                  r.height, hwnd_, nullptr, platform_.Instance(), nullptr);
    SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(platform_.FontCache().Get(control->Font(), screen_)),
                 FALSE);
    buttons_.push_back({control.get(), button});
  }
}

void FormWindow::Show() {
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  UpdateWindow(hwnd_);
}

void FormWindow::Changed(const rt::Control* control) {
  for (const Button& button : buttons_) {
    if (button.control != control) continue;
    SetWindowTextW(button.hwnd, Widen(control->Caption()).c_str());
    EnableWindow(button.hwnd, control->Enabled());
    ShowWindow(button.hwnd, control->Visible() ? SW_SHOW : SW_HIDE);
  }
  // A button repaints itself; what a windowless control covers is painted anew.
  if (!control) {
    InvalidateRect(hwnd_, nullptr, FALSE);
  } else if (control->Kind() != rt::ControlKind::CommandButton) {
    const RECT r = ToRect(rt::PaintRect(*control, screen_));
    InvalidateRect(hwnd_, &r, FALSE);
  }
  UpdateFocusFrame();
  if (accessibility_) accessibility_->Changed();
}

HWND FormWindow::ButtonOf(const rt::Control* control) const {
  for (const Button& button : buttons_)
    if (control && button.control == control) return button.hwnd;
  return nullptr;
}

void FormWindow::FocusChanged() {
  UpdateFocusFrame();
  if (!accessibility_) return;
  if (!active_) {
    // Told once the window is active again, when it takes the focus.
    accessibility_->Changed();
    return;
  }
  const HWND before = GetFocus();
  PlaceFocus();
  // A window that took the focus tells it itself: the button's system object,
  // the form window on WM_SETFOCUS.
  if (GetFocus() != before) {
    accessibility_->Changed();
    return;
  }
  accessibility_->FocusMoved();
}

void FormWindow::Announce(std::string_view text) {
  if (accessibility_) accessibility_->Announce(text);
}

void FormWindow::PlaceFocus() {
  const int node = form_.FocusNode();
  HWND button = node >= 0 ? ButtonOf(form_.Accessible()[static_cast<std::size_t>(node)].control) : nullptr;
  HWND wanted = button && IsWindowVisible(button) && IsWindowEnabled(button) ? button : hwnd_;
  if (GetFocus() != wanted) SetFocus(wanted);
}

void FormWindow::UpdateFocusFrame() {
  std::optional<RECT> now;
  if (active_) {
    if (const std::optional<rt::PixelRect> frame = rt::FocusFrame(form_, screen_)) now = ToRect(*frame);
  }
  const auto same = [](const std::optional<RECT>& a, const std::optional<RECT>& b) {
    return a.has_value() == b.has_value() && (!a || EqualRect(&*a, &*b));
  };
  if (same(focusFrame_, now)) return;
  if (focusFrame_) InvalidateRect(hwnd_, &*focusFrame_, FALSE);
  if (now) InvalidateRect(hwnd_, &*now, FALSE);
  focusFrame_ = now;
}

rt::PixelRect FormWindow::OuterRect() const {
  RECT r{};
  GetWindowRect(hwnd_, &r);
  if (IsIconic(hwnd_)) {
    // A minimised window's own rectangle is where it would be restored to, not
    // its icon; a window without the tool window style has it in workspace
    // coordinates, from the corner of its monitor's work area.
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (GetWindowPlacement(hwnd_, &placement)) {
      r = placement.rcNormalPosition;
      if (!(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE) & WS_EX_TOOLWINDOW)) {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        if (GetMonitorInfoW(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &monitor))
          OffsetRect(&r, monitor.rcWork.left - monitor.rcMonitor.left, monitor.rcWork.top - monitor.rcMonitor.top);
      }
    }
  }
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

bool FormWindow::PreTranslate(MSG& msg) {
  // A focused button takes Space by itself; Enter it has to be given, once per
  // press (an Enter held from the main window's last round must not press OK).
  // Escape stays unhandled: the button is no cancel button. Tab and the arrows
  // move the focus as on the window, out of the button too.
  if (msg.message != WM_KEYDOWN) return false;
  const bool repeat = (msg.lParam & (1L << 30)) != 0;
  for (const Button& button : buttons_) {
    if (msg.hwnd != button.hwnd) continue;
    if (const std::optional<rt::Key> key = KeyOf(msg.wParam); key && *key >= rt::Key::Tab) {
      runtime_.KeyPress(form_, {*key, HeldModifiers(), repeat});
      return true;
    }
    if (msg.wParam != VK_RETURN || repeat) return false;
    SendMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button.hwnd), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button.hwnd));
    return true;
  }
  return false;
}

LRESULT CALLBACK FormWindow::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<FormWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  return self->OnMessage(message, wParam, lParam);
}

LRESULT FormWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
      SetCapture(hwnd_);
      runtime_.MouseDown(form_, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return 0;
    case WM_LBUTTONUP:
      ReleaseCapture();
      runtime_.MouseUp(form_, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return 0;
    case WM_KEYDOWN:
      if (const std::optional<rt::Key> key = KeyOf(wParam)) {
        // Bit 30: the key was already down, so this is a repeat of a held key.
        runtime_.KeyPress(form_, {*key, HeldModifiers(), (lParam & (1L << 30)) != 0});
        return 0;
      }
      break;
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) {
        for (const Button& button : buttons_) {
          if (reinterpret_cast<HWND>(lParam) == button.hwnd) runtime_.Click(*button.control);
        }
      }
      return 0;
    case WM_ACTIVATE:
      active_ = LOWORD(wParam) != WA_INACTIVE;
      if (active_) {
        runtime_.Activated(form_);
        platform_.Reactivated(hwnd_);
        // The keys go where the core's focus is: a command button, so that
        // Enter and Space reach it, or else this window.
        if (HIWORD(wParam) == 0) PlaceFocus();
      }
      UpdateFocusFrame();
      return 0;
    case WM_SETFOCUS:
      PlaceFocus();
      if (GetFocus() == hwnd_ && accessibility_) accessibility_->FocusMoved();
      return 0;
    case WM_GETOBJECT:
      if (accessibility_) return accessibility_->Respond(wParam, lParam);
      break;
    case WindowAccessibility::kPressMessage:
      if (wParam < form_.Accessible().size()) {
        if (rt::Control* control = form_.Accessible()[wParam].control) runtime_.Click(*control);
      }
      return 0;
    case WindowAccessibility::kFocusMessage:
      if (wParam < form_.Accessible().size()) runtime_.Focus(form_, static_cast<int>(wParam));
      return 0;
    case WM_CLOSE:
      // The program decides: its QueryUnload handler ends it (or the runtime
      // closes it after). The window is never destroyed here.
      runtime_.QueryUnload(form_, rt::unload::FormControlMenu);
      return 0;
    case WM_QUERYENDSESSION:
      // A session end is never refused or put off, and nothing is shown: the
      // program ends when the session really does.
      return TRUE;
    case WM_ENDSESSION:
      // The process may be ended as soon as this returns: the cursor is
      // released before, also when a message box is open.
      if (wParam) runtime_.Closing(form_, rt::unload::AppWindows);
      return 0;
    case WM_DESTROY:
      // Destroyed by anyone but the program: it ends as if the window had been
      // closed by its close box. No process without windows keeps running.
      if (!platform_.TearingDown()) runtime_.Closing(form_, rt::unload::FormControlMenu);
      break;
    case WM_NCDESTROY: {
      // Gone, whoever destroyed it: nothing may reach the handle any more.
      HWND gone = hwnd_;
      accessibility_.reset();
      hwnd_ = nullptr;
      SetWindowLongPtrW(gone, GWLP_USERDATA, 0);
      return DefWindowProcW(gone, message, wParam, lParam);
    }
    case WM_SYSCOMMAND:
      if (const WPARAM command = wParam & 0xFFF0; command == SC_MOVE || command == SC_SIZE) {
        // The move loop runs in here and frees the cursor as it starts, also
        // when it is given up before anything moves.
        const LRESULT result = DefWindowProcW(hwnd_, message, wParam, lParam);
        platform_.ApplyClip();
        return result;
      }
      break;
    case WM_SIZE:
      // Minimised or restored: the hold goes and comes back with the window.
      platform_.ApplyClip();
      break;
    case WM_WINDOWPOSCHANGED:
      // Hidden or shown again (with a minimised owner, say): the same.
      if (reinterpret_cast<const WINDOWPOS*>(lParam)->flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW)) platform_.ApplyClip();
      break;
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers every pixel
    case WM_PAINT:
      PaintBuffered();
      return 0;
    case WM_DISPLAYCHANGE:
    case WM_DPICHANGED:
    case WM_SETTINGCHANGE:
      screen_ = platform_.Screen();
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void FormWindow::PaintBuffered() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  RECT client;
  GetClientRect(hwnd_, &client);
  // Painted off screen and copied in one go, so nothing flickers. The buffer is
  // the client area's size and kept; only what needs painting is painted and
  // copied.
  if (!buffer_ || bufferSize_.cx != client.right || bufferSize_.cy != client.bottom) {
    if (buffer_) {
      SelectObject(buffer_, bufferPrevious_);
      DeleteObject(bufferBitmap_);
      DeleteDC(buffer_);
    }
    buffer_ = CreateCompatibleDC(dc);
    bufferBitmap_ = CreateCompatibleBitmap(dc, client.right, client.bottom);
    bufferPrevious_ = SelectObject(buffer_, bufferBitmap_);
    bufferSize_ = {client.right, client.bottom};
  }
  const RECT& dirty = ps.rcPaint;
  const int saved = SaveDC(buffer_);
  IntersectClipRect(buffer_, dirty.left, dirty.top, dirty.right, dirty.bottom);
  Paint(buffer_, dirty);
  RestoreDC(buffer_, saved);
  BitBlt(dc, dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top, buffer_, dirty.left, dirty.top,
         SRCCOPY);
  EndPaint(hwnd_, &ps);
}

void FormWindow::Paint(HDC dc, const RECT& dirty) {
  Fill(dc, dirty, ToColorRef(form_.Design().backColor));
  SetBkMode(dc, TRANSPARENT);
  PaintChildren(dc, nullptr, {dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top});
  // Drawn over what lies there, as the system marks a focused control.
  if (focusFrame_) DrawFocusRect(dc, &*focusFrame_);
}

void FormWindow::PaintChildren(HDC dc, const rt::Control* container, const rt::PixelRect& dirty) {
  std::vector<rt::Control*> children = form_.Children(container);
  // Windows of their own lie over every windowless control; the rest are
  // painted back to front, those that meet what needs painting.
  std::stable_partition(children.begin(), children.end(), [](const rt::Control* c) { return c->Windowed(); });
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    if ((*it)->Visible() && rt::Overlap(rt::PaintRect(**it, screen_), dirty)) PaintControl(dc, **it, dirty);
  }
}

void FormWindow::PaintControl(HDC dc, const rt::Control& control, const rt::PixelRect& dirty) {
  switch (control.Kind()) {
    case rt::ControlKind::Label:
      PaintLabel(dc, control);
      break;
    case rt::ControlKind::Frame: {
      PaintFrame(dc, control);
      const RECT r = ToRect(rt::ControlRect(control, screen_));
      const int saved = SaveDC(dc);
      IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
      PaintChildren(dc, &control, dirty);
      RestoreDC(dc, saved);
      break;
    }
    case rt::ControlKind::Line:
      PaintLine(dc, control);
      break;
    case rt::ControlKind::Shape:
      PaintShape(dc, control);
      break;
    case rt::ControlKind::Image:
      PaintImage(dc, control);
      break;
    case rt::ControlKind::CommandButton:
      break;  // a BUTTON child paints itself
  }
}

void FormWindow::PaintLabel(HDC dc, const rt::Control& label) {
  RECT r = ToRect(rt::ControlRect(label, screen_));
  if (label.BackStyle() == rt::style::Opaque) Fill(dc, r, ToColorRef(label.BackColor()));
  if (label.BorderStyle() == rt::style::FixedSingle) {
    Outline(dc, r, ToColorRef(rt::sys::WindowText));
    InflateRect(&r, -1, -1);
  }
  if (label.Caption().empty()) return;
  // Laid out once, by the runtime, in the box inside the border.
  const Fonts::Caption& caption = platform_.FontCache().LaidOut(&label, label.Font(), screen_, label.Caption(),
                                                                r.right - r.left, r.bottom - r.top, label.Alignment());
  if (!label.Enabled()) {
    // Disabled text is drawn embossed, as the system draws it.
    RECT shifted = r;
    OffsetRect(&shifted, 1, 1);
    SetTextColor(dc, kEdgeHighlight);
    DrawCaption(dc, shifted, caption);
    SetTextColor(dc, kEdgeShadow);
  } else {
    SetTextColor(dc, ToColorRef(label.ForeColor()));
  }
  DrawCaption(dc, r, caption);
}

void FormWindow::PaintFrame(HDC dc, const rt::Control& frame) {
  const RECT r = ToRect(rt::ControlRect(frame, screen_));
  Fill(dc, r, ToColorRef(frame.BackColor()));
  Selected font(dc, platform_.FontCache().Get(frame.Font(), screen_));
  const std::wstring title = Widen(frame.Caption());
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  // The etched border runs through the middle of the title line.
  const int top = frame.Caption().empty() ? r.top : r.top + metrics.tmHeight / 2;
  Outline(dc, {r.left, top, r.right - 1, r.bottom - 1}, kEdgeShadow);
  Outline(dc, {r.left + 1, top + 1, r.right, r.bottom}, kEdgeHighlight);
  if (title.empty()) return;
  SIZE extent{};
  GetTextExtentPoint32W(dc, title.c_str(), static_cast<int>(title.size()), &extent);
  RECT titleRect{r.left + kFrameTitleInset, r.top, r.left + kFrameTitleInset + extent.cx + 2, r.top + metrics.tmHeight};
  titleRect.right = std::min(titleRect.right, r.right - 1);
  Fill(dc, titleRect, ToColorRef(frame.BackColor()));
  SetTextColor(dc, ToColorRef(frame.ForeColor()));
  titleRect.left += 1;
  DrawTextW(dc, title.c_str(), static_cast<int>(title.size()), &titleRect, DT_SINGLELINE | DT_NOPREFIX);
}

void FormWindow::PaintLine(HDC dc, const rt::Control& line) {
  const rt::PixelLine l = rt::LinePixels(line, screen_);
  const COLORREF color = ToColorRef(line.ForeColor());
  Selected pen(dc, SolidPen(PS_SOLID, std::max(1, line.BorderWidth()), color));
  MoveToEx(dc, l.from.x, l.from.y, nullptr);
  LineTo(dc, l.to.x, l.to.y);
  // GDI leaves out a line's last pixel; the design's end points are both on it.
  if (line.BorderWidth() <= 1) SetPixelV(dc, l.to.x, l.to.y, color);
}

void FormWindow::PaintShape(HDC dc, const rt::Control& shape) {
  const rt::PixelRect bounds = rt::ShapeBounds(shape, screen_);
  Selected fill(dc, shape.BackStyle() == rt::style::Opaque ? SolidBrush(ToColorRef(shape.BackColor()))
                                                           : GetStockObject(NULL_BRUSH));
  Selected pen(dc, shape.BorderStyle() == rt::style::NoBorder
                       ? GetStockObject(NULL_PEN)
                       : SolidPen(PS_INSIDEFRAME, std::max(1, shape.BorderWidth()), ToColorRef(shape.ForeColor())));
  const RECT r = ToRect(bounds);
  if (shape.Shape() == rt::style::Circle) {
    Ellipse(dc, r.left, r.top, r.right, r.bottom);
  } else {
    Rectangle(dc, r.left, r.top, r.right, r.bottom);
  }
}

void FormWindow::PaintImage(HDC dc, const rt::Control& image) {
  if (!image.Design().picture) return;
  // The picture at its own size, from the image's top-left corner, clipped to
  // the control.
  const rt::PixelRect r = rt::ControlRect(image, screen_);
  const IconBitmap& icon = Icon();
  const int width = std::min(icon.width, r.width), height = std::min(icon.height, r.height);
  if (!icon.dc || width <= 0 || height <= 0) return;
  GdiAlphaBlend(dc, r.left, r.top, width, height, icon.dc, 0, 0, width, height,
                BLENDFUNCTION{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA});
}

}  // namespace quintarel::win32
