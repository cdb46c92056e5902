// Move-only owners of platform objects: each releases what it holds on every path.
#pragma once

#include <utility>

#include "platform/native/platform_api.hpp"

namespace lumra::native {

// A CoreFoundation object owned by +1 reference.
template <typename Ref>
class cf_owned {
 public:
  cf_owned() = default;
  explicit cf_owned(Ref ref) : ref_(ref) {}
  cf_owned(cf_owned&& other) noexcept : ref_(std::exchange(other.ref_, nullptr)) {}
  cf_owned& operator=(cf_owned&& other) noexcept {
    reset(std::exchange(other.ref_, nullptr));
    return *this;
  }
  cf_owned(const cf_owned&) = delete;
  cf_owned& operator=(const cf_owned&) = delete;
  ~cf_owned() { reset(); }

  Ref get() const { return ref_; }
  explicit operator bool() const { return ref_ != nullptr; }
  // Hands the reference to a call that consumes it.
  Ref release() { return std::exchange(ref_, nullptr); }
  void reset(Ref ref = nullptr) {
    if (ref_ != nullptr) CFRelease(ref_);
    ref_ = ref;
  }

 private:
  Ref ref_ = nullptr;
};

// An I/O Registry object (service, iterator, entry).
class io_owned {
 public:
  io_owned() = default;
  explicit io_owned(io_object_t object) : object_(object) {}
  io_owned(io_owned&& other) noexcept : object_(std::exchange(other.object_, IO_OBJECT_NULL)) {}
  io_owned& operator=(io_owned&& other) noexcept {
    reset(std::exchange(other.object_, IO_OBJECT_NULL));
    return *this;
  }
  io_owned(const io_owned&) = delete;
  io_owned& operator=(const io_owned&) = delete;
  ~io_owned() { reset(); }

  io_object_t get() const { return object_; }
  explicit operator bool() const { return object_ != IO_OBJECT_NULL; }
  void reset(io_object_t object = IO_OBJECT_NULL) {
    if (object_ != IO_OBJECT_NULL) IOObjectRelease(object_);
    object_ = object;
  }

 private:
  io_object_t object_ = IO_OBJECT_NULL;
};

// An open I2C connection, closed with options 0.
class i2c_connection {
 public:
  explicit i2c_connection(IOI2CConnectRef connect) : connect_(connect) {}
  i2c_connection(const i2c_connection&) = delete;
  i2c_connection& operator=(const i2c_connection&) = delete;
  ~i2c_connection() {
    if (connect_ != nullptr) IOI2CInterfaceClose(connect_, 0);
  }
  IOI2CConnectRef get() const { return connect_; }

 private:
  IOI2CConnectRef connect_;
};

// A display mode from CGDisplayCopyDisplayMode.
class display_mode_owned {
 public:
  explicit display_mode_owned(CGDisplayModeRef mode) : mode_(mode) {}
  display_mode_owned(const display_mode_owned&) = delete;
  display_mode_owned& operator=(const display_mode_owned&) = delete;
  ~display_mode_owned() { CGDisplayModeRelease(mode_); }
  CGDisplayModeRef get() const { return mode_; }

 private:
  CGDisplayModeRef mode_;
};

}  // namespace lumra::native
