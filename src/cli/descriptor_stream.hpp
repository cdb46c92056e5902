#pragma once

#include <ostream>
#include <streambuf>
#include <string>

namespace lumra::cli {

// An output stream over a file descriptor that keeps everything until it is flushed and then
// hands it to the descriptor in one write, however long. A reader sharing the pipe thus sees
// a JSON document or an error report whole, never a part of it. The descriptor is not owned.
//
// When the descriptor refuses a write the stream goes bad, and WriteErrno tells why.
class DescriptorStream : public std::ostream {
 public:
  explicit DescriptorStream(int fd);
  ~DescriptorStream() override;
  DescriptorStream(const DescriptorStream&) = delete;
  DescriptorStream& operator=(const DescriptorStream&) = delete;

 private:
  class Buffer : public std::streambuf {
   public:
    Buffer(int fd, std::ostream& stream) : fd_(fd), stream_(stream) {}

   protected:
    int_type overflow(int_type ch) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    // Writes what is pending; -1 when the descriptor refused it.
    int sync() override;

   private:
    int fd_;
    std::ostream& stream_;
    std::string pending_;
  };
  Buffer buffer_;
};

// The errno of the write a stream's descriptor refused last; 0 when none did, or for a stream
// that is not a DescriptorStream.
int WriteErrno(std::ios_base& stream);

}  // namespace lumra::cli
