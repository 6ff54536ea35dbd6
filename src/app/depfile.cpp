#include "app/depfile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

namespace norvelle {

namespace {

bool IsFolder(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string Parent(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The folder with links resolved, so that two names of one folder compare equal.
std::string Resolved(const std::string& folder) {
  char* real = ::realpath(folder.c_str(), nullptr);
  if (!real) return folder;
  std::string out(real);
  std::free(real);
  return out;
}

std::string Relative(const std::string& path, const std::string& cwd) {
  if (cwd.empty() || cwd == "/") return path;
  if (path == cwd) return ".";
  if (path.size() > cwd.size() && path.compare(0, cwd.size(), cwd) == 0 && path[cwd.size()] == '/')
    return path.substr(cwd.size() + 1);
  return path;
}

void AddOnce(std::vector<std::string>& list, std::string name) {
  if (std::find(list.begin(), list.end(), name) == list.end()) list.push_back(std::move(name));
}

}  // namespace

bool EscapeForMake(std::string_view name, std::string& out) {
  out.clear();
  if (name.empty()) return false;
  std::size_t slashes = 0;  // backslashes just written
  for (char c : name) {
    if (c == '\n' || c == '\r' || c == '\t') return false;
    const bool special = c == ' ' || c == '#' || c == ':';
    if (special) out.append(slashes, '\\');  // they stand for themselves
    if (special) out += '\\';
    if (c == '$') out += '$';
    out += c;
    slashes = c == '\\' ? slashes + 1 : 0;
  }
  out.append(slashes, '\\');  // before the blank that ends the name
  return true;
}

std::vector<std::string> PrerequisitesOf(const std::vector<FileRead>& reads, const std::string& cwd,
                                         const std::vector<std::string>& written) {
  std::vector<std::string> busy;
  for (const std::string& w : written) busy.push_back(Resolved(Parent(w)));
  std::vector<std::string> out;
  for (const FileRead& r : reads) {
    if (r.found) {
      AddOnce(out, Relative(r.path, cwd));
      continue;
    }
    std::string folder = Parent(r.path);
    while (!IsFolder(folder) && folder != "/" && folder != ".") folder = Parent(folder);
    if (!IsFolder(folder) || std::find(busy.begin(), busy.end(), Resolved(folder)) != busy.end()) continue;
    AddOnce(out, Relative(folder, cwd));
  }
  return out;
}

bool DepfileText(std::string_view target, const std::vector<std::string>& prerequisites, std::string& text,
                 std::string& bad) {
  std::string name;
  if (!EscapeForMake(target, name)) {
    bad = target;
    return false;
  }
  text = name + ":";
  std::string phony;
  for (const std::string& p : prerequisites) {
    if (!EscapeForMake(p, name)) {
      bad = p;
      return false;
    }
    text += " \\\n " + name;
    phony += "\n" + name + ":\n";
  }
  text += "\n" + phony;
  return true;
}

}  // namespace norvelle
