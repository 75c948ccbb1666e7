#pragma once
// Reading, opening up and restoring the access rights of a registry key, and the user's SID.
// Used to open a protected key before deleting it and to put its rights back afterwards.
// SIDs, ACLs and descriptors are bytes in Windows' own layouts (platform/security_descriptor.h).

#include <span>
#include <string>
#include <string_view>

#include "platform/registry.h"
#include "platform/security_descriptor.h"

namespace corvane {

// The binary SID of the prefix's user (from user.reg's header); false when it is unknown.
[[nodiscard]] bool GetCurrentUserSid(SecurityBytes& sid);

// "S-1-" + identifier authority + "-" + each sub-authority; empty for bytes that are not a SID.
[[nodiscard]] std::string SidToString(std::span<const std::uint8_t> sid);

// The key's DACL as a self-relative descriptor. True when it was read, or when the key has none
// to return (then `descriptor` is empty).
[[nodiscard]] bool ReadKeyDacl(HKEY root, std::string_view keyPath, SecurityBytes& descriptor);

// A self-relative descriptor whose DACL grants KEY_ALL_ACCESS, inherited by sub-keys and values,
// to the user and to LocalSystem. False when `userSid` is not a SID.
[[nodiscard]] bool BuildFullAccessDacl(std::span<const std::uint8_t> userSid,
                                       SecurityBytes& descriptor);

enum class DaclScope { KeyOnly, KeyAndSubkeys };

// Sets the key's DACL (and, for KeyAndSubkeys, every sub-key's, as far as they can be reached).
// True once the key's own DACL was set; false for an empty path.
[[nodiscard]] bool WriteKeyDacl(HKEY root, std::string_view keyPath,
                                std::span<const std::uint8_t> descriptor, DaclScope scope);

// True unless the prefix is configured as Windows 9x.
[[nodiscard]] bool IsWindowsNT();

}  // namespace corvane
