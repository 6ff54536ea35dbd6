// Files in text mode, as the program reads and writes them.
//
// Reading turns each CR LF into LF and stops at a 0x1A byte; writing turns
// each LF into CR LF. Writes go to a temporary file in the target's folder,
// ".NAME.norvelle-tmp-PID-XXXXXX", that is synced to the disk and then
// renamed over the target (the folder synced after), so a failed, cancelled
// or interrupted write, a full disk or a power loss leaves the old target or
// the new one, never a half-written one. Interrupting signals wait until the
// temporary file is renamed or removed; a file-size limit fails the write.
// A temporary file whose writer was killed is removed by the next write into
// its folder once no process of that id exists.
// Paths are CP932; they reach the system through platform/carry.h, so any
// name the file system allows, CP932 or not, can be opened; one that holds a
// NUL byte fails like a missing file. Only regular files are read, and only up to the
// size they had when opened: a folder, FIFO or device fails to open, and a
// file that grows while read cannot make the read unbounded.
#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <type_traits>
#include <string_view>
#include <vector>

#include "base/str.h"

namespace norvelle {

// Whole file in text mode. False when it cannot be opened or read.
bool ReadTextFile(const std::string& cp932_path, std::string& out);
// Standard input to its end, in text mode: the one source that is read
// without bound, because the user piped it in on purpose.
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

// Writes the pieces in order, in text mode, replacing the target atomically.
// False when the file cannot be created or any byte cannot be written.
// On failure errno holds the reason of the step that failed.
bool WriteTextFile(const std::string& cp932_path, const std::vector<std::string_view>& pieces);

// The same with the text handed over as it is made: produce calls put for
// each piece in order and returns false to give up (the target then stays as
// it was). produce is not called when the file cannot be created.
// `Give` hands over a whole buffer the producer will fill again: where the
// output can, it takes the buffer's text without copying it, and the buffer
// comes back empty either way.
class TextPut {
 public:
  using Put = std::function<bool(std::string_view piece)>;
  using GiveFn = std::function<bool(std::string& text)>;
  template <class F, class = std::enable_if_t<!std::is_same_v<std::decay_t<F>, TextPut> &&
                                              std::is_invocable_r_v<bool, F&, std::string_view>>>
  TextPut(F put) : put_(std::move(put)) {}  // NOLINT: any callable that takes a piece
  TextPut(Put put, GiveFn give) : put_(std::move(put)), give_(std::move(give)) {}

  bool operator()(std::string_view piece) const { return put_(piece); }
  bool Give(std::string& text) const {
    if (give_) return give_(text);
    const bool ok = put_(text);
    text.clear();
    return ok;
  }

 private:
  Put put_;
  GiveFn give_;
};
using TextProducer = std::function<bool(const TextPut& put)>;
bool WriteTextFileFrom(const std::string& cp932_path, const TextProducer& produce);

// Does the target exist and can we create a file in its folder?
bool CanCreateFile(const std::string& cp932_path);

// Creates the folder and any missing folders above it. True when it exists
// afterwards (also when it was there already).
bool MakeFolders(const std::string& cp932_path);

// Do two paths name one file, after following links (a link to the source
// named as the output)? False when either does not exist.
bool IsSameFilePath(const std::string& cp932_a, const std::string& cp932_b);

// Last-modification time; false when it cannot be read.
bool FileModTime(const std::string& cp932_path, std::time_t& t);

}  // namespace norvelle
