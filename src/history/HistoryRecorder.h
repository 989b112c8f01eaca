#pragma once

#include "History.h"

#include <functional>

class QObject;
class TranslationJob;
struct TranslationRequest;

// Feeds the history from translation jobs: the window, the command line and
// the session bus each hand their job here with where it came from.
namespace HistoryRecorder {

// The user's history, opened on first use; one for the whole process (a new
// one when the data folder has changed since, as between tests). Waits for the
// records under way, so the caller has it to itself on the main thread.
History& shared();

// Off for the rest of this run (the --no-history option): nothing is written.
void setSuspendedForRun(bool suspended);
bool suspendedForRun();

// Readies a request for the history: with `keep`, the service is asked for its
// engine version so the pieces are recorded with it; with `reuse`, pieces
// translated before are taken from the translation memory. Neither while the
// run is suspended.
void equip(TranslationRequest& request, bool keep, bool reuse);

// Records the job's text, translation and chunks in `history` when it finishes
// done, with the sentences the service translated for the translation memory,
// on a writer thread of its own so that a long text never holds up the
// window; `tell` hears once what the user should know about the history (it is
// unavailable and why, or a damaged file was moved aside): on the main thread
// while `context` lives when one is given, else on the writer thread. Nothing
// when the run is suspended. Null `history`: Shared() as it is when the job finishes.
void watch(TranslationJob& job, HistoryEntry::Origin origin, std::function<void(const QString&)> tell,
           QObject* context = nullptr, History* history = nullptr);
// Returns once every record asked for so far is written (before reading the
// file elsewhere, and before the program ends).
void flush();

}  // namespace HistoryRecorder
