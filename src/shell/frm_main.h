// The main menu "逆ポーランド記法": the first window and the hub of the program. Each of its
// four buttons shows one teaching screen, modeless; a screen is one object for the life of the
// menu, created the first time it is asked for and brought forward with its state after that.
// Closing the menu ends the program.
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
}

class FrmMain final : public QWidget {
  Q_OBJECT
public:
  // Screens send their boxes to real message boxes unless a test hands its own Dialogs.
  explicit FrmMain(Dialogs* dialogs = nullptr, QWidget* parent = nullptr);
  ~FrmMain() override;

  // The screens, created on first use (the buttons call these, then show the screen).
  conversion::Form1& form1();
  // The screen if it was ever created, else null.
  conversion::Form1* existingForm1() const { return m_form1.get(); }
  execution::Form2& form2();
  execution::Form2* existingForm2() const { return m_form2.get(); }
  translation::FrmCompile& frmCompile();
  translation::FrmCompile* existingFrmCompile() const { return m_frmCompile.get(); }
  // The assembler screen, reached through the fourth button or the translation screen's
  // "擬似アセンブラ".
  machine::FrmAssembler& frmAssembler();
  machine::FrmAssembler* existingFrmAssembler() const { return m_frmAssembler.get(); }

  // Shows the assembler screen and opens the source file at path into it, as its ファイル > 開く
  // does (a file named on the command line).
  void openSourceFile(const QString& path);

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  Dialogs* m_dialogs;
  std::unique_ptr<conversion::Form1> m_form1;
  std::unique_ptr<execution::Form2> m_form2;
  std::unique_ptr<translation::FrmCompile> m_frmCompile;
  std::unique_ptr<machine::FrmAssembler> m_frmAssembler;
};

} // namespace rpn
