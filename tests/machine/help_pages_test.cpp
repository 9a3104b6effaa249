#include "common/screen_kit.h"
#include "machine/frm_assembler.h"
#include "machine/help_pages.h"
#include "machine/instruction_set.h"
#include "support/recording_dialogs.h"
#include "support/widget_lookup.h"

#include <QApplication>
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

TEST(HelpPagesTest, EachPageHasItsCaptionPictureAndButtons) {
  HelpPages pages;
  const struct {
    int page;
    QSize picture;
    std::vector<std::tuple<const char*, const char16_t*, int>> buttons; // name, caption, left
  } expected[] = {
      {1, {644, 498}, {{"Command1", u"次ページ", 6600}}},
      {2, {672, 426}, {{"Command2", u"前ページ", 6000}, {"Command1", u"次ページ", 7440}}},
      {3, {754, 306}, {{"Command1", u"前ページ", 8640}}},
  };
  for (const auto& e : expected) {
    HelpPage& page = pages.page(e.page);
    EXPECT_EQ(page.objectName(), u"frmHelp%1"_s.arg(e.page));
    EXPECT_EQ(page.windowTitle(), u"マシン命令とアセンブラコード(%1/3)"_s.arg(e.page));
    const auto* image = control<QLabel>(&page, u"Image1"_s);
    EXPECT_EQ(image->pixmap().deviceIndependentSize().toSize(), e.picture);
    EXPECT_EQ(image->geometry(), QRect(QPoint(0, 0), e.picture));
    EXPECT_EQ(image->accessibleDescription(), helpPageLines(e.page).join(u'\n'));
    EXPECT_EQ(page.findChildren<QPushButton*>().size(), qsizetype(e.buttons.size()));
    for (const auto& [name, caption, left] : e.buttons) {
      const auto* button = control<QPushButton>(&page, QString::fromLatin1(name));
      EXPECT_EQ(button->text(), QString::fromUtf16(caption)) << name;
      EXPECT_EQ(button->x(), twips(left)) << name;
      // Below the picture, inside the window.
      EXPECT_GE(button->y(), e.picture.height()) << name;
      EXPECT_TRUE(page.rect().contains(button->geometry())) << name;
    }
  }
}

TEST(HelpPagesTest, MovingForwardAndBackLeavesExactlyOnePageOpen) {
  HelpPages pages;
  pages.show(1);
  EXPECT_EQ(openPages(pages), std::vector<int>{1});
  const struct {
    int from;
    const char* button;
    int to;
  } moves[] = {{1, "Command1", 2}, {2, "Command1", 3}, {3, "Command1", 2}, {2, "Command2", 1}};
  for (const auto& move : moves) {
    // At the moment the target page shows, the page that was left is already gone.
    ShowWatcher watcher(pages);
    pages.page(move.to).installEventFilter(&watcher);
    press(pages.page(move.from), QString::fromLatin1(move.button));
    pages.page(move.to).removeEventFilter(&watcher);
    EXPECT_EQ(watcher.openWhenShown, std::vector<int>{move.to}) << move.from << " " << move.button;
    EXPECT_EQ(openPages(pages), std::vector<int>{move.to}) << move.from << " " << move.button;
  }
  pages.page(1).close();
  EXPECT_TRUE(openPages(pages).empty());
}

TEST(HelpPagesTest, TheScreenOpensPageOneBesideAnOpenPageThree) {
  test::RecordingDialogs boxes;
  FrmAssembler form{&boxes};
  form.showScreen();
  QTest::mouseClick(control<QPushButton>(&form, u"Command6"_s), Qt::LeftButton);
  HelpPages& pages = form.helpPages();
  press(pages.page(1), u"Command1"_s);
  press(pages.page(2), u"Command1"_s);
  EXPECT_EQ(openPages(pages), std::vector<int>{3});
  QTest::mouseClick(control<QPushButton>(&form, u"Command6"_s), Qt::LeftButton);
  EXPECT_EQ(openPages(pages), (std::vector<int>{1, 3}));
  // Pressing it again brings the open page 1 forward; there is still one of it.
  QTest::mouseClick(control<QPushButton>(&form, u"Command6"_s), Qt::LeftButton);
  EXPECT_EQ(openPages(pages), (std::vector<int>{1, 3}));
  for (int n : {1, 3})
    pages.page(n).close();
}

TEST(HelpPagesTest, EveryInstructionIsListedOnItsPageWithItsCode) {
  const QStringList page2 = helpPageLines(2);
  const QStringList page3 = helpPageLines(3);
  for (const Instruction& instruction : kInstructionSet) {
    const QString mnemonic = mnemonicText(instruction).toString();
    const QString code = instruction.code < 0 ? u"--"_s : hexDigits(instruction.code, 2);
    const QList<HelpRow> rows = helpRows(instruction.helpPage);
    const auto row = std::find_if(rows.begin(), rows.end(),
                                  [&](const HelpRow& r) { return r.mnemonic == mnemonic; });
    ASSERT_NE(row, rows.end()) << mnemonic.toStdString();
    EXPECT_EQ(row->code, code) << mnemonic.toStdString();
    EXPECT_TRUE(row->example.startsWith(mnemonic + u' ')) << mnemonic.toStdString();
    const QStringList& lines = instruction.helpPage == 2 ? page2 : page3;
    EXPECT_TRUE(
        lines.contains(QStringList{mnemonic, code, row->example, row->meaning}.join(u"  "_s)))
        << mnemonic.toStdString();
  }
  EXPECT_EQ(helpRows(2).size(), 21);
  EXPECT_EQ(helpRows(3).size(), 12);
  EXPECT_EQ(helpRows(2).front().code, u"A0");
  EXPECT_EQ(helpRows(2).back().mnemonic, u"IMPI");
  EXPECT_EQ(helpRows(3)[9].meaning,
            u"スーパバイザCALL（エミュレータではプログラム終了のみサポート）");
  EXPECT_EQ(helpRows(3)[10].example, u"DC 5");
}

TEST(HelpPagesTest, TablesHaveTheirHeadsRuleAndTheBlankBeforeTheDeclarations) {
  for (int page : {2, 3}) {
    const QStringList lines = helpPageLines(page);
    EXPECT_EQ(lines[0], u"ニーモニック  コード  例示  意味");
    EXPECT_TRUE(lines[1].startsWith(u"-----"));
  }
  const QStringList page3 = helpPageLines(3);
  const qsizetype blank = page3.indexOf(QString());
  ASSERT_GT(blank, 0);
  EXPECT_TRUE(page3[blank - 1].startsWith(u"SVC  01  SVC 0  "));
  EXPECT_TRUE(page3[blank + 1].startsWith(u"DC  --  DC 5  "));
  EXPECT_EQ(helpPageLines(2).indexOf(QString()), -1);
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
  // Every diagram covers its word without gaps or overlaps.
  for (const FormatDiagram& diagram : instructionFormats()) {
    int next = 0;
    for (const FormatField& field : diagram.fields) {
      EXPECT_EQ(field.firstBit, next) << field.caption.toStdString();
      next = field.lastBit + 1;
    }
    EXPECT_EQ(next, diagram.bits) << diagram.title.toStdString();
  }
  EXPECT_TRUE(helpIntroduction().contains(u"0とみなします"));
  EXPECT_TRUE(instructionFormats()[0].note.contains(u"Index Register"));
}

TEST(HelpPagesTest, PicturesAreDrawnAndFitTheirSize) {
  for (int page = 1; page <= kHelpPageCount; ++page) {
    const QImage image = drawHelpPicture(page).toImage();
    ASSERT_EQ(image.size(), helpPictureSize(page));
    int lowestInk = -1;
    qsizetype ink = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        if (qGray(image.pixel(x, y)) < 128) {
          ++ink;
          lowestInk = y;
        }
    EXPECT_GT(ink, 5000) << page;
    // Nothing runs off the bottom edge.
    EXPECT_LT(lowestInk, image.height() - 3) << page;
  }
}

} // namespace
} // namespace rpn::machine
