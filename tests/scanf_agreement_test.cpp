// The scanner against the C library's own formatted input: on random texts
// whose magnitudes stay below 2^63 (where glibc's "%d" still reduces modulo
// 2^32 rather than saturating), the pairs the scanner reads are those that
// sscanf with "%d %d" reads, pair after pair, from the same bytes once the
// CR bytes are removed and the text is cut at the first 0x1A.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "sample_text.h"

namespace {

std::string randomValue(std::mt19937_64* rng) {
  std::uint64_t magnitude;
  const unsigned kind = (*rng)() % 10;
  if (kind < 7) {
    magnitude = (*rng)() % 40000;  // mostly in range, sometimes just out
  } else if (kind < 9) {
    magnitude = ((*rng)() % (UINT64_C(1) << 31)) << 32 | (*rng)() % 40000;  // reduces into range or not
  } else {
    magnitude = (*rng)() >> 1;  // anything below 2^63
  }
  std::string text = (*rng)() % 3 == 0 ? "-" : (*rng)() % 5 == 0 ? "+" : "";
  text += std::string((*rng)() % 8 == 0 ? (*rng)() % 30 : 0, '0');
  return text + std::to_string(magnitude);
}

std::string randomText(std::mt19937_64* rng) {
  static const char* const separators[] = {" ", "\n", "\t", "\v", "\f", "\r\n", "  \r ", "\r", ""};
  static const char* const rare[] = {"\x1a", "x", ".", "-", "+", "\xff", "+-"};
  std::string text;
  const int values = static_cast<int>((*rng)() % 40);
  for (int i = 0; i < values; ++i) {
    const std::string value = randomValue(rng);
    std::string separator = separators[(*rng)() % (sizeof separators / sizeof separators[0])];
    // Digits must not run on into the previous value's once CRs are gone:
    // that would make magnitudes of 2^63 and more.
    if ((separator == "" || separator == "\r") && value[0] >= '0' && value[0] <= '9') separator += ' ';
    text += separator;
    if ((*rng)() % 60 == 0) text += rare[(*rng)() % (sizeof rare / sizeof rare[0])];
    text += value;
  }
  return text;
}

// The C library's reading, with the stop at the first pair out of range.
void readWithSscanf(const std::string& raw, std::string* frames, std::uint64_t* pairs, bool* outOfRange) {
  std::string text;
  for (char c : raw) {
    if (c == '\x1a') break;
    if (c != '\r') text += c;
  }
  frames->clear();
  *pairs = 0;
  *outOfRange = false;
  const char* at = text.c_str();
  int left = 0, right = 0, used = 0;
  while (std::sscanf(at, "%d %d%n", &left, &right, &used) == 2) {
    at += used;
    if (left < -32768 || left > 32767 || right < -32768 || right > 32767) {
      *outOfRange = true;
      return;
    }
    ++*pairs;
    const unsigned char frame[4] = {static_cast<unsigned char>(left), static_cast<unsigned char>(left >> 8),
                                    static_cast<unsigned char>(right), static_cast<unsigned char>(right >> 8)};
    frames->append(reinterpret_cast<const char*>(frame), 4);
  }
}

TEST(SampleText, AgreesWithTheCLibrarysFormattedInput) {
  std::mt19937_64 rng(20261211);
  std::uint64_t totalPairs = 0;
  int rejected = 0;
  for (int round = 0; round < 20000; ++round) {
    const std::string text = randomText(&rng);
    std::string expectedFrames;
    std::uint64_t expectedPairs;
    bool expectedOutOfRange;
    readWithSscanf(text, &expectedFrames, &expectedPairs, &expectedOutOfRange);

    SampleScanner scanner;
    startSampleScan(&scanner);
    std::string frames(sampleFrameCapacity(text.size()) + kFrameBytes, '\0');
    auto* out = reinterpret_cast<unsigned char*>(frames.data());
    std::size_t n = scanSampleText(&scanner, reinterpret_cast<const unsigned char*>(text.data()), text.size(), out);
    n += finishSampleScan(&scanner, out + n);
    frames.resize(n);

    ASSERT_EQ(scanner.outOfRange != 0, expectedOutOfRange) << testing::PrintToString(text);
    ASSERT_EQ(scanner.pairs, expectedPairs) << testing::PrintToString(text);
    ASSERT_EQ(frames, expectedFrames) << testing::PrintToString(text);
    totalPairs += expectedPairs;
    rejected += expectedOutOfRange;
  }
  // The texts exercise both outcomes, not just the first value of each.
  EXPECT_GT(totalPairs, 20000u);
  EXPECT_GT(rejected, 1000);
  EXPECT_LT(rejected, 19000);
}

}  // namespace
