#pragma once

#include <QString>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace quorv::office {

class OfficeInstance;

// Office instances started ahead of need, so that a batch, a search or a served call finds
// one ready instead of waiting for LibreOffice to start. Sessions take an instance from the
// pool when it has one and give it back when they end; the pool ends what came back dead,
// worn out (kDocumentsPerInstance documents, or more than 1.5 GB resident) or left with
// documents open, and starts a replacement. After the idle time (setIdleMs) without use the idle
// instances end; the next warm() starts them again.
//
// Instances are started on threads of the pool that live as long as the pool, since an
// instance dies with the thread that started it.
class OfficePool {
  public:
    // The pool of this program.
    static OfficePool& shared();

    OfficePool();
    ~OfficePool();
    OfficePool(const OfficePool&) = delete;
    OfficePool& operator=(const OfficePool&) = delete;

    // Keeps `n` instances (idle, lent or starting); the missing ones start in the
    // background. Also counts as use for the idle time.
    void warm(int n);
    // An idle instance, or one that is starting (waited for); null when the pool has
    // neither, and the caller starts one of its own.
    std::shared_ptr<OfficeInstance> take();
    // An instance that take() gave out, no longer used by the caller.
    void giveBack(std::shared_ptr<OfficeInstance> instance);
    // Ends every instance and keeps none until the next warm().
    void clear();

    void setIdleMs(int ms);
    // Instances idle now.
    int idleCount() const;

  private:
    struct Claim;
    void starterLoop();
    void requestStarts();
    static bool worn(OfficeInstance& instance);
    void endLater(std::shared_ptr<OfficeInstance> instance);

    mutable std::mutex mutex_;
    std::condition_variable wake_;   // starters: work to do, or the idle time may be up
    std::condition_variable ready_;  // takers: a start finished
    std::vector<std::shared_ptr<OfficeInstance>> idle_;
    std::deque<std::shared_ptr<Claim>> claims_;
    std::vector<std::shared_ptr<OfficeInstance>> ending_;
    std::vector<std::thread> starters_;
    int target_ = 0;
    int lent_ = 0;
    int starting_ = 0;
    int pendingStarts_ = 0;
    int idleMs_ = 300000;
    bool quit_ = false;
    std::chrono::steady_clock::time_point lastUse_;
};

}  // namespace quorv::office
