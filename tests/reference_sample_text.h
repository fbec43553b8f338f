// A second, deliberately plain reading of the sample text, written apart
// from the program's scanner so the two can be checked against each other:
// it first applies the text-mode rule to the whole buffer, then reads values
// the way "%d %d" does, one index at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct ReferenceReading {
  std::uint64_t pairs;  // complete pairs in range before the end of the data
  bool outOfRange;      // a complete pair held a value out of range (reading stopped there)
  std::string frames;   // 4 bytes per pair: left, right, signed 16-bit little-endian
};

ReferenceReading referenceReadSampleText(const unsigned char* data, std::size_t size);
