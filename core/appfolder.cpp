#include "core/appfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#ifndef KB_STARTER_FROM_BIN
#define KB_STARTER_FROM_BIN "../share/kettlebox"
#endif
#ifndef KB_LIBEXEC_FROM_BIN
#define KB_LIBEXEC_FROM_BIN "../libexec/kettlebox"
#endif

namespace kb {

namespace {

const QString kRecipeFile = QStringLiteral("Recipe.mdb");

} // namespace

bool folderIsWritable(const QString& folder) {
    if (!QFileInfo(folder).isDir())
        return false;
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".kettlebox-probe-XXXXXX")));
    return probe.open(); // removed again when it goes out of scope
}

bool provideStarterFile(const QString& starterFile, const QString& folder) {
    const QDir dir(folder);
    const QString target = dir.filePath(kRecipeFile);
    if (QFileInfo::exists(target))
        return true;
    if (starterFile.isEmpty() || !QFileInfo(starterFile).isFile())
        return false;
    const QString work = dir.filePath(
        QStringLiteral(".Recipe-starter-%1.mdb").arg(QCoreApplication::applicationPid()));
    QFile::remove(work);
    if (!QFile::copy(starterFile, work))
        return false;
    // The installed file is readable by everyone; the user's own recipes are not.
    QFile::setPermissions(work, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    // A rename never replaces an existing file here: a copy started at the same moment wins.
    if (!QFile::rename(work, target))
        QFile::remove(work);
    return QFileInfo::exists(target);
}

QString resolveAppFolder(const AppFolderPlaces& places,
                         const std::function<bool(const QString&)>& writable) {
    const QString& program = places.programFolder;
    if (!places.installed &&
        (QFileInfo::exists(QDir(program).filePath(kRecipeFile)) || writable(program)))
        return program;
    const QString& data = places.dataFolder;
    // Failures are left for the window to meet as a missing file, like any other start.
    QDir().mkpath(data);
    provideStarterFile(places.starterFile, data);
    return data;
}

AppFolderPlaces processPlaces() {
    // Before the application object exists, the executable is found as Qt finds it on Linux.
    const QString program = QCoreApplication::instance()
                                ? QCoreApplication::applicationDirPath()
                                : QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    const QDir bin(program);
    const QString starterFolder =
        QDir::cleanPath(bin.filePath(QStringLiteral(KB_STARTER_FROM_BIN)));
    return AppFolderPlaces{
        program, QStandardPaths::writableLocation(QStandardPaths::AppDataLocation),
        QDir(starterFolder).filePath(kRecipeFile),
        QFileInfo(starterFolder).isDir() ||
            QFileInfo(bin.filePath(QStringLiteral(KB_LIBEXEC_FROM_BIN))).isDir()};
}

} // namespace kb
