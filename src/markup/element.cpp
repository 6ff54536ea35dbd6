#include "markup/element.h"

#include <cstring>

namespace norvelle {

void ArgPool::Set(TarnStruct& e, int code, std::string_view value) {
  for (std::uint32_t i = e.args; i; i = args_[i].next) {
    if (args_[i].code == code) {
      args_[i].text = value.data();
      args_[i].len = static_cast<std::uint32_t>(value.size());
      return;
    }
  }
  args_.push_back({code, static_cast<std::uint32_t>(value.size()), value.data(), e.args});
  e.args = static_cast<std::uint32_t>(args_.size() - 1);
}

std::string_view ArgPool::Get(const TarnStruct& e, int code) const {
  for (std::uint32_t i = e.args; i; i = args_[i].next)
    if (args_[i].code == code) return std::string_view(args_[i].text, args_[i].len);
  return {};
}

std::string_view TextArena::Store(std::string_view s) {
  if (s.empty()) return {};
  if (s.size() > left_) {
    std::size_t size = s.size() > kBlock ? s.size() : kBlock;
    // Not cleared: a block's pages are touched only as texts fill them.
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
    cur_ = blocks_.back().get();
    left_ = size;
  }
  std::memcpy(cur_, s.data(), s.size());
  std::string_view out(cur_, s.size());
  cur_ += s.size();
  left_ -= s.size();
  return out;
}

}  // namespace norvelle
