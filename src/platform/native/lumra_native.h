/* The native display bridge: the only boundary between the transport and the platform.
 * Three plain functions and three records of fixed byte layout (natural alignment of a 64-bit
 * platform). Text fields are NUL-terminated UTF-8 that always ends inside its field. */
#ifndef LUMRA_NATIVE_H
#define LUMRA_NATIVE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define LUMRA_BACKEND_IOAVSERVICE 1u
#define LUMRA_BACKEND_IOFRAMEBUFFER 2u
#define LUMRA_CONNECTOR_HDMI 1u
#define LUMRA_CONNECTOR_DISPLAYPORT 2u
/* An IOAVService port that may answer in either of two framings, with neither settled: a port
 * behind the PS190 converter while LUMRA_IOAV_FRAMING forces none. */
#define LUMRA_PORT_TWO_FRAMINGS 1u

/* Bridge entry points unavailable on this platform. */
#define LUMRA_NATIVE_UNAVAILABLE (-1)
/* A platform call failed or memory ran out. */
#define LUMRA_NATIVE_FAILED (-2)

typedef struct lumra_external_display {
  uint32_t display_id;
  uint32_t reserved0;
  uint64_t endpoint_id;
  uint32_t vendor_id;
  uint32_t product_id;
  uint32_t serial_number;
  uint32_t backend;
  uint32_t chip_address;
  uint32_t connector_type;
  uint32_t mode_valid;
  uint32_t pixel_width;
  uint32_t pixel_height;
  uint32_t logical_width;
  uint32_t logical_height;
  uint32_t port_flags; /* LUMRA_PORT_* */
  double refresh_hz;
  char name[256];
  char location[512];
  char proxy_interface_name[256];
} lumra_external_display;

typedef struct lumra_display_metadata {
  uint32_t display_id;
  uint32_t vendor_id;
  uint32_t product_id;
  uint32_t serial_number;
  uint32_t mode_valid;
  uint32_t pixel_width;
  uint32_t pixel_height;
  uint32_t logical_width;
  uint32_t logical_height;
  uint32_t reserved0;
  double refresh_hz;
  char name[256];
  char display_location[512];
} lumra_display_metadata;

/* Asks the exchange to return without sleeping its trailing pause (the quiet time after its last
 * transaction), so that the caller can keep the bus quiet for it instead. */
#define LUMRA_EXCHANGE_DEFER_TRAILING_PAUSE 1u
/* Asks an IOAVService exchange to a port behind the PS190 converter for the standard framing
 * instead of the converter's own, after an attempt in one framing got no valid reply. Ignored
 * by other ports and when LUMRA_IOAV_FRAMING forces a framing. */
#define LUMRA_EXCHANGE_OTHER_FRAMING 2u

/* The record of one exchange: `flags` goes in; the rest comes back. */
typedef struct lumra_exchange_diagnostics {
  const char* stage; /* static text owned by the bridge */
  uint32_t write_cycle;
  uint32_t flags; /* LUMRA_EXCHANGE_* */
  /* The trailing pause of a successful exchange, slept unless deferred; 0 after a failure. */
  uint64_t trailing_pause_ns;
} lumra_exchange_diagnostics;

/* Both list functions return the full number of displays found (writing the first
 * min(count, capacity) records when `records` is given), or LUMRA_NATIVE_FAILED. */
int32_t lumra_list_external_displays(lumra_external_display* records, int32_t capacity);
int32_t lumra_list_display_metadata(lumra_display_metadata* records, int32_t capacity);

/* One DDC/CI exchange: sends `request` to the endpoint and, when `reply_capacity` is not 0,
 * reads up to that many reply bytes. Returns an IOReturn status (0 on success). The pauses
 * inside the exchange are always slept; the trailing one as `diagnostics->flags` asks. */
int32_t lumra_exchange_ddcci(uint64_t endpoint_id, uint32_t backend, uint32_t chip_address,
                             const uint8_t* request, uint32_t request_length, uint8_t* reply,
                             uint32_t reply_capacity, uint32_t* reply_length, uint64_t delay_ns,
                             lumra_exchange_diagnostics* diagnostics);

#ifdef __cplusplus
}
#define LUMRA_STATIC_ASSERT(condition, message) static_assert(condition, message)
#else
#define LUMRA_STATIC_ASSERT(condition, message) _Static_assert(condition, message)
#endif

LUMRA_STATIC_ASSERT(sizeof(lumra_external_display) == 1096, "external display record size");
LUMRA_STATIC_ASSERT(offsetof(lumra_external_display, endpoint_id) == 8, "endpoint_id offset");
LUMRA_STATIC_ASSERT(offsetof(lumra_external_display, vendor_id) == 16, "vendor_id offset");
LUMRA_STATIC_ASSERT(offsetof(lumra_external_display, product_id) == 20, "product_id offset");
LUMRA_STATIC_ASSERT(offsetof(lumra_external_display, serial_number) == 24, "serial offset");
LUMRA_STATIC_ASSERT(offsetof(lumra_external_display, backend) == 28, "backend offset");
LUMRA_STATIC_ASSERT(offsetof(lumra_external_display, chip_address) == 32, "chip offset");
LUMRA_STATIC_ASSERT(offsetof(lumra_external_display, connector_type) == 36, "connector offset");
LUMRA_STATIC_ASSERT(offsetof(lumra_external_display, mode_valid) == 40, "mode_valid offset");
LUMRA_STATIC_ASSERT(offsetof(lumra_external_display, pixel_width) == 44, "pixel_width offset");
LUMRA_STATIC_ASSERT(offsetof(lumra_external_display, pixel_height) == 48, "pixel_height offset");
LUMRA_STATIC_ASSERT(offsetof(lumra_external_display, logical_width) == 52, "logical_width offset");
LUMRA_STATIC_ASSERT(offsetof(lumra_external_display, logical_height) == 56,
                    "logical_height offset");
LUMRA_STATIC_ASSERT(offsetof(lumra_external_display, refresh_hz) == 64, "refresh_hz offset");
LUMRA_STATIC_ASSERT(offsetof(lumra_external_display, name) == 72, "name offset");
LUMRA_STATIC_ASSERT(offsetof(lumra_external_display, location) == 328, "location offset");
LUMRA_STATIC_ASSERT(offsetof(lumra_external_display, proxy_interface_name) == 840,
                    "proxy_interface_name offset");

LUMRA_STATIC_ASSERT(sizeof(lumra_display_metadata) == 816, "display metadata record size");
LUMRA_STATIC_ASSERT(offsetof(lumra_display_metadata, vendor_id) == 4, "vendor_id offset");
LUMRA_STATIC_ASSERT(offsetof(lumra_display_metadata, product_id) == 8, "product_id offset");
LUMRA_STATIC_ASSERT(offsetof(lumra_display_metadata, serial_number) == 12, "serial offset");
LUMRA_STATIC_ASSERT(offsetof(lumra_display_metadata, mode_valid) == 16, "mode_valid offset");
LUMRA_STATIC_ASSERT(offsetof(lumra_display_metadata, pixel_width) == 20, "pixel_width offset");
LUMRA_STATIC_ASSERT(offsetof(lumra_display_metadata, pixel_height) == 24, "pixel_height offset");
LUMRA_STATIC_ASSERT(offsetof(lumra_display_metadata, logical_width) == 28, "logical_width offset");
LUMRA_STATIC_ASSERT(offsetof(lumra_display_metadata, logical_height) == 32,
                    "logical_height offset");
LUMRA_STATIC_ASSERT(offsetof(lumra_display_metadata, refresh_hz) == 40, "refresh_hz offset");
LUMRA_STATIC_ASSERT(offsetof(lumra_display_metadata, name) == 48, "name offset");
LUMRA_STATIC_ASSERT(offsetof(lumra_display_metadata, display_location) == 304,
                    "display_location offset");

LUMRA_STATIC_ASSERT(sizeof(lumra_exchange_diagnostics) == 24, "diagnostics record size");
LUMRA_STATIC_ASSERT(offsetof(lumra_exchange_diagnostics, write_cycle) == 8, "write_cycle offset");
LUMRA_STATIC_ASSERT(offsetof(lumra_exchange_diagnostics, flags) == 12, "flags offset");
LUMRA_STATIC_ASSERT(offsetof(lumra_exchange_diagnostics, trailing_pause_ns) == 16,
                    "trailing_pause_ns offset");

#endif /* LUMRA_NATIVE_H */
