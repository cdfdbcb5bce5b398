// Owners for the kernel objects the Win32 layer opens. Each closes exactly once
// and never throws, so they can live in classes whose destructors run on any path.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>
#include <utility>

namespace vantrel::win32 {

// A HANDLE closed with CloseHandle. Both null and INVALID_HANDLE_VALUE mean "none"
// (CreateFile reports failure with one, CreateEvent and CreateThread with the other).
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE h) noexcept : h_(h) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : h_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  HANDLE Get() const noexcept { return h_; }
  bool Valid() const noexcept { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
  explicit operator bool() const noexcept { return Valid(); }
  HANDLE Release() noexcept { return std::exchange(h_, nullptr); }
  void Reset(HANDLE h = nullptr) noexcept {
    if (Valid()) CloseHandle(h_);
    h_ = h;
  }

 private:
  HANDLE h_ = nullptr;
};

// A manual-reset or auto-reset event, unsignalled at first.
inline UniqueHandle MakeEvent(bool manual_reset) {
  return UniqueHandle(CreateEventW(nullptr, manual_reset ? TRUE : FALSE, FALSE, nullptr));
}

// A search handle from FindFirstFileW.
class FindHandle {
 public:
  explicit FindHandle(HANDLE h) noexcept : h_(h) {}
  ~FindHandle() {
    if (Valid()) FindClose(h_);
  }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  HANDLE Get() const noexcept { return h_; }
  bool Valid() const noexcept { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }

 private:
  HANDLE h_;
};

// A global memory block, freed unless ownership has passed elsewhere (the
// clipboard takes the block it accepts).
class GlobalBlock {
 public:
  explicit GlobalBlock(HGLOBAL h) noexcept : h_(h) {}
  ~GlobalBlock() {
    if (h_) GlobalFree(h_);
  }
  GlobalBlock(const GlobalBlock&) = delete;
  GlobalBlock& operator=(const GlobalBlock&) = delete;
  HGLOBAL Get() const noexcept { return h_; }
  HGLOBAL Release() noexcept { return std::exchange(h_, nullptr); }

 private:
  HGLOBAL h_;
};

// GDI and user objects that are not kernel handles, each freed by its own call.
struct GdiObjectDeleter {
  void operator()(HGDIOBJ object) const noexcept { DeleteObject(object); }
};
struct DcDeleter {
  void operator()(HDC dc) const noexcept { DeleteDC(dc); }
};
struct MenuDeleter {
  void operator()(HMENU menu) const noexcept { DestroyMenu(menu); }
};
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiObjectDeleter>;
using UniqueDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;
using UniqueMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDeleter>;

}  // namespace vantrel::win32
