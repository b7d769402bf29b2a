#include "core/clips/ClipTrack.h"

#include "core/camera/SetupRecord.h"
#include "core/container/RecordingReader.h"
#include "core/recordings/RecordingName.h"
#include "core/tools/GpxExport.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>

namespace {

// Pixels per G of the raw counts: 8-bit counts are sixteenths of a G, 10-bit ones sixty-fourths.
float countsToG(int32_t count, int32_t mode) {
    return float(count) / (mode == 2 ? 64.0f : 16.0f);
}

// The GPS sample in force at `positionMs`: the last whose record time is not later.
const CWBCGPSData* gpsAt(const std::vector<CWBCGPSData>& gps, int64_t positionMs) {
    auto it = std::upper_bound(gps.begin(), gps.end(), positionMs, [](int64_t pos, const CWBCGPSData& s) {
        return pos < int64_t(s.timestampMs);
    });
    if (it == gps.begin())
        return gps.empty() ? nullptr : &gps.front();
    return &*std::prev(it);
}

std::string zoneText(int minutes) {
    const int a = std::abs(minutes);
    char text[16];
    std::snprintf(text, sizeof text, "UTC%c%02d:%02d", minutes < 0 ? '-' : '+', a / 60, a % 60);
    return text;
}

} // namespace

ClipTrack ClipTrack::load(const ClipPlan& plan) {
    ClipTrack track;
    bool zoneFound = false;
    for (const ClipPiece& piece : plan.pieces) {
        Piece p;
        p.piece = piece;
        std::string error;
        if (auto reader = RecordingReader::open(piece.path, &error)) {
            RecordingDataLoader loader;
            p.data = loader.Load(reader.get());
        }
        const auto& raw = p.data.store.gsensor();
        if (p.data.gsensor.size() == raw.size()) {
            for (const CGsensorData& g : p.data.gsensor)
                p.gsensorG.insert(p.gsensorG.end(), {g.x, g.y, g.z});
        } else {
            for (const RawGsensorSample& s : raw)
                p.gsensorG.insert(p.gsensorG.end(),
                                  {countsToG(s.x, s.mode), countsToG(s.y, s.mode), countsToG(s.z, s.mode)});
        }
        if (!zoneFound && p.data.hasSetupRecord) {
            SetupRecord setup = DefaultSetupRecord();
            OverlaySetupBytes(setup, p.data.setupRecord);
            const int minutes = setup.timezoneHour * 60 + setup.timezoneMinute;
            if (minutes >= -14 * 60 && minutes <= 14 * 60) {
                track.m_timezoneMinutes = minutes;
                zoneFound = true;
            }
        }
        for (const CWBCGPSData& s : p.data.store.gps())
            if (s.valid && s.timestampMs >= piece.fromMs && s.timestampMs < piece.toMs)
                track.m_route.push_back({NmeaToDegrees(s.latitude), NmeaToDegrees(s.longitude)});
        track.m_pieces.push_back(std::move(p));
    }
    return track;
}

bool ClipTrack::hasGps() const {
    return std::any_of(m_pieces.begin(), m_pieces.end(),
                       [](const Piece& p) { return !p.data.store.gps().empty(); });
}

const RecordingData* ClipTrack::data(size_t piece) const {
    return piece < m_pieces.size() ? &m_pieces[piece].data : nullptr;
}

const RecordingData* ClipTrack::firstSetupData() const {
    for (const Piece& p : m_pieces)
        if (p.data.hasSetupRecord)
            return &p.data;
    return m_pieces.empty() ? nullptr : &m_pieces.front().data;
}

ClipMoment ClipTrack::momentAt(int64_t clipMs) const {
    ClipMoment m;
    m.clipMs = clipMs;
    m.route = &m_route;
    if (m_pieces.empty())
        return m;
    // The piece in which the moment lies (the last one for moments past the end).
    size_t index = 0;
    while (index + 1 < m_pieces.size() && clipMs >= m_pieces[index + 1].piece.clipOffsetMs)
        ++index;
    const Piece& p = m_pieces[index];
    const int64_t position = p.piece.fromMs + (clipMs - p.piece.clipOffsetMs);

    const auto& gps = p.data.store.gps();
    m.recordingHasGps = !gps.empty();
    const CWBCGPSData* s = gpsAt(gps, position);
    bool timeFromGps = false;
    if (s && s->year > 0 && s->month >= 1 && s->month <= 12 && s->day >= 1) {
        // The stored hour is the UTC hour plus nine; the date is that of UTC.
        const QDate date(2000 + s->year % 100, s->month, s->day);
        if (date.isValid()) {
            QDateTime utc(date, QTime(0, 0), Qt::UTC);
            utc = utc.addMSecs((int64_t(s->hour - 9) * 3600 + s->minute * 60 + s->second) * 1000 +
                               (position - int64_t(s->timestampMs)));
            const QDateTime local = utc.addSecs(int64_t(m_timezoneMinutes) * 60);
            m.dateTime = local.toString("yyyy-MM-dd HH:mm:ss").toStdString();
            m.zone = zoneText(m_timezoneMinutes);
            timeFromGps = true;
        }
    }
    if (!timeFromGps) {
        // Without GPS time the camera's clock in the file name, as it stands.
        std::string stamp;
        if (StampFromName(p.piece.path.filename().string(), stamp, position) && stamp.size() >= 15)
            m.dateTime = stamp.substr(0, 4) + "-" + stamp.substr(4, 2) + "-" + stamp.substr(6, 2) + " " +
                         stamp.substr(9, 2) + ":" + stamp.substr(11, 2) + ":" + stamp.substr(13, 2);
    }
    if (s && s->valid && position - int64_t(s->timestampMs) <= kGpsStaleMs &&
        int64_t(s->timestampMs) - position <= kGpsStaleMs) {
        m.gpsFix = true;
        m.speedKnots = s->speed / 1.852;
        m.position = {NmeaToDegrees(s->latitude), NmeaToDegrees(s->longitude)};
        m.headingDegrees = s->course;
    }

    // The readings of the last seconds, from the recordings before the join too: oldest first.
    for (size_t j = 0; j <= index; ++j) {
        const Piece& q = m_pieces[j];
        const auto& raw = q.data.store.gsensor();
        // The moment and the window's start at this piece's positions.
        const int64_t at = q.piece.fromMs + (clipMs - q.piece.clipOffsetMs);
        const int64_t end = j == index ? at : std::min(at, q.piece.toMs - 1);
        auto first =
            std::lower_bound(raw.begin(), raw.end(), at - kGsensorWindowMs,
                             [](const RawGsensorSample& r, int64_t t) { return int64_t(r.timestampMs) < t; });
        for (auto it = first; it != raw.end() && int64_t(it->timestampMs) <= end; ++it) {
            if (j != index && int64_t(it->timestampMs) < q.piece.fromMs)
                continue; // before the clip in an earlier recording
            const size_t i = size_t(it - raw.begin()) * 3;
            if (i + 2 < q.gsensorG.size())
                m.gsensor.push_back(
                    {at - int64_t(it->timestampMs), q.gsensorG[i], q.gsensorG[i + 1], q.gsensorG[i + 2]});
        }
    }
    return m;
}
