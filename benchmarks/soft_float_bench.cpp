// Throughput of the software IEEE package on 8-byte reals: the ring-free arithmetic
// (unpack, operate, pack as the operator executor does it) and both text conversions.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/real_temp_ring.h"
#include "core/soft_float.h"

namespace {

using zentor::FloatUnpacked;

std::vector<std::array<uint8_t, 8>> RandomDoubles(size_t count, uint32_t seed) {
  std::mt19937_64 engine(seed);
  std::vector<std::array<uint8_t, 8>> values(count);
  for (auto& value : values) {
    // Finite values of moderate magnitude, as expressions meet them.
    const uint64_t bits = (engine() & 0x800FFFFFFFFFFFFFull) | ((0x3C0ull + engine() % 128) << 52);
    for (int i = 0; i < 8; ++i) {
      value[i] = static_cast<uint8_t>(bits >> (8 * i));
    }
  }
  return values;
}

template <FloatUnpacked (*Operation)(const FloatUnpacked&, const FloatUnpacked&)>
void BM_Real8Operation(benchmark::State& state) {
  const auto values = RandomDoubles(1024, 1);
  size_t i = 0;
  uint8_t out[8];
  for (auto _ : state) {
    const auto& a = values[i & 1023];
    const auto& b = values[(i + 1) & 1023];
    zentor::PackDouble(Operation(zentor::UnpackDouble(a.data()), zentor::UnpackDouble(b.data())), out);
    benchmark::DoNotOptimize(out);
    ++i;
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_Real8Operation<zentor::FloatAdd>)->Name("Real8Add");
BENCHMARK(BM_Real8Operation<zentor::FloatMultiply>)->Name("Real8Multiply");
BENCHMARK(BM_Real8Operation<zentor::FloatDivide>)->Name("Real8Divide");

void BM_Real8ToText(benchmark::State& state) {
  const auto values = RandomDoubles(1024, 2);
  char text[zentor::kRealTextCapacity];
  size_t i = 0;
  for (auto _ : state) {
    zentor::RealConversionRequest request;
    request.m_value = const_cast<uint8_t*>(values[i & 1023].data());
    request.m_sizeKind = zentor::kRealSizeKind8;
    request.m_text = text;
    zentor::RealToText(request);
    benchmark::DoNotOptimize(text);
    ++i;
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_Real8ToText)->Name("Real8ToText");

void BM_TextToReal8(benchmark::State& state) {
  std::mt19937_64 engine(3);
  std::vector<std::string> texts(1024);
  for (auto& text : texts) {
    text = std::to_string(1 + engine() % 9) + "." + std::to_string(engine() % 100000000000000ull) + "E" +
           std::to_string(static_cast<int>(engine() % 81) - 40);
  }
  uint8_t value[8];
  size_t i = 0;
  for (auto _ : state) {
    zentor::RealConversionRequest request;
    request.m_value = value;
    request.m_sizeKind = zentor::kRealSizeKind8;
    request.m_text = texts[i & 1023].data();
    benchmark::DoNotOptimize(zentor::TextToReal(request));
    ++i;
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_TextToReal8)->Name("TextToReal8");

}  // namespace

BENCHMARK_MAIN();
