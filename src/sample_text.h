// The sample text: pairs of decimal integers (left, right) separated by
// white space, read as C's formatted input reads "%d %d", under the text-mode
// rule of the original Windows tool (CR bytes dropped, 0x1A ends the input).
//
// The scanner below works on memory buffers fed in any slicing, so both
// passes over a file, and the tests, use the same code.
#pragma once

#include <cstddef>
#include <cstdint>

// The most pairs a WAV file can describe: its RIFF size field holds
// 4 * pairs + 36 in 32 bits unsigned.
constexpr std::uint64_t kMaxSamplePairs = 1073741814;

// Bytes of one stereo frame, as the scanner writes it: left then right,
// each signed 16-bit little-endian.
constexpr std::size_t kFrameBytes = 4;

// Bytes the passes read from the input at a time.
constexpr std::size_t kSampleChunkBytes = 64 * 1024;

// The buffer both passes read the input into. They run one after the
// other, so they share it, and the memory the program touches stays the
// same whatever the size of the input.
extern unsigned char gSampleChunk[kSampleChunkBytes];

// countSamplePairs' result when the data hold more pairs than a WAV file can.
constexpr int kTooManySamplePairs = -2;

// Where the scanner stands in the text.
enum SampleScanState : unsigned char {
  kScanBeforeValue,  // skipping white space before a value
  kScanAfterSign,    // a sign was read; a digit must follow
  kScanInDigits,     // reading the digits of a value
  kScanEnded,        // the data have ended: nothing after is examined
};

// The whole state of a scan: fixed size, however long the input.
struct SampleScanner {
  std::uint64_t pairs;       // complete pairs read so far
  std::uint64_t magnitude;   // digits of the value being read (valid while !tooLong)
  std::uint32_t firstValue;  // the pair's first value, reduced modulo 2^32
  unsigned char state;       // a SampleScanState
  unsigned char negative;    // the value being read has a '-' sign
  unsigned char tooLong;     // the value being read has a magnitude of 2^64 or more
  unsigned char haveFirst;   // firstValue holds the first value of an unfinished pair
  unsigned char firstBad;    // that first value's magnitude was 2^64 or more
  unsigned char outOfRange;  // a complete pair held a value outside -32768..32767
};

void startSampleScan(SampleScanner* scanner);

// Upper bound of the frame bytes that one call of scanSampleText over
// `size` input bytes can write.
constexpr std::size_t sampleFrameCapacity(std::size_t size) { return size + 8; }

// Reads the next `size` raw input bytes. For each complete pair whose values
// are both in range, adds one to `pairs` and, when `frames` is not null,
// writes its 4-byte frame there. Stops at the end of the data, or at the
// first pair with a value out of range (setting `outOfRange`). Returns the
// number of frame bytes written.
std::size_t scanSampleText(SampleScanner* scanner, const unsigned char* data, std::size_t size,
                           unsigned char* frames);

// How scanSampleText reads the text between values: by the byte-at-a-time
// state machine alone, or 64 bytes at a time by one of the block readers.
// All read exactly alike; they differ in speed and in what the processor
// must have.
enum SampleBlockReader {
  kBlockReaderNone,      // the state machine only
  kBlockReaderPortable,  // plain code
  kBlockReaderSse2,      // SSE2 (every x86-64 processor)
  kBlockReaderAvx2,      // AVX2, BMI1/2, POPCNT (checked at run time)
  kBlockReaderAvx512,    // AVX-512BW as well (checked at run time)
  kBlockReaderVbmi2,     // AVX-512 VL, VBMI and VBMI2 as well (checked at run time)
};

// Makes the scanner use `reader` (a SampleBlockReader), or the best one the
// processor supports when `reader` is -1, which is also what it does on its
// own. Returns the reader now in use, or -1 (and changes nothing) when this
// build or processor cannot run `reader`.
int selectSampleBlockReader(int reader);

// The input has ended: a value in progress is complete. Returns the frame
// bytes written to `frames` (0 or 4; `frames` may be null).
std::size_t finishSampleScan(SampleScanner* scanner, unsigned char* frames);

// Whether the scan needs no more input.
inline bool sampleScanEnded(const SampleScanner* scanner) { return scanner->state == kScanEnded; }

// The validation result of a finished scan: the pair count, -1 if a value
// was out of range, kTooManySamplePairs past kMaxSamplePairs.
int samplePairResult(const SampleScanner* scanner);

// The validation pass: opens `path`, reads it to the end of the data and
// checks every value. Returns the number of pairs (0 or more), -1 when the
// file cannot be opened or read or a value is out of range (open and read
// failures print their message to standard error), or kTooManySamplePairs.
int countSamplePairs(const char* path);
