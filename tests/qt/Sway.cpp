#include "Sway.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace qt_tests {

using namespace std::chrono_literals;

namespace {

constexpr int kNobody = 65534;

void Become(int user) {
  if (user < 0) return;
  if (setgroups(0, nullptr) != 0 || setgid(static_cast<gid_t>(user)) != 0 || setuid(static_cast<uid_t>(user)) != 0)
    _exit(126);
}

std::string Run(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

std::optional<Sway::Window> Find(const QJsonObject& node, const QString& title) {
  if (node.value("name").toString() == title && node.contains("window_rect")) {
    const QJsonObject r = node.value("rect").toObject(), w = node.value("window_rect").toObject();
    return Sway::Window{std::to_string(node.value("id").toInteger()),
                        {r.value("x").toInt() + w.value("x").toInt(), r.value("y").toInt() + w.value("y").toInt(),
                         w.value("width").toInt(), w.value("height").toInt()},
                        node.value("focused").toBool()};
  }
  for (const char* children : {"nodes", "floating_nodes"})
    for (const QJsonValue child : node.value(children).toArray())
      if (std::optional<Sway::Window> found = Find(child.toObject(), title)) return found;
  return std::nullopt;
}

}  // namespace

Sway::Sway(int width, int height) : width_(width), height_(height) {
  if (geteuid() == 0) user_ = kNobody;
  char dir[] = "/tmp/quintarel-sway-XXXXXX";
  if (!mkdtemp(dir)) throw std::runtime_error("mkdtemp");
  dir_ = dir;
  if (user_ >= 0 && chown(dir, static_cast<uid_t>(user_), static_cast<gid_t>(user_)) != 0)
    throw std::runtime_error("chown " + dir_);
  // Pointer constraints are made but never take hold without the seat lines.
  // Without borders a window's rectangle in sway's tree is its surface's, at
  // once (a title bar is added to the tree a moment after the window). Only a
  // click moves the focus, so that the tests can move the pointer anywhere.
  // sway tells its clients' environment to the first one it starts.
  {
    std::ofstream config(dir_ + "/config");
    config << "output * mode " << width << "x" << height << "\n"
           << "seat seat0 fallback true\n"
           << "seat seat0 pointer_constraint enable\n"
           << "xwayland enable\n"
           << "default_floating_border none\n"
           << "focus_follows_mouse no\n"
           << "exec env > " << dir_ << "/env.part && mv " << dir_ << "/env.part " << dir_ << "/env\n";
  }
  chmod((dir_ + "/config").c_str(), 0644);
  sway_ = fork();
  if (sway_ == 0) {
    const int log = open((dir_ + "/sway.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(log, 1);
    dup2(log, 2);
    Become(user_);
    const std::string runtime = "XDG_RUNTIME_DIR=" + dir_, home = "HOME=" + dir_;
    const char* env[] = {
        "PATH=/usr/local/bin:/usr/bin:/bin", runtime.c_str(),       home.c_str(), "WLR_BACKENDS=headless",
        "WLR_LIBINPUT_NO_DEVICES=1",         "WLR_RENDERER=pixman", nullptr};
    execle("/usr/bin/sway", "sway", "-c", (dir_ + "/config").c_str(), static_cast<char*>(nullptr), env);
    _exit(127);
  }
  if (!WaitUntil([this] { return std::filesystem::exists(dir_ + "/env"); }, 10s)) {
    std::ifstream log(dir_ + "/sway.log");
    std::stringstream text;
    text << log.rdbuf();
    throw std::runtime_error("sway did not start (tools/deps.sh test installs it):\n" + text.str());
  }
  std::ifstream env(dir_ + "/env");
  for (std::string line; std::getline(env, line);) {
    const std::size_t eq = line.find('=');
    const std::string name = line.substr(0, eq), value = line.substr(eq + 1);
    if (name == "WAYLAND_DISPLAY") waylandDisplay_ = value;
    if (name == "DISPLAY") xDisplay_ = value;
    if (name == "SWAYSOCK") ipc_ = value;
  }
  if (waylandDisplay_.empty() || xDisplay_.empty() || ipc_.empty())
    throw std::runtime_error("sway did not announce its displays");

  // The headless seat has a pointer only once a virtual one exists.
  int in[2], out[2];
  if (pipe(in) != 0 || pipe(out) != 0) throw std::runtime_error("pipe");
  pointer_ = fork();
  if (pointer_ == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    close(in[1]);
    close(out[0]);
    setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
    setenv("WAYLAND_DISPLAY", waylandDisplay_.c_str(), 1);
    execl(QUINTAREL_VIRTUAL_POINTER, QUINTAREL_VIRTUAL_POINTER, static_cast<char*>(nullptr));
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  pointerIn_ = in[1];
  pointerOut_ = out[0];
  Pointer("");
}

Sway::~Sway() {
  if (pointer_ > 0) {
    close(pointerIn_);  // it ends at the end of its input
    close(pointerOut_);
    int status = 0;
    waitpid(pointer_, &status, 0);
  }
  if (sway_ > 0) {
    kill(sway_, SIGTERM);
    int status = 0;
    waitpid(sway_, &status, 0);
  }
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

std::vector<std::pair<std::string, std::string>> Sway::ClientEnv() const {
  return {{"WAYLAND_DISPLAY", waylandDisplay_}, {"XDG_RUNTIME_DIR", dir_}, {"HOME", dir_}};
}

std::string Sway::Msg(const std::string& args) const { return Run("swaymsg -s '" + ipc_ + "' " + args + " 2>&1"); }

std::optional<Sway::Window> Sway::FindWindow(const std::string& title) const {
  const QJsonDocument tree = QJsonDocument::fromJson(QByteArray::fromStdString(Msg("-r -t get_tree")));
  return Find(tree.object(), QString::fromStdString(title));
}

void Sway::Command(const Window& window, const std::string& command) const {
  const std::string out = Msg("'[con_id=" + window.id + "] " + command + "'");
  if (out.find("\"success\": true") == std::string::npos) throw std::runtime_error("swaymsg " + command + ": " + out);
}

void Sway::Freeze(bool frozen) const { kill(sway_, frozen ? SIGSTOP : SIGCONT); }

QImage Sway::Grab(const Rect& r) const {
  const std::string geometry =
      std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" + std::to_string(r.height);
  const std::string png =
      Run("XDG_RUNTIME_DIR='" + dir_ + "' WAYLAND_DISPLAY='" + waylandDisplay_ + "' grim -g '" + geometry + "' -");
  QImage image = QImage::fromData(QByteArray::fromStdString(png), "PNG");
  if (image.isNull()) throw std::runtime_error("grim took no screenshot");
  return image.convertToFormat(QImage::Format_RGB32);
}

void Sway::Pointer(const std::string& command) const {
  AskHelper(pointerIn_, pointerOut_, command, "the virtual pointer");
}

void Sway::MoveTo(int x, int y) {
  Pointer("at " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(width_) + " " +
          std::to_string(height_));
}

void Sway::MoveBy(int dx, int dy) { Pointer("by " + std::to_string(dx) + " " + std::to_string(dy)); }

}  // namespace qt_tests
