#pragma once

// The page pipeline: pages rendered one after another and written as one SWF frame each.

#include <poppler-document.h>

#include <cstdio>
#include <string>

#include "../common/outputfile.h"

namespace quorv::pdf2swf {

using tools::Deadline;

constexpr int kMaxPages = 32767;  // two character ids per page, 16 bits each

// Writes every page of `doc` into `file` as an SWF of `version`. Renders on a second
// thread while this one compresses and writes the previous page. False with `error` set
// when a page fails, writing fails or the deadline passes (then `error` is lateMessage).
bool writeSwf(const poppler::document& doc, int version, const Deadline& deadline,
              const std::string& lateMessage, std::FILE* file, std::string& error);

}  // namespace quorv::pdf2swf
