#include "Mutter.h"

// Qt's keyword for signals would rename a member of GLib's D-Bus structures.
#undef signals
#include <fcntl.h>
#include <gio/gio.h>
#include <pipewire/pipewire.h>
#include <poll.h>
#include <signal.h>
#include <spa/param/video/format-utils.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <list>
#include <mutex>
#include <regex>
#include <set>
#include <sstream>
#include <stdexcept>

#include "Game.h"
#include "runtime/Frame.h"

namespace qt_tests {

using namespace std::chrono_literals;

namespace {

constexpr const char* kRemoteDesktop = "org.gnome.Mutter.RemoteDesktop";
constexpr const char* kScreenCast = "org.gnome.Mutter.ScreenCast";
constexpr const char* kIdleMonitor = "org.gnome.Mutter.IdleMonitor";
constexpr const char* kIdlePath = "/org/gnome/Mutter/IdleMonitor/Core";
constexpr int kLeftButton = 0x110;                                                                           // BTN_LEFT
constexpr unsigned kAlt = 0xffe9, kShift = 0xffe1, kSuper = 0xffeb, kTab = 0xff09, kF4 = 0xffc1, kH = 0x68;  // keysyms

std::int64_t Now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000000000LL + t.tv_nsec;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

using Variant = std::unique_ptr<GVariant, decltype(&g_variant_unref)>;

// A program of the session, in the session's environment, its output in
// dir/log; it ends with the test, whatever becomes of the test.
pid_t Start(const std::string& dir, const std::string& log, const std::vector<std::string>& argv,
            const std::vector<std::string>& env, int printFd = -1) {
  std::vector<char*> args, vars;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  for (const std::string& e : env) vars.push_back(const_cast<char*>(e.c_str()));
  args.push_back(nullptr);
  vars.push_back(nullptr);
  const std::string path = dir + "/" + log;
  const pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    const int out = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, 1);
    dup2(out, 2);
    close(out);
    if (printFd >= 0) dup2(printFd, 3);
    if (chdir(dir.c_str()) != 0) _exit(126);
    execve(args[0], args.data(), vars.data());
    _exit(127);
  }
  return pid;
}

void Stop(pid_t& pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  int status = 0;
  if (!WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 10s)) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  pid = -1;
}

}  // namespace

// The session bus, on which mutter's remote desktop session lives as long as
// this connection. Signals come in while Wait waits.
class Mutter::Bus {
 public:
  explicit Bus(const std::string& address) : context_(g_main_context_new()) {
    GError* error = nullptr;
    connection_ =
        g_dbus_connection_new_for_address_sync(address.c_str(),
                                               GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                                                    G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
                                               nullptr, nullptr, &error);
    if (!connection_) Fail("the session bus", error);
  }
  ~Bus() {
    if (connection_) {
      g_dbus_connection_close_sync(connection_, nullptr, nullptr);
      g_object_unref(connection_);
    }
    g_main_context_unref(context_);
  }
  Bus(const Bus&) = delete;
  Bus& operator=(const Bus&) = delete;

  Variant Call(const char* service, const std::string& path, const char* interface, const char* method,
               GVariant* args = nullptr) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(connection_, service, path.c_str(), interface, method, args, nullptr,
                                                  G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, &error);
    if (!reply) Fail(method, error);
    return Variant(reply, g_variant_unref);
  }

  // Calls without waiting for the answer, which comes to done during Wait.
  void Send(const char* service, const std::string& path, const char* interface, const char* method, GVariant* args,
            std::function<void(GVariant* reply, const GError* error)> done) {
    g_main_context_push_thread_default(context_);
    g_dbus_connection_call(
        connection_, service, path.c_str(), interface, method, args, nullptr, G_DBUS_CALL_FLAGS_NONE, 10000, nullptr,
        [](GObject* connection, GAsyncResult* result, void* data) {
          const std::unique_ptr<std::function<void(GVariant*, const GError*)>> done(
              static_cast<std::function<void(GVariant*, const GError*)>*>(data));
          GError* error = nullptr;
          GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(connection), result, &error);
          (*done)(reply, error);
          if (reply) g_variant_unref(reply);
          if (error) g_error_free(error);
        },
        new std::function<void(GVariant*, const GError*)>(std::move(done)));
    g_main_context_pop_thread_default(context_);
  }

  bool HasOwner(const char* name) {
    bool owned = false;
    g_variant_get(Call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
                       g_variant_new("(s)", name))
                      .get(),
                  "(b)", &owned);
    return owned;
  }

  void Subscribe(const char* interface, const char* member, const std::string& path,
                 std::function<void(GVariant*)> handler) {
    handlers_.push_back(std::move(handler));
    g_main_context_push_thread_default(context_);
    g_dbus_connection_signal_subscribe(
        connection_, nullptr, interface, member, path.c_str(), nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
        [](GDBusConnection*, const char*, const char*, const char*, const char*, GVariant* args, void* handler) {
          (*static_cast<std::function<void(GVariant*)>*>(handler))(args);
        },
        &handlers_.back(), nullptr);
    g_main_context_pop_thread_default(context_);
  }

  bool Wait(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      GSource* timer = g_timeout_source_new(static_cast<unsigned>(left.count()));
      g_source_set_callback(
          timer, [](void*) -> gboolean { return G_SOURCE_REMOVE; }, nullptr, nullptr);
      g_source_attach(timer, context_);
      g_main_context_iteration(context_, TRUE);
      g_source_destroy(timer);
      g_source_unref(timer);
    }
    return true;
  }

 private:
  [[noreturn]] static void Fail(const char* what, GError* error) {
    const std::string message = std::string(what) + ": " + (error ? error->message : "failed");
    if (error) g_error_free(error);
    throw std::runtime_error("mutter: " + message);
  }

  GMainContext* context_;
  GDBusConnection* connection_ = nullptr;
  std::list<std::function<void(GVariant*)>> handlers_;
};

// The screen cast's PipeWire stream: each frame mutter records, whole, with
// the time it was recorded.
class Mutter::Stream {
 public:
  Stream(const std::string& socket, std::uint32_t node) {
    pw_init(nullptr, nullptr);
    loop_ = pw_thread_loop_new("quintarel-mutter", nullptr);
    context_ = pw_context_new(pw_thread_loop_get_loop(loop_), nullptr, 0);
    if (!context_ || pw_thread_loop_start(loop_) != 0) {
      End();
      throw std::runtime_error("mutter: no PipeWire loop");
    }
    pw_thread_loop_lock(loop_);
    core_ = pw_context_connect(context_, pw_properties_new(PW_KEY_REMOTE_NAME, socket.c_str(), nullptr), 0);
    if (core_) {
      stream_ = pw_stream_new(core_, "quintarel-test",
                              pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY, "Capture",
                                                PW_KEY_MEDIA_ROLE, "Screen", nullptr));
      events_.version = PW_VERSION_STREAM_EVENTS;
      events_.param_changed = OnParamChanged;
      events_.process = OnProcess;
      pw_stream_add_listener(stream_, &listener_, &events_, this);
      std::uint8_t buffer[1024];
      spa_pod_builder b = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
      const spa_rectangle size = SPA_RECTANGLE(1, 1), least = SPA_RECTANGLE(1, 1), most = SPA_RECTANGLE(16384, 16384);
      // Every frame is a whole screen painted without a GPU: a few a second
      // leave the program time to run while the pointer moves.
      const spa_fraction none = SPA_FRACTION(0, 1), fastest = SPA_FRACTION(20, 1);
      const spa_pod* format = static_cast<const spa_pod*>(spa_pod_builder_add_object(
          &b, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video),
          SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
          SPA_POD_Id(SPA_VIDEO_FORMAT_BGRx), SPA_FORMAT_VIDEO_size,
          SPA_POD_CHOICE_RANGE_Rectangle(&size, &least, &most), SPA_FORMAT_VIDEO_framerate, SPA_POD_Fraction(&none),
          SPA_FORMAT_VIDEO_maxFramerate, SPA_POD_CHOICE_RANGE_Fraction(&fastest, &none, &fastest)));
      pw_stream_connect(stream_, PW_DIRECTION_INPUT, node,
                        pw_stream_flags(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS), &format, 1);
    }
    pw_thread_loop_unlock(loop_);
    if (!core_) {
      End();
      throw std::runtime_error("mutter: PipeWire does not answer at " + socket);
    }
  }
  ~Stream() { End(); }
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  // The first frame recorded after the time (CLOCK_MONOTONIC, ns).
  std::optional<QImage> FrameAfter(std::int64_t time, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!recorded_.wait_for(lock, timeout, [&] { return pts_ > time; })) return std::nullopt;
    return frame_;
  }

 private:
  void End() {
    if (loop_) pw_thread_loop_stop(loop_);
    if (stream_) pw_stream_destroy(stream_);
    if (core_) pw_core_disconnect(core_);
    if (context_) pw_context_destroy(context_);
    if (loop_) pw_thread_loop_destroy(loop_);
  }

  static void OnParamChanged(void* data, std::uint32_t id, const spa_pod* param) {
    auto* self = static_cast<Stream*>(data);
    spa_video_info_raw info{};
    if (id != SPA_PARAM_Format || !param || spa_format_video_raw_parse(param, &info) < 0) return;
    self->width_ = static_cast<int>(info.size.width);
    self->height_ = static_cast<int>(info.size.height);
    std::uint8_t buffer[512];
    spa_pod_builder b = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
    const spa_pod* params[] = {
        static_cast<const spa_pod*>(
            spa_pod_builder_add_object(&b, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_dataType,
                                       SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemFd) | (1 << SPA_DATA_MemPtr)))),
        static_cast<const spa_pod*>(spa_pod_builder_add_object(
            &b, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type, SPA_POD_Id(SPA_META_Header),
            SPA_PARAM_META_size, SPA_POD_Int(sizeof(spa_meta_header))))};
    pw_stream_update_params(self->stream_, params, 2);
  }

  // Keeps the newest frame and gives every buffer back at once: mutter drops
  // a frame for which it finds no free buffer.
  static void OnProcess(void* data) {
    auto* self = static_cast<Stream*>(data);
    pw_buffer* newest = nullptr;
    while (pw_buffer* next = pw_stream_dequeue_buffer(self->stream_)) {
      if (newest) pw_stream_queue_buffer(self->stream_, newest);
      newest = next;
    }
    if (!newest) return;
    const spa_buffer* buffer = newest->buffer;
    const spa_data& d = buffer->datas[0];
    const auto* header = static_cast<const spa_meta_header*>(
        spa_buffer_find_meta_data(buffer, SPA_META_Header, sizeof(spa_meta_header)));
    if (header && !(header->flags & SPA_META_HEADER_FLAG_CORRUPTED) && d.data && d.chunk->size > 0 &&
        !(d.chunk->flags & SPA_CHUNK_FLAG_CORRUPTED) && self->width_ > 0) {
      QImage image(self->width_, self->height_, QImage::Format_RGB32);
      const auto* rows = static_cast<const uchar*>(d.data) + d.chunk->offset;
      for (int y = 0; y < self->height_; ++y)
        std::memcpy(image.scanLine(y), rows + static_cast<std::ptrdiff_t>(y) * d.chunk->stride,
                    static_cast<std::size_t>(self->width_) * 4);
      {
        const std::lock_guard<std::mutex> lock(self->mutex_);
        self->frame_ = std::move(image);
        self->pts_ = header->pts;
      }
      self->recorded_.notify_all();
    }
    pw_stream_queue_buffer(self->stream_, newest);
  }

  pw_thread_loop* loop_ = nullptr;
  pw_context* context_ = nullptr;
  pw_core* core_ = nullptr;
  pw_stream* stream_ = nullptr;
  spa_hook listener_{};
  pw_stream_events events_{};
  int width_ = 0, height_ = 0;
  std::mutex mutex_;
  std::condition_variable recorded_;
  QImage frame_;
  std::int64_t pts_ = 0;
};

Mutter::Mutter(int width, int height) : width_(width), height_(height), layout_(std::make_unique<Layout>(15.0f)) {
  char dir[] = "/tmp/quintarel-mutter-XXXXXX";
  if (!mkdtemp(dir)) throw std::runtime_error("mkdtemp");
  dir_ = dir;
  try {
    Open();
  } catch (...) {
    End();
    throw;
  }
}

void Mutter::Open() {
  // A session bus of its own; it tells its address once it listens.
  int address[2];
  if (pipe2(address, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  // Settings from a file of the session's: new windows open centred, as
  // GNOME's Tweaks can have it. mutter places only dialogs over their parent,
  // and a Wayland client cannot tell mutter 43 that a window is one, so by
  // default the evaluation window would open beside the main window.
  std::filesystem::create_directories(dir_ + "/.config/glib-2.0/settings");
  std::ofstream(dir_ + "/.config/glib-2.0/settings/keyfile") << "[org/gnome/mutter]\ncenter-new-windows=true\n";
  const std::vector<std::string> base = {"PATH=/usr/local/bin:/usr/bin:/bin", "XDG_RUNTIME_DIR=" + dir_, "HOME=" + dir_,
                                         "GSETTINGS_BACKEND=keyfile"};
  dbus_ =
      Start(dir_, "dbus.log", {"/usr/bin/dbus-daemon", "--session", "--nofork", "--print-address=3"}, base, address[1]);
  close(address[1]);
  std::string line;
  pollfd ready{address[0], POLLIN, 0};
  for (char c = 0; poll(&ready, 1, 10000) == 1 && read(address[0], &c, 1) == 1 && c != '\n';) line += c;
  close(address[0]);
  if (line.empty()) throw std::runtime_error("mutter: no session bus (tools/deps.sh test installs dbus)");
  std::vector<std::string> env = base;
  env.push_back("DBUS_SESSION_BUS_ADDRESS=" + line);
  bus_ = std::make_unique<Bus>(line);

  // PipeWire, and WirePlumber to link the screen cast to this test. mutter
  // keeps its animations: without them it leaves a minimized window shrunk to
  // nothing once it is shown again.
  pipewire_ = Start(dir_, "pipewire.log", {"/usr/bin/pipewire"}, env);
  if (!WaitUntil([&] { return std::filesystem::exists(dir_ + "/pipewire-0"); }, 10s))
    throw std::runtime_error("mutter: PipeWire did not start:\n" + ReadAll(dir_ + "/pipewire.log"));
  wireplumber_ = Start(dir_, "wireplumber.log", {"/usr/bin/wireplumber"}, env);
  mutter_ = Start(dir_, "mutter.log",
                  {"/usr/bin/mutter", "--headless", "--wayland", "--wayland-display=wayland-0",
                   "--virtual-monitor=" + std::to_string(width_) + "x" + std::to_string(height_)},
                  env);
  if (!WaitUntil(
          [&] { return bus_->HasOwner(kRemoteDesktop) && bus_->HasOwner(kScreenCast) && bus_->HasOwner(kIdleMonitor); },
          20s))
    throw std::runtime_error("mutter did not start (tools/deps.sh test installs it):\n" +
                             ReadAll(dir_ + "/mutter.log"));
  std::smatch x;
  const std::string log = ReadAll(dir_ + "/mutter.log");
  if (!std::regex_search(log, x, std::regex("Using public X11 display (:[0-9]+)")))
    throw std::runtime_error("mutter started no XWayland:\n" + log);
  xDisplay_ = x[1];

  // Every input is waited for until mutter has handled it: an idle watch
  // fires as mutter takes the event in, before it acts on it, and it acts on
  // it before it answers another call.
  bus_->Subscribe(kIdleMonitor, "WatchFired", kIdlePath, [this](GVariant* args) {
    unsigned id = 0;
    g_variant_get(args, "(u)", &id);
    fired_.insert(id);
  });

  // The remote desktop session, and a screen cast of the monitor linked to
  // it: absolute motion is given in a linked stream's coordinates.
  const auto path = [](const Variant& reply) {
    const char* p = nullptr;
    g_variant_get(reply.get(), "(&o)", &p);
    return std::string(p);
  };
  desktop_ = path(bus_->Call(kRemoteDesktop, "/org/gnome/Mutter/RemoteDesktop", kRemoteDesktop, "CreateSession"));
  const Variant id = bus_->Call(kRemoteDesktop, desktop_, "org.freedesktop.DBus.Properties", "Get",
                                g_variant_new("(ss)", "org.gnome.Mutter.RemoteDesktop.Session", "SessionId"));
  GVariant* value = nullptr;
  g_variant_get(id.get(), "(v)", &value);
  GVariantBuilder options;
  g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
  g_variant_builder_add(&options, "{sv}", "remote-desktop-session-id", value);
  const std::string cast = path(bus_->Call(kScreenCast, "/org/gnome/Mutter/ScreenCast", kScreenCast, "CreateSession",
                                           g_variant_new("(a{sv})", &options)));
  g_variant_unref(value);
  // The pointer drawn into the frames, as the user sees it.
  g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
  g_variant_builder_add(&options, "{sv}", "cursor-mode", g_variant_new_uint32(1));
  streamPath_ = path(bus_->Call(kScreenCast, cast, "org.gnome.Mutter.ScreenCast.Session", "RecordMonitor",
                                g_variant_new("(sa{sv})", "", &options)));
  const auto node = std::make_shared<std::optional<std::uint32_t>>();
  bus_->Subscribe("org.gnome.Mutter.ScreenCast.Stream", "PipeWireStreamAdded", streamPath_, [node](GVariant* args) {
    std::uint32_t n = 0;
    g_variant_get(args, "(u)", &n);
    *node = n;
  });
  bus_->Call(kRemoteDesktop, desktop_, "org.gnome.Mutter.RemoteDesktop.Session", "Start");
  if (!bus_->Wait([&] { return node->has_value(); }, 10s)) throw std::runtime_error("mutter cast no stream");
  stream_ = std::make_unique<Stream>(dir_ + "/pipewire-0", **node);
  if (!stream_->FrameAfter(0, 10s)) throw std::runtime_error("mutter's screen cast sent no frame");
  // mutter adds the session's pointer and keyboard to its seat with their
  // first events: here, before any client, as a desktop has them from the start.
  Input("NotifyPointerMotionRelative", g_variant_new("(dd)", 0.0, 0.0));
  Keys({kShift});
}

Mutter::~Mutter() { End(); }

void Mutter::End() {
  // Ended with its sessions still open, mutter now and then spins for good
  // on its way out.
  if (bus_ && !desktop_.empty()) {
    try {
      bus_->Call(kRemoteDesktop, desktop_, "org.gnome.Mutter.RemoteDesktop.Session", "Stop");
    } catch (const std::runtime_error&) {
      // gone already: mutter is going too
    }
  }
  stream_.reset();
  bus_.reset();
  // mutter ends its XWayland before it ends itself.
  Stop(mutter_);
  Stop(wireplumber_);
  Stop(pipewire_);
  Stop(dbus_);
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

std::vector<std::pair<std::string, std::string>> Mutter::ClientEnv() const {
  return {{"WAYLAND_DISPLAY", "wayland-0"}, {"XDG_RUNTIME_DIR", dir_}, {"HOME", dir_}};
}

void Mutter::Input(const char* method, GVariant* args) const {
  // The watch and the input at once: mutter takes calls in order, so the
  // watch is set when the input comes.
  struct Answers {
    int count = 0;
    std::optional<unsigned> watch;
    std::string error;
  };
  const auto answers = std::make_shared<Answers>();
  bus_->Send(kIdleMonitor, kIdlePath, kIdleMonitor, "AddUserActiveWatch", nullptr,
             [answers](GVariant* reply, const GError* error) {
               ++answers->count;
               unsigned watch = 0;
               if (reply) g_variant_get(reply, "(u)", &watch);
               if (reply) answers->watch = watch;
               if (error) answers->error = error->message;
             });
  bus_->Send(kRemoteDesktop, desktop_, "org.gnome.Mutter.RemoteDesktop.Session", method, args,
             [answers](GVariant*, const GError* error) {
               ++answers->count;
               if (error) answers->error = error->message;
             });
  if (!bus_->Wait([&] { return answers->count == 2 && (!answers->error.empty() || fired_.erase(*answers->watch) > 0); },
                  5s) ||
      !answers->error.empty())
    throw std::runtime_error(std::string("mutter did not take ") + method + ": " + answers->error);
}

void Mutter::MoveTo(int x, int y) {
  Input("NotifyPointerMotionAbsolute", g_variant_new("(sdd)", streamPath_.c_str(), double(x), double(y)));
}

// In steps, as a mouse moves: mutter takes up a hold only once the pointer is
// over the window, and one long motion would jump over the window.
void Mutter::MoveBy(int dx, int dy) {
  constexpr int kStep = 64;
  const int steps = std::max(1, (std::max(std::abs(dx), std::abs(dy)) + kStep - 1) / kStep);
  for (int i = 1; i <= steps; ++i)
    Input("NotifyPointerMotionRelative", g_variant_new("(dd)", double(dx * i / steps - dx * (i - 1) / steps),
                                                       double(dy * i / steps - dy * (i - 1) / steps)));
}

void Mutter::Button(bool down) { Input("NotifyPointerButton", g_variant_new("(ib)", kLeftButton, down)); }

void Mutter::Keys(const std::vector<unsigned>& keysyms) {
  for (const unsigned k : keysyms) Input("NotifyKeyboardKeysym", g_variant_new("(ub)", k, TRUE));
  for (auto k = keysyms.rbegin(); k != keysyms.rend(); ++k)
    Input("NotifyKeyboardKeysym", g_variant_new("(ub)", *k, FALSE));
}

QImage Mutter::Grab(const Rect& r) const {
  // mutter records a frame whenever the screen changes, and for every motion
  // of the pointer, even by nothing. Every input sent so far has been handled
  // now, so a frame recorded after now shows all it did.
  const std::int64_t now = Now();
  Input("NotifyPointerMotionRelative", g_variant_new("(dd)", 0.0, 0.0));
  const std::optional<QImage> frame = stream_->FrameAfter(now, 5s);
  if (!frame) throw std::runtime_error("mutter recorded no frame");
  return frame->copy(r.x, r.y, r.width, r.height);
}

void Mutter::Focus(const Window& window) {
  if (ActiveWindow() == window.id) return;
  // The program has two windows: the one used before is the other one.
  Keys({kAlt, kTab});
  if (!WaitUntil([&] { return ActiveWindow() == window.id; }))
    throw std::runtime_error("mutter: \"" + window.id + "\" did not become active");
}

void Mutter::Restore(const Window& window) { Focus(window); }

void Mutter::Minimize(const Window& window) {
  Focus(window);
  Keys({kSuper, kH});
  if (!WaitUntil([&] { return !FindWindow(window.id); }))
    throw std::runtime_error("mutter: \"" + window.id + "\" is still shown");
}

void Mutter::Close(const Window& window) {
  Focus(window);
  Keys({kAlt, kF4});
}

// The program shows a change of the active window a moment after mutter made
// it, one window after the other: what mutter did shows once one window alone
// shows active.
std::string Mutter::ActiveWindow() const {
  std::string title;
  if (!WaitUntil([&] {
        const QImage screen = Grab({0, 0, width_, height_});
        int active = 0;
        for (const rt::Form* form : Forms())
          if (const std::optional<Window> w = Find(screen, *form); w && w->focused) {
            ++active;
            title = w->id;
          }
        return active == 1;
      }))
    throw std::runtime_error("mutter: no window of the program shows active");
  return title;
}

std::vector<const rt::Form*> Mutter::Forms() const { return {&layout_->Main(), &layout_->Win()}; }

namespace {

struct NoText : rt::TextMeasure {
  int Width(std::string_view, int) const override { return 0; }
  int LineHeight(int) const override { return 0; }
};

// How close a pixel is to a colour: the title bar's gradient starts and ends
// near its two colours.
bool Near(QRgb p, rt::Color c, int by) {
  const rt::Rgb e = rt::ResolveColor(c);
  return std::abs(qRed(p) - e.r) <= by && std::abs(qGreen(p) - e.g) <= by && std::abs(qBlue(p) - e.b) <= by;
}

}  // namespace

// The window is where the screen shows its frame: the border around the title
// bar and the client area as the program paints it for the form of that
// caption, found from its top-left or bottom-right corner (the pointer hides
// one of them at most), and more than half of it showing. Whether it is
// active is what its title bar shows: mutter's activation, as the program
// took it.
std::optional<Compositor::Window> Mutter::FindWindow(const std::string& title) const {
  for (const rt::Form* form : Forms())
    if (form->Design().caption == title) return Find(Grab({0, 0, width_, height_}), *form);
  return std::nullopt;
}

std::optional<Compositor::Window> Mutter::Find(const QImage& screen, const rt::Form& form) const {
  const std::string title(form.Design().caption);
  const rt::FrameLayout frame = rt::LayOutFrame(form.Design(), layout_->Screen());
  const int w = frame.outer.width, h = frame.outer.height, u = frame.unit;
  const NoText noText;
  const rt::FrameLook active = rt::LookOfFrame(frame, title, true, rt::FramePart::Outside, noText);
  const rt::FrameLook inactive = rt::LookOfFrame(frame, title, false, rt::FramePart::Outside, noText);
  QImage look(w, h, QImage::Format_ARGB32);
  look.fill(Qt::transparent);
  for (const rt::FrameFill& fill : active.fills) {
    const rt::Rgb c = rt::ResolveColor(fill.color);
    for (int y = fill.rect.top; y < fill.rect.top + fill.rect.height; ++y)
      for (int x = fill.rect.left; x < fill.rect.left + fill.rect.width; ++x) look.setPixel(x, y, qRgb(c.r, c.g, c.b));
  }
  std::vector<std::pair<QPoint, QRgb>> border;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (qAlpha(look.pixel(x, y)) && !frame.caption.Contains({x, y}) && !frame.client.Contains({x, y}))
        border.emplace_back(QPoint(x, y), look.pixel(x, y));

  const auto at = [&](int x, int y) { return reinterpret_cast<const QRgb*>(screen.constScanLine(y))[x]; };
  const auto shows = [&](int ox, int oy, int x0, int y0) {
    for (int y = y0; y < y0 + 2 * u; ++y)
      for (int x = x0; x < x0 + 2 * u; ++x)
        if (at(ox + x, oy + y) != look.pixel(x, y)) return false;
    return true;
  };
  const QRgb topLeft = look.pixel(0, 0), bottomRight = look.pixel(w - 1, h - 1);
  std::optional<Window> best;
  std::size_t bestShown = border.size() / 2;
  for (int y = 0; y + h <= height_; ++y)
    for (int x = 0; x + w <= width_; ++x) {
      if (!(at(x, y) == topLeft && shows(x, y, 0, 0)) &&
          !(at(x + w - 1, y + h - 1) == bottomRight && shows(x, y, w - 2 * u, h - 2 * u)))
        continue;
      std::size_t shown = 0;
      for (const auto& [p, c] : border) shown += at(x + p.x(), y + p.y()) == c;
      if (shown <= bestShown) continue;
      bestShown = shown;
      // The bar's two ends, clear of the icon and the boxes.
      int lit = 0, unlit = 0;
      for (int row = frame.caption.top; row < frame.caption.top + frame.caption.height; ++row) {
        const QRgb left = screen.pixel(x + frame.caption.left, y + row);
        const QRgb right = screen.pixel(x + frame.caption.left + frame.caption.width - 1, y + row);
        lit += Near(left, active.barLeft, 8) + Near(right, active.barRight, 8);
        unlit += Near(left, inactive.barLeft, 8) + Near(right, inactive.barRight, 8);
      }
      best = Window{title, {x, y, w, h}, lit > unlit};
    }
  return best;
}

}  // namespace qt_tests
