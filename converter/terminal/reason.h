// SPDX-License-Identifier: MIT
// Why something failed, as the detail line under a message tells it.
//
// A reason is the system's error code (an errno value) where the system gave one, or
// one of the program's own reasons below for failures the system has no code for;
// 0 when nothing is known.
#ifndef JOINT2SI_TERMINAL_REASON_H
#define JOINT2SI_TERMINAL_REASON_H

/// A gzip file's data failed its checks (a bad deflate stream, CRC or length, or data
/// after the last member that is no member).
constexpr int kReasonDamagedData = -1;
/// A gzip file ended before its last member did.
constexpr int kReasonTruncatedData = -2;
/// A file or directory met by the recursive walk is not the one its directory listed:
/// it was replaced (by a link, say) between the listing and its open.
constexpr int kReasonNotAsListed = -11;
/// A directory the walk came back to is not where it was: it was moved during the walk.
constexpr int kReasonMovedDuringWalk = -12;

/// The text of `reason`: the system's description of an error code ("Permission
/// denied"), or that of one of the program's own reasons. Null for 0 and for a
/// negative code that is none of them, so that no detail is printed.
const char *reason_text(int reason);

#endif
