#include "scalar_sample_text.h"

namespace {

constexpr unsigned char kCarriageReturn = 0x0D;
constexpr unsigned char kEndOfText = 0x1A;  // Ctrl-Z

// The C locale's white space: blank, \t, \n, \v, \f, \r.
inline bool isWhiteSpace(unsigned c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
inline bool isDigit(unsigned c) { return c - '0' < 10u; }

// A value reduced modulo 2^32 is in range when, read as a signed 32-bit
// number, it lies in -32768..32767.
inline bool inSampleRange(std::uint32_t value) { return value + 32768u <= 65535u; }

inline void startValue(ScalarSampleScanner* s, bool negative) {
  s->negative = negative;
  s->magnitude = 0;
  s->tooLong = 0;
}

inline void addDigit(ScalarSampleScanner* s, unsigned digit) {
  if (s->tooLong) return;
  if (s->magnitude > (UINT64_MAX - digit) / 10) {
    s->tooLong = 1;
    return;
  }
  s->magnitude = s->magnitude * 10 + digit;
}

// A value has been read. Returns the frame bytes written (0 or 4).
std::size_t completeValue(ScalarSampleScanner* s, unsigned char* frames) {
  // The low 32 bits as two's complement, with the sign applied.
  std::uint32_t value = static_cast<std::uint32_t>(s->magnitude);
  if (s->negative) value = 0u - value;
  s->state = kScalarScanBeforeValue;
  if (!s->haveFirst) {
    s->firstValue = value;
    s->firstBad = s->tooLong;
    s->haveFirst = 1;
    return 0;
  }
  s->haveFirst = 0;
  if (s->firstBad || s->tooLong || !inSampleRange(s->firstValue) || !inSampleRange(value)) {
    s->outOfRange = 1;
    s->state = kScalarScanEnded;
    return 0;
  }
  ++s->pairs;
  if (frames == nullptr) return 0;
  frames[0] = static_cast<unsigned char>(s->firstValue);
  frames[1] = static_cast<unsigned char>(s->firstValue >> 8);
  frames[2] = static_cast<unsigned char>(value);
  frames[3] = static_cast<unsigned char>(value >> 8);
  return 4;
}

}  // namespace

void startScalarSampleScan(ScalarSampleScanner* scanner) {
  scanner->pairs = 0;
  scanner->magnitude = 0;
  scanner->firstValue = 0;
  scanner->state = kScalarScanBeforeValue;
  scanner->negative = 0;
  scanner->tooLong = 0;
  scanner->haveFirst = 0;
  scanner->firstBad = 0;
  scanner->outOfRange = 0;
}

std::size_t scanScalarSampleText(ScalarSampleScanner* s, const unsigned char* data, std::size_t size,
                           unsigned char* frames) {
  std::size_t written = 0;
  for (std::size_t i = 0; i < size && s->state != kScalarScanEnded; ++i) {
    unsigned c = data[i];
    if (c == kCarriageReturn) continue;  // dropped wherever it stands, as Windows text mode does
    if (c == kEndOfText) {                // the input ends here, as in Windows text mode
      written += finishScalarSampleScan(s, frames == nullptr ? nullptr : frames + written);
      break;
    }
    if (s->state == kScalarScanInDigits) {
      if (isDigit(c)) {
        addDigit(s, c - '0');
        continue;
      }
      // The character after the digits stays in the input for the next read.
      written += completeValue(s, frames == nullptr ? nullptr : frames + written);
      if (s->state == kScalarScanEnded) break;
    }
    if (s->state == kScalarScanBeforeValue) {
      if (isWhiteSpace(c)) continue;
      if (c == '+' || c == '-') {
        startValue(s, c == '-');
        s->state = kScalarScanAfterSign;
      } else if (isDigit(c)) {
        startValue(s, false);
        addDigit(s, c - '0');
        s->state = kScalarScanInDigits;
      } else {
        s->state = kScalarScanEnded;  // a character that cannot start a value
      }
    } else {  // kScalarScanAfterSign
      if (isDigit(c)) {
        addDigit(s, c - '0');
        s->state = kScalarScanInDigits;
      } else {
        s->state = kScalarScanEnded;  // a sign must be followed by a digit
      }
    }
  }
  return written;
}

std::size_t finishScalarSampleScan(ScalarSampleScanner* scanner, unsigned char* frames) {
  std::size_t written = 0;
  if (scanner->state == kScalarScanInDigits) written = completeValue(scanner, frames);
  scanner->state = kScalarScanEnded;
  return written;
}
