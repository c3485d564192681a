#include "common/process.h"

#include <sys/prctl.h>
#include <sys/resource.h>

namespace hushnote {

void DisableCoreDumps() {
    // Both: the limit covers a dump the kernel writes to a file, and not
    // being dumpable also covers a core_pattern pipe, which ignores the limit.
    const rlimit none{0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

} // namespace hushnote
