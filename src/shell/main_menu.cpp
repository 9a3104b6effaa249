#include "main_menu.h"

#include "common/screen_kit.h"
#include "conversion/form1.h"
#include "execution/form2.h"

#include <QCloseEvent>
#include <QCoreApplication>

namespace rpn {

MainMenu::MainMenu(Dialogs* dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), m_dialogs(dialogs) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(applicationTitle());
  setFont(uiFont());
  setFixedSize(twips(3420), twips(1875));

  QPushButton* command1 =
      makeButton(this, QStringLiteral("Command1"), QStringLiteral("逆ポーランド記法変換"),
                 twipsRect(120, 120, 2415, 495));
  QPushButton* command2 =
      makeButton(this, QStringLiteral("Command2"), QStringLiteral("逆ポーランド記法実行"),
                 twipsRect(120, 720, 2415, 495));
  QPushButton* command3 =
      makeButton(this, QStringLiteral("Command3"), QStringLiteral("逆ポーランド記法の翻訳"),
                 twipsRect(120, 1320, 2415, 495));
  connect(command1, &QPushButton::clicked, this, [this] { form1().showScreen(); });
  connect(command2, &QPushButton::clicked, this, [this] { form2().showScreen(); });
  // The translation screen is not built yet.
  command3->setEnabled(false);
}

MainMenu::~MainMenu() = default;

conversion::Form1& MainMenu::form1() {
  if (!m_form1)
    m_form1 = std::make_unique<conversion::Form1>(m_dialogs);
  return *m_form1;
}

execution::Form2& MainMenu::form2() {
  if (!m_form2)
    m_form2 = std::make_unique<execution::Form2>(m_dialogs);
  return *m_form2;
}

void MainMenu::closeEvent(QCloseEvent* event) {
  // Closing the menu ends the program: every open screen is closed (and unloaded) with it.
  for (QWidget* screen : {static_cast<QWidget*>(m_form1.get())})
    if (screen)
      screen->close();
  event->accept();
  QCoreApplication::quit();
}

} // namespace rpn
