#include "platform/security_descriptor.h"

#include <algorithm>
#include <charconv>

namespace corvane {

namespace {

std::uint16_t ReadU16(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

std::uint32_t ReadU32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at]) | (static_cast<std::uint32_t>(bytes[at + 1]) << 8) |
         (static_cast<std::uint32_t>(bytes[at + 2]) << 16) |
         (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

void WriteU16(SecurityBytes& bytes, std::size_t at, std::uint16_t value) {
  bytes[at] = static_cast<std::uint8_t>(value);
  bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void WriteU32(SecurityBytes& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void AppendU32(SecurityBytes& bytes, std::uint32_t value) {
  bytes.resize(bytes.size() + 4);
  WriteU32(bytes, bytes.size() - 4, value);
}

SecurityBytes SidHeader(std::uint64_t authority, std::size_t count) {
  SecurityBytes sid{SID_REVISION, static_cast<std::uint8_t>(count)};
  // The identifier authority is the one big-endian field of a SID.
  for (int i = 5; i >= 0; --i) sid.push_back(static_cast<std::uint8_t>(authority >> (8 * i)));
  return sid;
}

}  // namespace

SecurityBytes MakeSid(std::uint64_t authority, std::initializer_list<DWORD> subAuthorities) {
  SecurityBytes sid = SidHeader(authority, subAuthorities.size());
  for (DWORD sub : subAuthorities) AppendU32(sid, sub);
  return sid;
}

SecurityBytes SidFromString(std::string_view text) {
  if (!text.starts_with("S-1-")) return {};
  text.remove_prefix(4);
  std::vector<std::uint64_t> numbers;
  while (true) {
    std::uint64_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end == text.data()) return {};
    numbers.push_back(number);
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    if (text.empty()) break;
    if (text.front() != '-') return {};
    text.remove_prefix(1);
  }
  const std::size_t subCount = numbers.size() - 1;
  if (numbers[0] >= (1ULL << 48) || subCount > SID_MAX_SUB_AUTHORITIES) return {};
  SecurityBytes sid = SidHeader(numbers[0], subCount);
  for (std::size_t i = 1; i < numbers.size(); ++i) {
    if (numbers[i] > 0xFFFFFFFFULL) return {};
    AppendU32(sid, static_cast<std::uint32_t>(numbers[i]));
  }
  return sid;
}

std::size_t GetLengthSid(std::span<const std::uint8_t> sid) {
  if (sid.size() < 8 || sid[0] != SID_REVISION || sid[1] > SID_MAX_SUB_AUTHORITIES) return 0;
  const std::size_t length = 8 + 4 * static_cast<std::size_t>(sid[1]);
  return sid.size() >= length ? length : 0;
}

bool InitializeAcl(SecurityBytes& acl, std::size_t size, std::uint8_t revision) {
  if (size < kAclHeaderSize || size > 0xFFFF || revision < 2 || revision > 4) return false;
  acl.assign(size, 0);
  acl[0] = revision;
  WriteU16(acl, 2, static_cast<std::uint16_t>(size));
  return true;
}

namespace {

// The offset just past the last entry, or 0 when the ACL is malformed.
std::size_t AclUsedSize(std::span<const std::uint8_t> acl) {
  if (acl.size() < kAclHeaderSize) return 0;
  const std::size_t aclSize = ReadU16(acl, 2);
  if (aclSize < kAclHeaderSize || aclSize > acl.size() || acl[0] < 2 || acl[0] > 4) return 0;
  std::size_t at = kAclHeaderSize;
  for (std::size_t i = 0, count = ReadU16(acl, 4); i < count; ++i) {
    if (aclSize - at < kAceHeaderSize) return 0;
    const std::size_t aceSize = ReadU16(acl, at + 2);
    if (aceSize < kAceHeaderSize || aceSize > aclSize - at) return 0;
    at += aceSize;
  }
  return at;
}

}  // namespace

bool AddAccessAllowedAce(SecurityBytes& acl, std::uint8_t flags, DWORD mask,
                         std::span<const std::uint8_t> sid) {
  const std::size_t sidLength = GetLengthSid(sid);
  const std::size_t used = AclUsedSize(acl);
  if (sidLength == 0 || used == 0) return false;
  const std::size_t aceSize = kAceHeaderSize + sidLength;
  if (ReadU16(acl, 2) - used < aceSize) return false;
  acl[used] = ACCESS_ALLOWED_ACE_TYPE;
  acl[used + 1] = flags;
  WriteU16(acl, used + 2, static_cast<std::uint16_t>(aceSize));
  WriteU32(acl, used + 4, mask);
  std::copy(sid.begin(), sid.begin() + static_cast<std::ptrdiff_t>(sidLength),
            acl.begin() + static_cast<std::ptrdiff_t>(used + kAceHeaderSize));
  WriteU16(acl, 4, static_cast<std::uint16_t>(ReadU16(acl, 4) + 1));
  return true;
}

bool IsValidAcl(std::span<const std::uint8_t> acl) {
  return AclUsedSize(acl) != 0;
}

SecurityBytes MakeSelfRelativeDescriptor(std::span<const std::uint8_t> owner,
                                         std::span<const std::uint8_t> group,
                                         std::span<const std::uint8_t> dacl) {
  SecurityBytes descriptor(kSecurityDescriptorHeaderSize, 0);
  descriptor[0] = SECURITY_DESCRIPTOR_REVISION;
  std::uint16_t control = SE_SELF_RELATIVE;
  auto place = [&](std::span<const std::uint8_t> part, std::size_t offsetField) {
    if (part.empty()) return;
    WriteU32(descriptor, offsetField, static_cast<std::uint32_t>(descriptor.size()));
    descriptor.insert(descriptor.end(), part.begin(), part.end());
  };
  place(owner, 4);
  place(group, 8);
  if (!dacl.empty()) control |= SE_DACL_PRESENT;
  place(dacl, 16);
  WriteU16(descriptor, 2, control);
  return descriptor;
}

bool IsValidSelfRelativeDescriptor(std::span<const std::uint8_t> descriptor) {
  if (descriptor.size() < kSecurityDescriptorHeaderSize ||
      descriptor[0] != SECURITY_DESCRIPTOR_REVISION) {
    return false;
  }
  const std::uint16_t control = ReadU16(descriptor, 2);
  if ((control & SE_SELF_RELATIVE) == 0) return false;
  for (std::size_t field : {4u, 8u}) {
    const std::uint32_t offset = ReadU32(descriptor, field);
    if (offset == 0) continue;
    if (offset < kSecurityDescriptorHeaderSize || offset >= descriptor.size() ||
        !IsValidSid(descriptor.subspan(offset))) {
      return false;
    }
  }
  for (std::size_t field : {12u, 16u}) {
    const std::uint32_t offset = ReadU32(descriptor, field);
    if (offset == 0) continue;
    if (offset < kSecurityDescriptorHeaderSize || offset >= descriptor.size() ||
        !IsValidAcl(descriptor.subspan(offset))) {
      return false;
    }
  }
  return true;
}

std::span<const std::uint8_t> DescriptorDacl(std::span<const std::uint8_t> descriptor) {
  if (!IsValidSelfRelativeDescriptor(descriptor)) return {};
  if ((ReadU16(descriptor, 2) & SE_DACL_PRESENT) == 0) return {};
  const std::uint32_t offset = ReadU32(descriptor, 16);
  if (offset == 0) return {};
  return descriptor.subspan(offset, ReadU16(descriptor, offset + 2));
}

}  // namespace corvane
