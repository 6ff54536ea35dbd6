// Loading a part of the program that lives in a shared module beside it.
//
// The dialogs bring the window toolkit, whose libraries cost milliseconds at
// every start; keeping them in a module loaded only when a window is needed
// lets batch runs pay nothing for them. Not a plugin system: one known file
// name, looked up beside the program and in the installed library folder.
#pragma once

#include <string>

namespace norvelle {

// The address of `symbol` in the module `file_name`, found beside the running
// program or in <prefix>/lib/norvelle/ for an installed program. Null when it
// cannot be loaded; `why` then says what went wrong. The module stays loaded.
void* LoadModuleSymbol(const std::string& file_name, const char* symbol, std::string& why);

}  // namespace norvelle
