#include "outputfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace quorv::tools {

namespace {

// Path of the unfinished output, readable from a signal handler; empty when there is none.
std::array<char, 8192> gPartialPath{};

// The one way an unfinished output goes, safe inside a signal handler.
void removePartial() {
    if (gPartialPath[0] != '\0') ::unlink(gPartialPath.data());
}

void setPartial(const std::string& path) {
    // The first character last: a handler sees the whole name or none.
    gPartialPath[0] = '\0';
    std::memcpy(gPartialPath.data() + 1, path.c_str() + 1, path.size());
    gPartialPath[0] = path[0];
}

void removePartialAndDie(int sig) {
    removePartial();
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

constexpr std::array<int, 4> kStopSignals{SIGINT, SIGTERM, SIGHUP, SIGPIPE};
// The handlers that were there before, put back afterwards: a program that converts in
// process keeps its own.
std::array<struct sigaction, kStopSignals.size()> gPreviousHandlers{};
bool gGuarded = false;

void guardSignals() {
    struct sigaction sa {};
    sa.sa_handler = removePartialAndDie;
    sigemptyset(&sa.sa_mask);
    for (size_t i = 0; i < kStopSignals.size(); ++i) {
        sigaction(kStopSignals[i], &sa, &gPreviousHandlers[i]);
    }
    gGuarded = true;
}

void releaseSignals() {
    if (gGuarded) {
        for (size_t i = 0; i < kStopSignals.size(); ++i) {
            sigaction(kStopSignals[i], &gPreviousHandlers[i], nullptr);
        }
        gGuarded = false;
    }
}

}  // namespace

std::string timeLimitMessage(const std::string& input, double seconds) {
    char number[32];
    std::snprintf(number, sizeof number, "%g", seconds);
    return inQuotes(input) + " took longer than the time limit of " + number +
           (seconds == 1 ? " second" : " seconds") + " (-s timeout=SECONDS)";
}

bool checkInput(const std::string& path, std::string& error) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        error = "cannot read input file " + inQuotes(path) + ": " + std::strerror(errno);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        error = "input " + inQuotes(path) + " is a folder, not a PDF file";
        return false;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot read input file " + inQuotes(path) + ": " + std::strerror(errno);
        return false;
    }
    ::close(fd);
    return true;
}

PartialOutput::PartialOutput(const Deadline& deadline, bool stopProcess, std::string lateMessage,
                             std::string tool)
    : deadline_(deadline),
      lateMessage_(std::move(lateMessage)),
      stopMessage_(tool + ": " + lateMessage_ + "\n"),
      tool_(std::move(tool)) {
    if (stopProcess && deadline.limited()) {
        thread_ = std::thread([this, at = deadline.at()] { watch(at); });
    }
}

PartialOutput::~PartialOutput() {
    discard();
    {
        std::lock_guard lock(mutex_);
        finished_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void PartialOutput::watch(Clock::time_point at) {
    std::unique_lock lock(mutex_);
    if (cv_.wait_until(lock, at, [&] { return finished_; })) return;
    removePartial();
    [[maybe_unused]] const ssize_t n = ::write(2, stopMessage_.data(), stopMessage_.size());
    ::_exit(kExitFailed);  // keeps the lock: no rename can follow
}

int PartialOutput::create(const std::string& output, std::string& error) {
    struct stat st {};
    if (::stat(output.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        error = "output " + inQuotes(output) + " is a folder";
        return -1;
    }
    std::string dir = std::filesystem::path(output).parent_path().string();
    if (dir.empty()) dir = ".";
    std::string pattern = dir + "/." + tool_ + "-XXXXXX";
    if (pattern.size() >= gPartialPath.size()) {
        error =
            "cannot write to output folder " + inQuotes(dir) + ": " + std::strerror(ENAMETOOLONG);
        return -1;
    }
    std::lock_guard lock(mutex_);
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        if (e == ENOENT) {
            error = "output folder " + inQuotes(dir) + " does not exist";
        } else if (e == ENOTDIR) {
            error = "output folder " + inQuotes(dir) + " is not a folder";
        } else {
            error = "cannot write to output folder " + inQuotes(dir) + ": " + std::strerror(e);
        }
        return -1;
    }
    // mkstemp makes the file private; give it the permissions a plain new file would get.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    path_ = pattern;
    setPartial(path_);
    guardSignals();
    return fd;
}

bool PartialOutput::commit(const std::string& output, std::string& error) {
    {
        std::lock_guard lock(mutex_);
        if (deadline_.passed()) {
            error = lateMessage_;
            return false;
        }
        if (std::rename(path_.c_str(), output.c_str()) != 0) {
            error = "cannot create " + inQuotes(output) + ": " + std::strerror(errno);
            return false;
        }
        gPartialPath[0] = '\0';
        path_.clear();
    }
    releaseSignals();
    return true;
}

std::FILE* PartialOutput::open(const std::string& output, std::vector<char>& buffer,
                               std::string& error) {
    const int fd = create(output, error);
    if (fd < 0) return nullptr;
    std::FILE* file = ::fdopen(fd, "wb");
    if (!file) {
        error = "cannot write " + inQuotes(path_) + ": " + std::strerror(errno);
        ::close(fd);
        discard();
        return nullptr;
    }
    std::setvbuf(file, buffer.data(), _IOFBF, buffer.size());
    return file;
}

bool PartialOutput::finish(std::FILE* file, bool ok, const std::string& output,
                           const std::string& what, std::string& error) {
    if (std::fclose(file) != 0 && ok) {
        error = "cannot write " + what + ": " + std::string(std::strerror(errno));
        ok = false;
    }
    if (ok) ok = commit(output, error);
    if (!ok) discard();
    return ok;
}

void PartialOutput::discard() {
    {
        std::lock_guard lock(mutex_);
        if (path_.empty()) return;
        removePartial();
        gPartialPath[0] = '\0';
        path_.clear();
    }
    releaseSignals();
}

}  // namespace quorv::tools
