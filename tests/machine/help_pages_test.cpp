#include "machine/frm_assembler.h"
#include "machine/help_pages.h"
#include "machine/instruction_set.h"
#include "support/recording_dialogs.h"
#include "support/widget_lookup.h"

#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

namespace rpn::machine {
namespace {

using rpn::test::control;
using namespace Qt::StringLiterals;

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

void press(HelpPage& page, const QString& button) {
  QTest::mouseClick(control<QPushButton>(&page, button), Qt::LeftButton);
}

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

TEST(HelpPagesTest, PageButtonsLeaveOnePageOpenAndTheScreenOpensPageOneBesideThem) {
  test::RecordingDialogs boxes;
  FrmAssembler form{&boxes};
  form.showScreen();
  HelpPages& pages = form.helpPages();
  const auto pressHelp = [&] {
    QTest::mouseClick(control<QPushButton>(&form, u"Command6"_s), Qt::LeftButton);
  };
  pressHelp();
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
    press(pages.page(move.from), QString::fromLatin1(move.button));
    pages.page(move.to).removeEventFilter(&watcher);
    EXPECT_EQ(watcher.openWhenShown, std::vector<int>{move.to}) << move.from << " " << move.button;
    EXPECT_EQ(openPages(pages), std::vector<int>{move.to}) << move.from << " " << move.button;
  }
  // From the screen, page 1 opens beside page 3; pressing again brings it forward, still one.
  pressHelp();
  EXPECT_EQ(openPages(pages), (std::vector<int>{1, 3}));
  pressHelp();
  EXPECT_EQ(openPages(pages), (std::vector<int>{1, 3}));
  for (int n : {1, 3})
    pages.page(n).close();
}

// The rows of pages 2 and 3 are the table's rows in its order, the declarations set off by a
// blank line: mnemonic, code in two hexadecimal digits ("--" for none), example and meaning.
TEST(HelpPagesTest, PagesTwoAndThreeListEveryInstructionWithItsCode) {
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
}

TEST(HelpPagesTest, PageOneShowsTheThreeFormatsWithHexadecimalBitScales) {
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
