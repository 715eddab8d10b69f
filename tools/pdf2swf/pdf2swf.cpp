// The conversion of one PDF: checks, then the page pipeline into a partial output that
// only a complete conversion puts in place.
#include "pdf2swf.h"

#include <poppler-document.h>
#include <poppler-global.h>

#include <cstdio>
#include <exception>
#include <memory>
#include <vector>

#include "../common/outputfile.h"
#include "pages.h"
#include "swfwriter.h"

namespace quorv::pdf2swf {

using tools::PartialOutput;

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

    if (!tools::checkInput(options.input, error)) return kExitFailed;
    const Deadline deadline(options.timeoutSeconds);
    const std::string lateMessage = tools::timeLimitMessage(options.input, options.timeoutSeconds);
    PartialOutput partial(deadline, options.stopProcessOnTimeout, lateMessage, "quorv-pdf2swf");
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
    std::FILE* file = partial.open(options.output, buffer, error);
    if (!file) return kExitFailed;

    bool ok = false;
    try {
        ok = writeSwf(*doc, version, deadline, lateMessage, file, error);
    } catch (const std::exception& e) {
        error = std::string("conversion failed: ") + e.what();
    }
    ok = partial.finish(file, ok, options.output, "the SWF file", error);
    return ok ? kExitOk : kExitFailed;
}

}  // namespace quorv::pdf2swf
