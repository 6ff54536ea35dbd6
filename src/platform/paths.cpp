#include "platform/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "text/dbcs.h"
#include "platform/carry.h"

namespace norvelle {

namespace {

std::string& ProgramPathOverride() {
  static std::string path;
  return path;
}

// Cuts a path into its folder (without the separator) and its name.
void SplitLast(const std::string& path, std::string& folder, std::string& name) {
  std::size_t cut = FindLastChar(path, '/');
  if (cut == std::string::npos) {
    folder.clear();
    name = path;
  } else {
    folder = path.substr(0, cut);
    name = path.substr(cut + 1);
  }
}

bool Writable(const std::string& cp932_folder) {
  std::string u;
  return NameToNative(cp932_folder, u) && access(u.c_str(), W_OK) == 0;
}

bool Exists(const std::string& cp932_path) {
  std::string u;
  return NameToNative(cp932_path, u) && access(u.c_str(), F_OK) == 0;
}

bool IsFolder(const std::string& cp932_path) {
  std::string u;
  struct stat st;
  return NameToNative(cp932_path, u) && ::stat(u.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Folder that holds the rule files: beside the program when that is usable,
// else the user's configuration folder.
std::string RuleBase(std::string& ini_name) {
  std::string prog = ProgramPath();
  if (prog.empty()) return {};
  std::string folder, name;
  SplitLast(prog, folder, name);
  std::size_t dot = name.rfind('.');
  ini_name = (dot == std::string::npos || dot == 0 ? name : name.substr(0, dot)) + ".ini";
  // Installed (<prefix>/bin beside <prefix>/share/norvelle), or in a folder
  // the user cannot write: the rules are the user's own. A build or an
  // unpacked folder keeps them beside the program, as does any folder that
  // already holds the default rule file.
  const bool installed = IsFolder(folder + "/../share/norvelle");
  if (!ProgramPathOverride().empty() || Exists(folder + "/" + ini_name) || (!installed && Writable(folder)))
    return folder;
  std::string config;
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) config = x;
  else if (const char* h = std::getenv("HOME"); h && *h) config = std::string(h) + "/.config";
  else return folder;
  std::string cp;
  if (!NameFromNative(config, cp)) return folder;
  return cp + "/norvelle";
}

}  // namespace

void SetProgramPathForTesting(std::string_view cp932_path) { ProgramPathOverride() = cp932_path; }

std::string ProgramPath() {
  if (!ProgramPathOverride().empty()) return ProgramPathOverride();
  std::vector<char> buf(4096);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return {};
    if (std::size_t(n) < buf.size()) {
      std::string cp;
      if (!NameFromNative(std::string_view(buf.data(), std::size_t(n)), cp)) return {};
      return cp;
    }
    buf.resize(buf.size() * 2);
  }
}

std::string DefaultRuleFile() {
  std::string ini_name;
  std::string base = RuleBase(ini_name);
  if (ini_name.empty()) return {};
  return base + "/" + ini_name;
}

bool RulesInConfigFolder() {
  std::string ini_name;
  std::string base = RuleBase(ini_name);
  if (ini_name.empty()) return false;
  std::string folder, name;
  SplitLast(ProgramPath(), folder, name);
  return base != folder;
}

std::string RulesFolder() {
  std::string ini_name;
  std::string base = RuleBase(ini_name);
  if (ini_name.empty()) return {};
  return base + "/qdx";
}

namespace {

// Is "/a/b/c" of the parts a symbolic link?
bool IsSymbolicLink(const std::vector<std::string>& parts) {
  std::string cp, native;
  for (const auto& part : parts) {
    cp += '/';
    cp += part;
  }
  struct stat st;
  return NameToNative(cp, native) && ::lstat(native.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

}  // namespace

std::string FullPathFrom(std::string_view folder, std::string_view path) {
  std::string joined;
  if (!path.empty() && path[0] == '/') {
    joined.assign(path);
  } else {
    joined.assign(folder);
    joined += '/';
    joined.append(path);
  }
  // Fold "." and ".." lexically, component by component; but "X/.." where X
  // is a symbolic link is the folder above X's target, so it stays for the
  // system to resolve (and so does every ".." after it).
  std::vector<std::string> parts;
  std::string cur;
  auto flush = [&] {
    if (cur.empty() || cur == ".") {
    } else if (cur == "..") {
      if (parts.empty()) {
      } else if (parts.back() == ".." || IsSymbolicLink(parts)) {
        parts.push_back(cur);
      } else {
        parts.pop_back();
      }
    } else {
      parts.push_back(cur);
    }
    cur.clear();
  };
  const char* b = joined.data();
  const char* e = b + joined.size();
  for (const char* p = b; p < e;) {
    const char* q = NextChar(p, e);
    if (q - p == 1 && *p == '/') flush();
    else cur.append(p, std::size_t(q - p));
    p = q;
  }
  flush();
  std::string out;
  for (const auto& part : parts) {
    out += '/';
    out += part;
  }
  if (out.empty()) out.push_back('/');  // the root
  return out;
}

bool FullPath(std::string_view path, std::string& out) {
  std::vector<char> buf(4096);
  while (!getcwd(buf.data(), buf.size())) {
    if (errno != ERANGE) return false;
    buf.resize(buf.size() * 2);
  }
  std::string cwd;
  if (!NameFromNative(buf.data(), cwd)) return false;
  out = FullPathFrom(cwd, path);
  return true;
}

}  // namespace norvelle
