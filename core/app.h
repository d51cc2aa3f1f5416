#pragma once

#include <QString>

namespace kb {

// The per-process application title: message boxes without a title of their own carry it,
// and a second start finds the running instance by it.
inline const QString kAppTitle = QStringLiteral("Kettlebox");

// The product web site, as scheme and host without a trailing slash.
inline const QString kWebSite = QStringLiteral("https://kettlebox.example");

// Removes leading and trailing space characters only; tabs and line breaks stay.
QString trimSpaces(const QString& text);

} // namespace kb
