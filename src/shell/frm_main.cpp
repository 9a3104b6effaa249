#include "frm_main.h"

#include "common/screen_kit.h"
#include "conversion/form1.h"
#include "execution/form2.h"
#include "machine/frm_assembler.h"
#include "translation/frm_compile.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>

namespace rpn {

FrmMain::FrmMain(Dialogs* dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), m_dialogs(dialogs) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(applicationTitle());
  setFont(uiFont());
  setFixedSize(twips(3420), twips(2475));

  QPushButton* command1 =
      makeButton(this, QStringLiteral("Command1"), QStringLiteral("逆ポーランド記法変換"),
                 twipsRect(120, 120, 2415, 495));
  QPushButton* command2 =
      makeButton(this, QStringLiteral("Command2"), QStringLiteral("逆ポーランド記法実行"),
                 twipsRect(120, 720, 2415, 495));
  QPushButton* command3 =
      makeButton(this, QStringLiteral("Command3"), QStringLiteral("逆ポーランド記法の翻訳"),
                 twipsRect(120, 1320, 2415, 495));
  QPushButton* command4 =
      makeButton(this, QStringLiteral("Command4"), QStringLiteral("擬似アセンブラ"),
                 twipsRect(120, 1920, 2415, 495));
  connect(command1, &QPushButton::clicked, this, [this] { form1().showScreen(); });
  connect(command2, &QPushButton::clicked, this, [this] { form2().showScreen(); });
  connect(command3, &QPushButton::clicked, this, [this] { frmCompile().showScreen(); });
  // The assembler screen with whatever source it holds (its own, or the last hand-off).
  connect(command4, &QPushButton::clicked, this, [this] { frmAssembler().showScreen(); });
}

void FrmMain::openSourceFile(const QString& path) {
  machine::FrmAssembler& assembler = frmAssembler();
  assembler.showScreen();
  assembler.openSourceFile(path);
}

FrmMain::~FrmMain() = default;

conversion::Form1& FrmMain::form1() {
  if (!m_form1)
    m_form1 = std::make_unique<conversion::Form1>(m_dialogs);
  return *m_form1;
}

execution::Form2& FrmMain::form2() {
  if (!m_form2)
    m_form2 = std::make_unique<execution::Form2>(m_dialogs);
  return *m_form2;
}

translation::FrmCompile& FrmMain::frmCompile() {
  if (!m_frmCompile) {
    m_frmCompile = std::make_unique<translation::FrmCompile>(m_dialogs);
    // "擬似アセンブラ": the assembler screen is loaded if needed, shown modeless and given the
    // generated source; the translation screen keeps its state.
    m_frmCompile->setHandOff([this](const QString& source) {
      machine::FrmAssembler& assembler = frmAssembler();
      assembler.showScreen();
      assembler.setSourceText(source);
    });
  }
  return *m_frmCompile;
}

machine::FrmAssembler& FrmMain::frmAssembler() {
  if (!m_frmAssembler)
    m_frmAssembler = std::make_unique<machine::FrmAssembler>(m_dialogs);
  return *m_frmAssembler;
}

void FrmMain::closeEvent(QCloseEvent* event) {
  // Closing the menu ends the program: every other window (screens, help pages) closes with it,
  // and the screens unload, which stops their timers.
  const QWidgetList windows = QApplication::topLevelWidgets();
  for (QWidget* window : windows)
    if (window != this && window->isVisible())
      window->close();
  event->accept();
  QCoreApplication::quit();
}

} // namespace rpn
