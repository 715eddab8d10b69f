#pragma once

// Changes the installed conversion backend for the life of a scope and puts the one
// before back afterwards.

#include <functional>

#include "convert/backend.h"

namespace quorv::testing {

class BackendChange {
  public:
    explicit BackendChange(const std::function<void(ConvertBackend&)>& change)
        : before_(backend()) {
        ConvertBackend b = before_;
        change(b);
        installBackend(std::move(b));
    }
    ~BackendChange() { installBackend(before_); }
    BackendChange(const BackendChange&) = delete;
    BackendChange& operator=(const BackendChange&) = delete;

  private:
    ConvertBackend before_;
};

// How long conversions wait for a file the office said it wrote.
inline std::function<void(ConvertBackend&)> outputWait(int ms) {
    return [ms](ConvertBackend& b) { b.outputWaitMs = ms; };
}

}  // namespace quorv::testing
