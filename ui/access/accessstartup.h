#pragma once

#include "access/convert.h"

#include <QString>

namespace kb {

class Dialogs;

// At start-up, before the catalogue is loaded: when "<appFolder>/Recipe.mdb" is an old Access
// file, asks once whether to bring its recipes into the new format. Yes converts it (keeping
// the original as Recipe.access.mdb) and shows the report; No leaves everything as it is, and
// the question comes again at the next start. A file that can't be read gets one message and
// stays untouched. Nothing happens for any other file.
void offerAccessImport(Dialogs& dialogs, const QString& appFolder,
                       const access::ImportOptions& options = {});

} // namespace kb
