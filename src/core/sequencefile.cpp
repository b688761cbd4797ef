#include "core/sequencefile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include "core/printable.h"

namespace core {

namespace {

namespace fs = std::filesystem;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

// The line without its comment: "#" at the start or after white space.
std::string_view WithoutComment(std::string_view line) {
    for (std::size_t i = 0; i < line.size(); ++i)
        if (line[i] == '#' && (i == 0 || std::isspace(static_cast<unsigned char>(line[i - 1]))))
            return line.substr(0, i);
    return line;
}

bool ParseLength(std::string_view text, double& value) {
    const std::string s(text);
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(s.c_str(), &end);
    return errno == 0 && end == s.c_str() + s.size() && std::isfinite(value) && value > 0;
}

bool ParseHold(std::string_view text, std::int64_t& value) {
    if (text.empty() || text.size() > 3) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return value <= kMaxHold;
}

// One setting "key=value" into the overrides; the reason when it is wrong.
std::string ParseSetting(std::string_view token, TSequenceOverrides& settings) {
    const std::size_t eq = token.find('=');
    const std::string_view key = token.substr(0, eq);
    const std::string_view value = token.substr(eq + 1);
    const std::string shown = "'" + PrintableText(value) + "'";
    if (key == "length") {
        double length = 0;
        if (!ParseLength(value, length))
            return "length must be a number of seconds above 0, not " + shown;
        settings.length = length;
    } else if (key == "timing") {
        const std::optional<TTiming> timing = TimingFromName(value);
        if (!timing) return "timing must be linear, ease-in, ease-out or ease-in-out, not " + shown;
        settings.timing = timing;
    } else if (key == "hold") {
        std::int64_t hold = 0;
        if (!ParseHold(value, hold))
            return "hold must be a whole number from 0 to 100, not " + shown;
        settings.hold = hold;
    } else {
        return "unknown key '" + PrintableText(key) + "' (length, timing or hold)";
    }
    return {};
}

// Whether a token reads as a setting: a word of letters, then "=".
bool IsSetting(std::string_view token) {
    const std::size_t eq = token.find('=');
    if (eq == std::string_view::npos || eq == 0) return false;
    return std::all_of(token.begin(), token.begin() + static_cast<std::ptrdiff_t>(eq),
                       [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; });
}

std::string Where(const fs::path& file, int line) {
    return PrintableText(file.filename().string()) + ", line " + std::to_string(line);
}

fs::path Identity(const fs::path& file) {
    std::error_code ec;
    fs::path canonical = fs::weakly_canonical(fs::absolute(file, ec), ec);
    return ec ? file.lexically_normal() : canonical;
}

TSequenceRead ReadNested(const fs::path& file, std::vector<fs::path>& open,
                         const std::string& origin) {
    const std::string where = origin.empty() ? "" : origin + ": ";
    const fs::path id = Identity(file);
    if (std::find(open.begin(), open.end(), id) != open.end())
        return {{},
                where + "the sequence " + PrintableText(file.filename().string()) +
                    " names itself (a loop)"};
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return {{}, where + "the sequence " + PrintableText(file.string()) + " cannot be opened"};
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return {{}, where + "the sequence " + PrintableText(file.string()) + " cannot be read"};
    TSequenceRead read = ParseSequenceText(text, file);
    if (!read.ok()) return {{}, where + read.error};
    open.push_back(id);
    TSequenceRead result;
    for (TSequenceItem& item : read.items) {
        if (!IsSequenceFileName(item.project)) {
            result.items.push_back(std::move(item));
            continue;
        }
        TSequenceRead nested = ReadNested(item.project, open, item.origin);
        if (!nested.ok()) return {{}, nested.error};
        for (TSequenceItem& inner : nested.items) {
            // The naming line's settings apply where the inner line has none.
            if (!inner.settings.length) inner.settings.length = item.settings.length;
            if (!inner.settings.timing) inner.settings.timing = item.settings.timing;
            if (!inner.settings.hold) inner.settings.hold = item.settings.hold;
            result.items.push_back(std::move(inner));
        }
    }
    open.pop_back();
    return result;
}

std::string FormatLength(double length) {
    std::ostringstream s;
    s.imbue(std::locale::classic());
    s.precision(15);
    s << length;
    return s.str();
}

}  // namespace

bool IsSequenceFileName(const fs::path& name) {
    std::string ext = name.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".morseq";
}

TSequenceRead ParseSequenceText(std::string_view text, const fs::path& file) {
    TSequenceRead read;
    const fs::path folder = file.parent_path();
    int lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        line = Trim(WithoutComment(line));
        if (line.empty()) continue;

        // Settings are the trailing words of the form key=value; the rest,
        // spaces included, is the project's name.
        TSequenceOverrides settings;
        std::vector<std::string_view> tokens;
        std::string_view rest = line;
        while (true) {
            const std::size_t space = rest.find_last_of(" \t");
            if (space == std::string_view::npos) break;
            const std::string_view token = rest.substr(space + 1);
            if (!IsSetting(token)) break;
            tokens.push_back(token);
            rest = Trim(rest.substr(0, space));
        }
        const std::string where = Where(file, lineNumber);
        if (IsSetting(rest) && rest.find_first_of("./\\") == std::string_view::npos)
            return {{}, where + ": no project is named before " + PrintableText(rest)};
        for (auto it = tokens.rbegin(); it != tokens.rend(); ++it) {
            const std::string problem = ParseSetting(*it, settings);
            if (!problem.empty()) return {{}, where + ": " + problem};
        }
        const fs::path name{std::string(rest)};
        read.items.push_back(
            {(name.is_absolute() ? name : folder / name).string(), settings, where});
    }
    if (read.items.empty())
        read.error = PrintableText(file.filename().string()) + " names no project";
    return read;
}

TSequenceRead ReadSequenceFile(const fs::path& file) {
    std::vector<fs::path> open;
    return ReadNested(file, open, {});
}

std::string SequenceFileText(const std::vector<TSequenceItem>& items, const fs::path& file) {
    const fs::path folder = Identity(file).parent_path();
    std::string text = "# Vellora sequence: one project per line\n";
    for (const TSequenceItem& item : items) {
        const fs::path project = Identity(item.project);
        fs::path name = project.lexically_relative(folder);
        if (name.empty()) name = project;
        text += name.generic_string();
        if (item.settings.length) text += " length=" + FormatLength(*item.settings.length);
        if (item.settings.timing) text += " timing=" + TimingName(*item.settings.timing);
        if (item.settings.hold) text += " hold=" + std::to_string(*item.settings.hold);
        text += '\n';
    }
    return text;
}

}  // namespace core
