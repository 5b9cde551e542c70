// The registry layer against Wine's real registry, in a private subtree of each test.

#include "common/error.h"
#include "common/unique_handle.h"
#include "registry_fixtures.h"
#include "tuning/reg_set.h"
#include "tuning/registry.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>

using namespace regtest;

namespace {

// Lets a test see the accessor's open key between operations.
class ProbeRegSet : public TRegSet {
public:
  const TRegistry& Reg() const noexcept { return FReg; }
};

struct Case {
  const wchar_t* name;
  DWORD type;
  std::vector<BYTE> data;
};

std::vector<BYTE> Concat(std::vector<BYTE> a, const std::vector<BYTE>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Each test works in its own subtree through a tracing API, and ends with every handle closed.
class RegistryTest : public ::testing::Test {
protected:
  void TearDown() override {
    EXPECT_EQ(api.Outstanding(), 0u);
    EXPECT_EQ(api.StrayCloses(), 0u);
    EXPECT_EQ(set.Reg().CurrentKey(), nullptr);
  }

  TestKey key;
  TracingRegistryApi api;
  ScopedRegistryApi scope{api};
  ProbeRegSet set;
};

TEST_F(RegistryTest, ReadIntegerAcceptsFourByteDwordsOnly) {
  struct IntCase {
    Case value;
    std::int32_t expected;
  };
  const IntCase cases[] = {
      {{L"seven", REG_DWORD, DwordBytes(7)}, 7},
      {{L"all ones", REG_DWORD, DwordBytes(0xFFFFFFFF)}, -1},
      {{L"lowest", REG_DWORD, DwordBytes(0x80000000)}, INT32_MIN},
      {{L"two bytes", REG_DWORD, {0x34, 0x12}}, 0x1234},
      {{L"eight bytes", REG_DWORD, Concat(DwordBytes(1), DwordBytes(0))}, -1},
      {{L"text one", REG_SZ, TextBytes(L"1")}, -1},
      {{L"binary", REG_BINARY, DwordBytes(5)}, -1},
      {{L"big endian", REG_DWORD_BIG_ENDIAN, DwordBytes(5)}, -1},
      {{L"qword", REG_QWORD, Concat(DwordBytes(5), DwordBytes(0))}, -1},
  };
  for (const IntCase& c : cases) SetRaw(HKEY_CURRENT_USER, key.Path(), c.value.name, c.value.type, c.value.data);

  for (const IntCase& c : cases)
    EXPECT_EQ(set.ReadInteger(HKEY_CURRENT_USER, key.Path(), c.value.name), c.expected) << c.value.name;
  EXPECT_EQ(set.ReadInteger(HKEY_CURRENT_USER, key.Path(), L"absent"), -1);
  EXPECT_EQ(set.ReadInteger(HKEY_CURRENT_USER, key / L"absent", L"seven"), -1);
}

TEST_F(RegistryTest, ReadStringTakesTextUpToFirstNulWithoutExpanding) {
  const std::wstring longText(5000, L'x');
  struct StringCase {
    Case value;
    std::wstring expected;
  };
  const StringCase cases[] = {
      {{L"plain", REG_SZ, TextBytes(L"hello")}, L"hello"},
      {{L"hangul", REG_SZ, TextBytes(L"게임 최적화")}, L"게임 최적화"},
      {{L"expand", REG_EXPAND_SZ, TextBytes(L"%SystemRoot%\\x")}, L"%SystemRoot%\\x"},
      {{L"inner nul", REG_SZ, TextBytes(std::wstring(L"ab\0cd", 5))}, L"ab"},
      {{L"no terminator", REG_SZ, TextBytes(L"abc", false)}, L"abc"},
      {{L"odd size", REG_SZ, Concat(TextBytes(L"ab", false), {'c'})}, L"ab"},
      {{L"one byte", REG_SZ, {'c'}}, L""},
      {{L"empty", REG_SZ, TextBytes(L"")}, L""},
      {{L"zero bytes", REG_SZ, {}}, L""},
      {{L"long", REG_SZ, TextBytes(longText)}, longText},
      {{L"dword", REG_DWORD, DwordBytes(0x00410041)}, L""},
      {{L"multi", REG_MULTI_SZ, TextBytes(std::wstring(L"a\0b\0", 4))}, L""},
      {{L"binary", REG_BINARY, TextBytes(L"ab")}, L""},
  };
  for (const StringCase& c : cases) SetRaw(HKEY_CURRENT_USER, key.Path(), c.value.name, c.value.type, c.value.data);

  for (const StringCase& c : cases)
    EXPECT_EQ(set.ReadString(HKEY_CURRENT_USER, key.Path(), c.value.name), c.expected) << c.value.name;
  EXPECT_EQ(set.ReadString(HKEY_CURRENT_USER, key.Path(), L"absent"), L"");
  EXPECT_EQ(set.ReadString(HKEY_CURRENT_USER, key / L"absent", L"plain"), L"");
}

TEST_F(RegistryTest, WriteIntegerCreatesTheWholeMissingPath) {
  const std::wstring deep = key / L"a\\b\\c";

  set.WriteInteger(HKEY_CURRENT_USER, deep, L"v", -1);

  EXPECT_EQ(GetRaw(HKEY_CURRENT_USER, deep, L"v"), (RawValue{REG_DWORD, DwordBytes(0xFFFFFFFF)}));
  // A volatile key would refuse a lasting child.
  HKEY child = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, (deep + L"\\child").c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_READ, nullptr, &child, nullptr),
            ERROR_SUCCESS);
  UniqueHKey closeChild(child);
}

TEST_F(RegistryTest, WritesStoreDwordsAndNulTerminatedTextOverAnyEarlierType) {
  SetRaw(HKEY_CURRENT_USER, key.Path(), L"was text", REG_SZ, TextBytes(L"1"));
  SetRawDword(HKEY_CURRENT_USER, key.Path(), L"was number", 1);

  set.WriteInteger(HKEY_CURRENT_USER, key.Path(), L"was text", 64000);
  set.WriteString(HKEY_CURRENT_USER, key.Path(), L"was number", L"1");
  EXPECT_EQ(GetRaw(HKEY_CURRENT_USER, key.Path(), L"was text"), (RawValue{REG_DWORD, DwordBytes(64000)}));
  EXPECT_EQ(GetRaw(HKEY_CURRENT_USER, key.Path(), L"was number"), (RawValue{REG_SZ, TextBytes(L"1")}));

  for (const std::wstring text : {L"", L"EMI", L"C:\\Program Files\\LAGVANE\\LAGVANE.exe", L"레지스트리"}) {
    set.WriteString(HKEY_CURRENT_USER, key.Path(), L"text", text);
    const auto stored = GetRaw(HKEY_CURRENT_USER, key.Path(), L"text");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(stored->data.size(), (text.size() + 1) * 2);
    EXPECT_EQ(stored->data, TextBytes(text));
  }
}

TEST_F(RegistryTest, DeleteReportsWhetherAValueWasRemoved) {
  SetRawDword(HKEY_CURRENT_USER, key.Path(), L"gone", 1);
  SetRawDword(HKEY_CURRENT_USER, key.Path(), L"kept", 2);

  EXPECT_TRUE(set.Delete(HKEY_CURRENT_USER, key.Path(), L"gone"));
  EXPECT_FALSE(GetRaw(HKEY_CURRENT_USER, key.Path(), L"gone"));
  EXPECT_TRUE(GetRaw(HKEY_CURRENT_USER, key.Path(), L"kept"));

  EXPECT_FALSE(set.Delete(HKEY_CURRENT_USER, key.Path(), L"gone"));
  EXPECT_FALSE(set.Delete(HKEY_CURRENT_USER, key / L"absent", L"kept"));
}

TEST_F(RegistryTest, DeleteKeyRemovesTheWholeSubtree) {
  const std::wstring tree = key / L"tree";
  SetRawDword(HKEY_CURRENT_USER, tree, L"top", 1);
  SetRawDword(HKEY_CURRENT_USER, tree + L"\\a\\b\\c", L"deep", 1);
  CreateRawKey(HKEY_CURRENT_USER, tree + L"\\a\\d");
  // Enough siblings that deleting while enumerating would skip some, and one name of the
  // longest length the registry allows.
  for (int i = 0; i < 20; ++i) CreateRawKey(HKEY_CURRENT_USER, tree + L"\\n" + std::to_wstring(i) + L"\\x");
  CreateRawKey(HKEY_CURRENT_USER, tree + L"\\" + std::wstring(255, L'L'));
  CreateRawKey(HKEY_CURRENT_USER, key / L"sibling");

  EXPECT_TRUE(set.DeleteKey(HKEY_CURRENT_USER, tree));
  EXPECT_FALSE(KeyPresent(HKEY_CURRENT_USER, tree));
  EXPECT_TRUE(KeyPresent(HKEY_CURRENT_USER, key / L"sibling"));

  EXPECT_FALSE(set.DeleteKey(HKEY_CURRENT_USER, tree));
  EXPECT_FALSE(set.DeleteKey(HKEY_CURRENT_USER, key / L"absent\\deeper"));
}

TEST_F(RegistryTest, DeleteKeyOfAnEmptyPathLeavesTheRootAlone) {
  CreateRawKey(HKEY_CURRENT_USER, key / L"child");
  HKEY raw = nullptr;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, key.Path().c_str(), 0, KEY_ALL_ACCESS, &raw), ERROR_SUCCESS);
  UniqueHKey root(raw);
  TRegistry reg;
  reg.SetRootKey(root.get());

  EXPECT_FALSE(reg.DeleteKey(L""));
  EXPECT_TRUE(KeyPresent(HKEY_CURRENT_USER, key / L"child"));
}

TEST_F(RegistryTest, ExistsTellsKeysAndValuesApart) {
  SetRawDword(HKEY_CURRENT_USER, key.Path(), L"v", 0);

  EXPECT_TRUE(set.Exists(HKEY_CURRENT_USER, key.Path()));
  EXPECT_FALSE(set.Exists(HKEY_CURRENT_USER, key / L"absent"));
  EXPECT_TRUE(set.Exists(HKEY_CURRENT_USER, key.Path(), L"v"));
  EXPECT_FALSE(set.Exists(HKEY_CURRENT_USER, key.Path(), L"absent"));
  EXPECT_FALSE(set.Exists(HKEY_CURRENT_USER, key / L"absent", L"v"));
}

TEST_F(RegistryTest, AccessorErrorsNameTheValue) {
  SetRaw(HKEY_CURRENT_USER, key.Path(), L"text", REG_SZ, TextBytes(L"1"));
  SetRawDword(HKEY_CURRENT_USER, key.Path(), L"number", 1);
  SetRaw(HKEY_CURRENT_USER, key.Path(), L"wide", REG_DWORD, Concat(DwordBytes(1), DwordBytes(0)));
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(key.Path(), false));
  TRegistry closed;

  struct ErrorCase {
    const char* what;
    std::function<void()> call;
    const wchar_t* message;
  };
  const ErrorCase cases[] = {
      {"missing integer", [&] { reg.ReadInteger(L"absent"); }, L"Failed to get data for 'absent'"},
      {"integer too wide", [&] { reg.ReadInteger(L"wide"); }, L"Failed to get data for 'wide'"},
      {"text as integer", [&] { reg.ReadInteger(L"text"); }, L"Invalid data type for 'text'"},
      {"number as text", [&] { reg.ReadString(L"number"); }, L"Invalid data type for 'number'"},
      {"no key: read", [&] { closed.ReadInteger(L"number"); }, L"Failed to get data for 'number'"},
      {"no key: text", [&] { closed.WriteString(L"w", L"x"); }, L"Failed to set data for 'w'"},
      {"no key: number", [&] { closed.WriteInteger(L"n", 1); }, L"Failed to set data for 'n'"},
  };
  for (const ErrorCase& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << c.what << ": no error";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), c.message) << c.what;
      EXPECT_STREQ(e.TypeName(), L"ERegistryException") << c.what;
    }
  }
  EXPECT_EQ(reg.ReadString(L"absent"), L"");
  EXPECT_EQ(closed.ReadString(L"text"), L"");
  EXPECT_FALSE(closed.ValueExists(L"number"));
  EXPECT_FALSE(closed.DeleteValue(L"number"));
}

TEST_F(RegistryTest, OpenKeyAndRootChangesKeepAtMostOneKeyOpen) {
  CreateRawKey(HKEY_CURRENT_USER, key / L"other");
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(key.Path(), false));
  const HKEY first = reg.CurrentKey();
  ASSERT_NE(first, nullptr);

  EXPECT_FALSE(reg.OpenKey(key / L"absent", false));
  EXPECT_EQ(reg.CurrentKey(), first);
  EXPECT_TRUE(reg.KeyExists(key / L"other"));
  EXPECT_EQ(reg.CurrentKey(), first);
  reg.SetRootKey(HKEY_CURRENT_USER);
  EXPECT_EQ(reg.CurrentKey(), first);
  EXPECT_EQ(api.Outstanding(), 1u);

  EXPECT_TRUE(reg.OpenKey(key / L"other", false));
  EXPECT_NE(reg.CurrentKey(), nullptr);
  EXPECT_EQ(api.Outstanding(), 1u);

  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_EQ(reg.CurrentKey(), nullptr);
  EXPECT_EQ(api.Outstanding(), 0u);
}

TEST_F(RegistryTest, GetKeyNamesListsSubkeysInEnumerationOrder) {
  for (const wchar_t* name : {L"zeta", L"alpha", L"Mid"}) CreateRawKey(HKEY_CURRENT_USER, key / name);
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(key.Path(), false));

  std::vector<std::wstring> names{L"stale"};
  reg.GetKeyNames(names);
  EXPECT_EQ(names, SubkeyNames(HKEY_CURRENT_USER, key.Path()));
  EXPECT_EQ(names.size(), 3u);

  reg.CloseKey();
  reg.GetKeyNames(names);
  EXPECT_TRUE(names.empty());
}

TEST_F(RegistryTest, WithoutAdministratorRightsMachineKeysAreReadOnly) {
  TestKey machine(HKEY_LOCAL_MACHINE);
  SetRawDword(HKEY_LOCAL_MACHINE, machine.Path(), L"number", 5);
  SetRaw(HKEY_LOCAL_MACHINE, machine.Path(), L"text", REG_SZ, TextBytes(L"x"));
  CreateRawKey(HKEY_LOCAL_MACHINE, machine / L"sub");
  const auto before = ReadTree(HKEY_LOCAL_MACHINE, machine.Path());
  DenyingRegistryApi user;
  ScopedRegistryApi asUser(user);

  EXPECT_TRUE(set.Exists(HKEY_LOCAL_MACHINE, machine.Path()));
  EXPECT_FALSE(set.Exists(HKEY_LOCAL_MACHINE, machine.Path(), L"number"));
  EXPECT_EQ(set.ReadInteger(HKEY_LOCAL_MACHINE, machine.Path(), L"number"), -1);
  EXPECT_EQ(set.ReadString(HKEY_LOCAL_MACHINE, machine.Path(), L"text"), L"");
  set.WriteInteger(HKEY_LOCAL_MACHINE, machine.Path(), L"number", 9);
  set.WriteString(HKEY_LOCAL_MACHINE, machine.Path(), L"new", L"y");
  set.WriteInteger(HKEY_LOCAL_MACHINE, machine / L"new\\deep", L"n", 1);
  EXPECT_FALSE(set.Delete(HKEY_LOCAL_MACHINE, machine.Path(), L"number"));
  EXPECT_FALSE(set.DeleteKey(HKEY_LOCAL_MACHINE, machine / L"sub"));
  EXPECT_FALSE(set.DeleteKey(HKEY_LOCAL_MACHINE, machine.Path()));

  EXPECT_EQ(ReadTree(HKEY_LOCAL_MACHINE, machine.Path()), before);
  EXPECT_GT(user.Denied(), 0u);
  EXPECT_EQ(user.Outstanding(), 0u);

  // The user's own hive is unaffected.
  set.WriteInteger(HKEY_CURRENT_USER, key.Path(), L"mine", 3);
  EXPECT_EQ(set.ReadInteger(HKEY_CURRENT_USER, key.Path(), L"mine"), 3);
}

TEST_F(RegistryTest, NoHandleStaysOpenAfterAnyOperation) {
  TestKey machine(HKEY_LOCAL_MACHINE);
  SetRawDword(HKEY_LOCAL_MACHINE, machine.Path(), L"number", 1);
  SetRawDword(HKEY_CURRENT_USER, key.Path(), L"number", 1);
  SetRaw(HKEY_CURRENT_USER, key.Path(), L"text", REG_SZ, TextBytes(L"x"));
  CreateRawKey(HKEY_CURRENT_USER, key / L"tree\\a\\b");
  const std::wstring absent = key / L"absent";
  DenyingRegistryApi user;
  ScopedRegistryApi asUser(user);

  struct Operation {
    const char* what;
    std::function<void()> run;
  };
  const Operation operations[] = {
      {"read text", [&] { set.ReadString(HKEY_CURRENT_USER, key.Path(), L"text"); }},
      {"read number as text", [&] { set.ReadString(HKEY_CURRENT_USER, key.Path(), L"number"); }},
      {"read text in absent key", [&] { set.ReadString(HKEY_CURRENT_USER, absent, L"text"); }},
      {"read number", [&] { set.ReadInteger(HKEY_CURRENT_USER, key.Path(), L"number"); }},
      {"read text as number", [&] { set.ReadInteger(HKEY_CURRENT_USER, key.Path(), L"text"); }},
      {"read absent number", [&] { set.ReadInteger(HKEY_CURRENT_USER, key.Path(), L"absent"); }},
      {"read denied number", [&] { set.ReadInteger(HKEY_LOCAL_MACHINE, machine.Path(), L"number"); }},
      {"write text", [&] { set.WriteString(HKEY_CURRENT_USER, key / L"new", L"t", L"x"); }},
      {"write number", [&] { set.WriteInteger(HKEY_CURRENT_USER, key.Path(), L"n", 1); }},
      {"write denied", [&] { set.WriteInteger(HKEY_LOCAL_MACHINE, machine.Path(), L"n", 1); }},
      {"delete value", [&] { set.Delete(HKEY_CURRENT_USER, key.Path(), L"n"); }},
      {"delete absent value", [&] { set.Delete(HKEY_CURRENT_USER, key.Path(), L"n"); }},
      {"delete in absent key", [&] { set.Delete(HKEY_CURRENT_USER, absent, L"n"); }},
      {"delete denied value", [&] { set.Delete(HKEY_LOCAL_MACHINE, machine.Path(), L"number"); }},
      {"delete tree", [&] { set.DeleteKey(HKEY_CURRENT_USER, key / L"tree"); }},
      {"delete absent tree", [&] { set.DeleteKey(HKEY_CURRENT_USER, absent); }},
      {"delete denied tree", [&] { set.DeleteKey(HKEY_LOCAL_MACHINE, machine.Path()); }},
      {"value exists", [&] { set.Exists(HKEY_CURRENT_USER, key.Path(), L"number"); }},
      {"value in absent key", [&] { set.Exists(HKEY_CURRENT_USER, absent, L"number"); }},
      {"denied value exists", [&] { set.Exists(HKEY_LOCAL_MACHINE, machine.Path(), L"number"); }},
      {"key exists", [&] { set.Exists(HKEY_CURRENT_USER, key.Path()); }},
      {"machine key exists", [&] { set.Exists(HKEY_LOCAL_MACHINE, machine.Path()); }},
      {"absent key exists", [&] { set.Exists(HKEY_CURRENT_USER, absent); }},
  };
  for (const Operation& operation : operations) {
    operation.run();
    EXPECT_EQ(user.Outstanding(), 0u) << operation.what;
    EXPECT_EQ(set.Reg().CurrentKey(), nullptr) << operation.what;
  }
  EXPECT_GT(user.Opened(), 0u);
  EXPECT_EQ(user.StrayCloses(), 0u);
}

}  // namespace
