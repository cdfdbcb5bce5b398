#include "tools/fksim/decoder.h"

#include <algorithm>
#include <bit>

namespace vantrel::fksim {
namespace {

using Kind = FrameDecoder::Kind;

// One byte position of a frame: any value in lo..hi.
struct Elem {
  std::uint8_t lo;
  std::uint8_t hi;
};

struct Pattern {
  Kind kind;
  std::vector<Elem> elems;
};

constexpr Elem kAny{0x00, 0xFF};

std::vector<Elem> Fixed(std::initializer_list<std::uint8_t> bytes) {
  std::vector<Elem> out;
  for (std::uint8_t b : bytes) out.push_back({b, b});
  return out;
}

std::vector<Elem> Join(std::initializer_list<std::vector<Elem>> parts) {
  std::vector<Elem> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

const std::vector<Pattern>& Patterns() {
  static const std::vector<Pattern> patterns = {
      {Kind::kStartup, Fixed({0x06, 0x1B, 0x13, 0x1B, 0x13, 0x1B, 0x13, 0x1B, 0x18, 0x20})},
      {Kind::kWake, Fixed({0x1B, 0x13, 0x1B, 0x13})},
      {Kind::kWake01, Fixed({0x01})},
      {Kind::kWake06, Fixed({0x06})},
      {Kind::kByte08, Fixed({0x08})},
      {Kind::kResetPrefix, Fixed({0x1B, 0x13, 0x1B, 0x12, 0x20})},
      // 29 bytes: mode byte at 14, mask m0..m3 at 23..26.
      {Kind::kFrame29,
       Join({Fixed({0x1B, 0x13, 0x94, 0, 0, 0, 0, 0x1B, 0x11, 0x1B, 0x13, 0x1B, 0x13, 0x94}),
             {kAny},
             Fixed({0, 0, 0, 0x1B, 0x11, 0x1B, 0x13, 0x94}),
             {kAny, kAny, kAny, kAny},
             Fixed({0x1B, 0x11})})},
      {Kind::kFrame6094, Join({Fixed({0x94}), {kAny, kAny, kAny, kAny}})},
      {Kind::kOff48,
       Fixed({0x1B, 0x13, 0x1B, 0x13, 0x1B, 0x14, 0x24, 0x1B, 0x13, 0x1B, 0x14, 0x20,
              0x1B, 0x13, 0x1B, 0x18, 0x20, 0x1B, 0x13, 0x1B, 0x18, 0x20, 0x1B, 0x13})},
      // 18 bytes with one code byte at 9: the 48G9995 hold lamp, the editor's lamp test
      // and the editor's 48G9995 lamps-off frame share this shape.
      {Kind::kCommand18, Join({Fixed({0x1B, 0x11, 0x1B, 0x13, 0x1B, 0x12, 0x20, 0x1B, 0x14}),
                               {kAny},
                               Fixed({0x1B, 0x11, 0x1B, 0x11, 0x1B, 0x13, 0x1B, 0x11})})},
      // The editor's 48G9995 key frame: A = 20 + n at 6 (never 20, unlike the shape
      // above), B at 9.
      {Kind::kEditorKey48, Join({Fixed({0x1B, 0x11, 0x1B, 0x13, 0x1B, 0x12}),
                                 {{0x21, 0x40}},
                                 Fixed({0x1B, 0x14}),
                                 {kAny},
                                 Fixed({0x1B, 0x11})})},
  };
  return patterns;
}

bool Matches(const Pattern& p, const std::vector<std::uint8_t>& bytes, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (bytes[i] < p.elems[i].lo || bytes[i] > p.elems[i].hi) return false;
  }
  return true;
}

std::string Hex2(std::uint8_t b) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return {kDigits[b >> 4], kDigits[b & 15]};
}

// Keeps one "unknown" record from growing without bound on a stream of noise.
constexpr std::size_t kMaxUnknownRun = 64;

}  // namespace

void FrameDecoder::Feed(std::span<const std::uint8_t> bytes, std::int64_t t_us,
                        std::vector<Frame>& out) {
  for (std::uint8_t b : bytes) {
    pending_.push_back(b);
    pending_t_.push_back(t_us);
    Resolve(false, out);
  }
  if (!bytes.empty()) last_t_ = t_us;
}

void FrameDecoder::Flush(std::vector<Frame>& out) {
  Resolve(true, out);
  EmitUnknown(out);
}

void FrameDecoder::Resolve(bool flush, std::vector<Frame>& out) {
  while (!pending_.empty()) {
    // No frame starts with 00: zero bytes between frames are the editor's padding.
    if (pending_[0] == 0) {
      pending_.erase(pending_.begin());
      pending_t_.erase(pending_t_.begin());
      continue;
    }
    const Pattern* best = nullptr;
    bool longer_possible = false;
    for (const Pattern& p : Patterns()) {
      std::size_t n = std::min(pending_.size(), p.elems.size());
      if (!Matches(p, pending_, n)) continue;
      if (p.elems.size() > pending_.size()) {
        longer_possible = true;
      } else if (best == nullptr || p.elems.size() > best->elems.size()) {
        best = &p;
      }
    }
    if (longer_possible && !flush) return;
    if (best != nullptr) {
      EmitUnknown(out);
      std::size_t length = best->elems.size();
      Emit(best->kind, length, out);
      pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(length));
      pending_t_.erase(pending_t_.begin(),
                       pending_t_.begin() + static_cast<std::ptrdiff_t>(length));
      continue;
    }
    // Nothing starts here: drop one byte and look again from the next.
    unknown_.push_back(pending_[0]);
    unknown_t_ = pending_t_[0];
    pending_.erase(pending_.begin());
    pending_t_.erase(pending_t_.begin());
    if (unknown_.size() >= kMaxUnknownRun) EmitUnknown(out);
  }
}

void FrameDecoder::EmitUnknown(std::vector<Frame>& out) {
  if (unknown_.empty()) return;
  Frame f;
  f.name = "unknown";
  f.bytes = std::move(unknown_);
  f.t_us = unknown_t_;
  out.push_back(std::move(f));
  unknown_.clear();
}

std::string FrameDecoder::MaskFrameName(Lamps mask, bool after_prefix, bool after_08,
                                        std::string& alias) {
  if (mask == kAllLit) {
    if (after_prefix) {
      // The 48G9995 refresh is the same bytes as the release reset.
      alias = "refresh";
      return "release-reset";
    }
    return after_08 ? "refresh" : "release-reset";
  }
  if (mask == 0) return "off";
  if (std::popcount(~mask) == 1) return "hold " + std::to_string(std::countr_zero(~mask) + 1);
  if (std::popcount(mask) == 1) return "editor-key " + std::to_string(std::countr_zero(mask) + 1);
  return "lamps";
}

void FrameDecoder::Emit(Kind kind, std::size_t length, std::vector<Frame>& out) {
  Frame f;
  f.bytes.assign(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(length));
  f.t_us = pending_t_[length - 1];
  const auto& b = f.bytes;
  switch (kind) {
    case Kind::kStartup:
      // Sensible default for a device being initialised: all dark until lit.
      f.name = "startup";
      f.lamps = 0;
      break;
    case Kind::kWake:
      f.name = "wake";
      break;
    case Kind::kWake01:
      f.name = "wake-01";
      break;
    case Kind::kWake06:
      f.name = "wake-06";
      break;
    case Kind::kByte08:
      if (previous_ == Kind::kWake06) {
        f.name = "wake-08";
        f.alias = "wake";
      } else {
        f.name = "refresh-08";
      }
      break;
    case Kind::kResetPrefix:
      f.name = "reset-prefix";
      break;
    case Kind::kFrame29: {
      Lamps mask = LampsFromLsbFirst(std::span<const std::uint8_t, 4>(b.data() + 23, 4));
      f.name = MaskFrameName(mask, previous_ == Kind::kResetPrefix, true, f.alias);
      if (f.name == "lamps") f.name += " M=" + Hex2(b[14]);
      f.lamps = mask;
      break;
    }
    case Kind::kFrame6094: {
      Lamps mask = LampsFromMsbFirst(std::span<const std::uint8_t, 4>(b.data() + 1, 4));
      f.name = MaskFrameName(mask, false, previous_ == Kind::kByte08, f.alias);
      f.lamps = mask;
      break;
    }
    case Kind::kOff48:
      f.name = "off";
      f.lamps = 0;
      break;
    case Kind::kCommand18: {
      std::uint8_t code = b[9];
      if (code >= 0x21 && code <= 0x40) {
        int key = code - 0x20;
        f.name = "hold " + std::to_string(key);
        f.alias = "lamp-test " + std::to_string(code);
        f.lamps = kAllLit & ~KeyBit(key);
      } else if (code == 0) {
        f.name = "off";
        f.alias = "lamp-test 0";
        f.lamps = 0;
      } else {
        f.name = "lamp-test " + std::to_string(code);
      }
      break;
    }
    case Kind::kEditorKey48: {
      int key = b[6] - 0x20;
      f.name = "editor-key " + std::to_string(key);
      f.lamps = KeyBit(key);
      break;
    }
  }
  if (f.lamps) lamps_ = *f.lamps;
  previous_ = kind;
  out.push_back(std::move(f));
}

}  // namespace vantrel::fksim
