// ondrel IN.txt OUT.wav: turns a text of sample pairs into a 16-bit stereo
// 44,100 Hz PCM WAV file. Exit status 0 after a complete conversion, -1 on
// any failure.
#include <cstdio>

#include "messages.h"
#include "sample_text.h"
#include "wav_writer.h"

void printUsage() { printMessage(stderr, kUsageText, nullptr); }

int main(int argc, char** argv) {
  if (argc != 3) {
    printUsage();
    return -1;
  }
  const int pairs = countSamplePairs(argv[1]);
  if (pairs == kTooManySamplePairs) {
    printMessage(stderr, kTooLargeMessage, nullptr);
    return -1;
  }
  if (pairs <= 0) {
    printMessage(stderr, kInvalidDataMessage, nullptr);
    return -1;
  }

  AudioFormat format;
  format.channels = 2;
  format.sampleRate = 44100;
  format.bitsPerSample = 16;
  format.dataSize = format.bitsPerSample / 8u * format.channels * static_cast<std::uint32_t>(pairs);

  WavHeader header;
  fillWavHeader(&header, &format);
  if (writeWavFile(argv[1], argv[2], &header) != 0) return -1;

  printMessage(stdout, kCreatedMessage, argv[2]);
  return 0;
}
