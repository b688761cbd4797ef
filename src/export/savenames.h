// What the two save commands of the window write for a name the user typed:
// pure functions of the typed name and the file type chosen in the dialog.
// The typed extension decides whenever it names a kind the program writes;
// the chosen type only supplies an extension that is missing.
#pragma once

#include <QString>

#include <optional>

#include "export/picturefile.h"
#include "export/videoexport.h"

namespace exporting {

// The file types of the sequence dialog, in its order (1-based, as the
// dialog's filter index counts).
enum class SequenceType { Avi = 1, Mp4, WebM, Gif, Numbered };

// The sequence dialog's filter ("Name|patterns" pairs, patterns split by ';').
QString SequenceFilter();

// What the sequence is written as.
struct TSequenceTarget {
    QString name;  // the video file, or the pattern of the numbered pictures
    bool series = false;
    VideoCodec codec = VideoCodec::MotionJpeg;
    PictureFormat format = PictureFormat::Png;
    bool operator==(const TSequenceTarget&) const = default;
};

// The target for a typed name, the chosen type (a filter index; anything
// else counts as AVI) and the number of pictures. A known video extension
// (.avi, .mp4, .webm, .gif) writes that video and a known picture extension
// (.png, .bmp, .jpg, .tif, ...) numbered pictures, whatever type is chosen.
// Any other name gets the chosen type's extension. Numbered pictures get
// "_%04d" (more digits for more than 9999 pictures) before the extension
// unless the name already holds a number field.
TSequenceTarget SequenceTargetFor(const QString& typed, int filterIndex, int count);

// The picture dialog's filter; its first entry is "All pictures".
QString PictureFilter();

// What "Save picture..." writes, or why it refuses the name.
struct TPictureTarget {
    QString name;  // empty when refused
    PictureFormat format = PictureFormat::Png;
    QString refusal;  // the message for the user when refused
};

// A known picture extension decides the format; a name without extension
// gets the chosen entry's (".bmp" for "All pictures"); any other extension
// is refused, since no picture of that kind can be written.
TPictureTarget PictureTargetFor(const QString& typed, int filterIndex);

}  // namespace exporting
