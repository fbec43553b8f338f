// The sample-text scanner on byte strings: what "%d %d" reads under the
// text-mode rule, the 32-bit reduction of large values, the range check, and
// the same results however the bytes are sliced into chunks.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "reference_sample_text.h"
#include "sample_text.h"

namespace {

struct Pair {
  int left;
  int right;
  bool operator==(const Pair& o) const { return left == o.left && right == o.right; }
};

struct Scan {
  std::vector<Pair> pairs;  // decoded from the frames written
  std::uint64_t counted;
  bool outOfRange;
};

std::vector<Pair> decodeFrames(const std::vector<unsigned char>& frames) {
  std::vector<Pair> pairs;
  for (size_t i = 0; i + 4 <= frames.size(); i += 4) {
    auto s16 = [&](size_t at) { return static_cast<int>(static_cast<std::int16_t>(frames[at] | frames[at + 1] << 8)); };
    pairs.push_back({s16(i), s16(i + 2)});
  }
  return pairs;
}

// Feeds `text` to the scanner in slices starting at the given cut offsets.
Scan scanWithCuts(const std::string& text, const std::vector<size_t>& cuts) {
  SampleScanner scanner;
  startSampleScan(&scanner);
  std::vector<unsigned char> frames;
  size_t from = 0;
  std::vector<size_t> ends = cuts;
  ends.push_back(text.size());
  for (size_t to : ends) {
    if (to < from || sampleScanEnded(&scanner)) continue;
    const size_t size = to - from;
    std::vector<unsigned char> chunk(sampleFrameCapacity(size));
    const size_t n = scanSampleText(&scanner, reinterpret_cast<const unsigned char*>(text.data()) + from, size,
                                    chunk.data());
    EXPECT_LE(n, sampleFrameCapacity(size));
    frames.insert(frames.end(), chunk.begin(), chunk.begin() + static_cast<long>(n));
    from = to;
  }
  unsigned char last[4];
  const size_t n = finishSampleScan(&scanner, last);
  frames.insert(frames.end(), last, last + n);
  return {decodeFrames(frames), scanner.pairs, scanner.outOfRange != 0};
}

Scan scanWhole(const std::string& text) { return scanWithCuts(text, {}); }

struct Case {
  const char* name;
  std::string text;
  std::vector<Pair> pairs;  // the pairs read; ignored when outOfRange
  bool outOfRange;
};

std::string zeros(size_t n) { return std::string(n, '0'); }

const std::vector<Case>& cases() {
  static const std::vector<Case> all = {
      {"limits are one valid pair", "32767 -32768\n", {{32767, -32768}}, false},
      {"one above the range", "1 2\n32768 0\n", {}, true},
      {"one below the range", "0 -32769\n", {}, true},
      {"bad second pair rejects all", "1 2\n3 40000\n", {}, true},
      {"a word ends the data before a bad value", "1 2\nword\n3 40000\n", {{1, 2}}, false},
      {"a lone last value is ignored", "1 2 3\n", {{1, 2}}, false},
      {"a lone out-of-range value is ignored", "1 2 99999\n", {{1, 2}}, false},
      {"a value read up to a decimal point counts", "3 1.5\n", {{3, 1}}, false},
      {"letters right after a pair", "5 12abc\n", {{5, 12}}, false},
      {"letters right after the first value", "12abc\n", {}, false},
      {"comma between two values", "1,2\n", {}, false},
      {"a sign needs no blank before it", "1-2\n", {{1, -2}}, false},
      {"signs and leading zeros", "+0005 -0007\n", {{5, -7}}, false},
      {"minus zero and plus zero", "-0 +0", {{0, 0}}, false},
      {"white space of every kind", "\t1\v2\f\n 3  \r\n 4", {{1, 2}, {3, 4}}, false},
      {"pair across lines", "1\n2\n", {{1, 2}}, false},
      {"four values on a line", "1 2 3 4\n", {{1, 2}, {3, 4}}, false},
      {"CR LF lines", "1 2\r\n3 4\r\n", {{1, 2}, {3, 4}}, false},
      {"CR alone joins digits", "1 2\r3 4\r", {{1, 23}}, false},
      {"CR alone before a sign keeps values apart", "1 2\r-3 4\r", {{1, 2}, {-3, 4}}, false},
      {"CR inside a number", "1\r2 3", {{12, 3}}, false},
      {"CR between sign and digit", "-\r\r5 6", {{-5, 6}}, false},
      {"a run of CR", "\r\r\r7\r\r \r\r8\r\r", {{7, 8}}, false},
      {"Ctrl-Z after the first pair", std::string("1 2\x1a") + "3 4", {{1, 2}}, false},
      {"Ctrl-Z ends a value", std::string("1 12\x1a") + "34", {{1, 12}}, false},
      {"Ctrl-Z hides a bad value", std::string("1 2\x1a") + "99999 0", {{1, 2}}, false},
      {"Ctrl-Z first", std::string("\x1a") + "1 2", {}, false},
      {"UTF-8 byte-order mark", "\xEF\xBB\xBF" "1 2\n", {}, false},
      {"high byte is not white space", "1 2 \xA0 3 4", {{1, 2}}, false},
      {"empty input", "", {}, false},
      {"only white space", " \r\n\t", {}, false},
      {"sign followed by blank", "1 2 - 3 4", {{1, 2}}, false},
      {"two signs", "1 2 +-3 4", {{1, 2}}, false},
      {"sign at the end", "1 2 -", {{1, 2}}, false},
      {"2^32 - 1 reads as -1", "4294967295 1", {{-1, 1}}, false},
      {"2^32 reads as 0", "4294967296 7", {{0, 7}}, false},
      {"-(2^32 - 1) reads as 1", "-4294967295 0", {{1, 0}}, false},
      {"2^31 reads as -2^31", "2147483648 0", {}, true},
      {"2^31 + 32767 stays out of range", "0 2147516415", {}, true},
      {"2^32 - 32768 reads as -32768", "4294934528 0", {{-32768, 0}}, false},
      {"2^32 + 32767 reads as 32767", "4295000063 0", {{32767, 0}}, false},
      {"2^63 reads as 0", "9223372036854775808 1", {{0, 1}}, false},
      {"2^64 - 1 reads as -1", "18446744073709551615 1", {{-1, 1}}, false},
      {"-(2^64 - 1) reads as 1", "-18446744073709551615 1", {{1, 1}}, false},
      {"2^64 is out of range", "18446744073709551616 1", {}, true},
      {"2^64 as second value", "1 18446744073709551616", {}, true},
      {"far beyond 2^64", "1 2 3 " + std::string(400, '9'), {}, true},
      {"a lone value of 2^64 is ignored", "1 2 18446744073709551616", {{1, 2}}, false},
      {"2^64 - 1 spelled with leading zeros", zeros(40) + "18446744073709551615 " + zeros(30) + "3", {{-1, 3}}, false},
      {"long leading zeros", zeros(100000) + "5 -" + zeros(70000) + "6", {{5, -6}}, false},
  };
  return all;
}

TEST(SampleText, ReadsEveryCase) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    const Scan scan = scanWhole(c.text);
    EXPECT_EQ(scan.outOfRange, c.outOfRange);
    if (!c.outOfRange) {
      EXPECT_EQ(scan.pairs, c.pairs);
      EXPECT_EQ(scan.counted, c.pairs.size());
    }
  }
}

TEST(SampleText, ChunkBoundariesDoNotMatter) {
  for (const Case& c : cases()) {
    if (c.text.size() > 200) continue;  // the long ones are sliced below
    SCOPED_TRACE(c.name);
    const Scan whole = scanWhole(c.text);
    for (size_t cut = 0; cut <= c.text.size(); ++cut) {
      const Scan split = scanWithCuts(c.text, {cut});
      EXPECT_EQ(split.pairs, whole.pairs) << "cut at " << cut;
      EXPECT_EQ(split.outOfRange, whole.outOfRange) << "cut at " << cut;
    }
    std::vector<size_t> everyByte;
    for (size_t i = 1; i < c.text.size(); ++i) everyByte.push_back(i);
    const Scan bytes = scanWithCuts(c.text, everyByte);
    EXPECT_EQ(bytes.pairs, whole.pairs);
    EXPECT_EQ(bytes.outOfRange, whole.outOfRange);
  }
}

TEST(SampleText, LongValuesAcrossManyChunks) {
  for (const Case& c : cases()) {
    if (c.text.size() <= 200) continue;
    SCOPED_TRACE(c.name);
    const Scan whole = scanWhole(c.text);
    for (size_t step : {1u, 7u, 4096u}) {
      std::vector<size_t> cuts;
      for (size_t i = step; i < c.text.size(); i += step) cuts.push_back(i);
      const Scan split = scanWithCuts(c.text, cuts);
      EXPECT_EQ(split.pairs, whole.pairs) << "step " << step;
      EXPECT_EQ(split.outOfRange, whole.outOfRange) << "step " << step;
    }
  }
}

TEST(SampleText, FramesAreLittleEndianLeftThenRight) {
  SampleScanner scanner;
  startSampleScan(&scanner);
  const std::string text = "-32768 32767 1 -1";
  unsigned char frames[sampleFrameCapacity(17)];
  size_t n = scanSampleText(&scanner, reinterpret_cast<const unsigned char*>(text.data()), text.size(), frames);
  n += finishSampleScan(&scanner, frames + n);
  const std::vector<unsigned char> expected = {0x00, 0x80, 0xFF, 0x7F, 0x01, 0x00, 0xFF, 0xFF};
  EXPECT_EQ(std::vector<unsigned char>(frames, frames + n), expected);
}

TEST(SampleText, StopsReadingAtTheEndOfTheData) {
  SampleScanner scanner;
  startSampleScan(&scanner);
  const std::string text = "1 2 x";
  scanSampleText(&scanner, reinterpret_cast<const unsigned char*>(text.data()), text.size(), nullptr);
  EXPECT_TRUE(sampleScanEnded(&scanner));
}

TEST(SampleText, ResultForEveryPairCount) {
  SampleScanner scanner;
  startSampleScan(&scanner);
  EXPECT_EQ(samplePairResult(&scanner), 0);
  scanner.pairs = kMaxSamplePairs;  // 4 * pairs + 36 == 2^32 - 4: the largest WAV
  EXPECT_EQ(samplePairResult(&scanner), 1073741814);
  scanner.pairs = kMaxSamplePairs + 1;
  EXPECT_EQ(samplePairResult(&scanner), kTooManySamplePairs);
  scanner.pairs = UINT64_C(1) << 40;  // far past 2^32 pairs: no wrap to a small count
  EXPECT_EQ(samplePairResult(&scanner), kTooManySamplePairs);
  scanner.outOfRange = 1;  // invalid data wins over size
  EXPECT_EQ(samplePairResult(&scanner), -1);
}

TEST(SampleText, LargestCountStillFitsTheHeader) {
  EXPECT_LE(4 * kMaxSamplePairs + 36, UINT64_C(0xFFFFFFFF));
  EXPECT_GT(4 * (kMaxSamplePairs + 1) + 36, UINT64_C(0xFFFFFFFF));
}

}  // namespace

namespace {

// Random texts over the characters that matter, in runs that make long
// values, CR runs, signs in odd places and Ctrl-Z likely.
std::string randomText(std::mt19937_64* rng) {
  static const char* const pieces[] = {"0", "7", "32767", "32768", "-32768", "-32769", "4294967295", "4294967296",
                                       "2147483648", "18446744073709551615", "18446744073709551616", "000000",
                                       "9", " ", "  ", "\n", "\r\n", "\r", "\t", "-", "+", "\x1a", "x", ".", "\xff"};
  std::uniform_int_distribution<size_t> pick(0, sizeof pieces / sizeof pieces[0] - 1);
  std::uniform_int_distribution<int> length(0, 60);
  std::string text;
  const int n = length(*rng);
  for (int i = 0; i < n; ++i) {
    const size_t p = pick(*rng);
    // Keep the data going most of the time so that many pairs are read.
    if ((p >= 21 || p == 19 || p == 20) && (*rng)() % 4 != 0) {
      text += ' ';
      continue;
    }
    text += pieces[p];
  }
  return text;
}

TEST(SampleText, AgreesWithThePlainReading) {
  std::mt19937_64 rng(12345);
  for (int round = 0; round < 20000; ++round) {
    const std::string text = randomText(&rng);
    const ReferenceReading expected =
        referenceReadSampleText(reinterpret_cast<const unsigned char*>(text.data()), text.size());
    const size_t cut = text.empty() ? 0 : rng() % (text.size() + 1);
    SampleScanner scanner;
    startSampleScan(&scanner);
    std::string frames(sampleFrameCapacity(text.size()) + 8, '\0');
    auto* out = reinterpret_cast<unsigned char*>(frames.data());
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    size_t n = scanSampleText(&scanner, in, cut, out);
    if (!sampleScanEnded(&scanner)) n += scanSampleText(&scanner, in + cut, text.size() - cut, out + n);
    n += finishSampleScan(&scanner, out + n);
    frames.resize(n);
    ASSERT_EQ(scanner.outOfRange != 0, expected.outOfRange) << testing::PrintToString(text);
    ASSERT_EQ(scanner.pairs, expected.pairs) << testing::PrintToString(text);
    ASSERT_EQ(frames, expected.frames) << testing::PrintToString(text);
  }
}

}  // namespace
