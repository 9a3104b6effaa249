// RPN Workbench: opens the main menu, and the assembler screen with a source file when one is
// named on the command line, and runs until the menu is closed.
#include "common/screen_kit.h"
#include "shell/command_line.h"
#include "shell/frm_main.h"
#include "shell/screenshots.h"

#include <QApplication>
#include <QCoreApplication>
#include <algorithm>
#include <iterator>
#include <string_view>

namespace {

void nameApplication() {
  QCoreApplication::setApplicationName(QStringLiteral("rpn-workbench"));
  QCoreApplication::setApplicationVersion(QStringLiteral(RPN_VERSION));
}

// --help and --version print and end before any window exists, so they work without a display.
bool printsOnly(int argc, char** argv) {
  static constexpr std::string_view kOptions[] = {"-h", "--help", "-v", "--version"};
  return std::any_of(argv + 1, argv + argc, [](const char* argument) {
    return std::find(std::begin(kOptions), std::end(kOptions), argument) != std::end(kOptions);
  });
}

} // namespace

int main(int argc, char** argv) {
  if (printsOnly(argc, argv)) {
    const QCoreApplication core(argc, argv);
    nameApplication();
    rpn::parseCommandLine(QCoreApplication::arguments()); // ends the program unless "--" hid them
  }
  QApplication app(argc, argv);
  nameApplication();
  const rpn::CommandLine options = rpn::parseCommandLine(QApplication::arguments());
  QApplication::setFont(rpn::uiFont());
  if (!options.screenshotDir.isEmpty())
    return rpn::saveScreenshots(options.screenshotDir) ? 0 : 1;
  rpn::FrmMain menu;
  menu.show();
  if (!options.file.isEmpty())
    menu.openSourceFile(options.file);
  return QApplication::exec();
}
