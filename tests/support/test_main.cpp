// Tests run with a real QApplication on the offscreen platform, so event loops, timers and
// widgets behave as in the program.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QSettings>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // CTest runs the tests as parallel processes; each keeps the choices its windows remember
  // (units, shape, places) in a settings file of its own, removed at the end.
  QCoreApplication::setApplicationName(
      QStringLiteral("brevane_tests-%1").arg(QCoreApplication::applicationPid()));
  ::testing::InitGoogleTest(&argc, argv);
  const int failed = RUN_ALL_TESTS();
  const QString settings = QSettings().fileName();
  QFile::remove(settings);
  return failed;
}
