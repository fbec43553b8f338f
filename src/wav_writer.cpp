#include "wav_writer.h"

#include <cstdio>
#include <cstring>

#include "messages.h"
#include "platform.h"
#include "sample_text.h"

void fillWavHeader(WavHeader* header, const AudioFormat* format) {
  std::memcpy(header->riffId, "RIFF", 4);
  std::memcpy(header->waveId, "WAVE", 4);
  std::memcpy(header->fmtId, "fmt ", 4);
  std::memcpy(header->dataId, "data", 4);
  const std::uint32_t bytesPerSample = format->bitsPerSample / 8u;
  header->riffSize = format->dataSize + 36u;
  header->fmtSize = 16;
  header->formatTag = 1;
  header->channels = format->channels;
  header->sampleRate = format->sampleRate;
  header->byteRate = bytesPerSample * format->channels * format->sampleRate;
  header->blockAlign = static_cast<std::uint16_t>(bytesPerSample * format->channels);
  header->bitsPerSample = format->bitsPerSample;
  header->dataSize = format->dataSize;
}

namespace {

unsigned char* putId(unsigned char* p, const char id[4]) {
  std::memcpy(p, id, 4);
  return p + 4;
}

unsigned char* put16(unsigned char* p, std::uint16_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  return p + 2;
}

unsigned char* put32(unsigned char* p, std::uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  p[2] = static_cast<unsigned char>(v >> 16);
  p[3] = static_cast<unsigned char>(v >> 24);
  return p + 4;
}

}  // namespace

void encodeWavHeader(const WavHeader* h, unsigned char bytes[kWavHeaderBytes]) {
  unsigned char* p = bytes;
  p = putId(p, h->riffId);
  p = put32(p, h->riffSize);
  p = putId(p, h->waveId);
  p = putId(p, h->fmtId);
  p = put32(p, h->fmtSize);
  p = put16(p, h->formatTag);
  p = put16(p, h->channels);
  p = put32(p, h->sampleRate);
  p = put32(p, h->byteRate);
  p = put16(p, h->blockAlign);
  p = put16(p, h->bitsPerSample);
  p = putId(p, h->dataId);
  put32(p, h->dataSize);
}

namespace {

// Output is gathered here and written in blocks of nearly this size. Each
// input chunk is scanned in slices whose frames fit what is left of the
// buffer, which is written out when less than kOutputSlack is left.
// Together with the input chunk this is all the memory the conversion
// touches.
constexpr std::size_t kOutputBytes = 64 * 1024;
constexpr std::size_t kOutputSlack = 4096;
alignas(64) unsigned char gOutputBuffer[kOutputBytes];

struct BufferedOutput {
  FileHandle file;
  std::size_t used;
};

int flushOutput(BufferedOutput* out) {
  const std::size_t used = out->used;
  out->used = 0;
  return writeToFile(&out->file, gOutputBuffer, used);
}

// Makes room for `size` more bytes. Returns 0, or -1 if a flush failed.
int reserveOutput(BufferedOutput* out, std::size_t size) {
  if (kOutputBytes - out->used >= size) return 0;
  return flushOutput(out);
}

}  // namespace

int writeWavFile(const char* inputPath, const char* outputPath, const WavHeader* header) {
  FileHandle input;
  if (openForReading(inputPath, &input) != 0) {
    printMessage(stdout, kInputOpenMessage, inputPath);
    return -1;
  }
  // Creating the output would truncate the input before it was read.
  if (isSameFile(&input, outputPath)) {
    printMessage(stdout, kSameFileMessage, nullptr);
    return -1;
  }
  BufferedOutput out;
  out.used = 0;
  if (openForWriting(outputPath, &out.file) != 0) {
    printMessage(stdout, kOutputOpenMessage, outputPath);
    return -1;
  }
  if (reserveOutput(&out, kWavHeaderBytes) != 0) {
    printMessage(stdout, kHeaderWriteMessage, outputPath);
    closeFile(&out.file);
    return -1;
  }
  encodeWavHeader(header, gOutputBuffer + out.used);
  out.used += kWavHeaderBytes;

  // The validation pass counted these pairs and checked every value; reading
  // anything else now means the input changed in between.
  const std::uint64_t expectedPairs = header->dataSize / kFrameBytes;
  SampleScanner scanner;
  startSampleScan(&scanner);
  while (!sampleScanEnded(&scanner)) {
    long got = readFromFile(&input, gSampleChunk, sizeof gSampleChunk);
    if (got < 0) {
      printMessage(stdout, kInputReadMessage, inputPath);
      return -1;
    }
    if (got == 0) {
      if (reserveOutput(&out, kFrameBytes) != 0) return -1;
      out.used += finishSampleScan(&scanner, gOutputBuffer + out.used);
      break;
    }
    const std::size_t size = static_cast<std::size_t>(got);
    for (std::size_t at = 0; at < size && !sampleScanEnded(&scanner) && scanner.pairs <= expectedPairs;) {
      if (reserveOutput(&out, kOutputSlack) != 0) return -1;
      std::size_t slice = kOutputBytes - out.used - sampleFrameCapacity(0);
      if (slice > size - at) slice = size - at;
      out.used += scanSampleText(&scanner, gSampleChunk + at, slice, gOutputBuffer + out.used);
      at += slice;
    }
    if (scanner.pairs > expectedPairs) break;
  }
  if (scanner.outOfRange || scanner.pairs != expectedPairs) {
    // Keep no frame beyond the count the header states.
    if (scanner.pairs > expectedPairs) out.used -= (scanner.pairs - expectedPairs) * kFrameBytes;
    flushOutput(&out);
    printMessage(stdout, kInputChangedMessage, nullptr);
    return -1;
  }
  closeFile(&input);
  // A write error may show only now, when the last block goes out or the
  // file is closed: the run then fails, never reporting an incomplete file.
  if (flushOutput(&out) != 0) return -1;
  if (closeFile(&out.file) != 0) return -1;
  return 0;
}
