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

  void open(const QString& path) {
    files.choose(path);
    find<QAction>(u"mnuOpen"_s)->trigger();
  }
  void save(const QString& path) {
    files.choose(path);
    find<QAction>(u"mnuSave"_s)->trigger();
  }

  QTemporaryDir dir;
  Settings settings{dir.filePath(u"settings.conf"_s)}; // handed to the screen by the tests of the
                                                       // recent files
  RecordingDialogs boxes;
  ScriptedFileDialogs files;
  FrmAssembler form{&boxes, &files};
};

TEST_F(FrmAssemblerTest, EveryControlSitsAtItsPlaceWithItsCaptionAndTheFileMenuHasItsItems) {
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
// the stored cell of the second, and the end after 80 presses.
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
// shortcut, which reaches the menu from anywhere in the window; a screen without settings lists
// no recent files.
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
  // Without settings there is no recent list.
  EXPECT_FALSE(find<QMenu>(u"mnuRecent"_s)->isEnabled());
  EXPECT_TRUE(find<QMenu>(u"mnuRecent"_s)->actions().isEmpty());
}

// "最近使ったファイル" in the file menu: the five files opened or saved last, newest first;
// choosing one opens it as "開く" would, and a file that is gone leaves the list with a box.
class RecentFilesTest : public FrmAssemblerTest {
protected:
  RecentFilesTest() { form.setSettings(&settings); }

  QString makeFile(const QString& name, const QByteArray& bytes) {
    return rpn::test::writeFile(dir.filePath(name), bytes);
  }
  QString makeSource(const QString& name) {
    return makeFile(name, "     OUT     0\r\n* " + name.toUtf8() + "\r\n");
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

// Nothing cancelled or failed is listed.
TEST_F(RecentFilesTest, FiveAtMostNewestFirstFromOpenAndSave) {
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
       {u"a.txt"_s, u"b.txt"_s, u"R&D.txt"_s, u"日本語.txt"_s, u"comma, space.txt"_s, u"f.txt"_s}) {
    opened.prepend(makeSource(name));
    open(opened.first());
    EXPECT_EQ(sourceText(), u"     OUT     0\r\n* "_s + name);
  }
  const QString saved = dir.filePath(u"saved.txt"_s);
  save(saved);
  ASSERT_TRUE(QFile::exists(saved));
  QStringList expected{saved, opened[0], opened[1], opened[2], opened[3]};
  EXPECT_EQ(settings.recentFiles(), expected);
  EXPECT_EQ(menuItems(), itemsFor(expected));
  EXPECT_TRUE(menu()->isEnabled());

  open(opened[2]); // already listed: to the top, once
  expected = QStringList{opened[2], saved, opened[0], opened[1], opened[3]};
  EXPECT_EQ(settings.recentFiles(), expected);
  EXPECT_EQ(menuItems(), itemsFor(expected));
  EXPECT_EQ(settings.lastFolder(), QDir(dir.path()).absolutePath());
  EXPECT_TRUE(boxes.boxes().empty()) << boxes.texts().join(u'\n').toStdString();

  // The next run has the same list.
  settings.sync();
  Settings next(settings.path());
  FrmAssembler again{&boxes, &files};
  again.setSettings(&next);
  EXPECT_EQ(menuItems(&again), itemsFor(expected));
}

// A file that is gone leaves the list with a box (choosing one that is there: the next test).
TEST_F(RecentFilesTest, AFileThatIsGoneLeavesTheListWithABox) {
  const QString a = makeSource(u"a.txt"_s);
  const QString b = makeSource(u"b.txt"_s);
  const QString c = makeSource(u"c.txt"_s);
  for (const QString& path : {a, b, c})
    open(path);
  EXPECT_TRUE(boxes.boxes().empty());
  ASSERT_TRUE(QFile::remove(b));
  choose(1);
  EXPECT_EQ(boxes.texts(),
            QStringList{fileErrorMessage(
                u"ファイルが見つかりません。最近使ったファイルの一覧から外しました。"_s, b)});
  EXPECT_EQ(boxes.boxes().front().kind, RecordingDialogs::Box::Kind::Inform);
  EXPECT_EQ(sourceText(), u"     OUT     0\r\n* c.txt"_s); // the source box keeps its text
  EXPECT_EQ(settings.recentFiles(), (QStringList{c, a}));
  EXPECT_EQ(menuItems(), itemsFor({c, a}));

  ASSERT_TRUE(QFile::remove(a));
  ASSERT_TRUE(QFile::remove(c));
  choose(1);
  choose(0);
  EXPECT_EQ(boxes.texts().size(), 3);
  EXPECT_TRUE(settings.recentFiles().isEmpty());
  EXPECT_TRUE(menuItems().isEmpty());
  EXPECT_FALSE(menu()->isEnabled());
}

// A recent file is read exactly as "開く" reads it: the same text, the same boxes.
TEST_F(RecentFilesTest, OpensEveryFileAsTheOpenCommandWould) {
  const struct {
    const char* what;
    QByteArray bytes;
  } cases[] = {
      {"Shift_JIS", QByteArray("     OUT     0 \x93\xfa\x96\x7b\r\n")},
      {"UTF-8", QByteArray("     OUT     0 \xe6\x97\xa5\xe6\x9c\xac\n")},
      {"damaged bytes", QByteArray("     OUT     0 \x81\x20\xff\xfe\r\n")},
      {"empty", QByteArray()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const QString path = makeFile(QString::fromLatin1(c.what) + u".txt"_s, c.bytes);
    form.setSourceText(u"before"_s);
    boxes.clear();
    open(path);
    const QStringList openBoxes = boxes.texts();
    const QString openText = sourceText();

    const QString other = makeSource(u"other.txt"_s);
    open(other); // puts the file under test second in the list
    form.setSourceText(u"before"_s);
    boxes.clear();
    ASSERT_EQ(settings.recentFiles().indexOf(path), 1);
    choose(1);
    EXPECT_EQ(boxes.texts(), openBoxes);
    EXPECT_EQ(sourceText(), openText);
    EXPECT_EQ(settings.recentFiles().first(), path);
  }
}

// The help pages shown at the moment, by number.
std::vector<int> openPages(const HelpPages& pages) {
  std::vector<int> open;
  for (int n = 1; n <= kHelpPageCount; ++n)
    if (pages.existing(n) && pages.existing(n)->isVisible())
      open.push_back(n);
  return open;
}

// Records which pages are open when the watched page is shown.
class ShowWatcher final : public QObject {
public:
  explicit ShowWatcher(const HelpPages& pages) : m_pages(pages) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show)
      openWhenShown = openPages(m_pages);
    return QObject::eventFilter(watched, event);
  }
  std::vector<int> openWhenShown;

private:
  const HelpPages& m_pages;
};

TEST(HelpPagesTest, EachPageHasItsCaptionPictureAndButtonsBelowIt) {
  HelpPages pages;
  const QSize pictures[] = {{644, 498}, {672, 426}, {754, 306}};
  const QStringList buttons[] = {{u"Command1 次ページ"_s},
                                 {u"Command1 次ページ"_s, u"Command2 前ページ"_s},
                                 {u"Command1 前ページ"_s}};
  for (int n = 1; n <= kHelpPageCount; ++n) {
    const QSize picture = pictures[n - 1];
    HelpPage& page = pages.page(n);
    EXPECT_EQ(page.objectName(), u"frmHelp%1"_s.arg(n));
    EXPECT_EQ(page.windowTitle(), u"マシン命令とアセンブラコード(%1/3)"_s.arg(n));
    const auto* image = control<QLabel>(&page, u"Image1"_s);
    EXPECT_EQ(image->geometry(), QRect(QPoint(0, 0), picture));
    EXPECT_EQ(image->pixmap().deviceIndependentSize().toSize(), picture);
    EXPECT_EQ(image->accessibleDescription(), helpPageLines(n).join(u'\n'));
    QStringList shown;
    for (const QPushButton* button : page.findChildren<QPushButton*>()) {
      shown << button->objectName() + u' ' + button->text();
      EXPECT_GE(button->y(), picture.height());
      EXPECT_TRUE(page.rect().contains(button->geometry()));
    }
    shown.sort();
    EXPECT_EQ(shown, buttons[n - 1]);
    // The picture is drawn, and nothing runs off its bottom edge.
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
    // At the moment the target page shows, the page that was left is already gone.
    ShowWatcher watcher(pages);
    pages.page(move.to).installEventFilter(&watcher);
    QTest::mouseClick(
        control<QPushButton>(&pages.page(move.from), QString::fromLatin1(move.button)),
        Qt::LeftButton);
    pages.page(move.to).removeEventFilter(&watcher);
    EXPECT_EQ(watcher.openWhenShown, std::vector<int>{move.to}) << move.from << " " << move.button;
    EXPECT_EQ(openPages(pages), std::vector<int>{move.to}) << move.from << " " << move.button;
  }
  // From the screen, page 1 opens beside page 3; pressing again brings it forward, still one.
  click(u"Command6"_s);
  EXPECT_EQ(openPages(pages), (std::vector<int>{1, 3}));
  click(u"Command6"_s);
  EXPECT_EQ(openPages(pages), (std::vector<int>{1, 3}));
  for (int n : {1, 3})
    pages.page(n).close();
}

// The rows of pages 2 and 3 are the table's rows in its order, the declarations set off by a
// blank line: mnemonic, code in two hexadecimal digits ("--" for none), example and meaning;
// page 1 shows the instruction formats.
TEST(HelpPagesTest, PagesListTheFormatsAndEveryInstructionWithItsCode) {
  const auto text = [](std::u16string_view view) {
    return QString::fromUtf16(view.data(), static_cast<qsizetype>(view.size()));
  };
  QStringList rows[2];
  for (const Instruction& instruction : kInstructionSet) {
    QStringList& page = rows[instruction.helpPage - 2];
    const bool declaration = instruction.code < 0;
    if (declaration && !page.contains(QString()))
      page << QString();
    const QString code = declaration ? u"--"_s : QString::number(instruction.code, 16).toUpper();
    page << QStringList{mnemonicText(instruction).toString(), code.rightJustified(2, u'0'),
                        text(instruction.example), text(instruction.meaning)}
                .join(u"  "_s);
  }
  EXPECT_EQ(rows[0].size(), 21);
  for (int page : {2, 3}) {
    const QStringList lines = helpPageLines(page);
    ASSERT_GT(lines.size(), 2);
    EXPECT_EQ(lines[0], u"ニーモニック  コード  例示  意味"_s);
    EXPECT_TRUE(lines[1].startsWith(u"-----"_s));
    EXPECT_EQ(lines.mid(2), rows[page - 2]);
  }
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
  EXPECT_TRUE(helpIntroduction().contains(u"0とみなします"));
}

} // namespace
} // namespace rpn::machine
