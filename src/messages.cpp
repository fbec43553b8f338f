#include "messages.h"

#include <cstring>

// テキストファイルから wav ファイルを作成します.\n\n引数に <入力テキストファイル名> <出力ファイル名>を\n指定してください.\n\n例 : ondrel  in.txt out.wav\n
const char kUsageText[] = "\203e\203L\203X\203g\203t\203@\203C\203\213\202\251\202\347 wav \203t\203@\203C\203\213\202\360\215\354\220\254\202\265\202\334\202\267.\n\n\210\370\220\224\202\311 <\223\374\227\315\203e\203L\203X\203g\203t\203@\203C\203\213\226\274> <\217o\227\315\203t\203@\203C\203\213\226\274>\202\360\n\216w\222\350\202\265\202\304\202\255\202\276\202\263\202\242.\n\n\227\341 : ondrel  in.txt out.wav\n";

// エラー:入力データが不正です!!!\n
const char kInvalidDataMessage[] = "\203G\203\211\201[:\223\374\227\315\203f\201[\203^\202\252\225s\220\263\202\305\202\267!!!\n";

// エラー:入力データが大きすぎます!!!\n
const char kTooLargeMessage[] = "\203G\203\211\201[:\223\374\227\315\203f\201[\203^\202\252\221\345\202\253\202\267\202\254\202\334\202\267!!!\n";

// \n%s を生成しました.\n
const char kCreatedMessage[] = "\n%s \202\360\220\266\220\254\202\265\202\334\202\265\202\275.\n";

//  %sをオープンできません.\n   (the input; a leading blank, none before を)
const char kInputOpenMessage[] = " %s\202\360\203I\201[\203v\203\223\202\305\202\253\202\334\202\271\202\361.\n";

//  %sを読み込めません.\n
const char kInputReadMessage[] = " %s\202\360\223\307\202\335\215\236\202\337\202\334\202\271\202\361.\n";

// %s をオープンできません.\n   (the output; no leading blank, one before を)
const char kOutputOpenMessage[] = "%s \202\360\203I\201[\203v\203\223\202\305\202\253\202\334\202\271\202\361.\n";

// ヘッダを書き込めません: %s\n
const char kHeaderWriteMessage[] = "\203w\203b\203_\202\360\217\221\202\253\215\236\202\337\202\334\202\271\202\361: %s\n";

// エラー:入力ファイルと出力ファイルが同じです!!!\n
const char kSameFileMessage[] = "\203G\203\211\201[:\223\374\227\315\203t\203@\203C\203\213\202\306\217o\227\315\203t\203@\203C\203\213\202\252\223\257\202\266\202\305\202\267!!!\n";

// エラー:変換中に入力ファイルが変わりました!!!\n
const char kInputChangedMessage[] = "\203G\203\211\201[:\225\317\212\267\222\206\202\311\223\374\227\315\203t\203@\203C\203\213\202\252\225\317\202\355\202\350\202\334\202\265\202\275!!!\n";

void printMessage(std::FILE* stream, const char* text, const char* path) {
  // No byte of a Shift_JIS double-byte character is '%', so a plain search
  // finds the placeholder; the texts are not run through printf, which
  // keeps a '%' in the path harmless.
  const char* mark = path != nullptr ? std::strstr(text, "%s") : nullptr;
  if (mark == nullptr) {
    std::fputs(text, stream);
  } else {
    std::fwrite(text, 1, static_cast<std::size_t>(mark - text), stream);
    std::fputs(path, stream);
    std::fputs(mark + 2, stream);
  }
  std::fflush(stream);
}
