// Permissions that bind in tests run as root, too.
//
// Root passes every permission check through CAP_DAC_OVERRIDE, so a test of
// a read-only folder would test nothing when run as root. PermissionsBind
// sets that right (and CAP_DAC_READ_SEARCH) aside in the calling thread's
// effective set for its scope and gives it back afterwards. Root still owns
// what it creates, so its tests read-only-ness through the owner's bits.
// Limit: access(2) checks with the permitted set and still answers as root.
#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace norvelle::test {

class PermissionsBind {
 public:
  PermissionsBind() {
    if (::geteuid() != 0) {
      bound_ = true;
      return;
    }
    if (::syscall(SYS_capget, &header_, saved_) != 0) return;
    __user_cap_data_struct dropped[2] = {saved_[0], saved_[1]};
    dropped[0].effective &= ~(CAP_TO_MASK(CAP_DAC_OVERRIDE) | CAP_TO_MASK(CAP_DAC_READ_SEARCH));
    changed_ = ::syscall(SYS_capset, &header_, dropped) == 0;
    bound_ = changed_;
  }
  ~PermissionsBind() {
    if (changed_) ::syscall(SYS_capset, &header_, saved_);
  }
  PermissionsBind(const PermissionsBind&) = delete;
  PermissionsBind& operator=(const PermissionsBind&) = delete;

  // False when root's right could not be set aside: the test should skip.
  bool bound() const { return bound_; }

 private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2]{};
  bool changed_ = false;
  bool bound_ = false;
};

}  // namespace norvelle::test
