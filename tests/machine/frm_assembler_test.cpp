#include "common/screen_kit.h"
#include "machine/frm_assembler.h"
#include "machine_fixture.h"
#include "support/scripted_file_dialogs.h"
#include "support/widget_lookup.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace rpn::machine {
namespace {

using rpn::test::control;
using rpn::test::RecordingDialogs;
using test::ScriptedFileDialogs;

QString colourOf(const QWidget* widget) {
  if (!widget->autoFillBackground())
    return u"none"_s;
  const QColor colour = widget->palette().color(widget->backgroundRole());
  return colour == Qt::white    ? u"white"_s
         : colour == Qt::red    ? u"red"_s
         : colour == Qt::yellow ? u"yellow"_s
                                : colour.name();
}

class FrmAssemblerTest : public ::testing::Test {
protected:
  FrmAssemblerTest() { form.showScreen(); }

  template <class W = QWidget> W* find(const QString& name) { return control<W>(&form, name); }
  QLineEdit* edit(const QString& name) { return find<QLineEdit>(name); }
  QPlainTextEdit* box(const QString& name) { return find<QPlainTextEdit>(name); }
  QLineEdit* reg(int k) { return edit(indexedName(u"txtRegister"_s, k)); }
  QLabel* cell(int k) { return find<QLabel>(indexedName(u"lblCode"_s, k)); }
  void click(const QString& button) {
    QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton);
  }
  void clickSample(int row) {
    auto* list = find<QListWidget>(u"List1"_s);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(row)).center());
  }
  void traceOff() {
    if (find<QCheckBox>(u"Check1"_s)->isChecked())
      find<QCheckBox>(u"Check1"_s)->click();
  }
  QString selectedListing() { return box(u"Text2"_s)->textCursor().selectedText(); }
  std::vector<int> cellsMarked(const QString& colour) {
    std::vector<int> marked;
    for (int k = 0; k < kMemoryCells; ++k)
      if (colourOf(cell(k)) == colour)
        marked.push_back(k);
    return marked;
  }

  RecordingDialogs boxes;
  ScriptedFileDialogs files;
  FrmAssembler form{&boxes, &files};
};

TEST_F(FrmAssemblerTest, EveryControlSitsAtItsPlaceWithItsCaption) {
  const struct {
    const char* name;
    int left, top, width, height; // no width: the size is the control's own
    const char16_t* caption;
  } places[] = {
      {"Text1", 120, 360, 2895, 5295, u""},
      {"Command1", 5040, 0, 1215, 375, u"アセンブル"},
      {"Text2", 3120, 360, 4455, 5295, u""},
      {"lblCode(0)", 720, 6240, 495, 255, u"0000"},
      {"lblCode(63)", 720 + 480 * 15, 6240 + 240 * 3, 495, 255, u"0000"},
      {"Command6", 8640, 6000, 2895, 375, u"マシン語とアセンブラの説明"},
      {"Text3", 120, 7200, 8295, 1215, u""},
      {"Frame1", 7680, 120, 3975, 5535, u"マシン語エミュレーション"},
      {"Command3", 2160, 360, 735, 255, u"初期化"},
      {"Command2", 2880, 360, 855, 255, u"実行"},
      {"txtRegister(15)", 1200, 1560 + 240 * 15, 855, 270, u"0000"},
      {"Frame2", 2280, 1560, 1335, 855, u"Status Flag"},
      {"Command4", 2280, 2640, 1335, 375, u"自動実行"},
      {"txtTimer", 3000, 3120, 855, 270, u"500"},
      {"Command5", 2280, 3480, 1335, 375, u"自動実行停止"},
      {"List1", 2280, 4800, 1575, 600, u""},
      {"Check1", 2160, 600, 0, 0, u"トレースモード"},
  };
  for (const auto& p : places) {
    const QWidget* widget = find(QString::fromLatin1(p.name));
    const QRect place = twipsRect(p.left, p.top, p.width, p.height);
    EXPECT_EQ(widget->pos(), place.topLeft()) << p.name;
    if (p.width) {
      EXPECT_EQ(widget->size(), place.size()) << p.name;
    }
    const char* captionProperty = qobject_cast<const QGroupBox*>(widget) ? "title" : "text";
    const QString caption = widget->property(captionProperty).toString();
    EXPECT_EQ(caption, QString::fromUtf16(p.caption)) << p.name;
  }
  auto* list = find<QListWidget>(u"List1"_s);
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->item(0)->text(), u"比較の例"_s);
  EXPECT_EQ(list->item(1)->text(), u"他レジスタの使用"_s);
  EXPECT_EQ(form.windowTitle(), u"擬似アセンブラ"_s);
  EXPECT_TRUE(find<QCheckBox>(u"Check1"_s)->isChecked());
  // The source, the listing and the memory cells share the fixed-pitch font.
  for (const QWidget* w :
       std::initializer_list<const QWidget*>{box(u"Text1"_s), box(u"Text2"_s), cell(40)})
    EXPECT_EQ(w->font().family(), fixedPitchFont().family()) << w->objectName().toStdString();
}

TEST_F(FrmAssemblerTest, FileMenuHasItsItemsAndShortcuts) {
  auto* file = find<QMenu>(u"mnuFile"_s);
  EXPECT_EQ(file->title(), u"ファイル(&F)"_s);
  QStringList items;
  for (const QAction* action : file->actions())
    items << action->objectName() + u' ' + action->text() + u' ' + action->shortcut().toString();
  EXPECT_EQ(items, (QStringList{u"mnuOpen 開く(&O) Ctrl+O"_s, u"mnuSave 保存(&S) Ctrl+S"_s,
                                u"mnuRecent 最近使ったファイル "_s, u"mnuFileDummy0  "_s,
                                u"mnuExit 終了(&X) "_s}));
  EXPECT_TRUE(file->actions()[3]->isSeparator());
}

// "比較の例" through the screen: its lines into the source box, the worked listing, the marks of
// each phase of the first press, the stored cell of the second, and the end after 80 presses.
TEST_F(FrmAssemblerTest, CompareSampleRunsThroughTheScreenWithTheMarksOfEachPhase) {
  const QStringList listing = goldenListing(u"compare.lst"_s).split(u"\r\n"_s);
  QString source;
  for (const QString& line : listing.mid(0, 16))
    source += line.mid(19) + u'\n';
  clickSample(0);
  EXPECT_EQ(box(u"Text1"_s)->toPlainText(), source);
  click(u"Command1"_s);
  EXPECT_EQ(box(u"Text2"_s)->toPlainText(), listing.join(u'\n'));
  EXPECT_EQ(cellsMarked(u"red"_s), (std::vector<int>{0, 1}));

  const auto opeColour = [&] { // the four boxes of the instruction register together
    QStringList colours;
    for (int i = 0; i < 4; ++i)
      colours << colourOf(edit(indexedName(u"txtOpe"_s, i)));
    colours.removeDuplicates();
    return colours.join(u'/');
  };
  QStringList seen;
  boxes.onBox = [&] {
    seen << QStringLiteral("%1 ope=%2 ea=%3 %4 x0=%5")
                .arg(boxes.texts().last(), opeColour(), colourOf(edit(u"txtEffectAddress"_s)),
                     edit(u"txtEffectAddress"_s)->text(), colourOf(reg(0)));
  };
  click(u"Command2"_s); // trace mode is on when the screen opens
  EXPECT_EQ(seen, (QStringList{u"命令フェッチ&アドレスカウント ope=yellow ea=white 0000 x0=white"_s,
                               u"オペランドアドレス計算 ope=yellow ea=red 000A x0=white"_s,
                               u"命令実行 ope=white ea=white 000A x0=yellow"_s}));
  QStringList shown;
  for (const QString& name : {u"txtOpe(0)"_s, u"txtOpe(1)"_s, u"txtOpe(2)"_s, u"txtOpe(3)"_s,
                              u"txtRegister(0)"_s, u"txtRegister(1)"_s, u"txtStatus(0)"_s,
                              u"txtStatus(1)"_s, u"txtStatus(2)"_s, u"txtExecAddress"_s})
    shown << edit(name)->text() + u' ' + colourOf(edit(name));
  EXPECT_EQ(shown, (QStringList{u"B0 white"_s, u"0 white"_s, u"0 white"_s, u"000A white"_s,
                                u"000A yellow"_s, u"0000 white"_s, u"1 white"_s, u"0 white"_s,
                                u"0 white"_s, u"0002 none"_s}));
  EXPECT_EQ(cellsMarked(u"red"_s), (std::vector<int>{2, 3}));
  EXPECT_EQ(selectedListing(), listing[1]);
  EXPECT_EQ(form.focusWidget(), box(u"Text2"_s));

  // STOR I: the stored cell turns yellow and shows the new value. The trace switch is read
  // before every box: unticking it in the first box ends the boxes.
  boxes.onBox = [&] { traceOff(); };
  click(u"Command2"_s);
  EXPECT_EQ(cell(0x1B)->text(), u"000A"_s);
  EXPECT_EQ(cellsMarked(u"yellow"_s), std::vector<int>{0x1B});
  EXPECT_EQ(selectedListing(), listing[2]);

  for (int i = 2; i < 80; ++i)
    click(u"Command2"_s);
  EXPECT_EQ(boxes.texts().size(), 4);
  EXPECT_EQ(box(u"Text3"_s)->toPlainText(), u"\n* 45\nプログラムの終了です."_s);
  EXPECT_EQ(edit(u"txtExecAddress"_s)->text(), u"0000"_s);
  EXPECT_EQ(reg(0)->text(), u"002D"_s);
  EXPECT_EQ(cell(0x1A)->text(), u"002D"_s); // A
  EXPECT_EQ(selectedListing(), listing[0]);
}

TEST_F(FrmAssemblerTest, ExitDuringAutoRunStopsItAndShowingAgainRepaintsTheKeptMachine) {
  RecordingDialogs otherBoxes;
  FrmAssembler other{&otherBoxes, &files};
  other.showScreen();
  QTest::mouseClick(control<QPushButton>(&other, u"Command4"_s), Qt::LeftButton);

  clickSample(1);
  QLineEdit* interval = edit(u"txtTimer"_s);
  interval->selectAll();
  QTest::keyClicks(interval, u"250"_s);
  click(u"Command4"_s);
  EXPECT_EQ(form.timer().interval(), 250);
  for (int i = 0; i < 2 + 3 * 3; ++i) // idle, assemble, three instructions
    form.Timer1_Timer();
  EXPECT_EQ(edit(u"txtExecAddress"_s)->text(), u"0006"_s);

  form.mnuExit_Click();
  EXPECT_FALSE(form.isVisible());
  EXPECT_FALSE(form.timer().isActive());
  EXPECT_FALSE(form.engine().state().clock.interval > 0);
  EXPECT_TRUE(other.timer().isActive()); // the other screen runs on
  QTest::mouseClick(control<QPushButton>(&other, u"Command2"_s), Qt::LeftButton);
  EXPECT_FALSE(other.timer().isActive()); // "実行" stops its own screen's auto-run

  // Code handed over while the screen is closed is there when it shows again.
  form.setSourceText(u"     SVC     0\r\n"_s);
  form.showScreen();
  EXPECT_FALSE(form.timer().isActive());
  EXPECT_EQ(box(u"Text1"_s)->toPlainText(), u"     SVC     0\n"_s);
  EXPECT_EQ(box(u"Text2"_s)->toPlainText(), QString());
  EXPECT_EQ(box(u"Text3"_s)->toPlainText(), QString());
  EXPECT_EQ(interval->text(), u"500"_s);
  EXPECT_EQ(edit(u"txtExecAddress"_s)->text(), u"0000"_s);
  EXPECT_EQ(reg(0)->text(), u"0000"_s);
  EXPECT_EQ(reg(1)->text(), u"000A"_s);  // the kept registers
  EXPECT_EQ(cell(0)->text(), u"B010"_s); // and the kept program image
  EXPECT_EQ(cellsMarked(u"red"_s), (std::vector<int>{0, 1}));
  EXPECT_EQ(find<QListWidget>(u"List1"_s)->currentRow(), -1);
}

// Typed lines reach the engine with CR LF, are saved through the menu and opened again with the
// shortcut, which reaches the menu from anywhere in the window.
TEST_F(FrmAssemblerTest, TypedSourceIsSavedAndOpenedThroughTheFileMenu) {
  QPlainTextEdit* source = box(u"Text1"_s);
  source->setFocus();
  QTest::keyClicks(source, u"     LI      7"_s);
  QTest::keyClick(source, Qt::Key_Return);
  QTest::keyClicks(source, u"     OUT     0"_s);
  EXPECT_EQ(form.engine().view().Text1, u"     LI      7\r\n     OUT     0"_s);
  click(u"Command1"_s);
  // Repaints leave the cursor where the user left it.
  EXPECT_EQ(source->textCursor().position(), source->document()->characterCount() - 1);

  QTemporaryDir dir;
  const QString path = dir.filePath(u"typed.txt"_s);
  files.choose(path);
  find<QAction>(u"mnuSave"_s)->trigger();
  QFile saved(path);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_EQ(saved.readAll(), "     LI      7\r\n     OUT     0\r\n");
  form.setSourceText(QString());
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  files.choose(path);
  QTest::keySequence(box(u"Text2"_s), QKeySequence::Open);
  EXPECT_EQ(source->toPlainText(), u"     LI      7\n     OUT     0"_s);
  QTest::keySequence(source, QKeySequence::Save);
  EXPECT_EQ(files.shown(), (QStringList{u"save"_s, u"open"_s, u"save"_s}));
}

} // namespace
} // namespace rpn::machine
