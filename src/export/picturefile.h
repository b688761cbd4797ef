// Writing one picture to a file in the format its extension names.
#pragma once

#include <QString>

#include <filesystem>
#include <optional>

#include "core/replacefile.h"
#include "raster/dib.h"

class QIODevice;

namespace exporting {

enum class PictureFormat { Bmp, Png, Jpeg, Tiff };

// The format a file name's extension names (case does not matter), or none.
std::optional<PictureFormat> FormatForName(const QString& fileName);

// The name a picture is written to: the name itself when its extension names
// a format, otherwise the name with ".bmp" added (such names are saved as BMP).
QString PictureFileName(const QString& chosen);

// The usual extension of a format, with the dot (".bmp", ".png", ...).
QString ExtensionOf(PictureFormat format);

// Encodes the picture in a format onto a device opened for writing. BMP, PNG
// and TIFF hold exactly the picture's pixels; JPEG is written at quality 95.
// The same picture and format always give the same bytes. Returns an empty
// string on success, else the reason (the device's error when it failed).
QString EncodePicture(const raster::DibRecord& picture, PictureFormat format, QIODevice& device);

// Encodes the picture into a replacement file; false (with the reason in
// out) on failure. For writers that share one replacement, and for tests.
bool WritePictureInto(core::TReplacement& out, const raster::DibRecord& picture,
                      PictureFormat format);

// Writes the picture to file, replacing it only once the new file is
// complete and on the disk (core::ReplaceFile). The window and vellora-render
// both write pictures through this. error holds the system's reason, or
// "not enough memory"; a stop request ends it with "interrupted".
core::TSaveResult WritePictureFile(const raster::DibRecord& picture, PictureFormat format,
                                   const std::filesystem::path& file,
                                   const core::TStopFlag* stop = nullptr);

// WritePictureFile in the format of the name's extension (BMP when it names
// none). Returns an empty string on success, else a message for the user
// that names the file.
QString SavePicture(const raster::DibRecord& picture, const QString& fileName);

}  // namespace exporting
