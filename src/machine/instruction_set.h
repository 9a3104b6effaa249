// The pseudo machine's instruction set, declared once: every mnemonic with its operation code,
// word format, what it does, whether it sets the status flags, and the example and meaning shown
// on the help pages. The assembler encodes from this table, the emulator dispatches on it, and
// the help pages list it; adding an instruction is one line.
#pragma once

#include <QStringView>
#include <array>
#include <cstdint>
#include <string_view>

namespace rpn::machine {

// Word formats. An operation code of 0x80 or more is a two-word instruction, a smaller one a
// one-word instruction; DC and DA are the assembler's declarations and have no code.
enum class Format : std::uint8_t {
  TwoWord,      // code, register, index register; address in the second word
  OneWord,      // code, operand byte
  RegisterPair, // MOVR: code, destination register, source register
  Constant,     // DC v: one word holding v
  Area,         // DA n: n words holding 0
};

// What the instruction does; R is the register it names, M the memory word at the operand
// address and E the operand address itself (the immediate forms).
enum class Action : std::uint8_t {
  Load,           // R <- M or E
  Store,          // M <- R
  Add,            // R <- R + M or E
  Subtract,       // R <- R - M or E
  Multiply,       // R <- R * M or E
  Divide,         // R <- R / M or E, truncated toward zero
  And,            // R <- R and M or E
  Or,             // R <- R or M or E
  Xor,            // R <- R xor M or E
  Eqv,            // R <- not (R xor M or E)
  Imp,            // R <- (not R) or M or E
  Jump,           // always
  JumpIfPlus,     // when P = 1
  JumpIfZero,     // when Z = 1
  JumpIfMinus,    // when M = 1
  Output,         // the register named by the operand byte, in decimal, to the output box
  Input,          // the register named by the operand byte <- number typed by the user
  Move,           // destination register <- source register
  Negate,         // the register named by the operand byte <- minus itself
  Complement,     // the register named by the operand byte <- not itself
  SupervisorCall, // service code from the operand byte; 0 ends the program
  Declare,        // DC and DA: no code, nothing to execute
};

// Where the second operand of a register instruction comes from.
enum class Source : std::uint8_t {
  None,
  Memory,    // the word at the operand address, which must lie in the memory
  Immediate, // the operand address itself, a signed 16-bit value
};

struct Instruction {
  std::u16string_view mnemonic;
  int code; // -1 for the declarations DC and DA
  Format format;
  Action action;
  Source source;
  bool setsFlags;
  int helpPage; // 2 or 3
  std::u16string_view example;
  std::u16string_view meaning;
};

inline constexpr std::array<Instruction, 33> kInstructionSet{{
    // clang-format off
    {u"LOAD",  0xA0, Format::TwoWord, Action::Load,     Source::Memory,    true,  2, u"LOAD Label,1,2",  u"(X2)+Labelのアドレスの内容をレジスタX1にロード"},
    {u"STOR",  0xA2, Format::TwoWord, Action::Store,    Source::Memory,    true,  2, u"STOR Label,1,2",  u"レジスタX1の内容を(X2)+Labelのアドレスに格納"},
    {u"LI",    0xB0, Format::TwoWord, Action::Load,     Source::Immediate, true,  2, u"LI Label,1,2",    u"(X2)+Labelの値をレジスタX1にロード"},
    {u"ADD",   0x81, Format::TwoWord, Action::Add,      Source::Memory,    true,  2, u"ADD Label,1,2",   u"レジスタX1に(X2)+Labelの内容を加算"},
    {u"SUB",   0x82, Format::TwoWord, Action::Subtract, Source::Memory,    true,  2, u"SUB Label,1,2",   u"レジスタX1から(X2)+Labelの内容を減算"},
    {u"MULT",  0x83, Format::TwoWord, Action::Multiply, Source::Memory,    true,  2, u"MULT Label,1,2",  u"レジスタX1に(X2)+Labelの内容を乗算"},
    {u"DIV",   0x84, Format::TwoWord, Action::Divide,   Source::Memory,    true,  2, u"DIV Label,1,2",   u"レジスタX1を(X2)+Labelの内容で除算"},
    {u"AND",   0x88, Format::TwoWord, Action::And,      Source::Memory,    true,  2, u"AND Label,1,2",   u"レジスタX1と(X2)+Labelの内容でAND演算"},
    {u"OR",    0x89, Format::TwoWord, Action::Or,       Source::Memory,    true,  2, u"OR Label,1,2",    u"レジスタX1と(X2)+Labelの内容でOR演算"},
    {u"XOR",   0x8A, Format::TwoWord, Action::Xor,      Source::Memory,    true,  2, u"XOR Label,1,2",   u"レジスタX1と(X2)+Labelの内容でXOR演算"},
    {u"EQV",   0x8B, Format::TwoWord, Action::Eqv,      Source::Memory,    true,  2, u"EQV Label,1,2",   u"レジスタX1と(X2)+Labelの内容でEQV演算"},
    {u"IMP",   0x8C, Format::TwoWord, Action::Imp,      Source::Memory,    true,  2, u"IMP Label,1,2",   u"レジスタX1と(X2)+Labelの内容でIMP演算"},
    {u"ADDI",  0x91, Format::TwoWord, Action::Add,      Source::Immediate, true,  2, u"ADDI Label,1,2",  u"レジスタX1に(X2)+Labelの値を加算"},
    {u"SUBI",  0x92, Format::TwoWord, Action::Subtract, Source::Immediate, true,  2, u"SUBI Label,1,2",  u"レジスタX1から(X2)+Labelの値を減算"},
    {u"MULTI", 0x93, Format::TwoWord, Action::Multiply, Source::Immediate, true,  2, u"MULTI Label,1,2", u"レジスタX1に(X2)+Labelの値を乗算"},
    {u"DIVI",  0x94, Format::TwoWord, Action::Divide,   Source::Immediate, true,  2, u"DIVI Label,1,2",  u"レジスタX1を(X2)+Labelの値で除算"},
    {u"ANDI",  0x98, Format::TwoWord, Action::And,      Source::Immediate, true,  2, u"ANDI Label,1,2",  u"レジスタX1と(X2)+Labelの値でAND演算"},
    {u"ORI",   0x99, Format::TwoWord, Action::Or,       Source::Immediate, true,  2, u"ORI Label,1,2",   u"レジスタX1と(X2)+Labelの値でOR演算"},
    {u"XORI",  0x9A, Format::TwoWord, Action::Xor,      Source::Immediate, true,  2, u"XORI Label,1,2",  u"レジスタX1と(X2)+Labelの値でXOR演算"},
    {u"EQVI",  0x9B, Format::TwoWord, Action::Eqv,      Source::Immediate, true,  2, u"EQVI Label,1,2",  u"レジスタX1と(X2)+Labelの値でEQV演算"},
    {u"IMPI",  0x9C, Format::TwoWord, Action::Imp,      Source::Immediate, true,  2, u"IMPI Label,1,2",  u"レジスタX1と(X2)+Labelの値でIMP演算"},
    {u"JMP",   0xE0, Format::TwoWord, Action::Jump,       Source::None, false, 3, u"JMP Label,1,2", u"(X2)+Labelのアドレスにジャンプ"},
    {u"JP",    0xE1, Format::TwoWord, Action::JumpIfPlus, Source::None, false, 3, u"JP Label,1,2",  u"現ステータスが正であれば(X2)+Labelのアドレスにジャンプ"},
    {u"JZ",    0xE2, Format::TwoWord, Action::JumpIfZero, Source::None, false, 3, u"JZ Label,1,2",  u"現ステータスが零であれば(X2)+Labelのアドレスにジャンプ"},
    {u"JM",    0xE3, Format::TwoWord, Action::JumpIfMinus, Source::None, false, 3, u"JM Label,1,2", u"現ステータスが負であれば(X2)+Labelのアドレスにジャンプ"},
    {u"OUT",   0x60, Format::OneWord, Action::Output,     Source::None, false, 3, u"OUT 1",    u"レジスタX1を表示"},
    {u"IN",    0x61, Format::OneWord, Action::Input,      Source::None, false, 3, u"IN 1",     u"レジスタX1に入力"},
    {u"MOVR",  0x50, Format::RegisterPair, Action::Move,  Source::None, true,  3, u"MOVR 1,2", u"レジスタX2の内容をレジスタX1に移す"},
    {u"MINUS", 0x21, Format::OneWord, Action::Negate,     Source::None, true,  3, u"MINUS 1",  u"レジスタX1の符号を逆転"},
    {u"NOT",   0x28, Format::OneWord, Action::Complement, Source::None, true,  3, u"NOT 1",    u"レジスタX1のNOT"},
    {u"SVC",   0x01, Format::OneWord, Action::SupervisorCall, Source::None, false, 3, u"SVC 0", u"スーパバイザCALL（エミュレータではプログラム終了のみサポート）"},
    {u"DC",    -1,   Format::Constant, Action::Declare,   Source::None, false, 3, u"DC 5",     u"1ワードの領域を宣言し，その値を5にする"},
    {u"DA",    -1,   Format::Area,     Action::Declare,   Source::None, false, 3, u"DA 6",     u"6ワードの領域を宣言する（エミュレータでは初期値は0設定される）"},
    // clang-format on
}};

// Codes of 0x80 and above are two-word instructions, for the assembler and the emulator alike.
inline constexpr int kTwoWordCode = 0x80;
inline constexpr int kMovrCode = 0x50;
inline constexpr int kStorCode = 0xA2;

// The row of a mnemonic, compared without regard to case (load, Load and LOAD are one mnemonic);
// nullptr when the table does not hold it.
const Instruction* findMnemonic(QStringView mnemonic);

namespace detail {
// The row of every operation code that fits a byte (-1: none), so that the emulator's dispatch
// of every instruction is one look-up.
inline constexpr std::array<std::int8_t, 256> kRowOfCode = [] {
  std::array<std::int8_t, 256> rows{};
  rows.fill(-1);
  for (std::size_t i = 0; i < kInstructionSet.size(); ++i)
    if (kInstructionSet[i].code >= 0)
      rows[static_cast<std::size_t>(kInstructionSet[i].code)] = static_cast<std::int8_t>(i);
  return rows;
}();
} // namespace detail

// The row of an operation code; nullptr for a code that is not in the table.
inline const Instruction* findCode(std::int32_t code) {
  if (code < 0 || code >= static_cast<std::int32_t>(detail::kRowOfCode.size()))
    return nullptr;
  const std::int8_t row = detail::kRowOfCode[static_cast<std::size_t>(code)];
  return row < 0 ? nullptr : &kInstructionSet[static_cast<std::size_t>(row)];
}

// The mnemonic as a QStringView.
inline QStringView mnemonicText(const Instruction& instruction) {
  return QStringView(instruction.mnemonic.data(),
                     static_cast<qsizetype>(instruction.mnemonic.size()));
}

} // namespace rpn::machine
