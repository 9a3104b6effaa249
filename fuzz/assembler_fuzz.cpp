// Fuzz target of the assembler. The input starts with the source text (a seed is a source
// program); a second text, after a backslash and one more character, is assembled first by the
// assembler screen's engine. A fresh assembler and the engine must give the same listing, boxes
// and program image: an assembly does not depend on what was assembled before, and the screen
// shows the listing. The tables, the program size and the listing keep their bounds, and every
// field of a split line is free of blanks.
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
  Assembler reader;
  reader.LoadSource(source);
  int lines = 0;
  for (QString line = reader.GetLine(); line != kEndLine; line = reader.GetLine()) {
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
    check(++lines <= source.size() + 1, "the reader ends");
  }
}

struct Assembled {
  QString listing;
  QStringList boxes;
  std::vector<std::int32_t> image;
};

Assembled assemble(Assembler& assembler, MachineState& machine, const QString& source) {
  FuzzDialogs boxes({}, {});
  Assembled result{assembler.Assemble(source, machine, boxes), boxes.boxes(), {}};
  check(machine.ProgramSize >= 0 && machine.ProgramSize <= kMemoryWords,
        "the program image lies in the memory");
  check(assembler.LineCount() >= 0 && assembler.LineCount() <= kLineSlots,
        "the line table holds 0 to 101 lines");
  check(assembler.LabelCount() >= 0 && assembler.LabelCount() <= kLabelSlots,
        "the label table holds 0 to 21 labels");
  check(result.listing.count(QStringLiteral("\r\n")) == assembler.LineCount(),
        "the listing has one line per assembled line");
  result.image.assign(machine.Memory.begin(), machine.Memory.begin() + machine.ProgramSize);
  return result;
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

  Assembler fresh;
  MachineState freshMachine;
  const Assembled first = assemble(fresh, freshMachine, source);

  Screen<MachineEngine> screen;
  MachineEngine& engine = screen.engine;
  engine.setText1(earlier);
  engine.Command1_Click();
  screen.boxes.clear();
  engine.setText1(source);
  engine.Command1_Click();
  const MachineState& machine = engine.state().machine;
  check(engine.view().Text2 == first.listing, "the listing does not depend on an earlier assembly");
  check(screen.boxes.boxes() == first.boxes, "the boxes do not depend on an earlier assembly");
  check(std::equal(first.image.begin(), first.image.end(), machine.Memory.begin(),
                   machine.Memory.begin() + machine.ProgramSize),
        "the image does not depend on an earlier assembly");
  engine.Command3_Click();
  return 0;
}
