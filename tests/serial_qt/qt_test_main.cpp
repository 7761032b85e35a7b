#include <gtest/gtest.h>

#include <QCoreApplication>

// Qt SerialPort wants an application object for its socket notifiers.
int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
