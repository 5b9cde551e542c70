#include "common/error.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

TEST(ErrorBoxText, AddsAFullStopOnlyAfterCharactersAbovePeriod) {
  const struct {
    std::wstring message;
    std::wstring shown;
  } cases[] = {
      {L"", L""},
      {L"Failed", L"Failed."},
      {L"Failed.", L"Failed."},
      {L"Ends with a comma,", L"Ends with a comma,"},   // ',' is U+002C
      {L"Ends with a dash-", L"Ends with a dash-"},     // '-' is U+002D
      {L"Ends with a slash/", L"Ends with a slash/."},  // '/' is U+002F
      {L"Socket Error # 10061\r\n", L"Socket Error # 10061\r\n"},
      {L"Invalid data type for 'Workgroup'", L"Invalid data type for 'Workgroup'"},  // U+0027
      {L"Failed (x)", L"Failed (x)"},                   // ')' is U+0029
      {L"버전 정보를 받을 수가 없습니다.", L"버전 정보를 받을 수가 없습니다."},
      {L"시간 초과", L"시간 초과."},
      {L"9", L"9."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ErrorBoxText(c.message), c.shown) << "message: " << testing::PrintToString(c.message);
  }
}

TEST(FormatText, ReplacesEveryPlaceholderAndLeavesOtherPercentSignsAlone) {
  EXPECT_EQ(FormatText(L"Failed to get data for '%s'", L"TCPNoDelay"),
            L"Failed to get data for 'TCPNoDelay'");
  EXPECT_EQ(FormatText(L"%s and %s", L"a"), L"a and a");
  EXPECT_EQ(FormatText(L"100% sure %", L"x"), L"100% sure %");
  EXPECT_EQ(FormatText(L"'%s'", L"%s"), L"'%s'");
}

TEST(FormatFields, FillsTheFieldsInOrderWithTextsAlreadyWritten) {
  EXPECT_EQ(FormatFields(L"Socket Error # %d\r\n%s", {L"10061", L"Connection refused."}),
            L"Socket Error # 10061\r\nConnection refused.");
  EXPECT_EQ(FormatFields(L"Cannot create file \"%s\". %s", {L"C:\\t\\%s.exe", L"Denied."}),
            L"Cannot create file \"C:\\t\\%s.exe\". Denied.");
  EXPECT_EQ(FormatFields(L"%s and %s", {L"one"}), L"one and %s");
  EXPECT_EQ(FormatFields(L"100% %", {L"x"}), L"100% %");
}

TEST(ApplicationErrorText, NamesTypeModuleAndOffsetAndAddsAFullStopOnlyWhenMissing) {
  EXPECT_EQ(ApplicationErrorText(L"Exception", L"LAGVANE.exe", 0x1A2B, L"버전 정보를 받을 수가 없습니다."),
            L"Exception Exception in module LAGVANE.exe at 00001A2B.\r\n버전 정보를 받을 수가 없습니다.\r\n");
  EXPECT_EQ(ApplicationErrorText(L"EFCreateError", L"LAGVANE.exe", 0xDEADBEEF, L"No dot"),
            L"Exception EFCreateError in module LAGVANE.exe at DEADBEEF.\r\nNo dot.\r\n");
}

TEST(NumberText, WritesDecimalAndPaddedUpperCaseHexadecimal) {
  const struct {
    std::wstring written;
    std::wstring expected;
  } cases[] = {
      {DecimalText(0), L"0"},
      {DecimalText(10061), L"10061"},
      {DecimalText(-5), L"-5"},
      {DecimalText(4294967295LL), L"4294967295"},
      {DecimalText(-9223372036854775807LL - 1), L"-9223372036854775808"},
      {HexText(0, 8), L"00000000"},
      {HexText(0x1A2B, 8), L"00001A2B"},
      {HexText(0xDEADBEEF, 8), L"DEADBEEF"},
      {HexText(0x123456789ABCDEF0ULL, 8), L"123456789ABCDEF0"},
      {HexText(0xFFFFFFFFFFFFFFFFULL, 0), L"FFFFFFFFFFFFFFFF"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.written, c.expected);
}

TEST(AssertionText, NamesTheSourceAndLine) {
  EXPECT_EQ(AssertionText(L"ZKLib\\ZKUtils", 245), L"Assertion failure (ZKLib\\ZKUtils, line 245)");
}

TEST(TrimSystemMessage, DropsTrailingBlanksControlCharactersAndFullStops) {
  const struct {
    std::wstring raw;
    std::wstring shown;
  } cases[] = {
      {L"The system cannot find the file specified.\r\n", L"The system cannot find the file specified"},
      {L"The operation was canceled by the user. \r\n", L"The operation was canceled by the user"},
      {L"Done...\t\0"s, L"Done"},
      {L"Version 1.0 is here", L"Version 1.0 is here"},
      {L" . \n", L""},
      {L"", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(TrimSystemMessage(c.raw), c.shown);
}
