// What the program's two HTTP paths share: the user agent they send, and an owner of WinINet
// handles (declare them root, connection, request, so they close child first).
#pragma once
#include <windows.h>
#include <wininet.h>

namespace ui::win32 {

constexpr char UserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

class InetHandle {
  public:
    explicit InetHandle(HINTERNET handle) : handle_(handle) {}
    InetHandle(const InetHandle&) = delete;
    InetHandle& operator=(const InetHandle&) = delete;
    ~InetHandle() {
        if (handle_) InternetCloseHandle(handle_);
    }
    HINTERNET get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

  private:
    HINTERNET handle_;
};

} // namespace ui::win32
