#pragma once

// Walks over a whole tree of entries for the file operations. None follows a
// link: a link is an entry of its own, so a link to "..", a cycle when
// followed, ends the walk there.

#include "browser/file_job.h"

#include <cstdint>

namespace vumo::file_ops {

// Past this many levels a tree is taken as a loop (a bind mount into itself).
inline constexpr int kMaxTreeDepth = 256;

// Removes the entry and, for a real folder, everything in it. An entry
// already gone counts as removed; otherwise error holds why not.
bool RemoveTree(const Bytes& path, int* error);
// The bytes of the regular files in the tree, for a copy's progress.
std::int64_t TreeBytes(const Bytes& path, int depth = 0);
// The copy is the same as the source: files byte for byte, links by target,
// folders entry by entry.
bool SameTree(const Bytes& source, const Bytes& target, int depth = 0);

}  // namespace vumo::file_ops
