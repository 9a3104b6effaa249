// The two-pass assembler of the pseudo machine, a function from source text to an Assembly.
// Pass 1 reads the source line by line, splits each line into label, mnemonic and operands,
// defines labels and assigns addresses; pass 2 resolves label references, builds the machine words
// and writes the listing; the words from address 0 are the program image. Assembly always runs to
// the end; its complaints come back in order with the listing (the assembler screen shows each in
// a box), and nothing here opens a box.
//
// Besides the faults that change the program (an undefined label or mnemonic, a number beyond
// 32 bits, the tables full), a line that assembles to something other than it seems gets one
// complaint naming its line number and text: a register field outside 0..15 or the operand byte
// of a one-word instruction outside 0..255 (either spills into the next field of the word), a
// label defined a second time (references get the first definition), and an operand that holds
// no number where a number is expected (it reads as 0). Such lines assemble as they always did.
#pragma once

#include "machine_state.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <cstdint>
#include <vector>

namespace rpn::machine {

inline constexpr int kLabelSlots = 21;
inline constexpr int kLineSlots = 101;

struct LabelEntry {
  QString Name; // compared exactly: Loop and LOOP are two labels
  std::int16_t Value = 0;
  bool operator==(const LabelEntry&) const = default;
};

enum class LineKind : std::uint8_t {
  Op,        // a machine instruction
  Dc,        // DC v
  Da,        // DA n
  Undefined, // a mnemonic the table does not hold: one word 0000
  NoWord,    // no mnemonic (a label on its own line): no word
};

struct LineEntry {
  std::int32_t Address = 0; // address of the line's first word
  std::int32_t OpCode = 0;  // 0 for DC and DA
  QString LabelRef;         // label named by the first operand, "" for a number
  std::int32_t Operand1 = 0;
  std::int32_t Operand2 = 0;
  std::int32_t Operand3 = 0;
  LineKind Kind = LineKind::Op;
  QString Source;              // the line exactly as read
  std::int32_t SourceLine = 0; // its line number in the source, from 1, blank lines counted
  std::int32_t Word1 = 0;
  std::int32_t Word2 = 0;
  std::int32_t Size = 0; // words the line occupies
  bool operator==(const LineEntry&) const = default;
};

struct SourceFields {
  QString Label;
  QString Mnemonic;
  QString Operand1Text;
  QString Operand2Text;
  QString Operand3Text;
  bool operator==(const SourceFields&) const = default;
};

// A line that reads exactly so ends the source.
inline constexpr QStringView kEndLine = u"*End*";

// The label and line tables of an assembly.
struct AssemblyTables {
  std::vector<LabelEntry> Labels;   // in the order of definition, at most kLabelSlots
  std::vector<LineEntry> Lines;     // the non-blank lines, at most kLineSlots
  std::int32_t LocationCounter = 0; // the address after the program
  bool operator==(const AssemblyTables&) const = default;
};

// What an assembly gives.
struct Assembly {
  AssemblyTables tables;
  std::vector<std::int32_t> words; // the program image from address 0: its size is the program's
  QString listing;
  QStringList complaints; // box texts, in the order they are shown
  // The line-table entry each complaint is about (kLineSlots when the table was full), so that a
  // complaint shown after the assembly can still name its source line.
  std::vector<int> complaintEntries;
  bool operator==(const Assembly&) const = default;
};

Assembly assemble(QStringView source);
// Writes the program image into memory from address 0 and sets ProgramSize. Registers, flags, the
// instruction register, the addresses and the memory after the image are left alone.
void loadImage(const Assembly& assembly, MachineState& machine);

// The lines of a source, without their CR LF (a lone CR or LF stays part of the line); the text
// after a last CR LF is a line only when it is not empty.
QStringList sourceLines(QStringView source);

namespace Assembler {
SourceFields SplitLine(QStringView line);
// 0..9 when the text starts with that digit, 10 when it starts with "-", "+" or "&", else -1.
std::int16_t NumberKind(QStringView text);
// Whether a word reads back as a label: in the label column and as an operand. A word that
// starts like a number, holds whitespace or a comma, or is empty does not.
bool CanBeLabel(QStringView word);
} // namespace Assembler

// A number typed as an operand or as input: the leading number of the text, rounded half to
// even, 0 when there is none. One that does not fit in 32 bits is refused with the complaint
// "数値が範囲外です: " + text and reads as 0.
std::int32_t readMachineNumber(QStringView text, QStringList& complaints);

// Whether the text starts with a number by the leading-number rule (a sign and a decimal digit,
// or &H or &O and a digit), rather than reading as 0 for want of one.
bool holdsNumber(QStringView text);

// The listing line of an assembled line, CR LF included; or appended to a listing.
QString listingLine(const LineEntry& line);
void appendListingLine(QString& out, const LineEntry& line);

} // namespace rpn::machine
