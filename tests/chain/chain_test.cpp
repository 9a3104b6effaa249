// One expression through the whole workbench: converted, executed, translated (optimised and not)
// and the hand-off run on the pseudo machine. Every stage must agree with the value the expression
// was built to have, and every variable must end as the expression says.
#include "conversion/conversion_engine.h"
#include "execution/execution_engine.h"
#include "support/recording_dialogs.h"
#include "support/rpnw_call.h"
#include "translation/translation_engine.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>
#include <algorithm>
#include <gtest/gtest.h>
#include <optional>
#include <random>

namespace rpn {
namespace {

using namespace Qt::StringLiterals;
using test::RecordingDialogs;
using Values = QMap<QString, long long>;

// What the machine holds at the end of a hand-off: the word of every program variable the
// hand-off declares, and the word of the name the translation left on its stack.
struct MachineRun {
  Values variables;
  std::optional<long long> result; // nothing when the program does not declare it
};

// Translates each press in turn, optimising after each when asked (three boxes), hands the code
// off with the DC value of each variable in values and runs it to its end on the pseudo machine.
// No other box anywhere; nothing when the hand-off is refused or the program does not end.
std::optional<MachineRun> translateAndRun(const QStringList& presses, bool optimised,
                                          const Values& values) {
  RecordingDialogs boxes;
  translation::TranslationEngine translation(boxes);
  translation.Form_Load();
  translation.setCheck1(false);
  for (const QString& rpn : presses) {
    translation.setText1(rpn);
    translation.Command1_Click();
    if (optimised)
      translation.Command5_Click();
  }
  EXPECT_EQ(boxes.texts().size(), optimised ? 3 * presses.size() : 0)
      << boxes.texts().join(u'|').toStdString();
  EXPECT_EQ(translation.view().StackCount, 1);
  boxes.clear();
  const std::optional<QString> handOff = translation.Command6_Click();
  EXPECT_EQ(boxes.texts(), QStringList());
  if (!handOff)
    return std::nullopt;
  QStringList lines = handOff->split(u"\r\n"_s);
  for (QString& line : lines) {
    const QString name = line.left(11).trimmed();
    if (line.mid(11, 7) == u"DC     " && values.contains(name))
      line = line.left(18) + QString::number(values.value(name));
  }
  const test::RpnwOutcome ran = test::callRpnw(
      {u"run"_s, u"--state"_s, u"--format"_s, u"json"_s, u"-"_s}, lines.join(u"\r\n"_s).toUtf8());
  EXPECT_EQ(ran.err, QString()) << lines.join(u'\n').toStdString();
  const QJsonObject run = QJsonDocument::fromJson(ran.out.toUtf8()).object();
  if (ran.status != 0 || run[u"result"_s].toString() != u"end")
    return std::nullopt;
  MachineRun machine;
  const QJsonObject labels = run[u"state"_s][u"labels"_s].toObject();
  for (auto it = labels.begin(); it != labels.end(); ++it) {
    const long long word = it.value()[u"value"_s].toInteger();
    if (!it.key().startsWith(u"T$"))
      machine.variables.insert(it.key(), word);
    if (it.key() == translation.view().lblValue.at(0))
      machine.result = word;
  }
  return machine;
}

// "A=5 B=-2" as a map.
Values valuesOf(const char16_t* text) {
  Values map;
  for (const QString& pair : QString::fromUtf16(text).split(u' ', Qt::SkipEmptyParts))
    map.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1).toLongLong());
  return map;
}

// Reverse Polish texts the conversion does not make (chained assignments written out, long
// programs): optimised or not, every program variable ends as the expression says.
TEST(Chain, HandOffsOfGivenReversePolishTexts) {
  const struct {
    QStringList presses;
    const char16_t *values, *after; // the values given, every variable's end value
  } cases[] = {
      // X = A + B*C/(D-E) - F with the positions 1..7 of X, A, B, C, D, E, F as values.
      {{u"XABC*DE-/+F-="_s}, u"", u"X=-17 A=2 B=3 C=4 D=5 E=6 F=7"},
      // Three assignments in a chain (the random expressions assign two names at most).
      {{u"ZYXA－==="_s}, u"A=4", u"Z=-4 Y=-4 X=-4 A=4"},
      // The largest program the assembler takes: 101 lines (32 rounds of X = -A, then X = A).
      {QStringList{u"XA－="_s} + QStringList(31, u"A－="_s) + QStringList{u"A="_s}, u"A=9",
       u"X=9 A=9"}};
  for (const auto& c : cases)
    for (const bool optimised : {false, true}) {
      SCOPED_TRACE(c.presses.first().toStdString() + (optimised ? " optimised" : ""));
      if (!optimised && c.presses.size() > 1)
        continue; // unoptimised, the rounds fill the table with work variables
      const std::optional<MachineRun> run =
          translateAndRun(c.presses, optimised, valuesOf(c.values));
      ASSERT_TRUE(run.has_value());
      EXPECT_EQ(run->variables, valuesOf(c.after));
    }
}

// An expression built with its reverse Polish form and its value.
struct Built {
  QString infix;
  QString rpn;
  long long value = 0;
};

// Random infix expressions the conversion reads as meant: sums of terms, each a product of factors
// with an optional prefix sign (which pops "*" and "/", so it only starts a term), each factor a
// name, a bracketed sum or a bracketed assignment. Division only where exact (the machine
// truncates). Assigned names are never read, so the engines' order of look-ups does not matter.
// Four operators, two minus signs and two assigned names keep within the translation table's 13
// entries and the conversion stack's ten slots.
class ExpressionMaker {
public:
  ExpressionMaker(std::mt19937& random, const Values& values, QStringList targets,
                  QStringList operands)
      : m_random(random), m_values(values), m_targets(std::move(targets)),
        m_operands(std::move(operands)) {}

  Built assignmentOrSum() {
    Built made = sum(0);
    if (!m_targets.isEmpty() && pick(1) == 0)
      made = assign(m_targets.takeFirst(), made);
    return made;
  }
  // The assigned names with the values they receive.
  const Values& assigned() const { return m_assigned; }

private:
  int pick(int highest) { return std::uniform_int_distribution<int>(0, highest)(m_random); }

  Built assign(const QString& target, const Built& value) {
    m_assigned.insert(target, value.value);
    return {target + u'=' + value.infix, target + value.rpn + u'=', value.value};
  }

  // Operands joined by operators of one priority, from the left: signed terms by "+" and "-"
  // (level 0), factors by "*" and "/" (level 1).
  Built operation(int depth, int level) {
    const auto operand = [&] { return level == 0 ? signedTerm(depth) : factor(depth); };
    Built made = operand();
    while (m_operators > 0 && pick(2 - level) == 0) {
      --m_operators;
      const Built right = operand();
      const bool exact = level == 0 || (right.value != 0 && made.value % right.value == 0);
      const QChar op = u"+-*/"[2 * level + (exact && pick(1) == 0 ? 1 : 0)];
      const long long value = op == u'+'   ? made.value + right.value
                              : op == u'-' ? made.value - right.value
                              : op == u'*' ? made.value * right.value
                                           : made.value / right.value;
      made = {made.infix + op + right.infix, made.rpn + right.rpn + op, value};
    }
    return made;
  }
  Built sum(int depth) { return operation(depth, 0); }

  Built signedTerm(int depth) {
    // The budgets are taken before the term takes its own.
    const int sign = m_signs > 0 ? pick(5) : 5;
    const bool minus = sign == 1 && m_minusSigns > 0;
    const bool signed_ = sign == 0 || minus;
    m_signs -= signed_ ? 1 : 0;
    m_minusSigns -= minus ? 1 : 0;
    const Built made = operation(depth, 1);
    if (!signed_)
      return made;
    return {(minus ? u'-' : u'+') + made.infix, made.rpn + (minus ? u'－' : u'＋'),
            minus ? -made.value : made.value};
  }

  Built factor(int depth) {
    const int choice = depth < 2 && m_operators > 0 ? pick(4) : 4;
    if (choice == 0 && !m_targets.isEmpty()) {
      const QString target = m_targets.takeFirst();
      const Built inner = assign(target, sum(depth + 1));
      return {u'(' + inner.infix + u')', inner.rpn, inner.value};
    }
    if (choice <= 1) {
      const Built inner = sum(depth + 1);
      return {u'(' + inner.infix + u')', inner.rpn, inner.value};
    }
    const QString name = m_operands.at(pick(static_cast<int>(m_operands.size()) - 1));
    return {name, name, m_values.value(name)};
  }

  std::mt19937& m_random;
  const Values& m_values;
  QStringList m_targets;
  QStringList m_operands;
  Values m_assigned;
  int m_operators = 4;
  int m_signs = 2;
  int m_minusSigns = 2;
};

// Runs the reverse Polish text on the execution screen's engine with the values typed into the
// variable boxes: the value the stack is left with (a name left alone stands for its value) and
// every variable's end value.
std::pair<double, Values> execute(const QString& rpn, const Values& values) {
  RecordingDialogs boxes;
  execution::ExecutionEngine execution(boxes);
  execution.Form_Load();
  const auto& names = execution.view().lblName;
  for (std::size_t i = 0; i < names.size(); ++i)
    execution.setTxtName(static_cast<int>(i), QString::number(values.value(names.at(i))));
  execution.setCheck1(false);
  execution.setText1(rpn);
  execution.Command1_Click();
  EXPECT_EQ(boxes.texts(), QStringList());
  EXPECT_EQ(execution.view().StackCount, 1);
  Values after;
  for (std::size_t i = 0; i < names.size(); ++i)
    after.insert(names.at(i), execution.view().txtName.at(i).toLongLong());
  const QString cell = execution.view().lblValue.at(0);
  bool number = false;
  const double value = cell.toDouble(&number);
  return {number ? value : static_cast<double>(after.value(cell.right(1))), after};
}

TEST(Chain, RandomExpressionsHaveTheSameValueInEveryEngine) {
  // RPN_TEST_SEED replays a reported run.
  bool given = false;
  const unsigned seed = qEnvironmentVariable("RPN_TEST_SEED").toUInt(&given);
  std::mt19937 random(given ? seed : 20261207u);
  const QStringList names = {u"A"_s, u"B"_s, u"C"_s, u"D"_s, u"E"_s, u"F"_s, u"X"_s};
  int assignments = 0;
  int withSigns = 0;
  for (int round = 0; round < 300; ++round) {
    Values values;
    for (const QString& name : names)
      values.insert(name, std::uniform_int_distribution<int>(-9, 9)(random));
    QStringList shuffled = names;
    std::shuffle(shuffled.begin(), shuffled.end(), random);
    ExpressionMaker maker(random, values, shuffled.mid(0, 2), shuffled.mid(2));
    Built built = maker.assignmentOrSum();
    if (QString(built.rpn).remove(u'＋').size() == 1)
      continue; // a lone name, perhaps with a plus sign: nothing to compute, nothing to keep
    SCOPED_TRACE(built.infix.toStdString() + "  seed " + std::to_string(given ? seed : 20261207u));
    assignments += built.rpn.contains(u'=') ? 1 : 0;
    withSigns += built.rpn.contains(QRegularExpression(u"[＋－]"_s)) ? 1 : 0;

    RecordingDialogs conversionBoxes;
    conversion::ConversionEngine conversion(conversionBoxes);
    conversion.Form_Load();
    conversion.setCheck1(false);
    conversion.setText1(built.infix);
    conversion.Command1_Click();
    ASSERT_EQ(conversion.view().Text2, built.rpn);
    ASSERT_EQ(conversionBoxes.texts(), QStringList());

    Values expected = values;
    expected.insert(maker.assigned());
    const auto [value, executed] = execute(built.rpn, values);
    EXPECT_EQ(value, static_cast<double>(built.value));
    EXPECT_EQ(executed, expected);
    for (const bool optimised : {false, true}) {
      SCOPED_TRACE(optimised ? "optimised" : "as translated");
      const std::optional<MachineRun> run = translateAndRun({built.rpn}, optimised, values);
      ASSERT_TRUE(run.has_value());
      EXPECT_EQ(run->result, std::optional(built.value));
      // Every variable the program declares, assigned or only read, ends as the expression
      // says; every assigned one is declared.
      for (auto it = run->variables.cbegin(); it != run->variables.cend(); ++it)
        EXPECT_EQ(it.value(), expected.value(it.key())) << it.key().toStdString();
      for (const QString& target : maker.assigned().keys())
        EXPECT_TRUE(run->variables.contains(target)) << target.toStdString();
    }
  }
  // The table is dense: most rounds assign, most carry a prefix sign.
  EXPECT_GT(assignments, 100);
  EXPECT_GT(withSigns, 100);
}

} // namespace
} // namespace rpn
