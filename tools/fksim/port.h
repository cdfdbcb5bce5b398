// The simulator's end of the serial line: a pseudo-terminal (default) or a serial
// device named on the command line, in raw mode at 9600 baud.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "tools/fksim/protocol.h"

namespace vantrel::fksim {

// Owns one file descriptor.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  Fd(Fd&& other) noexcept : fd_(other.Release()) {}
  Fd& operator=(Fd&& other) noexcept;
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd();
  int get() const { return fd_; }
  int Release();

 private:
  int fd_ = -1;
};

class Port {
 public:
  // A new pty pair. The slave stays open here too, so that the host closing and
  // reopening its side (it does so after several frames) never hangs the master up.
  static std::optional<Port> OpenPty(Model model, std::string& error);
  static std::optional<Port> OpenDevice(const std::string& path, Model model, std::string& error);

  int fd() const { return fd_.get(); }
  // The path the host opens: the pty slave or the device.
  const std::string& path() const { return path_; }
  // Writes all bytes, waiting at most timeout_ms for room; false if they did not all go.
  bool Write(std::span<const std::uint8_t> bytes, int timeout_ms = 1000);

 private:
  Fd fd_;
  Fd slave_;
  std::string path_;
};

// Monotonic clock in microseconds (CLOCK_MONOTONIC, the clock of Python's time.monotonic).
std::int64_t NowUs();

// Maps Wine's COMn to target in the prefix by `wine reg add`; refuses the default prefix.
bool MapWineCom(int com, const std::string& target, const std::string& prefix, std::string& error);

// Creates (or replaces an old symlink at) link_path pointing to target.
bool CreatePtyLink(const std::string& link_path, const std::string& target, std::string& error);

}  // namespace vantrel::fksim
