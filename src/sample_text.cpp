#include "sample_text.h"

#include <cstdio>
#include <cstring>

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
// AVX2 and AVX-512 readers, used when the processor has them (64-bit x86
// only: they use 64-bit bit-manipulation instructions).
#define ONDREL_X86_DISPATCH 1
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12's AVX-512 intrinsics start from _mm512_undefined_*() values, which
// its -Wmaybe-uninitialized reports inside the system headers.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "messages.h"
#include "platform.h"

namespace {

constexpr unsigned char kCarriageReturn = 0x0D;
constexpr unsigned char kEndOfText = 0x1A;  // Ctrl-Z

// The C locale's white space: blank, \t, \n, \v, \f, \r.
inline bool isWhiteSpace(unsigned c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
inline bool isDigit(unsigned c) { return c - '0' < 10u; }

// A value reduced modulo 2^32 is in range when, read as a signed 32-bit
// number, it lies in -32768..32767.
inline bool inSampleRange(std::uint32_t value) { return value + 32768u <= 65535u; }

inline void startValue(SampleScanner* s, bool negative) {
  s->negative = negative;
  s->magnitude = 0;
  s->tooLong = 0;
}

inline void addDigit(SampleScanner* s, unsigned digit) {
  if (s->tooLong) return;
  if (s->magnitude > (UINT64_MAX - digit) / 10) {
    s->tooLong = 1;
    return;
  }
  s->magnitude = s->magnitude * 10 + digit;
}

// A value has been read. Returns the frame bytes written (0 or 4).
std::size_t completeValue(SampleScanner* s, unsigned char* frames) {
  // The low 32 bits as two's complement, with the sign applied.
  std::uint32_t value = static_cast<std::uint32_t>(s->magnitude);
  if (s->negative) value = 0u - value;
  s->state = kScanBeforeValue;
  if (!s->haveFirst) {
    s->firstValue = value;
    s->firstBad = s->tooLong;
    s->haveFirst = 1;
    return 0;
  }
  s->haveFirst = 0;
  if (s->firstBad || s->tooLong || !inSampleRange(s->firstValue) || !inSampleRange(value)) {
    s->outOfRange = 1;
    s->state = kScanEnded;
    return 0;
  }
  ++s->pairs;
  if (frames == nullptr) return 0;
  frames[0] = static_cast<unsigned char>(s->firstValue);
  frames[1] = static_cast<unsigned char>(s->firstValue >> 8);
  frames[2] = static_cast<unsigned char>(value);
  frames[3] = static_cast<unsigned char>(value >> 8);
  return kFrameBytes;
}

}  // namespace

void startSampleScan(SampleScanner* scanner) {
  scanner->pairs = 0;
  scanner->magnitude = 0;
  scanner->firstValue = 0;
  scanner->state = kScanBeforeValue;
  scanner->negative = 0;
  scanner->tooLong = 0;
  scanner->haveFirst = 0;
  scanner->firstBad = 0;
  scanner->outOfRange = 0;
}

namespace {

// One byte of the plain state machine: the rule of the text read one
// character at a time. Returns the frame bytes written (0 or 4).
inline std::size_t stepSampleByte(SampleScanner* s, unsigned c, unsigned char* frames) {
  if (c == kCarriageReturn) return 0;  // dropped wherever it stands, as Windows text mode does
  if (c == kEndOfText) return finishSampleScan(s, frames);  // the input ends here, as in text mode
  std::size_t written = 0;
  if (s->state == kScanInDigits) {
    if (isDigit(c)) {
      addDigit(s, c - '0');
      return 0;
    }
    // The character after the digits stays in the input for the next read.
    written = completeValue(s, frames);
    if (s->state == kScanEnded) return written;
  }
  if (s->state == kScanBeforeValue) {
    if (isWhiteSpace(c)) return written;
    if (c == '+' || c == '-') {
      startValue(s, c == '-');
      s->state = kScanAfterSign;
    } else if (isDigit(c)) {
      startValue(s, false);
      addDigit(s, c - '0');
      s->state = kScanInDigits;
    } else {
      s->state = kScanEnded;  // a character that cannot start a value
    }
  } else {  // kScanAfterSign
    if (isDigit(c)) {
      addDigit(s, c - '0');
      s->state = kScanInDigits;
    } else {
      s->state = kScanEnded;  // a sign must be followed by a digit
    }
  }
  return written;
}

// ---------------------------------------------------------------------------
// The block reader. Between values, the text is taken 64 bytes at a time
// and classified into bit masks (bit k for byte k): digits, signs, white
// space other than CR, CR. A block whose bytes are all of these kinds, whose
// signs are followed by digits and whose CRs are followed (after at most
// three more CRs) by other white space or a sign reads exactly as the same
// bytes with every CR made a blank: dropping a CR there joins nothing. Its
// values are then found from the masks and converted eight digits at a
// time, without a branch per byte. Anything else (another byte, a CR before
// a digit, a longer CR run, Ctrl-Z, a value of more than 19 digits after its
// leading zeros or out of range) goes to the state machine above from the
// start of the value it touches, and the block reader takes over again once
// that value is complete.

constexpr std::size_t kBlockBytes = 64;
// The block reader looks at up to 8 bytes past a block (the digits of a
// value that starts near its end are loaded as 8-byte words).
constexpr std::size_t kBlockReach = kBlockBytes + 8;

struct BlockMasks {
  std::uint64_t digit;  // '0'..'9'
  std::uint64_t sign;   // '+', '-'
  std::uint64_t minus;  // '-'
  std::uint64_t low3;   // '0', '1', '2'
  std::uint64_t blank;  // ' ', \t, \n, \v, \f
  std::uint64_t cr;     // \r
};

inline bool isBlank(unsigned c) { return c == ' ' || (c >= '\t' && c <= '\f'); }

#if defined(__GNUC__)
#define ONDREL_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define ONDREL_ALWAYS_INLINE inline
#endif

// Block classifiers: the same masks by plain code, by SSE2 (part of every
// x86-64 processor), and by AVX2 and AVX-512BW where the processor has them
// (chosen at run time, see selectSampleBlockReader).

// Eight bytes as a little-endian word: the byte at p is the lowest.
inline std::uint64_t loadWord(const unsigned char* p) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
#else
  std::uint64_t v = 0;
  for (int k = 7; k >= 0; --k) v = v << 8 | p[k];
  return v;
#endif
}

// Plain code, eight bytes at a time in a 64-bit word (bytes compared in
// place, no carry from one to the next); the high bit of each byte of the
// result is its flag, and the eight flags are gathered by one multiply.
constexpr std::uint64_t kOnes = 0x0101010101010101u;
constexpr std::uint64_t kHighs = 0x8080808080808080u;
constexpr std::uint64_t kLows = 0x7F7F7F7F7F7F7F7Fu;

// Bytes below n (1..128).
inline std::uint64_t bytesBelow(std::uint64_t w, unsigned n) {
  return ~(((w & kLows) + (0x80u - n) * kOnes) | w) & kHighs;
}

// Bytes equal to c.
inline std::uint64_t bytesEqual(std::uint64_t w, unsigned c) {
  const std::uint64_t x = w ^ (c * kOnes);
  return ~(((x & kLows) + kLows) | x) & kHighs;
}

// The flags (high bits) of eight bytes as eight bits, the first byte lowest.
inline std::uint64_t gatherFlags(std::uint64_t flags) { return (flags >> 7) * 0x0102040810204080u >> 56; }

inline void classifyPortable(const unsigned char* p, BlockMasks* m) {
  m->digit = m->sign = m->minus = m->low3 = m->blank = m->cr = 0;
  for (unsigned at = 0; at < 64; at += 8) {
    const std::uint64_t w = loadWord(p + at);
    const std::uint64_t belowZero = bytesBelow(w, '0');
    const std::uint64_t minus = bytesEqual(w, '-');
    m->digit |= gatherFlags(bytesBelow(w, '9' + 1) & ~belowZero) << at;
    m->low3 |= gatherFlags(bytesBelow(w, '3') & ~belowZero) << at;
    m->minus |= gatherFlags(minus) << at;
    m->sign |= gatherFlags(minus | bytesEqual(w, '+')) << at;
    m->blank |= gatherFlags(bytesEqual(w, ' ') | (bytesBelow(w, '\r') & ~bytesBelow(w, '\t'))) << at;
    m->cr |= gatherFlags(bytesEqual(w, '\r')) << at;
  }
}

#if defined(__SSE2__)

inline std::uint64_t bits16(__m128i m, int at) {
  return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(m))) << at;
}

inline void classifySse2(const unsigned char* p, BlockMasks* m) {
  // Unsigned ranges as signed compares: c is in lo..lo+n-1 when
  // c + (0x80 - lo), read as signed, is below n - 128.
  const __m128i digitShift = _mm_set1_epi8(static_cast<char>(0x80 - '0'));
  const __m128i digitLimit = _mm_set1_epi8(static_cast<char>(10 - 128));
  const __m128i low3Limit = _mm_set1_epi8(static_cast<char>(3 - 128));
  const __m128i blankShift = _mm_set1_epi8(static_cast<char>(0x80 - '\t'));
  const __m128i blankLimit = _mm_set1_epi8(static_cast<char>(4 - 128));
  const __m128i space = _mm_set1_epi8(' ');
  const __m128i plus = _mm_set1_epi8('+');
  const __m128i minus = _mm_set1_epi8('-');
  const __m128i cr = _mm_set1_epi8('\r');
  m->digit = m->sign = m->minus = m->low3 = m->blank = m->cr = 0;
  for (int at = 0; at < 64; at += 16) {
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
    const __m128i isMinus = _mm_cmpeq_epi8(c, minus);
    const __m128i fromZero = _mm_add_epi8(c, digitShift);
    m->digit |= bits16(_mm_cmplt_epi8(fromZero, digitLimit), at);
    m->low3 |= bits16(_mm_cmplt_epi8(fromZero, low3Limit), at);
    m->sign |= bits16(_mm_or_si128(_mm_cmpeq_epi8(c, plus), isMinus), at);
    m->minus |= bits16(isMinus, at);
    m->blank |= bits16(_mm_or_si128(_mm_cmplt_epi8(_mm_add_epi8(c, blankShift), blankLimit), _mm_cmpeq_epi8(c, space)), at);
    m->cr |= bits16(_mm_cmpeq_epi8(c, cr), at);
  }
}

#define ONDREL_CLASSIFY_BASE classifySse2
#else
#define ONDREL_CLASSIFY_BASE classifyPortable
#endif

#if defined(ONDREL_X86_DISPATCH)

#define ONDREL_TARGET_AVX2 __attribute__((target("avx2,bmi,bmi2,popcnt")))
#define ONDREL_TARGET_AVX512 __attribute__((target("avx512f,avx512bw,avx2,bmi,bmi2,popcnt")))

ONDREL_TARGET_AVX2 inline std::uint64_t bits32(__m256i m, int at) {
  return static_cast<std::uint64_t>(static_cast<unsigned>(_mm256_movemask_epi8(m))) << at;
}

ONDREL_TARGET_AVX2 inline void classifyAvx2(const unsigned char* p, BlockMasks* m) {
  // As in classifySse2, with the compares turned round (AVX2 has only
  // "greater than").
  const __m256i digitShift = _mm256_set1_epi8(static_cast<char>(0x80 - '0'));
  const __m256i digitLimit = _mm256_set1_epi8(static_cast<char>(10 - 128));
  const __m256i low3Limit = _mm256_set1_epi8(static_cast<char>(3 - 128));
  const __m256i blankShift = _mm256_set1_epi8(static_cast<char>(0x80 - '\t'));
  const __m256i blankLimit = _mm256_set1_epi8(static_cast<char>(4 - 128));
  const __m256i space = _mm256_set1_epi8(' ');
  const __m256i plus = _mm256_set1_epi8('+');
  const __m256i minus = _mm256_set1_epi8('-');
  const __m256i cr = _mm256_set1_epi8('\r');
  m->digit = m->sign = m->minus = m->low3 = m->blank = m->cr = 0;
  for (int at = 0; at < 64; at += 32) {
    const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + at));
    const __m256i isMinus = _mm256_cmpeq_epi8(c, minus);
    const __m256i fromZero = _mm256_add_epi8(c, digitShift);
    m->digit |= bits32(_mm256_cmpgt_epi8(digitLimit, fromZero), at);
    m->low3 |= bits32(_mm256_cmpgt_epi8(low3Limit, fromZero), at);
    m->sign |= bits32(_mm256_or_si256(_mm256_cmpeq_epi8(c, plus), isMinus), at);
    m->minus |= bits32(isMinus, at);
    m->blank |= bits32(
        _mm256_or_si256(_mm256_cmpgt_epi8(blankLimit, _mm256_add_epi8(c, blankShift)), _mm256_cmpeq_epi8(c, space)),
        at);
    m->cr |= bits32(_mm256_cmpeq_epi8(c, cr), at);
  }
}

ONDREL_TARGET_AVX512 inline void classifyAvx512(const unsigned char* p, BlockMasks* m) {
  const __m512i c = _mm512_loadu_si512(p);
  const __m512i fromZero = _mm512_sub_epi8(c, _mm512_set1_epi8('0'));
  m->digit = _mm512_cmplt_epu8_mask(fromZero, _mm512_set1_epi8(10));
  m->low3 = _mm512_cmplt_epu8_mask(fromZero, _mm512_set1_epi8(3));
  m->minus = _mm512_cmpeq_epi8_mask(c, _mm512_set1_epi8('-'));
  m->sign = m->minus | _mm512_cmpeq_epi8_mask(c, _mm512_set1_epi8('+'));
  m->blank = _mm512_cmplt_epu8_mask(_mm512_sub_epi8(c, _mm512_set1_epi8('\t')), _mm512_set1_epi8(4)) |
             _mm512_cmpeq_epi8_mask(c, _mm512_set1_epi8(' '));
  m->cr = _mm512_cmpeq_epi8_mask(c, _mm512_set1_epi8('\r'));
}

#endif

inline unsigned lowestBit(std::uint64_t v) {
#if defined(__GNUC__)
  return static_cast<unsigned>(__builtin_ctzll(v));
#else
  unsigned n = 0;
  while ((v & 1) == 0) v >>= 1, ++n;
  return n;
#endif
}


// The number written by `count` (1..8) ASCII digits at p.
inline std::uint64_t digitsValue(const unsigned char* p, unsigned count) {
  // The digits go to the top of the word, the first (most significant)
  // lowest; the bytes below read as leading zeros.
  std::uint64_t v = loadWord(p) << (8 * (8 - count));
  v = (v & 0x0F0F0F0F0F0F0F0Fu) * 2561 >> 8;                 // pairs of digits
  v = (v & 0x00FF00FF00FF00FFu) * 6553601 >> 16;             // groups of four
  return (v & 0x0000FFFF0000FFFFu) * 42949672960001u >> 32;  // all eight
}

// One value as a signed 16-bit little-endian sample: half a frame.
inline void putSample(unsigned char* p, std::uint32_t value) {
  p[0] = static_cast<unsigned char>(value);
  p[1] = static_cast<unsigned char>(value >> 8);
}

inline unsigned highestBit(std::uint64_t v) {
#if defined(__GNUC__)
  return 63u - static_cast<unsigned>(__builtin_clzll(v));
#else
  unsigned n = 63;
  while ((v >> 63) == 0) v <<= 1, --n;
  return n;
#endif
}

// Written out rather than __builtin_popcountll, which calls into libgcc
// where the processor's instruction may not be used; compilers turn this
// into that instruction in the readers built for processors that have it.
inline unsigned bitCount(std::uint64_t v) {
  v = v - ((v >> 1) & 0x5555555555555555u);
  v = (v & 0x3333333333333333u) + ((v >> 2) & 0x3333333333333333u);
  v = (v + (v >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
  return static_cast<unsigned>((v * 0x0101010101010101u) >> 56);
}

// Bits 0..n-1 (n at most 63).
inline std::uint64_t bitsBelow(unsigned n) { return (std::uint64_t{1} << n) - 1; }

#if defined(__GNUC__)
#define ONDREL_UNLIKELY(x) __builtin_expect(!!(x), 0)
#else
#define ONDREL_UNLIKELY(x) (x)
#endif

// The value of the `count` digits (9..19) at p; 19 digits fit 64 bits.
inline std::uint64_t longDigitsValue(const unsigned char* p, unsigned count) {
  const std::uint64_t low = digitsValue(p + count - 8, 8);
  if (count <= 16) return digitsValue(p, count - 8) * 100000000u + low;
  return (digitsValue(p, count - 16) * 100000000u + digitsValue(p + count - 16, 8)) * 100000000u + low;
}

inline unsigned lowestBitOr64(std::uint64_t v) { return v == 0 ? 64 : lowestBit(v); }

// The '0' bytes of a block, wanted only for long values, so not kept with
// the other masks but found when first asked for.
struct ZeroBits {
  bool known;
  std::uint64_t bits;
};

inline std::uint64_t zeroBits(const unsigned char* b, ZeroBits* zeros) {
  if (!zeros->known) {
    zeros->bits = 0;
    for (unsigned at = 0; at < 64; at += 8) zeros->bits |= gatherFlags(bytesEqual(loadWord(b + at), '0')) << at;
    zeros->known = true;
  }
  return zeros->bits;
}

// The magnitude of the digit run from `first` to `end` of the block.
// Returns false when it has more than 19 digits after its leading zeros,
// which only the state machine reads.
ONDREL_ALWAYS_INLINE bool runMagnitude(const unsigned char* b, const BlockMasks& m, unsigned first, unsigned end,
                                       ZeroBits* zeros, std::uint64_t* magnitude) {
  unsigned count = end + 1 - first;
  if (ONDREL_UNLIKELY(count > 8)) {
    // Leading zeros add nothing: count from the first other digit.
    const unsigned significant = lowestBitOr64(m.digit & ~zeroBits(b, zeros) & ~bitsBelow(first));
    if (significant <= end) {
      first = significant;
    } else {
      first = end;
    }
    count = end + 1 - first;
    if (count > 19) return false;
    *magnitude = count > 8 ? longDigitsValue(b + first, count) : digitsValue(b + first, count);
    return true;
  }
  *magnitude = digitsValue(b + first, count);
  return true;
}

// The value whose sign or first digit is at `start` and whose last digit is
// at `end` of the block: its low 32 bits, the sign applied. Returns false
// for more than 19 digits after leading zeros (see runMagnitude).
ONDREL_ALWAYS_INLINE bool blockValue(const unsigned char* b, const BlockMasks& m, unsigned start, unsigned end,
                                     std::uint32_t* value) {
  const unsigned firstDigit = start + static_cast<unsigned>(m.sign >> start & 1);
  std::uint64_t magnitude;
  ZeroBits zeros{false, 0};
  if (!runMagnitude(b, m, firstDigit, end, &zeros, &magnitude)) return false;
  // Negated for '-' without a branch.
  const std::uint32_t negate = 0u - static_cast<std::uint32_t>(m.minus >> start & 1);
  *value = (static_cast<std::uint32_t>(magnitude) ^ negate) - negate;
  return true;
}

// Whether the five digits at p, a value with the given sign, lie in range:
// as a big-endian number the digits compare as the value does.
inline bool fiveDigitsInRange(const unsigned char* p, bool negative) {
  const std::uint64_t w = loadWord(p);
  std::uint64_t v = 0;
  for (int k = 0; k < 5; ++k) v = v << 8 | (w >> (8 * k) & 0xFF);
  return v <= (negative ? 0x3332373638u : 0x3332373637u);  // "32768", "32767"
}


// Converts the values of a block that end at the bits of `ends` (at least
// one), in order, counting each in *values and, when storing, writing it as
// a sample at out + 2 * *values. Returns the position of the first value it cannot
// take (out of range, or more than 16 digits), or kBlockBytes.
typedef unsigned ConvertBlock(const unsigned char* b, const BlockMasks& m, std::uint64_t ends, unsigned char* out,
                              std::uint64_t* values);

// The values whose digits run from the bits of `runs` to those of `ends`,
// taken in pairs in order; a '-' just before a run negates it.
template <bool kStore>
ONDREL_ALWAYS_INLINE unsigned convertRuns(const unsigned char* b, const BlockMasks& m, std::uint64_t runs,
                                          std::uint64_t ends, unsigned char* out, std::uint64_t* values,
                                          ZeroBits zeros) {
  const std::uint64_t negative = m.minus << 1;
  std::uint64_t n = *values;
  unsigned stopAt = kBlockBytes;
  while (ends != 0) {
    const unsigned firstDigit = lowestBit(runs);
    std::uint64_t magnitude;
    const bool readable = runMagnitude(b, m, firstDigit, lowestBit(ends), &zeros, &magnitude);
    const std::uint32_t negate = 0u - static_cast<std::uint32_t>(negative >> firstDigit & 1);
    const std::uint32_t value = (static_cast<std::uint32_t>(magnitude) ^ negate) - negate;
    if (ONDREL_UNLIKELY(!readable || !inSampleRange(value))) {
      stopAt = firstDigit - static_cast<unsigned>((m.sign << 1) >> firstDigit & 1);
      break;
    }
    runs &= runs - 1;
    ends &= ends - 1;
    if (kStore) putSample(out + 2 * n, value);
    ++n;
  }
  *values = n;
  return stopAt;
}

template <bool kStore>
ONDREL_ALWAYS_INLINE unsigned convertScalar(const unsigned char* b, const BlockMasks& m, std::uint64_t ends,
                                            unsigned char* out, std::uint64_t* values) {
  return convertRuns<kStore>(b, m, m.digit & ~(m.digit << 1), ends, out, values, ZeroBits{false, 0});
}

#if defined(ONDREL_X86_DISPATCH)

#define ONDREL_TARGET_VBMI2 \
  __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,avx2,bmi,bmi2,popcnt")))

// Eight values at a time in the lanes of one register: the end and run-start
// positions are packed from the masks (VPCOMPRESSB), each lane gathers the
// eight bytes up to its value's end (VPERMB), bytes before the run are
// zeroed, and the digits are combined by multiply-adds. A block with a value
// of more than eight digits after its leading zeros or out of range goes to
// convertScalar.
template <bool kStore>
ONDREL_TARGET_VBMI2 inline unsigned convertVbmi2(const unsigned char* b, const BlockMasks& m, std::uint64_t ends,
                                                 unsigned char* out, std::uint64_t* values) {
  // A lane holds the last eight digits of a value: enough unless a digit
  // other than 0 stands eight or more digits before the end.
  const std::uint64_t d = m.digit;
  const std::uint64_t two = d >> 1 & d >> 2;
  const std::uint64_t four = two & two >> 2;
  const std::uint64_t eightAfter = four & four >> 4;  // the next eight bytes are digits
  const unsigned lastEnd = highestBit(ends);
  const std::uint64_t runs = d & ~(d << 1) & bitsBelow(lastEnd + 1);
  const std::uint64_t longRuns = d & eightAfter & bitsBelow(lastEnd + 1);
  const __m512i block = _mm512_loadu_si512(b);
  if (ONDREL_UNLIKELY(longRuns != 0)) {
    const std::uint64_t zeros = _mm512_cmpeq_epi8_mask(block, _mm512_set1_epi8('0'));
    if ((longRuns & ~zeros) != 0) {
      return convertRuns<kStore>(b, m, d & ~(d << 1), ends, out, values, ZeroBits{true, zeros});
    }
  }

  const __m512i iota = _mm512_set_epi8(63, 62, 61, 60, 59, 58, 57, 56, 55, 54, 53, 52, 51, 50, 49, 48, 47, 46, 45, 44,
                                       43, 42, 41, 40, 39, 38, 37, 36, 35, 34, 33, 32, 31, 30, 29, 28, 27, 26, 25, 24,
                                       23, 22, 21, 20, 19, 18, 17, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2,
                                       1, 0);
  // Lane k of a batch takes packed position k (byte k of the batch).
  const __m512i laneOf = _mm512_set_epi64(0x0707070707070707, 0x0606060606060606, 0x0505050505050505,
                                          0x0404040404040404, 0x0303030303030303, 0x0202020202020202,
                                          0x0101010101010101, 0x0000000000000000);
  // Byte j of a lane reads the block at end - 7 + j.
  const __m512i back = _mm512_set1_epi64(0x0001020304050607);
  const __m512i endAt = _mm512_maskz_compress_epi8(ends, iota);
  const __m512i runAt = _mm512_maskz_compress_epi8(runs, iota);
  const std::uint64_t negative = _pext_u64(m.minus << 1, runs);
  const unsigned count = bitCount(ends);
  const __m512i zero = _mm512_setzero_si512();
  const __m512i tens = _mm512_set1_epi16(0x010A);      // bytes 10, 1
  const __m512i hundreds = _mm512_set1_epi32(0x00010064);  // words 100, 1
  const __m512i tenThousand = _mm512_set1_epi64(10000);
  const __m512i bias = _mm512_set1_epi64(32768);
  const __m512i span = _mm512_set1_epi64(65535);
  std::uint64_t n = *values;
  for (unsigned first = 0; first < count; first += 8) {
    const __m512i pick = _mm512_add_epi8(laneOf, _mm512_set1_epi8(static_cast<char>(first)));
    const __m512i laneEnd = _mm512_permutexvar_epi8(pick, endAt);
    const __m512i laneRun = _mm512_permutexvar_epi8(pick, runAt);
    const __m512i at = _mm512_sub_epi8(laneEnd, back);
    const __mmask64 inRun = _mm512_cmpge_epi8_mask(at, laneRun);
    const __m512i digits = _mm512_maskz_sub_epi8(inRun, _mm512_permutexvar_epi8(at, block), _mm512_set1_epi8('0'));
    const __m512i pairs = _mm512_maddubs_epi16(digits, tens);
    const __m512i quads = _mm512_madd_epi16(pairs, hundreds);
    __m512i value = _mm512_add_epi64(_mm512_mul_epu32(quads, tenThousand), _mm512_srli_epi64(quads, 32));
    value = _mm512_mask_sub_epi64(value, static_cast<__mmask8>(negative >> first), zero, value);
    const unsigned lanes = count - first < 8 ? count - first : 8;
    const __mmask8 used = static_cast<__mmask8>((1u << lanes) - 1);
    if (ONDREL_UNLIKELY(_mm512_mask_cmpgt_epu64_mask(used, _mm512_add_epi64(value, bias), span) != 0)) {
      // The plain loop takes this batch again and finds the value.
      std::uint64_t restRuns = runs;
      std::uint64_t restEnds = ends;
      for (unsigned k = 0; k < first; ++k) {
        restRuns &= restRuns - 1;
        restEnds &= restEnds - 1;
      }
      *values = n;
      return convertRuns<kStore>(b, m, restRuns, restEnds, out, values, ZeroBits{false, 0});
    }
    if (kStore) _mm_mask_storeu_epi16(out + 2 * n, used, _mm512_cvtepi64_epi16(value));
    n += lanes;
  }
  *values = n;
  return kBlockBytes;
}

#endif

// Reads whole values from data[at] on, block by block, while the state is
// between values and at least kBlockReach bytes remain. Returns where it
// stopped (still between values); when it stopped because of something
// only the state machine reads, *slowUntil is set past that byte.
//
// Values are counted and, when frames are written, put out as 2-byte
// halves of frames one after the other: a frame is two consecutive values.
// A pending first value from before is put back as the first half.
typedef void ClassifyBlock(const unsigned char* p, BlockMasks* m);

// Without frames, values are counted from the masks (kCountByConverting
// false) or, where conversion is as cheap, converted and dropped.
template <bool kWriteFrames, ClassifyBlock* kClassify, ConvertBlock* kConvert, bool kCountByConverting>
ONDREL_ALWAYS_INLINE std::size_t scanBlocks(SampleScanner* s, const unsigned char* data, std::size_t size,
                                            std::size_t at, unsigned char* frames, std::size_t* written,
                                            std::size_t* slowUntil) {
  std::uint64_t values = s->haveFirst ? 1 : 0;
  // Without frames, the block of the last value counted and the ends
  // counted there, so that its value can be kept if it is a pending first
  // value.
  const unsigned char* lastBlock = nullptr;
  std::uint64_t lastEnds = 0;
  unsigned char* out = kWriteFrames ? frames + *written : nullptr;
  if (kWriteFrames) putSample(out, s->firstValue);
  constexpr std::uint64_t kLastBit = std::uint64_t{1} << 63;

  while (size - at >= kBlockReach) {
    const unsigned char* b = data + at;
    BlockMasks m;
    kClassify(b, &m);
    // A CR reads as a blank when the next byte that is not a CR is white
    // space or a sign: dropping it joins nothing. Runs of up to four CRs
    // are followed.
    std::uint64_t crParts = m.cr & (m.blank | m.sign) >> 1;
    if (ONDREL_UNLIKELY(crParts != m.cr)) {
      const unsigned after = b[kBlockBytes];
      if (isBlank(after) || after == '+' || after == '-') crParts |= m.cr & kLastBit;
      for (int k = 0; k < 3; ++k) crParts |= m.cr & crParts >> 1;
    }
    // Whether a sign in the last byte has its digit is left to the next block.
    const std::uint64_t bad = ~(m.digit | m.sign | m.blank | m.cr) | (m.cr & ~crParts) |
                              (m.sign & ~(m.digit >> 1) & ~kLastBit);
    // A value starts at a sign, or at a digit after neither digit nor sign;
    // it ends at a digit before a non-digit. The last byte's successor is
    // not known here, so a value ending there is left to the next block.
    std::uint64_t starts = m.sign | (m.digit & ~(m.digit << 1) & ~(m.sign << 1));
    std::uint64_t ends = m.digit & ~(m.digit >> 1) & ~kLastBit;
    unsigned limit = kBlockBytes;
    if (ONDREL_UNLIKELY(bad != 0)) {
      // Only values ending before the byte ahead of the first bad byte are
      // read here: a CR there may still join digits to them.
      limit = lowestBit(bad);
      const std::uint64_t keep = limit >= 2 ? bitsBelow(limit - 1) : 0;
      starts &= keep;
      ends &= keep;
    }

    // The first value this block cannot take (out of range, or more than
    // 16 digits), as its position; kBlockBytes when there is none.
    unsigned stopAt = kBlockBytes;
    if (kWriteFrames) {
      if (ends != 0) {
        stopAt = kConvert(b, m, ends, out, &values);
        starts &= ~bitsBelow(highestBit(ends) + 1);
      }
    } else if (ends != 0) {
      const unsigned lastEndHere = highestBit(ends);
      if (kCountByConverting) {
        stopAt = kConvert(b, m, ends, nullptr, &values);
      } else {
        // Validation needs no value that is surely in range: a run of at
        // most four digits, or of five starting with 0, 1 or 2. Five digits
        // are compared as text; only longer runs are converted.
        const std::uint64_t d = m.digit;
        const std::uint64_t fivePlus = d & d >> 1 & d >> 2 & d >> 3 & d >> 4;
        const std::uint64_t runStarts = d & ~(d << 1);
        std::uint64_t doubtful = runStarts & fivePlus & (~m.low3 | d >> 5) & bitsBelow(lastEndHere);
        while (doubtful != 0) {
          const unsigned firstDigit = lowestBit(doubtful);
          doubtful &= doubtful - 1;
          const bool signed_ = firstDigit > 0 && (m.sign >> (firstDigit - 1) & 1) != 0;
          const unsigned start = firstDigit - (signed_ ? 1 : 0);
          if ((d >> (firstDigit + 5) & 1) == 0) {
            if (fiveDigitsInRange(b + firstDigit, (m.minus >> start & 1) != 0)) continue;
            stopAt = start;
            break;
          }
          std::uint32_t value;
          if (!blockValue(b, m, start, lowestBit(ends & ~bitsBelow(firstDigit)), &value) || !inSampleRange(value)) {
            stopAt = start;
            break;
          }
        }
        values += bitCount(stopAt == kBlockBytes ? ends : ends & bitsBelow(stopAt));
      }
      const std::uint64_t counted = stopAt == kBlockBytes ? ends : ends & bitsBelow(stopAt);
      if (counted != 0) {
        lastBlock = b;
        lastEnds = counted;
      }
      starts &= ~bitsBelow(lastEndHere + 1);
    }

    // Go on at the first value not read here: one that runs past what this
    // block may read.
    const unsigned next = lowestBitOr64(starts);
    if (ONDREL_UNLIKELY(stopAt != kBlockBytes || bad != 0 || next == 0)) {
      if (stopAt != kBlockBytes) {
        at += stopAt;
        *slowUntil = at + 1;
      } else if (bad != 0) {
        // The state machine reads on from the first value not read, or
        // from the byte ahead of the bad one (a CR there may join digits
        // to it), to past the bad byte.
        *slowUntil = at + limit + 1;
        at += next != kBlockBytes ? next : (limit == 0 ? 0 : limit - 1);
      } else {  // a value longer than a block
        *slowUntil = at + 1;
      }
      break;
    }
    at += next;
  }
  std::uint32_t last = s->firstValue;
  if ((values & 1) != 0) {
    if (kWriteFrames) {
      // A value read here is in range: its 16 bits, sign-extended.
      const unsigned char* p = out + 2 * (values - 1);
      last = static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<std::int16_t>(p[0] | p[1] << 8)));
    } else if (lastBlock != nullptr) {
      BlockMasks m;
      kClassify(lastBlock, &m);
      const unsigned end = highestBit(lastEnds);
      const std::uint64_t starts = m.sign | (m.digit & ~(m.digit << 1) & ~(m.sign << 1));
      blockValue(lastBlock, m, highestBit(starts & bitsBelow(end + 1)), end, &last);
    }
  }
  s->pairs += values / 2;
  s->haveFirst = static_cast<unsigned char>(values & 1);
  s->firstValue = last;
  s->firstBad = 0;
  if (kWriteFrames) *written += static_cast<std::size_t>(values / 2) * kFrameBytes;
  return at;
}

typedef std::size_t BlockScan(SampleScanner* s, const unsigned char* data, std::size_t size, std::size_t at,
                              unsigned char* frames, std::size_t* written, std::size_t* slowUntil);

#define ONDREL_BLOCK_SCAN_ARGS                                                                              \
  SampleScanner *s, const unsigned char *data, std::size_t size, std::size_t at, unsigned char *frames, \
      std::size_t *written, std::size_t *slowUntil
#define ONDREL_BLOCK_SCAN_PASS s, data, size, at, frames, written, slowUntil

std::size_t countBlocksPortable(ONDREL_BLOCK_SCAN_ARGS) {
  return scanBlocks<false, classifyPortable, convertScalar<false>, false>(ONDREL_BLOCK_SCAN_PASS);
}
std::size_t convertBlocksPortable(ONDREL_BLOCK_SCAN_ARGS) {
  return scanBlocks<true, classifyPortable, convertScalar<true>, false>(ONDREL_BLOCK_SCAN_PASS);
}
#if defined(__SSE2__)
std::size_t countBlocksSse2(ONDREL_BLOCK_SCAN_ARGS) { return scanBlocks<false, classifySse2, convertScalar<false>, false>(ONDREL_BLOCK_SCAN_PASS); }
std::size_t convertBlocksSse2(ONDREL_BLOCK_SCAN_ARGS) { return scanBlocks<true, classifySse2, convertScalar<true>, false>(ONDREL_BLOCK_SCAN_PASS); }
#endif
#if defined(ONDREL_X86_DISPATCH)
ONDREL_TARGET_AVX2 std::size_t countBlocksAvx2(ONDREL_BLOCK_SCAN_ARGS) {
  return scanBlocks<false, classifyAvx2, convertScalar<false>, false>(ONDREL_BLOCK_SCAN_PASS);
}
ONDREL_TARGET_AVX2 std::size_t convertBlocksAvx2(ONDREL_BLOCK_SCAN_ARGS) {
  return scanBlocks<true, classifyAvx2, convertScalar<true>, false>(ONDREL_BLOCK_SCAN_PASS);
}
ONDREL_TARGET_AVX512 std::size_t countBlocksAvx512(ONDREL_BLOCK_SCAN_ARGS) {
  return scanBlocks<false, classifyAvx512, convertScalar<false>, false>(ONDREL_BLOCK_SCAN_PASS);
}
ONDREL_TARGET_AVX512 std::size_t convertBlocksAvx512(ONDREL_BLOCK_SCAN_ARGS) {
  return scanBlocks<true, classifyAvx512, convertScalar<true>, false>(ONDREL_BLOCK_SCAN_PASS);
}
ONDREL_TARGET_VBMI2 std::size_t convertBlocksVbmi2(ONDREL_BLOCK_SCAN_ARGS) {
  return scanBlocks<true, classifyAvx512, convertVbmi2<true>, false>(ONDREL_BLOCK_SCAN_PASS);
}
ONDREL_TARGET_VBMI2 std::size_t countBlocksVbmi2(ONDREL_BLOCK_SCAN_ARGS) {
  return scanBlocks<false, classifyAvx512, convertVbmi2<false>, true>(ONDREL_BLOCK_SCAN_PASS);
}
#endif

bool blockReaderSupported(int reader) {
  switch (reader) {
    case kBlockReaderNone:
    case kBlockReaderPortable:
      return true;
#if defined(__SSE2__)
    case kBlockReaderSse2:
      return true;
#endif
#if defined(ONDREL_X86_DISPATCH)
    case kBlockReaderAvx2:
      __builtin_cpu_init();
      return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2") &&
             __builtin_cpu_supports("popcnt");
    case kBlockReaderAvx512:
      __builtin_cpu_init();
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
             blockReaderSupported(kBlockReaderAvx2);
    case kBlockReaderVbmi2:
      return __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi") &&
             __builtin_cpu_supports("avx512vbmi2") && blockReaderSupported(kBlockReaderAvx512);
#endif
    default:
      return false;
  }
}

// The reader in use; -1 until the first scan picks the best.
int gBlockReader = -1;
BlockScan* gCountBlocks = nullptr;
BlockScan* gConvertBlocks = nullptr;

void setBlockReader(int reader) {
  gBlockReader = reader;
  gCountBlocks = gConvertBlocks = nullptr;
  switch (reader) {
    case kBlockReaderPortable:
      gCountBlocks = countBlocksPortable;
      gConvertBlocks = convertBlocksPortable;
      break;
#if defined(__SSE2__)
    case kBlockReaderSse2:
      gCountBlocks = countBlocksSse2;
      gConvertBlocks = convertBlocksSse2;
      break;
#endif
#if defined(ONDREL_X86_DISPATCH)
    case kBlockReaderAvx2:
      gCountBlocks = countBlocksAvx2;
      gConvertBlocks = convertBlocksAvx2;
      break;
    case kBlockReaderAvx512:
      gCountBlocks = countBlocksAvx512;
      gConvertBlocks = convertBlocksAvx512;
      break;
    case kBlockReaderVbmi2:
      gCountBlocks = countBlocksVbmi2;
      gConvertBlocks = convertBlocksVbmi2;
      break;
#endif
    default:
      break;
  }
}

int bestBlockReader() {
  int best = kBlockReaderPortable;
  for (int reader = kBlockReaderPortable; reader <= kBlockReaderVbmi2; ++reader) {
    if (blockReaderSupported(reader)) best = reader;
  }
  return best;
}

}  // namespace

std::size_t scanSampleText(SampleScanner* s, const unsigned char* data, std::size_t size,
                           unsigned char* frames) {
  std::size_t written = 0;
  std::size_t slowUntil = 0;
  std::size_t i = 0;
  while (i < size && s->state != kScanEnded) {
    // The block reader starts between values, with no pending first value
    // that is already known to be out of range.
    if (i >= slowUntil && s->state == kScanBeforeValue && size - i >= kBlockReach &&
        !(s->haveFirst && (s->firstBad || !inSampleRange(s->firstValue)))) {
      // The processor is asked which reader it can run only when a text is
      // long enough for one.
      if (gBlockReader < 0) setBlockReader(bestBlockReader());
      if (gCountBlocks == nullptr) {  // no block reader: the state machine reads everything
        slowUntil = size;
        continue;
      }
      const std::size_t from = i;
      i = (frames != nullptr ? gConvertBlocks : gCountBlocks)(s, data, size, i, frames, &written, &slowUntil);
      if (i == from && slowUntil <= i) slowUntil = i + 1;
      continue;
    }
    if (s->state == kScanInDigits && !s->tooLong && s->magnitude == 0) {
      // A run of leading zeros adds nothing to the value: passed over
      // eight bytes at a time, then byte by byte.
      while (size - i >= 8 && loadWord(data + i) == 0x3030303030303030u) i += 8;
      while (i < size && data[i] == '0') ++i;
      if (i == size) break;
    }
    written += stepSampleByte(s, data[i], frames == nullptr ? nullptr : frames + written);
    ++i;
  }
  return written;
}

int selectSampleBlockReader(int reader) {
  if (reader < 0) reader = bestBlockReader();
  if (!blockReaderSupported(reader)) return -1;
  setBlockReader(reader);
  return reader;
}

std::size_t finishSampleScan(SampleScanner* scanner, unsigned char* frames) {
  std::size_t written = 0;
  if (scanner->state == kScanInDigits) written = completeValue(scanner, frames);
  scanner->state = kScanEnded;
  return written;
}

int samplePairResult(const SampleScanner* scanner) {
  if (scanner->outOfRange) return -1;
  if (scanner->pairs > kMaxSamplePairs) return kTooManySamplePairs;
  return static_cast<int>(scanner->pairs);
}

alignas(64) unsigned char gSampleChunk[kSampleChunkBytes];

int countSamplePairs(const char* path) {
  FileHandle input;
  if (openForReading(path, &input) != 0) {
    printMessage(stderr, kInputOpenMessage, path);
    return -1;
  }
  SampleScanner scanner;
  startSampleScan(&scanner);
  while (!sampleScanEnded(&scanner)) {
    long got = readFromFile(&input, gSampleChunk, sizeof gSampleChunk);
    if (got < 0) {
      printMessage(stderr, kInputReadMessage, path);
      closeFile(&input);
      return -1;
    }
    if (got == 0) {
      finishSampleScan(&scanner, nullptr);
      break;
    }
    scanSampleText(&scanner, gSampleChunk, static_cast<std::size_t>(got), nullptr);
  }
  closeFile(&input);
  return samplePairResult(&scanner);
}
