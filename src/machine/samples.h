// The two sample programs offered in the assembler screen's list. Both add the numbers 9 down to
// 0 and output 45: "比較の例" keeps its counter in memory (I), "他レジスタの使用" in register X1.
// Each line is followed by CR LF, the last one included.
#pragma once

#include <QString>
#include <QStringList>

namespace rpn::machine {

QString sampleCompare();   // "比較の例"
QString sampleRegisters(); // "他レジスタの使用"

// The items of the sample list, in order.
QStringList sampleNames();

} // namespace rpn::machine
