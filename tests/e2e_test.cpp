// The real binary in a temporary folder: standard output, standard error,
// exit status and the bytes of the output file, for each kind of run.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support.h"

namespace {

constexpr int kFailure = 255;  // -1 as a shell sees it

std::string sjis(const std::string& utf8) { return consoleText(toShiftJis(utf8)); }

const std::string kUsage = "テキストファイルから wav ファイルを作成します.\n\n引数に <入力テキストファイル名> <出力ファイル名>を\n"
                           "指定してください.\n\n例 : ondrel  in.txt out.wav\n";
const std::string kInvalid = "エラー:入力データが不正です!!!\n";

std::string created(const std::string& path) { return sjis("\n" + path + " を生成しました.\n"); }
std::string inputOpen(const std::string& path) { return sjis(" " + path + "をオープンできません.\n"); }
std::string outputOpen(const std::string& path) { return sjis(path + " をオープンできません.\n"); }

const std::string kOnePairWav(
    "RIFF\x28\x00\x00\x00WAVEfmt \x10\x00\x00\x00\x01\x00\x02\x00\x44\xAC\x00\x00\x10\xB1\x02\x00"
    "\x04\x00\x10\x00" "data\x04\x00\x00\x00\x01\x00\xFF\xFF",
    48);

std::string contents(const std::string& path) {
  std::string bytes;
  readFileBytes(path, &bytes);
  return bytes;
}

TEST(Ondrel, WrongArgumentCountPrintsUsage) {
  const std::vector<std::vector<std::string>> calls = {{}, {"in.txt"}, {"in.txt", "out.wav", "extra"}};
  for (const auto& args : calls) {
    TempDir dir;
    writeFileBytes(dir.file("in.txt"), "1 2\n");
    const RunResult r = runOndrel(args, dir.path);
    EXPECT_EQ(r.status, kFailure) << args.size();
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, sjis(kUsage));
    EXPECT_FALSE(fileExists(dir.file("out.wav")));
  }
}

TEST(Ondrel, ConvertsOnePair) {
  TempDir dir;
  writeFileBytes(dir.file("in.txt"), "1 -1\n");
  const RunResult r = runOndrel({"in.txt", "out.wav"}, dir.path);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, created("out.wav"));
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(contents(dir.file("out.wav")), kOnePairWav);
}

TEST(Ondrel, ReplacesAnExistingOutput) {
  TempDir dir;
  writeFileBytes(dir.file("in.txt"), "-32768 32767\r\n");
  writeFileBytes(dir.file("out.wav"), std::string(1000, 'x'));
  const RunResult r = runOndrel({"in.txt", "out.wav"}, dir.path);
  EXPECT_EQ(r.status, 0);
  const std::string wav = contents(dir.file("out.wav"));
  ASSERT_EQ(wav.size(), 48u);
  EXPECT_EQ(wav.substr(44), std::string("\x00\x80\xFF\x7F", 4));
}

TEST(Ondrel, DashAndPercentAreOrdinaryPathCharacters) {
  TempDir dir;
  writeFileBytes(dir.file("-in%s.txt"), "1 -1\n");
  const RunResult r = runOndrel({"-in%s.txt", "-o%d.wav"}, dir.path);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, created("-o%d.wav"));
  EXPECT_EQ(contents(dir.file("-o%d.wav")), kOnePairWav);
}

// Bytes a text stream would change (LF, CR, Ctrl-Z) reach the output file
// unchanged.
TEST(Ondrel, OutputIsWrittenInBinary) {
  TempDir dir;
  writeFileBytes(dir.file("in.txt"), "10 3338\n6682 13\n");
  const RunResult r = runOndrel({"in.txt", "out.wav"}, dir.path);
  EXPECT_EQ(r.status, 0);
  const std::string wav = contents(dir.file("out.wav"));
  ASSERT_EQ(wav.size(), 52u);
  EXPECT_EQ(wav.substr(44), std::string("\x0A\x00\x0A\x0D\x1A\x1A\x0D\x00", 8));
}

// A '*' or '?' in an argument is part of the path: the tool is never handed
// the names that match it instead (as a Windows runtime may do).
TEST(Ondrel, WildcardsAreNotExpanded) {
  TempDir dir;
  writeFileBytes(dir.file("a.txt"), "1 2\n");
  writeFileBytes(dir.file("b.txt"), "3 4\n");
  const RunResult r = runOndrel({"*.txt", "?.wav"}, dir.path);
  EXPECT_EQ(r.status, kFailure);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, inputOpen("*.txt") + sjis(kInvalid));
}

// Every failure of the validation pass leaves the output path alone: an
// absent output stays absent, an existing one keeps its bytes.
TEST(Ondrel, InvalidInputTouchesNoOutput) {
  struct Case {
    const char* name;
    const char* input;  // null: no input file
    std::string err;
  };
  const Case cases[] = {
      {"missing input", nullptr, inputOpen("in.txt") + sjis(kInvalid)},
      {"empty input", "", sjis(kInvalid)},
      {"no complete pair", "12abc\n", sjis(kInvalid)},
      {"value out of range", "1 2\n3 32768\n", sjis(kInvalid)},
      {"byte-order mark", "\xEF\xBB\xBF" "1 2\n", sjis(kInvalid)},
  };
  for (const Case& c : cases) {
    for (bool existing : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (existing ? ", output exists" : ", no output"));
      TempDir dir;
      if (c.input != nullptr) writeFileBytes(dir.file("in.txt"), c.input);
      if (existing) writeFileBytes(dir.file("out.wav"), "keep me");
      const RunResult r = runOndrel({"in.txt", "out.wav"}, dir.path);
      EXPECT_EQ(r.status, kFailure);
      EXPECT_EQ(r.out, "");
      EXPECT_EQ(r.err, c.err);
      if (existing) {
        EXPECT_EQ(contents(dir.file("out.wav")), "keep me");
      } else {
        EXPECT_FALSE(fileExists(dir.file("out.wav")));
      }
    }
  }
}

TEST(Ondrel, DirectoryAsInputCannotBeOpened) {
  TempDir dir;
  mkdir(dir.file("sub").c_str(), 0755);
  const RunResult r = runOndrel({"sub", "out.wav"}, dir.path);
  EXPECT_EQ(r.status, kFailure);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, inputOpen("sub") + sjis(kInvalid));
  EXPECT_FALSE(fileExists(dir.file("out.wav")));
}

TEST(Ondrel, OutputThatCannotBeCreated) {
  for (const char* output : {"missing/out.wav", "sub"}) {
    SCOPED_TRACE(output);
    TempDir dir;
    mkdir(dir.file("sub").c_str(), 0755);
    writeFileBytes(dir.file("in.txt"), "1 2\n");
    const RunResult r = runOndrel({"in.txt", output}, dir.path);
    EXPECT_EQ(r.status, kFailure);
    EXPECT_EQ(r.out, outputOpen(output));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(contents(dir.file("in.txt")), "1 2\n");
  }
}

TEST(Ondrel, SameFileAsInputAndOutputIsRefused) {
  const std::string same = sjis("エラー:入力ファイルと出力ファイルが同じです!!!\n");
  struct Case {
    const char* name;
    const char* output;
    int (*link)(const char*, const char*);  // makes `output` name in.txt, or null
  };
  const Case cases[] = {
      {"same name", "in.txt", nullptr},
      {"other spelling", "./sub/../in.txt", nullptr},
      {"hard link", "hard.wav", link},
      {"symbolic link", "soft.wav", symlink},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    mkdir(dir.file("sub").c_str(), 0755);
    writeFileBytes(dir.file("in.txt"), "1 2\n3 4\n");
    if (c.link != nullptr) {
      ASSERT_EQ(c.link(c.link == symlink ? "in.txt" : dir.file("in.txt").c_str(), dir.file(c.output).c_str()), 0);
    }
    const RunResult r = runOndrel({"in.txt", c.output}, dir.path);
    EXPECT_EQ(r.status, kFailure);
    EXPECT_EQ(r.out, same);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(contents(dir.file("in.txt")), "1 2\n3 4\n");
  }
}

TEST(Ondrel, FullDiskIsNeverReportedAsSuccess) {
  std::string large;
  for (int i = 0; i < 200000; ++i) large += "12345 -12345\n";
  for (const std::string& text : {std::string("1 2\n"), large}) {
    SCOPED_TRACE(text.size());
    TempDir dir;
    writeFileBytes(dir.file("in.txt"), text);
    const RunResult r = runOndrel({"in.txt", "/dev/full"}, dir.path);
    EXPECT_EQ(r.status, kFailure);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(contents(dir.file("in.txt")), text);
  }
}

TEST(Ondrel, ReadErrorIsNotTheEndOfTheData) {
  // Reading /proc/self/mem at offset 0 fails with EIO.
  TempDir dir;
  const RunResult r = runOndrel({"/proc/self/mem", "out.wav"}, dir.path);
  EXPECT_EQ(r.status, kFailure);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, sjis(" /proc/self/memを読み込めません.\n") + sjis(kInvalid));
  EXPECT_FALSE(fileExists(dir.file("out.wav")));
}

TEST(Ondrel, ConvertsTheShippedExample) {
  TempDir dir;
  const RunResult r = runOndrel({ONDREL_EXAMPLE_PATH, "tone.wav"}, dir.path);
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out, created("tone.wav"));
  const std::string wav = contents(dir.file("tone.wav"));
  ASSERT_GT(wav.size(), 44u);
  EXPECT_EQ(wav.size() - 44, static_cast<unsigned char>(wav[40]) + (static_cast<unsigned char>(wav[41]) << 8) +
                                 (static_cast<unsigned char>(wav[42]) << 16) +
                                 (static_cast<size_t>(static_cast<unsigned char>(wav[43])) << 24));
}

// Inputs that can be read only once: a pipe on standard input, a pipe passed
// as /dev/fd/N the way a shell's <(gen) does, and a named FIFO. Each is
// opened once; what the validation pass reads is kept for the conversion.
const Feed kOnceOnlyFeeds[] = {Feed::kStdin, Feed::kFd3, Feed::kFifo};
const char* const kFeedNames[] = {"pipe on /dev/stdin", "pipe on /dev/fd/3", "named FIFO"};

// These are POSIX paths: a Windows build run through $ONDREL_RUNNER skips them.
bool runsNatively() {
  const char* runner = std::getenv("ONDREL_RUNNER");
  return runner == nullptr || *runner == '\0';
}

TEST(Ondrel, OnceOnlyInputsConvertLikeAFile) {
  if (!runsNatively()) GTEST_SKIP() << "POSIX pipes and FIFOs";
  std::string large;  // many reads, and far more than a pipe holds
  for (int i = 0; i < 200000; ++i) large += std::to_string(i % 65536 - 32768) + " " + std::to_string(i % 1000) + "\r\n";
  large += "1 2 end 3 4\n";
  for (const std::string& text : {std::string("1 -1\n"), large}) {
    TempDir fileDir;
    writeFileBytes(fileDir.file("in.txt"), text);
    ASSERT_EQ(runOndrel({"in.txt", "out.wav"}, fileDir.path).status, 0);
    const std::string expected = contents(fileDir.file("out.wav"));
    for (int f = 0; f < 3; ++f) {
      SCOPED_TRACE(std::string(kFeedNames[f]) + ", " + std::to_string(text.size()) + " bytes");
      TempDir dir;
      const RunResult r = runOndrelFed({"IN", "out.wav"}, dir.path, text, kOnceOnlyFeeds[f]);
      EXPECT_EQ(r.status, 0);
      EXPECT_EQ(r.out, created("out.wav"));
      EXPECT_EQ(r.err, "");
      EXPECT_TRUE(contents(dir.file("out.wav")) == expected);
    }
  }
}

TEST(Ondrel, InvalidPipedDataTouchesNoOutput) {
  if (!runsNatively()) GTEST_SKIP() << "POSIX pipes and FIFOs";
  const char* const inputs[] = {"", "12abc\n", "1 2\n3 32768\n", "\357\273\2771 2\n"};
  for (const char* input : inputs) {
    for (int f = 0; f < 3; ++f) {
      for (bool existing : {false, true}) {
        SCOPED_TRACE(testing::PrintToString(std::string(input)) + ", " + kFeedNames[f] + (existing ? ", output exists" : ""));
        TempDir dir;
        if (existing) writeFileBytes(dir.file("out.wav"), "keep me");
        const RunResult r = runOndrelFed({"IN", "out.wav"}, dir.path, input, kOnceOnlyFeeds[f]);
        EXPECT_EQ(r.status, kFailure);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, sjis(kInvalid));
        if (existing) {
          EXPECT_EQ(contents(dir.file("out.wav")), "keep me");
        } else {
          EXPECT_FALSE(fileExists(dir.file("out.wav")));
        }
      }
    }
  }
}

TEST(Ondrel, OnceOnlyInputAsItsOwnOutputIsRefused) {
  if (!runsNatively()) GTEST_SKIP() << "POSIX pipes and FIFOs";
  const std::string same = sjis("エラー:入力ファイルと出力ファイルが同じです!!!\n");
  const char* const outputs[] = {"/dev/stdin", "/dev/fd/3", "fifo"};
  for (int f = 0; f < 3; ++f) {
    SCOPED_TRACE(kFeedNames[f]);
    TempDir dir;
    const RunResult r = runOndrelFed({"IN", outputs[f]}, dir.path, "1 2\n", kOnceOnlyFeeds[f]);
    EXPECT_EQ(r.status, kFailure);
    EXPECT_EQ(r.out, same);
    EXPECT_EQ(r.err, "");
  }
}

TEST(Ondrel, PipeWithNoPlaceForItsCopyCannotBeOpened) {
  if (!runsNatively()) GTEST_SKIP() << "POSIX pipes and FIFOs";
  TempDir dir;
  const RunResult r =
      runOndrelFed({"IN", "out.wav"}, dir.path, "1 2\n", Feed::kStdin, {"TMPDIR=" + dir.file("missing")});
  EXPECT_EQ(r.status, kFailure);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, inputOpen("/dev/stdin") + sjis(kInvalid));
  EXPECT_FALSE(fileExists(dir.file("out.wav")));
}

}  // namespace

namespace {

// Opt-in (ONDREL_HUGE_TESTS=1): a real 4 GiB input of 2^30 pairs, ten more
// than a WAV file can hold. Needs 4 GiB of free space in $TMPDIR.
TEST(Ondrel, TooManyPairsForAWavFile) {
  const char* optIn = std::getenv("ONDREL_HUGE_TESTS");
  if (optIn == nullptr || std::string(optIn) != "1") GTEST_SKIP() << "set ONDREL_HUGE_TESTS=1 to write a 4 GiB input";
  TempDir dir;
  {
    std::string block;
    for (int i = 0; i < 262144; ++i) block += "0 0\n";  // 1 MiB
    std::FILE* f = std::fopen(dir.file("in.txt").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    for (int i = 0; i < 4096; ++i) ASSERT_EQ(std::fwrite(block.data(), 1, block.size(), f), block.size());
    ASSERT_EQ(std::fclose(f), 0);
  }
  writeFileBytes(dir.file("out.wav"), "keep me");
  const RunResult r = runOndrel({"in.txt", "out.wav"}, dir.path);
  EXPECT_EQ(r.status, kFailure);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, sjis("エラー:入力データが大きすぎます!!!\n"));
  EXPECT_EQ(contents(dir.file("out.wav")), "keep me");
}

}  // namespace
