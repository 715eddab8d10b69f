#pragma once

// The files of one conversion: the input is checked before anything is written, and the
// output is written under a temporary name beside it, which one mechanism removes on
// failure, on a stop signal and when the time limit ends the process.

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "toolframe.h"

namespace quorv::tools {

using Clock = std::chrono::steady_clock;

class Deadline {
  public:
    explicit Deadline(double seconds)
        : limited_(seconds > 0),
          at_(Clock::now() +
              std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                  limited_ ? std::min(seconds, double{kMaxTimeoutSeconds}) : 0))) {}
    bool limited() const { return limited_; }
    bool passed() const { return limited_ && Clock::now() >= at_; }
    Clock::time_point at() const { return at_; }

  private:
    bool limited_;
    Clock::time_point at_;
};

// The reason given when a conversion runs past its time limit.
std::string timeLimitMessage(const std::string& input, double seconds);

// Whether `path` can be read as an input file; `error` says why not.
bool checkInput(const std::string& path, std::string& error);

// The output while it is written. With `stopProcess` and a limited deadline, a watcher
// ends the process when the deadline passes, wherever the conversion then is: inside the
// PDF library no check of ours runs, and loading or rendering a damaged file can take
// forever. Removing the unfinished file, the final rename and that end happen under one
// lock, so the process is never ended after the output has appeared, and an output never
// appears after the process was told to end.
class PartialOutput {
  public:
    // `tool` names the program in the message printed when the deadline ends the process
    // and in the temporary file's name.
    PartialOutput(const Deadline& deadline, bool stopProcess, std::string lateMessage,
                  std::string tool);
    // Removes a file that was created and neither committed nor discarded.
    ~PartialOutput();
    PartialOutput(const PartialOutput&) = delete;
    PartialOutput& operator=(const PartialOutput&) = delete;

    // Creates the temporary file beside `output`, so the final rename stays on one file
    // system. Returns its descriptor, or -1 with `error` set.
    int create(const std::string& output, std::string& error);
    const std::string& path() const { return path_; }
    // Renames the temporary file to `output`, unless the deadline has passed meanwhile.
    // False with `error` set when it cannot; the caller then discards.
    bool commit(const std::string& output, std::string& error);
    // Removes the temporary file.
    void discard();

    // create(), opened for writing through `buffer`, which must outlive the file. Returns
    // null with `error` set, leaving nothing behind.
    std::FILE* open(const std::string& output, std::vector<char>& buffer, std::string& error);
    // Closes `file` and, when the writing went well (`ok`), commits; otherwise, or when that
    // fails, discards. `what` names the file in the reason of a failed close ("the SWF
    // file"). False with `error` set on failure.
    bool finish(std::FILE* file, bool ok, const std::string& output, const std::string& what,
                std::string& error);

  private:
    void watch(Clock::time_point at);
    void release();

    const Deadline& deadline_;
    std::string lateMessage_;
    std::string stopMessage_;
    std::string tool_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool finished_ = false;
    std::string path_;
    std::thread thread_;
};

}  // namespace quorv::tools
