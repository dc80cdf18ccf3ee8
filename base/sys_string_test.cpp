#include "base/sys_string.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "testing/code_page.h"

namespace {

TEST(SysString, Cp932WidensAlikeAndPathsNeverBecomeLookAlikesOnAnySystem) {
    ASSERT_TRUE(testing_support::SystemCodePageAsExpected());
    // Narrow literals here are code page 932, wide ones UTF-16.
    EXPECT_EQ(Cp932ToWide("エラー"), L"エラー");
    EXPECT_EQ(Cp932ToWide("ＭＳ ゴシック"), L"ＭＳ ゴシック");
    EXPECT_EQ(Cp932ToWide("中断(&A)"), L"中断(&A)");
    EXPECT_EQ(Cp932ToWide(""), L"");
    constexpr char kList[] = "Waveサウンド (*.wav)\0*.wav\0";
    EXPECT_EQ(Cp932ToWide({kList, sizeof kList}),
              std::wstring(L"Waveサウンド (*.wav)\0*.wav\0\0", 24));

    EXPECT_EQ(WideToSystemCodePage(L""), "");
    EXPECT_EQ(WideToSystemCodePage(L"C:\\sounds\\tone 1.wav"), "C:\\sounds\\tone 1.wav");
    // In neither 932 nor 1252: the best fit would be "a".
    EXPECT_EQ(WideToSystemCodePage(L"tone-\u0101.wav"), std::nullopt);
    EXPECT_EQ(WideToSystemCodePage(L"\xD800"), std::nullopt);  // a lone surrogate
    switch (GetACP()) {
        case 932:
            EXPECT_EQ(WideToSystemCodePage(L"音\\エラー.wav"), "音\\エラー.wav");
            break;
        case 1252:
            EXPECT_EQ(WideToSystemCodePage(L"caf\u00E9.wav"), "caf\xE9.wav");
            EXPECT_EQ(WideToSystemCodePage(L"エラー.wav"), std::nullopt);
            break;
        default:
            GTEST_SKIP() << "system code page " << GetACP() << ": only 932 and 1252 are checked";
    }
}

}  // namespace
