#pragma once

class QString;

namespace kb {

// Opens a web address in the user's default browser without waiting; failures are silent.
void openInBrowser(const QString& url);

} // namespace kb
