#include "platform/shell.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace kb {

void openInBrowser(const QString& url) {
    // The result is deliberately ignored: no browser means nothing happens.
    (void)QDesktopServices::openUrl(QUrl(url));
}

} // namespace kb
