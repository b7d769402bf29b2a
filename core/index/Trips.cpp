#include "core/index/Trips.h"

#include "core/common/CText.h"
#include "core/recordings/RecordingName.h"
#include "core/tools/GpxExport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <climits>
#include <ctime>

namespace {

// Joined recordings' positions are this close in time or the join is not drawn or counted.
constexpr int64_t kJoinMaxMs = 60 * 1000;

std::string csvField(const std::string& in) {
    if (in.find_first_of(",\"\n") == std::string::npos)
        return in;
    std::string out = "\"";
    for (char c : in)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string fileName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

std::string UtcText(int64_t utcMs) {
    const std::time_t t = std::time_t(utcMs / 1000 - (utcMs % 1000 < 0 ? 1 : 0));
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

std::vector<Trip> BuildTrips(const std::vector<IndexedRecording>& recordings, int64_t gapMs) {
    std::vector<size_t> order;
    for (size_t i = 0; i < recordings.size(); ++i)
        // A file that could not be read (no length, no position) is listed, but drove nowhere.
        if (recordings[i].kind != kKindMotion && (recordings[i].lengthMs > 0 || recordings[i].hasGps))
            order.push_back(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return recordings[a].startUtcMs < recordings[b].startUtcMs; });

    std::vector<Trip> trips;
    int64_t coveredUntil = 0; // end of the time the current trip's recordings have covered
    const TrackPoint* lastPoint = nullptr;
    double timedMs = 0;
    auto finish = [&] {
        if (!trips.empty())
            trips.back().meanKmh = timedMs > 0 ? trips.back().distanceM / (timedMs / 1000.0) * 3.6 : 0;
    };
    for (size_t index : order) {
        const IndexedRecording& r = recordings[index];
        const int64_t end = r.startUtcMs + std::max<int64_t>(r.lengthMs, 0);
        if (trips.empty() || r.startUtcMs - coveredUntil >= gapMs) {
            finish();
            trips.emplace_back();
            trips.back().startUtcMs = r.startUtcMs;
            coveredUntil = r.startUtcMs;
            lastPoint = nullptr;
            timedMs = 0;
        }
        Trip& trip = trips.back();
        trip.recordings.push_back(index);
        trip.endUtcMs = std::max(trip.endUtcMs, end);
        trip.maxKmh = std::max(trip.maxKmh, r.maxKmh);
        if (r.kind == kKindEvent || r.kind == kKindEmergency)
            ++trip.cameraEventRecordings;
        for (const DrivingEvent& e : r.events)
            ++trip.eventCounts[size_t(e.type)];

        // Only the part of this recording after the positions the trip already has adds distance
        // (an event recording repeats a stretch of the normal one).
        const int64_t newFrom = lastPoint ? lastPoint->utcMs : INT64_MIN;
        const TrackPoint* previous = nullptr;
        for (const TrackPoint& p : r.track) {
            if (p.utcMs <= newFrom) {
                previous = &p;
                continue;
            }
            if (!trip.startPlace)
                trip.startPlace = std::make_pair(p.lat, p.lon);
            trip.endPlace = std::make_pair(p.lat, p.lon);
            const TrackPoint* from = previous && !p.breakBefore ? previous : (previous ? nullptr : lastPoint);
            if (from && p.utcMs - from->utcMs <= kJoinMaxMs && p.utcMs > from->utcMs) {
                const double d = DistanceMetres(from->lat, from->lon, p.lat, p.lon);
                if (d <= 25.0 + kMaxPlausibleKmh / 3.6 * double(p.utcMs - from->utcMs) / 1000.0) {
                    trip.distanceM += d;
                    timedMs += double(p.utcMs - from->utcMs);
                }
            }
            previous = &p;
            lastPoint = &p;
        }
        coveredUntil = std::max(coveredUntil, end);
    }
    finish();
    return trips;
}

std::string TripsGpx(const std::vector<Trip>& trips, const std::vector<IndexedRecording>& recordings) {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gpx version=\"1.1\" creator=\"Quillent\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n";
    for (size_t t = 0; t < trips.size(); ++t)
        for (size_t i : trips[t].recordings)
            for (const DrivingEvent& e : recordings[i].events) {
                if (!e.hasPlace)
                    continue;
                out += "  <wpt lat=\"" + FormatFixed(e.lat, 6) + "\" lon=\"" + FormatFixed(e.lon, 6) + "\">";
                out += "<time>" + UtcText(e.utcMs) + "</time><name>" + DrivingEventName(e.type) + "</name>";
                out += "<desc>trip " + std::to_string(t + 1) + ", " + XmlEscaped(recordings[i].name) +
                       " at " + std::to_string(e.offsetMs) + " ms, strength " + FormatFixed(e.strength, 2) +
                       "</desc>";
                out += "<type>" + std::string(DrivingEventName(e.type)) + "</type></wpt>\n";
            }
    for (size_t t = 0; t < trips.size(); ++t) {
        out +=
            "  <trk><name>Trip " + std::to_string(t + 1) + " " + UtcText(trips[t].startUtcMs) + "</name>\n";
        bool open = false;
        for (size_t i : trips[t].recordings) {
            for (const TrackPoint& p : recordings[i].track) {
                if (!open || p.breakBefore) {
                    if (open)
                        out += "    </trkseg>\n";
                    out += "    <trkseg>\n";
                    open = true;
                }
                out += "      <trkpt lat=\"" + FormatFixed(p.lat, 6) + "\" lon=\"" + FormatFixed(p.lon, 6) +
                       "\"><time>" + UtcText(p.utcMs) + "</time></trkpt>\n";
            }
            // Each recording starts a new piece; the join is drawn only within a recording.
            if (open) {
                out += "    </trkseg>\n";
                open = false;
            }
        }
        out += "  </trk>\n";
    }
    return out + "</gpx>\n";
}

std::string TripsCsv(const std::vector<Trip>& trips, const std::vector<IndexedRecording>& recordings) {
    std::string out = "row,trip,start_utc,end_utc,lat,lon,end_lat,end_lon,distance_m,duration_s,max_kmh,"
                      "mean_kmh,braking,acceleration,cornering,speeding,event,strength,recording,offset_ms\n";
    auto place = [](const std::optional<std::pair<double, double>>& p) {
        return p ? FormatFixed(p->first, 6) + "," + FormatFixed(p->second, 6) : std::string(",");
    };
    for (size_t t = 0; t < trips.size(); ++t) {
        const Trip& trip = trips[t];
        out += "trip," + std::to_string(t + 1) + "," + UtcText(trip.startUtcMs) + "," +
               UtcText(trip.endUtcMs) + "," + place(trip.startPlace) + "," + place(trip.endPlace) + "," +
               FormatFixed(trip.distanceM, 1) + "," + std::to_string(trip.durationMs() / 1000) + "," +
               FormatFixed(trip.maxKmh, 1) + "," + FormatFixed(trip.meanKmh, 1);
        for (int c : trip.eventCounts)
            out += "," + std::to_string(c);
        out += ",,,,\n";
    }
    for (size_t t = 0; t < trips.size(); ++t)
        for (size_t i : trips[t].recordings)
            for (const DrivingEvent& e : recordings[i].events) {
                out += "event," + std::to_string(t + 1) + "," + UtcText(e.utcMs) + ",,";
                out += e.hasPlace ? FormatFixed(e.lat, 6) + "," + FormatFixed(e.lon, 6) : std::string(",");
                out += ",,,,,,,,,,,," + std::string(DrivingEventName(e.type)) + "," +
                       FormatFixed(e.strength, 2) + "," + csvField(recordings[i].name) + "," +
                       std::to_string(e.offsetMs) + "\n";
            }
    return out;
}

std::string TripsJson(const std::vector<Trip>& trips, const std::vector<IndexedRecording>& recordings) {
    QJsonArray list;
    for (size_t t = 0; t < trips.size(); ++t) {
        const Trip& trip = trips[t];
        QJsonObject o;
        o["trip"] = int(t + 1);
        o["start"] = QString::fromStdString(UtcText(trip.startUtcMs));
        o["end"] = QString::fromStdString(UtcText(trip.endUtcMs));
        o["startMs"] = double(trip.startUtcMs);
        o["durationS"] = double(trip.durationMs() / 1000);
        o["distanceM"] = std::round(trip.distanceM * 10) / 10;
        o["maxKmh"] = std::round(trip.maxKmh * 10) / 10;
        o["meanKmh"] = std::round(trip.meanKmh * 10) / 10;
        if (trip.startPlace)
            o["startPlace"] = QJsonArray{trip.startPlace->first, trip.startPlace->second};
        if (trip.endPlace)
            o["endPlace"] = QJsonArray{trip.endPlace->first, trip.endPlace->second};
        QJsonObject counts;
        for (size_t k = 0; k < trip.eventCounts.size(); ++k)
            counts[DrivingEventName(DrivingEventType(k))] = trip.eventCounts[k];
        o["eventCounts"] = counts;
        o["cameraEventRecordings"] = trip.cameraEventRecordings;
        QJsonArray recs, events;
        for (size_t i : trip.recordings) {
            const IndexedRecording& r = recordings[i];
            recs.append(QString::fromStdString(r.path));
            for (const DrivingEvent& e : r.events) {
                QJsonObject ev;
                ev["type"] = DrivingEventName(e.type);
                ev["time"] = QString::fromStdString(UtcText(e.utcMs));
                ev["recording"] = QString::fromStdString(r.path);
                ev["offsetMs"] = double(e.offsetMs);
                ev["strength"] = std::round(e.strength * 100) / 100;
                if (e.hasPlace) {
                    ev["lat"] = e.lat;
                    ev["lon"] = e.lon;
                }
                events.append(ev);
            }
        }
        o["recordings"] = recs;
        o["events"] = events;
        list.append(o);
    }
    QJsonObject root;
    root["trips"] = list;
    return QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
}

std::string TripsText(const std::vector<Trip>& trips, const std::vector<IndexedRecording>& recordings) {
    std::string out;
    for (size_t t = 0; t < trips.size(); ++t) {
        const Trip& trip = trips[t];
        out += "Trip " + std::to_string(t + 1) + "  " + UtcText(trip.startUtcMs) + " - " +
               UtcText(trip.endUtcMs) + "  " + FormatFixed(trip.distanceM / 1000.0, 2) + " km  " +
               std::to_string(trip.durationMs() / 1000) + " s  max " + FormatFixed(trip.maxKmh, 0) +
               " km/h  mean " + FormatFixed(trip.meanKmh, 0) + " km/h  " +
               std::to_string(trip.recordings.size()) + " recording(s)";
        for (size_t k = 0; k < trip.eventCounts.size(); ++k)
            out += "  " + std::string(DrivingEventName(DrivingEventType(k))) + " " +
                   std::to_string(trip.eventCounts[k]);
        out += "\n";
        for (size_t i : trip.recordings)
            for (const DrivingEvent& e : recordings[i].events) {
                out += "  " + std::string(DrivingEventName(e.type)) + "  " + UtcText(e.utcMs) + "  " +
                       fileName(recordings[i].path) + " at " + FormatFixed(double(e.offsetMs) / 1000.0, 1) +
                       " s  ";
                out += e.hasPlace ? FormatFixed(e.lat, 6) + "," + FormatFixed(e.lon, 6)
                                  : std::string("no position");
                out += "  " + FormatFixed(e.strength, 2) +
                       (e.type == DrivingEventType::Speeding ? " km/h" : " G") + "\n";
            }
    }
    return out;
}
