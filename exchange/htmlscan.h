#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QList>
#include <QString>

namespace kb::exchange {

// What a page may cost to read; a page over a limit is refused in words.
struct ScanLimits {
    qsizetype maxBytes = qsizetype(32) << 20;
    qsizetype maxElements = 5'000'000;
    // Deeper nesting is read, but its elements no longer count as open: their text still
    // reaches the items around them.
    int maxDepth = 512;
    int maxItems = 20'000;
    int maxMilliseconds = 5'000;
};

struct ScriptBlock {
    QByteArray text;
    int line = 0;
};

// The parts of a web page that carry recipe data, found in one pass that builds no tree, so
// that what the page costs grows with its size only.
struct PageScan {
    QList<ScriptBlock> jsonLd; // the <script type="application/ld+json"> blocks
    // The page's microdata and RDFa items that are not a property of another, as schema.org
    // JSON-LD objects ("@type", and each property as a text or a nested object).
    QJsonArray items;
    QString canonicalUrl; // <link rel="canonical">, or the og:url
    QString imageUrl;     // og:image
    QString refusal;      // why the page was not read to its end
};

// `utf8` is the page as UTF-8.
PageScan scanPage(const QByteArray& utf8, const ScanLimits& limits = {});

} // namespace kb::exchange
