// SPDX-License-Identifier: MIT
// Replacement files left by earlier runs that ended without finishing.
#ifndef JOINT2SI_LEFTOVERS_H
#define JOINT2SI_LEFTOVERS_H

/// Once per directory and run: removes the abandoned replacement files beside `target`
/// whose original is whole, and warns about those that may hold the only complete
/// converted text of a file torn by a killed run.
void sweep_leftovers_beside(const char *target);

/// Whether a matched name is one a run never rewrites: "." and "..", and the
/// replacement files of this or another run.
bool is_skipped_name(const char *name);

#endif
