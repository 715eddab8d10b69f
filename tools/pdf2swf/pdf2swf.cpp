// The conversion of one PDF: checks, then the page pipeline into a partial output that
// only a complete conversion puts in place.
#include "pdf2swf.h"

#include <poppler-document.h>
#include <poppler-global.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>

#include "outputfile.h"
#include "pages.h"
#include "swfwriter.h"

namespace quorv::pdf2swf {

namespace {

void silencePoppler(const std::string&, void*) {}

}  // namespace

int convert(const Options& options, std::string& error, std::vector<std::string>& notes) {
    int version = options.flashVersion;
    if (version < swf::kMinBitmapVersion) {
        notes.push_back("flash version " + std::to_string(version) +
                        " has no lossless bitmaps; writing version " +
                        std::to_string(swf::kMinBitmapVersion));
        version = swf::kMinBitmapVersion;
    }

    if (!checkInput(options.input, error)) return kExitFailed;
    const Deadline deadline(options.timeoutSeconds);
    const std::string lateMessage = timeLimitMessage(options.input, options.timeoutSeconds);
    PartialOutput partial(deadline, options.stopProcessOnTimeout, lateMessage);
    poppler::set_debug_error_function(silencePoppler, nullptr);
    std::unique_ptr<poppler::document> doc(poppler::document::load_from_file(options.input));
    if (deadline.passed()) {
        error = lateMessage;
        return kExitFailed;
    }
    if (!doc) {
        error = inQuotes(options.input) + " is not a PDF file or is damaged";
        return kExitFailed;
    }
    if (doc->is_locked()) {
        error = inQuotes(options.input) + " is encrypted and needs a password";
        return kExitFailed;
    }
    if (doc->pages() <= 0) {
        error = inQuotes(options.input) + " has no pages";
        return kExitFailed;
    }
    if (doc->pages() > kMaxPages) {
        error = inQuotes(options.input) + " has more than " + std::to_string(kMaxPages) +
                " pages, more than one SWF file can hold";
        return kExitFailed;
    }

    // Allocated before the temporary file exists, so that failing here leaves nothing.
    std::vector<char> buffer(1 << 20);
    const int fd = partial.create(options.output, error);
    if (fd < 0) return kExitFailed;
    std::FILE* file = ::fdopen(fd, "wb");
    if (!file) {
        error = "cannot write " + inQuotes(partial.path()) + ": " + std::strerror(errno);
        ::close(fd);
        partial.discard();
        return kExitFailed;
    }
    std::setvbuf(file, buffer.data(), _IOFBF, buffer.size());

    bool ok = false;
    try {
        ok = writeSwf(*doc, version, deadline, lateMessage, file, error);
    } catch (const std::exception& e) {
        error = std::string("conversion failed: ") + e.what();
    }
    if (std::fclose(file) != 0 && ok) {
        error = "cannot write the SWF file: " + std::string(std::strerror(errno));
        ok = false;
    }
    if (ok) ok = partial.commit(options.output, error);
    if (!ok) partial.discard();
    return ok ? kExitOk : kExitFailed;
}

}  // namespace quorv::pdf2swf
