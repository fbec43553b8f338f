// The byte-at-a-time state machine the product scanner grew from, kept
// as a second reading for the tests: it takes the same text in the same
// slices, and the fast scanner must agree with it on pairs, frames, range
// errors and where the data end.
#pragma once

#include <cstddef>
#include <cstdint>

enum ScalarScanState : unsigned char {
  kScalarScanBeforeValue,  // skipping white space before a value
  kScalarScanAfterSign,    // a sign was read; a digit must follow
  kScalarScanInDigits,     // reading the digits of a value
  kScalarScanEnded,        // the data have ended: nothing after is examined
};

struct ScalarSampleScanner {
  std::uint64_t pairs;       // complete pairs read so far
  std::uint64_t magnitude;   // digits of the value being read (valid while !tooLong)
  std::uint32_t firstValue;  // the pair's first value, reduced modulo 2^32
  unsigned char state;       // a ScalarScanState
  unsigned char negative;    // the value being read has a '-' sign
  unsigned char tooLong;     // the value being read has a magnitude of 2^64 or more
  unsigned char haveFirst;   // firstValue holds the first value of an unfinished pair
  unsigned char firstBad;    // that first value's magnitude was 2^64 or more
  unsigned char outOfRange;  // a complete pair held a value outside -32768..32767
};

void startScalarSampleScan(ScalarSampleScanner* scanner);

// Reads `size` more bytes; writes a 4-byte frame per good pair to `frames`
// (if not null) and returns the bytes written. Stops at the end of the data
// or at the first pair out of range.
std::size_t scanScalarSampleText(ScalarSampleScanner* scanner, const unsigned char* data, std::size_t size,
                                 unsigned char* frames);

// The input has ended: a value in progress is complete.
std::size_t finishScalarSampleScan(ScalarSampleScanner* scanner, unsigned char* frames);
