#include "platform/module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <vector>

namespace norvelle {

namespace {

// The folder of the running program, in the file system's own bytes.
std::string ProgramFolder() {
  std::vector<char> buf(4096);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return {};
    if (std::size_t(n) < buf.size()) {
      std::string path(buf.data(), std::size_t(n));
      std::size_t slash = path.rfind('/');
      return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
    }
    buf.resize(buf.size() * 2);
  }
}

}  // namespace

void* LoadModuleSymbol(const std::string& file_name, const char* symbol, std::string& why) {
  std::string folder = ProgramFolder();
  if (folder.empty()) {
    why = "cannot find the program's folder";
    return nullptr;
  }
  why.clear();
  for (const std::string& path : {folder + "/" + file_name, folder + "/../lib/norvelle/" + file_name}) {
    if (access(path.c_str(), F_OK) != 0) continue;
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      why = dlerror();
      return nullptr;
    }
    if (void* sym = dlsym(handle, symbol)) return sym;
    why = path + ": no entry point " + symbol;
    return nullptr;
  }
  why = file_name + " not found beside the program";
  return nullptr;
}

}  // namespace norvelle
