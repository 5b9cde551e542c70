#include "core/command_line.h"

#include <gtest/gtest.h>

TEST(IsUninstallSwitch, OnlyTheSwitchAloneInAnyAsciiCase) {
  const struct {
    std::vector<std::wstring> arguments;
    bool uninstall;
  } cases[] = {
      {{L"--UNINSTALL"}, true},
      {{L"--uninstall"}, true},
      {{L"--UnInStAlL"}, true},
      {{}, false},
      {{L"--UNINSTALL", L"x"}, false},
      {{L"x", L"--UNINSTALL"}, false},
      {{L"-UNINSTALL"}, false},
      {{L"/UNINSTALL"}, false},
      {{L"--UNINSTALL "}, false},
      {{L"--unınstall"}, false},  // dotless ı is not an ASCII letter
      {{L"--ＵNINSTALL"}, false},  // full-width U
      {{L""}, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsUninstallSwitch(c.arguments), c.uninstall) << testing::PrintToString(c.arguments);
  }
}
