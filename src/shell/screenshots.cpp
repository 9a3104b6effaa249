#include "screenshots.h"

#include "conversion/form1.h"
#include "execution/form2.h"
#include "machine/frm_assembler.h"
#include "shell/frm_main.h"
#include "translation/frm_compile.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <cstdio>

namespace rpn {
namespace {

template <class W> W* child(const QWidget* window, const char* name) {
  return window->findChild<W*>(QString::fromLatin1(name));
}

void press(const QWidget* window, const char* name) {
  if (auto* button = child<QPushButton>(window, name))
    button->click();
}

void traceOff(const QWidget* window) {
  if (auto* check = child<QCheckBox>(window, "Check1"); check && check->isChecked())
    check->click();
}

class Camera {
public:
  explicit Camera(const QString& dir) : m_dir(dir) {}
  bool take(QWidget& window, const QString& name) {
    QApplication::processEvents();
    const QString path = m_dir.filePath(name + QStringLiteral(".png"));
    if (window.grab().save(path, "PNG"))
      return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(QDir::toNativeSeparators(path)));
    m_ok = false;
    return false;
  }
  bool ok() const { return m_ok; }

private:
  QDir m_dir;
  bool m_ok = true;
};

// Boxes that nobody sees: each question takes its default.
class UnseenDialogs final : public Dialogs {
public:
  void inform(const QString&) override {}
  bool confirm(const QString&, const QString&) override { return false; }
  Answer ask(const QString&, const QString&, bool, Answer byDefault) override { return byDefault; }
  QString askText(const QString&) override { return {}; }
};

} // namespace

bool saveScreenshots(const QString& dir) {
  if (!QDir().mkpath(dir)) {
    std::fprintf(stderr, "cannot create %s\n", qPrintable(QDir::toNativeSeparators(dir)));
    return false;
  }
  UnseenDialogs unseen;
  FrmMain menu(&unseen);
  menu.show();
  Camera camera(dir);
  camera.take(menu, QStringLiteral("main-menu"));

  // Each expression screen after one run of its example expression (the translation optimised).
  const std::pair<ScreenWindow*, const char*> expressionScreens[] = {
      {&menu.form1(), "conversion"},
      {&menu.form2(), "execution"},
      {&menu.frmCompile(), "translation"}};
  for (const auto& [screen, name] : expressionScreens) {
    screen->showScreen();
    traceOff(screen);
    press(screen, "Command1");
    press(screen, "Command5"); // only the translation screen has it
    camera.take(*screen, QString::fromLatin1(name));
    screen->close();
  }

  // The assembler screen with the first sample assembled, a breakpoint on "ADD A" and its first
  // instructions executed.
  machine::FrmAssembler& assembler = menu.frmAssembler();
  assembler.showScreen();
  traceOff(&assembler);
  if (auto* samples = child<QListWidget>(&assembler, "List1"))
    samples->setCurrentRow(0);
  press(&assembler, "Command1");
  assembler.toggleBreakpointOnLine(8);
  for (int step = 0; step < 6; ++step)
    press(&assembler, "Command2");
  camera.take(assembler, QStringLiteral("assembler"));

  for (int page = 1; page <= machine::kHelpPageCount; ++page) {
    assembler.helpPages().show(page);
    machine::HelpPage& help = assembler.helpPages().page(page);
    camera.take(help, QStringLiteral("help-%1").arg(page));
    help.close();
  }
  assembler.close();
  return camera.ok();
}

} // namespace rpn
