#include "app/setting_fields.h"

#include <gtest/gtest.h>

#include <string>

#include "app/dialog_driver.h"
#include "app/resource.h"
#include "countdown/time_count.h"
#include "testing/code_page.h"

namespace {

using app_test::DialogDriver;

TEST(ParseFieldText, DigitsOnlyAndSaturatedBeyondTheIntRange) {
    EXPECT_EQ(ParseFieldText(""), 0);
    EXPECT_EQ(ParseFieldText("0"), 0);
    EXPECT_EQ(ParseFieldText("007"), 7);
    EXPECT_EQ(ParseFieldText("2147483647"), 2147483647);
    EXPECT_EQ(ParseFieldText("2147483648"), 2147483647);
    EXPECT_EQ(ParseFieldText("99999999999999999999"), 2147483647);
    // 2^32 + 5 would wrap to 5 in 32-bit arithmetic.
    EXPECT_EQ(ParseFieldText("4294967301"), 2147483647);
    EXPECT_EQ(ParseFieldText("-5"), std::nullopt);
    EXPECT_EQ(ParseFieldText("+5"), std::nullopt);
    EXPECT_EQ(ParseFieldText(" 5"), std::nullopt);
    EXPECT_EQ(ParseFieldText("12abc"), std::nullopt);
    EXPECT_EQ(ParseFieldText("abc"), std::nullopt);
}

TEST(SettingFieldTable, LimitsAndMembersMatchTheControls) {
    ASSERT_NE(FindSettingField(IDC_HOUR), nullptr);
    EXPECT_EQ(FindSettingField(IDC_HOUR)->limit, 100);
    EXPECT_EQ(FindSettingField(IDC_MINUTE)->limit, 60);
    EXPECT_EQ(FindSettingField(IDC_SECOND)->limit, 60);
    EXPECT_EQ(FindSettingField(IDC_MSEC)->limit, 1000);
    EXPECT_EQ(FindSettingField(IDC_COUNT)->limit, 10000);
    EXPECT_EQ(FindSettingField(IDC_COUNT)->member, &TimeCount::count);
    EXPECT_EQ(FindSettingField(IDC_SOUND), nullptr);
    EXPECT_EQ(FindSettingField(IDC_START), nullptr);
}

// One real dialog for the whole suite: opening and closing one is slow
// under Wine.
class SettingFieldsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        driver_ = new DialogDriver;
        launched_ = driver_->Launch();
    }
    static void TearDownTestSuite() {
        delete driver_;
        driver_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(launched_) << "the dialog did not open";
        for (const SettingField& f : kSettingFields) ASSERT_TRUE(Set(f.id, "0"));
    }

    static bool Set(int id, const std::string& text) { return driver_->SetText(id, text); }
    static std::string Text(int id) { return driver_->Text(id); }
    static int32_t Stored(int id) { return g_setting.*(FindSettingField(id)->member); }

    // What the field shows is what g_setting holds (an empty field is 0).
    static void ExpectInStep(int id) {
        const std::string shown = Text(id);
        const auto value = ParseFieldText(shown.c_str());
        ASSERT_TRUE(value.has_value()) << "field " << id << " shows \"" << shown << "\"";
        EXPECT_EQ(*value, Stored(id)) << "field " << id << " shows \"" << shown << "\"";
    }

    static DialogDriver* driver_;
    static bool launched_;
};

DialogDriver* SettingFieldsTest::driver_ = nullptr;
bool SettingFieldsTest::launched_ = false;

TEST_F(SettingFieldsTest, LimitsAcceptTheLastValueAndRefuseTheNext) {
    for (const SettingField& f : kSettingFields) {
        const std::string below = std::to_string(f.limit - 1);
        ASSERT_TRUE(Set(f.id, below));
        EXPECT_EQ(Text(f.id), below);
        EXPECT_EQ(Stored(f.id), f.limit - 1);

        ASSERT_TRUE(Set(f.id, std::to_string(f.limit)));
        EXPECT_EQ(Text(f.id), below) << "the previous value comes back";
        EXPECT_EQ(Stored(f.id), f.limit - 1);
        ExpectInStep(f.id);
    }
}

TEST_F(SettingFieldsTest, LeadingZerosAreRemoved) {
    ASSERT_TRUE(Set(IDC_MINUTE, "00"));
    EXPECT_EQ(Text(IDC_MINUTE), "0");
    EXPECT_EQ(Stored(IDC_MINUTE), 0);
    ASSERT_TRUE(Set(IDC_MINUTE, "007"));
    EXPECT_EQ(Text(IDC_MINUTE), "7");
    EXPECT_EQ(Stored(IDC_MINUTE), 7);
    ASSERT_TRUE(Set(IDC_MSEC, "0000999"));
    EXPECT_EQ(Text(IDC_MSEC), "999");
    ASSERT_TRUE(Set(IDC_MSEC, "0"));
    EXPECT_EQ(Text(IDC_MSEC), "0");
    EXPECT_EQ(Stored(IDC_MSEC), 0);
    // A refused number with leading zeros also gives the previous value.
    ASSERT_TRUE(Set(IDC_HOUR, "42"));
    ASSERT_TRUE(Set(IDC_HOUR, "0100"));
    EXPECT_EQ(Text(IDC_HOUR), "42");
    EXPECT_EQ(Stored(IDC_HOUR), 42);
}

TEST_F(SettingFieldsTest, NonNumbersAndHugeNumbersAreUndone) {
    ASSERT_TRUE(Set(IDC_SECOND, "17"));
    for (const char* bad :
         {"-5", "abc", "12abc", " 3", "+4", "99999999999999999999", "4294967301", "１２"}) {
        ASSERT_TRUE(Set(IDC_SECOND, bad));
        EXPECT_EQ(Text(IDC_SECOND), "17") << bad;
        EXPECT_EQ(Stored(IDC_SECOND), 17) << bad;
    }
    ASSERT_TRUE(Set(IDC_COUNT, "9999"));
    ASSERT_TRUE(Set(IDC_COUNT, "99999999999999999999"));
    EXPECT_EQ(Text(IDC_COUNT), "9999");
    EXPECT_EQ(Stored(IDC_COUNT), 9999);
}

TEST_F(SettingFieldsTest, ClearingStoresZeroAndStaysEmpty) {
    ASSERT_TRUE(Set(IDC_COUNT, "25"));
    ASSERT_TRUE(Set(IDC_COUNT, ""));
    EXPECT_EQ(Text(IDC_COUNT), "");
    EXPECT_EQ(Stored(IDC_COUNT), 0);
}

TEST_F(SettingFieldsTest, PastedTextIsCheckedLikeTypedText) {
    ASSERT_TRUE(Set(IDC_HOUR, "1"));
    SendMessageA(driver_->Item(IDC_HOUR), EM_SETSEL, 1, 1);  // caret after the 1
    ASSERT_TRUE(driver_->Paste(IDC_HOUR, "5"));
    EXPECT_EQ(Text(IDC_HOUR), "15");
    EXPECT_EQ(Stored(IDC_HOUR), 15);

    SendMessageA(driver_->Item(IDC_HOUR), EM_SETSEL, 0, -1);
    ASSERT_TRUE(driver_->Paste(IDC_HOUR, "3x7"));
    EXPECT_EQ(Text(IDC_HOUR), "15");
    EXPECT_EQ(Stored(IDC_HOUR), 15);

    SendMessageA(driver_->Item(IDC_HOUR), EM_SETSEL, 2, 2);
    ASSERT_TRUE(driver_->Paste(IDC_HOUR, "0"));  // 150
    EXPECT_EQ(Text(IDC_HOUR), "15");

    SendMessageA(driver_->Item(IDC_HOUR), EM_SETSEL, 0, -1);
    ASSERT_TRUE(driver_->Paste(IDC_HOUR, "08"));
    EXPECT_EQ(Text(IDC_HOUR), "8");
    EXPECT_EQ(Stored(IDC_HOUR), 8);
    ExpectInStep(IDC_HOUR);
}

TEST_F(SettingFieldsTest, FullWidthDigitsAreRefusedOnAnySystem) {
    ASSERT_TRUE(testing_support::SystemCodePageAsExpected());
    // Read through a Western code page, best fit would make them "15".
    ASSERT_TRUE(Set(IDC_HOUR, "12"));
    ASSERT_TRUE(driver_->SetWideText(IDC_HOUR, L"\uFF11\uFF15"));
    EXPECT_EQ(driver_->WideText(IDC_HOUR), L"12");
    EXPECT_EQ(Stored(IDC_HOUR), 12);
    ASSERT_TRUE(driver_->SetWideText(IDC_COUNT, L"7"));
    EXPECT_EQ(Stored(IDC_COUNT), 7);
}

TEST_F(SettingFieldsTest, TypingAThirdDigitBeyondTheLimitIsUndone) {
    ASSERT_TRUE(Set(IDC_HOUR, ""));
    HWND hour = driver_->Item(IDC_HOUR);
    for (char c : std::string("10")) PostMessageA(hour, WM_CHAR, static_cast<WPARAM>(c), 1);
    ASSERT_TRUE(driver_->Settle());
    EXPECT_EQ(Text(IDC_HOUR), "10");
    EXPECT_EQ(Stored(IDC_HOUR), 10);
    SendMessageA(hour, EM_SETSEL, 2, 2);
    PostMessageA(hour, WM_CHAR, '0', 1);
    ASSERT_TRUE(driver_->Settle());
    EXPECT_EQ(Text(IDC_HOUR), "10");
    EXPECT_EQ(Stored(IDC_HOUR), 10);
    ExpectInStep(IDC_HOUR);
}

TEST_F(SettingFieldsTest, EveryFieldStaysInStepAfterMixedInput) {
    const char* inputs[] = {"5", "", "05", "x", "59", "60", "0", "000", "-1", "3"};
    for (const SettingField& f : kSettingFields) {
        for (const char* in : inputs) {
            ASSERT_TRUE(Set(f.id, in));
            ExpectInStep(f.id);
            const int32_t v = Stored(f.id);
            EXPECT_GE(v, 0);
            EXPECT_LT(v, f.limit);
        }
    }
}

}  // namespace
