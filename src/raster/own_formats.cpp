#include "raster/own_formats.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace raster {

namespace {

bool EndsWithNoCase(std::string_view s, std::string_view suffix) {
    if (s.size() < suffix.size()) return false;
    return std::equal(suffix.begin(), suffix.end(), s.end() - static_cast<long>(suffix.size()),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) ==
                                                  std::tolower(static_cast<unsigned char>(b)); });
}

DibRecord Failed(std::string text) {
    DibRecord dib;
    dib.SetErrorText(std::move(text));
    return dib;
}

}  // namespace

OwnFormat DetectOwnFormat(std::span<const std::uint8_t> data, std::string_view fileName) {
    if (data.size() >= 12 && std::equal(data.begin(), data.begin() + 4, "FORM") &&
        (std::equal(data.begin() + 8, data.begin() + 12, "ILBM") ||
         std::equal(data.begin() + 8, data.begin() + 12, "PBM "))) {
        return OwnFormat::Iff;
    }
    if (data.size() >= 4 && data[0] == 0x0A && data[1] <= 5 && data[2] <= 1) {
        return OwnFormat::Pcx;
    }
    if (EndsWithNoCase(fileName, ".tga")) return OwnFormat::Tga;
    return OwnFormat::None;
}

DibRecord DecodePcx(std::span<const std::uint8_t>) { return Failed("PCX files are not supported yet."); }
DibRecord DecodeTga(std::span<const std::uint8_t>) { return Failed("TGA files are not supported yet."); }
DibRecord DecodeIff(std::span<const std::uint8_t>) { return Failed("IFF files are not supported yet."); }

}  // namespace raster
