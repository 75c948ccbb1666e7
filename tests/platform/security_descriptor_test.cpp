#include "platform/security_descriptor.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(SecurityDescriptor, SidTextBecomesWindowsBytes) {
  const SecurityBytes sid = SidFromString("S-1-5-21-0-0-0-1000");
  const SecurityBytes expected{1, 5, 0, 0, 0, 0, 0, 5, 21, 0, 0,    0, 0, 0,
                               0, 0, 0, 0, 0, 0, 0, 0, 0,  0, 0xE8, 3, 0, 0};
  EXPECT_EQ(sid, expected);
  EXPECT_EQ(GetLengthSid(sid), 28u);
  EXPECT_EQ(SidFromString("S-1-5-18"), MakeSid(SECURITY_NT_AUTHORITY, {18}));
  for (const char* bad : {"", "S-1-", "S-1-5-", "S-2-5-18", "S-1-x", "S-1-5-4294967296",
                          "S-1-281474976710656", "S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15-16"}) {
    EXPECT_TRUE(SidFromString(bad).empty()) << bad;
  }
}

TEST(SecurityDescriptor, AclRefusesEntriesThatDoNotFit) {
  const SecurityBytes everyone = MakeSid(SECURITY_WORLD_SID_AUTHORITY, {SECURITY_WORLD_RID});
  SecurityBytes acl;
  ASSERT_TRUE(InitializeAcl(acl, kAclHeaderSize + kAceHeaderSize + everyone.size(), ACL_REVISION));
  ASSERT_TRUE(AddAccessAllowedAce(acl, CONTAINER_INHERIT_ACE, 0xF003F, everyone));
  EXPECT_FALSE(AddAccessAllowedAce(acl, 0, 0xF003F, everyone));
  const SecurityBytes expected{2,    0, 28, 0, 1, 0, 0, 0, 0, 2, 20, 0, 0x3F, 0,
                               0x0F, 0, 1,  1, 0, 0, 0, 0, 0, 1, 0,  0, 0,    0};
  EXPECT_EQ(acl, expected);
  EXPECT_FALSE(InitializeAcl(acl, 4, ACL_REVISION));
}

TEST(SecurityDescriptor, SelfRelativeLayoutAndHostileOffsets) {
  const SecurityBytes owner = MakeSid(SECURITY_NT_AUTHORITY, {18});
  SecurityBytes acl;
  ASSERT_TRUE(InitializeAcl(acl, kAclHeaderSize, ACL_REVISION));
  const SecurityBytes descriptor = MakeSelfRelativeDescriptor(owner, {}, acl);
  ASSERT_EQ(descriptor.size(), kSecurityDescriptorHeaderSize + owner.size() + acl.size());
  EXPECT_EQ(descriptor[0], 1);
  EXPECT_EQ(descriptor[2] | (descriptor[3] << 8), SE_SELF_RELATIVE | SE_DACL_PRESENT);
  EXPECT_EQ(descriptor[4], 20);                  // owner right after the header
  EXPECT_EQ(descriptor[16], 20 + owner.size());  // then the DACL
  EXPECT_TRUE(IsValidSelfRelativeDescriptor(descriptor));
  EXPECT_EQ(DescriptorDacl(descriptor).size(), acl.size());

  SecurityBytes outside = descriptor;
  outside[16] = 200;
  EXPECT_FALSE(IsValidSelfRelativeDescriptor(outside));
  SecurityBytes overlong = descriptor;
  overlong[20 + owner.size() + 2] = 0xFF;  // AclSize beyond the end
  EXPECT_FALSE(IsValidSelfRelativeDescriptor(overlong));
  SecurityBytes absolute = descriptor;
  absolute[3] = 0;  // SE_SELF_RELATIVE cleared
  EXPECT_FALSE(IsValidSelfRelativeDescriptor(absolute));
  EXPECT_FALSE(IsValidSelfRelativeDescriptor(std::span(descriptor).first(19)));
}

}  // namespace
}  // namespace corvane
