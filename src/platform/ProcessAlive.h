#pragma once
// Whether a process of this id runs on this machine (the editor's crash check asks it about the
// runs that left a session mark behind). Unknown ids and ids that cannot be checked count as
// gone, except where the system refuses to say (another user's process): that one runs.

#include <cstdint>

namespace gm {

bool ProcessAlive(int64_t pid);

} // namespace gm
