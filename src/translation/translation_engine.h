// The translation engine: translates a reverse Polish expression into object code for the pseudo
// machine, one visible move at a time, optimises that code and writes it out as assembler source.
//
// Each symbol passes through the three moves of the shared reverse Polish walk, here with names in
// place of values: ReadSymbol takes it off Text1, TranslateSymbol puts a name
// into the value register Text2 (the variable itself, or the work variable T$nn that will hold an
// operator's result after the appended LOAD / operation / STOR instructions), PushValue
// ("変数Push") puts the register on the stack. The object buffer holds up to 301 instructions, the
// variable table 13 names (shown in 14 labels, the last always empty). The optimiser works in four
// steps: mark and delete each LOAD x directly following STOR x (and that STOR too when x is a work
// variable), mark the work variables no instruction names, delete every unreferenced table entry.
// BuildAssemblerSource is the hand-off text; the hand-off button passes on only a program the
// assembler reads as it is meant.
//
// Everything that defines the screen is one value, TranslationState: what the translation screen
// shows (TranslationView), its form variables and the auto-run clock. The listing is drawn again
// only when the buffer changed since it was last drawn. The screen paints the view and forwards
// edits, presses and ticks:
//   * Command1_Click translates the rest of the expression in one press (trace boxes per move);
//   * Command2_Click is the reset button; Command5_Click optimises with a box between the steps;
//   * the one-press buttons (Command1, Command5, Command6) first stop a running auto-run; the
//     translation button finishes the symbol the auto-run had in hand, then goes on to the end;
//   * Command3_Click / Command4_Click start and stop auto-run, Timer1_Timer performs one phase
//     of the twelve-phase cycle: restart, read / translate / push per symbol, end display, then
//     the four optimiser steps with their blink phases, and round again.
// The named moves one at a time are reached through moves(), for tests and fuzzers.
// Boxes go through the step driver's Dialogs, so a tick that arrives while one is open is held.
#pragma once

#include "common/dialogs.h"
#include "common/marks.h"
#include "common/step_driver.h"
#include "rpn/rpn_stack.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>

namespace rpn::translation {

inline constexpr int kObjectSlots = 301;               // object buffer slots 0..300
inline constexpr int kNameLabels = 14;                 // lblName(0) .. lblName(13)
inline constexpr int kTableCapacity = kNameLabels - 1; // the last label always stays empty
inline constexpr int kUsedFlagSlots = 21;
// A template may start while the buffer holds at most this many instructions; its three records
// then end in slot 299 at the latest.
inline constexpr std::int16_t kLastTemplateStart = 297;
inline constexpr int kScreenArrows = 6; // lblArrow1 .. lblArrow6

struct ObjectInstruction {
  QString Operation; // LOAD, STOR, ADD, SUB, MULT, DIV or MINUS
  QString Operand;   // a variable, a work variable, or empty (MINUS)
  bool Useless = false;
  bool operator==(const ObjectInstruction&) const = default;
};

// The arrow character of lblArrow<number> on this screen, number 1 to 6.
QString arrowCharacter(int number);

// The label column of a listing line: plain, and marked by the optimiser.
QString plainLabelColumn();   // 11 spaces
QString uselessLabelColumn(); // " *useless* "

// An instruction as one text line: the label column, the operation padded to 7, the operand.
QString FormatInstructionLine(const QString& labelColumn, const ObjectInstruction& instruction);
// Whether a line is the one FormatInstructionLine makes of these, without making it.
bool ShowsInstructionLine(QStringView line, QStringView labelColumn,
                          const ObjectInstruction& instruction);

// Texts of the boxes this engine opens besides those of the stack.
QString tableOverflowMessage();
QString bufferOverflowMessage();
QString uselessInstructionsMessage();
QString checkWorkVariablesMessage();
QString unreferencedVariablesMessage();
// The hand-off's refusals. line counts the listing's lines from 1.
QString unlabelableNameMessage(const QString& name);
QString emptyOperandMessage(int line, const QString& operation);
QString unknownOperandMessage(int line, const ObjectInstruction& instruction);
QString tooManyWordsMessage(int words);
QString tooManyLinesMessage(int lines);

// What the controls of the translation screen show. Back to these initial texts when the screen
// is unloaded.
struct TranslationView : walk::RpnView {
  TranslationView();
  // The variable table: entry i in lblName(i); the labels are the table's storage.
  std::array<QString, kNameLabels> lblName{};
  std::array<Mark, kNameLabels> lblNameMark{};
  QString lblPtr = QStringLiteral("Label7"); // number of entries, written by each refresh
  QStringList List1;                         // the object listing, one line per instruction
  Mark List1Mark = Mark::White;
  Mark Frame3Mark = Mark::ButtonFace;
  bool operator==(const TranslationView&) const = default;
};

// Everything the translation screen is: its controls, its form variables (they live as long as
// the screen object, also across unload and load; StackCount lives with the cells in the view)
// and the auto-run clock. A copy is a snapshot.
struct TranslationState {
  TranslationView view;
  // The object buffer: the instructions generated so far, in order. It holds at most
  // kObjectSlots; a template that could pass slot 299 is refused before it starts. A copy of the
  // state shares the buffer until one of them changes it.
  QList<ObjectInstruction> ObjectBuffer;
  std::int16_t VariableCount = 0;
  std::int16_t WorkCounter = 0;
  std::array<bool, kUsedFlagSlots> UsedFlags{};
  QString SavedExpression; // the expression as it was when the last run started
  std::int16_t BlinkCount = 0;
  // Whether List1 was last drawn with the optimiser's marks; drawn without them, its lines are
  // the first instructions of the buffer.
  bool ListingMarked = false;
  StepClock clock;
  std::int16_t objectCount() const { return static_cast<std::int16_t>(ObjectBuffer.size()); }
  bool operator==(const TranslationState&) const = default;
};

// Phases of the auto-run cycle.
enum TranslationPhase : std::int16_t {
  kRestart = 0,
  kRead = 1,
  kTranslate = 2,
  kPush = 3,
  kTranslationEnd = 4,
  kMarkInstructions = 5,
  kBlinkList = 6,
  kDeleteInstructions = 7,
  kMarkVariables = 8,
  kBlinkTable = 9,
  kDeleteVariables = 10,
  kOptimisationDone = 11,
};

class TranslationEngine {
public:
  class Moves;

  explicit TranslationEngine(Dialogs& dialogs);
  TranslationEngine(const TranslationEngine&) = delete;
  TranslationEngine& operator=(const TranslationEngine&) = delete;

  const TranslationState& state() const { return m_state; }
  // Puts back a state taken with state(), exactly.
  void restore(const TranslationState& snapshot) { m_state = snapshot; }
  const TranslationView& view() const { return m_state.view; }
  const StepDriver& driver() const { return m_driver; }

  // The program in the buffer and the table's entries.
  const QList<ObjectInstruction>& program() const { return m_state.ObjectBuffer; }
  QStringList VariableTable() const;

  // Screen lifecycle: Form_Load, and the unloading of a closed screen (controls back to their
  // initial texts, timer stopped; form variables stay).
  void Form_Load() { resetTranslation(); }
  void unload();

  // The user's edits, as they happen.
  void setText1(const QString& text) { m_state.view.Text1 = text; }
  void setText2(const QString& text) { m_state.view.Text2 = text; }
  void setText3(const QString& text) { m_state.view.Text3 = text; }
  void setCheck1(bool ticked) { m_state.view.Check1 = ticked; }

  // Presses and ticks. The hand-off button's text is BuildAssemblerSource; the screen delivers it.
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void Command4_Click() { m_driver.stop(); }
  void Command5_Click();
  void Timer1_Timer();

  // The hand-off text: the code, an SVC end line, DC for each program variable (valued by its
  // position among them), DA for each work variable; CR LF between lines.
  QString BuildAssemblerSource() const;
  // "擬似アセンブラ": the hand-off text, or nothing after one box when the assembler would not
  // read it as meant: a variable's name that cannot be an assembler label (a digit, "+", "-", "&"
  // first, a blank or a comma: the program would assemble without complaint and read the wrong
  // words), an instruction with an empty operand (left by "スタック空" or a full table: it would
  // address word 0) or one naming no table entry, or a source beyond what the assembler holds
  // (its memory words, its line slots).
  std::optional<QString> Command6_Click();

  // The named moves, one at a time.
  Moves moves();

private:
  walk::RpnStack stack() { return {m_state.view, m_driver, m_rules}; }
  // The box Command6_Click would show; nothing when the hand-off can go ahead.
  std::optional<QString> handOffRefusal() const;
  void inform(const QString& text) { m_driver.dialogs().inform(text); }
  void resetTranslation();
  // Ends every push and pop: the stack colours, the table count and the listing.
  void refreshTranslationView();
  void translateSymbol();
  // Shows the arrows named (numbers 1 to 6) and hides the other arrows of this screen.
  void showOnlyArrows(std::initializer_list<int> shown);
  void translateName(const QString& name);
  void translateOperator(const QString& symbol);
  // The code templates; each returns the name the step pushes, empty on failure.
  QString emitArithmetic(const QString& operation);
  QString emitAssign();
  QString emitNegate();
  int findEntry(const QString& name) const;
  // Appends a name to the table; false (after the box) when the table is full.
  bool enterName(const QString& name);
  void append(const QString& operation, const QString& operand);
  // Whether a template may start; shows the box when it may not.
  bool roomForTemplate();
  QString newWorkVariable();
  // Brings List1 up to the buffer: with the marks, or without them, when it is not drawn so yet.
  void drawListing(bool showMarks);
  // The optimiser's four steps.
  void markUselessInstructions();
  void deleteUselessInstructions();
  void markUnreferencedWorkVariables();
  void deleteUnreferencedVariables();
  void findReferences();
  // The auto-run phases of the optimiser and the blinks; each blink returns true on the tick its
  // count runs out.
  void tickOptimiser(std::int16_t phase);
  bool blinkObjectList();
  bool blinkVariableTable();
  bool blinkOptimisationDone();
  // One tick of a blink phase: counts down, and while it runs calls paint(even count) and sets
  // the caption; on the last tick Label4 is emptied and true returned.
  template <class Paint> bool blink(const QString& caption, Paint paint);

  TranslationState m_state;
  StepDriver m_driver;
  // This screen pushes names, and every push and pop redraws the table count and the listing.
  walk::RpnRules m_rules{QStringLiteral("変数Push"), [this] { refreshTranslationView(); },
                         &arrowCharacter};
};

// The moves of the translation screen one at a time, as the auto-run cycle performs them.
class TranslationEngine::Moves {
public:
  explicit Moves(TranslationEngine& engine) : m_engine(engine) {}
  void ReadSymbol() { m_engine.stack().ReadSymbol(); }
  void TranslateSymbol() { m_engine.translateSymbol(); }
  void PushValue() { m_engine.stack().PushValue(); }
  void PopOperands() { m_engine.stack().PopOperands(); }
  void PopOperand() { m_engine.stack().PopOperand(); }
  QString EmitArithmetic(const QString& operation) { return m_engine.emitArithmetic(operation); }
  QString EmitAssign() { return m_engine.emitAssign(); }
  QString EmitNegate() { return m_engine.emitNegate(); }
  void MarkUselessInstructions() { m_engine.markUselessInstructions(); }
  void DeleteUselessInstructions() { m_engine.deleteUselessInstructions(); }
  void MarkUnreferencedWorkVariables() { m_engine.markUnreferencedWorkVariables(); }
  void DeleteUnreferencedVariables() { m_engine.deleteUnreferencedVariables(); }

private:
  TranslationEngine& m_engine;
};

inline TranslationEngine::Moves TranslationEngine::moves() {
  return Moves(*this);
}

} // namespace rpn::translation
