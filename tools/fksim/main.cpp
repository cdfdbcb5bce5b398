// fksim: a simulated FK device on a pseudo-terminal (or a serial device), driven from a
// terminal panel or by line commands on stdin. See README.md and `fksim --help`.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "tools/fksim/panel.h"
#include "tools/fksim/port.h"
#include "tools/fksim/script.h"
#include "tools/fksim/text.h"

namespace vantrel::fksim {
namespace {

extern "C" void OnSignal(int) {
  g_stop = 1;
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
  auto fail = [&] {
    std::fprintf(stderr, "fksim: %s\n", error.c_str());
    return 1;
  };
  if (!port) return fail();
  if (!opt.pty_link.empty() && !CreatePtyLink(opt.pty_link, port->path(), error)) return fail();
  // Removes the link on every way out of Run.
  struct LinkGuard {
    std::string path;
    ~LinkGuard() {
      if (!path.empty()) unlink(path.c_str());
    }
  } link_guard{opt.pty_link};
  if (opt.wine_com != 0 && !MapWineCom(opt.wine_com, port->path(), opt.wineprefix, error)) {
    return fail();
  }

  bool interactive = opt.face == 2 || (opt.face == 0 && isatty(STDIN_FILENO));
  Simulator sim(std::move(*port), opt.model);
  if (!WriteOut(std::string(opt.device.empty() ? "pty " : "device ") + sim.port().path() + " " +
                std::string(ModelName(opt.model)) + "\n")) {
    return 1;
  }
  Script script(sim);
  Panel panel(sim, script, PickStyle());
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
        if (!WriteOut(script.Execute(line, quit)) || quit) more = false;
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
