// Disassembly throughput, decode and format to text, in MB of code per second: ours
// against Capstone and Zydis (the references, linked here only) on the same bytes in
// the same run. The code is the executable sections of the mingw runtime DLLs, a few
// megabytes of real i386 code. Each decoder turns every instruction into its text in
// a buffer that is reused; an undecodable byte is stepped over.

#include <benchmark/benchmark.h>

#include <capstone/capstone.h>
#include <Zydis/Zydis.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "code_sections/code_sections.h"
#include "target/disasm_decoder.h"
#include "target/disasm_formatter.h"

namespace {

struct Code {
  std::vector<uint8_t> bytes;
  size_t instructions = 0;  // counted by our decoder
};

const Code& RuntimeCode() {
  static const Code code = [] {
    Code built;
    const char* folders[] = {"/usr/lib/gcc/i686-w64-mingw32", "/usr/i686-w64-mingw32/lib"};
    const char* names[] = {"libstdc++-6.dll", "libgcc_s_dw2-1.dll", "libquadmath-0.dll", "libgomp-1.dll",
                           "libwinpthread-1.dll", "libgnat-12.dll"};
    for (const char* folder : folders) {
      std::error_code error;
      for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
           !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        const std::string path = it->path().string();
        if (path.find("win32") != std::string::npos) continue;
        for (const char* name : names) {
          if (it->path().filename() != name) continue;
          for (const auto& section : zentor::tools::ReadCodeSectionsOfFile(path)) {
            built.bytes.insert(built.bytes.end(), section.m_bytes.begin(), section.m_bytes.end());
          }
        }
      }
    }
    return built;
  }();
  return code;
}

void Finish(benchmark::State& state, size_t instructions) {
  const Code& code = RuntimeCode();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * code.bytes.size()));
  state.counters["instructions"] = static_cast<double>(instructions);
  state.counters["MB"] = static_cast<double>(code.bytes.size()) / 1e6;
}

void Zentor(benchmark::State& state) {
  const Code& code = RuntimeCode();
  if (code.bytes.empty()) {
    state.SkipWithError("no i386 code found (the mingw runtime is not installed)");
    return;
  }
  zentor::DecodeState decoded;
  char line[zentor::kDisassemblyLineCapacity];
  size_t instructions = 0;
  for (auto _ : state) {
    instructions = 0;
    zentor::CodeByteSpan span(code.bytes.data(), static_cast<uint32_t>(code.bytes.size()));
    uint32_t offset = 0;
    while (span.m_next != span.m_end) {
      zentor::DecodeInstruction(decoded, span, offset, true);
      zentor::FormatInstruction(decoded, line);
      benchmark::DoNotOptimize(line);
      offset += decoded.m_length;
      ++instructions;
    }
  }
  Finish(state, instructions);
}
BENCHMARK(Zentor)->Unit(benchmark::kMillisecond);

void Capstone(benchmark::State& state) {
  const Code& code = RuntimeCode();
  csh handle = 0;
  if (code.bytes.empty() || cs_open(CS_ARCH_X86, CS_MODE_32, &handle) != CS_ERR_OK) {
    state.SkipWithError("no code or no Capstone");
    return;
  }
  cs_insn* instruction = cs_malloc(handle);
  char line[192];
  size_t instructions = 0;
  for (auto _ : state) {
    instructions = 0;
    const uint8_t* next = code.bytes.data();
    size_t left = code.bytes.size();
    uint64_t address = 0;
    while (left > 0) {
      if (cs_disasm_iter(handle, &next, &left, &address, instruction)) {
        const size_t mnemonic = std::strlen(instruction->mnemonic);
        std::memcpy(line, instruction->mnemonic, mnemonic);
        line[mnemonic] = ' ';
        std::strcpy(line + mnemonic + 1, instruction->op_str);
        benchmark::DoNotOptimize(line);
      } else {
        ++next;
        --left;
        ++address;
      }
      ++instructions;
    }
  }
  cs_free(instruction, 1);
  cs_close(&handle);
  Finish(state, instructions);
}
BENCHMARK(Capstone)->Unit(benchmark::kMillisecond);

void Zydis(benchmark::State& state) {
  const Code& code = RuntimeCode();
  ZydisDecoder decoder;
  ZydisFormatter formatter;
  if (code.bytes.empty() ||
      !ZYAN_SUCCESS(ZydisDecoderInit(&decoder, ZYDIS_MACHINE_MODE_LEGACY_32, ZYDIS_STACK_WIDTH_32)) ||
      !ZYAN_SUCCESS(ZydisFormatterInit(&formatter, ZYDIS_FORMATTER_STYLE_INTEL))) {
    state.SkipWithError("no code or no Zydis");
    return;
  }
  ZydisDecodedInstruction instruction;
  ZydisDecodedOperand operands[ZYDIS_MAX_OPERAND_COUNT];
  char line[192];
  size_t instructions = 0;
  for (auto _ : state) {
    instructions = 0;
    size_t position = 0;
    while (position < code.bytes.size()) {
      if (ZYAN_SUCCESS(ZydisDecoderDecodeFull(&decoder, code.bytes.data() + position, code.bytes.size() - position,
                                              &instruction, operands))) {
        ZydisFormatterFormatInstruction(&formatter, &instruction, operands, instruction.operand_count_visible, line,
                                        sizeof line, position, nullptr);
        benchmark::DoNotOptimize(line);
        position += instruction.length;
      } else {
        ++position;
      }
      ++instructions;
    }
  }
  Finish(state, instructions);
}
BENCHMARK(Zydis)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
