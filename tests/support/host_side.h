// What only the host's side of Wine can do for a test: symbolic links,
// which programs in the prefix meet as Windows links (Wine makes none
// itself), and starting a program from a folder deeper than Windows starts
// programs from.
#pragma once

#include <string>

#include "support/e2e.h"

// Makes `link` point at `target`, both Windows paths in the prefix.
bool MakeHostLink(const std::wstring& target, const std::wstring& link);
// Removes such a link itself, which no Windows call can do.
void RemoveHostLink(const std::wstring& link);

// Runs `exe args` as Wine's command does when the host starts it, and
// waits for its process up to `timeoutMs`.
RunResult RunFromHost(const std::wstring& exe, const std::wstring& args, unsigned long timeoutMs);
