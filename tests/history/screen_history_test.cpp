// Going back and forth through the moves of every screen, one harness for the four: random
// inputs, random runs (presses in and out of trace mode, auto-run ticks, "1つ進む" at the newest
// state), then every way back and forward compared with the states seen after each move, whole.
#include "common/csv.h"
#include "conversion/form1.h"
#include "execution/form2.h"
#include "machine/frm_assembler.h"
#include "support/screen_fixture.h"
#include "translation/frm_compile.h"

#include <QPlainTextEdit>
#include <QShortcut>
#include <QTemporaryDir>
#include <iostream>
#include <random>
#include <vector>

namespace rpn::test {
namespace {

using namespace Qt::StringLiterals;

// Random text over an alphabet, 1..maxLength characters.
QString randomText(std::mt19937& random, QStringView alphabet, int maxLength) {
  std::uniform_int_distribution<int> length(1, maxLength);
  std::uniform_int_distribution<qsizetype> pick(0, alphabet.size() - 1);
  QString text;
  for (int n = length(random); n > 0; --n)
    text += alphabet[pick(random)];
  return text;
}

// A random infix expression over A..F: terms joined by + - * /, some in brackets, some negated.
QString randomInfix(std::mt19937& random, int depth = 0) {
  std::uniform_int_distribution<int> die(0, 5);
  QString text;
  for (int terms = 1 + die(random) % 3; terms > 0; --terms) {
    if (!text.isEmpty())
      text += u"+-*/"_s[die(random) % 4];
    else if (die(random) == 0)
      text += u'-';
    text += depth < 2 && die(random) == 0 ? u'(' + randomInfix(random, depth + 1) + u')'
                                          : QString(QChar(u'A' + die(random)));
  }
  return text;
}

// What the harness needs of a screen: its run button, the button that starts auto-run, the
// interval box, the press that prepares a run (if any) and a random input put in as the user would.
struct ExpressionScreen {
  static constexpr auto run = u"Command1", start = u"Command3", interval = u"Text3";
  static constexpr const char16_t* prepare = nullptr;
};
struct ConversionCase : ExpressionScreen {
  using Screen = conversion::Form1;
  static void input(ScreenFixture<Screen>& f, std::mt19937& random) {
    f.type(u"Text1"_s, randomInfix(random));
  }
};
struct ExecutionCase : ExpressionScreen {
  using Screen = execution::Form2;
  static void input(ScreenFixture<Screen>& f, std::mt19937& random) {
    f.type(u"Text1"_s, u"X"_s + randomText(random, u"ABCDEF+-*/", 10) + u"="_s);
    f.type(u"txtName(2)"_s, QString::number(std::uniform_int_distribution(-9, 9)(random)));
  }
};
struct TranslationCase : ExpressionScreen {
  using Screen = translation::FrmCompile;
  static void input(ScreenFixture<Screen>& f, std::mt19937& random) {
    f.type(u"Text1"_s, u"X"_s + randomText(random, u"ABCDEF+-*/", 10) + u"="_s);
  }
};
struct MachineCase {
  using Screen = machine::FrmAssembler;
  static constexpr auto run = u"Command2", start = u"Command4", interval = u"txtTimer";
  static constexpr const char16_t* prepare = u"Command1"; // the run begins with its assembly
  // A loop that adds n down to 1 and prints the sum.
  static void input(ScreenFixture<Screen>& f, std::mt19937& random) {
    const int n = std::uniform_int_distribution(1, 6)(random);
    f.template get<QPlainTextEdit>(u"Text1"_s)
        ->setPlainText(
            u"     LI      %1\n     LI      0,1\nLOOP ADDR    1,0\n     SUBI    1\n"
            "     JPL     LOOP\n     MOVR    0,1\n     OUT     0\n     SVC     0\n"_s.arg(n));
  }
};

template <class Case> class ScreenHistoryTest : public ScreenFixture<typename Case::Screen> {
protected:
  using Screen = typename Case::Screen;
  using State = typename Screen::State;

  ScreenHistoryTest() {
    this->type(QString::fromUtf16(Case::interval), u"60000"_s); // the real timer never fires
    // Every state a move leaves, at the boxes of a traced press too.
    this->boxes.onBox = [this] {
      if (this->form.engine().view().Check1)
        seen();
    };
  }

  static State stopped(State state) {
    state.clock.interval = 0;
    return state;
  }
  // The state as the history compares it: whatever the interval and trace mode.
  static State settled(State state) {
    std::get<0>(runControls(state)) = false;
    return stopped(state);
  }
  // A state the screen shows after a move: a new one unless only the interval or trace mode
  // changed (the interval box keeps its text through a test).
  void seen() {
    const State now = this->form.engine().state();
    if (states.empty() || !(settled(states.back()) == settled(now)))
      states.push_back(now);
  }
  // A new random input and the press that prepares a run; states[0] is the state after the input.
  void newInput(std::mt19937& random) {
    const State before = this->form.engine().state();
    Case::input(*this, random);
    // An input that changes nothing (the same text again) goes on with the history as it is.
    if (states.empty() || !(settled(before) == settled(this->form.engine().state())))
      states.assign(1, this->form.engine().state());
    if (Case::prepare)
      press(Case::prepare);
  }
  void tick() {
    QMetaObject::invokeMethod(const_cast<QTimer*>(&this->form.timer()), "timeout");
    this->form.refresh(); // the paint that would come with the next display frame
    seen();
  }
  void press(const char16_t* name) {
    this->click(QString::fromUtf16(name));
    seen();
  }
  // A new random input, then `moves` random moves.
  void randomRun(std::mt19937& random, int moves) {
    newInput(random);
    std::uniform_int_distribution<int> kind(0, 9);
    for (int m = 0; m < moves; ++m) {
      switch (kind(random)) {
      case 0:
        this->traceOff();
        press(Case::run);
        break;
      case 1:
        this->template get<QCheckBox>(u"Check1"_s)->setChecked(true);
        press(Case::run);
        break;
      case 2:
        press(Case::start);
        break;
      case 3:
        this->form.stepForward(); // at the newest state: the screen's next move
        seen();
        break;
      default:
        tick();
        break;
      }
    }
    this->traceOff(); // a run control: kept as it is when going back, so states compare whole
    for (State& state : states)
      std::get<0>(runControls(state)) = false;
  }
  const State& now() const { return this->form.engine().state(); }

  std::vector<State> states;
};

using Cases = ::testing::Types<ConversionCase, ExecutionCase, TranslationCase, MachineCase>;
TYPED_TEST_SUITE(ScreenHistoryTest, Cases);

// The field lists are complete: the states of 3,000 auto-run ticks come back from the history's
// keyframes and deltas equal to the states recorded, every field of them; and a move costs so
// little that 100,000 of them fit in 64 MB.
TYPED_TEST(ScreenHistoryTest, TheHistoryRebuildsEveryStateOfAnAutoRunWithinItsMemory) {
  std::mt19937 random(7);
  this->newInput(random);
  this->press(TypeParam::start);
  for (int t = 0; t < 3000; ++t)
    this->tick();
  const auto& history = this->form.history();
  ASSERT_EQ(history.size(), static_cast<qsizetype>(this->states.size()));
  ASSERT_GT(history.size(), 60);
  history.forEach([&](qsizetype i, const auto& state) {
    EXPECT_TRUE(state == this->states[static_cast<std::size_t>(i)]) << "state " << i;
  });
  const double perMove = static_cast<double>(history.bytes()) / static_cast<double>(history.size());
  std::cout << this->form.objectName().toStdString() << ": " << history.size() << " states, "
            << history.bytes() << " bytes, " << perMove << " bytes per move\n";
  EXPECT_LT(perMove, 64.0 * (1 << 20) / 100'000);
}

// After N moves, k moves back give the state seen after N - k (auto-run stopped), k moves
// forward the state after N again; every k, from random runs on random inputs.
TYPED_TEST(ScreenHistoryTest, BackAndForthGiveTheStatesSeenAfterEachMove) {
  std::mt19937 random(2026);
  for (int run = 0; run < 6; ++run) {
    this->randomRun(random, 40);
    const auto& seen = this->states;
    const auto n = static_cast<int>(seen.size()) - 1;
    ASSERT_EQ(this->form.history().size(), n + 1) << "run " << run;
    const int k = std::uniform_int_distribution(1, n)(random);
    for (int back = 1; back <= k; ++back) {
      ASSERT_TRUE(this->form.stepBack());
      ASSERT_TRUE(this->now() == this->stopped(seen[static_cast<std::size_t>(n - back)]))
          << "run " << run << ", " << back << " back of " << n;
      ASSERT_FALSE(this->form.timer().isActive());
    }
    for (int forward = 1; forward <= k; ++forward) {
      this->form.stepForward();
      ASSERT_TRUE(this->now() == this->stopped(seen[static_cast<std::size_t>(n - k + forward)]))
          << "run " << run << ", " << forward << " forward from " << n - k;
    }
    EXPECT_TRUE(this->form.history().canBack());
    EXPECT_FALSE(this->form.history().canForward());
  }
}

// A move made after going back drops the moves ahead, and going back undoes a one-press run (that
// back stops auto-run and gives the state seen one move before: the walk above).
TYPED_TEST(ScreenHistoryTest, AMoveAfterGoingBackDropsTheMovesAhead) {
  std::mt19937 random(11);
  this->newInput(random);
  this->press(TypeParam::start);
  for (int t = 0; t < 12; ++t)
    this->tick();
  const auto ticked = this->form.history().size();
  this->template get<QPushButton>(u"cmdBack"_s)->click();
  this->traceOff();
  const auto beforePress = this->now();
  this->press(TypeParam::run);
  ASSERT_EQ(this->form.history().size(), ticked); // the press replaced the tick gone back over
  ASSERT_FALSE(this->form.history().canForward());
  this->form.stepBack();
  EXPECT_TRUE(this->now() == beforePress);

  // A traced press: while its box is open, going back or forth waits for the press to end.
  this->template get<QCheckBox>(u"Check1"_s)->setChecked(true);
  const auto kept = this->form.history().cursor() + 1;
  int boxesOpened = 0;
  this->boxes.onBox = [&] {
    ++boxesOpened;
    const auto shown = this->now();
    EXPECT_FALSE(this->form.stepBack());
    this->form.stepForward();
    EXPECT_TRUE(this->now() == shown);
  };
  this->click(QString::fromUtf16(TypeParam::run));
  EXPECT_GT(boxesOpened, 0);
  EXPECT_GT(this->form.history().size(), kept);
}

// The keys of the window and the buttons go back and forth; the run controls are settings, not
// moves: going back keeps them as the user left them; an edit of an input starts a new history
// from the edited state. The buttons lie where nothing else of the screen lies.
TYPED_TEST(ScreenHistoryTest, KeysButtonsRunControlsAndEdits) {
  std::mt19937 random(3);
  this->randomRun(random, 15);
  const auto newest = this->now();
  // Ctrl+Z and Ctrl+Y are the window's; Alt+Left and Alt+Right the buttons' own.
  const auto keys = [this](const QKeySequence& sequence) {
    for (QShortcut* shortcut : this->form.template findChildren<QShortcut*>())
      if (shortcut->key() == sequence)
        emit shortcut->activated();
  };
  auto* back = this->template get<QPushButton>(u"cmdBack"_s);
  auto* forward = this->template get<QPushButton>(u"cmdForward"_s);
  EXPECT_EQ(back->shortcut(), QKeySequence(Qt::ALT | Qt::Key_Left));
  EXPECT_EQ(forward->shortcut(), QKeySequence(Qt::ALT | Qt::Key_Right));
  EXPECT_TRUE(back->isEnabled());
  const auto cursor = this->form.history().cursor();
  ASSERT_GE(cursor, 3);
  keys(QKeySequence(Qt::CTRL | Qt::Key_Z));
  back->click();
  EXPECT_EQ(this->form.history().cursor(), cursor - 2);
  forward->click();
  keys(QKeySequence(Qt::CTRL | Qt::Key_Y));
  EXPECT_TRUE(this->now() == this->stopped(newest));

  this->type(QString::fromUtf16(TypeParam::interval), u"50000"_s);
  this->template get<QCheckBox>(u"Check1"_s)->setChecked(true);
  ASSERT_TRUE(this->form.stepBack());
  EXPECT_TRUE(this->now().view.Check1);
  EXPECT_EQ(std::get<1>(runControls(this->now())), u"50000"_s);

  TypeParam::input(*this, random);
  const auto edited = this->now();
  this->form.refresh();
  EXPECT_FALSE(this->form.canStepBack());
  EXPECT_FALSE(back->isEnabled());
  EXPECT_FALSE(this->form.stepBack());
  EXPECT_TRUE(this->now() == edited);

  for (const auto* name : {u"cmdBack", u"cmdForward", u"cmdSaveTrace"}) {
    const auto* button = this->template get<QPushButton>(QString::fromUtf16(name));
    for (const QObject* child : button->parentWidget()->children()) {
      const auto* other = qobject_cast<const QWidget*>(child);
      if (other && other != button && !other->isWindow() && other->isVisible()) {
        EXPECT_FALSE(other->geometry().intersects(button->geometry()))
            << other->objectName().toStdString() << " under " << button->objectName().toStdString();
      }
    }
  }
}

// Every screen saves its moves as a table: a header of its own columns, a row per state kept.
TYPED_TEST(ScreenHistoryTest, TheSavedTraceHasARowPerStateKept) {
  std::mt19937 random(9);
  this->randomRun(random, 25);
  QTemporaryDir folder;
  const QString path = folder.filePath(u"trace.csv"_s);
  this->form.setTracePathChooser([&] { return path; });
  QTest::keyClick(this->template get<QPushButton>(u"cmdSaveTrace"_s), Qt::Key_Return);
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const std::optional<std::vector<QStringList>> rows = parseCsv(file.readAll());
  ASSERT_TRUE(rows);
  ASSERT_EQ(rows->size(), this->states.size() + 1);
  EXPECT_EQ(rows->front().mid(0, 2), (QStringList{u"手順"_s, u"フェーズ"_s}));
  for (std::size_t i = 0; i < this->states.size(); ++i) // the screen's own columns: the next test
    EXPECT_EQ((*rows)[i + 1].mid(0, 2),
              QStringList({QString::number(i), QString::number(this->states[i].clock.phase)}));
  EXPECT_TRUE(this->boxes.texts().filter(u"トレース"_s).isEmpty());

  // A cancelled dialog writes nothing; a place that cannot be written is explained in a box.
  this->form.setTracePathChooser([] { return QString(); });
  EXPECT_FALSE(this->form.saveTrace());
  this->form.setTracePathChooser([&] { return folder.path(); });
  EXPECT_FALSE(this->form.saveTrace());
  EXPECT_TRUE(this->boxes.texts().last().startsWith(u"トレースを保存できませんでした: "_s));
}

class ConversionTraceTest : public ScreenFixture<conversion::Form1> {};

// The conversion example traced, saved and read back: each row one move, the input read from the
// front, the output growing to ABC*DE-/+F-, the operator stack as it stood.
TEST_F(ConversionTraceTest, TheTracedExampleSavesItsMovesAsRows) {
  click(u"Command1"_s);
  QTemporaryDir folder;
  const QString path = folder.filePath(u"変換.csv"_s);
  form.setTracePathChooser([&] { return path; });
  ASSERT_TRUE(form.saveTrace());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF\xE6\x89\x8B\xE9\xA0\x86,")); // BOM, "手順"
  const std::optional<std::vector<QStringList>> rows = parseCsv(bytes);
  ASSERT_TRUE(rows);
  ASSERT_EQ(rows->front(), QStringList({u"手順"_s, u"フェーズ"_s, u"説明"_s, u"入力の残り"_s,
                                        u"出力"_s, u"スタック"_s}));
  ASSERT_EQ(rows->size(), static_cast<std::size_t>(form.history().size()) + 1);
  ASSERT_GT(rows->size(), 20u);
  // Each of input, output and stack as it changes from row to row: a character read at a time,
  // a character written at a time.
  QStringList changes[3], read, written;
  for (std::size_t i = 1; i < rows->size(); ++i) {
    const QStringList& row = (*rows)[i];
    ASSERT_EQ(row.size(), 6) << "row " << i;
    EXPECT_EQ(row[0], QString::number(i - 1));
    for (int f = 0; f < 3; ++f)
      if (changes[f].isEmpty() || changes[f].last() != row[3 + f])
        changes[f] << row[3 + f];
  }
  const QString expression = u"A+B*C/(D-E)-F"_s, output = u"ABC*DE-/+F-"_s;
  for (qsizetype k = 0; k <= expression.size(); ++k)
    read << expression.mid(k);
  for (qsizetype k = 0; k <= output.size(); ++k)
    written << output.left(k);
  EXPECT_EQ(changes[0], read);
  EXPECT_EQ(changes[1], written);
  EXPECT_EQ(changes[2].join(u'|'), u"|+|+ *|+|+ /|+ / (|+ / ( -|+ / (|+ /|+||-|"_s);
}

} // namespace
} // namespace rpn::test
