// A process-wide object that is never destroyed.
#pragma once

#include <new>
#include <utility>

namespace lumra::support {

// Holds a T built in place and never destroys it, so a function-local static of this type runs
// nothing at exit. Destroying a process-wide table at exit only frees what the system takes
// back anyway, and a process that has just forked pays for every page it writes meanwhile.
template <typename T>
class NoDestructor {
 public:
  template <typename... Arguments>
  explicit NoDestructor(Arguments&&... arguments) {
    new (storage_) T(std::forward<Arguments>(arguments)...);
  }
  NoDestructor(const NoDestructor&) = delete;
  NoDestructor& operator=(const NoDestructor&) = delete;

  T& operator*() { return *Get(); }
  T* operator->() { return Get(); }

 private:
  T* Get() { return std::launder(reinterpret_cast<T*>(storage_)); }

  alignas(T) unsigned char storage_[sizeof(T)];
};

}  // namespace lumra::support
