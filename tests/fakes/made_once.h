#pragma once

// The documents a real-office test program makes once, at its start, through one office
// session: kept for the cases that convert in this process, ended at once where the cases
// start programs of their own. At the program's end no office instance of it runs.

#include <memory>

#include "engines/office/officeinstance.h"
#include "engines/office/officesession.h"
#include "gtest/gtest.h"

namespace quorv::testing {

enum class AfterMaking { KeepSession, EndSession };

// `docs` is made before the session starts and `make` fills it in while it runs.
template <class Docs>
class MadeOnce : public ::testing::Environment {
  public:
    MadeOnce(Docs*& docs, void (*make)(), AfterMaking after)
        : docs_(docs), make_(make), after_(after) {}
    void SetUp() override {
        docs_ = new Docs;
        session_ = std::make_unique<office::OfficeSession>();
        make_();
        if (after_ == AfterMaking::EndSession) session_.reset();
    }
    void TearDown() override {
        session_.reset();
        EXPECT_TRUE(office::OfficeInstance::runningPids().isEmpty());
        delete docs_;
        docs_ = nullptr;
    }

  private:
    Docs*& docs_;
    void (*make_)();
    AfterMaking after_;
    std::unique_ptr<office::OfficeSession> session_;
};

template <class Docs>
const ::testing::Environment* madeOnce(Docs*& docs, void (*make)(), AfterMaking after) {
    return ::testing::AddGlobalTestEnvironment(new MadeOnce<Docs>(docs, make, after));
}

}  // namespace quorv::testing
