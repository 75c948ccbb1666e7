#include "app/key_security.h"

#include <gtest/gtest.h>

#include "tests/support/temp_registry.h"

namespace corvane {
namespace {

TEST(SidToString, WritesAuthorityAndEverySubAuthority) {
  EXPECT_EQ(SidToString(SidFromString("S-1-5-21-3623811015-3361044348-30300820-1013")),
            "S-1-5-21-3623811015-3361044348-30300820-1013");
  EXPECT_EQ(SidToString(MakeSid(SECURITY_WORLD_SID_AUTHORITY, {0})), "S-1-1-0");
  EXPECT_EQ(SidToString(MakeSid(0x10000, {1})), "S-1-65536-1");
  EXPECT_EQ(SidToString(MakeSid(0x123456789ABCULL, {})), "S-1-0x123456789ABC");
  const SecurityBytes sid = MakeSid(SECURITY_NT_AUTHORITY, {18});
  EXPECT_EQ(SidToString(std::span(sid).first(11)), "");
}

TEST(KeySecurity, FullAccessDaclHasTheDesignedBytes) {
  const SecurityBytes user = SidFromString("S-1-5-21-0-0-0-1000");
  SecurityBytes descriptor;
  ASSERT_TRUE(BuildFullAccessDacl(user, descriptor));
  ASSERT_TRUE(IsValidSelfRelativeDescriptor(descriptor));
  const auto acl = DescriptorDacl(descriptor);
  const std::size_t systemLength = 12;
  ASSERT_EQ(acl.size(), user.size() + systemLength + 24);
  EXPECT_EQ(acl[0], ACL_REVISION);
  EXPECT_EQ(acl[4], 2);  // two entries
  // First entry: allowed, object and container inherit, KEY_ALL_ACCESS, the user's SID.
  const SecurityBytes first(acl.begin() + 8, acl.begin() + 16);
  EXPECT_EQ(first,
            (SecurityBytes{0, 3, static_cast<std::uint8_t>(8 + user.size()), 0, 0x3F, 0, 0x0F, 0}));
  EXPECT_EQ(SecurityBytes(acl.begin() + 16, acl.begin() + 16 + 28), user);
  // Second entry: LocalSystem.
  const std::size_t second = 16 + user.size();
  EXPECT_EQ(acl[second + 1], 3);
  EXPECT_EQ(SidToString(acl.subspan(second + 8)), "S-1-5-18");
  EXPECT_FALSE(BuildFullAccessDacl(SecurityBytes{1, 9}, descriptor));
}

class KeySecurityTest : public ::testing::Test {
 protected:
  test::TempRegistry registry_{"", "\n[Software\\\\Protected\\\\Sub\\\\Leaf] 1700000000\n"};
};

TEST_F(KeySecurityTest, CurrentUserSidComesFromTheUserHive) {
  SecurityBytes sid;
  ASSERT_TRUE(GetCurrentUserSid(sid));
  EXPECT_EQ(SidToString(sid), test::kTestUserSid);
}

TEST_F(KeySecurityTest, ReadAndWriteDaclsOfExistingKeysOnly) {
  SecurityBytes saved;
  ASSERT_TRUE(ReadKeyDacl(HKEY_CURRENT_USER, "Software\\Protected", saved));
  EXPECT_TRUE(IsValidSelfRelativeDescriptor(saved));
  EXPECT_FALSE(DescriptorDacl(saved).empty());
  EXPECT_FALSE(ReadKeyDacl(HKEY_CURRENT_USER, "Software\\Missing", saved));

  SecurityBytes sid;
  SecurityBytes open;
  ASSERT_TRUE(GetCurrentUserSid(sid));
  ASSERT_TRUE(BuildFullAccessDacl(sid, open));
  EXPECT_TRUE(
      WriteKeyDacl(HKEY_CURRENT_USER, "Software\\Protected", open, DaclScope::KeyAndSubkeys));
  EXPECT_TRUE(
      WriteKeyDacl(HKEY_CURRENT_USER, "Software\\Protected\\Sub", open, DaclScope::KeyOnly));
  EXPECT_FALSE(WriteKeyDacl(HKEY_CURRENT_USER, "", open, DaclScope::KeyOnly));
  EXPECT_FALSE(WriteKeyDacl(HKEY_CURRENT_USER, "Software\\Missing", open, DaclScope::KeyOnly));
  EXPECT_FALSE(WriteKeyDacl(HKEY_CURRENT_USER, "Software\\Protected", SecurityBytes{1, 0, 0, 0x80},
                            DaclScope::KeyOnly));
  EXPECT_FALSE(registry_.Store().HasUnsavedChanges());
}

}  // namespace
}  // namespace corvane
