#include <gtest/gtest.h>

#include "launcher/config/MessageFormat.h"

namespace {

std::wstring fill(const wchar_t* text, const wchar_t* argument, size_t size = 100) {
    std::vector<wchar_t> buffer(size);
    std::wcsncpy(buffer.data(), text, size - 1);
    fillPlaceholder(buffer.data(), size, argument);
    return buffer.data();
}

}  // namespace

TEST(MessagePlaceholder, OnlyTheFirstIsReplaced) {
    EXPECT_EQ(fill(L"An internal error occurred (error code: {0})", L"16"),
              L"An internal error occurred (error code: 16)");
    EXPECT_EQ(fill(L"{0} and {0}", L"x"), L"x and {0}");
}

TEST(MessagePlaceholder, TextWithoutPlaceholderOrArgumentStays) {
    EXPECT_EQ(fill(L"Couldn't load main class.", L"x"), L"Couldn't load main class.");
    EXPECT_EQ(fill(L"code {0}", nullptr), L"code {0}");
}

TEST(MessagePlaceholder, ResultIsCutToTheBuffer) {
    EXPECT_EQ(fill(L"a{0}b", L"123456789", 8), L"a123456");
}
