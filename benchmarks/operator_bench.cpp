// Push, push, binary operator, pop: the cost of one C-expression operator as the
// interpreter runs it, for "int4", "ord8" and "real8" operands.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>

#include "core/operator_executor.h"
#include "core/value_bytes.h"
#include "core/value_stack.h"

namespace zentor {
namespace {

void RunOperator(benchmark::State& state, uint16_t kind, const void* a, const void* b, uint16_t code) {
  ValueStack::Create();
  ValueStack::Reset();
  uint8_t codeBytes[2];
  value_bytes::StoreU16(codeBytes, code);
  uint8_t result[ValueStack::kMaxItemSize];
  for (auto _ : state) {
    ValueStack::Push(kind, a);
    ValueStack::Push(kKindOrd2, codeBytes);
    ValueStack::Push(kind, b);
    OperatorExecutor();
    ValueStack::Pop(result);
    benchmark::DoNotOptimize(result[0]);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_Int4Add(benchmark::State& state) {
  const int32_t a = -123456;
  const int32_t b = 987;
  RunOperator(state, kKindInt4, &a, &b, kOpAdd);
}
BENCHMARK(BM_Int4Add);

void BM_Int4Divide(benchmark::State& state) {
  const int32_t a = -123456;
  const int32_t b = 987;
  RunOperator(state, kKindInt4, &a, &b, kOpDivide);
}
BENCHMARK(BM_Int4Divide);

void BM_Ord8Add(benchmark::State& state) {
  const uint64_t a = 0x123456789ABCDEFull;
  const uint64_t b = 0xFEDCBA987654321ull;
  RunOperator(state, kKindOrd8, &a, &b, kOpAdd);
}
BENCHMARK(BM_Ord8Add);

void BM_Ord8Less(benchmark::State& state) {
  const uint64_t a = 0x123456789ABCDEFull;
  const uint64_t b = 0xFEDCBA987654321ull;
  RunOperator(state, kKindOrd8, &a, &b, kOpLess);
}
BENCHMARK(BM_Ord8Less);

void BM_Real8Add(benchmark::State& state) {
  const double a = 1.25;
  const double b = 3.0e10;
  RunOperator(state, kKindReal8, &a, &b, kOpAdd);
}
BENCHMARK(BM_Real8Add);

void BM_Real8Multiply(benchmark::State& state) {
  const double a = 1.25;
  const double b = 3.0e10;
  RunOperator(state, kKindReal8, &a, &b, kOpMultiply);
}
BENCHMARK(BM_Real8Multiply);

}  // namespace
}  // namespace zentor

BENCHMARK_MAIN();
