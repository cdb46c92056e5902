#include "cli/descriptor_stream.hpp"

#include <unistd.h>

#include <cerrno>

#include "support/posix/retry.hpp"

namespace lumra::cli {

namespace {

// The slot of every stream's word storage that keeps the errno of its last refused write.
int ErrnoSlot() {
  static const int kSlot = std::ios_base::xalloc();
  return kSlot;
}

}  // namespace

DescriptorStream::DescriptorStream(int fd) : std::ostream(nullptr), buffer_(fd, *this) {
  rdbuf(&buffer_);
}

int WriteErrno(std::ios_base& stream) { return static_cast<int>(stream.iword(ErrnoSlot())); }

DescriptorStream::~DescriptorStream() { flush(); }

DescriptorStream::Buffer::int_type DescriptorStream::Buffer::overflow(int_type ch) {
  if (!traits_type::eq_int_type(ch, traits_type::eof())) {
    pending_.push_back(traits_type::to_char_type(ch));
  }
  return traits_type::not_eof(ch);
}

std::streamsize DescriptorStream::Buffer::xsputn(const char* text, std::streamsize count) {
  pending_.append(text, static_cast<std::size_t>(count));
  return count;
}

int DescriptorStream::Buffer::sync() {
  std::size_t done = 0;
  // A blocking descriptor takes it all in one write; the loop only resumes after a signal or
  // a short write to a non-blocking one.
  while (done < pending_.size()) {
    const ssize_t wrote = support::RetryOnEintr(
        [&] { return ::write(fd_, pending_.data() + done, pending_.size() - done); });
    if (wrote <= 0) {
      stream_.iword(ErrnoSlot()) = wrote < 0 ? errno : EIO;
      pending_.clear();
      return -1;
    }
    done += static_cast<std::size_t>(wrote);
  }
  pending_.clear();
  return 0;
}

}  // namespace lumra::cli
