// vellora-render's "Match object" for scripts:
//
//   vellora-render PROJECT.mor --match K|all -o NEW.mor
//
// writes a copy of the project in which pair K's picture-2 half (every pair's
// with "all") is moved to where picture 1's half is found in picture 2.
#pragma once

#include <string>
#include <vector>

namespace matchcommand {

// Whether the arguments ask for matching instead of rendering.
bool Wanted(const std::vector<std::string>& args);

// Runs the command and returns the exit code: 0 done, 1 a file could not be
// read or written, 2 wrong arguments. Reports go to stdout, the failure (one
// line) to stderr; nothing is written when it fails. --help prints
// programUsage followed by kUsage.
int Run(const std::vector<std::string>& args, const char* programUsage);

// The section of --help that describes it.
extern const char* const kUsage;

}  // namespace matchcommand
