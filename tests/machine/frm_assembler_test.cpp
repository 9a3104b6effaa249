#include "common/screen_kit.h"
#include "machine/frm_assembler.h"
#include "machine/samples.h"
#include "scripted_file_dialogs.h"
#include "support/recording_dialogs.h"
#include "support/widget_lookup.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <gtest/gtest.h>

namespace rpn::machine {
namespace {

using rpn::test::control;
using rpn::test::RecordingDialogs;
using test::ScriptedFileDialogs;
using namespace Qt::StringLiterals;

const QColor kWhite(255, 255, 255);
const QColor kRed(255, 0, 0);
const QColor kYellow(255, 255, 0);

QColor background(const QWidget* widget) {
  return widget->autoFillBackground() ? widget->palette().color(widget->backgroundRole())
                                      : QColor();
}

// The worked listing of "比較の例", line by line as the listing box shows it.
const QStringList kCompareListing = {
    QStringLiteral("0000 : B000 000A  :     LI      10"),
    QStringLiteral("0002 : A200 001B  :     STOR    I"),
    QStringLiteral("0004 : B000 0000  :     LI      0"),
    QStringLiteral("0006 : A200 001A  :     STOR    A"),
    QStringLiteral("0008 : A000 001B  :LOOP LOAD    I"),
    QStringLiteral("000A : 9200 0001  :     SUBI    1"),
    QStringLiteral("000C : E300 0016  :     JM      ENDP"),
    QStringLiteral("000E : A200 001B  :     STOR    I"),
    QStringLiteral("0010 : 8100 001A  :     ADD     A"),
    QStringLiteral("0012 : A200 001A  :     STOR    A"),
    QStringLiteral("0014 : E000 0008  :     JMP     LOOP"),
    QStringLiteral("0016 : A000 001A  :ENDP LOAD    A"),
    QStringLiteral("0018 : 6000       :     OUT     0"),
    QStringLiteral("0019 : 0100       :     SVC     0"),
    QStringLiteral("001A : 0000       :A    DA      1"),
    QStringLiteral("001B : 0000       :I    DA      1"),
};

class FrmAssemblerTest : public ::testing::Test {
protected:
  FrmAssemblerTest() { form.showScreen(); }

  template <class W = QWidget> W* find(const QString& name) { return control<W>(&form, name); }
  QLineEdit* edit(const QString& name) { return find<QLineEdit>(name); }
  QPlainTextEdit* box(const QString& name) { return find<QPlainTextEdit>(name); }
  QLineEdit* reg(int k) { return edit(indexedName(QStringLiteral("txtRegister"), k)); }
  QLineEdit* ope(int i) { return edit(indexedName(QStringLiteral("txtOpe"), i)); }
  QLabel* cell(int k) { return find<QLabel>(indexedName(QStringLiteral("lblCode"), k)); }
  QAction* action(const QString& name) { return find<QAction>(name); }
  void click(const QString& button) {
    QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton);
  }
  void clickSample(int row) {
    auto* list = find<QListWidget>(QStringLiteral("List1"));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(row)).center());
  }
  void traceOff() {
    if (find<QCheckBox>(QStringLiteral("Check1"))->isChecked())
      find<QCheckBox>(QStringLiteral("Check1"))->click();
  }
  QStringList listingLines() { return box(QStringLiteral("Text2"))->toPlainText().split(u'\n'); }
  QString selectedListing() { return box(QStringLiteral("Text2"))->textCursor().selectedText(); }
  std::vector<int> cellsMarked(const QColor& colour) {
    std::vector<int> marked;
    for (int k = 0; k < kMemoryCells; ++k)
      if (background(cell(k)) == colour)
        marked.push_back(k);
    return marked;
  }

  RecordingDialogs boxes;
  ScriptedFileDialogs files;
  FrmAssembler form{&boxes, &files};
};

TEST_F(FrmAssemblerTest, EveryControlSitsAtItsPlaceWithItsCaption) {
  struct Place {
    const char* name;
    int left, top, width, height;
    const char16_t* caption;
  };
  const Place places[] = {
      {"Text1", 120, 360, 2895, 5295, u""},
      {"Command1", 5040, 0, 1215, 375, u"アセンブル"},
      {"Text2", 3120, 360, 4455, 5295, u""},
      {"lblCode(0)", 720, 6240, 495, 255, u"0000"},
      {"lblCode(17)", 720 + 480, 6240 + 240, 495, 255, u"0000"},
      {"lblCode(63)", 720 + 480 * 15, 6240 + 240 * 3, 495, 255, u"0000"},
      {"Command6", 8640, 6000, 2895, 375, u"マシン語とアセンブラの説明"},
      {"Text3", 120, 7200, 8295, 1215, u""},
      {"Frame1", 7680, 120, 3975, 5535, u"マシン語エミュレーション"},
      {"txtExecAddress", 1200, 360, 855, 270, u"0000"},
      {"Command3", 2160, 360, 735, 255, u"初期化"},
      {"Command2", 2880, 360, 855, 255, u"実行"},
      {"txtEffectAddress", 2280, 1200, 1215, 270, u"0000"},
      {"txtRegister(0)", 1200, 1560, 855, 270, u"0000"},
      {"txtRegister(15)", 1200, 1560 + 240 * 15, 855, 270, u"0000"},
      {"Frame2", 2280, 1560, 1335, 855, u"Status Flag"},
      {"Command4", 2280, 2640, 1335, 375, u"自動実行"},
      {"txtTimer", 3000, 3120, 855, 270, u"500"},
      {"Command5", 2280, 3480, 1335, 375, u"自動実行停止"},
      {"List1", 2280, 4800, 1575, 600, u""},
  };
  for (const Place& p : places) {
    const QString name = QString::fromLatin1(p.name);
    const QWidget* widget = find(name);
    EXPECT_EQ(widget->geometry(), twipsRect(p.left, p.top, p.width, p.height)) << p.name;
    QString caption;
    if (const auto* l = qobject_cast<const QLabel*>(widget))
      caption = l->text();
    else if (const auto* e = qobject_cast<const QLineEdit*>(widget))
      caption = e->text();
    else if (const auto* b = qobject_cast<const QAbstractButton*>(widget))
      caption = b->text();
    else if (const auto* g = qobject_cast<const QGroupBox*>(widget))
      caption = g->title();
    EXPECT_EQ(caption, QString::fromUtf16(p.caption)) << p.name;
    EXPECT_FALSE(widget->accessibleName().isEmpty()) << p.name;
  }
  // Left and top only.
  const struct {
    const char* name;
    int left, top;
    const char16_t* caption;
  } corners[] = {
      {"Label1", 120, 120, u"ソースプログラム"},
      {"Label2", 3120, 120, u"アセンブル結果"},
      {"Label3", 120, 5760, u"マシン語"},
      {"Label5", 120, 6000, u"ADDR"},
      {"lblADD2(0)", 720, 6000, u"0"},
      {"lblADD2(15)", 720 + 480 * 15, 6000, u"F"},
      {"lblADD1(0)", 120, 6240, u"0000"},
      {"lblADD1(3)", 120, 6240 + 720, u"0030"},
      {"Label4", 120, 360, u"実行アドレス"},
      {"Label8", 2160, 960, u"オペランドアドレス"},
      {"Label6(0)", 120, 720, u"Ope"},
      {"Label6(3)", 1320, 720, u"3"},
      {"Label9(0)", 120, 240, u"P"},
      {"Label9(2)", 840, 240, u"M"},
      {"Label11", 2280, 3120, u"タイマー"},
      {"Label10(0)", 2280, 4200, u"その他のアセンブラ"},
      {"Label10(1)", 2400, 4440, u"ソースプログラム"},
  };
  for (const auto& c : corners) {
    const auto* label = find<QLabel>(QString::fromLatin1(c.name));
    EXPECT_EQ(label->pos(), QPoint(twips(c.left), twips(c.top))) << c.name;
    EXPECT_EQ(label->text(), QString::fromUtf16(c.caption)) << c.name;
  }
  const int opeLeft[] = {120, 600, 960, 1320};
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(ope(i)->pos(), QPoint(twips(opeLeft[i]), twips(960))) << i;
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(edit(indexedName(QStringLiteral("txtStatus"), i))->pos(),
              QPoint(twips(120 + 360 * i), twips(480)));
  EXPECT_EQ(find<QCheckBox>(QStringLiteral("Check1"))->pos(), QPoint(twips(2160), twips(600)));
  EXPECT_TRUE(find<QCheckBox>(QStringLiteral("Check1"))->isChecked());
  EXPECT_EQ(find<QCheckBox>(QStringLiteral("Check1"))->text(), u"トレースモード");
  auto* list = find<QListWidget>(QStringLiteral("List1"));
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->item(0)->text(), u"比較の例");
  EXPECT_EQ(list->item(1)->text(), u"他レジスタの使用");
  EXPECT_EQ(form.windowTitle(), u"擬似アセンブラ");
  EXPECT_FALSE(form.timer().isActive());
  // The source, the listing and the memory cells share the fixed-pitch font.
  for (const QWidget* w :
       {static_cast<QWidget*>(box(QStringLiteral("Text1"))),
        static_cast<QWidget*>(box(QStringLiteral("Text2"))), static_cast<QWidget*>(cell(40))})
    EXPECT_EQ(w->font().family(), fixedPitchFont().family()) << w->objectName().toStdString();
}

TEST_F(FrmAssemblerTest, FileMenuHasItsItemsAndShortcuts) {
  auto* file = find<QMenu>(QStringLiteral("mnuFile"));
  EXPECT_EQ(file->title(), u"ファイル(&F)");
  const QList<QAction*> items = file->actions();
  ASSERT_EQ(items.size(), 4);
  EXPECT_EQ(items[0]->objectName(), u"mnuOpen");
  EXPECT_EQ(items[0]->text(), u"開く(&O)");
  EXPECT_EQ(items[0]->shortcut(), QKeySequence(QKeySequence::Open));
  EXPECT_EQ(items[1]->objectName(), u"mnuSave");
  EXPECT_EQ(items[1]->text(), u"保存(&S)");
  EXPECT_EQ(items[1]->shortcut(), QKeySequence(QKeySequence::Save));
  EXPECT_TRUE(items[2]->isSeparator());
  EXPECT_EQ(items[2]->objectName(), u"mnuFileDummy0");
  EXPECT_EQ(items[3]->objectName(), u"mnuExit");
  EXPECT_EQ(items[3]->text(), u"終了(&X)");
  EXPECT_EQ(QKeySequence(QKeySequence::Open), QKeySequence(QStringLiteral("Ctrl+O")));
}

TEST_F(FrmAssemblerTest, SampleAssemblesAndRunsToItsEndThroughTheScreen) {
  clickSample(0);
  EXPECT_EQ(form.engine().view().Text1, sampleCompare());
  EXPECT_EQ(form.engine().view().Text1.count(QStringLiteral("\r\n")), 16);
  EXPECT_TRUE(form.engine().view().Text1.endsWith(QStringLiteral("I    DA      1\r\n")));
  // The box shows the 16 lines and an empty line after the last line end.
  EXPECT_EQ(box(QStringLiteral("Text1"))->blockCount(), 17);
  EXPECT_EQ(box(QStringLiteral("Text1"))->document()->findBlockByNumber(4).text(),
            u"LOOP LOAD    I");

  click(QStringLiteral("Command1"));
  EXPECT_EQ(listingLines(), kCompareListing + QStringList{QString()});
  EXPECT_EQ(cell(0)->text(), u"B000");
  EXPECT_EQ(cell(0x1B)->text(), u"0000");
  EXPECT_EQ(cellsMarked(kRed), (std::vector<int>{0, 1})); // the first instruction

  traceOff();
  for (int i = 0; i < 80; ++i)
    click(QStringLiteral("Command2"));
  EXPECT_TRUE(boxes.boxes().empty());
  EXPECT_EQ(form.engine().view().Text3, QStringLiteral("\r\n* 45\r\nプログラムの終了です."));
  EXPECT_EQ(box(QStringLiteral("Text3"))->toPlainText(),
            QStringLiteral("\n* 45\nプログラムの終了です."));
  EXPECT_EQ(edit(QStringLiteral("txtExecAddress"))->text(), u"0000");
  EXPECT_EQ(reg(0)->text(), u"002D");
  EXPECT_EQ(cell(0x1A)->text(), u"002D"); // A
  EXPECT_EQ(cell(0x1B)->text(), u"0000"); // I counted down to 0
  EXPECT_EQ(selectedListing(), kCompareListing[0]);
}

TEST_F(FrmAssemblerTest, FirstStepShowsItsMarksAndSelectsTheNextLine) {
  clickSample(0);
  click(QStringLiteral("Command1"));
  struct Seen {
    QString box;
    QColor opeColour, effectColour, x0Colour;
    QString effect;
  };
  std::vector<Seen> seen;
  boxes.onBox = [&] {
    seen.push_back({boxes.texts().last(), background(ope(0)),
                    background(edit(QStringLiteral("txtEffectAddress"))), background(reg(0)),
                    edit(QStringLiteral("txtEffectAddress"))->text()});
  };
  click(QStringLiteral("Command2")); // trace mode is on when the screen opens
  ASSERT_EQ(seen.size(), 3U);
  EXPECT_EQ(seen[0].box, u"命令フェッチ&アドレスカウント");
  EXPECT_EQ(seen[0].opeColour, kYellow);
  EXPECT_EQ(seen[0].effectColour, kWhite);
  EXPECT_EQ(seen[1].box, u"オペランドアドレス計算");
  EXPECT_EQ(seen[1].effectColour, kRed);
  EXPECT_EQ(seen[1].effect, u"000A");
  EXPECT_EQ(seen[2].box, u"命令実行");
  EXPECT_EQ(seen[2].opeColour, kWhite);
  EXPECT_EQ(seen[2].x0Colour, kYellow);

  const QString opeTexts[] = {u"B0"_s, u"0"_s, u"0"_s, u"000A"_s};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(ope(i)->text(), opeTexts[i]) << i;
    EXPECT_EQ(background(ope(i)), kWhite) << i;
  }
  EXPECT_EQ(edit(QStringLiteral("txtEffectAddress"))->text(), u"000A");
  EXPECT_EQ(reg(0)->text(), u"000A");
  EXPECT_EQ(background(reg(0)), kYellow);
  EXPECT_EQ(background(reg(1)), kWhite);
  EXPECT_EQ(edit(QStringLiteral("txtStatus(0)"))->text(), u"1");
  EXPECT_EQ(edit(QStringLiteral("txtStatus(1)"))->text(), u"0");
  EXPECT_EQ(edit(QStringLiteral("txtStatus(2)"))->text(), u"0");
  EXPECT_EQ(edit(QStringLiteral("txtExecAddress"))->text(), u"0002");
  EXPECT_EQ(cellsMarked(kRed), (std::vector<int>{2, 3}));
  EXPECT_EQ(selectedListing(), kCompareListing[1]);
  EXPECT_EQ(form.focusWidget(), box(QStringLiteral("Text2")));

  // STOR I: the stored cell turns yellow and shows the new value.
  boxes.onBox = nullptr;
  traceOff();
  click(QStringLiteral("Command2"));
  EXPECT_EQ(cell(0x1B)->text(), u"000A");
  EXPECT_EQ(cellsMarked(kYellow), std::vector<int>{0x1B});
  EXPECT_EQ(background(reg(0)), kWhite);
  EXPECT_EQ(selectedListing(), kCompareListing[2]);
}

TEST_F(FrmAssemblerTest, EditsOfTheSourceBoxReachTheEngineWithCrLf) {
  QPlainTextEdit* source = box(QStringLiteral("Text1"));
  source->setFocus();
  QTest::keyClicks(source, QStringLiteral("     LI      7"));
  QTest::keyClick(source, Qt::Key_Return);
  QTest::keyClicks(source, QStringLiteral("     OUT     0"));
  EXPECT_EQ(form.engine().view().Text1, QStringLiteral("     LI      7\r\n     OUT     0"));
  traceOff();
  click(QStringLiteral("Command1"));
  click(QStringLiteral("Command2"));
  click(QStringLiteral("Command2"));
  EXPECT_EQ(form.engine().view().Text3, QStringLiteral("\r\n* 7"));
  // Repaints leave the cursor where the user left it.
  EXPECT_EQ(source->textCursor().position(), source->document()->characterCount() - 1);
}

TEST_F(FrmAssemblerTest, TheHandOverPutsTheCodeIntoTheSourceBox) {
  const QString code = QStringLiteral("     LOAD    A\r\n     SVC     0\r\nA    DC      3\r\n");
  form.setSourceText(code);
  EXPECT_EQ(form.engine().view().Text1, code);
  EXPECT_EQ(box(QStringLiteral("Text1"))->toPlainText(), QString(code).replace(u"\r\n"_s, u"\n"_s));

  // Handed over while the screen is closed, the code is there when it is shown again.
  form.mnuExit_Click();
  form.setSourceText(sampleRegisters());
  form.showScreen();
  EXPECT_EQ(form.engine().view().Text1, sampleRegisters());
  traceOff();
  click(QStringLiteral("Command1"));
  EXPECT_EQ(listingLines()[0], u"0000 : B010 000A  :     LI      10,1");
}

TEST_F(FrmAssemblerTest, ExitDuringAutoRunStopsItAndShowingAgainRepaintsTheKeptMachine) {
  RecordingDialogs otherBoxes;
  FrmAssembler other{&otherBoxes, &files};
  other.showScreen();
  QTest::mouseClick(control<QPushButton>(&other, QStringLiteral("Command4")), Qt::LeftButton);
  ASSERT_TRUE(other.timer().isActive());

  clickSample(1);
  QLineEdit* interval = edit(QStringLiteral("txtTimer"));
  interval->selectAll();
  QTest::keyClicks(interval, QStringLiteral("250"));
  click(QStringLiteral("Command4"));
  ASSERT_TRUE(form.timer().isActive());
  EXPECT_EQ(form.timer().interval(), 250);
  for (int i = 0; i < 2 + 3 * 3; ++i) // idle, assemble, three instructions
    form.Timer1_Timer();
  EXPECT_EQ(reg(1)->text(), u"000A");
  EXPECT_EQ(edit(QStringLiteral("txtExecAddress"))->text(), u"0006");

  form.mnuExit_Click();
  EXPECT_FALSE(form.isVisible());
  EXPECT_FALSE(form.timer().isActive());
  EXPECT_FALSE(form.engine().driver().running());
  EXPECT_TRUE(other.timer().isActive()); // the other screen runs on

  form.showScreen();
  EXPECT_TRUE(form.isVisible());
  EXPECT_FALSE(form.timer().isActive());
  EXPECT_EQ(box(QStringLiteral("Text2"))->toPlainText(), QString());
  EXPECT_EQ(box(QStringLiteral("Text3"))->toPlainText(), QString());
  EXPECT_EQ(interval->text(), u"500");
  EXPECT_EQ(edit(QStringLiteral("txtExecAddress"))->text(), u"0000");
  EXPECT_EQ(reg(0)->text(), u"0000");
  EXPECT_EQ(reg(1)->text(), u"000A");  // the kept registers
  EXPECT_EQ(cell(0)->text(), u"B010"); // and the kept program image
  EXPECT_EQ(cell(0x15)->text(), u"0000");
  EXPECT_EQ(cellsMarked(kRed), (std::vector<int>{0, 1}));
  EXPECT_EQ(find<QListWidget>(QStringLiteral("List1"))->currentRow(), -1);
}

TEST_F(FrmAssemblerTest, OpenAndSaveGoThroughTheFileMenu) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("loop.txt"));
  {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("     LI      5\n     OUT     0\n     SVC     0\n"); // written on Linux
  }
  clickSample(0);
  click(QStringLiteral("Command1"));
  files.choose(path);
  action(QStringLiteral("mnuOpen"))->trigger();
  EXPECT_EQ(form.engine().view().Text1,
            QStringLiteral("     LI      5\r\n     OUT     0\r\n     SVC     0"));
  EXPECT_EQ(box(QStringLiteral("Text1"))->blockCount(), 3);
  EXPECT_EQ(listingLines()[0], kCompareListing[0]); // unchanged until the next assembly

  const QString copy = dir.filePath(QStringLiteral("copy.txt"));
  files.choose(copy);
  action(QStringLiteral("mnuSave"))->trigger();
  QFile saved(copy);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_EQ(saved.readAll(), "     LI      5\r\n     OUT     0\r\n     SVC     0\r\n");

  // Saving again over the copy asks; No leaves it alone.
  boxes.answerConfirm(false);
  form.setSourceText(QStringLiteral("changed"));
  files.choose(copy);
  action(QStringLiteral("mnuSave"))->trigger();
  EXPECT_EQ(boxes.texts(), QStringList(u"同一ファイル名があります。上書き保存しますか。"_s));
  saved.seek(0);
  EXPECT_EQ(saved.readAll(), "     LI      5\r\n     OUT     0\r\n     SVC     0\r\n");
  EXPECT_EQ(files.shown(), QStringList({u"open"_s, u"save"_s, u"save"_s}));

  // The standard shortcuts reach the same items from anywhere in the window.
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  box(QStringLiteral("Text1"))->setFocus();
  files.choose(path);
  QTest::keySequence(box(QStringLiteral("Text1")), QKeySequence::Open);
  EXPECT_EQ(form.engine().view().Text1,
            QStringLiteral("     LI      5\r\n     OUT     0\r\n     SVC     0"));
  QTest::keySequence(box(QStringLiteral("Text2")), QKeySequence::Save);
  EXPECT_EQ(files.shown(), QStringList({u"open"_s, u"save"_s, u"save"_s, u"open"_s, u"save"_s}));
}

TEST_F(FrmAssemblerTest, HelpButtonOpensThePageOne) {
  EXPECT_EQ(form.helpPages().existing(1), nullptr); // created on first use
  click(QStringLiteral("Command6"));
  ASSERT_NE(form.helpPages().existing(1), nullptr);
  EXPECT_TRUE(form.helpPages().existing(1)->isVisible());
  EXPECT_EQ(form.helpPages().existing(1)->windowTitle(), u"マシン命令とアセンブラコード(1/3)");
  form.helpPages().existing(1)->close();
}

} // namespace
} // namespace rpn::machine
