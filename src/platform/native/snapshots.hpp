// The bridge's private working records: what one enumeration learned from CoreGraphics and
// from the I/O Registry, and the operations that fill and pair them.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/native/platform_api.hpp"

namespace lumra::native {

struct CgDisplaySnapshot {
  uint32_t DisplayId = 0;
  uint32_t Vendor = 0;
  uint32_t Model = 0;
  uint32_t Serial = 0;
  uint32_t Unit = 0;
  uint8_t Builtin = 0;
  uint8_t ModeValid = 0;
  uint32_t PixelWidth = 0;
  uint32_t PixelHeight = 0;
  uint32_t LogicalWidth = 0;
  uint32_t LogicalHeight = 0;
  double RefreshHz = 0;
  char Name[256] = {};
  char Location[512] = {};
};

struct FramebufferSnapshot {
  uint64_t EntryId = 0;
  uint32_t Vendor = 0;
  uint32_t Product = 0;
  uint32_t Serial = 0;
  uint32_t Unit = 0;
  uint8_t UnitValid = 0;
  char Name[256] = {};
  char Location[512] = {};
  char RegistryPath[512] = {};
};

// Both return a count ≥ 0 or LUMRA_NATIVE_FAILED, filling `snapshots` in platform order.
int32_t CopyCgDisplaySnapshots(std::vector<CgDisplaySnapshot>& snapshots);
int32_t CopyFramebufferSnapshots(std::vector<FramebufferSnapshot>& snapshots);

void CopyCgDisplayMode(CGDirectDisplayID display, CgDisplaySnapshot& snapshot);
void CopyCoreDisplayMetadata(CGDirectDisplayID display, char* name, std::size_t nameCapacity,
                             char* location, std::size_t locationCapacity);
bool LoadCoreDisplaySymbols();
void CopyDisplayNameFromInfo(CFDictionaryRef info, char* name, std::size_t capacity);

bool CopyUint32Property(CFDictionaryRef dictionary, CFStringRef key, uint32_t& out);
bool CopyStringProperty(CFDictionaryRef dictionary, CFStringRef key, char* buffer,
                        std::size_t capacity);
// True when `value` is a string equal to `expected` (exact comparison).
bool IsStringEqualTo(CFTypeRef value, CFStringRef expected);
bool ParseDisplayUnit(const char* location, uint32_t& unit);
void CopyRegistryPath(io_service_t service, char* buffer, std::size_t capacity);

// −1 for no match; otherwise 1, plus 4 for a unit match, plus 2 for a serial match.
int FramebufferMatchScore(const CgDisplaySnapshot& display, const FramebufferSnapshot& framebuffer);
// The index of the one framebuffer that pairs with display `index` both ways, or −1.
int32_t UniqueBestFramebuffer(const std::vector<CgDisplaySnapshot>& displays, std::size_t index,
                              const std::vector<FramebufferSnapshot>& framebuffers);

}  // namespace lumra::native
