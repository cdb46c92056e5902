// The bridge's private working records: what one enumeration learned from CoreGraphics and
// from the I/O Registry, and the operations that fill and pair them.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/native/platform_api.hpp"

namespace lumra::native {

struct cg_display_snapshot {
  uint32_t display_id = 0;
  uint32_t vendor = 0;
  uint32_t model = 0;
  uint32_t serial = 0;
  uint32_t unit = 0;
  uint8_t builtin = 0;
  uint8_t mode_valid = 0;
  uint32_t pixel_width = 0;
  uint32_t pixel_height = 0;
  uint32_t logical_width = 0;
  uint32_t logical_height = 0;
  double refresh_hz = 0;
  char name[256] = {};
  char location[512] = {};
};

struct framebuffer_snapshot {
  uint64_t entry_id = 0;
  uint32_t vendor = 0;
  uint32_t product = 0;
  uint32_t serial = 0;
  uint32_t unit = 0;
  uint8_t unit_valid = 0;
  char name[256] = {};
  char location[512] = {};
  char registry_path[512] = {};
};

// Both return a count ≥ 0 or LUMRA_NATIVE_FAILED, filling `snapshots` in platform order.
int32_t copy_cg_display_snapshots(std::vector<cg_display_snapshot>& snapshots);
int32_t copy_framebuffer_snapshots(std::vector<framebuffer_snapshot>& snapshots);

void copy_cg_display_mode(CGDirectDisplayID display, cg_display_snapshot& snapshot);
void copy_core_display_metadata(CGDirectDisplayID display, char* name, std::size_t name_capacity,
                                char* location, std::size_t location_capacity);
bool load_core_display_symbols();
void copy_display_name_from_info(CFDictionaryRef info, char* name, std::size_t capacity);

bool copy_uint32_property(CFDictionaryRef dictionary, CFStringRef key, uint32_t& out);
bool copy_string_property(CFDictionaryRef dictionary, CFStringRef key, char* buffer,
                          std::size_t capacity);
// True when `value` is a string equal to `expected` (exact comparison).
bool is_string_equal_to(CFTypeRef value, CFStringRef expected);
bool parse_display_unit(const char* location, uint32_t& unit);
void copy_registry_path(io_service_t service, char* buffer, std::size_t capacity);

// −1 for no match; otherwise 1, plus 4 for a unit match, plus 2 for a serial match.
int framebuffer_match_score(const cg_display_snapshot& display,
                            const framebuffer_snapshot& framebuffer);
// The index of the one framebuffer that pairs with display `index` both ways, or −1.
int32_t unique_best_framebuffer(const std::vector<cg_display_snapshot>& displays, std::size_t index,
                                const std::vector<framebuffer_snapshot>& framebuffers);

}  // namespace lumra::native
