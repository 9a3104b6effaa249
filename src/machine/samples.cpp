#include "samples.h"

#include <initializer_list>

namespace rpn::machine {
namespace {

// Label in columns 1-4, mnemonic from column 6, operands from column 14.
QString joinLines(std::initializer_list<const char16_t*> lines) {
  QString text;
  for (const char16_t* line : lines)
    text += QString::fromUtf16(line) + QStringLiteral("\r\n");
  return text;
}

} // namespace

QString sampleCompare() {
  return joinLines({
      u"     LI      10",
      u"     STOR    I",
      u"     LI      0",
      u"     STOR    A",
      u"LOOP LOAD    I",
      u"     SUBI    1",
      u"     JM      ENDP",
      u"     STOR    I",
      u"     ADD     A",
      u"     STOR    A",
      u"     JMP     LOOP",
      u"ENDP LOAD    A",
      u"     OUT     0",
      u"     SVC     0",
      u"A    DA      1",
      u"I    DA      1",
  });
}

QString sampleRegisters() {
  return joinLines({
      u"     LI      10,1",
      u"     LI      0",
      u"     STOR    A",
      u"LOOP SUBI    1,1",
      u"     JM      ENDP",
      u"     MOVR    0,1",
      u"     ADD     A",
      u"     STOR    A",
      u"     JMP     LOOP",
      u"ENDP LOAD    A",
      u"     OUT     0",
      u"     SVC     0",
      u"A    DA      1",
  });
}

QStringList sampleNames() {
  return {QStringLiteral("比較の例"), QStringLiteral("他レジスタの使用")};
}

} // namespace rpn::machine
