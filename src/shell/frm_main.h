// The main menu "逆ポーランド記法": the first window and the hub of the program. Each of its
// buttons shows one teaching screen, modeless; a screen is one object for the life of the menu,
// created the first time it is asked for and brought forward with its state after that. Closing
// the menu ends the program.
#pragma once

#include "common/dialogs.h"

#include <QPushButton>
#include <QWidget>
#include <memory>

namespace rpn {

namespace conversion {
class Form1;
}
namespace execution {
class Form2;
}
namespace translation {
class FrmCompile;
}
namespace machine {
class FrmAssembler;
class SourceFileDialogs;
} // namespace machine

class FrmMain final : public QWidget {
  Q_OBJECT
public:
  // Screens send their boxes to real message boxes, and the assembler screen's file menu to the
  // platform's file dialog, unless a test hands its own.
  explicit FrmMain(Dialogs* dialogs = nullptr, machine::SourceFileDialogs* files = nullptr,
                   QWidget* parent = nullptr);
  ~FrmMain() override;

  // The screens, created on first use (the buttons call these, then show the screen).
  conversion::Form1& form1();
  // The screen if it was ever created, else null.
  conversion::Form1* existingForm1() const { return m_form1.get(); }
  execution::Form2& form2();
  execution::Form2* existingForm2() const { return m_form2.get(); }
  translation::FrmCompile& frmCompile();
  translation::FrmCompile* existingFrmCompile() const { return m_frmCompile.get(); }
  // The assembler screen, reached through the translation screen's "擬似アセンブラ".
  machine::FrmAssembler& frmAssembler();
  machine::FrmAssembler* existingFrmAssembler() const { return m_frmAssembler.get(); }

protected:
  // Ends the program, unless the assembler screen's question about its changed source was
  // cancelled (or the save it asked for failed): then everything stays open.
  void closeEvent(QCloseEvent* event) override;

private:
  Dialogs* m_dialogs;
  machine::SourceFileDialogs* m_files;
  std::unique_ptr<conversion::Form1> m_form1;
  std::unique_ptr<execution::Form2> m_form2;
  std::unique_ptr<translation::FrmCompile> m_frmCompile;
  std::unique_ptr<machine::FrmAssembler> m_frmAssembler;
};

} // namespace rpn
