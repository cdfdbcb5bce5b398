#include "tools/fksim/script.h"

#include <algorithm>
#include <optional>

#include "tools/fksim/text.h"

namespace vantrel::fksim {

const std::string_view kUsage = R"(usage: fksim [options]
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
  reading on|off              stop or resume reading the line   -> ok reading on|off
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

namespace {

constexpr int kMaxTimeoutMs = 3600 * 1000;

std::string FrameLine(const Frame& f) {
  std::string line = std::to_string(f.t_us) + " " + ToHex(f.bytes) + " " + f.name;
  if (!f.alias.empty()) line += " / " + f.alias;
  return line;
}

}  // namespace

std::size_t Script::Find(std::size_t from, std::string_view pattern) const {
  const Log<Frame>& frames = sim_.frames();
  for (std::size_t i = std::max(from, frames.begin()); i < frames.end(); ++i) {
    if (FrameMatches(frames.at(i), pattern)) return i;
  }
  return frames.end();
}

std::size_t Script::WaitFrame(std::size_t from, std::string_view pattern, std::int64_t deadline) {
  std::size_t scanned = from;
  std::size_t found = sim_.frames().end();
  sim_.PumpUntil(deadline, [&] {
    found = Find(scanned, pattern);
    scanned = sim_.frames().end();
    return found != sim_.frames().end();
  });
  return found;
}

std::string Script::Execute(std::string_view line, bool& quit) {
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
  const Log<Frame>& frames = sim_.frames();
  const Log<Chunk>& chunks = sim_.chunks();
  const std::string write_failed = "error write failed (nobody reading the line?)\n";

  if (cmd == "press" && w.size() == 2) {
    auto key = key_arg(1);
    if (!key) return "error press needs a key 1..32\n";
    auto bytes = EncodeKey(sim_.model(), static_cast<int>(*key));
    std::int64_t t = NowUs();
    if (!sim_.Send(bytes)) return write_failed;
    return "ok press " + std::to_string(*key) + " " + std::to_string(t) + " " + ToHex(bytes) + "\n";
  }
  if (cmd == "press-split" && w.size() == 3) {
    auto key = key_arg(1);
    auto ms = ms_arg(2);
    if (!key || !ms) return "error press-split needs a key 1..32 and a pause in ms\n";
    if (sim_.model() == Model::k6094) return "error the 6094 sends one byte per key\n";
    auto bytes = EncodeKey(sim_.model(), static_cast<int>(*key));
    std::int64_t t = NowUs();
    if (!sim_.Send(std::span(bytes).first(1))) return write_failed;
    sim_.PumpUntil(t + *ms * 1000, [] { return false; });
    if (!sim_.Send(std::span(bytes).subspan(1))) return write_failed;
    return "ok press-split " + std::to_string(*key) + " " + std::to_string(t) + " " + ToHex(bytes) +
           "\n";
  }
  if (cmd == "hex" && w.size() >= 2) {
    auto bytes = ParseHexBytes(rest(1, 0));
    if (!bytes || bytes->empty()) return "error hex needs bytes like 1B 21\n";
    if (!sim_.Send(*bytes)) return write_failed;
    return "ok hex " + std::to_string(bytes->size()) + "\n";
  }
  if (cmd == "ident" && w.size() == 1) {
    auto bytes = IdentData(sim_.model());
    if (!sim_.Send(bytes)) return write_failed;
    return "ok ident " + ToHex(bytes) + "\n";
  }
  if (cmd == "model" && w.size() <= 2) {
    if (w.size() == 2) {
      auto model = ParseModel(w[1]);
      if (!model) return "error model is 6094, 48G9995 or X8000\n";
      sim_.set_model(*model);
    }
    return "ok model " + std::string(ModelName(sim_.model())) + "\n";
  }
  if (cmd == "lamps" && w.size() == 1) {
    std::string digits;
    for (int key = 1; key <= kKeys; ++key) digits += (sim_.lamps() & KeyBit(key)) ? '1' : '0';
    return "ok lamps " + digits + "\n";
  }
  if (cmd == "wait-frame" && w.size() >= 3) {
    auto ms = ms_arg(w.size() - 1);
    if (!ms) return "error wait-frame needs NAME and a timeout in ms\n";
    std::string pattern = rest(1, 1);
    std::size_t i = WaitFrame(wait_cursor_, pattern, NowUs() + *ms * 1000);
    if (i == frames.end()) return "timeout " + pattern + "\n";
    wait_cursor_ = i + 1;
    return "ok frame " + FrameLine(frames.at(i)) + "\n";
  }
  if (cmd == "frames" && w.size() == 1) {
    std::size_t from = std::max(list_cursor_, frames.begin());
    std::string out = "ok frames " + std::to_string(frames.end() - from) + "\n";
    for (std::size_t i = from; i < frames.end(); ++i)
      out += "frame " + FrameLine(frames.at(i)) + "\n";
    list_cursor_ = frames.end();
    return out;
  }
  if (cmd == "bytes" && w.size() == 1) {
    std::size_t from = std::max(bytes_cursor_, chunks.begin());
    std::string out = "ok bytes " + std::to_string(chunks.end() - from) + "\n";
    for (std::size_t i = from; i < chunks.end(); ++i) {
      out += "rx " + std::to_string(chunks.at(i).t_us) + " " + ToHex(chunks.at(i).bytes) + "\n";
    }
    bytes_cursor_ = chunks.end();
    return out;
  }
  if (cmd == "reading" && w.size() == 2 && (w[1] == "on" || w[1] == "off")) {
    sim_.set_reading(w[1] == "on");
    return "ok reading " + std::string(w[1]) + "\n";
  }
  if (cmd == "clear" && w.size() == 1) {
    wait_cursor_ = list_cursor_ = frames.end();
    bytes_cursor_ = chunks.end();
    return "ok clear\n";
  }
  if (cmd == "sleep" && w.size() == 2) {
    auto ms = ms_arg(1);
    if (!ms) return "error sleep needs ms\n";
    sim_.PumpUntil(NowUs() + *ms * 1000, [] { return false; });
    return "ok sleep\n";
  }
  if (cmd == "roundtrip" && (w.size() == 5 || w.size() == 6)) return Roundtrip(w);
  if (cmd == "pty" && w.size() == 1) return "ok pty " + sim_.port().path() + "\n";
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

std::string Script::Roundtrip(const std::vector<std::string_view>& w) {
  auto count = ParseInt(w[1], 1, 1000000);
  auto key = ParseInt(w[2], 1, kKeys);
  auto timeout = ParseInt(w[4], 1, kMaxTimeoutMs);
  auto gap = w.size() == 6 ? ParseInt(w[5], 0, kMaxTimeoutMs) : std::optional<std::int64_t>(50);
  if (!count || !key || !timeout || !gap) {
    return "error roundtrip needs N KEY FRAMES TIMEOUT_MS [GAP_MS]\n";
  }
  std::vector<std::string_view> expected;
  std::string_view names = w[3];
  for (std::size_t comma; (comma = names.find(',')) != std::string_view::npos;) {
    expected.push_back(names.substr(0, comma));
    names.remove_prefix(comma + 1);
  }
  expected.push_back(names);
  auto bytes = EncodeKey(sim_.model(), static_cast<int>(*key));
  const Log<Frame>& frames = sim_.frames();
  std::vector<std::int64_t> latencies;
  std::int64_t timeouts = 0;
  for (std::int64_t i = 0; i < *count && !g_stop && !sim_.failed(); ++i) {
    std::string_view want = expected[static_cast<std::size_t>(i) % expected.size()];
    std::size_t from = frames.end();
    std::int64_t t0 = NowUs();
    if (!sim_.Send(bytes)) return "error write failed (nobody reading the line?)\n";
    std::size_t found = WaitFrame(from, want, t0 + *timeout * 1000);
    if (found == frames.end()) {
      ++timeouts;
    } else {
      latencies.push_back(frames.at(found).t_us - t0);
    }
    if (*gap > 0) sim_.PumpUntil(NowUs() + *gap * 1000, [] { return false; });
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

}  // namespace vantrel::fksim
