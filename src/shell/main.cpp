// RPN Workbench: opens the main menu, and the assembler screen with a source file when one is
// named on the command line, and runs until the menu is closed.
#include "common/screen_kit.h"
#include "common/settings.h"
#include "shell/command_line.h"
#include "shell/frm_main.h"
#include "shell/screenshots.h"

#include <QApplication>
#include <QCoreApplication>

int main(int argc, char** argv) {
  QCoreApplication::setApplicationName(QStringLiteral("rpn-workbench"));
  QCoreApplication::setApplicationVersion(QStringLiteral(RPN_VERSION));
  // The command line is read before any window system is needed: --help, --version and a wrong
  // command line print and end even without a display.
  rpn::CommandLine options;
  {
    const QCoreApplication reader(argc, argv);
    options = rpn::parseCommandLine(QCoreApplication::arguments());
  }

  QApplication app(argc, argv);
  // The settings file: $XDG_CONFIG_HOME/rpn-workbench/rpn-workbench.conf.
  QCoreApplication::setOrganizationName(QStringLiteral("rpn-workbench"));
  QCoreApplication::setApplicationName(QStringLiteral("rpn-workbench"));
  QApplication::setFont(rpn::uiFont());
  if (!options.screenshotDir.isEmpty())
    return rpn::saveScreenshots(options.screenshotDir) ? 0 : 1;
  rpn::Settings settings;
  rpn::FrmMain menu(nullptr, &settings);
  menu.show();
  if (!options.file.isEmpty())
    menu.openSourceFile(options.file);
  return QApplication::exec();
}
