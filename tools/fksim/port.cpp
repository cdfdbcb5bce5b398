#include "tools/fksim/port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <vector>

namespace vantrel::fksim {
namespace {

std::string Errno(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

// 9600 8N1, or 8O1 for the 6094 (on a pty the parity is invisible).
bool SetRaw(int fd, Model model) {
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) return false;
  cfmakeraw(&tio);
  cfsetispeed(&tio, B9600);
  cfsetospeed(&tio, B9600);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag &= ~(CSTOPB | CRTSCTS | PARENB | PARODD);
  if (model == Model::k6094) tio.c_cflag |= PARENB | PARODD;
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  return tcsetattr(fd, TCSANOW, &tio) == 0;
}

}  // namespace

Fd& Fd::operator=(Fd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = other.Release();
  }
  return *this;
}

Fd::~Fd() {
  if (fd_ >= 0) close(fd_);
}

int Fd::Release() {
  int fd = fd_;
  fd_ = -1;
  return fd;
}

std::optional<Port> Port::OpenPty(Model model, std::string& error) {
  Port port;
  port.fd_ = Fd(posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK));
  if (port.fd_.get() < 0) return error = Errno("posix_openpt"), std::nullopt;
  if (grantpt(port.fd_.get()) != 0 || unlockpt(port.fd_.get()) != 0) {
    return error = Errno("grantpt/unlockpt"), std::nullopt;
  }
  char name[256];
  if (ptsname_r(port.fd_.get(), name, sizeof name) != 0) {
    return error = Errno("ptsname"), std::nullopt;
  }
  port.path_ = name;
  port.slave_ = Fd(open(name, O_RDWR | O_NOCTTY | O_NONBLOCK));
  if (port.slave_.get() < 0) return error = Errno(std::string("open ") + name), std::nullopt;
  if (!SetRaw(port.slave_.get(), model)) return error = Errno("tcsetattr"), std::nullopt;
  return port;
}

std::optional<Port> Port::OpenDevice(const std::string& path, Model model, std::string& error) {
  Port port;
  port.path_ = path;
  port.fd_ = Fd(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK));
  if (port.fd_.get() < 0) return error = Errno("open " + path), std::nullopt;
  // Not every device is a terminal (a fifo works for experiments); set what applies.
  if (isatty(port.fd_.get()) && !SetRaw(port.fd_.get(), model)) {
    return error = Errno("tcsetattr " + path), std::nullopt;
  }
  return port;
}

bool Port::Write(std::span<const std::uint8_t> bytes, int timeout_ms) {
  std::int64_t deadline = NowUs() + std::int64_t{timeout_ms} * 1000;
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd_.get(), bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    std::int64_t left = deadline - NowUs();
    if (left <= 0) return false;
    pollfd p{fd_.get(), POLLOUT, 0};
    poll(&p, 1, static_cast<int>(left / 1000) + 1);
  }
  return true;
}

std::int64_t NowUs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return std::int64_t{ts.tv_sec} * 1000000 + ts.tv_nsec / 1000;
}

bool MapWineCom(int com, const std::string& target, const std::string& prefix, std::string& error) {
  namespace fs = std::filesystem;
  if (com < 1 || com > 256) return error = "COM port number must be 1..256", false;
  if (prefix.empty() || !fs::path(prefix).is_absolute()) {
    return error = "--wine-com needs a private prefix: --wineprefix DIR or WINEPREFIX (absolute)",
           false;
  }
  const char* home = std::getenv("HOME");
  std::error_code ec;
  if (home != nullptr && fs::weakly_canonical(fs::path(prefix), ec) ==
                             fs::weakly_canonical(fs::path(home) / ".wine", ec)) {
    return error = "refusing to change the default Wine prefix " + prefix, false;
  }
  std::string value = "COM" + std::to_string(com);
  pid_t pid = fork();
  if (pid < 0) return error = Errno("fork"), false;
  if (pid == 0) {
    // Wine chatters on both streams; the scripted face owns stdout.
    int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
      dup2(null, STDIN_FILENO);
      dup2(null, STDOUT_FILENO);
      dup2(null, STDERR_FILENO);
    }
    setenv("WINEPREFIX", prefix.c_str(), 1);
    setenv("WINEDEBUG", "-all", 1);
    execlp("wine", "wine", "reg", "add", "HKLM\\Software\\Wine\\Ports", "/v", value.c_str(), "/t",
           "REG_SZ", "/d", target.c_str(), "/f", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return error = Errno("waitpid"), false;
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return error = "wine reg add failed (status " + std::to_string(status) + ")", false;
  }
  return true;
}

bool CreatePtyLink(const std::string& link_path, const std::string& target, std::string& error) {
  struct stat st {};
  if (lstat(link_path.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) return error = link_path + " exists and is not a symlink", false;
    if (unlink(link_path.c_str()) != 0) return error = Errno("unlink " + link_path), false;
  }
  if (symlink(target.c_str(), link_path.c_str()) != 0) {
    return error = Errno("symlink " + link_path), false;
  }
  return true;
}

}  // namespace vantrel::fksim
