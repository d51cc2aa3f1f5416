#pragma once

#include <QString>
#include <functional>

namespace kb {

// The places the application folder is chosen from.
struct AppFolderPlaces {
    QString programFolder; // the folder of the executable
    QString dataFolder;    // the user's own data folder, for a program folder nobody may write to
    QString starterFile;   // the installed empty recipe file a new user starts from
    // The program folder is the bin folder of an installation: its folder is never written,
    // whoever runs it (root may write to /usr/bin, but it is nobody's recipe folder).
    bool installed = false;
};

// True when a file can be made in `folder`. It is tried rather than read off the permission
// bits, so a read-only mount or an access list counts as well.
bool folderIsWritable(const QString& folder);

// The folder that holds Recipe.mdb and the files written beside it (the print files and
// whatever else the program keeps). For a copy that is not installed, the program's folder when
// it holds Recipe.mdb or can be written to: a portable copy, a build. Otherwise, and always for
// an installed copy, the data folder, made when missing and given a copy of the starter file
// when it holds no Recipe.mdb yet.
QString resolveAppFolder(const AppFolderPlaces& places,
                         const std::function<bool(const QString&)>& writable = folderIsWritable);

// Copies `starterFile` to Recipe.mdb in `folder` unless a Recipe.mdb is there already, which is
// never replaced. The copy is made under another name and renamed into place when complete.
// True when the folder holds a Recipe.mdb afterwards.
bool provideStarterFile(const QString& starterFile, const QString& folder);

// This process's places: the executable's folder, AppDataLocation and the starter file
// installed under share/kettlebox/ beside the executable's bin folder; installed when that
// folder or the installation's libexec/kettlebox is there. The application name must be set
// first; the application object need not exist yet.
AppFolderPlaces processPlaces();

} // namespace kb
