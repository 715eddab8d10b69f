#pragma once

// The backend every program installs at its start, in one call.

namespace quorv::office {

// Registers the Word and Excel servers under "Word.Application" and "Excel.Application"
// and installs the backend: each batch worker holds an office session drawing on the
// program's pool, outputs pass the checks of engines/checks, and, when `warmAhead`, the
// pool is readied ahead of a run.
void installOfficeBackend(bool warmAhead = true);

}  // namespace quorv::office
