#include "core/index/CardIndexer.h"

#include "core/index/RecordingTrackReader.h"
#include "core/index/TrackSummary.h"
#include "core/recordings/RecordingName.h"

#include <QLockFile>
#include <QMetaObject>

#include <algorithm>
#include <map>
#include <set>
#include <system_error>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

struct FoundFile {
    fs::path path;
    int64_t size = 0;
    int64_t mtimeMs = 0;
};

bool statFile(const fs::path& path, int64_t* size, int64_t* mtimeMs) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    *size = int64_t(st.st_size);
    *mtimeMs = int64_t(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    return true;
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

// Recordings below `card`, sorted by path. False when the card cannot be read at all.
bool findRecordings(const fs::path& card, const IndexRunOptions& options, std::vector<FoundFile>* out) {
    std::error_code ec;
    if (!fs::is_directory(card, ec))
        return false;
    fs::recursive_directory_iterator it(card, fs::directory_options::skip_permission_denied, ec);
    if (ec)
        return false;
    for (; it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (ec)
            return false; // the card went away under the walk
        if (it.depth() > 8) {
            it.disable_recursion_pending();
            continue;
        }
        const auto& entry = *it;
        if (!entry.is_regular_file(ec))
            continue;
        const std::string ext = lower(entry.path().extension().string());
        if (std::find(options.extensions.begin(), options.extensions.end(), ext) == options.extensions.end())
            continue;
        FoundFile f;
        f.path = entry.path();
        if (statFile(f.path, &f.size, &f.mtimeMs))
            out->push_back(std::move(f));
    }
    std::sort(out->begin(), out->end(),
              [](const FoundFile& a, const FoundFile& b) { return a.path < b.path; });
    return true;
}

IndexedRecording describe(const FoundFile& file, const std::string& card, const RecordingTrack& track,
                          const EventThresholds& thresholds) {
    IndexedRecording r;
    r.card = card;
    r.path = file.path.string();
    r.name = file.path.filename().string();
    r.kind = GetRecordingKind(r.name);
    r.sizeBytes = file.size;
    r.mtimeMs = file.mtimeMs;
    r.eventsKey = thresholds.key();
    r.lengthMs = track.lengthMs;
    r.channels = track.channels;
    const auto fromName = NameStartUtcMs(r.name);
    const TrackSummary summary = SummariseTrack(track.gps, fromName);
    r.gpsClock = summary.startUtcMs.has_value();
    r.startUtcMs = summary.startUtcMs.value_or(fromName.value_or(file.mtimeMs - r.lengthMs));
    r.hasGps = !summary.points.empty();
    r.distanceM = summary.distanceM;
    r.maxKmh = summary.maxKmh;
    r.meanKmh = summary.meanKmh;
    r.box = summary.box;
    r.track = DecimateTrack(summary.points);
    for (auto& p : r.track)
        p.utcMs = r.startUtcMs + p.offsetMs;
    r.events = FindDrivingEvents(summary.points, track.gsensor, r.startUtcMs, thresholds);
    return r;
}

} // namespace

std::string CardKey(const fs::path& card) {
    std::error_code ec;
    fs::path p = fs::weakly_canonical(fs::absolute(card, ec), ec);
    std::string s = (ec ? card : p).string();
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

IndexRunResult IndexCard(TripIndex& index, const fs::path& cardPath, const IndexRunOptions& options,
                         const std::atomic<bool>* cancel, const IndexProgress& progress) {
    IndexRunResult result;
    const std::string card = CardKey(cardPath);

    // One writer at a time per index file; a second copy of the program reads what is there.
    std::unique_ptr<QLockFile> lock;
    if (index.dialect() == SqlDialect::Sqlite) {
        lock = std::make_unique<QLockFile>(QString::fromStdString(index.location().sqlitePath + ".lock"));
        lock->setStaleLockTime(0); // only a lock whose program has ended is stale
        if (!lock->tryLock(0)) {
            result.lockedByOther = true;
            result.message =
                "Another copy of Quillent is updating the trips index. The trips shown are those "
                "it held; they are brought up to date when that copy has finished.";
            return result;
        }
    }

    std::vector<FoundFile> files;
    if (!findRecordings(cardPath, options, &files)) {
        result.cardLost = true;
        result.message = "The card or folder " + cardPath.string() + " cannot be read.";
        return result;
    }
    result.found = int(files.size());
    auto known = index.stamps(card);
    std::set<std::string> seen;

    auto stop = [&](const std::string& message) {
        result.message = message;
        return result;
    };
    int inTransaction = 0;
    if (!index.begin())
        return stop("The trips index cannot be written: " + index.lastError());
    for (size_t i = 0; i < files.size(); ++i) {
        const FoundFile& file = files[i];
        const std::string path = file.path.string();
        seen.insert(path);
        if (progress)
            progress(int(i), int(files.size()), file.path.filename().string());
        if (cancel && *cancel) {
            result.cancelled = true;
            break;
        }
        auto k = known.find(path);
        if (k != known.end() && k->second.second.sizeBytes == file.size &&
            k->second.second.mtimeMs == file.mtimeMs &&
            k->second.second.eventsKey == options.thresholds.key()) {
            ++result.unchanged;
            continue;
        }
        const RecordingTrack track = ReadRecordingTrack(file.path);
        // A file that changed or went away while it was read is not indexed this time.
        int64_t size = 0, mtime = 0;
        const bool still = statFile(file.path, &size, &mtime) && size == file.size && mtime == file.mtimeMs;
        std::error_code ec;
        if (!still && !fs::is_directory(cardPath, ec)) {
            result.cardLost = true;
            break;
        }
        if (!still)
            continue;
        if (!track.ok)
            result.problems.push_back(file.path.filename().string() + ": " + track.error);
        IndexedRecording rec = describe(file, card, track, options.thresholds);
        if (!index.putRecording(rec, k != known.end() ? k->second.first : 0)) {
            index.rollback();
            return stop("The trips index cannot be written: " + index.lastError());
        }
        ++result.read;
        if (++inTransaction >= options.recordingsPerTransaction) {
            if (!index.commit() || !index.begin())
                return stop("The trips index cannot be written: " + index.lastError());
            inTransaction = 0;
        }
    }
    // What the card no longer holds goes, but only after a whole walk of a card still there.
    if (!result.cancelled && !result.cardLost) {
        for (const auto& [path, entry] : known)
            if (!seen.count(path)) {
                if (!index.removeRecording(entry.first)) {
                    index.rollback();
                    return stop("The trips index cannot be written: " + index.lastError());
                }
                ++result.removed;
            }
    }
    if (!index.commit())
        return stop("The trips index cannot be written: " + index.lastError());
    if (progress && !result.cancelled && !result.cardLost)
        progress(int(files.size()), int(files.size()), {});
    if (result.cardLost)
        result.message = "The card was removed while it was being indexed. The " +
                         std::to_string(result.read) +
                         " recording(s) read so far are kept; the rest are read when it is back.";
    else if (result.cancelled)
        result.message = "Indexing was cancelled. The " + std::to_string(result.read) +
                         " recording(s) read so far are kept.";
    result.ok = !result.cardLost && !result.cancelled;
    return result;
}

BackgroundIndexer::BackgroundIndexer(QObject* parent) : QObject(parent) {
    qRegisterMetaType<IndexRunResult>("IndexRunResult");
}

BackgroundIndexer::~BackgroundIndexer() {
    if (m_thread) {
        m_cancel = true;
        m_thread->wait();
    }
}

bool BackgroundIndexer::isRunning() const {
    return m_working;
}

bool BackgroundIndexer::start(const IndexLocation& location, const fs::path& card,
                              const IndexRunOptions& options) {
    if (isRunning())
        return false;
    // A run that has reported its end may still be leaving its thread: a new start right after the
    // end waits for that moment instead of being refused.
    if (m_thread)
        m_thread->wait();
    m_cancel = false;
    m_working = true;
    m_thread.reset(QThread::create([this, location, card, options] {
        IndexRunResult result;
        std::string error;
        auto index = TripIndex::open(location, &error);
        if (!index) {
            result.message = error;
        } else {
            result = IndexCard(*index, card, options, &m_cancel,
                               [this](int done, int total, const std::string& name) {
                                   emit progress(done, total, QString::fromStdString(name));
                               });
        }
        index.reset();
        m_working = false;
        emit finished(result);
    }));
    m_thread->start(QThread::LowPriority);
    return true;
}
