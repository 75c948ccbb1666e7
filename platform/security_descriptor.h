#pragma once
// Security identifiers, access-control lists and security descriptors in the binary layouts
// Windows defines (little-endian, self-relative descriptors). The Wine hives keep no ACLs, but
// callers read and write key security as bytes, so the bytes must be exactly what Windows uses.

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/last_error.h"

namespace corvane {

using SecurityBytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t SID_REVISION = 1;
inline constexpr std::uint8_t SID_MAX_SUB_AUTHORITIES = 15;
inline constexpr std::uint64_t SECURITY_WORLD_SID_AUTHORITY = 1;
inline constexpr std::uint64_t SECURITY_NT_AUTHORITY = 5;
inline constexpr DWORD SECURITY_WORLD_RID = 0;
inline constexpr DWORD SECURITY_LOCAL_SYSTEM_RID = 18;

inline constexpr std::uint8_t ACL_REVISION = 2;
inline constexpr std::uint8_t ACCESS_ALLOWED_ACE_TYPE = 0;
inline constexpr std::uint8_t OBJECT_INHERIT_ACE = 0x1;
inline constexpr std::uint8_t CONTAINER_INHERIT_ACE = 0x2;
inline constexpr std::size_t kAclHeaderSize = 8;
inline constexpr std::size_t kAceHeaderSize = 8;  // type, flags, size, access mask

inline constexpr std::uint8_t SECURITY_DESCRIPTOR_REVISION = 1;
inline constexpr std::uint16_t SE_OWNER_DEFAULTED = 0x0001;
inline constexpr std::uint16_t SE_DACL_PRESENT = 0x0004;
inline constexpr std::uint16_t SE_SELF_RELATIVE = 0x8000;
inline constexpr std::size_t kSecurityDescriptorHeaderSize = 20;

// A SID from its parts: 48-bit identifier authority and up to 15 sub-authorities.
[[nodiscard]] SecurityBytes MakeSid(std::uint64_t authority,
                                    std::initializer_list<DWORD> subAuthorities);
// "S-1-5-21-0-0-0-1000" → binary SID; empty when the text is not a SID.
[[nodiscard]] SecurityBytes SidFromString(std::string_view text);
// The SID's length (8 + 4 per sub-authority) when the bytes hold a whole valid SID, else 0.
[[nodiscard]] std::size_t GetLengthSid(std::span<const std::uint8_t> sid);
[[nodiscard]] inline bool IsValidSid(std::span<const std::uint8_t> sid) {
  return GetLengthSid(sid) != 0;
}

// An empty ACL of `size` bytes (header only in use); false when the size cannot hold the header
// or exceeds 64 KiB.
[[nodiscard]] bool InitializeAcl(SecurityBytes& acl, std::size_t size, std::uint8_t revision);
// Appends an access-allowed entry after the last one; false when the ACL has no room left
// (as AddAce answers) or the SID is invalid.
[[nodiscard]] bool AddAccessAllowedAce(SecurityBytes& acl, std::uint8_t flags, DWORD mask,
                                       std::span<const std::uint8_t> sid);
// True when the bytes hold a whole ACL whose entries all lie inside it.
[[nodiscard]] bool IsValidAcl(std::span<const std::uint8_t> acl);

// A self-relative descriptor holding the given parts (an empty span leaves that part out; a DACL
// given sets SE_DACL_PRESENT).
[[nodiscard]] SecurityBytes MakeSelfRelativeDescriptor(std::span<const std::uint8_t> owner,
                                                       std::span<const std::uint8_t> group,
                                                       std::span<const std::uint8_t> dacl);
// True when the bytes are a well-formed self-relative descriptor: every offset inside it and
// every part it points at whole and valid.
[[nodiscard]] bool IsValidSelfRelativeDescriptor(std::span<const std::uint8_t> descriptor);
// The DACL inside a valid self-relative descriptor; empty when it has none.
[[nodiscard]] std::span<const std::uint8_t> DescriptorDacl(
    std::span<const std::uint8_t> descriptor);

}  // namespace corvane
