// The WAV output: a canonical RIFF WAVE file of integer PCM, a 44-byte
// header ("RIFF", "fmt " of 16 bytes, "data") followed by the frames.
#pragma once

#include <cstddef>
#include <cstdint>

// The parameters of the output, filled by the driver.
struct AudioFormat {
  std::uint32_t sampleRate;     // frames per second
  std::uint16_t bitsPerSample;  // bits of one sample of one channel
  std::uint32_t dataSize;       // bytes of sample data after the header
  std::uint16_t channels;       // samples per frame
};

// The first 44 bytes of the file, every field at its natural alignment.
// Numbers are held in host order; encodeWavHeader writes them little-endian.
struct WavHeader {
  char riffId[4];              // "RIFF"
  std::uint32_t riffSize;      // dataSize + 36
  char waveId[4];              // "WAVE"
  char fmtId[4];               // "fmt "
  std::uint32_t fmtSize;       // 16
  std::uint16_t formatTag;     // 1: integer PCM
  std::uint16_t channels;
  std::uint32_t sampleRate;
  std::uint32_t byteRate;      // bytes per second
  std::uint16_t blockAlign;    // bytes per frame
  std::uint16_t bitsPerSample;
  char dataId[4];              // "data"
  std::uint32_t dataSize;
};

constexpr std::size_t kWavHeaderBytes = 44;
static_assert(sizeof(WavHeader) == kWavHeaderBytes, "the header is a 44-byte image");

// One frame of sample data: left then right, signed 16-bit little-endian.
struct StereoFrame {
  std::int16_t left;
  std::int16_t right;
};
static_assert(sizeof(StereoFrame) == 4, "a frame is 4 bytes");

// Fills every field of `header` from `format`.
void fillWavHeader(WavHeader* header, const AudioFormat* format);

// Writes the 44 header bytes, little-endian, in file order.
void encodeWavHeader(const WavHeader* header, unsigned char bytes[kWavHeaderBytes]);

// The conversion pass: reads the sample text at `inputPath` again and writes
// `header` and one frame per pair to `outputPath`. Returns 0 after the whole
// file was written and both files closed, -1 on any failure (its message, if
// it has one, on standard output).
int writeWavFile(const char* inputPath, const char* outputPath, const WavHeader* header);
