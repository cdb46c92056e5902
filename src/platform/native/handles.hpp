// Move-only owners of platform objects: each releases what it holds on every path.
#pragma once

#include <utility>

#include "platform/native/platform_api.hpp"

namespace lumra::native {

// A CoreFoundation object owned by +1 reference.
template <typename Ref>
class CfOwned {
 public:
  CfOwned() = default;
  explicit CfOwned(Ref ref) : ref_(ref) {}
  CfOwned(CfOwned&& other) noexcept : ref_(std::exchange(other.ref_, nullptr)) {}
  CfOwned& operator=(CfOwned&& other) noexcept {
    Reset(std::exchange(other.ref_, nullptr));
    return *this;
  }
  CfOwned(const CfOwned&) = delete;
  CfOwned& operator=(const CfOwned&) = delete;
  ~CfOwned() { Reset(); }

  Ref Get() const { return ref_; }
  explicit operator bool() const { return ref_ != nullptr; }
  // Hands the reference to a call that consumes it.
  Ref Release() { return std::exchange(ref_, nullptr); }
  void Reset(Ref ref = nullptr) {
    if (ref_ != nullptr) CFRelease(ref_);
    ref_ = ref;
  }

 private:
  Ref ref_ = nullptr;
};

// An I/O Registry object (service, iterator, entry).
class IoOwned {
 public:
  IoOwned() = default;
  explicit IoOwned(io_object_t object) : object_(object) {}
  IoOwned(IoOwned&& other) noexcept : object_(std::exchange(other.object_, IO_OBJECT_NULL)) {}
  IoOwned& operator=(IoOwned&& other) noexcept {
    Reset(std::exchange(other.object_, IO_OBJECT_NULL));
    return *this;
  }
  IoOwned(const IoOwned&) = delete;
  IoOwned& operator=(const IoOwned&) = delete;
  ~IoOwned() { Reset(); }

  io_object_t Get() const { return object_; }
  explicit operator bool() const { return object_ != IO_OBJECT_NULL; }
  void Reset(io_object_t object = IO_OBJECT_NULL) {
    if (object_ != IO_OBJECT_NULL) IOObjectRelease(object_);
    object_ = object;
  }

 private:
  io_object_t object_ = IO_OBJECT_NULL;
};

// An open I2C connection, closed with options 0.
class I2cConnection {
 public:
  explicit I2cConnection(IOI2CConnectRef connect) : connect_(connect) {}
  I2cConnection(const I2cConnection&) = delete;
  I2cConnection& operator=(const I2cConnection&) = delete;
  ~I2cConnection() {
    if (connect_ != nullptr) IOI2CInterfaceClose(connect_, 0);
  }
  IOI2CConnectRef Get() const { return connect_; }

 private:
  IOI2CConnectRef connect_;
};

// A display mode from CGDisplayCopyDisplayMode.
class DisplayModeOwned {
 public:
  explicit DisplayModeOwned(CGDisplayModeRef mode) : mode_(mode) {}
  DisplayModeOwned(const DisplayModeOwned&) = delete;
  DisplayModeOwned& operator=(const DisplayModeOwned&) = delete;
  ~DisplayModeOwned() { CGDisplayModeRelease(mode_); }
  CGDisplayModeRef Get() const { return mode_; }

 private:
  CGDisplayModeRef mode_;
};

}  // namespace lumra::native
