// The Qt back end's tests run on the thread of the QApplication, offscreen
// unless a platform is named.
#include <gtest/gtest.h>

#include <QApplication>

#include "ui/qt/qt_backend.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  tessaril::ui::prepare_qt_application();
  return RUN_ALL_TESTS();
}
