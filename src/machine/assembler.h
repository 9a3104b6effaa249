// The two-pass assembler of the pseudo machine. Pass 1 reads the source line by line, splits each
// line into label, mnemonic and operands, defines labels and assigns addresses; pass 2 resolves
// label references, builds the machine words and writes the listing; a last step copies the
// words into memory from address 0. Driven by the assembler screen's "アセンブル" button and by
// the first phase of each auto-run cycle. Assembly always runs to the end; its complaints come
// back in order with the listing, and the screen shows each in a box.
//
// Besides the faults that change the program (an undefined label or mnemonic, a number beyond
// 32 bits, the tables full), a line that assembles to something other than it seems gets one
// complaint naming its line number and text: a register field outside 0..15 or the operand byte
// of a one-word instruction outside 0..255 (either spills into the next field of the word), a
// label defined a second time (references get the first definition), and an operand that holds
// no number where a number is expected (it reads as 0). Such lines assemble as they always did.
//
// The label and line tables live as long as the screen: an assembly overwrites the entries it
// uses and leaves the others as they were.
#pragma once

#include "common/dialogs.h"
#include "machine_state.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <array>
#include <cstdint>
#include <vector>

namespace rpn::machine {

inline constexpr int kLabelSlots = 21;
inline constexpr int kLineSlots = 101;

struct LabelEntry {
  QString Name; // compared exactly: Loop and LOOP are two labels
  std::int16_t Value = 0;
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
};

struct SourceFields {
  QString Label;
  QString Mnemonic;
  QString Operand1Text;
  QString Operand2Text;
  QString Operand3Text;
  bool operator==(const SourceFields&) const = default;
};

// The value GetLine returns when the source is used up; a line that reads exactly so ends it too.
inline constexpr QStringView kEndLine = u"*End*";

// What an assembly gives besides the program image.
struct Assembly {
  QString listing;
  QStringList complaints; // box texts, in the order they are shown
  // The line-table entry each complaint is about (kLineSlots when the table was full), so that a
  // complaint shown after the assembly can still name its source line.
  std::vector<int> complaintEntries;
};

class Assembler {
public:
  // Assembles the source: rewrites Memory from address 0 up to the end of the program image and
  // sets ProgramSize. Registers, flags, the instruction register and the addresses are left alone.
  Assembly Assemble(const QString& source, MachineState& machine);
  // The same, showing the complaints in boxes one after the other; returns the listing.
  QString Assemble(const QString& source, MachineState& machine, Dialogs& dialogs);

  // Reading the source: LoadSource starts over, GetLine takes the next line off it (without its
  // CR LF; a lone CR or LF stays part of the line) and returns "*End*" when nothing is left.
  void LoadSource(const QString& source);
  QString GetLine();

  static SourceFields SplitLine(QStringView line);
  // 0..9 when the text starts with that digit, 10 when it starts with "-", "+" or "&", else -1.
  static std::int16_t NumberKind(QStringView text);
  // Whether a word reads back as a label: in the label column and as an operand. A word that
  // starts like a number, holds whitespace or a comma, or is empty does not.
  static bool CanBeLabel(QStringView word);

  std::int32_t LocationCounter() const { return m_locationCounter; }
  int LabelCount() const { return m_labelCount; }
  const std::array<LabelEntry, kLabelSlots>& LabelTable() const { return m_labels; }
  int LineCount() const { return m_lineCount; }
  // The line-table entry being read (pass 1) or resolved (pass 2) while a complaint is shown, so
  // that the complaint can name its source line; kLineSlots when the table is full.
  int CurrentEntry() const { return m_currentEntry; }
  const std::array<LineEntry, kLineSlots>& LineTable() const { return m_lines; }

private:
  // Pass 1; for every line read, whether its label was already defined.
  std::vector<bool> readLines(Assembly& result);
  // Ties the complaints added since the last call to the entry being read or resolved.
  void noteEntry(Assembly& result) const;
  bool isDefined(const QString& label) const;
  void defineLabel(const QString& name, QStringList& complaints);
  void resolveAndEncode(LineEntry& line, QStringList& complaints) const;
  void loadMemory(MachineState& machine) const;

  QString m_source;
  qsizetype m_position = 0; // start of the unread rest of the source
  std::int32_t m_locationCounter = 0;
  int m_labelCount = 0;
  int m_lineCount = 0;
  int m_currentEntry = 0;
  std::array<LabelEntry, kLabelSlots> m_labels{};
  std::array<LineEntry, kLineSlots> m_lines{};
};

// A number typed as an operand or as input: the leading number of the text, rounded half to
// even, 0 when there is none. One that does not fit in 32 bits is refused with the complaint
// "数値が範囲外です: " + text and reads as 0.
std::int32_t readMachineNumber(QStringView text, QStringList& complaints);
// The same, the complaint shown in a box.
std::int32_t readMachineNumber(QStringView text, Dialogs& dialogs);

// Whether the text starts with a number by the leading-number rule (a sign and a decimal digit,
// or &H or &O and a digit), rather than reading as 0 for want of one.
bool holdsNumber(QStringView text);

// The listing line of an assembled line, CR LF included.
QString listingLine(const LineEntry& line);

} // namespace rpn::machine
