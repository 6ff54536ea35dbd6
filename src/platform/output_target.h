// Where a written file lands, and the temporaries beside it.
//
// An output name is followed through its symbolic links: a link to a file
// replaces that file; a dangling link creates its target, as open() would.
// What is no regular file is never replaced: a standard stream named as a
// file (/dev/stdout, /dev/fd/N) is written through its descriptor, and a
// device, FIFO or socket is opened and written in place.
//
// A writer holds a lock on its temporary file while it works. The clean-up
// of a folder removes only temporaries no one holds and that are older than
// a minute, so a writer in another PID namespace or on another NFS client
// keeps its file; it runs once per folder per process.
#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>

namespace norvelle {

struct OutputTarget {
  enum class Kind {
    kFile,     // a regular file (or none yet): replaced through a temporary
    kInPlace,  // an existing device, FIFO or socket: opened and written
    kStream,   // a descriptor of ours named as a file: written through it
  };
  Kind kind = Kind::kFile;
  std::string path;  // native; for kFile the file to replace or create
  int fd = -1;       // kStream: the descriptor named
};

// False with errno set when the links cannot be followed (ELOOP, EACCES...).
bool ResolveOutputTarget(const std::string& native_path, OutputTarget& target);

// ".NAME.norvelle-tmp-PID-XXXXXX" in folder, for mkstemp.
std::string TempName(const std::string& folder, std::string_view name);
// Marks an open temporary as held by a live writer.
void HoldTemp(int fd);
// Removes the temporaries of folder that no writer holds and that are older
// than a minute; does nothing for a folder already cleaned by this process.
void RemoveStaleTemps(const std::string& folder);

// Gives the new file fd the replaced file's owner, group and mode (old: its
// stat; null when there was none: a plain create's mode). When the owner or
// group cannot be kept, the set-user-id and set-group-id bits are dropped.
void TakeOwnerAndMode(int fd, const struct stat* old);

// Do two native paths name one file (after following links)?
bool IsSameFile(const std::string& native_a, const std::string& native_b);

}  // namespace norvelle
