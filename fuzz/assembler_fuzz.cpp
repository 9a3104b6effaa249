// Fuzz target of the assembler. The input starts with the source text (a seed is a source
// program); a second text, after a backslash and one more character, is assembled first by the
// assembler screen's engine. The assembler alone and the engine must give the same tables,
// listing, boxes and program image: an assembly does not depend on what was assembled before, and
// the screen shows the listing. The tables, the image and the listing keep their bounds, each
// complaint names its entry, and every field of a split line is free of blanks.
#include "fuzz_support.h"
#include "machine/assembler.h"
#include "machine/machine_engine.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace rpn::fuzz {
namespace {

using namespace machine;

bool hasBlank(const QString& field) {
  return std::any_of(field.begin(), field.end(),
                     [](QChar c) { return c == u' ' || c == u'\t' || c == u'\u3000'; });
}

void checkSplit(const QString& source) {
  const QStringList lines = sourceLines(source);
  check(lines.size() <= source.size(), "the reader ends");
  for (const QString& line : lines) {
    check(!line.contains(QStringLiteral("\r\n")), "a line holds no CR LF");
    const SourceFields fields = Assembler::SplitLine(line);
    for (const QString* field : {&fields.Label, &fields.Mnemonic, &fields.Operand1Text,
                                 &fields.Operand2Text, &fields.Operand3Text})
      check(!hasBlank(*field), "the fields of a line hold no blanks");
    check(fields.Label.isEmpty() ==
              (line.isEmpty() || line[0] == u' ' || line[0] == u'\t' || line[0] == u'\u3000'),
          "a line has a label unless it starts with a blank");
    const std::int16_t kind = Assembler::NumberKind(fields.Operand1Text);
    check(kind >= -1 && kind <= 10, "the number kind is -1 to 10");
  }
}

void checkBounds(const Assembly& assembly) {
  const AssemblyTables& tables = assembly.tables;
  check(assembly.words.size() <= kMemoryWords, "the program image lies in the memory");
  check(tables.Lines.size() <= kLineSlots, "the line table holds 0 to 101 lines");
  check(tables.Labels.size() <= kLabelSlots, "the label table holds 0 to 21 labels");
  check(assembly.listing.count(QStringLiteral("\r\n")) == qsizetype(tables.Lines.size()),
        "the listing has one line per assembled line");
  check(assembly.complaintEntries.size() == std::size_t(assembly.complaints.size()),
        "every complaint names its entry");
}

} // namespace
} // namespace rpn::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace rpn::fuzz;
  using namespace rpn::machine;
  FuzzedDataProvider in(data, size);
  const std::string sourceBytes = in.ConsumeRandomLengthString(8192);
  const std::string earlierBytes = in.ConsumeRandomLengthString(2048);
  const bool utf16 = in.ConsumeBool();
  const QString source = toText(sourceBytes, utf16);
  const QString earlier = toText(earlierBytes, utf16);

  checkSplit(source);

  const Assembly alone = assemble(source);
  checkBounds(alone);

  // No tick comes during an assembly's boxes: the boxes are only recorded.
  FuzzDialogs boxes({}, {});
  MachineEngine engine(boxes);
  engine.Form_Load();
  engine.setText1(earlier);
  engine.Command1_Click();
  boxes.clear();
  engine.setText1(source);
  engine.Command1_Click();
  const MachineState& machine = engine.state().machine;
  check(engine.state().tables == alone.tables, "the tables do not depend on an earlier assembly");
  check(engine.view().Text2 == alone.listing, "the listing does not depend on an earlier assembly");
  check(boxes.boxes() == alone.complaints, "the boxes are the assembler's complaints");
  check(std::equal(alone.words.begin(), alone.words.end(), machine.Memory.begin(),
                   machine.Memory.begin() + machine.ProgramSize) &&
            machine.ProgramSize == qsizetype(alone.words.size()),
        "the image does not depend on an earlier assembly");
  engine.Command3_Click();
  return 0;
}
