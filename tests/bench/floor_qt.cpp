// The Qt floor: a plain Widgets window with a label and a push button, painted
// in one colour, that repaints a patch when clicked.
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QWidget>

#include "Floor.h"

namespace {

namespace fw = floor_window;

QColor Colour(unsigned rgb) { return QColor::fromRgb(static_cast<QRgb>(rgb)); }

class Window : public QWidget {
 protected:
  void paintEvent(QPaintEvent* event) override {
    QPainter painter(this);
    painter.fillRect(event->rect(), Colour(fw::kBackground));
    painter.fillRect(kPatch, Colour(fw::kPatchColours[patch_]));
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() != Qt::LeftButton) return;
    patch_ ^= 1;
    update(kPatch);
  }

 private:
  static constexpr QRect kPatch{fw::kPatchLeft, fw::kPatchTop, fw::kPatchWidth, fw::kPatchHeight};
  int patch_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  Window window;
  window.setWindowTitle(QStringLiteral(FLOOR_TITLE));
  window.setGeometry(fw::kLeft, fw::kTop, fw::kWidth, fw::kHeight);
  window.setFixedSize(fw::kWidth, fw::kHeight);
  auto* label = new QLabel(QStringLiteral("Zvolené číslo:"), &window);
  label->move(230, 68);
  auto* button = new QPushButton(QStringLiteral("OK"), &window);
  button->setGeometry(330, 190, 80, 26);
  window.show();
  return QApplication::exec();
}
