#include "engines/office/officesession.h"

#include "engines/office/officeinstance.h"

namespace quorv::office {

namespace {
thread_local OfficeSession* gCurrent = nullptr;
}

OfficeSession::OfficeSession(NewConnections newConnections)
    : outer_(gCurrent), newConnections_(newConnections) {
    gCurrent = this;
}

OfficeSession::~OfficeSession() {
    if (gCurrent == this) gCurrent = outer_;
    if (instance_) instance_->end();
}

OfficeSession* OfficeSession::current() { return gCurrent; }

std::shared_ptr<OfficeInstance> OfficeSession::acquire(QString* error) {
    if (instance_) {
        const bool unused = instance_.use_count() == 1;
        if (!instance_->isAlive() || (unused && instance_->documentsLoaded() >= documentLimit_)) {
            std::shared_ptr<OfficeInstance> old = std::move(instance_);
            // A client still holding the old one finds it dead and fails with 35.
            old->end();
        }
    }
    if (!instance_) {
        instance_ = OfficeInstance::start(error);
        if (instance_) ++started_;
    }
    return instance_;
}

}  // namespace quorv::office
