#pragma once

#include <QString>

class QLockFile;

namespace kb {

// The lock the running program holds beside its recipe file for as long as it runs, so that a
// second window, or a tool that would replace the file, meets it whatever its environment.
QString recipeLockPath(const QString& folder);

// What taking that lock came to.
enum class RecipeLock {
    Held,        // this process holds it now (a lock left by a crash is taken over)
    InUse,       // a running program holds it
    Unavailable, // it can't be made (a read-only folder): nothing can be written there anyway
};

// Tries once, without waiting; `lock` must be made on recipeLockPath().
RecipeLock takeRecipeLock(QLockFile& lock);

// Who holds the lock, in words ("process 123 on host"), or "" when that can't be told.
QString recipeLockHolder(const QLockFile& lock);

} // namespace kb
