#include "platform/fonts.h"

#include <QDir>
#include <QFontDatabase>

namespace kb {

void registerClassicFonts() {
    const QDir folder(QStringLiteral("/usr/share/wine/fonts"));
    for (const char* file : {"tahoma.ttf", "tahomabd.ttf"}) {
        const QString path = folder.filePath(QLatin1String(file));
        if (QFile::exists(path))
            QFontDatabase::addApplicationFont(path);
    }
}

} // namespace kb
