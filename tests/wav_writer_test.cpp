// The WAV header image, and the conversion pass run directly on files:
// what it writes, and how it refuses an input that no longer matches the
// count the header states.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "messages.h"
#include "reference_sample_text.h"
#include "support.h"
#include "wav_writer.h"

namespace {

WavHeader driverHeader(std::uint32_t pairs) {
  AudioFormat format;
  format.channels = 2;
  format.sampleRate = 44100;
  format.bitsPerSample = 16;
  format.dataSize = format.bitsPerSample / 8u * format.channels * pairs;
  WavHeader header;
  fillWavHeader(&header, &format);
  return header;
}

std::string headerBytes(const WavHeader& header) {
  unsigned char bytes[kWavHeaderBytes];
  encodeWavHeader(&header, bytes);
  return std::string(reinterpret_cast<char*>(bytes), sizeof bytes);
}

const std::string kOnePairFile(
    "\x52\x49\x46\x46\x28\x00\x00\x00\x57\x41\x56\x45\x66\x6D\x74\x20"
    "\x10\x00\x00\x00\x01\x00\x02\x00\x44\xAC\x00\x00\x10\xB1\x02\x00"
    "\x04\x00\x10\x00\x64\x61\x74\x61\x04\x00\x00\x00\x01\x00\xFF\xFF",
    48);

TEST(WavHeader, FieldsSitAtTheirFileOffsets) {
  EXPECT_EQ(offsetof(WavHeader, riffSize), 4u);
  EXPECT_EQ(offsetof(WavHeader, formatTag), 20u);
  EXPECT_EQ(offsetof(WavHeader, channels), 22u);
  EXPECT_EQ(offsetof(WavHeader, sampleRate), 24u);
  EXPECT_EQ(offsetof(WavHeader, byteRate), 28u);
  EXPECT_EQ(offsetof(WavHeader, blockAlign), 32u);
  EXPECT_EQ(offsetof(WavHeader, bitsPerSample), 34u);
  EXPECT_EQ(offsetof(WavHeader, dataId), 36u);
  EXPECT_EQ(offsetof(WavHeader, dataSize), 40u);
}

TEST(WavHeader, OnePairHeaderBytes) {
  EXPECT_EQ(headerBytes(driverHeader(1)), kOnePairFile.substr(0, 44));
}

TEST(WavHeader, SizesForManyPairs) {
  const WavHeader h = driverHeader(1073741814);  // the largest count
  EXPECT_EQ(h.dataSize, 4294967256u);
  EXPECT_EQ(h.riffSize, 4294967292u);
  EXPECT_EQ(h.byteRate, 176400u);
  EXPECT_EQ(h.blockAlign, 4u);
  EXPECT_EQ(headerBytes(h).substr(4, 4), std::string("\xFC\xFF\xFF\xFF", 4));
}

TEST(WavHeader, DerivedFieldsFollowTheFormat) {
  AudioFormat mono8;
  mono8.channels = 1;
  mono8.sampleRate = 8000;
  mono8.bitsPerSample = 8;
  mono8.dataSize = 10;
  WavHeader h;
  fillWavHeader(&h, &mono8);
  EXPECT_EQ(h.byteRate, 8000u);
  EXPECT_EQ(h.blockAlign, 1u);
  EXPECT_EQ(h.riffSize, 46u);
}

struct ConversionRun {
  int result;
  std::string out;
  std::string wav;
  std::string input;  // the input's bytes after the run
};

ConversionRun convert(const std::string& text, std::uint32_t statedPairs) {
  TempDir dir;
  const std::string in = dir.file("in.txt");
  const std::string wav = dir.file("out.wav");
  writeFileBytes(in, text);
  const WavHeader header = driverHeader(statedPairs);
  testing::internal::CaptureStdout();
  ConversionRun run;
  run.result = writeWavFile(in.c_str(), wav.c_str(), &header);
  run.out = testing::internal::GetCapturedStdout();
  readFileBytes(wav, &run.wav);
  readFileBytes(in, &run.input);
  return run;
}

TEST(WriteWavFile, WritesHeaderAndFrames) {
  const ConversionRun run = convert("1 -1\n", 1);
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.wav, kOnePairFile);
}

TEST(WriteWavFile, FileSizeFollowsThePairCount) {
  std::string text;
  for (int i = 0; i < 100000; ++i) text += std::to_string(i % 65536 - 32768) + " " + std::to_string(-i % 32768) + "\n";
  const ConversionRun run = convert(text, 100000);
  ASSERT_EQ(run.result, 0);
  ASSERT_EQ(run.wav.size(), 44u + 4u * 100000u);
  EXPECT_EQ(run.wav.substr(4, 4), std::string("\xA4\x1A\x06\x00", 4));  // 400036
  EXPECT_EQ(run.wav.substr(44 + 4 * 99999), std::string("\x9F\x06\x61\xF9", 4));  // 1695, -1695
}

TEST(WriteWavFile, DenseTextFillsTheOutputBufferManyTimes) {
  // "1-2-3..." gives a 4-byte frame for every 4 bytes of text, as much
  // output per input as the text allows: the output buffer fills in the
  // middle of input chunks.
  std::string text = "5";
  for (int i = 1; i < 600000; ++i) text += "-" + std::to_string((i * 7) % 10);
  const ReferenceReading expected =
      referenceReadSampleText(reinterpret_cast<const unsigned char*>(text.data()), text.size());
  ASSERT_EQ(expected.pairs, 300000u);
  const ConversionRun run = convert(text, 300000);
  ASSERT_EQ(run.result, 0);
  EXPECT_EQ(run.wav.substr(0, 44), headerBytes(driverHeader(300000)));
  EXPECT_TRUE(run.wav.substr(44) == expected.frames);
}

TEST(WriteWavFile, RefusesAnInputThatChanged) {
  const std::string changed = toShiftJis("エラー:変換中に入力ファイルが変わりました!!!\n");
  struct ChangeCase {
    const char* name;
    const char* text;
    std::uint32_t statedPairs;
    size_t framesKept;
  };
  const ChangeCase changes[] = {
      {"fewer pairs than stated", "1 2\n", 2, 1},
      {"more pairs than stated", "1 2\n3 4\n5 6\n", 2, 2},
      {"a value out of range", "1 2\n3 40000\n", 2, 1},
      {"no pair at all", "", 1, 0},
  };
  for (const ChangeCase& c : changes) {
    SCOPED_TRACE(c.name);
    const ConversionRun run = convert(c.text, c.statedPairs);
    EXPECT_EQ(run.result, -1);
    EXPECT_EQ(run.out, changed);
    // What was written stays; never a frame beyond the stated count.
    EXPECT_EQ(run.wav.size(), 44u + 4u * c.framesKept);
    EXPECT_EQ(run.input, c.text);
  }
}

}  // namespace
