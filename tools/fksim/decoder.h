// The device's receive side: a tolerant stream parser that turns the host's bytes
// into named frames and lamp states.
//
// Frames may arrive split over reads or several in one read; bytes that fit no frame
// are reported as "unknown" and skipped one at a time, so the parser is back in step
// at the next frame start. Where a complete frame is also the beginning of a longer
// one (the wake-up 1B 13 1B 13 and the 48G9995 lamps-off frame, the byte 06 and the
// start-up sequence), the parser waits for the next byte or for Flush.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tools/fksim/protocol.h"

namespace vantrel::fksim {

struct Frame {
  std::string name;   // "startup", "refresh", "hold 5", "editor-key 9", "unknown", ...
  std::string alias;  // another name the same bytes stand for ("lamp-test 33"), or empty
  std::vector<std::uint8_t> bytes;
  std::int64_t t_us = 0;       // arrival of the frame's last byte
  std::optional<Lamps> lamps;  // the lamps after this frame, when it sets them
};

class FrameDecoder {
 public:
  // Bytes that arrived together at t_us; appends every frame they complete to out.
  void Feed(std::span<const std::uint8_t> bytes, std::int64_t t_us, std::vector<Frame>& out);
  // The line went quiet: decides whatever is still waiting for more bytes.
  void Flush(std::vector<Frame>& out);
  // True while bytes wait for Flush (or for more bytes).
  bool HasPending() const { return !pending_.empty() || !unknown_.empty(); }
  // Arrival of the newest byte still waiting.
  std::int64_t PendingSince() const { return last_t_; }
  Lamps lamps() const { return lamps_; }

  enum class Kind {
    kStartup,
    kWake,
    kWake01,
    kWake06,
    kByte08,
    kResetPrefix,
    kFrame29,
    kFrame6094,
    kOff48,
    kCommand18,
    kEditorKey48,
  };

 private:
  void Resolve(bool flush, std::vector<Frame>& out);
  void Emit(Kind kind, std::size_t length, std::vector<Frame>& out);
  void EmitUnknown(std::vector<Frame>& out);
  std::string MaskFrameName(Lamps mask, bool after_prefix, bool after_08, std::string& alias);

  std::vector<std::uint8_t> pending_;
  std::vector<std::int64_t> pending_t_;
  std::vector<std::uint8_t> unknown_;
  std::int64_t unknown_t_ = 0;
  std::int64_t last_t_ = 0;
  std::optional<Kind> previous_;
  Lamps lamps_ = 0;
};

}  // namespace vantrel::fksim
