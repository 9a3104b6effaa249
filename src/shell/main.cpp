// RPN Workbench: opens the main menu, and the assembler screen with a source file when one is
// named on the command line, and runs until the menu is closed.
#include "common/screen_kit.h"
#include "shell/command_line.h"
#include "shell/frm_main.h"
#include "shell/screenshots.h"

#include <QApplication>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("rpn-workbench"));
  QApplication::setApplicationVersion(QStringLiteral(RPN_VERSION));
  const rpn::CommandLine options = rpn::parseCommandLine(QApplication::arguments());
  QApplication::setFont(rpn::uiFont());
  rpn::FrmMain menu;
  menu.show();
  if (!options.screenshotDir.isEmpty())
    return rpn::saveScreenshots(menu, options.screenshotDir) ? 0 : 1;
  if (!options.file.isEmpty())
    menu.openSourceFile(options.file);
  return QApplication::exec();
}
