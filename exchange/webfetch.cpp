#include "exchange/webfetch.h"

#include "exchange/jsonld.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <algorithm>

namespace kb::exchange {

namespace {

bool isHttp(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

QString megabytes(qint64 bytes) {
    return QString::number(bytes >> 20);
}

// The failure of a finished reply in words, or an empty string.
QString failureOf(QNetworkReply& reply, const FetchOptions& options) {
    const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QString host = reply.url().host();
    switch (reply.error()) {
    case QNetworkReply::NoError:
        break;
    case QNetworkReply::OperationCanceledError:
        return {};
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("the server \"%1\" was not found: there is no connection to the "
                              "internet, or the address is mistyped")
            .arg(host);
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
        return QStringLiteral("no connection to \"%1\" could be made (%2)")
            .arg(host, reply.errorString());
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("the secure connection to \"%1\" could not be checked (%2)")
            .arg(host, reply.errorString());
    case QNetworkReply::TooManyRedirectsError:
        return QStringLiteral("the address redirects more than %1 times (a redirect loop)")
            .arg(options.maxRedirects);
    case QNetworkReply::ProtocolUnknownError:
        return QStringLiteral("the address redirects to something that is not a web page");
    case QNetworkReply::ContentNotFoundError:
    case QNetworkReply::ContentGoneError:
        return QStringLiteral("the page was not found (HTTP %1)").arg(status);
    default:
        if (status >= 400)
            return QStringLiteral("the server answered HTTP %1 %2")
                .arg(status)
                .arg(reply.attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString());
        return QStringLiteral("the page could not be fetched (%1)").arg(reply.errorString());
    }
    return {};
}

} // namespace

bool isWebAddress(const QString& text) {
    return text.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
           text.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

FetchResult fetchPage(const QUrl& url, const FetchOptions& options, const Progress& progress) {
    FetchResult result;
    if (!url.isValid() || !isHttp(url) || url.host().isEmpty()) {
        result.failure =
            QStringLiteral("\"%1\" is not a web address (http:// or https://)").arg(url.toString());
        return result;
    }
    static const bool systemProxies = [] {
        QNetworkProxyFactory::setUseSystemConfiguration(true);
        return true;
    }();
    (void)systemProxies;

    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(options.maxRedirects);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Kettlebox-Recipe/2.4"));
    request.setRawHeader("Accept", "text/html,application/xhtml+xml,application/ld+json;q=0.9,"
                                   "*/*;q=0.5");
    QNetworkReply* reply = manager.get(request);
    QEventLoop loop;
    bool tooLarge = false;
    bool timedOut = false;
    bool badRedirect = false;
    int redirects = 0;
    bool redirectLoop = false;
    const auto stop = [&] { reply->abort(); };
    QObject::connect(reply, &QNetworkReply::redirected, reply, [&](const QUrl& to) {
        // Only to another web page, never to a file or another kind of address, and only so
        // many times.
        if (++redirects > options.maxRedirects) {
            redirectLoop = true;
            stop();
        } else if (!isHttp(to)) {
            badRedirect = true;
            stop();
        }
    });
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [&] {
        const qint64 announced = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
        if (announced > options.maxBytes) {
            tooLarge = true;
            stop();
        }
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [&] {
        result.body += reply->read(options.maxBytes + 1 - result.body.size());
        if (result.body.size() > options.maxBytes) {
            tooLarge = true;
            stop();
        }
    });
    // The bytes last told, told again while the server is silent, so that a cancel is seen
    // at once.
    qint64 received = 0;
    qint64 expected = 0;
    const auto askToGoOn = [&] {
        if (!result.cancelled && !reportProgress(progress, received, expected)) {
            result.cancelled = true;
            stop();
        }
    };
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                     [&](qint64 done, qint64 total) {
                         received = done;
                         expected = std::max<qint64>(total, 0);
                         askToGoOn();
                     });
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, reply, [&] {
        timedOut = true;
        stop();
    });
    deadline.start(options.timeoutMs);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, reply, askToGoOn);
    poll.start(100);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    // The user's input too: a progress window's Cancel is among it.
    if (!reply->isFinished())
        loop.exec();

    if (!tooLarge && !timedOut && !result.cancelled && reply->error() == QNetworkReply::NoError)
        result.body += reply->read(options.maxBytes + 1 - result.body.size());
    result.finalUrl = reply->url();
    result.contentType = reply->header(QNetworkRequest::ContentTypeHeader)
                             .toString()
                             .section(QLatin1Char(';'), 0, 0)
                             .trimmed()
                             .toLower();
    if (result.cancelled)
        result.failure = QStringLiteral("the download was cancelled");
    else if (tooLarge || result.body.size() > options.maxBytes)
        result.failure = QStringLiteral("the page is larger than %1 MB, far larger than a "
                                        "recipe page")
                             .arg(megabytes(options.maxBytes));
    else if (redirectLoop)
        result.failure =
            QStringLiteral("the address redirects more than %1 times (a redirect loop)")
                .arg(options.maxRedirects);
    else if (badRedirect || reply->error() == QNetworkReply::ProtocolUnknownError)
        result.failure = QStringLiteral("the address redirects to something that is not a web "
                                        "page");
    else if (timedOut)
        result.failure = QStringLiteral("the server did not send the page within %1 seconds")
                             .arg(options.timeoutMs / 1000.0);
    else
        result.failure = failureOf(*reply, options);
    if (!result.failure.isEmpty())
        result.body.clear();
    delete reply;
    return result;
}

namespace {

// Whether `url` belongs to the site of `page`: the same host, or one that shares its last two
// labels (www.cook.example and img.cook.example). A page does not send us elsewhere.
bool sameSite(const QUrl& url, const QUrl& page) {
    const QStringList labels = page.host().toLower().split(QLatin1Char('.'));
    const QString site =
        labels.mid(std::max<qsizetype>(0, labels.size() - 2)).join(QLatin1Char('.'));
    const QString host = url.host().toLower();
    if (host == page.host().toLower())
        return true;
    // An address by number, or a bare name, has no site beyond itself.
    if (!QHostAddress(page.host()).isNull() || labels.size() < 2)
        return false;
    return host == site || host.endsWith(QLatin1Char('.') + site);
}

// The photo of each recipe a fetched page names by address on its own site, fetched with the
// page's own caps (a photo at most as large as a recipe keeps); one that can't be had is said,
// not fatal.
void fetchPhotos(ReadResult& read, const QUrl& page, const FetchOptions& options,
                 const Progress& progress) {
    // A page of many recipes is not a reason for many fetches.
    constexpr int kMostPhotos = 5;
    int fetched = 0;
    FetchOptions photoOptions = options;
    photoOptions.maxBytes = std::min<qint64>(options.maxBytes, kMaxPhotoBytes);
    for (RecipeRecord& r : read.recipes) {
        const QUrl url = page.resolved(QUrl(r.details.image));
        if (!r.details.photo.isEmpty() || r.details.image.isEmpty() || !isHttp(url) ||
            !sameSite(url, page) || fetched++ >= kMostPhotos || !reportProgress(progress, 0, 0))
            continue;
        const FetchResult photo = fetchPage(url, photoOptions, progress);
        if (photo.cancelled)
            return;
        if (!photo.failure.isEmpty())
            r.notes << QStringLiteral("its photo could not be fetched: ") + photo.failure;
        else if (!photo.contentType.startsWith(QLatin1String("image/")))
            r.notes << QStringLiteral("its photo's address gave no image but %1")
                           .arg(photo.contentType.isEmpty() ? QStringLiteral("nothing")
                                                            : photo.contentType);
        else
            r.details.photo = photo.body;
    }
}

} // namespace

ReadResult readWebAddress(const QString& address, const FetchOptions& options,
                          const Progress& progress, bool* cancelled) {
    const FetchResult page = fetchPage(QUrl(address.trimmed()), options, progress);
    if (cancelled)
        *cancelled = page.cancelled;
    ReadResult read;
    if (page.failure.isEmpty()) {
        const QString& type = page.contentType;
        const bool json = type == QLatin1String("application/ld+json") ||
                          type == QLatin1String("application/json");
        const bool html = type.isEmpty() || type.startsWith(QLatin1String("text/")) ||
                          type.contains(QLatin1String("html")) ||
                          type.contains(QLatin1String("xml"));
        if (json) {
            read = readJsonLd(page.body);
        } else if (html) {
            read = readHtml(page.body, page.finalUrl.toString());
        } else {
            read.problems << SourceProblem{
                QStringLiteral("the address"),
                QStringLiteral("it is not a web page but %1, so not a recipe page").arg(type)};
        }
        fetchPhotos(read, page.finalUrl, options, progress);
        return read;
    }
    read.format = QStringLiteral("web address");
    read.problems << SourceProblem{QStringLiteral("the address"), page.failure};
    return read;
}

} // namespace kb::exchange
