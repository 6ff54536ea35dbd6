// Files in text mode, as the program reads and writes them.
//
// Reading (read_file.h) turns each CR LF into LF and stops at a 0x1A byte;
// writing turns each LF into CR LF (crlf_writer.h) and replaces a regular
// target whole or not at all (atomic_file.h): a failed, cancelled or
// interrupted write, a full disk or a power loss leaves the old target or
// the new one. Interrupting signals wait until the temporary file is renamed
// or removed; a file-size limit fails the write. What is no regular file is
// never replaced (output_target.h): a device or a standard stream named as a
// file is written in place. Paths are CP932; they reach the system through
// platform/carry.h, so any name the file system allows, CP932 or not, can be
// opened; one that holds a NUL byte fails like a missing file.
#pragma once

#include <cerrno>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>
#include <type_traits>
#include <vector>

#include "platform/read_file.h"

namespace norvelle {

// How a producer hands its text over as it is made: produce calls put for
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

// Writes the pieces in order, in text mode; why the file could not be
// created or a byte could not be written, if so.
std::error_code WriteText(const std::string& cp932_path, const std::vector<std::string_view>& pieces);
// The same with the text handed over as it is made (see TextPut): a producer
// that gives up leaves the target as it was (operation_canceled when no
// write failed).
std::error_code WriteTextFrom(const std::string& cp932_path, const TextProducer& produce);

// Both as true or false, errno holding the reason of a failure.
inline bool WriteTextFile(const std::string& cp932_path, const std::vector<std::string_view>& pieces) {
  const std::error_code why = WriteText(cp932_path, pieces);
  if (why) errno = why.value();
  return !why;
}
inline bool WriteTextFileFrom(const std::string& cp932_path, const TextProducer& produce) {
  const std::error_code why = WriteTextFrom(cp932_path, produce);
  if (why) errno = why.value();
  return !why;
}

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
