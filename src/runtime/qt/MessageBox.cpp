#include "runtime/qt/MessageBox.h"

#include <QMessageBox>
#include <QTimer>

namespace quintarel::qt {

namespace {

constexpr int kStyleIconMask = 0x70;
constexpr int kStyleCritical = 16;
constexpr int kStyleQuestion = 32;
constexpr int kStyleExclamation = 48;
constexpr int kStyleInformation = 64;
constexpr int kResultOk = 1;

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QMessageBox::Icon IconFor(int style) {
  switch (style & kStyleIconMask) {
    case kStyleCritical:
      return QMessageBox::Critical;
    case kStyleQuestion:
      return QMessageBox::Question;
    case kStyleExclamation:
      return QMessageBox::Warning;
    case kStyleInformation:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

}  // namespace

int ShowMessageBox(QWidget* owner, std::string_view prompt, int style, std::string_view title) {
  QMessageBox box(IconFor(style), Text(title), Text(prompt), QMessageBox::Ok, owner);
  box.setWindowModality(Qt::ApplicationModal);
  // A window manager gives a new modal box the focus; without one (a bare X
  // server) nobody does, and Enter would not reach its OK button.
  QTimer::singleShot(0, &box, [&box] { box.activateWindow(); });
  box.exec();
  return kResultOk;
}

}  // namespace quintarel::qt
