// Writing one picture to a file in the format its extension names.
#pragma once

#include <QString>

#include <optional>

#include "raster/dib.h"

namespace appexport {

enum class PictureFormat { Bmp, Png, Jpeg, Tiff };

// The format a file name's extension names (case does not matter), or none.
std::optional<PictureFormat> FormatForName(const QString& fileName);

// The name a picture is written to: the name itself when its extension names
// a format, otherwise the name with ".bmp" added (such names are saved as BMP).
QString PictureFileName(const QString& chosen);

// The usual extension of a format, with the dot (".bmp", ".png", ...).
QString ExtensionOf(PictureFormat format);

// Writes the picture to fileName in the format of its extension (BMP when the
// extension names none). BMP, PNG and TIFF hold exactly the picture's pixels;
// JPEG is written at quality 95. The file is replaced only once the new one is
// complete. Returns an empty string on success, else a message for the user.
QString SavePicture(const raster::DibRecord& picture, const QString& fileName);

}  // namespace appexport
