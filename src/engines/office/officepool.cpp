#include "engines/office/officepool.h"

#include <QFile>
#include <algorithm>

#include "engines/office/officeinstance.h"
#include "engines/office/officesession.h"

namespace quorv::office {

namespace {

constexpr int kMaxStarters = 16;
// An instance is also replaced after this much resident memory.
constexpr qint64 kMemoryLimitKb = 1536 * 1024;

// Resident memory of a process in KiB, 0 when unknown.
qint64 residentKb(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

}  // namespace

// A taker waiting for an instance being started; filled with null when the start fails.
struct OfficePool::Claim {
    std::shared_ptr<OfficeInstance> instance;
    bool done = false;
};

OfficePool& OfficePool::shared() {
    // Never destroyed: its instances must end while UNO still works, which the programs
    // see to with clear(); at exit the parent-death signal takes whatever is left.
    static OfficePool* pool = new OfficePool;
    return *pool;
}

OfficePool::OfficePool() : lastUse_(std::chrono::steady_clock::now()) {}

OfficePool::~OfficePool() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        target_ = 0;
        pendingStarts_ = 0;
        for (auto& i : idle_) ending_.push_back(std::move(i));
        idle_.clear();
        for (auto& c : claims_) c->done = true;
        claims_.clear();
    }
    wake_.notify_all();
    ready_.notify_all();
    for (std::thread& t : starters_) t.join();
}

void OfficePool::warm(int n) {
    {
        std::lock_guard lock(mutex_);
        if (quit_) return;
        target_ = std::clamp(n, 0, kMaxStarters);
        lastUse_ = std::chrono::steady_clock::now();
        requestStarts();
    }
    wake_.notify_all();
}

std::shared_ptr<OfficeInstance> OfficePool::take() {
    std::unique_lock lock(mutex_);
    lastUse_ = std::chrono::steady_clock::now();
    while (!idle_.empty()) {
        std::shared_ptr<OfficeInstance> i = std::move(idle_.back());
        idle_.pop_back();
        if (i->isAlive()) {
            ++lent_;
            return i;
        }
        endLater(std::move(i));
        requestStarts();
        wake_.notify_all();
    }
    // A start under way that no one waits for yet is sooner than a start of one's own.
    if (starting_ + pendingStarts_ > int(claims_.size())) {
        auto claim = std::make_shared<Claim>();
        claims_.push_back(claim);
        ready_.wait(lock, [&] { return claim->done; });
        return claim->instance;
    }
    return nullptr;
}

void OfficePool::giveBack(std::shared_ptr<OfficeInstance> instance) {
    if (!instance) return;
    {
        std::lock_guard lock(mutex_);
        lent_ = std::max(0, lent_ - 1);
        lastUse_ = std::chrono::steady_clock::now();
        const int held = int(idle_.size()) + lent_ + starting_ + pendingStarts_;
        if (quit_ || held >= target_ || !instance->isAlive() || instance->documentsOpen() > 0 ||
            worn(*instance)) {
            endLater(std::move(instance));
        } else {
            idle_.push_back(std::move(instance));
        }
        requestStarts();
    }
    wake_.notify_all();
}

void OfficePool::clear() {
    std::unique_lock lock(mutex_);
    target_ = 0;
    pendingStarts_ = 0;
    for (auto& i : idle_) ending_.push_back(std::move(i));
    idle_.clear();
    wake_.notify_all();
    // Returns once the idle ones and those being started are gone; lent ones end when
    // they come back.
    ready_.wait(lock, [&] { return ending_.empty() && starting_ == 0; });
}

void OfficePool::setIdleMs(int ms) {
    {
        std::lock_guard lock(mutex_);
        idleMs_ = std::max(ms, 0);
    }
    wake_.notify_all();
}

int OfficePool::idleCount() const {
    std::lock_guard lock(mutex_);
    return int(idle_.size());
}

bool OfficePool::worn(OfficeInstance& instance) {
    return instance.documentsLoaded() >= kDocumentsPerInstance ||
           residentKb(instance.pid()) > kMemoryLimitKb;
}

void OfficePool::endLater(std::shared_ptr<OfficeInstance> instance) {
    // Ended on a starter: the process belongs to the thread that started it.
    ending_.push_back(std::move(instance));
}

void OfficePool::requestStarts() {
    const int held = int(idle_.size()) + lent_ + starting_ + pendingStarts_;
    if (held < target_) pendingStarts_ += target_ - held;
    const int wanted = std::min(kMaxStarters, starting_ + pendingStarts_ + int(!ending_.empty()));
    while (int(starters_.size()) < wanted) starters_.emplace_back([this] { starterLoop(); });
}

void OfficePool::starterLoop() {
    using Clock = std::chrono::steady_clock;
    std::unique_lock lock(mutex_);
    while (!quit_ || !ending_.empty()) {
        if (!ending_.empty()) {
            std::shared_ptr<OfficeInstance> e = std::move(ending_.back());
            ending_.pop_back();
            lock.unlock();
            e->end();
            e.reset();
            lock.lock();
            ready_.notify_all();
            continue;
        }
        if (pendingStarts_ > 0) {
            --pendingStarts_;
            ++starting_;
            lock.unlock();
            std::shared_ptr<OfficeInstance> i = OfficeInstance::start();
            lock.lock();
            --starting_;
            if (i) {
                if (!claims_.empty()) {
                    claims_.front()->instance = std::move(i);
                    claims_.front()->done = true;
                    claims_.pop_front();
                    ++lent_;
                } else if (quit_ ||
                           int(idle_.size()) + lent_ + starting_ + pendingStarts_ >= target_) {
                    endLater(std::move(i));
                } else {
                    idle_.push_back(std::move(i));
                }
            } else {
                // No retry until asked again: an office that does not start would loop.
                target_ = std::min(target_, int(idle_.size()) + lent_ + starting_ + pendingStarts_);
                if (!claims_.empty()) {
                    claims_.front()->done = true;
                    claims_.pop_front();
                }
            }
            ready_.notify_all();
            continue;
        }
        if (quit_) break;
        const auto idleEnd = lastUse_ + std::chrono::milliseconds(idleMs_);
        if (lent_ == 0 && !idle_.empty() && Clock::now() >= idleEnd) {
            target_ = 0;
            for (auto& i : idle_) ending_.push_back(std::move(i));
            idle_.clear();
            continue;
        }
        if (lent_ == 0 && !idle_.empty()) {
            wake_.wait_until(lock, idleEnd);
        } else {
            wake_.wait(lock);
        }
    }
}

}  // namespace quorv::office
