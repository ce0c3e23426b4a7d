#include <gtest/gtest.h>

#include <QGuiApplication>
#include <cstdlib>

// The tests render the expected captions with Qt to read the screen; that Qt
// needs no display of its own.
int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  unsetenv("QT_SCALE_FACTOR");
  QGuiApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
