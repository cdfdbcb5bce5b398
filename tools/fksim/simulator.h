// The simulated device on its line: the model it plays, what it received (read by read
// and frame by frame, with arrival times) and the lamps that left lit or dark.
#pragma once

#include <csignal>
#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <vector>

#include "tools/fksim/decoder.h"
#include "tools/fksim/port.h"

namespace vantrel::fksim {

// Set by the signal handlers; every wait gives up when it is.
extern volatile std::sig_atomic_t g_stop;

struct Chunk {
  std::int64_t t_us;
  std::vector<std::uint8_t> bytes;
};

// Keeps the newest entries; indices count from the start of the run, so cursors
// stay valid when old entries are dropped.
template <typename T>
class Log {
 public:
  void Add(T item) {
    items_.push_back(std::move(item));
    if (items_.size() > kMaxItems) {
      items_.pop_front();
      ++base_;
    }
  }
  std::size_t begin() const { return base_; }
  std::size_t end() const { return base_ + items_.size(); }
  const T& at(std::size_t i) const { return items_[i - base_]; }

 private:
  static constexpr std::size_t kMaxItems = 100000;
  std::deque<T> items_;
  std::size_t base_ = 0;
};

class Simulator {
 public:
  Simulator(Port port, Model model) : port_(std::move(port)), model_(model), start_(NowUs()) {}

  // Waits up to timeout_ms (-1: no limit) for the port and for extra_fd (if >= 0);
  // returns false when the port failed. extra_ready tells whether extra_fd is readable.
  bool Wait(int timeout_ms, int extra_fd, bool* extra_ready);
  // Receives until done() or the deadline; true if done() became true.
  bool PumpUntil(std::int64_t deadline_us, const std::function<bool()>& done);
  bool Send(std::span<const std::uint8_t> bytes) { return port_.Write(bytes); }
  // A device that stops reading lets the line back up (the host's writes stall).
  void set_reading(bool reading) { reading_ = reading; }

  bool failed() const { return failed_; }
  void set_failed() { failed_ = true; }
  Model model() const { return model_; }
  void set_model(Model model) { model_ = model; }
  const Port& port() const { return port_; }
  Lamps lamps() const { return decoder_.lamps(); }
  std::int64_t start() const { return start_; }
  const Log<Frame>& frames() const { return frames_; }
  const Log<Chunk>& chunks() const { return chunks_; }
  std::function<void()> on_change;  // called when frames arrived

 private:
  bool ReadPort();
  void Record(std::vector<Frame>& frames);

  Port port_;
  Model model_;
  std::int64_t start_;
  FrameDecoder decoder_;
  Log<Frame> frames_;
  Log<Chunk> chunks_;
  bool failed_ = false;
  bool reading_ = true;
};

}  // namespace vantrel::fksim
