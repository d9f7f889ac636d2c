#include "file/backup.h"

#include "terminal/messages.h"

#include <cerrno>
#include <string>

bool keep_backup(const char *name, const ToolReplacement *replacement, const char *suffix) {
    if (suffix == nullptr || tool_replace_backup(replacement, name, suffix)) {
        return true;
    }
    const int reason = errno;
    report_cannot_back_up(name, (std::string(name) + suffix).c_str(), reason);
    return false;
}
