// What the shell's tests share: the program's windows, each opened through the main menu, and
// the ways a user reaches their controls.
#pragma once

#include "conversion/form1.h"
#include "execution/form2.h"
#include "machine/frm_assembler.h"
#include "shell/frm_main.h"
#include "support/recording_dialogs.h"
#include "support/scripted_file_dialogs.h"
#include "support/widget_lookup.h"
#include "translation/frm_compile.h"

#include <QApplication>
#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace rpn::test {

using namespace Qt::StringLiterals;

// Every window of the program: the menu, the four screens (with their interval box and its
// first text) and the three help pages. open() shows the window and returns it.
struct Window {
  const char* name;
  QWidget* (*open)(FrmMain&);
  const char* intervalBox = nullptr;
  const char* interval = nullptr;
  friend void PrintTo(const Window& window, std::ostream* os) { *os << window.name; }
};

template <auto screen> QWidget* openScreen(FrmMain& menu) {
  ScreenWindow& window = (menu.*screen)();
  window.showScreen();
  return &window;
}
template <int number> QWidget* openHelp(FrmMain& menu) {
  machine::HelpPages& help = menu.frmAssembler().helpPages();
  help.show(number);
  return &help.page(number);
}

inline const Window kWindows[] = {
    {"frmMain", [](FrmMain& menu) -> QWidget* { return (menu.show(), &menu); }},
    {"Form1", openScreen<&FrmMain::form1>, "Text3", "200"},
    {"Form2", openScreen<&FrmMain::form2>, "Text3", "200"},
    {"frmCompile", openScreen<&FrmMain::frmCompile>, "Text3", "200"},
    {"frmAssembler", openScreen<&FrmMain::frmAssembler>, "txtTimer", "500"},
    {"frmHelp1", openHelp<1>},
    {"frmHelp2", openHelp<2>},
    {"frmHelp3", openHelp<3>},
};

inline std::string windowName(const ::testing::TestParamInfo<Window>& info) {
  return info.param.name;
}

inline void click(const QWidget* window, const QString& button) {
  QTest::mouseClick(control<QPushButton>(window, button), Qt::LeftButton);
}
inline void untick(const QWidget* window) {
  QTest::mouseClick(control<QCheckBox>(window, u"Check1"_s), Qt::LeftButton, {}, QPoint(5, 5));
}
inline void clickRow(QListWidget* list, int row) {
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->item(row)).center());
}

} // namespace rpn::test
