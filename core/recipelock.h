#pragma once

#include <QString>
#include <memory>

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

// Held by every program that writes to the recipe file outside the window (an import, an
// undelete, a backup) for as long as it has the file open, and by a program that puts another
// file in its place (a restore, an import of an old Access file) for as long as it replaces it.
// Writers share it; a replacer holds it alone and holds the window's lock too, so a write is
// never made into a file that is replaced under it. Taken without waiting: when another
// program has it, a StoreError says who, and nothing has been done. One at a time in a process:
// the lock is the process's, and goes when any of its holders closes the file.
class RecipeFileLock {
  public:
    // ReplaceInWindow: a replace made by the window itself, which holds its own lock already.
    enum class Mode { Write, Replace, ReplaceInWindow };
    // `folder` is the recipe file's folder; `recipeFile` names the file in the messages.
    RecipeFileLock(const QString& folder, Mode mode);
    ~RecipeFileLock();
    RecipeFileLock(const RecipeFileLock&) = delete;
    RecipeFileLock& operator=(const RecipeFileLock&) = delete;

    // The file the writers' lock is kept on, beside the recipe file.
    static QString writersPath(const QString& folder);

  private:
    int m_fd = -1;
    std::unique_ptr<QLockFile> m_window;
};

} // namespace kb
