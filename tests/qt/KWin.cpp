#include "KWin.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace qt_tests {

using namespace std::chrono_literals;

namespace {

const QString kService = "org.kde.KWin";

// A string as a JavaScript literal, in ASCII whatever KWin takes the file's
// encoding for.
std::string JsString(const std::string& text) {
  std::string out = "\"";
  for (const QChar c : QString::fromStdString(text)) {
    if (c.unicode() >= 0x20 && c.unicode() < 0x7f && c != '"' && c != '\\') {
      out += static_cast<char>(c.unicode());
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c.unicode());
      out += escape;
    }
  }
  return out + "\"";
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Stops a process and whatever it started that is left in its group.
void Stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  int status = 0;
  if (!WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 10s)) {
    kill(-pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  kill(-pid, SIGKILL);
}

// Runs the program in a process group of its own, its output into log unless
// given pipes for its input and output.
pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env, const std::string& log,
            int in = -1, int out = -1) {
  std::vector<char*> argv, envp;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    dup2(fd, 2);
    dup2(out >= 0 ? out : fd, 1);
    if (in >= 0) dup2(in, 0);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  if (pid < 0) throw std::runtime_error("fork");
  return pid;
}

}  // namespace

KWin::KWin(int width, int height) {
  char dir[] = "/tmp/quintarel-kwin-XXXXXX";
  if (!mkdtemp(dir)) throw std::runtime_error("mkdtemp");
  dir_ = dir;
  try {
    // The session bus KWin's interfaces are on, announced once it listens.
    int address[2];
    if (pipe(address) != 0) throw std::runtime_error("pipe");
    dbus_ = Spawn({"/usr/bin/dbus-daemon", "--session", "--nofork", "--nopidfile",
                   "--address=unix:path=" + dir_ + "/bus", "--print-address=" + std::to_string(address[1])},
                  {"PATH=/usr/bin:/bin"}, dir_ + "/dbus.log");
    close(address[1]);
    std::string busAddress;
    for (char c = 0; read(address[0], &c, 1) == 1 && c != '\n';) busAddress += c;
    close(address[0]);
    if (busAddress.empty()) throw std::runtime_error("dbus-daemon did not start:\n" + ReadAll(dir_ + "/dbus.log"));

    // No animations: a window is drawn where KWin says it is, at once.
    std::filesystem::create_directories(dir_ + "/.config");
    std::ofstream(dir_ + "/.config/kdeglobals") << "[KDE]\nAnimationDurationFactor=0\n";
    // The installed binary carries a capability this machine does not grant;
    // a copy runs. KWin takes its own platform plugin only under its own name.
    std::filesystem::copy_file("/usr/bin/kwin_wayland", dir_ + "/kwin_wayland");
    // KWin starts its session's program once Wayland and XWayland are up: it
    // tells the environment KWin gives its clients.
    const std::string announce = "/bin/sh -c 'env > " + dir_ + "/env.new && mv " + dir_ + "/env.new " + dir_ + "/env'";
    kwin_ = Spawn({dir_ + "/kwin_wayland", "--virtual", "--xwayland", "--width", std::to_string(width), "--height",
                   std::to_string(height), "--socket", "wayland-0", "--no-lockscreen", "--no-global-shortcuts",
                   "--no-kactivities", announce},
                  {"PATH=/usr/bin:/bin", "XDG_RUNTIME_DIR=" + dir_, "HOME=" + dir_,
                   "DBUS_SESSION_BUS_ADDRESS=" + busAddress, "KWIN_WAYLAND_NO_PERMISSION_CHECKS=1",
                   "KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1", "QT_LOGGING_RULES=js.debug=true"},
                  dir_ + "/kwin.log");
    bus_ = QDBusConnection::connectToBus(QString::fromStdString(busAddress), QString::fromStdString(dir_));
    const bool started = WaitUntil(
        [&] {
          return std::filesystem::exists(dir_ + "/env") && bus_.isConnected() &&
                 bus_.interface()->isServiceRegistered(kService) &&
                 bus_.interface()->isServiceRegistered("org.kde.KWin.ScreenShot2");
        },
        20s);
    if (!started) throw std::runtime_error("KWin did not start (tools/deps.sh test installs it):\n" + Log());
    std::istringstream env(ReadAll(dir_ + "/env"));
    for (std::string line; std::getline(env, line);) {
      const std::size_t eq = line.find('=');
      if (line.substr(0, eq) == "DISPLAY") xDisplay_ = line.substr(eq + 1);
      if (line.substr(0, eq) == "XAUTHORITY") xAuthority_ = line.substr(eq + 1);
    }
    if (xDisplay_.empty()) throw std::runtime_error("KWin started no XWayland");

    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    input_ = Spawn({QUINTAREL_KWIN_INPUT}, {"XDG_RUNTIME_DIR=" + dir_, "WAYLAND_DISPLAY=wayland-0"}, dir_ + "/kwin.log",
                   in[0], out[1]);
    close(in[0]);
    close(out[1]);
    inputIn_ = in[1];
    inputOut_ = out[0];
    Input("");
  } catch (...) {
    End();
    throw;
  }
}

KWin::~KWin() { End(); }

void KWin::End() {
  if (input_ > 0) {
    close(inputIn_);  // it ends at the end of its input
    close(inputOut_);
    int status = 0;
    waitpid(input_, &status, 0);
    input_ = -1;
  }
  if (!bus_.name().isEmpty()) QDBusConnection::disconnectFromBus(bus_.name());
  // KWin ends its XWayland itself; dbus-daemon, what it started for others.
  Stop(kwin_);
  Stop(dbus_);
  kwin_ = dbus_ = -1;
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

std::vector<std::pair<std::string, std::string>> KWin::ClientEnv() const {
  std::vector<std::pair<std::string, std::string>> env{
      {"WAYLAND_DISPLAY", "wayland-0"}, {"XDG_RUNTIME_DIR", dir_}, {"HOME", dir_}};
  if (!xAuthority_.empty()) env.emplace_back("XAUTHORITY", xAuthority_);
  return env;
}

std::string KWin::Log() const { return ReadAll(dir_ + "/kwin.log"); }

std::string KWin::Script(const std::string& body) const {
  const std::string name = "quintarel-" + std::to_string(++scripts_), path = dir_ + "/" + name + ".js";
  // print() goes to KWin's output (QT_LOGGING_RULES keeps it there), a line
  // each, behind the script's name.
  std::ofstream(path) << "function answer(value) { print(\"" << name << " \" + JSON.stringify(value)); }\n" << body;
  const auto call = [&](const QString& path, const QString& interface, const QString& method,
                        const QVariantList& args) {
    QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
    message.setArguments(args);
    const QDBusMessage reply = bus_.call(message, QDBus::Block, 10000);
    if (reply.type() != QDBusMessage::ReplyMessage)
      throw std::runtime_error("KWin's " + method.toStdString() + ": " + reply.errorMessage().toStdString());
    return reply.arguments();
  };
  const int id = call("/Scripting", "org.kde.kwin.Scripting", "loadScript",
                      {QString::fromStdString(path), QString::fromStdString(name)})
                     .value(0)
                     .toInt();
  if (id < 0) throw std::runtime_error("KWin did not load " + path);
  call("/" + QString::number(id), "org.kde.kwin.Script", "run", {});
  const std::string marker = name + " ";
  std::string answer;
  const bool answered = WaitUntil([&] {
    std::ifstream log(dir_ + "/kwin.log", std::ios::binary);
    log.seekg(static_cast<std::streamoff>(logRead_));
    std::stringstream rest;
    rest << log.rdbuf();
    const std::string text = rest.str();
    const std::size_t at = text.find(marker), end = text.find('\n', at);
    if (at == std::string::npos || end == std::string::npos) return false;
    answer = text.substr(at + marker.size(), end - at - marker.size());
    logRead_ += end + 1;
    return true;
  });
  call("/Scripting", "org.kde.kwin.Scripting", "unloadScript", {QString::fromStdString(name)});
  std::filesystem::remove(path);
  if (!answered) throw std::runtime_error("KWin's script " + name + " gave no answer:\n" + Log());
  return answer;
}

std::optional<Compositor::Window> KWin::FindWindow(const std::string& title) const {
  // KWin's caption of a window is its title with the white space simplified.
  const std::string caption = QString::fromStdString(title).simplified().toStdString();
  const QJsonArray found =
      QJsonDocument::fromJson(
          QByteArray::fromStdString(
              Script("answer(Array.from(workspace.clientList()).filter(c => c.caption === " + JsString(caption) +
                     ").map(c => ({id: c.internalId.toString(), frame: "
                     "c.frameGeometry, surface: c.bufferGeometry, active: c.active})));")))
          .array();
  if (found.isEmpty()) return std::nullopt;
  const QJsonObject w = found.first().toObject();
  const auto rect = [&](const char* name) {
    const QJsonObject r = w.value(name).toObject();
    return Rect{r.value("x").toInt(), r.value("y").toInt(), r.value("width").toInt(), r.value("height").toInt()};
  };
  const Rect frame = rect("frame"), surface = rect("surface");
  // The program draws its frame itself and asks for none.
  if (frame.x != surface.x || frame.y != surface.y || frame.width != surface.width || frame.height != surface.height)
    throw std::runtime_error("KWin frames \"" + title + "\": " + QJsonDocument(w).toJson().toStdString());
  return Window{w.value("id").toString().toStdString(), surface, w.value("active").toBool()};
}

void KWin::Act(const Window& window, const std::string& action) const {
  const std::string done = Script(
      "const c = Array.from(workspace.clientList()).find(c => c.internalId.toString() === " + JsString(window.id) +
      ");\nif (c) { " + action + " }\nanswer(!!c);");
  if (done != "true") throw std::runtime_error("KWin has no window " + window.id + " to " + action);
}

QImage KWin::Grab(const Rect& r) const {
  // KWin answers, then writes the pixels into the pipe.
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  QVariantMap results;
  {
    QDBusMessage message = QDBusMessage::createMethodCall(kService, "/org/kde/KWin/ScreenShot2",
                                                          "org.kde.KWin.ScreenShot2", "CaptureArea");
    message << r.x << r.y << static_cast<uint>(r.width) << static_cast<uint>(r.height)
            << QVariantMap{{"include-cursor", true}} << QVariant::fromValue(QDBusUnixFileDescriptor(fds[1]));
    close(fds[1]);
    const QDBusMessage reply = bus_.call(message, QDBus::Block, 10000);
    if (reply.type() != QDBusMessage::ReplyMessage) {
      close(fds[0]);
      throw std::runtime_error("KWin took no screenshot: " + reply.errorMessage().toStdString());
    }
    results = qdbus_cast<QVariantMap>(reply.arguments().value(0));
  }
  const int w = results.value("width").toInt(), h = results.value("height").toInt(),
            stride = results.value("stride").toInt();
  QByteArray data(static_cast<qsizetype>(stride) * h, 0);
  qsizetype got = 0;
  pollfd readable{fds[0], POLLIN, 0};
  while (got < data.size() && poll(&readable, 1, 10000) == 1) {
    const ssize_t n = read(fds[0], data.data() + got, static_cast<std::size_t>(data.size() - got));
    if (n <= 0) break;
    got += n;
  }
  close(fds[0]);
  if (got < data.size() || w != r.width || h != r.height) throw std::runtime_error("KWin's screenshot is incomplete");
  const QImage image(reinterpret_cast<const uchar*>(data.constData()), w, h, stride,
                     static_cast<QImage::Format>(results.value("format").toInt()));
  return image.convertToFormat(QImage::Format_RGB32).copy();
}

void KWin::Input(const std::string& command) const {
  try {
    AskHelper(inputIn_, inputOut_, command, "KWin's fake input");
  } catch (const std::runtime_error& e) {
    throw std::runtime_error(std::string(e.what()) + ":\n" + Log());
  }
}

}  // namespace qt_tests
