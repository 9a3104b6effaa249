// RPN Workbench: opens the main menu and runs until it is closed.
#include "common/screen_kit.h"
#include "shell/frm_main.h"

#include <QApplication>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setFont(rpn::uiFont());
  rpn::FrmMain menu;
  menu.show();
  return QApplication::exec();
}
