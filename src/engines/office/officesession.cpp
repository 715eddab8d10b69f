#include "engines/office/officesession.h"

#include "engines/office/officeinstance.h"
#include "engines/office/officepool.h"

namespace quorv::office {

namespace {
thread_local OfficeSession* gCurrent = nullptr;
}

OfficeSession::OfficeSession(NewConnections newConnections, LinkAccess access)
    : outer_(gCurrent), newConnections_(newConnections), access_(access) {
    gCurrent = this;
}

OfficeSession::~OfficeSession() {
    if (gCurrent == this) gCurrent = outer_;
    release();
}

void OfficeSession::release() {
    if (!instance_) return;
    // A pool's instance goes back warm for the next session; one of our own ends.
    if (pooled_) {
        OfficePool::shared().giveBack(std::move(instance_));
    } else {
        instance_->end();
    }
    instance_.reset();
}

OfficeSession* OfficeSession::current() { return gCurrent; }

std::shared_ptr<OfficeInstance> OfficeSession::acquire(QString* error) {
    if (instance_) {
        const bool unused = instance_.use_count() == 1;
        if (!instance_->isAlive() || (unused && instance_->documentsLoaded() >= documentLimit_)) {
            // A client still holding the old one finds it dead and fails with 35.
            release();
        }
    }
    if (!instance_) {
        if (access_ == LinkAccess::None) instance_ = OfficePool::shared().take();
        pooled_ = instance_ != nullptr;
        if (!instance_) instance_ = OfficeInstance::start(error, access_);
        if (instance_) ++started_;
    }
    return instance_;
}

}  // namespace quorv::office
