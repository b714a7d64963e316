#pragma once
// Keys typed on the controlling terminal while the reader reads: the terminal is put in a mode that
// hands over each key at once without echoing it (Ctrl+C still interrupts), a thread reads them, and
// the terminal's own mode comes back when this object goes, however the program ends. Stopped with
// Ctrl+Z and brought back, the reader takes keys again; in the background it leaves the terminal be.
#include <termios.h>

#include <functional>
#include <thread>

#include "app/ReaderKeys.h"

namespace lectryn::app {

class TerminalKeys {
 public:
  // Does nothing when fd is not a terminal. onKey runs on the reading thread.
  TerminalKeys(int fd, std::function<void(ReaderKey)> onKey);
  ~TerminalKeys();
  TerminalKeys(const TerminalKeys&) = delete;
  TerminalKeys& operator=(const TerminalKeys&) = delete;

  bool Active() const { return active_; }
  // Stops reading and gives the terminal its mode back; the destructor does it too.
  void Stop();

 private:
  void Read();
  // True when this program has the terminal; its mode is then ours again (a shell that took the
  // terminal back over a stop put its own).
  bool InForeground();

  int fd_;
  std::function<void(ReaderKey)> onKey_;
  termios saved_{};
  termios keys_{};
  bool active_ = false;
  int wake_[2] = {-1, -1};  // a pipe that ends the reading thread's wait
  std::thread thread_;
};

}  // namespace lectryn::app
