// FetchUrlText: an HTTP GET whose reply is a short text (a street address), asynchronous, with a
// time limit, the status checked and the body bounded. Used by the geocoder of the print report.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;

// How the program names itself to web services (some refuse requests without a real name).
inline constexpr const char* kQuillentUserAgent =
    "Quillent/0.1 (dashboard camera companion for Linux desktops)";

class UrlTextFetcher : public QObject {
    Q_OBJECT
public:
    static constexpr int kTimeoutMs = 10'000;
    static constexpr qint64 kMaxBodyBytes = 199'926;

    // Receives the body as UTF-8 up to its first zero byte; an empty string when the request failed,
    // timed out or the server did not answer with success (an error page is no answer).
    using Done = std::function<void(const QString& text)>;

    explicit UrlTextFetcher(QObject* parent = nullptr);

    // Starts the request; `done` is called exactly once, later, on this object's thread (never
    // when this object is destroyed first). At most kMaxBodyBytes of the body are kept.
    void FetchUrlText(const QUrl& url, Done done, int timeoutMs = kTimeoutMs);

private:
    QNetworkAccessManager* m_network;
};
