// SPDX-License-Identifier: MIT
// The order in which the matches of one file argument are converted and reported, the
// same on every system whatever order a directory lists its entries in.
#ifndef JOINT2SI_APP_MATCH_ORDER_H
#define JOINT2SI_APP_MATCH_ORDER_H

/// Negative when the name `a` comes before `b`, positive after, 0 for equal names: by
/// the names after Unicode's simple case folding (tool_strfoldcmp), then, for names
/// equal that way, bytewise.
int compare_matches(const char *a, const char *b);

#endif
