#include "update/version.h"

#include <gtest/gtest.h>

TEST(SplitVersion, SplitsAtDotsAndBlanksAndKeepsEmptyAndQuotedParts) {
  using Parts = std::vector<std::wstring>;
  const struct {
    std::wstring_view version;
    Parts parts;
  } cases[] = {
      {L"", {}},
      {L" \t\r\n", {}},
      {L"1.0.0.2", {L"1", L"0", L"0", L"2"}},
      {L"  1.0.0.2 \r\n", {L"1", L"0", L"0", L"2"}},
      {L"1 . 0 .0. 2", {L"1", L"0", L"0", L"2"}},
      {L"1.0 0.2", {L"1", L"0", L"0", L"2"}},
      {L"1..0.2", {L"1", L"", L"0", L"2"}},
      {L"1.0.0.2.", {L"1", L"0", L"0", L"2", L""}},
      {L".1", {L"", L"1"}},
      {L".", {L"", L""}},
      // Only a dot at the very end adds an empty part.
      {L"1.0. ", {L"1", L"0"}},
      {L"\"1.0\".2", {L"1.0", L"2"}},
      {L"\"a\"\"b\".\"\"", {L"a\"b", L""}},
      {L"\"open.ended", {L"open.ended"}},
      {L"\"1\"2", {L"1", L"2"}},
      {L"1\x7F.2", {L"1\x7F", L"2"}},
      {std::wstring_view(L"1.2\0.3", 6), {L"1", L"2"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitVersion(c.version), c.parts) << testing::PrintToString(std::wstring(c.version));
  }
}

TEST(VersionPartNumber, ReadsSignedDecimalAndHexadecimalIn32Bits) {
  const struct {
    std::wstring_view part;
    std::optional<std::int32_t> number;
  } cases[] = {
      {L"0", 0},
      {L"01", 1},
      {L"+7", 7},
      {L"-7", -7},
      {L"2147483647", 2147483647},
      {L"2147483648", std::nullopt},
      {L"-2147483648", INT32_MIN},
      {L"-2147483649", std::nullopt},
      {L"99999999999999999999", std::nullopt},
      {L"$1F", 31},
      {L"x1f", 31},
      {L"X10", 16},
      {L"0x10", 16},
      {L"0XfF", 255},
      {L"-$10", -16},
      {L"$7FFFFFFF", 2147483647},
      {L"$80000000", std::nullopt},
      {L"", std::nullopt},
      {L"+", std::nullopt},
      {L"$", std::nullopt},
      {L"0x", std::nullopt},
      {L"a", std::nullopt},
      {L"1a", std::nullopt},
      {L"1F", std::nullopt},
      {L" 1", std::nullopt},
      {L"1 ", std::nullopt},
      {L"--1", std::nullopt},
      {L"1.5", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(VersionPartNumber(c.part), c.number) << testing::PrintToString(std::wstring(c.part));
  }
}

TEST(IsLatestVersion, ComparesEachPlaceOnItsOwn) {
  const struct {
    std::wstring_view remote;
    std::wstring_view local;
    bool latest;
  } cases[] = {
      {L"1.0.0.2", L"1.0.0.1", false},
      {L"1.0.0.2", L"1.0.0.2", true},
      {L"1.0.0.2", L"1.0.0.3", true},
      // Place by place, not by significance.
      {L"1.0.0.5", L"2.0.0.0", false},
      {L"2.0.0.0", L"1.9.9.9", false},
      {L"1.0", L"1.0.0", false},
      {L"", L"1.0.0.1", false},
      {L"1.0.0.2", L"", false},
      {L"", L"", true},
      {L"1.0.0.2 ", L"1.0.0.2", true},
      {L"1.0.0.2\r\n", L"1.0.0.2", true},
      {L"1..0.2", L"1.0.0.2", false},
      {L"1.0.0.2", L"1..0.2", false},
      {L"1.0.0.2.", L"1.0.0.2", false},
      {L"1.0 0.2", L"1.0.0.2", true},
      {L"1.0.0.a", L"1.0.0.9", false},
      {L"1.0.0.1", L"1.0.0.a", false},
      {L"1.0.0.2147483648", L"1.0.0.2147483647", false},
      {L"01.0.0.2", L"1.0.0.2", true},
      {L"$10", L"16", true},
      {L"-1", L"0", true},
      {L"\"1\".0", L"1.0", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsLatestVersion(c.remote, c.local), c.latest)
        << testing::PrintToString(std::wstring(c.remote)) << " vs " << testing::PrintToString(std::wstring(c.local));
  }
}

TEST(IsNewerVersion, ComparesInOrderOfSignificanceWithMissingPartsAsZero) {
  const struct {
    std::wstring_view remote;
    std::wstring_view local;
    bool newer;
  } cases[] = {
      {L"1.0.0.2", L"1.0.0.1", true},
      {L"1.0.0.2", L"1.0.0.2", false},
      {L"1.0.0.2", L"1.0.0.3", false},
      {L"1.0.0.5", L"2.0.0.0", false},
      {L"2.0.0.0", L"1.9.9.9", true},
      {L"1.10", L"1.9", true},
      {L"1.0", L"1.0.0.0", false},
      {L"1.0.0.1", L"1.0", true},
      {L"1.0", L"1.0.0.1", false},
      {L"1.0.0.0.1", L"1.0.0.0", true},
      {L"1.0.0.2", L"", true},
      {L"", L"1.0.0.1", false},
      {L"", L"", false},
      {L"0.0", L"", false},
      {L"01.0.0.3", L"1.0.0.2", true},
      {L"1.0.0.2 ", L"1.0.0.1", true},
      {L"$10", L"15", true},
      {L"1.0.0.-1", L"1.0.0.0", false},
      {L"2147483647", L"2147483646", true},
      // Not numbers on either side: the two cannot be ordered, so nothing is newer.
      {L"1..0.3", L"1.0.0.2", false},
      {L"2.0.0.a", L"1.0.0.0", false},
      {L"2.0.0.0", L"1.0.0.a", false},
      {L"2.0.0.2147483648", L"1.0.0.0", false},
      {L"2.0.0.0.", L"1.0.0.0", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsNewerVersion(c.remote, c.local), c.newer)
        << testing::PrintToString(std::wstring(c.remote)) << " vs " << testing::PrintToString(std::wstring(c.local));
  }
}
