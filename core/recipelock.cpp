#include "core/recipelock.h"

#include "core/recipefile.h"
#include "core/store_error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace kb {

QString recipeLockPath(const QString& folder) {
    return QDir(folder).filePath(QStringLiteral("Recipe.mdb.lock"));
}

RecipeLock takeRecipeLock(QLockFile& lock) {
    // Never stale by age: a program may run for weeks. A lock whose process is gone is stale,
    // and QLockFile takes it over.
    lock.setStaleLockTime(0);
    if (lock.tryLock(0)) {
        // It names the process and the computer: no wider access than the recipe file has.
        const QString folder = QFileInfo(lock.fileName()).path();
        matchRecipeFileMode(RecipeFile(folder).fileName(), lock.fileName());
        return RecipeLock::Held;
    }
    return lock.error() == QLockFile::LockFailedError ? RecipeLock::InUse : RecipeLock::Unavailable;
}

QString recipeLockHolder(const QLockFile& lock) {
    qint64 pid = 0;
    QString host;
    QString app;
    if (!lock.getLockInfo(&pid, &host, &app) || pid <= 0)
        return {};
    return host.isEmpty() ? QStringLiteral("process %1").arg(pid)
                          : QStringLiteral("process %1 on %2").arg(pid).arg(host);
}

namespace {

QString shownFile(const QString& folder) {
    return QDir::toNativeSeparators(RecipeFile(folder).fileName());
}

} // namespace

QString RecipeFileLock::writersPath(const QString& folder) {
    return QDir(folder).filePath(QStringLiteral(".kettlebox-writers.lock"));
}

RecipeFileLock::RecipeFileLock(const QString& folder, Mode mode) {
    const bool replace = mode != Mode::Write;
    if (mode == Mode::Replace) {
        m_window = std::make_unique<QLockFile>(recipeLockPath(folder));
        const RecipeLock taken = takeRecipeLock(*m_window);
        if (taken == RecipeLock::InUse) {
            const QString holder = recipeLockHolder(*m_window);
            throw StoreError(
                QStringLiteral("Kettlebox has \"%1\" open%2; close it first.")
                    .arg(shownFile(folder),
                         holder.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(holder)));
        }
        if (taken == RecipeLock::Unavailable)
            throw StoreError(QStringLiteral("The lock beside \"%1\" could not be made: its "
                                            "folder can't be written to, or the disk is full "
                                            "or failing. Nothing was changed.")
                                 .arg(shownFile(folder)));
    }
    const QByteArray path = QFile::encodeName(writersPath(folder));
    m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0) {
        // A folder that can't be written to: a writer fails there anyway, with the engine's
        // own words, and a replacer can't rename anything into it.
        if (replace)
            throw StoreError(QStringLiteral("The lock beside \"%1\" could not be made: its "
                                            "folder can't be written to, or the disk is full "
                                            "or failing. Nothing was changed.")
                                 .arg(shownFile(folder)));
        return;
    }
    matchRecipeFileMode(RecipeFile(folder).fileName(), writersPath(folder));
    struct flock want {};
    want.l_type = replace ? F_WRLCK : F_RDLCK;
    want.l_whence = SEEK_SET;
    if (::fcntl(m_fd, F_SETLK, &want) == 0)
        return;
    struct flock other = want;
    const bool named = ::fcntl(m_fd, F_GETLK, &other) == 0 && other.l_type != F_UNLCK;
    const QString holder = named ? QStringLiteral(" (process %1)").arg(other.l_pid) : QString();
    ::close(m_fd);
    m_fd = -1;
    m_window.reset();
    if (replace)
        throw StoreError(QStringLiteral("Another program is writing to \"%1\"%2, so it was not "
                                        "replaced; nothing was changed. Try again when it is "
                                        "done.")
                             .arg(shownFile(folder), holder));
    throw StoreError(QStringLiteral("Another program is putting a new file in place of \"%1\"%2, "
                                    "so nothing was changed. Try again when it is done.")
                         .arg(shownFile(folder), holder));
}

RecipeFileLock::~RecipeFileLock() {
    // Closing the file lets the lock go.
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace kb
