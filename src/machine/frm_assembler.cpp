#include "frm_assembler.h"

#include "samples.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QShortcut>
#include <QVBoxLayout>

namespace rpn::machine {
namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The client area: the memory panel's right edge and the output box's bottom, plus a margin.
constexpr int kClientWidth = 11775;
constexpr int kClientHeight = 8535;

// The text as a text box shows it: every line break a line feed.
QString boxText(const QString& engineText) {
  QString text = engineText;
  text.replace(kCrLf, QStringLiteral("\n"));
  text.replace(u'\r', u'\n');
  return text;
}

QString engineText(const QPlainTextEdit* box) {
  return box->toPlainText().replace(u'\n', kCrLf);
}

template <class Box = QPlainTextEdit>
Box* makeTextBox(QWidget* parent, const QString& name, QRect rect, const QString& accessible) {
  auto* box = new Box(parent);
  box->setObjectName(name);
  placeAt(box, rect);
  box->setAccessibleName(accessible);
  box->setLineWrapMode(QPlainTextEdit::NoWrap);
  box->setTabChangesFocus(true);
  return box;
}

// A box that shows machine state: the engine repaints it after every phase, so typing into it
// would change nothing.
QLineEdit* makeStateBox(QWidget* parent, const QString& name, QRect rect,
                        const QString& accessible) {
  QLineEdit* box = makeLineEdit(parent, name, rect, accessible);
  box->setReadOnly(true);
  return box;
}

QLabel* makeCentredLabel(QWidget* parent, const QString& name, const QString& caption, QRect rect,
                         const QString& accessible = {}) {
  QLabel* label = makeLabel(parent, name, caption, rect, accessible);
  label->setAlignment(Qt::AlignCenter);
  return label;
}

void setBoxText(QPlainTextEdit* box, QString& shown, const QString& text) {
  if (shown == text)
    return;
  shown = text;
  box->setPlainText(boxText(text));
}

} // namespace

std::vector<int> boxLinesOfEngineLines(const QString& engineText) {
  std::vector<int> first{0};
  int line = 0;
  for (qsizetype i = 0; i < engineText.size(); ++i) {
    const QChar c = engineText[i];
    if (c == u'\r' && i + 1 < engineText.size() && engineText[i + 1] == u'\n') {
      first.push_back(++line);
      ++i;
    } else if (c == u'\r' || c == u'\n' || c == QChar::ParagraphSeparator || c == u'\xFDD0' ||
               c == u'\xFDD1') { // the text box starts a new line at each of these too
      ++line;
    }
  }
  return first;
}

qsizetype boxPosition(const QString& engineText, qsizetype position) {
  position = std::clamp<qsizetype>(position, 0, engineText.size());
  qsizetype pairs = 0;
  for (qsizetype i = engineText.indexOf(kCrLf); i >= 0 && i + 1 < position;
       i = engineText.indexOf(kCrLf, i + 2))
    ++pairs;
  return position - pairs;
}

FrmAssembler::FrmAssembler(Dialogs* dialogs, SourceFileDialogs* files, QWidget* parent)
    : EngineScreen(dialogs, parent), m_platformFiles(this),
      m_files(files ? *files : m_platformFiles) {
  setObjectName(QStringLiteral("frmAssembler"));
  setWindowTitle(QStringLiteral("擬似アセンブラ"));
  mutableEngine().setSaveSource([this](const QString& text) {
    if (!SaveSourceFile(text, m_notingFiles, screenDialogs()))
      return false;
    rememberFile(m_notingFiles.chosen());
    return true;
  });
  build();
  refresh();
}

FrmAssembler::~FrmAssembler() = default;

void FrmAssembler::connectCommand(QPushButton* button, void (MachineEngine::*press)(), bool focus) {
  connectPress(button, press);
  if (focus) // after the press and its paint
    connect(button, &QPushButton::clicked, this, [this] { focusListing(); });
}

void FrmAssembler::build() {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  auto* bar = new QMenuBar(this);
  bar->setObjectName(QStringLiteral("MenuBar"));
  bar->setNativeMenuBar(false);
  bar->setAccessibleName(QStringLiteral("メニューバー"));
  layout->setMenuBar(bar);
  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("Client"));
  setBaseFixedSize(client, QSize(twips(kClientWidth), twips(kClientHeight)));
  layout->addWidget(client);
  buildMenu(bar);

  makeLabel(client, QStringLiteral("Label1"), QStringLiteral("ソースプログラム"),
            twipsRect(120, 120, 1815, 255));
  m_text1 = makeTextBox(client, QStringLiteral("Text1"), twipsRect(120, 360, 2895, 5295),
                        QStringLiteral("ソースプログラムの本文"));
  QPushButton* command1 = makeButton(client, QStringLiteral("Command1"),
                                     QStringLiteral("アセンブル"), twipsRect(5040, 0, 1215, 375));
  makeLabel(client, QStringLiteral("Label2"), QStringLiteral("アセンブル結果"),
            twipsRect(3120, 120, 1815, 255));
  m_text2 =
      makeTextBox<ListingBox>(client, QStringLiteral("Text2"), twipsRect(3120, 360, 4455, 5295),
                              QStringLiteral("アセンブル結果の一覧"));
  for (QPlainTextEdit* box : {m_text1, static_cast<QPlainTextEdit*>(m_text2)})
    box->setFont(fixedPitchFont());
  // The Command1 button sits on the listing's heading row, above the listing box.
  command1->raise();

  buildMemoryPanel(client);
  QPushButton* command6 =
      makeButton(client, QStringLiteral("Command6"), QStringLiteral("マシン語とアセンブラの説明"),
                 twipsRect(8640, 6000, 2895, 375));
  m_text3 = makeTextBox(client, QStringLiteral("Text3"), twipsRect(120, 7200, 8295, 1215),
                        QStringLiteral("出力"));
  buildEmulatorFrame(client);
  // Going back and forth: under the help button, right of the output box.
  addMoveButtons(client,
                 {{8640, 6600, 1395, 375}, {10140, 6600, 1395, 375}, {8640, 7560, 2895, 375}});
  buildRunToEnd(client);
  setKeyboardAccess(client);

  connect(m_text1, &QPlainTextEdit::textChanged, this, [this] {
    if (m_painting)
      return;
    m_shownText1 = engineText(m_text1);
    mutableEngine().setText1(m_shownText1);
  });
  connect(m_text2, &QPlainTextEdit::textChanged, this, [this] {
    if (m_painting)
      return;
    m_shownText2 = engineText(m_text2);
    mutableEngine().setText2(m_shownText2);
    paintBreakpoints(); // the dots leave a listing edited by hand
  });
  connect(m_text3, &QPlainTextEdit::textChanged, this, [this] {
    if (m_painting)
      return;
    m_shownText3 = engineText(m_text3);
    mutableEngine().setText3(m_shownText3);
  });
  connectCommand(command1, &MachineEngine::Command1_Click, false);
  connect(command6, &QPushButton::clicked, this, &FrmAssembler::Command6_Click);
}

void FrmAssembler::buildRunToEnd(QWidget* client) {
  // Below the back and forward buttons, right of the output box.
  m_runToEnd = makeButton(client, QStringLiteral("cmdRunToEnd"), QStringLiteral("最後まで実行"),
                          twipsRect(8640, 7080, 2895, 375));
  giveShortcut(m_runToEnd, QKeySequence(Qt::Key_F5));
  connectPress(m_runToEnd, &MachineEngine::cmdRunToEnd_Click);
  connect(m_runToEnd, &QPushButton::clicked, this, [this] {
    if (engine().state().runningToEnd)
      m_slices.start(0);
    else
      focusListing();
  });
  connect(&m_slices, &QTimer::timeout, this, &FrmAssembler::runSlice);
  m_text2->setToolTip(
      QStringLiteral("F9 またはダブルクリック: 命令の行にブレークポイントを設定/解除"));
  auto* toggle = new QShortcut(QKeySequence(Qt::Key_F9), this);
  toggle->setContext(Qt::WindowShortcut);
  connect(toggle, &QShortcut::activated, this, &FrmAssembler::toggleBreakpointAtCursor);
  connect(m_text2, &ListingBox::lineDoubleClicked, this, &FrmAssembler::toggleBreakpointOnLine);
}

void FrmAssembler::setKeyboardAccess(const QWidget* client) {
  const auto button = [client](const char* name) {
    return client->findChild<QPushButton*>(QLatin1String(name));
  };
  QPushButton* assemble = button("Command1");
  QPushButton* execute = button("Command2");
  QPushButton* reset = button("Command3");
  QPushButton* autoRun = button("Command4");
  QPushButton* stop = button("Command5");
  QPushButton* help = button("Command6");
  // The inputs (source, interval), the buttons that assemble and run in reading order, the
  // samples and the help, then the listing, the output and the machine's state from the top.
  QList<QWidget*> order{m_text1, m_txtTimer, assemble, execute, m_check1, reset, autoRun, stop,
                        m_runToEnd};
  order << m_list1 << help << m_text2 << m_text3 << m_txtExecAddress;
  order.append(QList<QWidget*>(m_txtOpe.begin(), m_txtOpe.end()));
  order << m_txtEffectAddress;
  order.append(QList<QWidget*>(m_txtRegister.begin(), m_txtRegister.end()));
  order.append(QList<QWidget*>(m_txtStatus.begin(), m_txtStatus.end()));
  setTabOrderChain(order);
  // Alt+F belongs to the file menu.
  giveShortcut(assemble, QKeySequence(Qt::ALT | Qt::Key_B));
  giveShortcut(execute, QKeySequence(Qt::ALT | Qt::Key_R));
  giveShortcut(m_check1, QKeySequence(Qt::ALT | Qt::Key_T));
  giveShortcut(reset, QKeySequence(Qt::ALT | Qt::Key_C));
  giveShortcut(autoRun, QKeySequence(Qt::ALT | Qt::Key_A));
  giveShortcut(stop, QKeySequence(Qt::ALT | Qt::Key_P));
  giveShortcut(help, QKeySequence(Qt::Key_F1));
}

void FrmAssembler::buildMenu(QMenuBar* bar) {
  QMenu* file = bar->addMenu(QStringLiteral("ファイル(&F)"));
  file->setObjectName(QStringLiteral("mnuFile"));
  QAction* open = file->addAction(QStringLiteral("開く(&O)"));
  open->setObjectName(QStringLiteral("mnuOpen"));
  open->setShortcut(QKeySequence::Open);
  QAction* save = file->addAction(QStringLiteral("保存(&S)"));
  save->setObjectName(QStringLiteral("mnuSave"));
  save->setShortcut(QKeySequence::Save);
  m_recentMenu = file->addMenu(QStringLiteral("最近使ったファイル"));
  m_recentMenu->setObjectName(QStringLiteral("mnuRecent"));
  m_recentMenu->menuAction()->setObjectName(QStringLiteral("mnuRecent"));
  rebuildRecentMenu();
  QAction* separator = file->addSeparator();
  separator->setObjectName(QStringLiteral("mnuFileDummy0"));
  QAction* exit = file->addAction(QStringLiteral("終了(&X)"));
  exit->setObjectName(QStringLiteral("mnuExit"));
  // The shortcuts work wherever the focus is in the window.
  addAction(open);
  addAction(save);
  connect(open, &QAction::triggered, this, &FrmAssembler::mnuOpen_Click);
  connect(save, &QAction::triggered, this, &FrmAssembler::mnuSave_Click);
  connect(exit, &QAction::triggered, this, &FrmAssembler::mnuExit_Click);
}

void FrmAssembler::buildMemoryPanel(QWidget* client) {
  makeLabel(client, QStringLiteral("Label3"), QStringLiteral("マシン語"),
            twipsRect(120, 5760, 1215, 255));
  // As wide as the room before the first column heading: "ADDR" is wider than a memory cell.
  makeLabel(client, QStringLiteral("Label5"), QStringLiteral("ADDR"),
            twipsRect(120, 6000, 585, 255));
  for (int c = 0; c < 16; ++c)
    makeCentredLabel(client, indexedName(QStringLiteral("lblADD2"), c), hexDigits(c, 1),
                     twipsRect(720 + 480 * c, 6000, 495, 255),
                     QStringLiteral("列 %1").arg(hexDigits(c, 1)));
  for (int r = 0; r < kMemoryCells / 16; ++r)
    makeLabel(client, indexedName(QStringLiteral("lblADD1"), r), hex4(16 * r),
              twipsRect(120, 6240 + 240 * r, 495, 255), QStringLiteral("行 %1").arg(hex4(16 * r)));
  for (int k = 0; k < kMemoryCells; ++k) {
    const int r = k / 16;
    const int c = k % 16;
    QLabel* cell =
        makeCentredLabel(client, indexedName(QStringLiteral("lblCode"), k), QStringLiteral("0000"),
                         twipsRect(720 + 480 * c, 6240 + 240 * r, 495, 255),
                         QStringLiteral("メモリ %1").arg(hex4(k)));
    cell->setFrameShape(QFrame::Box);
    cell->setFont(fixedPitchFont());
    m_lblCode.at(static_cast<std::size_t>(k)) = cell;
  }
}

namespace {

using K = ControlKind;

// The emulator frame, in three parts around the register and flag arrays (numbered in
// hexadecimal, which the table's "%1" does not write), all inside Frame1.
// clang-format off
constexpr ControlSpec kFrameTop[] = {
    {u"Label4", K::Label, u"実行アドレス", {120, 360, 1035, 255}},
    {u"txtExecAddress", K::ReadOnlyEdit, {}, {1200, 360, 855, 270}, u"実行アドレスの値"},
    {u"Command3", K::Button, u"初期化", {2160, 360, 735, 255}},
    {u"Command2", K::Button, u"実行", {2880, 360, 855, 255}},
    {u"Check1", K::CheckBox, u"トレースモード", {2160, 600, 1575, 255}},
    // The instruction register: operation code, register, index register, address.
    {u"Label6(0)", K::Label, u"Ope", {120, 720, 435, 255}, u"命令レジスタの見出し Ope"},
    {u"txtOpe(0)", K::ReadOnlyEdit, {}, {120, 960, 435, 270}, u"命令レジスタ 命令コード"},
    {u"Label6(1)", K::Label, u"1", {600, 720, 315, 255}, u"命令レジスタの見出し 1"},
    {u"txtOpe(1)", K::ReadOnlyEdit, {}, {600, 960, 315, 270}, u"命令レジスタ レジスタ"},
    {u"Label6(2)", K::Label, u"2", {960, 720, 315, 255}, u"命令レジスタの見出し 2"},
    {u"txtOpe(2)", K::ReadOnlyEdit, {}, {960, 960, 315, 270},
     u"命令レジスタ インデックスレジスタ"},
    {u"Label6(3)", K::Label, u"3", {1320, 720, 735, 255}, u"命令レジスタの見出し 3"},
    {u"txtOpe(3)", K::ReadOnlyEdit, {}, {1320, 960, 735, 270}, u"命令レジスタ アドレス"},
    {u"Label8", K::Label, u"オペランドアドレス", {2160, 960, 1695, 255}},
    {u"txtEffectAddress", K::ReadOnlyEdit, {}, {2280, 1200, 1215, 270},
     u"オペランドアドレスの値"},
    {u"Label7(0)", K::Label, u"Register", {240, 1320, 855, 255}},
    {u"Label7(1)", K::Label, u"Value", {1200, 1320, 855, 255}},
};
constexpr ControlSpec kFrameFlags[] = {
    {u"Frame2", K::Frame, u"Status Flag", {2280, 1560, 1335, 855}},
};
constexpr ControlSpec kFrameBottom[] = {
    {u"Command4", K::Button, u"自動実行", {2280, 2640, 1335, 375}},
    {u"Label11", K::Label, u"タイマー", {2280, 3120, 735, 255}},
    {u"txtTimer", K::LineEdit, {}, {3000, 3120, 855, 270}, u"タイマー間隔 (ミリ秒)"},
    {u"Command5", K::Button, u"自動実行停止", {2280, 3480, 1335, 375}},
    {u"Label10(0)", K::Label, u"その他のアセンブラ", {2280, 4200, 1575, 255}},
    {u"Label10(1)", K::Label, u"ソースプログラム", {2400, 4440, 1455, 255},
     u"その他のアセンブラソースプログラムの見出し"},
};
// clang-format on

} // namespace

void FrmAssembler::buildEmulatorFrame(QWidget* client) {
  QGroupBox* frame1 =
      makeFrame(client, QStringLiteral("Frame1"), QStringLiteral("マシン語エミュレーション"),
                twipsRect(7680, 120, 3975, 5535));
  const Controls top = buildControls(frame1, kFrameTop);
  m_txtExecAddress = top.get<QLineEdit>(u"txtExecAddress");
  m_check1 = top.get<QCheckBox>(u"Check1");
  m_txtEffectAddress = top.get<QLineEdit>(u"txtEffectAddress");
  for (std::size_t i = 0; i < m_txtOpe.size(); ++i)
    m_txtOpe[i] = top.at<QLineEdit>(u"txtOpe", static_cast<int>(i));
  for (int k = 0; k < kRegisters; ++k) {
    const QString number = hexDigits(k, 1);
    makeCentredLabel(frame1, indexedName(QStringLiteral("Label7"), k + 2), number,
                     twipsRect(480, 1560 + 240 * k, 375, 255),
                     QStringLiteral("レジスタ番号 %1").arg(number));
    m_txtRegister.at(static_cast<std::size_t>(k)) = makeStateBox(
        frame1, indexedName(QStringLiteral("txtRegister"), k),
        twipsRect(1200, 1560 + 240 * k, 855, 270), QStringLiteral("レジスタ X%1").arg(number));
  }
  auto* frame2 = buildControls(frame1, kFrameFlags).get<QGroupBox>(u"Frame2");
  const QString flags[] = {QStringLiteral("P"), QStringLiteral("Z"), QStringLiteral("M")};
  for (std::size_t i = 0; i < m_txtStatus.size(); ++i) {
    const int index = static_cast<int>(i);
    const int left = 120 + 360 * index;
    makeCentredLabel(frame2, indexedName(QStringLiteral("Label9"), index), flags[i],
                     twipsRect(left, 240, 315, 255));
    m_txtStatus[i] =
        makeStateBox(frame2, indexedName(QStringLiteral("txtStatus"), index),
                     twipsRect(left, 480, 315, 270), QStringLiteral("ステータス %1").arg(flags[i]));
    m_txtStatus[i]->setAlignment(Qt::AlignCenter);
  }
  const Controls bottom = buildControls(frame1, kFrameBottom);
  m_txtTimer = bottom.get<QLineEdit>(u"txtTimer");
  m_list1 = new QListWidget(frame1);
  m_list1->setObjectName(QStringLiteral("List1"));
  placeAt(m_list1, twipsRect(2280, 4800, 1575, 600));
  m_list1->setAccessibleName(QStringLiteral("その他のアセンブラソースプログラム"));
  m_list1->addItems(sampleNames());

  connectRunControls(
      m_txtTimer, [](const MachineEngine& e) { return e.view().txtTimer; },
      &MachineEngine::setTxtTimer, m_check1);
  connectList();
  connectCommand(top.get<QPushButton>(u"Command2"), &MachineEngine::Command2_Click, true);
  connectCommand(top.get<QPushButton>(u"Command3"), &MachineEngine::Command3_Click, true);
  connectCommand(bottom.get<QPushButton>(u"Command4"), &MachineEngine::Command4_Click, false);
  connectCommand(bottom.get<QPushButton>(u"Command5"), &MachineEngine::Command5_Click, false);
}

void FrmAssembler::connectList() {
  // A click on an item loads its sample, again when it is already selected; moving the selection
  // with the keys loads the sample it lands on. The mouse press is taken before the list moves
  // its selection (eventFilter), so that one click asks at most once about a changed source and a
  // cancelled question leaves the selection on the sample that is loaded.
  m_list1->viewport()->installEventFilter(this);
  m_list1->installEventFilter(this);
  connect(m_list1, &QListWidget::currentRowChanged, this, [this](int row) { List1_Click(row); });
  // Enter loads the current sample again; an item selected through the accessibility interface
  // becomes the current one, which loads it.
  connect(m_list1, &QListWidget::itemActivated, this,
          [this](QListWidgetItem* item) { List1_Click(m_list1->row(item)); });
  connect(m_list1, &QListWidget::itemSelectionChanged, this, [this] {
    const QList<QListWidgetItem*> selected = m_list1->selectedItems();
    if (!m_painting && !selected.isEmpty() && selected.first() != m_list1->currentItem())
      m_list1->setCurrentItem(selected.first());
  });
}

void FrmAssembler::List1_Click(int row) {
  if (m_painting || row < 0)
    return;
  mutableEngine().List1_Click(row);
  refresh(); // also puts the list's selection back after a cancelled question
}

bool FrmAssembler::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (watched == m_list1 && type == QEvent::KeyPress)
    return listKeyPress(*static_cast<QKeyEvent*>(event));
  if (watched != m_list1->viewport() ||
      (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick &&
       type != QEvent::MouseMove))
    return ScreenWindow::eventFilter(watched, event);
  // The list never moves its selection by the mouse itself, neither by a press nor by dragging;
  // the second press of a double click belongs to the choice of the first.
  const auto* mouse = static_cast<QMouseEvent*>(event);
  if (type != QEvent::MouseButtonPress || mouse->button() != Qt::LeftButton)
    return type != QEvent::MouseMove || mouse->buttons() != Qt::NoButton;
  m_list1->setFocus(Qt::MouseFocusReason);
  if (const QListWidgetItem* item = m_list1->itemAt(mouse->position().toPoint()))
    List1_Click(m_list1->row(item));
  return true;
}

bool FrmAssembler::listKeyPress(const QKeyEvent& key) {
  // The keys that move through the list choose the sample here, as a click does: the list never
  // moves its selection by itself, so a cancelled question leaves it on the loaded sample.
  const int last = m_list1->count() - 1;
  int row = m_list1->currentRow();
  switch (key.key()) {
  case Qt::Key_Up:
    row = std::max(row - 1, 0);
    break;
  case Qt::Key_Down:
    row = std::min(row + 1, last);
    break;
  case Qt::Key_Home:
  case Qt::Key_PageUp:
    row = 0;
    break;
  case Qt::Key_End:
  case Qt::Key_PageDown:
    row = last;
    break;
  default:
    return false;
  }
  if (row != m_list1->currentRow())
    List1_Click(row);
  return true;
}

bool FrmAssembler::setSourceText(const QString& text) {
  const bool replaced = mutableEngine().QueryDiscardSource();
  if (replaced)
    mutableEngine().ReplaceSource(text);
  refresh();
  return replaced;
}

void FrmAssembler::mnuOpen_Click() {
  // Asked before the file dialog: what is not saved is settled before another file is chosen.
  if (mutableEngine().QueryDiscardSource())
    if (const std::optional<QString> text = OpenSourceFile(m_notingFiles, screenDialogs())) {
      mutableEngine().ReplaceSource(*text);
      rememberFile(m_notingFiles.chosen());
    }
  refresh();
}

void FrmAssembler::openSourceFile(const QString& path) {
  if (mutableEngine().QueryDiscardSource())
    if (const std::optional<QString> text = OpenSourcePath(path, screenDialogs())) {
      mutableEngine().ReplaceSource(*text);
      rememberFile(path);
    }
  refresh();
}

void FrmAssembler::mnuSave_Click() {
  mutableEngine().mnuSave_Click();
}

void FrmAssembler::openRecentFile(const QString& path) {
  if (!QFileInfo::exists(path)) {
    if (settings())
      settings()->removeRecentFile(path);
    rebuildRecentMenu();
    screenDialogs().inform(fileErrorMessage(
        QStringLiteral("ファイルが見つかりません。最近使ったファイルの一覧から外しました。"),
        path));
    return;
  }
  openSourceFile(path);
}

void FrmAssembler::rememberFile(const QString& path) {
  if (!settings() || path.isEmpty())
    return;
  settings()->addRecentFile(QFileInfo(path).absoluteFilePath());
  rebuildRecentMenu();
}

void FrmAssembler::rebuildRecentMenu() {
  // The action being triggered may be among the old ones: they go once its signal is done.
  for (QAction* old : m_recentMenu->actions()) {
    m_recentMenu->removeAction(old);
    old->setObjectName({});
    old->deleteLater();
  }
  const QStringList files = settings() ? settings()->recentFiles() : QStringList();
  const QFontMetrics metrics(m_recentMenu->font());
  for (qsizetype i = 0; i < files.size(); ++i) {
    const QString& path = files[i];
    const QString shown = metrics.elidedText(QDir::toNativeSeparators(path), Qt::ElideMiddle,
                                             metrics.averageCharWidth() * 60);
    QAction* item = m_recentMenu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(
        QString(shown).replace(u'&', QStringLiteral("&&"))));
    item->setObjectName(indexedName(QStringLiteral("mnuRecentFile"), static_cast<int>(i)));
    item->setToolTip(path);
    connect(item, &QAction::triggered, this, [this, path] { openRecentFile(path); });
  }
  m_recentMenu->setEnabled(!files.isEmpty());
}

QString FrmAssembler::NotingFileDialogs::ShowOpen(const QStringList& filters) {
  return note(m_screen.m_files.ShowOpen(filters));
}

QString FrmAssembler::NotingFileDialogs::ShowSave(const QStringList& filters) {
  return note(m_screen.m_files.ShowSave(filters));
}

QString FrmAssembler::NotingFileDialogs::note(const QString& path) {
  m_chosen = path;
  if (!path.isEmpty()) {
    const QString folder = QFileInfo(path).absolutePath();
    m_screen.m_platformFiles.setFolder(folder);
    if (m_screen.settings())
      m_screen.settings()->setLastFolder(folder);
  }
  return path;
}

void FrmAssembler::setZoom(double zoom) {
  ScreenWindow::setZoom(zoom);
  m_help.setZoom(zoom);
}

void FrmAssembler::setSettings(Settings* settings) {
  ScreenWindow::setSettings(settings);
  m_help.setSettings(settings);
  if (settings)
    m_platformFiles.setFolder(settings->lastFolder());
  rebuildRecentMenu();
}

void FrmAssembler::mnuExit_Click() {
  close();
}

void FrmAssembler::closeEvent(QCloseEvent* event) {
  if (!mutableEngine().QueryDiscardSource()) {
    event->ignore();
    refresh();
    return;
  }
  ScreenWindow::closeEvent(event);
}

void FrmAssembler::Command6_Click() {
  m_help.show(1);
}

void FrmAssembler::tick() {
  // A machine step moves the focus to the listing with the paint that shows it.
  const std::int16_t phase = engine().state().clock.phase;
  if (!screenDialogs().boxOpen() && phase >= kFetch && phase <= kExecute)
    m_focusPending = true;
  EngineScreen::tick();
}

void FrmAssembler::nextMove(MachineEngine& engine) {
  if (engine.state().clock.interval > 0) {
    engine.Timer1_Timer();
    return;
  }
  engine.Command2_Click();
  m_focusPending = true;
}

void FrmAssembler::runSlice() {
  // A box the run opens (IN) holds the timer until the slice that opened it goes on; a box
  // opened by anything else (the question before closing) is waited for.
  m_slices.stop();
  if (!engine().state().runningToEnd)
    return;
  if (screenDialogs().boxOpen()) {
    m_slices.start(20);
    return;
  }
  // Slices of a few thousand instructions, until about a display frame has gone by.
  constexpr int kSliceInstructions = 4096;
  constexpr qint64 kSliceNanoseconds = 12'000'000;
  QElapsedTimer clock;
  clock.start();
  continueMove([this, &clock] {
    while (mutableEngine().runToEndSlice(kSliceInstructions) &&
           clock.nsecsElapsed() < kSliceNanoseconds) {
    }
  });
  if (engine().state().runningToEnd) {
    m_slices.start(0);
    return;
  }
  m_focusPending = true;
  refresh();
}

void FrmAssembler::settle() {
  m_slices.stop();
  mutableEngine().Command5_Click();
  m_focusPending = true;
  refresh();
}

void FrmAssembler::toggleBreakpointAtCursor() {
  toggleBreakpointOnLine(m_text2->textCursor().blockNumber());
}

void FrmAssembler::toggleBreakpointOnLine(int boxLine) {
  if (engine().state().listingEdited) { // its lines are no longer the assembled ones
    QApplication::beep();
    return;
  }
  const std::vector<int> first = boxLinesOfEngineLines(engine().view().Text2);
  const auto after = std::upper_bound(first.begin(), first.end(), boxLine);
  const auto line = static_cast<int>(after - first.begin()) - 1;
  if (line < 0 || !mutableEngine().toggleBreakpoint(line))
    QApplication::beep(); // a line without an instruction
  paintBreakpoints();
}

void FrmAssembler::paintBreakpoints() {
  const AssemblerView& view = engine().view();
  const std::vector<int> first = boxLinesOfEngineLines(view.Text2);
  std::vector<int> marked;
  QStringList described;
  for (const int line : engine().state().breakpoints) {
    // A mark kept from a later assembly, on a line this one does not hold as an instruction,
    // does not show; nor does any on a listing edited by hand.
    if (engine().state().listingEdited || !engine().holdsInstruction(line) ||
        static_cast<std::size_t>(line) >= first.size())
      continue;
    marked.push_back(first[static_cast<std::size_t>(line)]);
    described << QStringLiteral("%1行目").arg(line + 1);
  }
  m_text2->setMarkedLines(std::move(marked));
  m_text2->setAccessibleDescription(
      described.isEmpty() ? QString()
                          : QStringLiteral("ブレークポイント: ") + described.join(u"、"));
  m_runToEnd->setEnabled(!engine().state().runningToEnd);
}

void FrmAssembler::Timer1_Timer() {
  // A box held for the end of a press is open outside the engine's guard: the tick waits too.
  if (screenDialogs().boxOpen())
    return;
  const std::int16_t phase = engine().state().clock.phase;
  mutableEngine().Timer1_Timer();
  refresh();
  // The fetch, operand-address and execute ticks repaint the machine, as a press of "実行" does.
  if (phase >= kFetch && phase <= kExecute)
    focusListing();
}

void FrmAssembler::load() {
  EngineScreen::load();
  focusListing();
}

void FrmAssembler::focusListing() {
  // A screen that is not shown simply does not take the focus.
  m_text2->setFocus(Qt::OtherFocusReason);
}

void FrmAssembler::paintListingSelection() {
  const AssemblerView& view = engine().view();
  if (view.Text2SelStart == m_shownSelStart && view.Text2SelLength == m_shownSelLength)
    return;
  m_shownSelStart = view.Text2SelStart;
  m_shownSelLength = view.Text2SelLength;
  const qsizetype start = boxPosition(view.Text2, view.Text2SelStart);
  const qsizetype end = boxPosition(view.Text2, view.Text2SelStart + view.Text2SelLength);
  const int length = m_text2->document()->characterCount() - 1;
  QTextCursor cursor = m_text2->textCursor();
  cursor.setPosition(std::clamp(static_cast<int>(std::min<qsizetype>(start, length)), 0, length));
  cursor.setPosition(std::clamp(static_cast<int>(std::min<qsizetype>(end, length)), 0, length),
                     QTextCursor::KeepAnchor);
  m_text2->setTextCursor(cursor);
  m_text2->ensureCursorVisible();
}

void FrmAssembler::paint() {
  const QScopedValueRollback painting(m_painting, true);
  const AssemblerView& view = engine().view();

  setBoxText(m_text1, m_shownText1, view.Text1);
  const QString listingBefore = m_shownText2;
  setBoxText(m_text2, m_shownText2, view.Text2);
  if (m_shownText2 != listingBefore)
    m_shownSelStart = m_shownSelLength = -1; // a new text put the cursor to its start
  paintListingSelection();
  const QString outputBefore = m_shownText3;
  setBoxText(m_text3, m_shownText3, view.Text3);
  if (m_shownText3 != outputBefore) // the newest output line in sight
    m_text3->verticalScrollBar()->setValue(m_text3->verticalScrollBar()->maximum());

  setTextIfChanged(m_txtExecAddress, view.txtExecAddress);
  for (std::size_t i = 0; i < m_txtOpe.size(); ++i) {
    setTextIfChanged(m_txtOpe[i], view.txtOpe[i]);
    paintMark(m_txtOpe[i], view.txtOpeMark, MarkSense::Machine);
  }
  setTextIfChanged(m_txtEffectAddress, view.txtEffectAddress);
  paintMark(m_txtEffectAddress, view.txtEffectAddressMark, MarkSense::Machine);
  for (std::size_t k = 0; k < m_txtRegister.size(); ++k) {
    setTextIfChanged(m_txtRegister[k], view.txtRegister[k]);
    paintMark(m_txtRegister[k], view.txtRegisterMarks[k], MarkSense::Machine);
  }
  for (std::size_t k = 0; k < m_txtStatus.size(); ++k) {
    setTextIfChanged(m_txtStatus[k], view.txtStatus[k]);
    paintMark(m_txtStatus[k], Mark::White, MarkSense::Machine);
  }
  for (std::size_t k = 0; k < m_lblCode.size(); ++k) {
    setTextIfChanged(m_lblCode[k], view.lblCode[k]);
    paintMark(m_lblCode[k], view.lblCodeMarks[k], MarkSense::Memory);
  }
  setTextIfChanged(m_txtTimer, view.txtTimer);
  if (m_check1->isChecked() != view.Check1)
    m_check1->setChecked(view.Check1);
  if (m_list1->currentRow() != view.List1Index ||
      (view.List1Index < 0) != m_list1->selectedItems().isEmpty()) {
    m_list1->setCurrentRow(view.List1Index);
    if (view.List1Index < 0)
      m_list1->clearSelection();
  }
  paintBreakpoints();
  if (m_focusPending)
    focusListing();
  m_focusPending = false;
}

} // namespace rpn::machine
