#include "app/Backend.h"

#include <objbase.h>
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "Project.h"
#include "runtime/Rnd.h"
#include "runtime/win32/Win32Platform.h"

namespace quintarel {

namespace {

// QUINTAREL_TEST_SEED, for tests only: a fixed clock for the random generator,
// so the draws of a run repeat. Reseeding still mixes in the reseed counter, so
// the rounds draw different numbers; unset, the real clock is used.
std::optional<std::uint64_t> TestSeed() {
  const char* text = std::getenv("QUINTAREL_TEST_SEED");
  if (!text || !*text) return std::nullopt;
  char* end = nullptr;
  const unsigned long long seed = std::strtoull(text, &end, 10);
  if (*end != '\0') return std::nullopt;
  return seed;
}

// The game on this thread, its event loop until the program ends.
int Run() {
  win32::Win32Platform platform(GetModuleHandleW(nullptr));
  const std::optional<std::uint64_t> seed = TestSeed();
  rt::ClockRandom random = seed ? rt::ClockRandom([s = *seed] { return s; }) : rt::ClockRandom();
  Project project(platform, random);
  platform.Attach(project.Rt());
  project.Start();

  MSG msg{};
  while (!platform.ExitCode() && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (platform.PreTranslate(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  platform.DestroyWindows();
  return platform.ExitCode().value_or(static_cast<int>(msg.wParam));
}

}  // namespace

int RunBackend(int, char**) {
  // The windows' accessible objects are COM objects of this thread, called
  // through its message loop.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const int status = Run();
  if (SUCCEEDED(com)) CoUninitialize();
  return status;
}

}  // namespace quintarel
