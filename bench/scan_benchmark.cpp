// Micro-benchmarks of the sample-text scanner on texts in memory: the
// validation reading (no frames) and the conversion reading (frames), for
// each block reader this processor can run, in the 64 KiB slices the passes
// use. Throughput is bytes of text per second.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "sample_text.h"

namespace {

std::uint64_t nextRandom(std::uint64_t* state) {
  std::uint64_t z = (*state += 0x9E3779B97F4A7C15u);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  return z ^ (z >> 31);
}

int randomSample(std::uint64_t* state) { return static_cast<int>(nextRandom(state) & 0xFFFF) - 32768; }

enum TextKind { kPairsLf, kPairsCrLf, kWhiteSpace, kLeadingZeros, kLongValues };

// About 8 MiB of one kind of text, the same on every run.
const std::string& text(int kind) {
  static std::string texts[5];
  std::string& t = texts[kind];
  if (!t.empty()) return t;
  std::uint64_t state = 7;
  char value[64];
  while (t.size() < (8u << 20)) {
    switch (kind) {
      case kPairsLf:
      case kPairsCrLf:
        std::snprintf(value, sizeof value, "%d %d%s", randomSample(&state), randomSample(&state),
                      kind == kPairsLf ? "\n" : "\r\n");
        t += value;
        break;
      case kWhiteSpace:
        t += std::to_string(randomSample(&state));
        t += std::string(1 + nextRandom(&state) % 200, ' ');
        t += '\n';
        break;
      case kLeadingZeros:
        t += std::string(nextRandom(&state) % 40, '0');
        t += std::to_string(nextRandom(&state) % 32768);
        t += '\n';
        break;
      case kLongValues:
        // 2^32 + v reads as v: eleven digits and more.
        std::snprintf(value, sizeof value, "%llu\n",
                      static_cast<unsigned long long>(((nextRandom(&state) % 1000 + 1) << 32) + nextRandom(&state) % 32768));
        t += value;
        break;
    }
  }
  return t;
}

void scanText(benchmark::State& state, int reader, int kind, bool withFrames) {
  if (selectSampleBlockReader(reader) != reader) {
    state.SkipWithError("this processor cannot run the reader");
    return;
  }
  const std::string& t = text(kind);
  const auto* data = reinterpret_cast<const unsigned char*>(t.data());
  std::vector<unsigned char> frames(sampleFrameCapacity(kSampleChunkBytes));
  for (auto _ : state) {
    SampleScanner scanner;
    startSampleScan(&scanner);
    for (std::size_t at = 0; at < t.size() && !sampleScanEnded(&scanner); at += kSampleChunkBytes) {
      const std::size_t size = t.size() - at < kSampleChunkBytes ? t.size() - at : kSampleChunkBytes;
      benchmark::DoNotOptimize(
          scanSampleText(&scanner, data + at, size, withFrames ? frames.data() : nullptr));
    }
    finishSampleScan(&scanner, nullptr);
    benchmark::DoNotOptimize(scanner.pairs);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(t.size()));
  selectSampleBlockReader(-1);
}

const char* const kReaderNames[] = {"none", "portable", "sse2", "avx2", "avx512", "vbmi2"};
const char* const kKindNames[] = {"pairs_lf", "pairs_crlf", "white_space", "leading_zeros", "long_values"};

bool registerAll() {
  for (int reader = kBlockReaderNone; reader <= kBlockReaderVbmi2; ++reader) {
    if (selectSampleBlockReader(reader) != reader) continue;
    for (int kind = kPairsLf; kind <= kLongValues; ++kind) {
      for (bool withFrames : {false, true}) {
        const std::string name = std::string(withFrames ? "convert/" : "validate/") + kReaderNames[reader] + "/" +
                                 kKindNames[kind];
        benchmark::RegisterBenchmark(name.c_str(), scanText, reader, kind, withFrames);
      }
    }
  }
  selectSampleBlockReader(-1);
  return true;
}

const bool kRegistered = registerAll();

}  // namespace

BENCHMARK_MAIN();
