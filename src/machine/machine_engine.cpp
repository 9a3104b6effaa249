#include "machine_engine.h"

#include "samples.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace rpn::machine {
namespace {

const QString kFetchBox = QStringLiteral("命令フェッチ&アドレスカウント");
const QString kOperandAddressBox = QStringLiteral("オペランドアドレス計算");
const QString kExecuteBox = QStringLiteral("命令実行");
const QString kStepEnd = QStringLiteral("プログラムの終了です.");
const QString kAutoRunEnd = QStringLiteral(" プログラムの終了です.");
const QString kCrLf = QStringLiteral("\r\n");

bool changesRegister(Action action) {
  switch (action) {
  case Action::Load:
  case Action::Add:
  case Action::Subtract:
  case Action::Multiply:
  case Action::Divide:
  case Action::And:
  case Action::Or:
  case Action::Xor:
  case Action::Eqv:
  case Action::Imp:
  case Action::Move:
  case Action::Negate:
  case Action::Complement:
    return true;
  default:
    return false;
  }
}

std::size_t index(std::int64_t i) {
  return static_cast<std::size_t>(i);
}

// The first phase still to run of an instruction that auto-run left at `from`.
std::int16_t firstPhase(std::int16_t from) {
  return from == kOperandAddress || from == kExecute ? from : std::int16_t{kFetch};
}

// The breakpoints of an old assembly that a new one keeps: a line still there with the same text,
// still holding an instruction.
std::vector<int> keptBreakpoints(const std::vector<int>& breakpoints,
                                 const std::vector<LineEntry>& before,
                                 const std::vector<LineEntry>& after) {
  std::vector<int> kept;
  for (const int entry : breakpoints) {
    const auto i = static_cast<std::size_t>(entry);
    if (i < before.size() && i < after.size() && after[i].Kind == LineKind::Op &&
        after[i].Source == before[i].Source)
      kept.push_back(entry);
  }
  return kept;
}

const QString& phaseBox(Phase phase) {
  switch (phase) {
  case Phase::Fetch:
    return kFetchBox;
  case Phase::OperandAddress:
    return kOperandAddressBox;
  case Phase::Execute:
    break;
  }
  return kExecuteBox;
}

} // namespace

QString runLimitMessage() {
  return QStringLiteral("命令を1,000,000回実行したので止めました。プログラムの終了にも"
                        "ブレークポイントにも達していません。");
}

QString sourceChangedQuestion() {
  return QStringLiteral("ソースプログラムが変更されています。保存しますか?");
}

void MachineEngine::Moves::restoreMachine(const MachineState& machine) {
  m_engine.m_state.machine = machine;
  m_engine.repaint();
}

void MachineEngine::Form_Load() {
  m_state.view.Text3.clear();
  m_state.view.Text2.clear();
  m_state.view.Text2SelStart = 0;
  m_state.view.Text2SelLength = 0;
  m_state.breakpoints.clear(); // they mark lines of the listing, which is empty now
  m_state.listingEdited = false;
  resetMachine();
}

bool MachineEngine::QueryDiscardSource() {
  if (!SourceChanged())
    return true;
  switch (
      m_driver.dialogs().ask(sourceChangedQuestion(), applicationTitle(), true, Answer::Cancel)) {
  case Answer::Yes:
    return mnuSave_Click();
  case Answer::No:
    return true;
  case Answer::Cancel:
    break;
  }
  return false;
}

void MachineEngine::ReplaceSource(const QString& text) {
  m_state.view.Text1 = text;
  m_state.keptText1 = text;
}

bool MachineEngine::mnuSave_Click() {
  const QString text = m_state.view.Text1;
  if (!m_saveSource || !m_saveSource(text))
    return false;
  m_state.keptText1 = text;
  return true;
}

void MachineEngine::Command1_Click() {
  interruptRun();
  Assembly assembly = assemble(m_state.view.Text1);
  loadImage(assembly, m_state.machine);
  m_state.breakpoints =
      keptBreakpoints(m_state.breakpoints, m_state.tables.Lines, assembly.tables.Lines);
  m_state.tables = std::move(assembly.tables);
  AssemblerView& view = m_state.view;
  view.Text2 = std::move(assembly.listing);
  m_state.listingEdited = false;
  view.Text2SelStart = 0;
  view.Text2SelLength = 0;
  view.lblCode = blankMemoryCells();
  view.lblCodeMarks.fill(Mark::White);
  m_state.storedBeyondImage.reset();
  showMemory();
  // The complaints come after the new listing and memory are shown, in the order of the lines.
  for (qsizetype i = 0; i < assembly.complaints.size(); ++i) {
    m_state.complaintEntry = assembly.complaintEntries.at(static_cast<std::size_t>(i));
    m_driver.dialogs().inform(assembly.complaints.at(i));
  }
  m_state.complaintEntry = -1;
}

void MachineEngine::Command2_Click() {
  // A press during auto-run stops it first. An instruction that auto-run has fetched is finished
  // by the press rather than skipped, so that every instruction still runs exactly once.
  interruptRun();
  runInstruction(stopAutoRun());
}

std::int16_t MachineEngine::stopAutoRun() {
  const std::int16_t phase = m_driver.running() ? m_driver.phase() : std::int16_t{kIdle};
  m_driver.stop();
  return phase;
}

void MachineEngine::Command3_Click() {
  interruptRun();
  resetMachine();
}

void MachineEngine::Command5_Click() {
  m_driver.stop();
  interruptRun();
}

bool MachineEngine::runInstruction(std::int16_t from) {
  if (!m_state.painting && from == kIdle) { // nobody watches: the phases need no marks
    if (!quietStep())
      return false;
    if (m_state.machine.EndOfProgram && m_state.machine.SvcCode == 0)
      endProgram(kStepEnd);
    return true;
  }
  for (std::int16_t p = firstPhase(from); p <= kExecute; ++p) {
    const auto phase = static_cast<Phase>(p);
    if (!runPhase(phase, p == kExecute || m_state.view.Check1))
      return false;
    traceBox(phaseBox(phase));
  }
  if (m_state.machine.EndOfProgram && m_state.machine.SvcCode == 0)
    endProgram(kStepEnd);
  return true;
}

bool MachineEngine::runPhase(Phase phase, bool visible) {
  const Happening happening = step(m_state.machine, phase);
  if (!answer(happening))
    return false;
  const MachineState& m = m_state.machine;
  const Instruction* instruction = findCode(m.Ope[0]);
  if (phase == Phase::Execute && instruction && instruction->action == Action::Store)
    showCell(m.EffectAddress);
  if (!m_state.painting) // the marks only matter to a view that is painted
    return true;
  if (visible)
    paintView();
  markPhase(phase);
  return true;
}

bool MachineEngine::answer(const Happening& happening) {
  MachineState& m = m_state.machine;
  switch (happening.kind) {
  case Happening::Nothing:
  case Happening::End:
    break;
  case Happening::Output:
    appendOutput(happening.text);
    break;
  case Happening::Input: {
    m_asked = true;
    repaint();
    const QString typed = m_driver.dialogs().askText(QStringLiteral("データ入力"));
    QStringList complaints;
    const std::int32_t value = readMachineNumber(typed, complaints);
    for (const QString& complaint : complaints)
      m_driver.dialogs().inform(complaint);
    m.Register[index(happening.inputRegister)] = value;
    break;
  }
  case Happening::Notice:
    m_asked = true;
    repaint();
    m_driver.dialogs().inform(happening.text);
    break;
  case Happening::Fault:
    m_driver.stop();
    repaint();
    m_driver.dialogs().inform(happening.text + QStringLiteral(" (命令アドレス ") +
                              hex4(happening.address) + u')');
    return false;
  }
  return true;
}

void MachineEngine::markPhase(Phase phase) {
  AssemblerView& view = m_state.view;
  switch (phase) {
  case Phase::Fetch:
    view.txtOpeMark = Mark::Yellow;
    break;
  case Phase::OperandAddress:
    view.txtEffectAddressMark = Mark::Red;
    break;
  case Phase::Execute:
    view.txtEffectAddressMark = Mark::White;
    view.txtOpeMark = Mark::White;
    markResult(findCode(m_state.machine.Ope[0]));
    break;
  }
}

void MachineEngine::Command4_Click() {
  // An interval the timer cannot take is refused with a box, and then nothing else changes.
  if (!m_driver.setIntervalFromText(m_state.view.txtTimer))
    return;
  interruptRun();
  m_driver.setPhase(kIdle);
  m_state.leavingBreakpoint = true;
}

void MachineEngine::cmdRunToEnd_Click() {
  // As "実行": an instruction that auto-run has begun is finished, as the run's first.
  const std::int16_t phase = stopAutoRun();
  m_state.runningToEnd = true;
  m_state.runExecuted = 0;
  if (phase == kOperandAddress || phase == kExecute)
    stopAfter(quietInstruction(phase));
}

bool MachineEngine::stopAfter(Quiet how) {
  if (how == Quiet::Went)
    return false;
  finishRun(how == Quiet::Asked); // the end or the fault has painted and said why
  return true;
}

bool MachineEngine::runToEndSlice(int instructions) {
  if (!m_state.runningToEnd)
    return false;
  const std::bitset<kMemoryWords> stops = breakpointAddresses();
  for (int n = 0; n < instructions; ++n) {
    // The instruction the run started on runs even when it is a breakpoint: that is how a run
    // leaves one.
    if (m_state.runExecuted > 0 && atBreakpoint(stops)) {
      finishRun();
      return false;
    }
    if (m_state.runExecuted >= kRunLimit) {
      finishRun();
      m_driver.dialogs().inform(runLimitMessage());
      return false;
    }
    // After the end, a fault or a box the program needed the run stops: a loop that asks for
    // input or meets an unsupported SVC would otherwise open box after box, and the stop button
    // would never be within reach.
    if (stopAfter(quietInstruction(kIdle)))
      return false;
  }
  return true;
}

bool MachineEngine::quietStep() {
  const Happening happening = stepInstruction(m_state.machine);
  if (happening.kind != Happening::Nothing && !answer(happening))
    return false;
  if (m_state.machine.Ope[0] == kStorCode)
    showCell(m_state.machine.EffectAddress);
  return true;
}

MachineEngine::Quiet MachineEngine::quietInstruction(std::int16_t from) {
  // The marks of the phases are left out: the paint at the end of the run sets them.
  m_asked = false;
  if (from == kIdle) {
    if (!quietStep())
      return Quiet::Faulted;
  } else {
    for (std::int16_t p = firstPhase(from); p <= kExecute; ++p)
      if (!runPhase(static_cast<Phase>(p), false))
        return Quiet::Faulted;
  }
  ++m_state.runExecuted;
  if (m_state.machine.EndOfProgram && m_state.machine.SvcCode == 0) {
    endProgram(kStepEnd);
    return Quiet::Ended;
  }
  return m_asked ? Quiet::Asked : Quiet::Went;
}

void MachineEngine::finishRun(bool paint) {
  const bool executed = m_state.runExecuted > 0;
  m_state.runningToEnd = false;
  m_state.runExecuted = 0;
  if (!paint || !m_state.painting)
    return;
  // What "実行" shows after an instruction: the machine, and the marks of the execute phase.
  paintView();
  if (executed)
    markPhase(Phase::Execute);
}

std::bitset<kMemoryWords> MachineEngine::breakpointAddresses() const {
  std::bitset<kMemoryWords> stops;
  const std::vector<LineEntry>& lines = m_state.tables.Lines;
  for (const int entry : m_state.breakpoints) {
    if (!holdsInstruction(entry))
      continue;
    const std::int32_t address = lines[static_cast<std::size_t>(entry)].Address;
    if (inMemory(address))
      stops.set(index(address));
  }
  return stops;
}

bool MachineEngine::atBreakpoint(const std::bitset<kMemoryWords>& stops) const {
  const std::int16_t address = m_state.machine.ExecAddress;
  return inMemory(address) && stops.test(index(address));
}

bool MachineEngine::holdsInstruction(int entry) const {
  const std::vector<LineEntry>& lines = m_state.tables.Lines;
  return entry >= 0 && static_cast<std::size_t>(entry) < lines.size() &&
         lines[static_cast<std::size_t>(entry)].Kind == LineKind::Op;
}

bool MachineEngine::toggleBreakpoint(int entry) {
  std::vector<int>& marks = m_state.breakpoints;
  const auto at = std::lower_bound(marks.begin(), marks.end(), entry);
  if (at != marks.end() && *at == entry) { // a mark comes off whatever the line holds now
    marks.erase(at);
    return true;
  }
  if (!holdsInstruction(entry))
    return false;
  marks.insert(at, entry);
  return true;
}

void MachineEngine::Timer1_Timer() {
  if (!m_driver.running())
    return; // a tick that was already on its way when auto-run stopped
  m_driver.tick([this] {
    const std::int16_t phase = m_driver.phase();
    const bool leaving = std::exchange(m_state.leavingBreakpoint, m_state.leavingBreakpoint &&
                                                                      phase != kFetch);
    if (phase == kFetch && !leaving && atBreakpoint(breakpointAddresses())) {
      // Stopped before the instruction on a breakpoint, its line selected.
      m_driver.stop();
      if (m_state.painting)
        selectListingLine();
    } else if (phase == kIdle) {
      m_driver.setPhase(kAssemble);
    } else if (phase == kAssemble) {
      Command1_Click();
      m_driver.setPhase(kFetch);
    } else if (phase >= kFetch && phase <= kExecute && runPhase(static_cast<Phase>(phase), true)) {
      if (phase != kExecute) {
        m_driver.setPhase(static_cast<std::int16_t>(phase + 1));
      } else if (m_state.machine.EndOfProgram && m_state.machine.SvcCode == 0) {
        endProgram(kAutoRunEnd);
        m_driver.setPhase(kIdle);
      } else {
        m_driver.setPhase(kFetch);
      }
    }
  });
}

void MachineEngine::List1_Click(int index) {
  if ((index != 0 && index != 1) || !QueryDiscardSource())
    return;
  m_state.view.List1Index = index;
  ReplaceSource(index == 0 ? sampleCompare() : sampleRegisters());
}

void MachineEngine::traceBox(const QString& text) {
  if (m_state.view.Check1) // read afresh before every box
    m_driver.dialogs().inform(text);
}

void MachineEngine::markResult(const Instruction* instruction) {
  if (!instruction)
    return;
  if (instruction->action == Action::Store) {
    markCell(m_state.machine.EffectAddress, Mark::Yellow);
    return;
  }
  if (!changesRegister(instruction->action))
    return;
  const bool byOperandByte = instruction->format == Format::OneWord;
  const std::int32_t r = byOperandByte ? m_state.machine.Ope[3] : m_state.machine.Ope[1];
  if (r >= 0 && r < kRegisters)
    m_state.view.txtRegisterMarks[index(r)] = Mark::Yellow;
}

void MachineEngine::markCell(std::int64_t address, Mark mark) {
  // Words beyond the panel's 64 cells run normally; their marks are simply not drawn.
  if (address >= 0 && address < kMemoryCells)
    m_state.view.lblCodeMarks[index(address)] = mark;
}

void MachineEngine::showCell(std::int64_t address) {
  // The panel shows what the memory holds, past the program image too.
  if (address < 0 || address >= kMemoryCells)
    return;
  if (address >= m_state.machine.ProgramSize)
    m_state.storedBeyondImage.set(index(address));
  // A run that shows nothing formats the cell when painting is turned on again.
  if (m_state.painting)
    writeHex4(m_state.view.lblCode[index(address)], m_state.machine.Memory[index(address)]);
}

void MachineEngine::appendOutput(const QString& text) {
  m_state.view.Text3 = m_state.view.Text3.right(kOutputKeep) + kCrLf + text;
}

void MachineEngine::endProgram(const QString& message) {
  appendOutput(message);
  m_state.machine.ExecAddress = 0;
  repaint();
}

void MachineEngine::showMemory() {
  const MachineState& m = m_state.machine;
  AssemblerView& view = m_state.view;
  const int shown = std::min<int>(m.ProgramSize, kMemoryCells);
  for (int k = 0; k < kMemoryCells; ++k) {
    if (k >= shown && !m_state.storedBeyondImage.test(index(k)))
      continue;
    writeHex4(view.lblCode[index(k)], m.Memory[index(k)]);
    view.lblCodeMarks[index(k)] = Mark::White;
  }
  if (!inMemory(m.ExecAddress))
    return;
  markCell(m.ExecAddress, Mark::Red);
  if (m.Memory[index(m.ExecAddress)] / 256 >= kTwoWordCode)
    markCell(m.ExecAddress + 1, Mark::Red);
}

void MachineEngine::setPainting(bool painting) {
  m_state.painting = painting;
  repaint();
}

void MachineEngine::paintView() {
  const MachineState& m = m_state.machine;
  AssemblerView& view = m_state.view;
  // The texts are written in place: a step formats the whole view without allocating.
  writeHexDigits(view.txtOpe[0], m.Ope[0], 2);
  writeHexDigits(view.txtOpe[1], m.Ope[1], 1);
  writeHexDigits(view.txtOpe[2], m.Ope[2], 1);
  writeHex4(view.txtOpe[3], m.Ope[3]);
  writeHex4(view.txtExecAddress, m.ExecAddress);
  showMemory();
  for (std::size_t k = 0; k < kRegisters; ++k) {
    writeHex4(view.txtRegister[k], m.Register[k]);
    view.txtRegisterMarks[k] = Mark::White;
  }
  writeHex4(view.txtEffectAddress, m.EffectAddress);
  for (std::size_t k = 0; k < m.Status.size(); ++k)
    writeHexDigits(view.txtStatus[k], m.Status[k], 1); // each flag is 0 or 1
  selectListingLine();
}

void MachineEngine::selectListingLine() {
  // The first listing line whose address column reads the execution address, from its first
  // character up to its CR LF. A line that holds no word (a label on its own, an empty DA) is
  // skipped: the next fetch reads the line after it. No match leaves the selection as it was.
  const QString& listing = m_state.view.Text2;
  const QString address = hex4(m_state.machine.ExecAddress);
  const QString noWord = QStringLiteral(" : ") + QString(10, u' ') + QStringLiteral(" :");
  qsizetype pos = 0;
  while (listing.size() - pos >= 4) {
    const qsizetype crlf = listing.indexOf(kCrLf, pos);
    const qsizetype end = crlf < 0 ? listing.size() : crlf;
    if (QStringView(listing).mid(pos, 4) == address &&
        QStringView(listing).mid(pos + 4, noWord.size()) != noWord) {
      m_state.view.Text2SelStart = pos;
      m_state.view.Text2SelLength = end - pos;
      return;
    }
    if (crlf < 0)
      return;
    pos = crlf + 2;
  }
}

void MachineEngine::resetMachine() {
  m_state.machine.SvcCode = 0;
  m_state.machine.ExecAddress = 0;
  repaint();
}

} // namespace rpn::machine
