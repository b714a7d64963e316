#pragma once
// A file in memory, for what a writer under test writes.
#include <cstdio>
#include <cstdlib>
#include <string>

namespace lectryn::app::testing {

class MemoryFile {
 public:
  MemoryFile() : file_(open_memstream(&buffer_, &size_)) {}
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;
  ~MemoryFile() {
    Close();
    free(buffer_);
  }
  std::FILE* get() const { return file_; }
  // Closes the file: all that was written.
  std::string Text() {
    Close();
    return std::string(buffer_, size_);
  }

 private:
  void Close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
  }
  char* buffer_ = nullptr;
  size_t size_ = 0;
  std::FILE* file_;
};

}  // namespace lectryn::app::testing
