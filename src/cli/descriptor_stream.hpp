#pragma once

#include <ostream>
#include <streambuf>
#include <string>

namespace lumra::cli {

// An output stream over a file descriptor that keeps everything until it is flushed and then
// hands it to the descriptor in one write, however long. A reader sharing the pipe thus sees
// a JSON document or an error report whole, never a part of it. The descriptor is not owned.
class DescriptorStream : public std::ostream {
 public:
  explicit DescriptorStream(int fd);
  ~DescriptorStream() override;
  DescriptorStream(const DescriptorStream&) = delete;
  DescriptorStream& operator=(const DescriptorStream&) = delete;

 private:
  class Buffer : public std::streambuf {
   public:
    explicit Buffer(int fd) : fd_(fd) {}

   protected:
    int_type overflow(int_type ch) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    // Writes what is pending; -1 when the descriptor refused it.
    int sync() override;

   private:
    int fd_;
    std::string pending_;
  };
  Buffer buffer_;
};

}  // namespace lumra::cli
