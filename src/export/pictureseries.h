// Writing the sequence as numbered pictures, one file per picture, named by a
// printf-style pattern such as "frames/m_%04d.png" with the picture number.
// Slices of a long sequence (first..last) can so be rendered side by side on
// several machines and joined afterwards.
#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

#include "export/picturefile.h"
#include "export/videoexport.h"

namespace exporting {

// How many number fields a name holds: "%d", "%4d" or "%04d" (width up to
// 9); "%%" stands for a percent sign. -1 when a '%' starts anything else.
int NumberFieldCount(std::string_view name);

// Whether the name is meant as a pattern: it holds a '%'.
inline bool IsNumberPattern(std::string_view name) {
    return name.find('%') != std::string_view::npos;
}

// The name of picture n under a pattern with one number field.
std::string SeriesFileName(std::string_view pattern, std::int64_t n);

// Renders pictures first..last and writes each to its numbered file, in the
// format of the pattern's extension, each one through core::ReplaceFile. The
// folder must exist.
//
// A run never deletes what it did not create: on a failure or a cancel the
// files it created are removed again, and the old pictures it had already
// replaced stay replaced, which the result tells (ExportResult::replaced).
// Two runs never write the same picture of a pattern at once: a run locks
// its pictures in a lock file beside them (".PATTERN.lock", removed by the
// last run) and is refused while another run holds any of them; runs of
// separate slices (--frames) go side by side. The window and vellora-render
// both write numbered pictures through this. A stop request ends it as a
// cancel does, also in the middle of a picture.
ExportResult WritePictureSeries(const std::string& pattern, PictureFormat format, int first,
                                int last, const FrameSource& render,
                                const ProgressSink& progress = {},
                                const core::TStopFlag* stop = nullptr);

}  // namespace exporting
