#include "app/window_system.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <cstdlib>
#include <iostream>

namespace brevane {

namespace {

bool has_display() {
#if defined(__unix__) && !defined(__APPLE__)
  return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
  return true;
#endif
}

QtMessageHandler default_message_handler = nullptr;
bool window_system_up = false;

}  // namespace

// A display that is named but cannot be reached makes the platform plugin fatal, which would
// abort with a core dump; end with one line and status 2 instead.
void install_fatal_display_handler() {
  default_message_handler = qInstallMessageHandler(
      [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (type == QtFatalMsg && !window_system_up) {
          const QByteArray display = qgetenv("DISPLAY");
          std::cerr << "brevane: the window cannot be opened"
                    << (display.isEmpty() ? std::string() : " on display " + display.toStdString())
                    << " (" << message.section(QLatin1Char('\n'), 0, 0).trimmed().toStdString()
                    << "); --sweep and --upload-list run without a display\n";
          std::_Exit(2);
        }
        // Said on every start as a user without a login session (a service, CI); Qt falls
        // back to a private folder, and a job's stderr stays one line per problem.
        if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) return;
        if (default_message_handler) default_message_handler(type, context, message);
      });
}

bool display_available() {
  return has_display();
}

std::optional<std::string> choose_platform(bool headless_job) {
  if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || has_display()) return std::nullopt;
  if (headless_job) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::nullopt;
  }
  return std::string(
      "there is no display to open the window on (DISPLAY and WAYLAND_DISPLAY "
      "are not set); --sweep and --upload-list run without one");
}

void window_system_started() {
  window_system_up = true;
}

}  // namespace brevane
