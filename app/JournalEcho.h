#pragma once
#include <QString>
#include <functional>

namespace obu {

// Whether standard output is the journal's stream: JOURNAL_STREAM (set by
// systemd for a unit's output) names the device and inode of this very
// stdout. A program whose output was redirected elsewhere since keeps its
// plain lines.
bool standardOutputIsJournal();

// A log line as the journal takes it: without the log's own time stamp (the
// journal keeps its own) and with its priority as a "<N>" prefix, failures
// as errors (3), everything else as information (6).
QString journalLine(const QString& logLine);

// What the headless mode echoes each log line with: the line as in the log
// on a terminal or into a file, the journal's form into the journal.
std::function<void(const QString&)> headlessLogEcho();

}  // namespace obu
