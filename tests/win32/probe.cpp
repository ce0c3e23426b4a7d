// A console helper for the end-to-end tests, run under the same Wine prefix as
// the game: it reports what only the system can tell (cursor clip, window
// rectangles and styles, focus, the message box) and moves the cursor. One
// command per run; results as key=value lines in UTF-8.
//
//   probe screen                 screen size, pixels per inch, the primary work area
//   probe clip                   the cursor clip rectangle
//   probe setpos X Y             SetCursorPos, then where the cursor is
//   probe window TITLE           a top-level window: rectangles, styles, owner, focus
//   probe closebox TITLE         a screen point on the window's close box
//   probe sysclose TITLE         asks the window to close, as the taskbar does
//   probe activate TITLE         makes the window the foreground window
//   probe switchto TITLE         the same as the taskbar does it: a disabled window's dialog instead
//   probe move TITLE X Y         moves the window's outer rectangle to X, Y
//   probe repaint TITLE          has the window paint all of itself anew, and
//                                waits until it has
//   probe msgbox                 the message box: title, text, buttons, icon
//   probe destroyed TITLE        tells the window it is being destroyed (only a
//                                window's own thread can destroy it for real)
//   probe endsession TITLE [refused]
//                                a logoff, as the system sends it to the program
//                                of that window: each top-level window asked,
//                                then told whether the session ends (it does
//                                if all agree, unless another program refused)
//   probe menu                   whether a menu is open
//   probe cursor                 where the cursor is
//   probe minimize|restore TITLE asks the window to minimise or restore, as the taskbar does
//   probe idle                   holds the Wine desktop open until killed
//   probe a11y                   a screen reader's view, one command per line of
//                                standard input as serve takes them, each closed by
//                                end=STATUS, while the events of the hooked process
//                                are taken as they come:
//       hook TITLE               hooks the WinEvents of the window's process
//       tree TITLE               every object of the window's client area:
//                                node=DEPTH|ROLE|NAME|VALUE|STATE|CHILDID|L T W H|ACTION|WINDOWCLASS,
//                                then focused=NAME
//       do TITLE NAME            the default action of the first object so named
//       select TITLE NAME        asks that it take the focus
//       hit TITLE X Y            the object at the screen point, down to the deepest
//       nav TITLE NAME DIR       next, previous, first or last (child) from it
//       wait KIND TEXT [prefix|window]
//                                until an event (focus, alert, name, value, state) of
//                                an object so named (or of a window so titled) has come:
//                                the first not yet waited for, as
//                                event=KIND|WINDOW|NAME|VALUE|ROLE|CHILDID, or
//                                error=timeout after 20 seconds
//       events                   the events neither waited for nor listed yet, as seen=...
//   probe serve                  runs one command per line of standard input (arguments
//                                separated by tabs), each answer closed by an end=STATUS line:
//                                no Wine start per question
#include <oleacc.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

namespace {

std::string Narrow(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), text.data(), size, nullptr, nullptr);
  return text;
}

std::wstring TextOf(HWND hwnd) {
  wchar_t buffer[512] = {};
  GetWindowTextW(hwnd, buffer, 512);
  return buffer;
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t buffer[256] = {};
  GetClassNameW(hwnd, buffer, 256);
  return buffer;
}

void Print(const char* key, const std::string& value) { std::printf("%s=%s\n", key, value.c_str()); }
void Print(const char* key, long long value) { std::printf("%s=%lld\n", key, value); }
void PrintRect(const char* key, const RECT& r) {
  std::printf("%s=%ld %ld %ld %ld\n", key, r.left, r.top, r.right, r.bottom);
}

HWND FindTopLevel(const wchar_t* title) {
  HWND hwnd = FindWindowW(nullptr, title);
  if (!hwnd) std::printf("error=no window titled %s\n", Narrow(title).c_str());
  return hwnd;
}

int Window(const wchar_t* title) {
  HWND hwnd = FindTopLevel(title);
  if (!hwnd) return 2;
  RECT outer{};
  GetWindowRect(hwnd, &outer);
  RECT client{};
  GetClientRect(hwnd, &client);
  POINT origin{0, 0};
  ClientToScreen(hwnd, &origin);
  const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
  const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE));
  // The outer rectangle the client area implies for these styles.
  RECT adjusted{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
  AdjustWindowRectEx(&adjusted, style, FALSE, exStyle);
  Print("class", Narrow(ClassOf(hwnd)));
  PrintRect("outer", outer);
  PrintRect("adjusted", adjusted);
  Print("client_origin", std::to_string(origin.x) + " " + std::to_string(origin.y));
  Print("client_size", std::to_string(client.right) + " " + std::to_string(client.bottom));
  Print("visible", IsWindowVisible(hwnd) ? 1 : 0);
  Print("iconic", IsIconic(hwnd) ? 1 : 0);
  Print("enabled", IsWindowEnabled(hwnd) ? 1 : 0);
  Print("foreground", GetForegroundWindow() == hwnd ? 1 : 0);
  Print("last_popup_class", Narrow(ClassOf(GetLastActivePopup(hwnd))));
  Print("minimizebox", (style & WS_MINIMIZEBOX) ? 1 : 0);
  Print("maximizebox", (style & WS_MAXIMIZEBOX) ? 1 : 0);
  Print("thickframe", (style & WS_THICKFRAME) ? 1 : 0);
  Print("sysmenu", (style & WS_SYSMENU) ? 1 : 0);
  Print("toolwindow", (exStyle & WS_EX_TOOLWINDOW) ? 1 : 0);
  Print("appwindow", (exStyle & WS_EX_APPWINDOW) ? 1 : 0);
  Print("owned", GetWindow(hwnd, GW_OWNER) ? 1 : 0);
  Print("owner", Narrow(TextOf(GetWindow(hwnd, GW_OWNER))));
  Print("unicode", IsWindowUnicode(hwnd) ? 1 : 0);
  GUITHREADINFO gui{};
  gui.cbSize = sizeof gui;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &gui)) {
    Print("active", gui.hwndActive == hwnd ? 1 : 0);
    // In the system's move or size loop.
    Print("movesize", (gui.flags & GUI_INMOVESIZE) ? 1 : 0);
    Print("menumode", (gui.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE)) ? 1 : 0);
    Print("capture_class", Narrow(ClassOf(gui.hwndCapture)));
    Print("focus_class", Narrow(ClassOf(gui.hwndFocus)));
    Print("focus_text", Narrow(TextOf(gui.hwndFocus)));
    Print("focus_style", static_cast<long long>(GetWindowLongPtrW(gui.hwndFocus, GWL_STYLE)));
  }
  // Its child windows, front to back.
  for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
    std::printf("child=%s|%s|%ld %ld %ld %ld|%lld\n", Narrow(ClassOf(child)).c_str(), Narrow(TextOf(child)).c_str(),
                r.left, r.top, r.right, r.bottom, static_cast<long long>(GetWindowLongPtrW(child, GWL_STYLE)));
  }
  return 0;
}

int CloseBox(const wchar_t* title) {
  HWND hwnd = FindTopLevel(title);
  if (!hwnd) return 2;
  RECT outer{};
  GetWindowRect(hwnd, &outer);
  // Along the caption, from the right edge inwards, until the frame says "close box".
  for (int y = outer.top + 1; y < outer.top + 40; ++y) {
    for (int x = outer.right - 1; x > outer.right - 60; --x) {
      const LRESULT hit = SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(x, y));
      if (hit == HTCLOSE) {
        std::printf("point=%d %d\n", x - 3, y + 3);
        return 0;
      }
    }
  }
  std::printf("error=no close box\n");
  return 2;
}

// A visible top-level window of that class: #32770 a dialog (the message box),
// #32768 a menu.
HWND FindVisible(const wchar_t* windowClass) {
  struct Search {
    const wchar_t* windowClass;
    HWND found = nullptr;
  } search{windowClass};
  EnumWindows(
      [](HWND hwnd, LPARAM data) -> BOOL {
        auto* search = reinterpret_cast<Search*>(data);
        if (ClassOf(hwnd) == search->windowClass && IsWindowVisible(hwnd)) {
          search->found = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

int MessageBoxInfo() {
  HWND box = FindVisible(L"#32770");
  if (!box) {
    std::printf("found=0\n");
    return 0;
  }
  Print("found", 1);
  Print("title", Narrow(TextOf(box)));
  Print("owner", Narrow(TextOf(GetWindow(box, GW_OWNER))));
  int buttons = 0;
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    const std::wstring cls = ClassOf(child);
    const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
    RECT r{};
    GetWindowRect(child, &r);
    if (_wcsicmp(cls.c_str(), L"Button") == 0) {
      ++buttons;
      std::printf("button=%s|%ld %ld %ld %ld|%d\n", Narrow(TextOf(child)).c_str(), r.left, r.top, r.right, r.bottom,
                  GetDlgCtrlID(child));
    } else if (_wcsicmp(cls.c_str(), L"Static") == 0) {
      if ((style & SS_TYPEMASK) == SS_ICON) {
        Print("icon", 1);
      } else if (!TextOf(child).empty()) {
        Print("text", Narrow(TextOf(child)));
      }
    }
  }
  Print("buttons", buttons);
  return 0;
}

// Every top-level window of the process that owns the window titled so.
std::vector<HWND> WindowsOfProcess(const wchar_t* title) {
  struct Search {
    DWORD process = 0;
    std::vector<HWND> found;
  } search;
  GetWindowThreadProcessId(FindTopLevel(title), &search.process);
  EnumWindows(
      [](HWND hwnd, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        DWORD process = 0;
        GetWindowThreadProcessId(hwnd, &process);
        // Wine lists the parent of its message-only windows (class "Message")
        // with the top-level windows; Windows neither lists it nor asks it
        // whether the session may end.
        if (process == s->process && ClassOf(hwnd) != L"Message") s->found.push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

int EndSession(const wchar_t* title, bool refused) {
  const std::vector<HWND> windows = WindowsOfProcess(title);
  // One line per window: class|sent|answer|milliseconds.
  bool agreed = true;
  for (HWND hwnd : windows) {
    const std::string cls = Narrow(ClassOf(hwnd));
    DWORD_PTR answer = 0;
    const DWORD start = GetTickCount();
    const LRESULT sent = SendMessageTimeoutW(hwnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF,
                                             SMTO_BLOCK | SMTO_ABORTIFHUNG, 5000, &answer);
    std::printf("query=%s|%d|%lld|%lu\n", cls.c_str(), sent ? 1 : 0, static_cast<long long>(answer),
                GetTickCount() - start);
    agreed = agreed && sent && answer;
  }
  if (!agreed) return 0;
  const WPARAM ends = refused ? FALSE : TRUE;
  for (HWND hwnd : windows) {
    const std::string cls = Narrow(ClassOf(hwnd));
    DWORD_PTR answer = 0;
    const LRESULT sent =
        SendMessageTimeoutW(hwnd, WM_ENDSESSION, ends, ENDSESSION_LOGOFF, SMTO_BLOCK | SMTO_ABORTIFHUNG, 5000, &answer);
    std::printf("ended=%s|%d\n", cls.c_str(), sent ? 1 : 0);
  }
  return 0;
}

int SysCommand(const wchar_t* title, WPARAM command) {
  HWND hwnd = FindTopLevel(title);
  if (!hwnd) return 2;
  PostMessageW(hwnd, WM_SYSCOMMAND, command, 0);
  return 0;
}

int Serve();
int Accessibility();

int Command(int argc, const wchar_t* const* argv) {
  if (argc < 2) return 1;
  const std::wstring command = argv[1];
  if (command == L"screen") {
    HDC dc = GetDC(nullptr);
    Print("size", std::to_string(GetSystemMetrics(SM_CXSCREEN)) + " " + std::to_string(GetSystemMetrics(SM_CYSCREEN)));
    Print("dpi", std::to_string(GetDeviceCaps(dc, LOGPIXELSX)) + " " + std::to_string(GetDeviceCaps(dc, LOGPIXELSY)));
    ReleaseDC(nullptr, dc);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
    PrintRect("work", monitor.rcWork);
    return 0;
  }
  if (command == L"clip") {
    RECT r{};
    GetClipCursor(&r);
    PrintRect("clip", r);
    return 0;
  }
  if (command == L"setpos" && argc == 4) {
    SetCursorPos(_wtoi(argv[2]), _wtoi(argv[3]));
    POINT p{};
    GetCursorPos(&p);
    Print("pos", std::to_string(p.x) + " " + std::to_string(p.y));
    return 0;
  }
  if (command == L"cursor") {
    POINT p{};
    GetCursorPos(&p);
    Print("pos", std::to_string(p.x) + " " + std::to_string(p.y));
    return 0;
  }
  if (command == L"window" && argc == 3) return Window(argv[2]);
  if (command == L"closebox" && argc == 3) return CloseBox(argv[2]);
  if (command == L"sysclose" && argc == 3) return SysCommand(argv[2], SC_CLOSE);
  if (command == L"minimize" && argc == 3) return SysCommand(argv[2], SC_MINIMIZE);
  if (command == L"restore" && argc == 3) return SysCommand(argv[2], SC_RESTORE);
  if (command == L"activate" && argc == 3) {
    HWND hwnd = FindTopLevel(argv[2]);
    if (!hwnd) return 2;
    Print("done", SetForegroundWindow(hwnd) ? 1 : 0);
    return 0;
  }
  if (command == L"switchto" && argc == 3) {
    // As the taskbar switches to a window: a window disabled by its modal
    // dialog gives the dialog instead.
    HWND hwnd = FindTopLevel(argv[2]);
    if (!hwnd) return 2;
    // A minimised window comes back first, with the popups it hides.
    if (IsIconic(hwnd)) ShowWindow(hwnd, SW_RESTORE);
    Print("done", SetForegroundWindow(IsWindowEnabled(hwnd) ? hwnd : GetLastActivePopup(hwnd)) ? 1 : 0);
    return 0;
  }
  if (command == L"repaint" && argc == 3) {
    HWND hwnd = FindTopLevel(argv[2]);
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
    // Painting validates the window: no update region is left.
    bool painted = false;
    for (int i = 0; i < 500 && !painted; ++i) {
      painted = !GetUpdateRect(hwnd, nullptr, FALSE);
      if (!painted) Sleep(10);
    }
    Print("painted", painted ? 1 : 0);
    return 0;
  }
  if (command == L"move" && argc == 5) {
    HWND hwnd = FindTopLevel(argv[2]);
    if (!hwnd) return 2;
    Print("done",
          SetWindowPos(hwnd, nullptr, _wtoi(argv[3]), _wtoi(argv[4]), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE)
              ? 1
              : 0);
    return 0;
  }
  if (command == L"msgbox") return MessageBoxInfo();
  if (command == L"destroyed" && argc == 3) {
    HWND hwnd = FindTopLevel(argv[2]);
    if (!hwnd) return 2;
    DWORD_PTR answer = 0;
    Print("sent", SendMessageTimeoutW(hwnd, WM_DESTROY, 0, 0, SMTO_BLOCK, 5000, &answer) ? 1 : 0);
    return 0;
  }
  if (command == L"endsession" && (argc == 3 || argc == 4)) {
    if (!FindTopLevel(argv[2])) return 2;
    return EndSession(argv[2], argc == 4 && std::wstring(argv[3]) == L"refused");
  }
  if (command == L"menu") {
    Print("found", FindVisible(L"#32768") ? 1 : 0);
    return 0;
  }
  if (command == L"serve") return Serve();
  if (command == L"a11y") return Accessibility();
  if (command == L"front") {
    // Another program's window comes to the front, then goes: the system
    // activates the window that was in front before it.
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QuintarelProbeFront";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"Another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 900, 700,
                                200, 150, nullptr, nullptr, wc.hInstance, nullptr);
    SetForegroundWindow(hwnd);
    for (int i = 0; i < 500 && GetForegroundWindow() != hwnd; ++i) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      Sleep(10);
    }
    Print("front", GetForegroundWindow() == hwnd ? 1 : 0);
    RECT r{};
    GetClipCursor(&r);
    PrintRect("clip", r);
    DestroyWindow(hwnd);
    return 0;
  }
  if (command == L"idle") {
    // A desktop's first process sees no cursor clip yet, and every later
    // process would start a new desktop: this one keeps it for the tests.
    GetDesktopWindow();
    Sleep(INFINITE);
  }
  return 1;
}

std::vector<std::wstring> Arguments(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  std::vector<std::wstring> args{L"probe"};
  for (std::size_t start = 0;;) {
    const std::size_t tab = text.find('\t', start);
    const std::string part = text.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
    std::wstring wide(part.size(), L'\0');
    wide.resize(static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, part.data(), static_cast<int>(part.size()),
                                                             wide.data(), static_cast<int>(wide.size()))));
    args.push_back(wide);
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return args;
}

int Serve() {
  char line[4096];
  while (std::fgets(line, sizeof line, stdin)) {
    const std::vector<std::wstring> args = Arguments(line);
    std::vector<const wchar_t*> argv;
    for (const std::wstring& arg : args) argv.push_back(arg.c_str());
    const int status = args[1] == L"serve" ? 1 : Command(static_cast<int>(argv.size()), argv.data());
    std::printf("end=%d\n", status);
    std::fflush(stdout);
  }
  return 0;
}

// --- a screen reader's view: Active Accessibility from another process ------

std::string Bstr(BSTR text) {
  std::string narrow = text ? Narrow(std::wstring(text, SysStringLen(text))) : std::string();
  SysFreeString(text);
  return narrow;
}

VARIANT ChildId(LONG id) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = id;
  return v;
}

std::string NameOf(IAccessible* acc, LONG id) {
  BSTR name = nullptr;
  return SUCCEEDED(acc->get_accName(ChildId(id), &name)) ? Bstr(name) : std::string();
}

std::string ValueOf(IAccessible* acc, LONG id) {
  BSTR value = nullptr;
  return SUCCEEDED(acc->get_accValue(ChildId(id), &value)) ? Bstr(value) : std::string();
}

long LongOf(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*), IAccessible* acc, LONG id) {
  VARIANT v;
  VariantInit(&v);
  const long value = SUCCEEDED((acc->*get)(ChildId(id), &v)) && v.vt == VT_I4 ? v.lVal : -1;
  VariantClear(&v);
  return value;
}

IAccessible* AccessibleOf(IDispatch* dispatch) {
  IAccessible* acc = nullptr;
  if (dispatch) dispatch->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&acc));
  if (dispatch) dispatch->Release();
  return acc;
}

// One object or simple element: the object answering for it and its child id.
struct Item {
  IAccessible* acc = nullptr;
  LONG id = CHILDID_SELF;
  int depth = 0;
};

// The object and all it holds, depth first, each object holding a reference.
void Collect(IAccessible* acc, int depth, std::vector<Item>& items) {
  acc->AddRef();
  items.push_back({acc, CHILDID_SELF, depth});
  LONG count = 0;
  if (FAILED(acc->get_accChildCount(&count)) || count <= 0) return;
  std::vector<VARIANT> children(static_cast<std::size_t>(count));
  LONG got = 0;
  if (FAILED(AccessibleChildren(acc, 0, count, children.data(), &got))) return;
  for (LONG i = 0; i < got; ++i) {
    VARIANT& child = children[static_cast<std::size_t>(i)];
    if (child.vt == VT_DISPATCH) {
      if (IAccessible* object = AccessibleOf(child.pdispVal)) {
        Collect(object, depth + 1, items);
        object->Release();
      }
    } else if (child.vt == VT_I4) {
      acc->AddRef();
      items.push_back({acc, child.lVal, depth + 1});
    } else {
      VariantClear(&child);
    }
  }
}

struct Tree {
  IAccessible* root = nullptr;
  std::vector<Item> items;
  explicit Tree(const wchar_t* title) {
    HWND hwnd = FindTopLevel(title);
    if (!hwnd ||
        FAILED(AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&root))) ||
        !root) {
      std::printf("error=no accessible object for %s\n", Narrow(title).c_str());
      root = nullptr;
      return;
    }
    Collect(root, 0, items);
  }
  ~Tree() {
    for (Item& item : items) item.acc->Release();
    if (root) root->Release();
  }
  Tree(const Tree&) = delete;
  Tree& operator=(const Tree&) = delete;
  const Item* Named(const std::wstring& name) const {
    for (const Item& item : items)
      if (NameOf(item.acc, item.id) == Narrow(name)) return &item;
    std::printf("error=nothing named %s\n", Narrow(name).c_str());
    return nullptr;
  }
};

// What a VARIANT answer names: an object's own name or a child's of the asked one.
std::string Answered(IAccessible* asked, VARIANT& v) {
  std::string name = "-";
  if (v.vt == VT_I4) name = NameOf(asked, v.lVal);
  if (v.vt == VT_DISPATCH) {
    if (IAccessible* object = AccessibleOf(v.pdispVal)) {
      name = NameOf(object, CHILDID_SELF);
      object->Release();
    }
    v.vt = VT_EMPTY;
  }
  VariantClear(&v);
  return name;
}

// get_accFocus, or accHitTest, followed down through the objects that answer.
template <typename Ask>
std::string Deepest(IAccessible* root, Ask ask) {
  IAccessible* acc = root;
  acc->AddRef();
  std::string name = "-";
  for (int depth = 0; depth < 8; ++depth) {
    VARIANT v;
    VariantInit(&v);
    if (ask(acc, &v) != S_OK) break;
    if (v.vt == VT_I4) {
      name = NameOf(acc, v.lVal);
      break;
    }
    if (v.vt != VT_DISPATCH) break;
    IAccessible* inner = AccessibleOf(v.pdispVal);
    if (!inner) break;
    name = NameOf(inner, CHILDID_SELF);
    acc->Release();
    acc = inner;
  }
  acc->Release();
  return name;
}

int PrintTree(const wchar_t* title) {
  Tree tree(title);
  if (!tree.root) return 2;
  for (const Item& item : tree.items) {
    LONG l = 0, t = 0, w = 0, h = 0;
    item.acc->accLocation(&l, &t, &w, &h, ChildId(item.id));
    BSTR action = nullptr;
    item.acc->get_accDefaultAction(ChildId(item.id), &action);
    HWND window = nullptr;
    WindowFromAccessibleObject(item.acc, &window);
    std::printf("node=%d|%ld|%s|%s|%lx|%ld|%ld %ld %ld %ld|%s|%s\n", item.depth,
                LongOf(&IAccessible::get_accRole, item.acc, item.id), NameOf(item.acc, item.id).c_str(),
                ValueOf(item.acc, item.id).c_str(), LongOf(&IAccessible::get_accState, item.acc, item.id), item.id, l,
                t, w, h, Bstr(action).c_str(), Narrow(ClassOf(window)).c_str());
  }
  Print("focused", Deepest(tree.root, [](IAccessible* acc, VARIANT* v) { return acc->get_accFocus(v); }));
  return 0;
}

struct Seen {
  std::string kind, window, name, value;
  long role = 0;
  long child = 0;
  bool taken = false;  // waited for, or listed
};
std::vector<Seen> seen;

const char* KindOf(DWORD event) {
  switch (event) {
    case EVENT_OBJECT_FOCUS:
      return "focus";
    case EVENT_SYSTEM_ALERT:
      return "alert";
    case EVENT_OBJECT_NAMECHANGE:
      return "name";
    case EVENT_OBJECT_VALUECHANGE:
      return "value";
    case EVENT_OBJECT_STATECHANGE:
      return "state";
    default:
      return nullptr;
  }
}

// Read as the event arrives, as a screen reader does: an alert's text is
// replaced by the next one.
void CALLBACK OnEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD, DWORD) {
  const char* kind = KindOf(event);
  if (!kind) return;
  // Its place first: reading it pumps messages, and later events may come in.
  const std::size_t at = seen.size();
  seen.push_back({kind, Narrow(TextOf(GetAncestor(hwnd, GA_ROOT))), {}, {}, 0, 0, false});
  IAccessible* acc = nullptr;
  VARIANT v;
  VariantInit(&v);
  std::string name, value;
  long role = -1;
  if (SUCCEEDED(AccessibleObjectFromEvent(hwnd, static_cast<DWORD>(object), static_cast<DWORD>(child), &acc, &v)) &&
      acc) {
    const LONG id = v.vt == VT_I4 ? v.lVal : CHILDID_SELF;
    name = NameOf(acc, id);
    value = ValueOf(acc, id);
    role = LongOf(&IAccessible::get_accRole, acc, id);
    acc->Release();
  }
  VariantClear(&v);
  seen[at].name = name;
  seen[at].value = value;
  seen[at].role = role;
  seen[at].child = child;
}

void PrintSeen(const char* key, const Seen& e) {
  std::printf("%s=%s|%s|%s|%s|%ld|%ld\n", key, e.kind.c_str(), e.window.c_str(), e.name.c_str(), e.value.c_str(),
              e.role, e.child);
}

// Runs the messages that have come: COM's calls and the hook's events.
void Pump(DWORD milliseconds) {
  MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds, QS_ALLINPUT);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

int Wait(const std::wstring& kind, const std::wstring& text, const std::wstring& how) {
  const std::string k = Narrow(kind), t = Narrow(text);
  const DWORD end = GetTickCount() + 20000;
  for (;;) {
    // The first that matches, whatever came before it: the order of events
    // from different objects is not the program's to keep.
    for (Seen& e : seen) {
      const bool match = e.kind == k && (how == L"prefix"   ? e.name.rfind(t, 0) == 0
                                         : how == L"window" ? e.window == t
                                                            : e.name == t);
      if (!match || e.taken) continue;
      e.taken = true;
      PrintSeen("event", e);
      return 0;
    }
    const DWORD now = GetTickCount();
    if (static_cast<LONG>(end - now) <= 0) {
      Print("error", "timeout");
      return 1;
    }
    Pump(end - now);
  }
}

HRESULT Act(const std::vector<std::wstring>& args) {
  Tree tree(args[2].c_str());
  const Item* item = tree.root ? tree.Named(args[3]) : nullptr;
  if (!item) return E_FAIL;
  const std::wstring& command = args[1];
  if (command == L"do") return item->acc->accDoDefaultAction(ChildId(item->id));
  if (command == L"select") return item->acc->accSelect(SELFLAG_TAKEFOCUS, ChildId(item->id));
  const std::wstring& way = args[4];
  const LONG dir = way == L"next"       ? NAVDIR_NEXT
                   : way == L"previous" ? NAVDIR_PREVIOUS
                   : way == L"first"    ? NAVDIR_FIRSTCHILD
                                        : NAVDIR_LASTCHILD;
  VARIANT v;
  VariantInit(&v);
  const HRESULT hr = item->acc->accNavigate(dir, ChildId(item->id), &v);
  Print("reached", Answered(item->acc, v));
  return hr;
}

struct Input {
  CRITICAL_SECTION lock;
  std::deque<std::string> lines;
  bool closed = false;
  HANDLE ready = CreateEventW(nullptr, FALSE, FALSE, nullptr);
};

DWORD WINAPI ReadInput(void* data) {
  auto* input = static_cast<Input*>(data);
  char line[4096];
  bool more = true;
  while (more) {
    more = std::fgets(line, sizeof line, stdin) != nullptr;
    EnterCriticalSection(&input->lock);
    if (more)
      input->lines.emplace_back(line);
    else
      input->closed = true;
    LeaveCriticalSection(&input->lock);
    SetEvent(input->ready);
  }
  return 0;
}

int AccessibilityCommand(const std::vector<std::wstring>& args) {
  const std::wstring& command = args[1];
  const auto n = args.size();
  if (command == L"hook" && n == 3) {
    HWND hwnd = FindTopLevel(args[2].c_str());
    if (!hwnd) return 2;
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    // Filtered on the process alone: Wine delivers nothing to a hook that
    // also skips its own process.
    const bool hooked =
        SetWinEventHook(EVENT_SYSTEM_ALERT, EVENT_SYSTEM_ALERT, nullptr, OnEvent, process, 0, WINEVENT_OUTOFCONTEXT) &&
        SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_VALUECHANGE, nullptr, OnEvent, process, 0,
                        WINEVENT_OUTOFCONTEXT);
    return hooked ? 0 : 1;
  }
  if (command == L"tree" && n == 3) return PrintTree(args[2].c_str());
  if ((command == L"do" || command == L"select") && n == 4) {
    const HRESULT hr = Act(args);
    std::printf("hr=%08lx\n", static_cast<unsigned long>(hr));
    return 0;
  }
  if (command == L"nav" && n == 5) {
    const HRESULT hr = Act(args);
    std::printf("hr=%08lx\n", static_cast<unsigned long>(hr));
    return 0;
  }
  if (command == L"hit" && n == 5) {
    Tree tree(args[2].c_str());
    if (!tree.root) return 2;
    const LONG x = _wtoi(args[3].c_str()), y = _wtoi(args[4].c_str());
    Print("hit", Deepest(tree.root, [&](IAccessible* acc, VARIANT* v) { return acc->accHitTest(x, y, v); }));
    return 0;
  }
  if (command == L"wait" && (n == 4 || n == 5)) return Wait(args[2], args[3], n == 5 ? args[4] : L"");
  if (command == L"events") {
    for (Seen& e : seen) {
      if (!e.taken) PrintSeen("seen", e);
      e.taken = true;
    }
    return 0;
  }
  std::vector<const wchar_t*> argv;
  for (const std::wstring& arg : args) argv.push_back(arg.c_str());
  return Command(static_cast<int>(argv.size()), argv.data());
}

int Accessibility() {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  static Input input;
  InitializeCriticalSection(&input.lock);
  // Standard input is read on a thread of its own: this one runs the messages
  // that bring the events and COM's answers.
  CloseHandle(CreateThread(nullptr, 0, ReadInput, &input, 0, nullptr));
  for (;;) {
    if (MsgWaitForMultipleObjects(1, &input.ready, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
      Pump(0);
      continue;
    }
    for (;;) {
      EnterCriticalSection(&input.lock);
      const bool any = !input.lines.empty(), closed = input.closed;
      std::string line = any ? input.lines.front() : std::string();
      if (any) input.lines.pop_front();
      LeaveCriticalSection(&input.lock);
      if (!any) {
        if (closed) return 0;
        break;
      }
      const std::vector<std::wstring> args = Arguments(line);
      const int status = args.size() < 2 ? 1 : AccessibilityCommand(args);
      std::printf("end=%d\n", status);
      std::fflush(stdout);
    }
  }
}

}  // namespace

// Wide arguments, so window titles with Czech letters arrive intact.
int wmain(int argc, wchar_t** argv) {
  // Real pixels, as the game (per-monitor aware) sees them, at any dpi.
  SetProcessDPIAware();
  return Command(argc, argv);
}
