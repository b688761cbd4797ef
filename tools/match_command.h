// vellora-render's "Match object" and "Find pairs" for scripts:
//
//   vellora-render PROJECT.mor --match K|all -o NEW.mor
//   vellora-render PROJECT.mor --find-pairs -o NEW.mor
//
// write a copy of the project in which pair K's picture-2 half (every pair's
// with "all") is moved to where picture 1's half is found in picture 2, or
// with the pairs added that Find pairs places for the faces in both pictures.
#pragma once

#include <string>

namespace matchcommand {

// Runs the command on arguments vellora-render's parser has checked and
// returns the exit code: 0 done, 1 a file could not be read or written, 2 a
// pair that the project does not have. Reports go to stdout, the failure (one
// line) to stderr; nothing is written when it fails.
int Run(const std::string& project, const std::string& output, const std::string& pair);
// The same for --find-pairs; a picture without a face adds nothing, which is
// printed, and the copy is written all the same.
int RunFindPairs(const std::string& project, const std::string& output);

// The section of --help that describes it.
extern const char* const kUsage;

}  // namespace matchcommand
