// fksim: a simulated FK device on a pseudo-terminal (or a serial device), driven from a
// terminal panel or by line commands on stdin. See README.md and `fksim --help`.
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/fksim/decoder.h"
#include "tools/fksim/port.h"
#include "tools/fksim/protocol.h"
#include "tools/fksim/text.h"

namespace vantrel::fksim {
namespace {

constexpr std::string_view kUsage = R"(usage: fksim [options]
Simulates a 32-key FK device on a new pseudo-terminal and prints its path first:
  pty /dev/pts/N MODEL        (or: device PATH MODEL with --device)

options:
  --model 6094|48G9995|X8000  device model (default X8000)
  --device PATH               use this serial device instead of a pty
  --pty-link PATH             make PATH a symlink to the pty (removed on exit)
  --wine-com N                map Wine's COMN to the pty ("wine reg add" under
                              HKLM\Software\Wine\Ports); needs a private prefix:
  --wineprefix DIR            Wine prefix for --wine-com (default $WINEPREFIX)
  --script                    line commands on stdin (default when stdin is no TTY)
  --interactive               terminal panel (default when stdin is a TTY)
  --help                      this text

script commands (one reply per command: "ok ...", "error ...", "timeout ...";
a block reply is "ok WHAT COUNT" followed by COUNT lines; times are CLOCK_MONOTONIC us):
  press N                     key N (1..32)                -> ok press N T HEX
  press-split N MS            ESC, pause MS ms, code byte  -> ok press-split N T HEX
  hex BYTES                   send raw bytes "1B 21 1B22"  -> ok hex COUNT
  ident                       send the model's identification data -> ok ident HEX
  model [NAME]                show or change the model     -> ok model NAME
  lamps                       32 digits, key 1 first, 1 lit -> ok lamps 1111...
  wait-frame NAME MS          first frame NAME not yet waited for
                              -> ok frame T HEX NAME[ / ALIAS]  or  timeout NAME
  frames                      frames since the last "frames" -> ok frames COUNT
                              + lines "frame T HEX NAME[ / ALIAS]"
  bytes                       received chunks since the last "bytes" -> ok bytes COUNT
                              + lines "rx T HEX"
  clear                       forget everything received so far (all cursors)
  sleep MS                    keep receiving for MS ms
  roundtrip N KEY FRAMES MS [GAP_MS]
                              press KEY N times, each time timing until the next frame
                              of FRAMES (comma-separated, used in turn) arrives, MS
                              timeout each, GAP_MS pause after each (default 50)
                              -> ok roundtrip n=N got=G timeouts=T min=.. p50=.. p99=.. max=..
  pty                         -> ok pty PATH
  help, quit
Frame names: startup, wake, wake-01, wake-06, wake-08, refresh-08, refresh,
reset-prefix, release-reset, hold N, off, editor-key N, lamp-test C, lamps, unknown.
In NAME, "_" stands for a blank, a trailing "*" matches any rest, "|" separates
alternatives: hold_5, hold*, refresh|release-reset.
)";

volatile std::sig_atomic_t g_stop = 0;
extern "C" void OnSignal(int) {
  g_stop = 1;
}

// A pause this long ends a frame that could still grow (wake-up vs. lamps-off).
constexpr std::int64_t kQuietUs = 30000;
constexpr std::size_t kMaxLog = 100000;
constexpr int kMaxTimeoutMs = 3600 * 1000;

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
    if (items_.size() > kMaxLog) {
      items_.pop_front();
      ++base_;
    }
  }
  std::size_t begin() const { return base_; }
  std::size_t end() const { return base_ + items_.size(); }
  const T& at(std::size_t i) const { return items_[i - base_]; }

 private:
  std::deque<T> items_;
  std::size_t base_ = 0;
};

std::string FrameLine(const Frame& f) {
  std::string line = std::to_string(f.t_us) + " " + ToHex(f.bytes) + " " + f.name;
  if (!f.alias.empty()) line += " / " + f.alias;
  return line;
}

class Simulator {
 public:
  Simulator(Port port, Model model) : port_(std::move(port)), model_(model), start_(NowUs()) {}

  // Waits up to timeout_ms (-1: no limit) for the port and for extra_fd (if >= 0);
  // returns false when the port failed. extra_ready tells whether extra_fd is readable.
  bool Wait(int timeout_ms, int extra_fd, bool* extra_ready) {
    if (decoder_.HasPending()) {
      std::int64_t left = decoder_.PendingSince() + kQuietUs - NowUs();
      int quiet_ms = left <= 0 ? 0 : static_cast<int>((left + 999) / 1000);
      if (timeout_ms < 0 || quiet_ms < timeout_ms) timeout_ms = quiet_ms;
    }
    pollfd fds[2] = {{port_.fd(), POLLIN, 0}, {extra_fd, POLLIN, 0}};
    int n = poll(fds, extra_fd >= 0 ? 2 : 1, timeout_ms);
    if (n < 0) return true;  // EINTR: the caller looks at g_stop
    if (extra_ready != nullptr) {
      *extra_ready = extra_fd >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
    }
    if ((fds[0].revents & POLLIN) != 0 && !ReadPort()) return false;
    if ((fds[0].revents & (POLLERR | POLLNVAL)) != 0) return false;
    if ((fds[0].revents & POLLHUP) != 0 && (fds[0].revents & POLLIN) == 0) {
      // Only a device can hang up (the pty slave is held open); do not spin on it.
      return false;
    }
    if (decoder_.HasPending() && NowUs() >= decoder_.PendingSince() + kQuietUs) {
      std::vector<Frame> frames;
      decoder_.Flush(frames);
      Record(frames);
    }
    return true;
  }

  // Receives until done() or the deadline; true if done() became true.
  bool PumpUntil(std::int64_t deadline_us, const std::function<bool()>& done) {
    while (!done()) {
      std::int64_t left = deadline_us - NowUs();
      if (left <= 0 || g_stop || failed_) return false;
      if (!Wait(static_cast<int>((left + 999) / 1000), -1, nullptr)) failed_ = true;
    }
    return true;
  }

  std::string Execute(std::string_view line, bool& quit);

  bool failed() const { return failed_; }
  void set_failed() { failed_ = true; }
  Model model() const { return model_; }
  const Port& port() const { return port_; }
  Lamps lamps() const { return decoder_.lamps(); }
  std::int64_t start() const { return start_; }
  const Log<Frame>& frames() const { return frames_; }
  const Log<Chunk>& chunks() const { return chunks_; }
  std::function<void()> on_change;

 private:
  bool ReadPort() {
    std::uint8_t buf[4096];
    while (true) {
      ssize_t n = read(port_.fd(), buf, sizeof buf);
      if (n > 0) {
        std::int64_t t = NowUs();
        std::vector<std::uint8_t> bytes(buf, buf + n);
        std::vector<Frame> frames;
        decoder_.Feed(bytes, t, frames);
        chunks_.Add({t, std::move(bytes)});
        Record(frames);
        continue;
      }
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) return true;
      return false;  // end of file or a read error of the device
    }
  }

  void Record(std::vector<Frame>& frames) {
    for (Frame& f : frames) frames_.Add(std::move(f));
    if (!frames.empty() && on_change) on_change();
  }

  bool Send(std::span<const std::uint8_t> bytes) { return port_.Write(bytes); }

  // Index of the first frame at or after from that matches pattern, or end().
  std::size_t Find(std::size_t from, std::string_view pattern) const {
    for (std::size_t i = std::max(from, frames_.begin()); i < frames_.end(); ++i) {
      if (FrameMatches(frames_.at(i), pattern)) return i;
    }
    return frames_.end();
  }

  // Waits for a frame matching pattern at index from or later; its index or end().
  std::size_t WaitFrame(std::size_t from, std::string_view pattern, std::int64_t deadline) {
    std::size_t scanned = from;
    std::size_t found = frames_.end();
    PumpUntil(deadline, [&] {
      found = Find(scanned, pattern);
      scanned = frames_.end();
      return found != frames_.end();
    });
    return found;
  }

  std::string Roundtrip(const std::vector<std::string_view>& w);

  Port port_;
  Model model_;
  std::int64_t start_;
  FrameDecoder decoder_;
  Log<Frame> frames_;
  Log<Chunk> chunks_;
  std::size_t wait_cursor_ = 0;
  std::size_t list_cursor_ = 0;
  std::size_t bytes_cursor_ = 0;
  bool failed_ = false;
};

std::string Simulator::Execute(std::string_view line, bool& quit) {
  std::vector<std::string_view> w = SplitWords(line);
  if (w.empty() || w[0].starts_with('#')) return "";
  std::string_view cmd = w[0];
  auto rest = [&](std::size_t from, std::size_t drop_last) {
    std::string out;
    for (std::size_t i = from; i + drop_last < w.size(); ++i) {
      if (!out.empty()) out += ' ';
      out += w[i];
    }
    return out;
  };
  auto key_arg = [&](std::size_t i) {
    return i < w.size() ? ParseInt(w[i], 1, kKeys) : std::nullopt;
  };
  auto ms_arg = [&](std::size_t i) {
    return i < w.size() ? ParseInt(w[i], 0, kMaxTimeoutMs) : std::nullopt;
  };
  const std::string write_failed = "error write failed (nobody reading the line?)\n";

  if (cmd == "press" && w.size() == 2) {
    auto key = key_arg(1);
    if (!key) return "error press needs a key 1..32\n";
    auto bytes = EncodeKey(model_, static_cast<int>(*key));
    std::int64_t t = NowUs();
    if (!Send(bytes)) return write_failed;
    return "ok press " + std::to_string(*key) + " " + std::to_string(t) + " " + ToHex(bytes) + "\n";
  }
  if (cmd == "press-split" && w.size() == 3) {
    auto key = key_arg(1);
    auto ms = ms_arg(2);
    if (!key || !ms) return "error press-split needs a key 1..32 and a pause in ms\n";
    if (model_ == Model::k6094) return "error the 6094 sends one byte per key\n";
    auto bytes = EncodeKey(model_, static_cast<int>(*key));
    std::int64_t t = NowUs();
    if (!Send(std::span(bytes).first(1))) return write_failed;
    PumpUntil(t + *ms * 1000, [] { return false; });
    if (!Send(std::span(bytes).subspan(1))) return write_failed;
    return "ok press-split " + std::to_string(*key) + " " + std::to_string(t) + " " + ToHex(bytes) +
           "\n";
  }
  if (cmd == "hex" && w.size() >= 2) {
    auto bytes = ParseHexBytes(rest(1, 0));
    if (!bytes || bytes->empty()) return "error hex needs bytes like 1B 21\n";
    if (!Send(*bytes)) return write_failed;
    return "ok hex " + std::to_string(bytes->size()) + "\n";
  }
  if (cmd == "ident" && w.size() == 1) {
    auto bytes = IdentData(model_);
    if (!Send(bytes)) return write_failed;
    return "ok ident " + ToHex(bytes) + "\n";
  }
  if (cmd == "model" && w.size() <= 2) {
    if (w.size() == 2) {
      auto model = ParseModel(w[1]);
      if (!model) return "error model is 6094, 48G9995 or X8000\n";
      model_ = *model;
    }
    return "ok model " + std::string(ModelName(model_)) + "\n";
  }
  if (cmd == "lamps" && w.size() == 1) {
    std::string digits;
    for (int key = 1; key <= kKeys; ++key) digits += (lamps() & KeyBit(key)) ? '1' : '0';
    return "ok lamps " + digits + "\n";
  }
  if (cmd == "wait-frame" && w.size() >= 3) {
    auto ms = ms_arg(w.size() - 1);
    if (!ms) return "error wait-frame needs NAME and a timeout in ms\n";
    std::string pattern = rest(1, 1);
    std::size_t i = WaitFrame(wait_cursor_, pattern, NowUs() + *ms * 1000);
    if (i == frames_.end()) return "timeout " + pattern + "\n";
    wait_cursor_ = i + 1;
    return "ok frame " + FrameLine(frames_.at(i)) + "\n";
  }
  if (cmd == "frames" && w.size() == 1) {
    std::size_t from = std::max(list_cursor_, frames_.begin());
    std::string out = "ok frames " + std::to_string(frames_.end() - from) + "\n";
    for (std::size_t i = from; i < frames_.end(); ++i)
      out += "frame " + FrameLine(frames_.at(i)) + "\n";
    list_cursor_ = frames_.end();
    return out;
  }
  if (cmd == "bytes" && w.size() == 1) {
    std::size_t from = std::max(bytes_cursor_, chunks_.begin());
    std::string out = "ok bytes " + std::to_string(chunks_.end() - from) + "\n";
    for (std::size_t i = from; i < chunks_.end(); ++i) {
      out += "rx " + std::to_string(chunks_.at(i).t_us) + " " + ToHex(chunks_.at(i).bytes) + "\n";
    }
    bytes_cursor_ = chunks_.end();
    return out;
  }
  if (cmd == "clear" && w.size() == 1) {
    wait_cursor_ = list_cursor_ = frames_.end();
    bytes_cursor_ = chunks_.end();
    return "ok clear\n";
  }
  if (cmd == "sleep" && w.size() == 2) {
    auto ms = ms_arg(1);
    if (!ms) return "error sleep needs ms\n";
    PumpUntil(NowUs() + *ms * 1000, [] { return false; });
    return "ok sleep\n";
  }
  if (cmd == "roundtrip" && (w.size() == 5 || w.size() == 6)) return Roundtrip(w);
  if (cmd == "pty" && w.size() == 1) return "ok pty " + port_.path() + "\n";
  if (cmd == "help" && w.size() == 1) {
    std::string text(kUsage);
    std::size_t lines = 0;
    for (char c : text) lines += c == '\n';
    return "ok help " + std::to_string(lines) + "\n" + text;
  }
  if (cmd == "quit" && w.size() == 1) {
    quit = true;
    return "ok quit\n";
  }
  return "error unknown command or wrong arguments: " + std::string(line.substr(0, 80)) + "\n";
}

std::string Simulator::Roundtrip(const std::vector<std::string_view>& w) {
  auto count = ParseInt(w[1], 1, 1000000);
  auto key = ParseInt(w[2], 1, kKeys);
  auto timeout = ParseInt(w[4], 1, kMaxTimeoutMs);
  auto gap = w.size() == 6 ? ParseInt(w[5], 0, kMaxTimeoutMs) : std::optional<std::int64_t>(50);
  if (!count || !key || !timeout || !gap) {
    return "error roundtrip needs N KEY FRAMES TIMEOUT_MS [GAP_MS]\n";
  }
  std::vector<std::string_view> expected;
  std::string_view frames = w[3];
  for (std::size_t comma; (comma = frames.find(',')) != std::string_view::npos;) {
    expected.push_back(frames.substr(0, comma));
    frames.remove_prefix(comma + 1);
  }
  expected.push_back(frames);
  auto bytes = EncodeKey(model_, static_cast<int>(*key));
  std::vector<std::int64_t> latencies;
  std::int64_t timeouts = 0;
  for (std::int64_t i = 0; i < *count && !g_stop && !failed_; ++i) {
    std::string_view want = expected[static_cast<std::size_t>(i) % expected.size()];
    std::size_t from = frames_.end();
    std::int64_t t0 = NowUs();
    if (!Send(bytes)) return "error write failed (nobody reading the line?)\n";
    std::size_t found = WaitFrame(from, want, t0 + *timeout * 1000);
    if (found == frames_.end()) {
      ++timeouts;
    } else {
      latencies.push_back(frames_.at(found).t_us - t0);
    }
    if (*gap > 0) PumpUntil(NowUs() + *gap * 1000, [] { return false; });
  }
  std::size_t got = latencies.size();
  std::int64_t min = got ? Percentile(latencies, 0) : 0;
  std::int64_t p50 = Percentile(latencies, 50);
  std::int64_t p99 = Percentile(latencies, 99);
  std::int64_t max = Percentile(latencies, 100);
  return "ok roundtrip n=" + std::to_string(got + static_cast<std::size_t>(timeouts)) +
         " got=" + std::to_string(got) + " timeouts=" + std::to_string(timeouts) +
         " min=" + std::to_string(min) + " p50=" + std::to_string(p50) +
         " p99=" + std::to_string(p99) + " max=" + std::to_string(max) + "\n";
}

// Reads stdin lines as they come; the last line may lack its newline.
class LineReader {
 public:
  // Reads what is available; false at end of input.
  bool Read(std::vector<std::string>& lines) {
    char buf[4096];
    ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
    if (n < 0) return errno == EAGAIN || errno == EINTR;
    if (n == 0) {
      if (!partial_.empty()) lines.push_back(std::move(partial_));
      partial_.clear();
      return false;
    }
    partial_.append(buf, static_cast<std::size_t>(n));
    std::size_t nl;
    while ((nl = partial_.find('\n')) != std::string::npos) {
      lines.push_back(partial_.substr(0, nl));
      partial_.erase(0, nl + 1);
    }
    // A runaway line is cut, so that the reply still comes and memory stays bounded.
    if (partial_.size() > 65536) {
      lines.push_back(std::move(partial_));
      partial_.clear();
    }
    return true;
  }

 private:
  std::string partial_;
};

// ---- interactive face ----

enum class Style { kColour, kInverse, kPlain };

class Panel {
 public:
  Panel(Simulator& sim, Style style) : sim_(sim), style_(style) {}

  void Draw() {
    std::string s = "\x1b[H\x1b[2J";
    Lamps lamps = sim_.lamps();
    s += "fksim  model " + std::string(ModelName(sim_.model())) + "  line " + sim_.port().path() +
         "  lit " + std::to_string(std::popcount(lamps)) + "/32\r\n\r\n";
    static constexpr int kRows[][2] = {{1, 4}, {5, 10}, {11, 16}, {17, 22}, {23, 28}, {29, 32}};
    for (const auto& row : kRows) {
      int width = row[1] - row[0] + 1;
      s += std::string(2 + static_cast<std::size_t>((6 - width) * 5 / 2), ' ');
      for (int key = row[0]; key <= row[1]; ++key) s += Cell(key, (lamps & KeyBit(key)) != 0) + " ";
      s += "\r\n";
    }
    s += "\r\nframes:\r\n";
    const auto& frames = sim_.frames();
    for (std::size_t i = frames.end() - std::min<std::size_t>(frames.end() - frames.begin(), 5);
         i < frames.end(); ++i) {
      const Frame& f = frames.at(i);
      s += "  " + Seconds(f.t_us) + "  " + f.name + (f.alias.empty() ? "" : " / " + f.alias) +
           "\r\n";
    }
    if (hex_view_) {
      s += "received bytes:\r\n";
      const auto& chunks = sim_.chunks();
      for (std::size_t i = chunks.end() - std::min<std::size_t>(chunks.end() - chunks.begin(), 8);
           i < chunks.end(); ++i) {
        std::string hex = ToHex(chunks.at(i).bytes);
        std::string spaced;
        for (std::size_t j = 0; j < hex.size() && j < 2 * 24; j += 2)
          spaced += hex.substr(j, 2) + " ";
        if (hex.size() > 2 * 24) spaced += "...";
        s += "  " + Seconds(chunks.at(i).t_us) + "  " + spaced + "\r\n";
      }
    }
    s += "\r\nN+Enter: press key N   x: hex view   i: ident   q: quit   help: script commands\r\n";
    for (const std::string& l : status_) s += l + "\r\n";
    s += "> ";
    std::fwrite(s.data(), 1, s.size(), stdout);
    std::fflush(stdout);
  }

  // Handles one typed line; false to quit.
  bool Handle(const std::string& line) {
    std::vector<std::string_view> w = SplitWords(line);
    std::string reply;
    bool quit = false;
    if (w.size() == 1 && ParseInt(w[0], 1, kKeys)) {
      reply = sim_.Execute("press " + std::string(w[0]), quit);
    } else if (w.size() == 1 && w[0] == "x") {
      hex_view_ = !hex_view_;
    } else if (w.size() == 1 && w[0] == "i") {
      reply = sim_.Execute("ident", quit);
    } else if (w.size() == 1 && w[0] == "q") {
      return false;
    } else {
      reply = sim_.Execute(line, quit);
    }
    status_.clear();
    std::size_t start = 0;
    while (start < reply.size() && status_.size() < 12) {
      std::size_t nl = reply.find('\n', start);
      status_.push_back(reply.substr(start, nl - start));
      start = nl == std::string::npos ? reply.size() : nl + 1;
    }
    return !quit;
  }

 private:
  std::string Cell(int key, bool lit) const {
    // Built by appending: GCC 12 at -O2 warns falsely (-Wrestrict) on "a" + string.
    std::string number = key < 10 ? " " : "";
    number += std::to_string(key);
    switch (style_) {
      case Style::kColour:
        return lit ? "\x1b[30;43m[" + number + "]\x1b[0m" : "[" + number + "]";
      case Style::kInverse:
        return lit ? "\x1b[7m[" + number + "]\x1b[0m" : "[" + number + "]";
      case Style::kPlain:
        break;
    }
    return lit ? "*" + number + "*" : "[" + number + "]";
  }

  std::string Seconds(std::int64_t t_us) const {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%9.3fs", static_cast<double>(t_us - sim_.start()) / 1e6);
    return buf;
  }

  Simulator& sim_;
  Style style_;
  bool hex_view_ = false;
  std::vector<std::string> status_;
};

Style PickStyle() {
  const char* term = std::getenv("TERM");
  if (term == nullptr || std::string_view(term).empty() || std::string_view(term) == "dumb") {
    return Style::kPlain;
  }
  return std::getenv("NO_COLOR") != nullptr ? Style::kInverse : Style::kColour;
}

struct Options {
  Model model = Model::kX8000;
  std::string device;
  std::string pty_link;
  int wine_com = 0;
  std::string wineprefix;
  int face = 0;  // 0 by stdin, 1 script, 2 interactive
};

bool WriteOut(const std::string& text) {
  if (text.empty()) return true;
  bool ok = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
  return std::fflush(stdout) == 0 && ok;
}

int Run(const Options& opt) {
  std::string error;
  auto port = opt.device.empty() ? Port::OpenPty(opt.model, error)
                                 : Port::OpenDevice(opt.device, opt.model, error);
  if (!port) {
    std::fprintf(stderr, "fksim: %s\n", error.c_str());
    return 1;
  }
  if (!opt.pty_link.empty() && !CreatePtyLink(opt.pty_link, port->path(), error)) {
    std::fprintf(stderr, "fksim: %s\n", error.c_str());
    return 1;
  }
  // Removes the link on every way out of Run.
  struct LinkGuard {
    std::string path;
    ~LinkGuard() {
      if (!path.empty()) unlink(path.c_str());
    }
  } link_guard{opt.pty_link};
  if (opt.wine_com != 0 && !MapWineCom(opt.wine_com, port->path(), opt.wineprefix, error)) {
    std::fprintf(stderr, "fksim: %s\n", error.c_str());
    return 1;
  }

  bool interactive = opt.face == 2 || (opt.face == 0 && isatty(STDIN_FILENO));
  Simulator sim(std::move(*port), opt.model);
  if (!WriteOut(std::string(opt.device.empty() ? "pty " : "device ") + sim.port().path() + " " +
                std::string(ModelName(opt.model)) + "\n")) {
    return 1;
  }
  Panel panel(sim, PickStyle());
  if (interactive) {
    sim.on_change = [&] { panel.Draw(); };
    panel.Draw();
  }

  LineReader reader;
  bool more = true;
  while (more && !g_stop && !sim.failed()) {
    bool ready = false;
    if (!sim.Wait(-1, STDIN_FILENO, &ready)) {
      sim.set_failed();
      break;
    }
    if (!ready) continue;
    std::vector<std::string> lines;
    more = reader.Read(lines);
    for (const std::string& line : lines) {
      if (interactive) {
        if (!panel.Handle(line)) more = false;
        panel.Draw();
      } else {
        bool quit = false;
        if (!WriteOut(sim.Execute(line, quit)) || quit) more = false;
      }
      if (!more || g_stop) break;
    }
  }
  if (interactive) WriteOut("\x1b[0m\r\n");
  if (sim.failed()) {
    std::fprintf(stderr, "fksim: the line %s failed\n", sim.port().path().c_str());
    return 1;
  }
  return 0;
}

int Main(int argc, char** argv) {
  Options opt;
  if (const char* prefix = std::getenv("WINEPREFIX")) opt.wineprefix = prefix;
  for (int i = 1; i < argc; ++i) {
    std::string_view a = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    const char* v = nullptr;
    if (a == "--help" || a == "-h") {
      std::fwrite(kUsage.data(), 1, kUsage.size(), stdout);
      return 0;
    } else if (a == "--script") {
      opt.face = 1;
    } else if (a == "--interactive") {
      opt.face = 2;
    } else if (a == "--model" && (v = value())) {
      auto model = ParseModel(v);
      if (!model) {
        std::fprintf(stderr, "fksim: unknown model %s\n", v);
        return 2;
      }
      opt.model = *model;
    } else if (a == "--device" && (v = value())) {
      opt.device = v;
    } else if (a == "--pty-link" && (v = value())) {
      opt.pty_link = v;
    } else if (a == "--wineprefix" && (v = value())) {
      opt.wineprefix = v;
    } else if (a == "--wine-com" && (v = value())) {
      auto com = ParseInt(v, 1, 256);
      if (!com) {
        std::fprintf(stderr, "fksim: --wine-com needs 1..256\n");
        return 2;
      }
      opt.wine_com = static_cast<int>(*com);
    } else {
      std::fprintf(stderr, "fksim: bad argument %s (see --help)\n", argv[i]);
      return 2;
    }
  }
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  return Run(opt);
}

}  // namespace
}  // namespace vantrel::fksim

int main(int argc, char** argv) {
  return vantrel::fksim::Main(argc, argv);
}
