// The console texts of the tool. They are stored and written as Shift_JIS
// (code page 932) bytes, never converted to the console's encoding.
#pragma once

#include <cstdio>

extern const char kUsageText[];
extern const char kInvalidDataMessage[];
extern const char kTooLargeMessage[];
extern const char kCreatedMessage[];
extern const char kInputOpenMessage[];
extern const char kInputReadMessage[];
extern const char kOutputOpenMessage[];
extern const char kHeaderWriteMessage[];
extern const char kSameFileMessage[];
extern const char kInputChangedMessage[];

// Writes `text` to `stream`, with `path` in place of its "%s" (if any), and
// flushes. The path is written unchanged, byte for byte.
void printMessage(std::FILE* stream, const char* text, const char* path);
