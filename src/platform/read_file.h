// Reading text files in text mode (platform/text_mode.h): CR LF as LF, the
// text ending at a 0x1A.
//
// Paths are CP932 and reach the system through platform/carry.h, so any name
// the file system allows can be opened; one that holds a NUL byte fails like
// a missing file. Only regular files are read, and only up to the size they
// had when opened: a folder, FIFO or device fails to open, and a file that
// grows while read cannot make the read unbounded. A source from 1 MB on is
// read in two halves by two threads.
#pragma once

#include <cerrno>
#include <cstddef>
#include <string>
#include <system_error>
#include <vector>

#include "base/str.h"

namespace norvelle {

// Whole file in text mode into out; why it could not be opened or read, if so.
std::error_code ReadText(const std::string& cp932_path, std::string& out);
// The same as true or false, errno holding the reason of a failure.
inline bool ReadTextFile(const std::string& cp932_path, std::string& out) {
  const std::error_code why = ReadText(cp932_path, out);
  if (why) errno = why.value();
  return !why;
}

// Standard input to its end, in text mode: the one source that is read
// without bound, because the user piped it in on purpose. False (errno set)
// when a read fails.
bool ReadTextStandardInput(std::string& out);

// A text-mode file read in fgets-sized pieces (for CStr_base::ReadLine).
class TextFileReader : public TextSource {
 public:
  explicit TextFileReader(const std::string& cp932_path);
  ~TextFileReader() override;
  TextFileReader(const TextFileReader&) = delete;
  TextFileReader& operator=(const TextFileReader&) = delete;
  bool is_open() const { return fd_ >= 0; }
  std::size_t Gets(char* buf, std::size_t size) override;

 private:
  bool Fill();
  int fd_ = -1;
  bool eof_ = false;
  std::vector<char> buf_;
  std::size_t pos_ = 0, end_ = 0;
  std::size_t left_ = 0;  // bytes still to read: the size at opening
};

}  // namespace norvelle
