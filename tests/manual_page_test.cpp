// The manual page lists every console text the program prints.
#include <gtest/gtest.h>

#include <string>

#include "messages.h"
#include "support.h"

namespace {

// The first piece of `text` between placeholders and line ends that is more
// than blanks: the part of a message the page shows as it is.
std::string firstFixedPiece(const std::string& text) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\n%", start);
    if (end == std::string::npos) end = text.size();
    const std::string piece = text.substr(start, end - start);
    if (piece.find_first_not_of(' ') != std::string::npos) return piece;
    start = end + (end < text.size() && text[end] == '%' ? 2 : 1);
  }
  return "";
}

TEST(ManualPage, ListsEveryMessage) {
  std::string page;
  ASSERT_TRUE(readFileBytes(ONDREL_MANUAL_PAGE_PATH, &page));
  const std::string shiftJisPage = toShiftJis(page);
  for (const char* text : {kUsageText, kInvalidDataMessage, kTooLargeMessage, kCreatedMessage, kInputOpenMessage,
                           kInputReadMessage, kOutputOpenMessage, kHeaderWriteMessage, kSameFileMessage,
                           kInputChangedMessage}) {
    const std::string piece = firstFixedPiece(text);
    ASSERT_FALSE(piece.empty());
    EXPECT_NE(shiftJisPage.find(piece), std::string::npos) << "missing from the page: " << piece;
  }
}

}  // namespace
