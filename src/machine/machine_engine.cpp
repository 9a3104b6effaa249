#include "machine_engine.h"

#include "samples.h"

#include <algorithm>
#include <limits>

namespace rpn::machine {
namespace {

const QString kFetchBox = QStringLiteral("命令フェッチ&アドレスカウント");
const QString kOperandAddressBox = QStringLiteral("オペランドアドレス計算");
const QString kExecuteBox = QStringLiteral("命令実行");
const QString kStepEnd = QStringLiteral("プログラムの終了です.");
const QString kAutoRunEnd = QStringLiteral(" プログラムの終了です.");
const QString kCrLf = QStringLiteral("\r\n");

// Result of a register operation, or the machine fault it meets.
struct Outcome {
  std::int32_t value = 0;
  QString fault; // empty when the operation succeeded
};

// 32-bit two's complement arithmetic: overflow wraps around as it does in hardware.
Outcome compute(Action action, std::int32_t r, std::int32_t operand) {
  const std::int64_t a = r;
  const std::int64_t b = operand;
  switch (action) {
  case Action::Load:
    return {operand, {}};
  case Action::Add:
    return {wrap32(a + b), {}};
  case Action::Subtract:
    return {wrap32(a - b), {}};
  case Action::Multiply:
    return {wrap32(a * b), {}};
  case Action::Divide:
    if (operand == 0)
      return {0, QStringLiteral("0で割ることはできません")};
    if (r == std::numeric_limits<std::int32_t>::min() && operand == -1)
      return {0, QStringLiteral("除算の結果が32ビットに収まりません")};
    return {r / operand, {}}; // truncates toward zero
  case Action::And:
    return {r & operand, {}};
  case Action::Or:
    return {r | operand, {}};
  case Action::Xor:
    return {r ^ operand, {}};
  case Action::Eqv:
    return {~(r ^ operand), {}};
  case Action::Imp:
    return {~r | operand, {}};
  default:
    return {r, {}};
  }
}

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

} // namespace

QString sourceChangedQuestion() {
  return QStringLiteral("ソースプログラムが変更されています。保存しますか?");
}

void MachineEngine::restoreMachine(const MachineState& state) {
  m_machine = state;
  RefreshMachine();
}

void MachineEngine::Form_Load() {
  m_view.Text3.clear();
  m_view.Text2.clear();
  m_view.Text2SelStart = 0;
  m_view.Text2SelLength = 0;
  ResetMachine();
}

void MachineEngine::unload() {
  m_driver.stop();
  m_view = AssemblerView{};
  m_keptText1.clear(); // the source box is emptied: nothing of it is kept
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
  m_view.Text1 = text;
  m_keptText1 = text;
}

bool MachineEngine::mnuSave_Click() {
  const QString text = m_view.Text1;
  if (!m_saveSource || !m_saveSource(text))
    return false;
  m_keptText1 = text;
  return true;
}

void MachineEngine::Command1_Click() {
  Assembly assembly = m_assembler.Assemble(m_view.Text1, m_machine);
  m_view.Text2 = std::move(assembly.listing);
  m_view.Text2SelStart = 0;
  m_view.Text2SelLength = 0;
  m_view.lblCode = blankMemoryCells();
  m_view.lblCodeMarks.fill(Mark::White);
  m_storedBeyondImage.reset();
  ShowMemory();
  // The complaints come after the new listing and memory are shown, in the order of the lines.
  for (qsizetype i = 0; i < assembly.complaints.size(); ++i) {
    m_complaintEntry = assembly.complaintEntries.at(static_cast<std::size_t>(i));
    m_driver.dialogs().inform(assembly.complaints.at(i));
  }
  m_complaintEntry = -1;
}

void MachineEngine::traceBox(const QString& text) {
  if (m_view.Check1) // read afresh before every box
    m_driver.dialogs().inform(text);
}

void MachineEngine::Command2_Click() {
  // A press during auto-run stops it first. An instruction that auto-run has fetched is finished
  // by the press rather than skipped, so that every instruction still runs exactly once.
  const std::int16_t phase = m_driver.running() ? m_driver.phase() : std::int16_t{kIdle};
  m_driver.stop();
  RunInstruction(phase);
}

bool MachineEngine::RunInstruction(std::int16_t from) {
  if (from != kOperandAddress && from != kExecute) {
    if (!FetchInstruction())
      return false;
    traceBox(kFetchBox);
  }
  if (from != kExecute) {
    if (!ComputeOperandAddress())
      return false;
    traceBox(kOperandAddressBox);
  }
  if (!ExecuteInstruction())
    return false;
  traceBox(kExecuteBox);
  if (m_machine.EndOfProgram && m_machine.SvcCode == 0)
    endProgram(kStepEnd);
  return true;
}

void MachineEngine::Command4_Click() {
  // An interval the timer cannot take is refused with a box, and then nothing else changes.
  if (!m_driver.setIntervalFromText(m_view.txtTimer))
    return;
  m_driver.setPhase(kIdle);
}

void MachineEngine::Timer1_Timer() {
  if (!m_driver.running())
    return; // a tick that was already on its way when auto-run stopped
  m_driver.tick([this] {
    switch (m_driver.phase()) {
    case kIdle:
      m_driver.setPhase(kAssemble);
      break;
    case kAssemble:
      Command1_Click();
      m_driver.setPhase(kFetch);
      break;
    case kFetch:
      if (FetchInstruction())
        m_driver.setPhase(kOperandAddress);
      break;
    case kOperandAddress:
      if (ComputeOperandAddress())
        m_driver.setPhase(kExecute);
      break;
    case kExecute:
      if (!ExecuteInstruction())
        break;
      if (m_machine.EndOfProgram && m_machine.SvcCode == 0) {
        endProgram(kAutoRunEnd);
        m_driver.setPhase(kIdle);
      } else {
        m_driver.setPhase(kFetch);
      }
      break;
    default:
      break;
    }
  });
}

void MachineEngine::List1_Click(int index) {
  if ((index != 0 && index != 1) || !QueryDiscardSource())
    return;
  m_view.List1Index = index;
  if (index == 0)
    LoadSampleCompare();
  else
    LoadSampleRegisters();
}

void MachineEngine::LoadSampleCompare() {
  ReplaceSource(sampleCompare());
}
void MachineEngine::LoadSampleRegisters() {
  ReplaceSource(sampleRegisters());
}

bool MachineEngine::FetchInstruction() {
  MachineState& m = m_machine;
  m.InstructionAddress = m.ExecAddress;
  const std::int64_t address = m.ExecAddress;
  if (!inMemory(address)) {
    fault(QStringLiteral("メモリ範囲外から命令を読み出そうとしました: ") + hex4(address));
    return false;
  }
  const std::int32_t word = m.Memory[index(address)];
  const std::int32_t code = word / 256; // truncates toward zero
  const std::int32_t rest = word % 256; // takes the sign of the word
  if (code >= kTwoWordCode && !inMemory(address + 1)) {
    fault(QStringLiteral("メモリ範囲外から命令を読み出そうとしました: ") + hex4(address + 1));
    return false;
  }
  m.Ope[0] = code;
  if (code >= kTwoWordCode) {
    m.Ope[1] = rest / 16;
    m.Ope[2] = rest % 16;
    m.Ope[3] = m.Memory[index(address + 1)];
    m.ExecAddress = wrap16(address + 2);
  } else if (code == kMovrCode) {
    m.Ope[1] = rest / 16;
    m.Ope[2] = rest % 16; // the address field keeps the previous instruction's value
    m.ExecAddress = wrap16(address + 1);
  } else {
    m.Ope[1] = 0;
    m.Ope[2] = 0;
    m.Ope[3] = rest;
    m.ExecAddress = wrap16(address + 1);
  }
  RefreshMachine();
  m_view.txtOpeMark = Mark::Yellow;
  return true;
}

bool MachineEngine::ComputeOperandAddress() {
  MachineState& m = m_machine;
  if (m.Ope[0] >= kTwoWordCode && m.Ope[2] != 0) {
    if (m.Ope[2] < 0 || m.Ope[2] >= kRegisters) {
      fault(QStringLiteral("インデックスレジスタ番号が範囲外です: ") + QString::number(m.Ope[2]));
      return false;
    }
    m.EffectAddress = wrap16(std::int64_t{m.Register[index(m.Ope[2])]} + m.Ope[3]);
  } else {
    m.EffectAddress = wrap16(m.Ope[3]);
  }
  RefreshMachine();
  m_view.txtEffectAddressMark = Mark::Red;
  return true;
}

bool MachineEngine::ExecuteInstruction() {
  m_machine.EndOfProgram = false;
  const Instruction* instruction = findCode(m_machine.Ope[0]);
  // A code that is not in the table does nothing; the address has already moved past it.
  if (instruction && !perform(*instruction))
    return false;
  RefreshMachine();
  m_view.txtEffectAddressMark = Mark::White;
  m_view.txtOpeMark = Mark::White;
  markResult(instruction);
  return true;
}

bool MachineEngine::checkRegister(std::int32_t number) {
  if (number >= 0 && number < kRegisters)
    return true;
  fault(QStringLiteral("レジスタ番号が範囲外です: ") + QString::number(number));
  return false;
}

bool MachineEngine::perform(const Instruction& instruction) {
  MachineState& m = m_machine;
  const std::int32_t operandByte = m.Ope[3];
  switch (instruction.action) {
  case Action::Jump:
  case Action::JumpIfPlus:
  case Action::JumpIfZero:
  case Action::JumpIfMinus: {
    const bool taken = instruction.action == Action::Jump ||
                       (instruction.action == Action::JumpIfPlus && m.Status[kPlus] == 1) ||
                       (instruction.action == Action::JumpIfZero && m.Status[kZero] == 1) ||
                       (instruction.action == Action::JumpIfMinus && m.Status[kMinus] == 1);
    if (taken)
      m.ExecAddress = m.EffectAddress;
    return true;
  }
  case Action::Output:
    if (!checkRegister(operandByte))
      return false;
    appendOutput(QStringLiteral("* ") + QString::number(m.Register[index(operandByte)]));
    return true;
  case Action::Input: {
    if (!checkRegister(operandByte))
      return false;
    const QString typed = m_driver.dialogs().askText(QStringLiteral("データ入力"));
    m.Register[index(operandByte)] = readMachineNumber(typed, m_driver.dialogs());
    return true;
  }
  case Action::Move:
    if (!checkRegister(m.Ope[1]) || !checkRegister(m.Ope[2]))
      return false;
    m.Register[index(m.Ope[1])] = m.Register[index(m.Ope[2])];
    m.SetStatus(m.Ope[1]);
    return true;
  case Action::Negate:
  case Action::Complement: {
    if (!checkRegister(operandByte))
      return false;
    std::int32_t& r = m.Register[index(operandByte)];
    r = instruction.action == Action::Negate ? wrap32(-std::int64_t{r}) : ~r;
    m.SetStatus(operandByte);
    return true;
  }
  case Action::SupervisorCall:
    m.SvcCode = wrap16(operandByte);
    m.EndOfProgram = true;
    if (m.SvcCode != 0) {
      RefreshMachine();
      m_driver.dialogs().inform(QStringLiteral("サポートされていないSVCです: ") +
                                QString::number(m.SvcCode));
    }
    return true;
  case Action::Declare:
    return true;
  default:
    return registerOperation(instruction);
  }
}

bool MachineEngine::registerOperation(const Instruction& instruction) {
  MachineState& m = m_machine;
  const std::int32_t r = m.Ope[1];
  if (!checkRegister(r))
    return false;
  std::int32_t operand = m.EffectAddress; // the immediate forms: the address itself
  if (instruction.source == Source::Memory) {
    if (!inMemory(m.EffectAddress)) {
      fault(QStringLiteral("メモリ範囲外のアドレスです: ") + hex4(m.EffectAddress));
      return false;
    }
    operand = m.Memory[index(m.EffectAddress)];
  }
  if (instruction.action == Action::Store) {
    m.Memory[index(m.EffectAddress)] = m.Register[index(r)];
    showCell(m.EffectAddress);
  } else {
    const Outcome outcome = compute(instruction.action, m.Register[index(r)], operand);
    if (!outcome.fault.isEmpty()) {
      fault(outcome.fault);
      return false;
    }
    m.Register[index(r)] = outcome.value;
  }
  m.SetStatus(r);
  return true;
}

void MachineEngine::markResult(const Instruction* instruction) {
  if (!instruction)
    return;
  if (instruction->action == Action::Store) {
    markCell(m_machine.EffectAddress, Mark::Yellow);
    return;
  }
  if (!changesRegister(instruction->action))
    return;
  const bool byOperandByte = instruction->format == Format::OneWord;
  const std::int32_t r = byOperandByte ? m_machine.Ope[3] : m_machine.Ope[1];
  if (r >= 0 && r < kRegisters)
    m_view.txtRegisterMarks[index(r)] = Mark::Yellow;
}

void MachineEngine::markCell(std::int64_t address, Mark mark) {
  // Words beyond the panel's 64 cells run normally; their marks are simply not drawn.
  if (address >= 0 && address < kMemoryCells)
    m_view.lblCodeMarks[index(address)] = mark;
}

void MachineEngine::showCell(std::int64_t address) {
  // The panel shows what the memory holds, past the program image too.
  if (address < 0 || address >= kMemoryCells)
    return;
  if (address >= m_machine.ProgramSize)
    m_storedBeyondImage.set(index(address));
  m_view.lblCode[index(address)] = hex4(m_machine.Memory[index(address)]);
}

void MachineEngine::appendOutput(const QString& text) {
  m_view.Text3 = m_view.Text3.right(kOutputKeep) + kCrLf + text;
}

void MachineEngine::endProgram(const QString& message) {
  appendOutput(message);
  m_machine.ExecAddress = 0;
  RefreshMachine();
}

void MachineEngine::fault(const QString& what) {
  // The instruction changes nothing: the execution address goes back to it.
  m_machine.ExecAddress = m_machine.InstructionAddress;
  m_driver.stop();
  RefreshMachine();
  m_driver.dialogs().inform(what + QStringLiteral(" (命令アドレス ") +
                            hex4(m_machine.InstructionAddress) + u')');
}

void MachineEngine::ShowMemory() {
  const MachineState& m = m_machine;
  const int shown = std::min<int>(m.ProgramSize, kMemoryCells);
  for (int k = 0; k < kMemoryCells; ++k) {
    if (k >= shown && !m_storedBeyondImage.test(index(k)))
      continue;
    m_view.lblCode[index(k)] = hex4(m.Memory[index(k)]);
    m_view.lblCodeMarks[index(k)] = Mark::White;
  }
  if (!inMemory(m.ExecAddress))
    return;
  markCell(m.ExecAddress, Mark::Red);
  if (m.Memory[index(m.ExecAddress)] / 256 >= kTwoWordCode)
    markCell(m.ExecAddress + 1, Mark::Red);
}

void MachineEngine::setPainting(bool painting) {
  m_painting = painting;
  RefreshMachine();
}

void MachineEngine::RefreshMachine() {
  if (!m_painting)
    return;
  const MachineState& m = m_machine;
  m_view.txtOpe[0] = hexDigits(m.Ope[0], 2);
  m_view.txtOpe[1] = hexDigits(m.Ope[1], 1);
  m_view.txtOpe[2] = hexDigits(m.Ope[2], 1);
  m_view.txtOpe[3] = hex4(m.Ope[3]);
  m_view.txtExecAddress = hex4(m.ExecAddress);
  ShowMemory();
  for (std::size_t k = 0; k < kRegisters; ++k) {
    m_view.txtRegister[k] = hex4(m.Register[k]);
    m_view.txtRegisterMarks[k] = Mark::White;
  }
  m_view.txtEffectAddress = hex4(m.EffectAddress);
  for (std::size_t k = 0; k < m.Status.size(); ++k)
    m_view.txtStatus[k] = QString::number(m.Status[k]);
  selectListingLine();
}

void MachineEngine::selectListingLine() {
  // The first listing line whose address column reads the execution address, from its first
  // character up to its CR LF. A line that holds no word (a label on its own, an empty DA) is
  // skipped: the next fetch reads the line after it. No match leaves the selection as it was.
  const QString& listing = m_view.Text2;
  const QString address = hex4(m_machine.ExecAddress);
  const QString noWord = QStringLiteral(" : ") + QString(10, u' ') + QStringLiteral(" :");
  qsizetype pos = 0;
  while (listing.size() - pos >= 4) {
    const qsizetype crlf = listing.indexOf(kCrLf, pos);
    const qsizetype end = crlf < 0 ? listing.size() : crlf;
    if (QStringView(listing).mid(pos, 4) == address &&
        QStringView(listing).mid(pos + 4, noWord.size()) != noWord) {
      m_view.Text2SelStart = pos;
      m_view.Text2SelLength = end - pos;
      return;
    }
    if (crlf < 0)
      return;
    pos = crlf + 2;
  }
}

void MachineEngine::ResetMachine() {
  m_machine.SvcCode = 0;
  m_machine.ExecAddress = 0;
  RefreshMachine();
}

} // namespace rpn::machine
