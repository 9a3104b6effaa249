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
//   * List1_Click loads one of the two sample programs into the source box;
//   * listing lines that hold an instruction can be marked as breakpoints: auto-run stops before
//     such an instruction, and "最後まで実行" (cmdRunToEnd_Click, then runToEndSlice until it says
//     the run is over) runs without boxes or painting up to the next one, the end of the program,
//     a machine fault or a million instructions.
// It also knows whether the source box differs from the text last opened, saved, handed over or
// loaded as a sample, and asks before anything replaces or discards a changed source
// (QueryDiscardSource); saving itself is the screen's file dialog, given with setSaveSource.
// Every box (trace, complaints, machine faults, the IN input box) goes through the step driver's
// Dialogs, so a tick that arrives while one is open is held.
//
// The machine itself is the emulator (emulator.h) and the assembler a function (assembler.h): the
// engine turns what they give into the view and the boxes. The view's texts are formatted once per
// step that can be seen (the end of a press or tick, a box), never while a run shows nothing.
//
// Everything that defines the screen is one copyable value, MachineScreenState: a snapshot is a
// copy and restore() puts it back.
#pragma once

#include "assembler.h"
#include "common/dialogs.h"
#include "common/marks.h"
#include "common/step_driver.h"
#include "emulator.h"
#include "instruction_set.h"
#include "machine_state.h"

#include <QString>
#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <vector>

namespace rpn::machine {

inline constexpr int kMemoryCells = 64;  // the memory panel shows addresses 0..63
inline constexpr int kOutputKeep = 5000; // characters of earlier output kept before a new line
inline constexpr std::int32_t kRunLimit = 1'000'000; // instructions of one run to the end

// The box of a run to the end that reached its limit.
QString runLimitMessage();

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
  bool operator==(const AssemblerView&) const = default;
};

// The question before a changed source is replaced or discarded.
QString sourceChangedQuestion();

// Phases of auto-run; the last three are the emulator's phases.
enum AssemblerPhase : std::int16_t {
  kIdle = 0,
  kAssemble = 1,
  kFetch = static_cast<std::int16_t>(Phase::Fetch),
  kOperandAddress = static_cast<std::int16_t>(Phase::OperandAddress),
  kExecute = static_cast<std::int16_t>(Phase::Execute),
};

// What closing the screen puts back: the controls, auto-run, a run to the end and the source
// kept as saved.
struct MachineControls {
  AssemblerView view;
  StepClock clock;
  // The source as last opened, saved, handed over or loaded as a sample.
  QString keptText1;
  // "最後まで実行" under way, and the instructions it has executed so far.
  bool runningToEnd = false;
  std::int32_t runExecuted = 0;
  // Auto-run was just started: the instruction it starts on runs even on a breakpoint, as a run
  // to the end leaves one.
  bool leavingBreakpoint = false;
  bool operator==(const MachineControls&) const = default;
};

// Everything that defines the assembler screen.
struct MachineScreenState : MachineControls {
  MachineState machine;
  AssemblyTables tables; // of the last assembly
  // Cells of the panel past the program image that the program has stored into since the last
  // assembly: the memory display shows them with the image.
  std::bitset<kMemoryCells> storedBeyondImage;
  // While an assembly complaint is shown: the line-table entry it is about; -1 otherwise.
  int complaintEntry = -1;
  // Off for a run that shows nothing (the command line): see setPainting.
  bool painting = true;
  // The listing lines marked as breakpoints (line-table entries, ascending). Going back keeps
  // them, so one may name a line that an earlier assembly's table does not hold as an
  // instruction: it then neither shows nor stops a run.
  std::vector<int> breakpoints;
  // The listing box was edited by hand since the last assembly: its lines are no longer the
  // table's, so no breakpoint is shown on them or marked through them.
  bool listingEdited = false;
  bool operator==(const MachineScreenState&) const = default;
};

class MachineEngine {
public:
  explicit MachineEngine(Dialogs& dialogs) : m_driver(dialogs, m_state.clock) {}

  // How the source is saved: the file menu's save flow (asks for the path, writes, explains a
  // failure in a box), true when the text was written. Without one nothing can be saved.
  void setSaveSource(std::function<bool(const QString&)> save) { m_saveSource = std::move(save); }

  const MachineScreenState& state() const { return m_state; }
  const AssemblerView& view() const { return m_state.view; }
  // Puts back a state taken earlier with state(), exactly.
  void restore(const MachineScreenState& snapshot) { m_state = snapshot; }

  // Screen lifecycle: Form_Load, and the unloading of a closed screen (controls back to their
  // initial texts, auto-run stopped; machine state and tables stay).
  void Form_Load();
  void unload() { static_cast<MachineControls&>(m_state) = MachineControls{}; }

  // Whether the source box differs from the text last opened, saved, handed over or loaded as a
  // sample (the empty box of a freshly loaded screen counts as unchanged).
  bool SourceChanged() const { return m_state.view.Text1 != m_state.keptText1; }
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
  void setText1(const QString& text) { m_state.view.Text1 = text; }
  void setText2(const QString& text) {
    m_state.listingEdited = m_state.listingEdited || text != m_state.view.Text2;
    m_state.view.Text2 = text;
  }
  void setText3(const QString& text) { m_state.view.Text3 = text; }
  void setTxtTimer(const QString& text) { m_state.view.txtTimer = text; }
  void setCheck1(bool ticked) { m_state.view.Check1 = ticked; }

  // Presses and ticks.
  void Command1_Click();                    // "アセンブル"
  void Command2_Click();                    // "実行": one instruction; stops auto-run first
  void Command3_Click();                    // "初期化"
  void Command4_Click();                    // "自動実行"
  void Command5_Click();                    // "自動実行停止": also ends a run to the end
  void Timer1_Timer();
  // "最後まで実行": stops auto-run (finishing an instruction it has begun, as "実行" does) and
  // starts a run to the end, which runToEndSlice carries on.
  void cmdRunToEnd_Click();
  // Up to `instructions` more instructions of a run to the end, without trace boxes and without
  // painting (a box the program asks for is painted first). The run stops before an instruction
  // on a breakpoint (not the one it started on), at the end of the program, at a machine fault,
  // or after kRunLimit instructions with a box; it then paints once. True while it goes on.
  bool runToEndSlice(int instructions);

  // Marks or unmarks a listing line (its line-table entry, from 0) as a breakpoint. Only a line
  // that holds an instruction can be marked: false, nothing changed, for any other that is not
  // marked already.
  bool toggleBreakpoint(int entry);
  // Whether the line-table entry holds an instruction, so that a breakpoint on it stops a run.
  bool holdsInstruction(int entry) const;
  // Loads the sample of the item after QueryDiscardSource; a cancelled question leaves the source
  // and the list's selection as they were.
  void List1_Click(int index);

  // A run that shows nothing (the command line) turns painting off: the steps then leave the
  // register, address, memory and listing texts alone, which is most of their work. The output
  // box still receives OUT and the end message. Turning it on again repaints the whole view.
  void setPainting(bool painting);

  // The named moves of the screen, one at a time, for tests, fuzzers and the command line.
  class Moves {
  public:
    // What "実行" does: the three phases of one instruction with their trace boxes, then the end
    // check. Returns false when a machine fault stopped the instruction. From a phase of
    // auto-run (kIdle for a whole instruction), the phases still to come.
    bool RunInstruction(std::int16_t from = kIdle) { return m_engine.runInstruction(from); }
    // One phase each, shown; false after a machine fault.
    bool FetchInstruction() { return m_engine.runPhase(Phase::Fetch, true); }
    bool ComputeOperandAddress() { return m_engine.runPhase(Phase::OperandAddress, true); }
    bool ExecuteInstruction() { return m_engine.runPhase(Phase::Execute, true); }
    void ResetMachine() { m_engine.resetMachine(); }
    // Puts back a machine state and shows it.
    void restoreMachine(const MachineState& machine);

  private:
    friend class MachineEngine;
    explicit Moves(MachineEngine& engine) : m_engine(engine) {}
    MachineEngine& m_engine;
  };
  Moves moves() { return Moves(*this); }

private:
  // How one instruction of a run to the end went: on, on after a box it needed (IN, an SVC the
  // machine does not support), to the end of the program, or to a machine fault.
  enum class Quiet : std::uint8_t { Went, Asked, Ended, Faulted };
  bool runInstruction(std::int16_t from);
  // One whole instruction that is not shown: the emulator's three phases at once, then what
  // they gave (output, input, a notice, a fault) and a store into the memory panel. False after
  // a machine fault.
  bool quietStep();
  // One instruction of a run to the end, from a phase of auto-run (kIdle for all three).
  Quiet quietInstruction(std::int16_t from);
  // Ends a run to the end and, unless what stopped it has painted already, paints what it left.
  void finishRun(bool paint = true);
  // Stops auto-run; the phase it had reached, or kIdle when it was not running: an instruction it
  // has begun is finished by the press that stopped it.
  std::int16_t stopAutoRun();
  // Ends a run to the end after an instruction that did not simply go on; whether it did.
  bool stopAfter(Quiet how);
  // A press that moves the machine ends a run to the end first.
  void interruptRun() {
    if (m_state.runningToEnd)
      finishRun();
  }
  std::bitset<kMemoryWords> breakpointAddresses() const;
  // Whether the next instruction to fetch is at one of the addresses.
  bool atBreakpoint(const std::bitset<kMemoryWords>& stops) const;
  // One phase of the emulator and what it gives; visible when the phase is shown after it (a
  // trace box follows or it ends the press or tick). False after a machine fault.
  bool runPhase(Phase phase, bool visible);
  bool answer(const Happening& happening);
  void markPhase(Phase phase);
  void markResult(const Instruction* instruction);
  void markCell(std::int64_t address, Mark mark);
  void showCell(std::int64_t address);
  void showMemory();
  void resetMachine();
  void selectListingLine();
  void endProgram(const QString& message);
  void appendOutput(const QString& text);
  void traceBox(const QString& text);
  void repaint() {
    if (m_state.painting)
      paintView();
  }
  void paintView();

  MachineScreenState m_state;
  StepDriver m_driver;
  std::function<bool(const QString&)> m_saveSource;
  bool m_asked = false; // the program has opened a box (IN, a notice) since this was cleared
};

} // namespace rpn::machine
