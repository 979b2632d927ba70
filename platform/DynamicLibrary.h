// A shared library opened with dlopen, closed when the object goes.
#pragma once

#include "platform/Translate.h"

#include <dlfcn.h>

#include <string>
#include <utility>

namespace platform {

class DynamicLibrary {
  public:
    DynamicLibrary() = default;
    explicit DynamicLibrary(const std::string& name)
        : handle_(dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL)) {
        if (handle_ == nullptr) {
            const char* e = dlerror();
            error_ = e != nullptr ? e : Tr("unknown error");
        }
    }
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;
    DynamicLibrary(DynamicLibrary&& o) noexcept
        : handle_(std::exchange(o.handle_, nullptr)), error_(std::move(o.error_)) {}
    DynamicLibrary& operator=(DynamicLibrary&& o) noexcept {
        if (this != &o) {
            Close();
            handle_ = std::exchange(o.handle_, nullptr);
            error_ = std::move(o.error_);
        }
        return *this;
    }
    ~DynamicLibrary() { Close(); }

    bool IsLoaded() const { return handle_ != nullptr; }
    const std::string& Error() const { return error_; }

    template <typename Fn> Fn Symbol(const char* name) const {
        if (handle_ == nullptr) {
            return nullptr;
        }
        return reinterpret_cast<Fn>(dlsym(handle_, name));
    }

    // Keeps the library loaded for the rest of the process.
    void Release() { handle_ = nullptr; }

    void Close() {
        if (handle_ != nullptr) {
            dlclose(handle_);
            handle_ = nullptr;
        }
    }

  private:
    void* handle_ = nullptr;
    std::string error_;
};

// A function of a library the program is already linked with (GTK,
// WebKit), looked up at run time: the program has no build dependency on
// those libraries' headers. nullptr when it is not there.
template <typename Fn> Fn LinkedSymbol(const char* name) {
    return reinterpret_cast<Fn>(dlsym(RTLD_DEFAULT, name));
}

} // namespace platform
