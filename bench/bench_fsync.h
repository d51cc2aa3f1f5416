#pragma once

// The durable writes a command asks of the disk, counted in this process: each fsync and
// fdatasync, of the engine's files and of the folders alike. Unlike a time, the count does not
// depend on the machine or on what else shares its disk.

namespace kbbench {

long syncCount();

} // namespace kbbench
