// Every console text, byte for byte, against iconv's code page 932.
#include <gtest/gtest.h>

#include <string>

#include "messages.h"
#include "support.h"

namespace {

TEST(Messages, AreShiftJisOfTheJapaneseTexts) {
  struct Text {
    const char* stored;
    const char* utf8;
  };
  const Text texts[] = {
      {kUsageText,
       "テキストファイルから wav ファイルを作成します.\n\n引数に <入力テキストファイル名> <出力ファイル名>を\n"
       "指定してください.\n\n例 : ondrel  in.txt out.wav\n"},
      {kInvalidDataMessage, "エラー:入力データが不正です!!!\n"},
      {kTooLargeMessage, "エラー:入力データが大きすぎます!!!\n"},
      {kCreatedMessage, "\n%s を生成しました.\n"},
      {kInputOpenMessage, " %sをオープンできません.\n"},
      {kInputReadMessage, " %sを読み込めません.\n"},
      {kOutputOpenMessage, "%s をオープンできません.\n"},
      {kHeaderWriteMessage, "ヘッダを書き込めません: %s\n"},
      {kSameFileMessage, "エラー:入力ファイルと出力ファイルが同じです!!!\n"},
      {kInputChangedMessage, "エラー:変換中に入力ファイルが変わりました!!!\n"},
  };
  for (const Text& t : texts) EXPECT_EQ(std::string(t.stored), toShiftJis(t.utf8)) << t.utf8;
}

TEST(Messages, PathIsWrittenUnchanged) {
  testing::internal::CaptureStdout();
  printMessage(stdout, kOutputOpenMessage, "a%sb%d\x83\x5C.wav");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "a%sb%d\x83\x5C.wav" + toShiftJis(" をオープンできません.\n"));
}

}  // namespace
