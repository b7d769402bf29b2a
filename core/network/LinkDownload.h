// Fetches the recording a "qmv:" link names over HTTP(S) into a file, asynchronously on the thread
// that owns it, reporting DownloadProgress percentages. The file appears under its name only when
// the whole body has arrived with a success status: a failure or a cancel leaves nothing behind.
// Used by the download window.
#pragma once

#include "core/network/DownloadProgress.h"

#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <cstdint>
#include <memory>

class QNetworkAccessManager;

class QSaveFile;

class LinkDownload : public QObject {
    Q_OBJECT
public:
    enum class Result {
        Ok,
        Cancelled,
        BadAddress, // not an http or https address
        Network,    // connection refused, host unknown, timeout, cut off
        HttpStatus, // the server answered, but not with success (404, 500, ...)
        File,       // the target file cannot be created or written
    };
    Q_ENUM(Result)

    // Without data for the given time the transfer is given up.
    static constexpr int kStallTimeoutMs = 30'000;

    explicit LinkDownload(QObject* parent = nullptr);
    ~LinkDownload() override;

    // Starts fetching `url` into `targetPath`; `expectedBytes` (may be 0) only scales the
    // percentages. One download per object; finished() follows exactly once.
    void start(const QUrl& url, const QString& targetPath, int64_t expectedBytes);
    // Stops a running download; finished(Cancelled) follows, nothing is left on disk.
    void cancel();
    bool isRunning() const { return m_reply != nullptr; }

    Result result() const { return m_result; }
    QString errorText() const { return m_error; } // diagnostic detail, English
    int64_t bytesReceived() const { return m_progress ? m_progress->total() : 0; }

signals:
    void progress(int percent);
    void finished(LinkDownload::Result result);

private:
    void onReadyRead();
    void onFinished();
    bool statusIsSuccess();
    void fail(Result result, const QString& text);

    QNetworkAccessManager* m_network = nullptr;
    QPointer<QNetworkReply> m_reply;
    std::unique_ptr<QSaveFile> m_file;
    std::unique_ptr<DownloadProgress> m_progress;
    Result m_result = Result::Ok;
    QString m_error;
    bool m_done = false;
};
