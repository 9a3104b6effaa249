#include "frm_main.h"

#include "common/screen_kit.h"
#include "conversion/form1.h"
#include "execution/form2.h"
#include "machine/frm_assembler.h"
#include "translation/frm_compile.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <algorithm>

namespace rpn {
namespace {

// The four buttons, one step apart.
constexpr ControlSpec kControls[] = {
    {u"Command1", ControlKind::Button, u"逆ポーランド記法変換", {120, 120, 2415, 495}},
    {u"Command2", ControlKind::Button, u"逆ポーランド記法実行", {120, 720, 2415, 495}},
    {u"Command3", ControlKind::Button, u"逆ポーランド記法の翻訳", {120, 1320, 2415, 495}},
    {u"Command4", ControlKind::Button, u"擬似アセンブラ", {120, 1920, 2415, 495}},
};

} // namespace

FrmMain::FrmMain(Dialogs* dialogs, Settings* settings, machine::SourceFileDialogs* files,
                 QWidget* parent)
    : QWidget(parent, Qt::Window), m_dialogs(dialogs), m_settings(settings), m_files(files) {
  installAccessibleInterfaces();
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(applicationTitle());
  setFont(uiFont());
  setBaseFixedSize(this, QSize(twips(3420), twips(2475)));

  const Controls controls = buildControls(this, kControls);
  // Each button shows its screen (the assembler screen with whatever source it holds: its own,
  // or the last hand-off).
  const std::pair<const char16_t*, ScreenWindow& (*)(FrmMain&)> screens[] = {
      {u"Command1", [](FrmMain& menu) -> ScreenWindow& { return menu.form1(); }},
      {u"Command2", [](FrmMain& menu) -> ScreenWindow& { return menu.form2(); }},
      {u"Command3", [](FrmMain& menu) -> ScreenWindow& { return menu.frmCompile(); }},
      {u"Command4", [](FrmMain& menu) -> ScreenWindow& { return menu.frmAssembler(); }}};
  for (const auto& [name, screen] : screens)
    connect(controls.get<QPushButton>(QStringView(name)), &QPushButton::clicked, this,
            [this, screen] { screen(*this).showScreen(); });

  addZoomAction(QStringLiteral("actZoomIn"),
                // "+" is a shifted key on many keyboards: with and without the Shift it took.
                {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal),
                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Plus),
                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Equal)},
                &FrmMain::zoomIn);
  addZoomAction(QStringLiteral("actZoomOut"), {QKeySequence(Qt::CTRL | Qt::Key_Minus)},
                &FrmMain::zoomOut);
  addZoomAction(QStringLiteral("actZoomReset"), {QKeySequence(Qt::CTRL | Qt::Key_0)},
                &FrmMain::zoomReset);

  if (m_settings) {
    setZoomPercent(m_settings->zoomPercent());
    moveToRemembered(this, m_settings->windowPosition(objectName()));
  }
  numberButtons();
}

void FrmMain::openSourceFile(const QString& path) {
  machine::FrmAssembler& assembler = frmAssembler();
  assembler.showScreen();
  assembler.openSourceFile(path);
}

void FrmMain::numberButtons() {
  // From the top, the keys go through the buttons and Alt with the button's number presses it.
  QList<QPushButton*> buttons = findChildren<QPushButton*>(Qt::FindDirectChildrenOnly);
  std::ranges::stable_sort(buttons, {}, [](const QPushButton* b) { return b->y(); });
  setTabOrderChain(QList<QWidget*>(buttons.begin(), buttons.end()));
  for (qsizetype i = 0; i < buttons.size() && i < 9; ++i)
    giveShortcut(buttons[i], QKeySequence(QKeyCombination(
                                 Qt::ALT, static_cast<Qt::Key>(Qt::Key_1 + static_cast<int>(i)))));
}

FrmMain::~FrmMain() = default;

void FrmMain::addZoomAction(const QString& name, const QList<QKeySequence>& keys,
                            void (FrmMain::*slot)()) {
  // One shortcut for the whole program: it works in whichever of its windows is active.
  auto* action = new QAction(this);
  action->setObjectName(name);
  action->setShortcuts(keys);
  action->setShortcutContext(Qt::ApplicationShortcut);
  connect(action, &QAction::triggered, this, slot);
  addAction(action);
}

void FrmMain::setZoomPercent(int percent) {
  const int step = nearestZoomStep(percent);
  const bool changed = step != m_zoom;
  m_zoom = step;
  const double zoom = m_zoom / 100.0;
  applyZoom(this, zoom);
  keepOnScreen(this);
  for (ScreenWindow* screen : screens())
    screen->setZoom(zoom);
  if (m_settings && changed)
    m_settings->setZoomPercent(m_zoom);
}

void FrmMain::zoomIn() {
  setZoomPercent(steppedZoom(m_zoom, +1));
}

void FrmMain::zoomOut() {
  setZoomPercent(steppedZoom(m_zoom, -1));
}

void FrmMain::zoomReset() {
  setZoomPercent(Settings::kDefaultZoom);
}

QList<ScreenWindow*> FrmMain::screens() const {
  QList<ScreenWindow*> list;
  for (ScreenWindow* screen : std::initializer_list<ScreenWindow*>{
           m_form1.get(), m_form2.get(), m_frmCompile.get(), m_frmAssembler.get()})
    if (screen)
      list << screen;
  return list;
}

template <class Screen> Screen& FrmMain::prepare(std::unique_ptr<Screen>& screen) {
  screen->setSettings(m_settings);
  screen->setZoom(m_zoom / 100.0);
  return *screen;
}

conversion::Form1& FrmMain::form1() {
  if (!m_form1) {
    m_form1 = std::make_unique<conversion::Form1>(m_dialogs);
    prepare(m_form1);
  }
  return *m_form1;
}

execution::Form2& FrmMain::form2() {
  if (!m_form2) {
    m_form2 = std::make_unique<execution::Form2>(m_dialogs);
    prepare(m_form2);
  }
  return *m_form2;
}

translation::FrmCompile& FrmMain::frmCompile() {
  if (!m_frmCompile) {
    m_frmCompile = std::make_unique<translation::FrmCompile>(m_dialogs);
    prepare(m_frmCompile);
    // "擬似アセンブラ": the assembler screen is loaded if needed, shown modeless and given the
    // generated source; the translation screen keeps its state. The screen comes forward before
    // it asks about a changed source, so the user sees what the question is about; a cancelled
    // question leaves its source, and the code can be handed over again with the same button.
    m_frmCompile->setHandOff([this](const QString& source) {
      machine::FrmAssembler& assembler = frmAssembler();
      assembler.showScreen();
      assembler.setSourceText(source);
    });
  }
  return *m_frmCompile;
}

machine::FrmAssembler& FrmMain::frmAssembler() {
  if (!m_frmAssembler) {
    m_frmAssembler = std::make_unique<machine::FrmAssembler>(m_dialogs, m_files);
    prepare(m_frmAssembler);
  }
  return *m_frmAssembler;
}

void FrmMain::closeEvent(QCloseEvent* event) {
  // The assembler screen's source is the one piece of the user's work that closing loses: its
  // window closes first, asking about a changed source, and may keep the program going.
  if (m_frmAssembler && !m_frmAssembler->close()) {
    event->ignore();
    return;
  }
  // Closing the menu ends the program: every other window (screens, help pages) closes with it,
  // and the screens unload, which stops their timers.
  const QWidgetList windows = QApplication::topLevelWidgets();
  for (QWidget* window : windows)
    if (window != this && window->isVisible())
      window->close();
  if (m_settings) {
    m_settings->setWindowPosition(objectName(), pos());
    m_settings->sync();
  }
  event->accept();
  QCoreApplication::quit();
}

} // namespace rpn
