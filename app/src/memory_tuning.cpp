#include "kavrano/app/memory_tuning.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace kavrano {

void keepFreedMemoryForReuse() {
#if defined(__GLIBC__)
  // Blocks up to 32 MiB come from the heap, and the heap keeps up to 64 MiB free.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
}

}  // namespace kavrano
