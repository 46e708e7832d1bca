#include <gtest/gtest.h>

#include <windows.h>

#include "classlib/Registry.h"
#include "foundation/routines/routines_Registry.h"

namespace {
// A scratch key of this process under the current user.
std::string ScratchKey(const std::string& Tag) {
  return "\\Software\\QuillantTests\\" + Tag + std::to_string(GetCurrentProcessId());
}
bool KeyExists(TRootKeys Root, const std::string& Key) {
  TRegistry reg(KEY_READ);
  SetTheRoot(&reg, Root);
  return reg.KeyExists(Key);
}
}  // namespace

TEST(TRegistry, ValuesOfEveryKindRoundTripWithTypesAndSizes) {
  std::string key = ScratchKey("Values");
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(key, true));
    EXPECT_EQ(reg.CurrentPath(), key.substr(1));
    reg.WriteString("Str", "Grüße");
    reg.WriteInteger("Int", -5);
    reg.WriteDateTime("When", 35000.25);
    reg.WriteExpandString("Exp", "%windir%\\x");
    EXPECT_EQ(reg.ReadString("Str"), "Grüße");
    EXPECT_EQ(reg.ReadInteger("Int"), -5);
    EXPECT_DOUBLE_EQ(reg.ReadDateTime("When"), 35000.25);
    EXPECT_EQ(reg.GetDataType("Str"), rdString);
    EXPECT_EQ(reg.GetDataType("Exp"), rdExpandString);
    EXPECT_EQ(reg.GetDataType("Int"), rdInteger);
    EXPECT_EQ(reg.GetDataType("When"), rdBinary);
    EXPECT_EQ(reg.GetDataSize("When"), 8);
    EXPECT_EQ(reg.GetDataSize("Int"), 4);
    EXPECT_EQ(reg.GetDataSize("none"), -1);
    // A missing string reads as blank; other types refuse to read as a string.
    EXPECT_EQ(reg.ReadString("none"), "");
    EXPECT_THROW(reg.ReadString("Int"), ERegistryException);
    EXPECT_THROW(reg.ReadInteger("Str"), ERegistryException);
    EXPECT_THROW(reg.ReadInteger("none"), ERegistryException);
    EXPECT_THROW(reg.ReadDateTime("Int"), ERegistryException);
    EXPECT_TRUE(reg.DeleteValue("Str"));
    EXPECT_FALSE(reg.ValueExists("Str"));
    EXPECT_FALSE(reg.HasSubKeys());
    // Relative paths go below the open key.
    ASSERT_TRUE(reg.OpenKey("Sub", true));
    EXPECT_EQ(reg.CurrentPath(), key.substr(1) + "\\Sub");
    reg.SetLazyWrite(false);
    reg.CloseKey();
    EXPECT_THROW(reg.WriteString("x", "y"), ERegistryException);  // no key open
  }
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKeyReadOnly(key));
  EXPECT_TRUE(reg.HasSubKeys());
  TStringList names;
  reg.GetValueNames(&names);
  EXPECT_EQ(names.Count(), 3);
  // Read-only access refuses writes.
  EXPECT_THROW(reg.WriteString("x", "y"), ERegistryException);
  reg.CloseKey();
  DeleteKey(hkCurrentUser, key);
  EXPECT_FALSE(KeyExists(hkCurrentUser, key));
}

TEST(RegistryRoutines, WritesReadsAndDefaults) {
  std::string key = ScratchKey("RV");
  // A read of a missing key gives the default and leaves no key behind.
  EXPECT_EQ(GetRVStr(hkCurrentUser, key, "Path", "dflt"), "dflt");
  EXPECT_FALSE(KeyExists(hkCurrentUser, key));
  WriteRVStr(hkCurrentUser, key + "\\Deeper", "Path", "C:\\App");
  WriteRVInteger(hkCurrentUser, key + "\\Deeper", "Language", 7);
  EXPECT_EQ(GetRVStr(hkCurrentUser, key + "\\Deeper", "Path", "dflt"), "C:\\App");
  EXPECT_EQ(GetRVStr(hkCurrentUser, key + "\\Deeper", "Other", "dflt"), "dflt");
  // An integer value is no string: the default comes back.
  EXPECT_EQ(GetRVStr(hkCurrentUser, key + "\\Deeper", "Language", "dflt"), "dflt");
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(key + "\\Deeper", false));
  EXPECT_EQ(reg.ReadInteger("Language"), 7);
  reg.CloseKey();
  DeleteKey(hkCurrentUser, key);
}

TEST(RegistryRoutines, WriteFailuresRaiseWithTheirMessages) {
  // A key name longer than the registry takes fails to open; a value name
  // longer than it takes fails to write into a key that opened.
  std::string bad = ScratchKey("Bad") + "\\" + std::string(300, 'k');
  try {
    WriteRVStr(hkCurrentUser, bad, "Id", "Val");
    ADD_FAILURE() << "no exception";
  } catch (const EIRCannotWriteValue& e) {
    EXPECT_EQ(e.Message, "Cannot install into registry. Key: " + bad + " Ident: Id Value Val");
  }
  try {
    WriteRVInteger(hkCurrentUser, bad, "Id", 1);
    ADD_FAILURE() << "no exception";
  } catch (const EIRCannotWriteValue& e) {
    EXPECT_EQ(e.Message, bad);
  }
  std::string good = ScratchKey("Bad");
  std::string longIdent(20000, 'v');
  try {
    WriteRVStr(hkCurrentUser, good, longIdent, "Val");
    ADD_FAILURE() << "no exception";
  } catch (const EIRCannotWriteValue& e) {
    EXPECT_EQ(e.Message, "Cannot install into registry. Key: " + good + " Ident: " + longIdent + " Value Val");
  }
  try {
    WriteRVInteger(hkCurrentUser, good, longIdent, 1);
    ADD_FAILURE() << "no exception";
  } catch (const EIRCannotWriteValue& e) {
    EXPECT_EQ(e.Message, good);
  }
  DeleteKey(hkCurrentUser, good);
}

TEST(RegistryRoutines, DeleteKeyRemovesANestedTreeAndIgnoresMissingKeys) {
  std::string key = ScratchKey("Tree");
  WriteRVStr(hkCurrentUser, key, "v", "1");
  WriteRVStr(hkCurrentUser, key + "\\A\\A1\\A11", "v", "1");
  WriteRVStr(hkCurrentUser, key + "\\A\\A2", "v", "1");
  WriteRVStr(hkCurrentUser, key + "\\B", "v", "1");
  std::string sibling = ScratchKey("TreeSibling");
  WriteRVStr(hkCurrentUser, sibling, "v", "1");
  DeleteKey(hkCurrentUser, key);
  EXPECT_FALSE(KeyExists(hkCurrentUser, key));
  EXPECT_TRUE(KeyExists(hkCurrentUser, sibling));
  // A relative path (no leading backslash) names the same key.
  DeleteKey(hkCurrentUser, sibling.substr(1));
  EXPECT_FALSE(KeyExists(hkCurrentUser, sibling));
  DeleteKey(hkCurrentUser, key);  // gone already: no error
  DeleteKey(hkCurrentUser, key + "\\Never\\There");
}
