#pragma once

namespace kavrano::detail {

/// Gives SQLite memory from malloc, except that the largest block it gives back is kept
/// for its next request of that size. Takes effect only before SQLite's first use in
/// the process; later calls do nothing.
void useSqliteMemoryThatKeepsLargeBlocks();

}  // namespace kavrano::detail
