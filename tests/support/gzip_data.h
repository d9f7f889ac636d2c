// SPDX-License-Identifier: MIT
// gzip data made and unpacked in memory with zlib, so tests can write exact
// (and deliberately damaged) compressed files.
#ifndef JOINT2SI_TESTS_GZIP_DATA_H
#define JOINT2SI_TESTS_GZIP_DATA_H

#include <string>

/// `text` as one gzip member compressed at `level`.
std::string gzip_bytes(const std::string &text, int level = 6);

/// The text of every gzip member in `data`; throws when the data is damaged.
std::string gunzip_bytes(const std::string &data);

#endif
