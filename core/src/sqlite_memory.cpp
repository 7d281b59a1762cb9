// SQLite builds the record of a value it writes in one block of the value's size, and
// the saved list runs to tens of megabytes. Past 32 MiB, glibc's largest reused block,
// every such block came as fresh pages from the kernel: about 9,400 page faults per
// save at 50,000 saved measurements, more than writing the list itself cost.
#include "sqlite_memory.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

namespace kavrano::detail {
namespace {

// Blocks from this size on are kept when given back: the ones malloc would map afresh.
constexpr std::size_t kKeptFrom = std::size_t{32} << 20;
// SQLite's own ceiling for one allocation: sizes pass through an int.
constexpr std::size_t kLargestBlock = 0x7fffff00;
// A block's usable size sits in front of it; 16 bytes keep malloc's alignment.
constexpr std::size_t kHeader = 16;

std::mutex keptMutex;
void* kept = nullptr;  // a block with its header, or none

std::size_t& capacityOf(void* block) { return *static_cast<std::size_t*>(block); }

void* fromMalloc(std::size_t capacity) {
  void* block = std::malloc(capacity + kHeader);
  if (!block) return nullptr;
  capacityOf(block) = capacity;
  return static_cast<char*>(block) + kHeader;
}

void* allocate(int bytes) {
  auto size = static_cast<std::size_t>(bytes);
  if (size >= kKeptFrom) {
    {
      std::lock_guard lock(keptMutex);
      if (kept && capacityOf(kept) >= size) return static_cast<char*>(std::exchange(kept, nullptr)) + kHeader;
    }
    // The list grows a record at a time: room for the next few, or the next save
    // would miss the kept block by a few hundred bytes.
    size = std::max(size, std::min(size + size / 8, kLargestBlock));
  }
  return fromMalloc(size);
}

void release(void* memory) {
  if (!memory) return;
  void* block = static_cast<char*>(memory) - kHeader;
  if (capacityOf(block) >= kKeptFrom) {
    std::lock_guard lock(keptMutex);
    if (!kept || capacityOf(kept) < capacityOf(block)) std::swap(kept, block);
  }
  std::free(block);
}

int usableSize(void* memory) { return memory ? static_cast<int>(capacityOf(static_cast<char*>(memory) - kHeader)) : 0; }

void* resize(void* memory, int bytes) {
  if (static_cast<std::size_t>(bytes) <= static_cast<std::size_t>(usableSize(memory))) return memory;
  void* larger = allocate(bytes);
  if (!larger) return nullptr;
  std::memcpy(larger, memory, static_cast<std::size_t>(usableSize(memory)));
  release(memory);
  return larger;
}

int roundedUp(int bytes) { return (bytes + 7) & ~7; }
int start(void*) { return SQLITE_OK; }
void stop(void*) {}

}  // namespace

void useSqliteMemoryThatKeepsLargeBlocks() {
  static std::once_flag once;
  std::call_once(once, [] {
    static const sqlite3_mem_methods methods{allocate, release, resize, usableSize, roundedUp, start, stop, nullptr};
    // Refused once SQLite is in use (SQLITE_MISUSE): it then keeps its own allocator.
    (void)sqlite3_config(SQLITE_CONFIG_MALLOC, &methods);
  });
}

}  // namespace kavrano::detail
