// Reading string values through RegKey: short values come in one query,
// longer ones with the size the registry reports; either way the text ends
// at the first NUL or at the end of the stored data.
#include <gtest/gtest.h>

#include "settings/Registry.h"
#include "support/TestSupport.h"

using namespace ombrelo;

TEST(RegKeyStrings, ValuesAroundTheOneQueryBufferReadWhole) {
  struct Case {
    const char* name;
    DWORD type;
    std::string data;  // bytes as stored
    std::optional<std::string> expected;
  } cases[] = {
      {"254 letters", REG_SZ, std::string(254, 'a') + '\0', std::string(254, 'a')},
      {"255 letters", REG_SZ, std::string(255, 'b') + '\0', std::string(255, 'b')},
      {"256 letters", REG_SZ, std::string(256, 'c') + '\0', std::string(256, 'c')},
      {"256 letters without NUL", REG_SZ, std::string(256, 'd'), std::string(256, 'd')},
      {"257 letters without NUL", REG_SZ, std::string(257, 'e'), std::string(257, 'e')},
      {"5000 letters", REG_EXPAND_SZ, std::string(5000, 'f') + '\0', std::string(5000, 'f')},
      {"NUL inside a long value", REG_SZ, std::string(300, 'g') + '\0' + "tail", std::string(300, 'g')},
      {"long binary", REG_BINARY, std::string(1000, 'h'), std::nullopt},
      {"short binary", REG_BINARY, "x", std::nullopt},
      {"dword", REG_DWORD, std::string(4, '\1'), std::nullopt},
  };
  for (const Case& k : cases) {
    testsupport::ResetProgramKey();
    testsupport::SetProgramValue("", "Value", k.type, k.data.data(), static_cast<DWORD>(k.data.size()));
    RegKey key;
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kProgramKey));
    EXPECT_EQ(k.expected, key.ReadString("Value")) << k.name;
  }
  testsupport::ResetProgramKey();
  RegKey key;
  ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, kProgramKey));
  EXPECT_EQ(std::nullopt, key.ReadString("Missing"));
  testsupport::ResetProgramKey();
}
