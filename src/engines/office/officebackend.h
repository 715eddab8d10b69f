#pragma once

// The backend every program installs at its start, in one call.

namespace quorv::office {

// Registers the Word, Excel and PowerPoint servers under "Word.Application",
// "Excel.Application" and "PowerPoint.Application", and installs the backend: each batch
// worker holds an office session drawing on the program's pool, outputs pass the checks of
// engines/checks, PDF outputs are watermarked, protected and merged by engines/pdf, and,
// when `warmAhead`, the pool is readied ahead of a run.
void installOfficeBackend(bool warmAhead = true);

}  // namespace quorv::office
