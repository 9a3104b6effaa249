// The main menu "逆ポーランド記法": the first window and the hub of the program. Each of its
// four buttons shows one teaching screen, modeless; a screen is one object for the life of the
// menu, created the first time it is asked for and brought forward with its state after that.
// Closing the menu ends the program.
//
// The menu also owns the program's zoom, one for every window: Ctrl++ (or Ctrl+=), Ctrl+- and
// Ctrl+0 in any window of the program, 100 % to 300 % in steps of 25 %. It tells every window,
// and remembers the zoom in the settings it was given, with its own position.
#pragma once

#include "common/dialogs.h"
#include "common/settings.h"

#include <QAction>
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

class ScreenWindow;

class FrmMain final : public QWidget {
  Q_OBJECT
public:
  // Screens send their boxes to real message boxes, and the assembler screen's file menu to the
  // platform's file dialog, unless a test hands its own. Nothing is remembered unless settings
  // are given.
  explicit FrmMain(Dialogs* dialogs = nullptr, Settings* settings = nullptr,
                   machine::SourceFileDialogs* files = nullptr, QWidget* parent = nullptr);
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

  int zoomPercent() const { return m_zoom; }
  // Any percent is taken to the nearest step within the range.
  void setZoomPercent(int percent);
  void zoomIn();
  void zoomOut();
  void zoomReset();
  // Shows the assembler screen and opens the source file at path into it, as its ファイル > 開く
  // does (a file named on the command line).
  void openSourceFile(const QString& path);

protected:
  // Ends the program, unless the assembler screen's question about its changed source was
  // cancelled (or the save it asked for failed): then everything stays open.
  void closeEvent(QCloseEvent* event) override;

private:
  void numberButtons();
  // A screen just created takes the program's settings and zoom.
  template <class Screen> Screen& prepare(std::unique_ptr<Screen>& screen);
  QList<ScreenWindow*> screens() const;
  void addZoomAction(const QString& name, const QList<QKeySequence>& keys, void (FrmMain::*slot)());

  Dialogs* m_dialogs;
  Settings* m_settings;
  int m_zoom = Settings::kDefaultZoom;
  machine::SourceFileDialogs* m_files;
  std::unique_ptr<conversion::Form1> m_form1;
  std::unique_ptr<execution::Form2> m_form2;
  std::unique_ptr<translation::FrmCompile> m_frmCompile;
  std::unique_ptr<machine::FrmAssembler> m_frmAssembler;
};

} // namespace rpn
