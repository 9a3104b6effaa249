#include "common/screen_kit.h"
#include "common/settings.h"
#include "machine/frm_assembler.h"
#include "machine/help_pages.h"
#include "machine/instruction_set.h"
#include "machine_fixture.h"
#include "support/scripted_file_dialogs.h"
#include "support/widget_lookup.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QMenu>
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
  QString selectedListing() { return box(u"Text2"_s)->textCursor().selectedText(); }
  std::vector<int> cellsMarked(const QString& colour) {
    std::vector<int> marked;
    for (int k = 0; k < kMemoryCells; ++k)
      if (colourOf(cell(k)) == colour)
        marked.push_back(k);
    return marked;
  }

  void open(const QString& path) {
    files.choose(path);
    find<QAction>(u"mnuOpen"_s)->trigger();
  }
  void save(const QString& path) {
    files.choose(path);
    find<QAction>(u"mnuSave"_s)->trigger();
  }

  QTemporaryDir dir;
  Settings settings{dir.filePath(u"settings.conf"_s)}; // for the tests of the recent files
  RecordingDialogs boxes;
  ScriptedFileDialogs files;
  FrmAssembler form{&boxes, &files};
};

// Where each control sits is the zoom test's (tests/shell/zoom_test.cpp): every control scales,
// clips nothing and overlaps nothing.
TEST_F(FrmAssemblerTest, OpensWithItsSamplesTheFixedPitchFontAndTheFileMenu) {
  auto* list = find<QListWidget>(u"List1"_s);
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->item(0)->text(), u"比較の例"_s);
  EXPECT_EQ(list->item(1)->text(), u"他レジスタの使用"_s);
  EXPECT_EQ(form.windowTitle(), u"擬似アセンブラ"_s);
  // The source, the listing and the memory cells share the fixed-pitch font.
  for (const QWidget* w :
       std::initializer_list<const QWidget*>{box(u"Text1"_s), box(u"Text2"_s), cell(40)})
    EXPECT_EQ(w->font().family(), fixedPitchFont().family()) << w->objectName().toStdString();
  // The file menu, its items and shortcuts.
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

// "比較の例" through the screen: the worked listing, the marks of each phase of the first press,
// the stored cell of the second (its run to the end through the screen: rpnw_screen_test.cpp).
TEST_F(FrmAssemblerTest, CompareSampleRunsThroughTheScreenWithTheMarksOfEachPhase) {
  const QStringList listing = goldenListing(u"compare.lst"_s).split(u"\r\n"_s);
  clickSample(0);
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
  boxes.onBox = [&] { find<QCheckBox>(u"Check1"_s)->setChecked(false); };
  click(u"Command2"_s);
  EXPECT_EQ(cell(0x1B)->text(), u"000A"_s);
  EXPECT_EQ(cellsMarked(u"yellow"_s), std::vector<int>{0x1B});
  EXPECT_EQ(selectedListing(), listing[2]);
  EXPECT_EQ(boxes.texts().size(), 4);
}

TEST_F(FrmAssemblerTest, ExitDuringAutoRunStopsItAndShowingAgainRepaintsTheKeptMachine) {
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

  // Code handed over while the screen is closed is there when it shows again.
  form.setSourceText(u"     SVC     0\r\n"_s);
  form.showScreen();
  EXPECT_FALSE(form.timer().isActive());
  EXPECT_EQ(box(u"Text1"_s)->toPlainText(), u"     SVC     0\n"_s);
  EXPECT_EQ(box(u"Text2"_s)->toPlainText(), QString());
  EXPECT_EQ(box(u"Text3"_s)->toPlainText(), QString());
  EXPECT_EQ(interval->text(), u"500"_s);
  EXPECT_EQ(edit(u"txtExecAddress"_s)->text(), u"0000"_s);
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

  const QString path = dir.filePath(u"typed.txt"_s);
  save(path);
  EXPECT_EQ(rpn::test::readFile(path), "     LI      7\r\n     OUT     0\r\n");
  form.setSourceText(QString());
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  files.choose(path);
  QTest::keySequence(box(u"Text2"_s), QKeySequence::Open);
  EXPECT_EQ(source->toPlainText(), u"     LI      7\n     OUT     0"_s);
  QTest::keySequence(source, QKeySequence::Save);
  EXPECT_EQ(files.shown(), (QStringList{u"save"_s, u"open"_s, u"save"_s}));
}

// "最近使ったファイル" in the file menu: the five files opened or saved last, newest first;
// choosing one opens it as "開く" would, and a file that is gone leaves the list with a box.
class RecentFilesTest : public FrmAssemblerTest {
protected:
  RecentFilesTest() { form.setSettings(&settings); }

  QString makeSource(const QString& name) {
    return rpn::test::writeFile(dir.filePath(name),
                                "     OUT     0\r\n* " + name.toUtf8() + "\r\n");
  }
  void choose(int item) {
    find<QAction>(indexedName(u"mnuRecentFile"_s, item))->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  QMenu* menu() { return find<QMenu>(u"mnuRecent"_s); }
  // What the submenu of a screen (this one by default) shows, one line per item.
  QStringList menuItems(const QWidget* screen = nullptr) {
    QStringList items;
    for (const QAction* action : control<QMenu>(screen ? screen : &form, u"mnuRecent"_s)->actions())
      items << action->objectName() + u' ' + action->text();
    return items;
  }
  static QStringList itemsFor(const QStringList& paths) {
    QStringList items;
    for (qsizetype i = 0; i < paths.size(); ++i)
      items << indexedName(u"mnuRecentFile"_s, static_cast<int>(i)) + u" &"_s +
                   QString::number(i + 1) + u' ' +
                   QDir::toNativeSeparators(paths[i]).replace(u'&', u"&&"_s);
    return items;
  }
  QString sourceText() { return form.engine().view().Text1; }
};

// Nothing cancelled or failed is listed; the menu shows the list (kept by Settings, five at most,
// newest first: tests/shell/settings_test.cpp) with native separators and "&" doubled. Choosing
// an item opens it as "開く" would (through the path a file named on the command line takes,
// compared in tests/shell/frm_main_test.cpp); a file that is gone leaves the list with a box, and
// the source box keeps its text. The next run shows the same list.
TEST_F(RecentFilesTest, OpenAndSaveListTheirFilesAndChoosingOneOpensIt) {
  const QString existing = makeSource(u"existing.txt"_s);
  open(u""_s);                          // cancelled
  open(dir.filePath(u"missing.txt"_s)); // cannot be read: a box
  open(dir.path());                     // a folder: a box
  boxes.answerConfirm(false);           // overwrite? no
  save(existing);
  save(u""_s); // cancelled
  EXPECT_EQ(boxes.boxes().size(), 3u) << boxes.texts().join(u'\n').toStdString();
  boxes.clear();
  EXPECT_TRUE(settings.recentFiles().isEmpty());
  EXPECT_FALSE(menu()->isEnabled());
  EXPECT_TRUE(menuItems().isEmpty());
  QStringList opened;
  for (const QString& name :
       {u"a.txt"_s, u"R&D.txt"_s, u"日本語.txt"_s, u"comma, space.txt"_s, u"f.txt"_s}) {
    opened.prepend(makeSource(name));
    open(opened.first());
    EXPECT_EQ(sourceText(), u"     OUT     0\r\n* "_s + name);
  }
  const QString saved = dir.filePath(u"saved.txt"_s);
  save(saved);
  ASSERT_TRUE(QFile::exists(saved));
  const QStringList expected{saved, opened[0], opened[1], opened[2], opened[3]};
  EXPECT_EQ(settings.recentFiles(), expected);
  EXPECT_EQ(menuItems(), itemsFor(expected));
  EXPECT_TRUE(menu()->isEnabled());
  EXPECT_EQ(settings.lastFolder(), QDir(dir.path()).absolutePath());
  EXPECT_TRUE(boxes.boxes().empty()) << boxes.texts().join(u'\n').toStdString();

  choose(4);
  EXPECT_EQ(sourceText(), u"     OUT     0\r\n* R&D.txt"_s);
  ASSERT_TRUE(QFile::remove(opened[0]));
  choose(2);
  EXPECT_EQ(
      boxes.texts(),
      QStringList{fileErrorMessage(
          u"ファイルが見つかりません。最近使ったファイルの一覧から外しました。"_s, opened[0])});
  EXPECT_EQ(boxes.boxes().front().kind, RecordingDialogs::Box::Kind::Inform);
  EXPECT_EQ(sourceText(), u"     OUT     0\r\n* R&D.txt"_s);
  const QStringList left{opened[3], saved, opened[1], opened[2]};
  EXPECT_EQ(settings.recentFiles(), left);
  EXPECT_EQ(menuItems(), itemsFor(left));

  settings.sync();
  Settings next(settings.path());
  FrmAssembler again{&boxes, &files};
  again.setSettings(&next);
  EXPECT_EQ(menuItems(&again), itemsFor(left));
}

// The help pages shown at the moment, by number.
std::vector<int> openPages(const HelpPages& pages) {
  std::vector<int> open;
  for (int n = 1; n <= kHelpPageCount; ++n)
    if (pages.existing(n) && pages.existing(n)->isVisible())
      open.push_back(n);
  return open;
}

// Each page: its caption, its buttons, its text for screen readers, and a picture drawn with
// nothing run off its bottom edge. Sizes and overlaps are the zoom test's.
TEST(HelpPagesTest, EachPageHasItsCaptionButtonsAndAPictureDrawnInside) {
  HelpPages pages;
  const QStringList buttons[] = {{u"Command1 次ページ"_s},
                                 {u"Command1 次ページ"_s, u"Command2 前ページ"_s},
                                 {u"Command1 前ページ"_s}};
  for (int n = 1; n <= kHelpPageCount; ++n) {
    HelpPage& page = pages.page(n);
    EXPECT_EQ(page.objectName(), u"frmHelp%1"_s.arg(n));
    EXPECT_EQ(page.windowTitle(), u"マシン命令とアセンブラコード(%1/3)"_s.arg(n));
    const auto* image = control<QLabel>(&page, u"Image1"_s);
    EXPECT_EQ(image->accessibleDescription(), helpPageLines(n).join(u'\n'));
    QStringList shown;
    for (const QPushButton* button : page.findChildren<QPushButton*>())
      shown << button->objectName() + u' ' + button->text();
    shown.sort();
    EXPECT_EQ(shown, buttons[n - 1]);
    const QImage drawn = image->pixmap().toImage();
    int lowestInk = -1;
    qsizetype ink = 0;
    for (int y = 0; y < drawn.height(); ++y)
      for (int x = 0; x < drawn.width(); ++x)
        if (qGray(drawn.pixel(x, y)) < 128) {
          ++ink;
          lowestInk = y;
        }
    EXPECT_GT(ink, 5000);
    EXPECT_LT(lowestInk, drawn.height() - 3);
  }
}

TEST_F(FrmAssemblerTest, HelpPageButtonsLeaveOnePageOpenAndTheScreenOpensPageOneBesideThem) {
  HelpPages& pages = form.helpPages();
  click(u"Command6"_s);
  EXPECT_EQ(openPages(pages), std::vector<int>{1});
  const struct {
    int from;
    const char* button;
    int to;
  } moves[] = {{1, "Command1", 2}, {2, "Command1", 3}, {3, "Command1", 2},
               {2, "Command2", 1}, {1, "Command1", 2}, {2, "Command1", 3}};
  for (const auto& move : moves) {
    QTest::mouseClick(
        control<QPushButton>(&pages.page(move.from), QString::fromLatin1(move.button)),
        Qt::LeftButton);
    EXPECT_EQ(openPages(pages), std::vector<int>{move.to}) << move.from << " " << move.button;
  }
  // From the screen, page 1 opens beside page 3; pressing again brings it forward, still one.
  click(u"Command6"_s);
  EXPECT_EQ(openPages(pages), (std::vector<int>{1, 3}));
  click(u"Command6"_s);
  EXPECT_EQ(openPages(pages), (std::vector<int>{1, 3}));
}

// Pages 2 and 3 list the instructions, one row each: mnemonic, code in two hexadecimal digits
// ("--" for none), example and meaning, the declarations set off by a blank line; page 1 shows
// the instruction formats.
TEST(HelpPagesTest, PagesListTheFormatsAndEveryInstructionWithItsCode) {
  const QStringList two = helpPageLines(2), three = helpPageLines(3);
  ASSERT_EQ(two.size(), 2 + 21);
  ASSERT_EQ(three.size(), 2 + 10 + 1 + 2);
  EXPECT_EQ(two[0], u"ニーモニック  コード  例示  意味"_s);
  EXPECT_EQ(two[1], QString(40, u'-'));
  EXPECT_EQ(two[2], u"LOAD  A0  LOAD Label,1,2  (X2)+Labelのアドレスの内容をレジスタX1にロード"_s);
  EXPECT_EQ(two[22], u"IMPI  9C  IMPI Label,1,2  レジスタX1と(X2)+Labelの値でIMP演算"_s);
  EXPECT_EQ(three[2], u"JMP  E0  JMP Label,1,2  (X2)+Labelのアドレスにジャンプ"_s);
  EXPECT_EQ(three.mid(11, 3),
            (QStringList{
                u"SVC  01  SVC 0  スーパバイザCALL（エミュレータではプログラム終了のみサポート）"_s,
                QString(), u"DC  --  DC 5  1ワードの領域を宣言し，その値を5にする"_s}));
  // Page 1 shows the three formats with hexadecimal bit scales.
  const QStringList lines = helpPageLines(1);
  EXPECT_TRUE(lines.contains(u"Operation(0-7) | Register(8-B) | Index Register(C-F) | "
                             u"Addrress(10-1F)"_s));
  EXPECT_TRUE(lines.contains(u"Operation(0-7) | Operand(8-F)"_s));
  EXPECT_TRUE(
      lines.contains(u"Operation=&H50(0-7) | Distination Register(8-B) | Souce Register(C-F)"_s));
  EXPECT_TRUE(lines.contains(u"0 1 2 3 4 5 6 7 8 9 A B C D E F 10 11 12 13 14 15 16 17 18 19 1A "
                             u"1B 1C 1D 1E 1F"_s));
  EXPECT_EQ(lines.count(u"0 1 2 3 4 5 6 7 8 9 A B C D E F"_s), 2);
}

} // namespace
} // namespace rpn::machine
