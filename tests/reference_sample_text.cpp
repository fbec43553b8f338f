#include "reference_sample_text.h"

namespace {

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// One "%d": skips white space, reads an optional sign and digits. Returns
// false when no value could be read. `valid` is false for a magnitude of
// 2^64 or more; otherwise `value` is the value reduced modulo 2^32.
bool readValue(const std::string& text, std::size_t* pos, std::uint32_t* value, bool* valid) {
  std::size_t i = *pos;
  while (i < text.size() && isSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i >= text.size() || !isDigit(text[i])) return false;
  unsigned __int128 magnitude = 0;
  bool tooLong = false;
  for (; i < text.size() && isDigit(text[i]); ++i) {
    magnitude = magnitude * 10 + static_cast<unsigned>(text[i] - '0');
    if (magnitude >> 64) tooLong = true, magnitude = 0;
  }
  *pos = i;
  *valid = !tooLong;
  std::uint32_t low = static_cast<std::uint32_t>(magnitude);
  *value = negative ? 0u - low : low;
  return true;
}

bool inRange(std::uint32_t v) {
  const std::int64_t s = v >= 0x80000000u ? static_cast<std::int64_t>(v) - 0x100000000LL : v;
  return s >= -32768 && s <= 32767;
}

}  // namespace

ReferenceReading referenceReadSampleText(const unsigned char* data, std::size_t size) {
  std::string text;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0x1A) break;
    if (data[i] != '\r') text += static_cast<char>(data[i]);
  }
  ReferenceReading reading{0, false, ""};
  std::size_t pos = 0;
  for (;;) {
    std::uint32_t left = 0, right = 0;
    bool leftValid = false, rightValid = false;
    if (!readValue(text, &pos, &left, &leftValid)) break;
    if (!readValue(text, &pos, &right, &rightValid)) break;
    if (!leftValid || !rightValid || !inRange(left) || !inRange(right)) {
      reading.outOfRange = true;
      break;
    }
    ++reading.pairs;
    const unsigned char frame[4] = {static_cast<unsigned char>(left), static_cast<unsigned char>(left >> 8),
                                    static_cast<unsigned char>(right), static_cast<unsigned char>(right >> 8)};
    reading.frames.append(reinterpret_cast<const char*>(frame), 4);
  }
  return reading;
}
