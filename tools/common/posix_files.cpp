#include "tools/common/posix_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>

#include "tools/common/iconv_codec.h"

namespace vantrel {
namespace {

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() {
    int f = fd_;
    fd_ = -1;
    return f;
  }

 private:
  int fd_;
};

bool WriteFully(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

}  // namespace

FileRead PosixFiles::Read(std::u16string_view path) const {
  // O_NONBLOCK: opening a fifo must not wait for a writer; it is refused below.
  Fd fd(::open(ToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) {
    return {errno == ENOENT || errno == ENOTDIR ? ReadStatus::kMissing : ReadStatus::kUnreadable};
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<std::uint64_t>(st.st_size) > kMaxFileBytes) {
    return {ReadStatus::kUnreadable};
  }
  FileRead out{ReadStatus::kOk, {}};
  char buf[65536];
  while (true) {
    ssize_t n = ::read(fd.get(), buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      return {ReadStatus::kUnreadable};
    }
    if (n == 0) break;
    out.bytes.append(buf, static_cast<size_t>(n));
    if (out.bytes.size() > kMaxFileBytes) return {ReadStatus::kUnreadable};  // grew meanwhile
  }
  return out;
}

bool PosixFiles::ReplaceAtomically(std::u16string_view path, std::string_view bytes) const {
  const std::string target = ToUtf8(path);
  // As on Windows: a read-only target is not replaced, a replaced one keeps its mode.
  struct stat st {};
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && !(st.st_mode & 0222)) return false;
  const std::string temp = target + ".tmp-" + std::to_string(::getpid());
  Fd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (fd.get() < 0) return false;
  bool ok = (!exists || ::fchmod(fd.get(), st.st_mode & 07777) == 0) &&
            WriteFully(fd.get(), bytes) && ::fsync(fd.get()) == 0;
  ok = (::close(fd.release()) == 0) && ok;
  if (!ok || ::rename(temp.c_str(), target.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

bool PosixFiles::FileExists(std::u16string_view path) const {
  struct stat st {};
  return ::stat(ToUtf8(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::optional<std::uint64_t> PosixFiles::ChangeStamp(std::u16string_view path) const {
  struct stat st {};
  if (::stat(ToUtf8(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_mtim.tv_sec) * 1000000000u +
         static_cast<std::uint64_t>(st.st_mtim.tv_nsec) + (static_cast<std::uint64_t>(st.st_size) << 40);
}

}  // namespace vantrel
