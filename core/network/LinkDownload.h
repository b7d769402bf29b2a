// Fetches the recording a "qmv:" link names over HTTP(S) into a file, asynchronously on the thread
// that owns it, reporting DownloadProgress percentages. The file appears only when the whole body
// has arrived with a success status and as many bytes as the server's Content-Length and the link's
// size say; a body that runs past them (or past kMaxBytes when neither is known) is given up at
// once. The file never replaces one that appeared under its name meanwhile: a free name beside it
// is chosen at the end. A failure or a cancel leaves nothing behind. Used by the download window.
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

class DownloadCheck;
class ReplacingWriter;

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
    // The largest body taken when neither the server nor the link gives a size (recordings above
    // 4 GiB are not played).
    static constexpr int64_t kMaxBytes = 0xFFFFFFF0ll;
    // Bytes the network layer holds before they are written.
    static constexpr int64_t kReadBufferBytes = 1 << 20;

    explicit LinkDownload(QObject* parent = nullptr);
    ~LinkDownload() override;

    // Starts fetching `url` into `targetPath`; `expectedBytes` is the link's size (0: not given),
    // which scales the percentages and which the body must match. One download per object;
    // finished() follows exactly once.
    void start(const QUrl& url, const QString& targetPath, int64_t expectedBytes);
    // The largest body taken when no size is known (kMaxBytes unless set; tests set less).
    void setSizeCap(int64_t bytes) { m_cap = bytes; }
    // Where the file was stored: the path given to start(), or the free name chosen instead when a
    // file appeared there during the download.
    QString targetPath() const { return m_target; }
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
    // Hands the server's Content-Length to the size check; false (and failed) when it and the
    // link's size differ.
    bool learnSize();
    void fail(Result result, const QString& text);

    QNetworkAccessManager* m_network = nullptr;
    QPointer<QNetworkReply> m_reply;
    std::unique_ptr<ReplacingWriter> m_file;
    std::unique_ptr<DownloadCheck> m_check;
    QString m_target;
    int64_t m_cap = kMaxBytes;
    std::unique_ptr<DownloadProgress> m_progress;
    Result m_result = Result::Ok;
    QString m_error;
    bool m_done = false;
};
