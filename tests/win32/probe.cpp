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
//   probe serve                  runs one command per line of standard input (arguments
//                                separated by tabs), each answer closed by an end=STATUS line:
//                                no Wine start per question
#include <windows.h>

#include <cstdio>
#include <cstdlib>
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
  if (command == L"idle") {
    // A desktop's first process sees no cursor clip yet, and every later
    // process would start a new desktop: this one keeps it for the tests.
    GetDesktopWindow();
    Sleep(INFINITE);
  }
  return 1;
}

int Serve() {
  char line[4096];
  while (std::fgets(line, sizeof line, stdin)) {
    std::string text(line);
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
    std::vector<const wchar_t*> argv;
    for (const std::wstring& arg : args) argv.push_back(arg.c_str());
    const int status = args[1] == L"serve" ? 1 : Command(static_cast<int>(argv.size()), argv.data());
    std::printf("end=%d\n", status);
    std::fflush(stdout);
  }
  return 0;
}

}  // namespace

// Wide arguments, so window titles with Czech letters arrive intact.
int wmain(int argc, wchar_t** argv) {
  // Real pixels, as the game (per-monitor aware) sees them, at any dpi.
  SetProcessDPIAware();
  return Command(argc, argv);
}
