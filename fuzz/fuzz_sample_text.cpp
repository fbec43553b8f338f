// libFuzzer target: arbitrary bytes through the sample-text scanner, checked
// against the plain whole-buffer reading of the tests.
//
// The first byte of a fuzz input chooses how the rest is cut into chunks
// (a multiple of 64: one chunk), so that values, CR runs and Ctrl-Z fall on
// every kind of chunk boundary. Each chunk sits in a block of exactly its
// size, and the frames go to a block of exactly sampleFrameCapacity bytes,
// so that a read or write past either is caught by AddressSanitizer. The
// text is scanned twice, with frames (the conversion pass) and without (the
// validation pass), by each block reader the processor can run; all must
// agree with the reference on the pairs, the frames and the result.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "reference_sample_text.h"
#include "sample_text.h"

namespace {

int gReader = -1;  // the block reader under test

void check(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "fuzz_sample_text: %s (block reader %d)\n", what, gReader);
  std::abort();
}

struct Chunker {
  std::uint32_t state;
  std::uint32_t longest;  // chunks are 0..longest bytes; 0 means one chunk
};

std::size_t nextChunk(Chunker* c, std::size_t left) {
  if (c->longest == 0) return left;
  c->state ^= c->state << 13;
  c->state ^= c->state >> 17;
  c->state ^= c->state << 5;
  const std::size_t size = c->state % (c->longest + 1);
  return size < left ? size : left;
}

struct Scan {
  std::string frames;
  std::uint64_t pairs;
  bool outOfRange;
  int result;
};

void scanInChunks(const unsigned char* text, std::size_t size, unsigned char seed, bool withFrames, Scan* scan) {
  // Low six bits: the longest chunk; high two: its scale (x1, x4, x16, x64),
  // so that both byte-sized slices and whole 64-byte blocks come up.
  const std::uint32_t longest = (seed % 64u) << (seed / 64u * 2u);
  Chunker chunker = {0x9E3779B9u ^ seed ^ static_cast<std::uint32_t>(size), longest};
  SampleScanner scanner;
  startSampleScan(&scanner);
  scan->frames.clear();
  std::size_t at = 0;
  while (!sampleScanEnded(&scanner)) {
    const std::size_t n = nextChunk(&chunker, size - at);
    const bool last = at == size;
    unsigned char* chunk = static_cast<unsigned char*>(std::malloc(n));
    const std::size_t capacity = last ? kFrameBytes : sampleFrameCapacity(n);
    unsigned char* frames = withFrames ? static_cast<unsigned char*>(std::malloc(capacity)) : nullptr;
    if (n > 0) std::memcpy(chunk, text + at, n);
    const std::size_t written =
        last ? finishSampleScan(&scanner, frames) : scanSampleText(&scanner, chunk, n, frames);
    check(written <= capacity, "more frame bytes than sampleFrameCapacity allows");
    if (withFrames) scan->frames.append(reinterpret_cast<const char*>(frames), written);
    std::free(frames);
    std::free(chunk);
    at += n;
    if (last) break;
  }
  scan->pairs = scanner.pairs;
  scan->outOfRange = scanner.outOfRange != 0;
  scan->result = samplePairResult(&scanner);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const unsigned char seed = data[0];
  const unsigned char* text = data + 1;
  const std::size_t textSize = size - 1;

  const ReferenceReading expected = referenceReadSampleText(text, textSize);
  const int expectedResult = expected.outOfRange ? -1 : static_cast<int>(expected.pairs);

  // Every block reader this build and processor can run reads alike.
  for (gReader = kBlockReaderNone; gReader <= kBlockReaderVbmi2; ++gReader) {
    if (selectSampleBlockReader(gReader) != gReader) continue;
    Scan converted;
    scanInChunks(text, textSize, seed, true, &converted);
    check(converted.outOfRange == expected.outOfRange, "out-of-range differs (with frames)");
    check(converted.pairs == expected.pairs, "pair count differs (with frames)");
    check(converted.frames == expected.frames, "frames differ");
    check(converted.result == expectedResult, "result differs (with frames)");

    Scan validated;
    scanInChunks(text, textSize, seed, false, &validated);
    check(validated.outOfRange == expected.outOfRange, "out-of-range differs (without frames)");
    check(validated.pairs == expected.pairs, "pair count differs (without frames)");
    check(validated.result == expectedResult, "result differs (without frames)");
  }
  selectSampleBlockReader(-1);
  return 0;
}
