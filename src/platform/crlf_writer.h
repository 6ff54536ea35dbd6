// A buffered writer of text-mode output: each LF goes out as CR LF.
//
// Once more than one buffer is written, a second thread turns full buffers
// into CR LF text and writes them while the producer makes the next one: a
// conversion's pass 2 then shares the machine's cores with its own output.
// A few full buffers may wait for that thread, so the producer rarely waits
// for a slow write. After the first failed write nothing more is written and
// every call reports the failure; the reason is the first failure's. The
// writer never opens, syncs or closes its descriptor.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

namespace norvelle {

class CrlfWriter {
 public:
  explicit CrlfWriter(int fd);
  ~CrlfWriter() { Abandon(); }
  CrlfWriter(const CrlfWriter&) = delete;
  CrlfWriter& operator=(const CrlfWriter&) = delete;

  // False once writing has failed.
  bool Put(std::string_view lf_text);
  // Takes s's text without copying it; s comes back empty.
  bool Give(std::string& s);

  // Writes what is left and waits for the second thread; why it failed, if it did.
  std::error_code Flush();
  // Gives up what is not written yet; why writing failed, if it did.
  std::error_code Finish();

 private:
  static constexpr std::size_t kSize = std::size_t(1) << 18;
  static constexpr std::size_t kQueued = 4;  // full buffers that may wait

  void HandOver();
  void Stop();
  void Abandon();
  std::error_code Result() const;
  void Drain();
  bool WriteOut(std::string_view lf_text);

  int fd_;
  bool ok_ = true;  // the producer's view
  std::string fill_;
  std::string out_;
  std::size_t written_ = 0;
  std::error_code error_;  // the first failed write's; set before failed_

  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable ready_, idle_;
  std::deque<std::string> queue_;   // full, oldest first
  std::vector<std::string> spare_;  // written, to be filled again
  bool stop_ = false, failed_ = false, abandoned_ = false;
};

}  // namespace norvelle
