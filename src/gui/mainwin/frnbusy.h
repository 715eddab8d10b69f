#pragma once

namespace quorv {

// Marks the window busy while a long operation runs. Those operations let pending events
// through, so clicks still arrive; a handler that would change the list or start another
// long operation checks busy() and does nothing.
class BusyState {
  public:
    class Scope {
      public:
        explicit Scope(BusyState& s) : s_(&s) { ++s_->depth_; }
        ~Scope() {
            if (s_) --s_->depth_;
        }
        Scope(Scope&& o) noexcept : s_(o.s_) { o.s_ = nullptr; }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
        Scope& operator=(Scope&&) = delete;

      private:
        BusyState* s_;
    };

    bool busy() const { return depth_ > 0; }
    [[nodiscard]] Scope begin() { return Scope(*this); }

  private:
    int depth_ = 0;
};

}  // namespace quorv
