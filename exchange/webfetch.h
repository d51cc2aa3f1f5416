#pragma once

#include "exchange/exporter.h"
#include "exchange/recipe.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

namespace kb::exchange {

struct FetchOptions {
    int timeoutMs = 20'000;
    qint64 maxBytes = qint64(10) << 20;
    int maxRedirects = 10;
};

struct FetchResult {
    QByteArray body;
    QString contentType; // without its parameters, in lower case
    QUrl finalUrl;       // after redirects
    QString failure;     // why there is no page, in words
    bool cancelled = false;
};

// Whether a command-line argument is a web address rather than a file name.
bool isWebAddress(const QString& text);

// Fetches a page over http or https with the system's proxy settings, following redirects up
// to the cap and only to http or https. Runs its own event loop until done; `progress` sees the
// bytes as they come and may cancel.
FetchResult fetchPage(const QUrl& url, const FetchOptions& options = {},
                      const Progress& progress = {});

// Fetches the page at `address` and reads its recipes as a saved page is read; a failure to
// fetch becomes the one problem of the result.
ReadResult readWebAddress(const QString& address, const FetchOptions& options = {},
                          const Progress& progress = {}, bool* cancelled = nullptr);

} // namespace kb::exchange
