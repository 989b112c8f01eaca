#pragma once

#include "History.h"

#include <functional>

class TranslationJob;

// Feeds the history from translation jobs: the window, the command line and
// the session bus each hand their job here with where it came from.
namespace HistoryRecorder {

// The user's history, opened on first use; one for the whole process (a new
// one when the data folder has changed since, as between tests).
History& Shared();

// Off for the rest of this run (the --no-history option): nothing is written.
void SetSuspendedForRun(bool suspended);
bool SuspendedForRun();

// Records the job's text, translation and pieces in `history` when it finishes
// done; `tell` hears once what the user should know about the history (it is
// unavailable and why, or a damaged file was moved aside). Nothing when the run
// is suspended. Null `history`: Shared() as it is when the job finishes.
void Watch(TranslationJob& job, HistoryEntry::Origin origin, std::function<void(const QString&)> tell,
           History* history = nullptr);

}  // namespace HistoryRecorder
