// --backup: the old content of a file kept beside it before the new content replaces it.
#ifndef JOINT2SI_FILE_BACKUP_H
#define JOINT2SI_FILE_BACKUP_H

#include "libtools/tool_sys_io.h"

/// Keeps the old content of `name`, the file `replacement` holds locked, as `name` +
/// `suffix`. True when no backup was asked for (null suffix) or it was made; false
/// after a message naming it when it could not be (also when the name leads to another
/// file).
bool keep_backup(const char *name, const ToolReplacement *replacement, const char *suffix);

#endif
