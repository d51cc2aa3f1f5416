#include "core/recipelock.h"

#include <QDir>
#include <QLockFile>

namespace kb {

QString recipeLockPath(const QString& folder) {
    return QDir(folder).filePath(QStringLiteral("Recipe.mdb.lock"));
}

RecipeLock takeRecipeLock(QLockFile& lock) {
    // Never stale by age: a program may run for weeks. A lock whose process is gone is stale,
    // and QLockFile takes it over.
    lock.setStaleLockTime(0);
    if (lock.tryLock(0))
        return RecipeLock::Held;
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

} // namespace kb
