// The block readers against the plain byte-at-a-time state machine and the
// whole-buffer reading, on random and adversarial texts long enough for the
// blocks to be used, cut at every offset or at random places, with and
// without frames (the validation reading takes its own path).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "reference_sample_text.h"
#include "sample_text.h"
#include "scalar_sample_text.h"

namespace {

const char* const kReaderNames[] = {"none", "portable", "sse2", "avx2", "avx512", "vbmi2"};

std::vector<int> supportedReaders() {
  std::vector<int> readers;
  for (int r = kBlockReaderNone; r <= kBlockReaderVbmi2; ++r) {
    if (selectSampleBlockReader(r) == r) readers.push_back(r);
  }
  selectSampleBlockReader(-1);
  return readers;
}

// Restores the automatic choice when a test ends.
struct ReaderChoice {
  explicit ReaderChoice(int reader) { EXPECT_EQ(selectSampleBlockReader(reader), reader); }
  ~ReaderChoice() { selectSampleBlockReader(-1); }
};

struct Outcome {
  std::vector<std::uint64_t> pairsAfter;  // the pair count after each slice
  std::vector<bool> endedAfter;           // whether the scan had ended after each slice
  std::string frames;
  bool outOfRange;
};

// Scans `text` in slices ending at `cuts` (ascending) and at its end.
Outcome scanProduct(const std::string& text, const std::vector<size_t>& cuts, bool withFrames) {
  SampleScanner scanner;
  startSampleScan(&scanner);
  Outcome o;
  std::vector<unsigned char> buffer;
  size_t from = 0;
  std::vector<size_t> ends = cuts;
  ends.push_back(text.size());
  for (size_t to : ends) {
    if (!sampleScanEnded(&scanner)) {
      buffer.assign(sampleFrameCapacity(to - from), 0);
      const size_t n = scanSampleText(&scanner, reinterpret_cast<const unsigned char*>(text.data()) + from, to - from,
                                      withFrames ? buffer.data() : nullptr);
      if (withFrames) {
        o.frames.append(reinterpret_cast<const char*>(buffer.data()), n);
      } else {
        EXPECT_EQ(n, 0u);
      }
    }
    o.pairsAfter.push_back(scanner.pairs);
    o.endedAfter.push_back(sampleScanEnded(&scanner));
    from = to;
  }
  unsigned char last[4];
  const size_t n = finishSampleScan(&scanner, withFrames ? last : nullptr);
  o.frames.append(reinterpret_cast<const char*>(last), withFrames ? n : 0);
  o.pairsAfter.push_back(scanner.pairs);
  o.outOfRange = scanner.outOfRange != 0;
  return o;
}

Outcome scanScalar(const std::string& text, const std::vector<size_t>& cuts) {
  ScalarSampleScanner scanner;
  startScalarSampleScan(&scanner);
  Outcome o;
  std::vector<unsigned char> buffer;
  size_t from = 0;
  std::vector<size_t> ends = cuts;
  ends.push_back(text.size());
  for (size_t to : ends) {
    if (scanner.state != kScalarScanEnded) {
      buffer.assign(to - from + 8, 0);
      const size_t n = scanScalarSampleText(&scanner, reinterpret_cast<const unsigned char*>(text.data()) + from,
                                            to - from, buffer.data());
      o.frames.append(reinterpret_cast<const char*>(buffer.data()), n);
    }
    o.pairsAfter.push_back(scanner.pairs);
    o.endedAfter.push_back(scanner.state == kScalarScanEnded);
    from = to;
  }
  unsigned char last[4];
  const size_t n = finishScalarSampleScan(&scanner, last);
  o.frames.append(reinterpret_cast<const char*>(last), n);
  o.pairsAfter.push_back(scanner.pairs);
  o.outOfRange = scanner.outOfRange != 0;
  return o;
}

// Checks both readings of the product scanner (with and without frames)
// against the state machine, slice by slice, and the whole result against
// the whole-buffer reading.
void expectSameReading(const std::string& text, const std::vector<size_t>& cuts) {
  const Outcome expected = scanScalar(text, cuts);
  const ReferenceReading plain = referenceReadSampleText(reinterpret_cast<const unsigned char*>(text.data()), text.size());
  ASSERT_EQ(expected.pairsAfter.back(), plain.pairs) << testing::PrintToString(text);
  ASSERT_EQ(expected.outOfRange, plain.outOfRange) << testing::PrintToString(text);
  ASSERT_EQ(expected.frames, plain.frames) << testing::PrintToString(text);
  for (bool withFrames : {false, true}) {
    const Outcome got = scanProduct(text, cuts, withFrames);
    ASSERT_EQ(got.outOfRange, expected.outOfRange) << (withFrames ? "frames " : "count ") << testing::PrintToString(text);
    ASSERT_EQ(got.pairsAfter, expected.pairsAfter) << (withFrames ? "frames " : "count ") << testing::PrintToString(text);
    ASSERT_EQ(got.endedAfter, expected.endedAfter) << (withFrames ? "frames " : "count ") << testing::PrintToString(text);
    if (withFrames) {
      ASSERT_EQ(got.frames, expected.frames) << testing::PrintToString(text);
    }
  }
}

std::string digits(std::mt19937_64* rng, size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += static_cast<char>('0' + (*rng)() % 10);
  return s;
}

// A value: mostly in range, with optional sign and leading zeros; now and
// then one near a limit of the 16-bit range, the 32-bit reduction or the
// 64-bit magnitude, or a long run of digits.
std::string randomValue(std::mt19937_64* rng) {
  static const char* const kInRange[] = {
      "32767", "-32768", "4294967295", "4294967296", "-4294967295", "4294934528", "4295000063", "-4295000063",
      "9223372036854775808", "18446744073709551615", "-18446744073709551615", "4294967296000000000",
      "0000000000000000000032767", "12884901888", "17179836416"};
  static const char* const kOutOfRange[] = {
      "32768", "-32769", "2147483647", "2147483648", "-2147483648", "4294934527", "4295000064",
      "9223372036854775807", "18446744073709551616", "99999999", "100000000", "9999999999999999"};
  const unsigned kind = static_cast<unsigned>((*rng)() % 1000);
  std::string v;
  if (kind < 40) return kInRange[(*rng)() % (sizeof kInRange / sizeof kInRange[0])];
  if (kind < 42) return kOutOfRange[(*rng)() % (sizeof kOutOfRange / sizeof kOutOfRange[0])];
  if (kind < 44) return digits(rng, 17 + (*rng)() % 80);
  const int sample = static_cast<int>((*rng)() % 65536) - 32768;
  if (sample < 0) {
    v += "-";
  } else if (kind < 150) {
    v += "+";
  }
  if (kind >= 150 && kind < 250) v += std::string((*rng)() % 30, '0');
  v += std::to_string(sample < 0 ? -sample : sample);
  return v;
}

std::string randomSeparator(std::mt19937_64* rng) {
  static const char* const kSeparators[] = {" ", "\n", "\r\n", "\t", "  ", "\r\n\r\n", "\v", "\f", " \r\n"};
  const unsigned kind = static_cast<unsigned>((*rng)() % 1000);
  if (kind < 30) return std::string(60 + (*rng)() % 100, " \n\t"[(*rng)() % 3]);  // a long run
  if (kind < 50) return std::string(1 + (*rng)() % 4, '\r') + "\n";               // a CR run
  if (kind < 51) return "";  // none: the next value joins if it starts with a digit
  return kSeparators[(*rng)() % (sizeof kSeparators / sizeof kSeparators[0])];
}

// A long text of values and separators, with now and then a CR inside a
// value or after a sign, a lone CR, Ctrl-Z, or a byte that ends the data.
std::string randomText(std::mt19937_64* rng, size_t size, unsigned oddPermille) {
  static const char* const kOdd[] = {"\r", "\x1a", "x", ".", "\xff", "-", "+", "+-", "\r\r", "-\r", "\x80"};
  std::string text;
  while (text.size() < size) {
    std::string v = randomValue(rng);
    if ((*rng)() % 1000 < oddPermille) {
      const size_t at = (*rng)() % (v.size() + 1);
      v.insert(at, kOdd[(*rng)() % (sizeof kOdd / sizeof kOdd[0])]);
    }
    text += v;
    text += randomSeparator(rng);
  }
  return text;
}

TEST(BlockReaders, AgreeOnRandomTextsCutAnywhere) {
  for (int reader : supportedReaders()) {
    SCOPED_TRACE(kReaderNames[reader]);
    ReaderChoice choice(reader);
    std::mt19937_64 rng(2024);
    for (int round = 0; round < 1000; ++round) {
      const std::string text = randomText(&rng, 100 + rng() % 3000, round % 2 == 0 ? 0 : 5);
      std::vector<size_t> cuts;
      const size_t slices = rng() % 6;
      for (size_t k = 0; k < slices; ++k) cuts.push_back(rng() % (text.size() + 1));
      std::sort(cuts.begin(), cuts.end());
      expectSameReading(text, cuts);
      if (HasFatalFailure()) return;
    }
  }
}

// Texts of a few blocks, each cut once at every offset: every value, CR and
// sign meets the end of a slice.
TEST(BlockReaders, AgreeAtEveryCut) {
  std::mt19937_64 rng(77);
  std::vector<std::string> texts;
  for (int k = 0; k < 12; ++k) texts.push_back(randomText(&rng, 150 + rng() % 150, k % 3 == 0 ? 0 : 20));
  texts.push_back(std::string(100, ' ') + "1\r2 -\r3" + std::string(80, '\n') + "+4 5\x1a" "6 7");
  texts.push_back(std::string(70, '0') + "32767 -" + std::string(75, '0') + "32768 " + std::string(200, '9') + " 1");
  texts.push_back(std::string(90, '\r') + "12\r\r\n34\r\n" + std::string(64, '\r') + "\n56 78");
  texts.push_back(std::string(60, ' ') + "1\r-2 3\r\r+4 5\r\r\r\r\r6 -\r7 8\r\r9 10 \r\r-11\r\r\r\n12 " + std::string(60, '\t'));
  texts.push_back(std::string(50, ' ') + "0000000000000000000000000000000000000000001 -00000000000000000000000018446744073709551615 " +
                  "1844674407370955161 99999999999999999999 " + std::string(20, ' '));
  for (int reader : supportedReaders()) {
    SCOPED_TRACE(kReaderNames[reader]);
    ReaderChoice choice(reader);
    for (const std::string& text : texts) {
      for (size_t cut = 0; cut <= text.size(); ++cut) {
        expectSameReading(text, {cut});
        if (HasFatalFailure()) return;
      }
    }
  }
}

// Every limit value at every position of a block: the last bytes of a
// block, the byte before a CR, the digits a block boundary splits.
TEST(BlockReaders, LimitsAtEveryBlockPosition) {
  static const char* const kValues[] = {"32767", "-32768", "32768", "-32769", "4294967295", "4294934528",
                                        "4294934527", "18446744073709551615", "18446744073709551616",
                                        "9223372036854775808", "0000032767", "-0000032768", "00000032768",
                                        "+32767", "12345678", "123456789", "1234567890123456", "12345678901234567"};
  for (int reader : supportedReaders()) {
    SCOPED_TRACE(kReaderNames[reader]);
    ReaderChoice choice(reader);
    for (const char* value : kValues) {
      for (size_t pad = 0; pad < 70; ++pad) {
        for (const char* after : {" 7\n", "\r\n7 8 ", "\r7 8", "-7 8"}) {
          const std::string text = "1 2 " + std::string(pad, ' ') + "3 " + value + after + std::string(80, ' ') + "5 6";
          expectSameReading(text, {});
          if (HasFatalFailure()) return;
        }
      }
    }
  }
}

TEST(BlockReaders, ReadThePairsOfALongText) {
  // 40,000 in-range pairs: the block reader does nearly all the reading.
  std::mt19937_64 rng(5);
  std::string text;
  std::vector<int> values;
  for (int k = 0; k < 80000; ++k) {
    values.push_back(static_cast<int>(rng() % 65536) - 32768);
    text += std::to_string(values.back()) + (k % 2 == 0 ? " " : "\r\n");
  }
  for (int reader : supportedReaders()) {
    SCOPED_TRACE(kReaderNames[reader]);
    ReaderChoice choice(reader);
    const Outcome got = scanProduct(text, {65536, 131072}, true);
    ASSERT_EQ(got.pairsAfter.back(), 40000u);
    ASSERT_EQ(got.frames.size(), 160000u);
    for (size_t k = 0; k < values.size(); ++k) {
      const auto* p = reinterpret_cast<const unsigned char*>(got.frames.data()) + 2 * k;
      ASSERT_EQ(static_cast<std::int16_t>(p[0] | p[1] << 8), values[k]) << "value " << k;
    }
  }
}

TEST(BlockReaders, UnsupportedReaderIsRefused) {
  EXPECT_EQ(selectSampleBlockReader(kBlockReaderVbmi2 + 1), -1);
  EXPECT_GE(selectSampleBlockReader(-1), kBlockReaderPortable);
}

}  // namespace
