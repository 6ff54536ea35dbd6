// How a conversion reaches the files it reads: the source, included files
// and rule files. Every file the run read or looked for is recorded with its
// path in file-system form (the bytes on disk, not the document's CP932), so
// that a caller can name what a page was made from: a dependency file for
// make, the files to watch.
#pragma once

#include <string>
#include <vector>

namespace norvelle {

enum class FileRole { kSource, kInclude, kRules };

struct FileRead {
  FileRole role;
  std::string path;  // native (UTF-8 as on disk)
  bool found;        // read; false: looked for and not there (or unreadable)
};

class DocumentIO {
 public:
  virtual ~DocumentIO() = default;

  // Reads a file named in CP932, in text mode, and records it. False when it
  // cannot be opened or read.
  bool Read(FileRole role, const std::string& cp932_path, std::string& text);

  // In the order the run met them; a file read twice is listed twice.
  const std::vector<FileRead>& reads() const { return reads_; }

 protected:
  // The read itself. Override for other encodings or a source that is no file.
  virtual bool ReadFile(FileRole role, const std::string& cp932_path, std::string& text);
  // Whether reads of this role name a file at all (standard input does not).
  virtual bool Recorded(FileRole) const { return true; }

 private:
  std::vector<FileRead> reads_;
};

}  // namespace norvelle
