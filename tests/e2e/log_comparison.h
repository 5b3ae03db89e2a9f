// A run's log held against what the round trip's snapshots show it changed.
#pragma once

#include <string>
#include <vector>

#include "support/log_lines.h"

// The lines of a snapshot difference (SnapshotDifference of registry and
// file snapshots) that no line of the log reports done: a value set or
// deleted, a key made on the way to one the log names or deleted, a file
// or folder made or removed. A key that both registry views show changed
// is one they share, and the log may name it in either view.
std::string UnloggedChanges(const std::string& difference, const std::vector<LogLine>& log,
                            bool wow64);

// The keys, values, files and folders whose last change the log reports
// done but that the prefix does not show so now: nothing is logged that
// did not happen.
std::string UnseenChanges(const std::vector<LogLine>& log);
