// The engine of the assembler screen: it assembles the source box into memory and the listing,
// and runs the program on the pseudo machine one instruction at a time, each instruction in
// three phases (fetch and address count, operand address, execute), keeping everything the
// screen paints after a phase (register and address texts, flags, the instruction register, the
// memory cells, which boxes and cells are yellow or red, the selected listing line) in
// AssemblerView. The screen only renders that view and forwards the user's edits and presses:
//   * Command1_Click assembles; Command2_Click runs one instruction (a box per phase in trace
//     mode); Command3_Click puts the execution address back to 0;
//   * Command4_Click / Command5_Click start and stop auto-run, Timer1_Timer performs one phase:
//     assemble, then three ticks per instruction, an idle tick after each end of the program;
//   * List1_Click loads one of the two sample programs into the source box.
// It also knows whether the source box differs from the text last opened, saved, handed over or
// loaded as a sample, and asks before anything replaces or discards a changed source
// (QueryDiscardSource); saving itself is the screen's file dialog, given with setSaveSource.
// Every box (trace, complaints, machine faults, the IN input box) goes through the step driver's
// Dialogs, so a tick that arrives while one is open is held.
//
// A machine fault (a memory operand or a fetch outside 0..200, division by zero, the most
// negative value divided by -1, a register or index field outside 0..15) is a box naming the
// fault and the instruction's address; the instruction changes nothing, the execution address
// stays on it and auto-run stops.
#pragma once

#include "assembler.h"
#include "common/dialogs.h"
#include "common/marks.h"
#include "common/step_driver.h"
#include "instruction_set.h"
#include "machine_state.h"

#include <QString>
#include <array>
#include <bitset>
#include <cstdint>
#include <functional>

namespace rpn::machine {

inline constexpr int kMemoryCells = 64;  // the memory panel shows addresses 0..63
inline constexpr int kOutputKeep = 5000; // characters of earlier output kept before a new line

inline std::array<QString, kMemoryCells> blankMemoryCells() {
  std::array<QString, kMemoryCells> cells;
  cells.fill(QStringLiteral("0000"));
  return cells;
}

// What the controls of the assembler screen show. Back to these initial texts when the screen is
// unloaded; the machine state and the assembler's tables stay.
struct AssemblerView {
  QString Text1; // source program
  QString Text2; // listing
  // The selected part of the listing: the line of the next instruction, without its CR LF.
  qsizetype Text2SelStart = 0;
  qsizetype Text2SelLength = 0;
  QString Text3; // output
  QString txtExecAddress;
  std::array<QString, 4> txtOpe{}; // operation code, register, index register, address
  Mark txtOpeMark = Mark::White;   // the four boxes are marked together
  QString txtEffectAddress;
  Mark txtEffectAddressMark = Mark::White;
  std::array<QString, kRegisters> txtRegister{};
  std::array<Mark, kRegisters> txtRegisterMarks{};
  std::array<QString, 3> txtStatus{QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0")};
  std::array<QString, kMemoryCells> lblCode = blankMemoryCells();
  std::array<Mark, kMemoryCells> lblCodeMarks{};
  QString txtTimer = QStringLiteral("500");
  bool Check1 = true;  // trace mode
  int List1Index = -1; // the sample selected in List1, -1 for none
};

// The question before a changed source is replaced or discarded.
QString sourceChangedQuestion();

// Phases of auto-run.
enum AssemblerPhase : std::int16_t {
  kIdle = 0,
  kAssemble = 1,
  kFetch = 2,
  kOperandAddress = 3,
  kExecute = 4,
};

class MachineEngine {
public:
  explicit MachineEngine(Dialogs& dialogs) : m_driver(dialogs) {}

  // How the source is saved: the file menu's save flow (asks for the path, writes, explains a
  // failure in a box), true when the text was written. Without one nothing can be saved.
  void setSaveSource(std::function<bool(const QString&)> save) { m_saveSource = std::move(save); }

  const AssemblerView& view() const { return m_view; }
  const MachineState& machine() const { return m_machine; }
  const Assembler& assembler() const { return m_assembler; }
  const StepDriver& driver() const { return m_driver; }

  // Puts back a machine state taken earlier with machine() and shows it.
  void restoreMachine(const MachineState& state);

  // Screen lifecycle: Form_Load, and the unloading of a closed screen (controls back to their
  // initial texts, auto-run stopped; machine state and tables stay).
  void Form_Load();
  void unload();

  // Whether the source box differs from the text last opened, saved, handed over or loaded as a
  // sample (the empty box of a freshly loaded screen counts as unchanged).
  bool SourceChanged() const { return m_view.Text1 != m_keptText1; }
  // Asked before anything replaces or discards the source. A changed source raises the question
  // "ソースプログラムが変更されています。保存しますか?" (Yes / No / Cancel, Cancel preselected):
  // Yes saves and goes on only when the text was written, No goes on, Cancel stops. An unchanged
  // source goes on without a question. True when the action may go on.
  bool QueryDiscardSource();
  // A source that is kept elsewhere (an opened file, the translation screen's code) replaces the
  // text of the source box and counts as unchanged. Does not ask: QueryDiscardSource comes first.
  void ReplaceSource(const QString& text);
  // mnuSave: runs the save flow; a saved source counts as unchanged. True when it was written.
  bool mnuSave_Click();

  // The user's edits, as they happen.
  void setText1(const QString& text) { m_view.Text1 = text; }
  void setText2(const QString& text) { m_view.Text2 = text; }
  void setText3(const QString& text) { m_view.Text3 = text; }
  void setTxtTimer(const QString& text) { m_view.txtTimer = text; }
  void setCheck1(bool ticked) { m_view.Check1 = ticked; }

  // Presses and ticks.
  void Command1_Click();                     // "アセンブル"
  void Command2_Click();                     // "実行": one instruction; stops auto-run first
  void Command3_Click() { ResetMachine(); }  // "初期化"
  void Command4_Click();                     // "自動実行"
  void Command5_Click() { m_driver.stop(); } // "自動実行停止"
  void Timer1_Timer();
  // Loads the sample of the item after QueryDiscardSource; a cancelled question leaves the source
  // and the list's selection as they were.
  void List1_Click(int index);

  void LoadSampleCompare();
  void LoadSampleRegisters();

  // What "実行" does: the three phases of one instruction with their trace boxes, then the end
  // check. Returns false when a machine fault stopped the instruction.
  // From a phase of auto-run (kIdle for a whole instruction), the phases still to come.
  bool RunInstruction(std::int16_t from = kIdle);

  // The three phases of an instruction; each returns false after a machine fault.
  bool FetchInstruction();
  bool ComputeOperandAddress();
  bool ExecuteInstruction();

  // A run that shows nothing (the command line) turns painting off: the phases then leave the
  // register, address, memory and listing texts alone, which is most of their work. The output
  // box still receives OUT and the end message. Turning it on again repaints the whole view.
  void setPainting(bool painting);
  // While an assembly complaint is shown: the line-table entry it is about; -1 otherwise.
  int complaintEntry() const { return m_complaintEntry; }

  void RefreshMachine();
  void ShowMemory();
  void ResetMachine();

private:
  bool perform(const Instruction& instruction);
  bool registerOperation(const Instruction& instruction);
  bool checkRegister(std::int32_t number);
  void markResult(const Instruction* instruction);
  void markCell(std::int64_t address, Mark mark);
  void showCell(std::int64_t address);
  void selectListingLine();
  void endProgram(const QString& message);
  void appendOutput(const QString& text);
  void fault(const QString& what);
  void traceBox(const QString& text);

  AssemblerView m_view;
  MachineState m_machine;
  Assembler m_assembler;
  StepDriver m_driver;
  bool m_painting = true;
  int m_complaintEntry = -1;
  std::function<bool(const QString&)> m_saveSource;
  // The source as last opened, saved, handed over or loaded as a sample.
  QString m_keptText1;
  // Cells of the panel past the program image that the program has stored into since the last
  // assembly: the memory display shows them with the image.
  std::bitset<kMemoryCells> m_storedBeyondImage;
};

} // namespace rpn::machine
