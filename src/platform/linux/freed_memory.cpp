#include "platform/linux/freed_memory.h"

#include <malloc.h>

namespace vm31::linux_platform {

void ReturnFreedMemory() {
#if defined(__GLIBC__)
  ::malloc_trim(0);
#endif
}

}  // namespace vm31::linux_platform
