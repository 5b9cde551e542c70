#include "update/manifest.h"

#include <gtest/gtest.h>

TEST(SplitManifestLines, EndsLinesAtCrLfLoneLfAndLoneCrAndTheTextAtNul) {
  using Lines = std::vector<std::wstring_view>;
  const struct {
    std::wstring_view text;
    Lines lines;
  } cases[] = {
      {L"", {}},
      {L"a", {L"a"}},
      {L"a\r\n", {L"a"}},
      {L"a\r\nb", {L"a", L"b"}},
      {L"a\nb\rc\r\nd", {L"a", L"b", L"c", L"d"}},
      {L"a\r\n\r\nb\n", {L"a", L"", L"b"}},
      {L"a\n\rb", {L"a", L"", L"b"}},
      {L"a\r\rb", {L"a", L"", L"b"}},
      {L"\n", {L""}},
      {std::wstring_view(L"a\nb\0c\nd", 7), {L"a", L"b"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitManifestLines(c.text), c.lines) << testing::PrintToString(std::wstring(c.text));
  }
}

TEST(FindManifestValue, NeedsAnExactNameThenTakesTheFirstNameThatMatchesIgnoringCase) {
  const struct {
    std::wstring_view text;
    std::wstring value;
  } cases[] = {
      {L"LAGVANE.exe=1.0.0.2", L"1.0.0.2"},
      {L"Other=9.9\r\nLAGVANE.exe=1.0.0.2\r\nMore=1\r\n", L"1.0.0.2"},
      {L"LAGVANE.exe=1.0.0.2 \r\n", L"1.0.0.2 "},
      {L"LAGVANE.exe=a=b", L"a=b"},
      {L"LAGVANE.exe=", L""},
      {L"X=1\rLAGVANE.exe=3", L"3"},
      {L"LAGVANE.exe=1\nLAGVANE.exe=2", L"1"},
      {L"Lagvane.exe=1.0.0.1\r\nLAGVANE.exe=1.0.0.2", L"1.0.0.1"},
      {L"LAGVANE.exe = 1.0.0.2", L""},
      {L"LAGVANE.exe =1.0.0.2\r\nLAGVANE.exe=1.0.0.3", L"1.0.0.3"},
      {L"lagvane.exe=1.0.0.2", L""},
      {L"LAGVANE.exe", L""},
      {L" LAGVANE.exe=1", L""},
      {L"", L""},
      {std::wstring_view(L"X=1\0LAGVANE.exe=3", 17), L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindManifestValue(c.text, L"LAGVANE.exe", EqualsIgnoringAsciiCaseW), c.value)
        << testing::PrintToString(std::wstring(c.text));
  }
}

TEST(FindManifestValue, AsksThePlatformComparisonOnlyOnceAnExactNameIsFound) {
  int calls = 0;
  const NameEquality anything = [&](std::wstring_view, std::wstring_view) {
    ++calls;
    return true;
  };
  EXPECT_EQ(FindManifestValue(L"lagvane.exe=1\r\nno equals sign\r\nFirst=2", L"LAGVANE.exe", anything), L"");
  EXPECT_EQ(calls, 0);
  // The platform's notion of "same name ignoring case" picks the line.
  EXPECT_EQ(FindManifestValue(L"no equals sign\r\nFirst=1\r\nLAGVANE.exe=2", L"LAGVANE.exe", anything), L"1");
}
