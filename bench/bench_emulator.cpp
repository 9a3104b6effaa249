// Emulator throughput: a headless run (painting off, as the command line runs) of a program that
// loops for about ten million instructions, in instructions per second, against a minimal switch
// interpreter of the same instruction table over the same memory image. A counting allocator
// (operator new replaced in this executable) reports the allocations per instruction.
#include "bench_main.h"
#include "machine/machine_engine.h"
#include "quiet_dialogs.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

// The allocator's count; operator new has nowhere else to keep it.
std::atomic<long long> g_allocations{0};

} // namespace

void* operator new(std::size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size))
    return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  return ::operator new(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

namespace rpn::bench {
namespace {

using machine::MachineState;

// outer * (2 * inner + 3) + 2 instructions: an inner count-down nested in an outer one.
QString loopProgram(int outer, int inner) {
  return QStringLiteral("     LI      %1,1\r\n"
                        "OUTR LI      %2,2\r\n"
                        "INNR SUBI    1,2\r\n"
                        "     JP      INNR\r\n"
                        "     SUBI    1,1\r\n"
                        "     JP      OUTR\r\n"
                        "     SVC     0\r\n")
      .arg(outer)
      .arg(inner);
}

struct Assembled {
  QuietDialogs boxes;
  machine::MachineEngine engine{boxes};
};

void assemble(Assembled& a, const QString& program) {
  a.engine.setCheck1(false);
  a.engine.setText1(program);
  a.engine.Command1_Click();
}

// The baseline: fetch, decode and execute on a plain array of words with one switch on the
// operation code; no checks beyond keeping indexes in range.
long long interpret(const MachineState& image) {
  std::array<std::int32_t, machine::kMemoryWords> memory = image.Memory;
  std::array<std::int32_t, machine::kRegisters> reg{};
  int plus = 0, zero = 0, minus = 0;
  int pc = 0;
  long long steps = 0;
  const auto flags = [&](std::int32_t v) {
    plus = v > 0;
    zero = v == 0;
    minus = v < 0;
  };
  const auto at = [](std::int64_t a) {
    return static_cast<std::size_t>(a < 0 ? 0 : a >= machine::kMemoryWords ? 0 : a);
  };
  for (;;) {
    ++steps;
    const std::int32_t word = memory[at(pc)];
    const std::int32_t code = word / 256;
    const std::int32_t rest = word % 256;
    const auto r = static_cast<std::size_t>((rest / 16) & 15);
    const auto x = static_cast<std::size_t>((rest % 16) & 15);
    std::int32_t ea = 0;
    if (code >= machine::kTwoWordCode) {
      ea = static_cast<std::int16_t>(memory[at(pc + 1)] + (x ? reg[x] : 0));
      pc += 2;
    } else {
      ea = rest;
      pc += 1;
    }
    const std::int32_t m = memory[at(ea)];
    std::int32_t& R = reg[r];
    std::int32_t& B = reg[static_cast<std::size_t>(rest & 15)];
    switch (code) {
    // clang-format off
    case 0xA0: R = m; flags(R); break;
    case 0xA2: memory[at(ea)] = R; flags(R); break;
    case 0xB0: R = ea; flags(R); break;
    case 0x81: R = static_cast<std::int32_t>(std::int64_t{R} + m); flags(R); break;
    case 0x82: R = static_cast<std::int32_t>(std::int64_t{R} - m); flags(R); break;
    case 0x83: R = static_cast<std::int32_t>(std::int64_t{R} * m); flags(R); break;
    case 0x84: R = m ? R / m : 0; flags(R); break;
    case 0x88: R &= m; flags(R); break;
    case 0x89: R |= m; flags(R); break;
    case 0x8A: R ^= m; flags(R); break;
    case 0x8B: R = ~(R ^ m); flags(R); break;
    case 0x8C: R = ~R | m; flags(R); break;
    case 0x91: R = static_cast<std::int32_t>(std::int64_t{R} + ea); flags(R); break;
    case 0x92: R = static_cast<std::int32_t>(std::int64_t{R} - ea); flags(R); break;
    case 0x93: R = static_cast<std::int32_t>(std::int64_t{R} * ea); flags(R); break;
    case 0x94: R = ea ? R / ea : 0; flags(R); break;
    case 0x98: R &= ea; flags(R); break;
    case 0x99: R |= ea; flags(R); break;
    case 0x9A: R ^= ea; flags(R); break;
    case 0x9B: R = ~(R ^ ea); flags(R); break;
    case 0x9C: R = ~R | ea; flags(R); break;
    case 0xE0: pc = ea; break;
    case 0xE1: if (plus) pc = ea; break;
    case 0xE2: if (zero) pc = ea; break;
    case 0xE3: if (minus) pc = ea; break;
    case 0x60: benchmark::DoNotOptimize(B); break;
    case 0x61: B = 0; break;
    case 0x50: R = reg[x]; flags(R); break;
    case 0x21: B = -B; flags(B); break;
    case 0x28: B = ~B; flags(B); break;
    case 0x01: return steps;
    default: break;
      // clang-format on
    }
  }
}

void registerAll(const Options& options) {
  const QString program = options.smoke ? loopProgram(2, 2000) : loopProgram(1000, 4999);

  benchmark::RegisterBenchmark("emulator/switch-interpreter", [=](benchmark::State& state) {
    for (auto _ : state) {
      Assembled a;
      assemble(a, program);
      const double start = threadCpuSeconds();
      const long long steps = interpret(a.engine.state().machine);
      const double seconds = (threadCpuSeconds() - start);
      state.counters["instructions"] = static_cast<double>(steps);
      report(state, static_cast<double>(steps) / seconds, rowLabel("instructions/s", ""));
    }
  })->Iterations(1);

  benchmark::RegisterBenchmark("emulator/headless-run", [=](benchmark::State& state) {
    for (auto _ : state) {
      Assembled a;
      assemble(a, program);
      a.engine.setPainting(false);
      long long steps = 0;
      const long long before = g_allocations.load();
      const double start = threadCpuSeconds();
      for (;;) {
        ++steps;
        if (!a.engine.moves().RunInstruction())
          break;
        const MachineState& m = a.engine.state().machine;
        if (m.EndOfProgram && m.SvcCode == 0)
          break;
      }
      const double seconds = (threadCpuSeconds() - start);
      const long long allocations = g_allocations.load() - before;
      state.counters["instructions"] = static_cast<double>(steps);
      state.counters["allocations/instruction"] =
          static_cast<double>(allocations) / static_cast<double>(steps);
      report(state, static_cast<double>(steps) / seconds,
             rowLabel("instructions/s", "emulator/switch-interpreter", "ratio>=0.5"));
    }
  })->Iterations(1);
}

} // namespace
} // namespace rpn::bench

int main(int argc, char** argv) {
  const rpn::bench::Options options = rpn::bench::takeOptions(argc, argv);
  rpn::bench::registerAll(options);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
