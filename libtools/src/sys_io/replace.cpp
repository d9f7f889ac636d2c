// The safe replacement of a file: new content in a file of its own, renamed
// over the target only when all of it is on disk.
#include "platform/replace.h"
#include "libtools/tool_sys_io.h"
#include "platform/interrupt.h"
#include "platform/paths.h"

#include <cstdio>
#include <string>

namespace {

std::FILE *stream_of(const ToolReplacement *replacement) {
    return static_cast<std::FILE *>(replacement->stream);
}

// Opens the file that will receive the new content: beside the target when the
// system allows it, else in the temporary directory (and then the commit copies).
std::FILE *open_beside_or_elsewhere(ToolReplacement *replacement,
                                    const platform::TargetFacts &facts, std::string *created) {
    const std::string target = replacement->target;
    const std::string name = platform::name_of(target);
    bool kept_owner = false;
    std::FILE *stream = platform::create_replacement(platform::directory_of(target), name, facts,
                                                     created, &kept_owner);
    if (stream == nullptr) {
        replacement->in_place = 1;
        stream = platform::create_replacement(platform::temporary_directory(), name, facts, created,
                                              &kept_owner);
        return stream;
    }
    if (!kept_owner || facts.several_links) {
        replacement->in_place = 1;
    }
    return stream;
}

// Copies the finished content over the target in place. DONE, or KEPT when the copy
// failed (the new content then stays where it is).
int commit_by_copy(ToolReplacement *replacement) {
    platform::hold_interrupts();
    const bool copied = platform::copy_over(replacement->temporary, replacement->target);
    platform::resume_interrupts();
    if (!copied) {
        replacement->kept = 1;
        platform::release_temporary();
        return TOOL_REPLACE_KEPT;
    }
    return TOOL_REPLACE_DONE;
}

} // namespace

extern "C" {

int tool_file_identity(const char *path, ToolFileIdentity *identity) {
    platform::TargetFacts facts;
    if (path == nullptr || identity == nullptr ||
        !platform::target_facts(platform::native_path(path), &facts)) {
        return 0;
    }
    identity->device = facts.identity.device;
    identity->index = facts.identity.index;
    return 1;
}

int tool_replace_open(ToolReplacement *replacement, const char *path) {
    if (replacement == nullptr || path == nullptr) {
        return 0;
    }
    *replacement = ToolReplacement{};
    std::string target;
    platform::TargetFacts facts;
    if (!platform::resolve_final_path(platform::native_path(path), &target) ||
        !platform::target_facts(target, &facts)) {
        return 0;
    }
    replacement->target = tool_strdup(target.c_str());
    replacement->identity = {facts.identity.device, facts.identity.index};
    std::string created;
    std::FILE *stream = replacement->target != nullptr
                            ? open_beside_or_elsewhere(replacement, facts, &created)
                            : nullptr;
    if (stream == nullptr) {
        tool_replace_abandon(replacement);
        return 0;
    }
    replacement->stream = stream;
    platform::guard_temporary(created);
    replacement->temporary = tool_strdup(created.c_str());
    if (replacement->temporary == nullptr) {
        platform::close_stream(stream);
        platform::remove_file(created);
        platform::release_temporary();
        replacement->stream = nullptr;
        tool_replace_abandon(replacement);
        return 0;
    }
    return 1;
}

int tool_replace_write(ToolReplacement *replacement, const char *data, unsigned size) {
    if (replacement == nullptr || replacement->stream == nullptr || replacement->failed) {
        return 0;
    }
    if (size > 0 && (data == nullptr || !platform::write_all(stream_of(replacement), data, size))) {
        replacement->failed = 1;
        return 0;
    }
    return 1;
}

int tool_replace_commit(ToolReplacement *replacement) {
    if (replacement == nullptr || replacement->stream == nullptr || replacement->failed) {
        return TOOL_REPLACE_FAILED;
    }
    std::FILE *stream = stream_of(replacement);
    replacement->stream = nullptr;
    const bool synced = platform::flush_and_sync(stream);
    if (!platform::close_stream(stream) || !synced) {
        return TOOL_REPLACE_FAILED;
    }
    if (!replacement->in_place) {
        const platform::RenameResult renamed =
            platform::replace_atomically(replacement->temporary, replacement->target);
        if (renamed == platform::RenameResult::done) {
            platform::release_temporary();
            tool_strfree(&replacement->temporary);
            return TOOL_REPLACE_DONE;
        }
        if (renamed == platform::RenameResult::failed) {
            return TOOL_REPLACE_FAILED;
        }
    }
    return commit_by_copy(replacement);
}

void tool_replace_abandon(ToolReplacement *replacement) {
    if (replacement == nullptr) {
        return;
    }
    if (replacement->stream != nullptr) {
        platform::close_stream(stream_of(replacement));
    }
    if (replacement->temporary != nullptr && !replacement->kept) {
        platform::remove_file(replacement->temporary);
        platform::release_temporary();
    }
    tool_strfree(&replacement->target);
    tool_strfree(&replacement->temporary);
    *replacement = ToolReplacement{};
}

void tool_replace_fail_nth(int operation, long n) {
    if (operation >= 0 && operation < static_cast<int>(platform::FileOperation::count)) {
        platform::fail_nth_file_operation(static_cast<platform::FileOperation>(operation), n);
    }
}

} // extern "C"
