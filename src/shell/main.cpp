// RPN Workbench: opens the main menu and runs until it is closed.
#include "common/screen_kit.h"
#include "common/settings.h"
#include "shell/frm_main.h"

#include <QApplication>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // The settings file: $XDG_CONFIG_HOME/rpn-workbench/rpn-workbench.conf.
  QCoreApplication::setOrganizationName(QStringLiteral("rpn-workbench"));
  QCoreApplication::setApplicationName(QStringLiteral("rpn-workbench"));
  QApplication::setFont(rpn::uiFont());
  rpn::Settings settings;
  rpn::FrmMain menu(nullptr, &settings);
  menu.show();
  return QApplication::exec();
}
