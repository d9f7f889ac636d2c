// SPDX-License-Identifier: MIT
#include "file/argument_match.h"

#include "libtools/tool_dstring.h"
#include "libtools/tool_sys_io.h"

#include <cstring>

namespace {

// Directories deeper than this below an argument's directory are not looked for.
constexpr int kMostLevels = 512;

bool same_identity(const ToolFileIdentity &a, const ToolFileIdentity &b) {
    return a.device == b.device && a.index == b.index;
}

bool same_file(const std::string &a, const std::string &b) {
    ToolFileIdentity first = {};
    ToolFileIdentity second = {};
    return tool_file_identity(a.c_str(), &first) && tool_file_identity(b.c_str(), &second) &&
           same_identity(first, second);
}

// The directory a path's directory part (as written, `cut` characters) names, in a form
// that names it also when the part is empty ("." then) or a bare drive ("C:.").
std::string directory_of(const std::string &path, std::size_t cut) {
    return path.substr(0, cut) + ".";
}

// True when `directory` lies below `top`, found by going up from it through "..": the
// way the walk went down, as it never follows a link below its top.
bool lies_below(std::string directory, const std::string &top) {
    ToolFileIdentity wanted = {};
    ToolFileIdentity at = {};
    if (!tool_file_identity(top.c_str(), &wanted) || !tool_file_identity(directory.c_str(), &at)) {
        return false;
    }
    for (int level = 0; level < kMostLevels; ++level) {
        directory += tool_path_separator();
        directory += "..";
        ToolFileIdentity parent = {};
        if (!tool_file_identity(directory.c_str(), &parent) || same_identity(parent, at)) {
            return false; // the root is its own parent
        }
        if (same_identity(parent, wanted)) {
            return true;
        }
        at = parent;
    }
    return false;
}

bool is_wildcard(char c) {
    return c != '\0' && std::strchr("*%?$[", c) != nullptr;
}

} // namespace

bool names_existing_file(const char *argument) {
    return argument != nullptr && tool_file_exists(argument) && !tool_is_directory(argument);
}

std::string literal_pattern(const std::string &name) {
    std::string pattern;
    for (const char c : name) {
        if (is_wildcard(c)) { // "]" outside a set stands for itself
            pattern += '[';
            pattern += c;
            pattern += ']';
        } else {
            pattern += c;
        }
    }
    return pattern;
}

bool argument_matches(const char *argument, bool recursive, const std::string &path) {
    if (argument == nullptr || std::strcmp(argument, "-") == 0) {
        return false;
    }
    const std::string written(argument);
    const std::size_t cut = tool_path_directory_length(argument);
    const std::string last = written.substr(cut, tool_path_kept_length(argument) - cut);
    const std::size_t path_cut = tool_path_directory_length(path.c_str());
    const std::string name = path.substr(path_cut);
    if (last.empty() || name == "." || name == ".." || tool_is_replacement_name(name.c_str())) {
        return false;
    }
    const bool literal = names_existing_file(argument);
    const std::string directory = directory_of(path, path_cut);
    if (same_file(directory, directory_of(written, cut))) {
        return literal ? name == last || same_file(path, written)
                       : tool_strmatch(last.c_str(), name.c_str(), 1) != 0;
    }
    if (!recursive || !lies_below(directory, directory_of(written, cut))) {
        return false;
    }
    const std::string pattern = literal ? literal_pattern(last) : last;
    return tool_strmatch(pattern.c_str(), name.c_str(), 1) != 0;
}
