#include "ui/trips/TripsPageData.h"

#include "core/index/TrackSummary.h"

#include <QStringList>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

void number(std::string& out, double v, int decimals) {
    char text[64];
    const auto r = std::to_chars(text, text + sizeof text, std::isfinite(v) ? v : 0.0,
                                 std::chars_format::fixed, decimals);
    out.append(text, r.ptr);
}

void integer(std::string& out, int64_t v) {
    out += std::to_string(v);
}

void quoted(std::string& out, const std::string& text) {
    out += '"';
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += char(c);
        }
    }
    out += '"';
}

void trackOf(std::string& out, const IndexedRecording& r) {
    out += ",\"track\":[";
    std::string breaks;
    for (size_t i = 0; i < r.track.size(); ++i) {
        const TrackPoint& p = r.track[i];
        if (i)
            out += ',';
        number(out, p.lat, 6);
        out += ',';
        number(out, p.lon, 6);
        out += ',';
        integer(out, p.offsetMs);
        out += ',';
        number(out, p.kmh, 1);
        if (p.breakBefore && i) {
            if (!breaks.empty())
                breaks += ',';
            breaks += std::to_string(i);
        }
    }
    out += "],\"breaks\":[" + breaks + "]";
}

void eventsOf(std::string& out, const IndexedRecording& r) {
    out += ",\"events\":[";
    for (size_t i = 0; i < r.events.size(); ++i) {
        const DrivingEvent& e = r.events[i];
        out += i ? ",[" : "[";
        integer(out, int(e.type));
        out += ',';
        integer(out, e.offsetMs);
        out += ',';
        number(out, e.lat, 6);
        out += ',';
        number(out, e.lon, 6);
        out += ',';
        number(out, e.strength, 2);
        out += e.hasPlace ? ",1]" : ",0]";
    }
    out += ']';
}

// One trip's object; marks its recordings' trip in `tripOf`.
void tripJson(std::string& out, const Trip& trip, size_t t, std::vector<int>& tripOf) {
    out += t ? ",{" : "{";
    out += "\"start\":";
    integer(out, trip.startUtcMs);
    out += ",\"end\":";
    integer(out, trip.endUtcMs);
    out += ",\"distanceM\":";
    number(out, trip.distanceM, 1);
    out += ",\"maxKmh\":";
    number(out, trip.maxKmh, 1);
    out += ",\"meanKmh\":";
    number(out, trip.meanKmh, 1);
    out += ",\"events\":[";
    for (size_t k = 0; k < trip.eventCounts.size(); ++k)
        out += (k ? "," : "") + std::to_string(trip.eventCounts[k]);
    out += "],\"camera\":" + std::to_string(trip.cameraEventRecordings) + ",\"recordings\":[";
    for (size_t k = 0; k < trip.recordings.size(); ++k) {
        out += (k ? "," : "") + std::to_string(trip.recordings[k]);
        if (trip.recordings[k] < tripOf.size())
            tripOf[trip.recordings[k]] = int(t);
    }
    out += "]}";
}

// One recording's object with its track and events.
void recordingJson(std::string& out, const IndexedRecording& r, size_t i, int trip) {
    out += i ? ",{" : "{";
    out += "\"name\":";
    quoted(out, r.name);
    out += ",\"kind\":" + std::to_string(r.kind) + ",\"start\":";
    integer(out, r.startUtcMs);
    out += ",\"lengthMs\":";
    integer(out, r.lengthMs);
    out += ",\"trip\":" + std::to_string(trip) + ",\"gps\":" + (r.hasGps ? "true" : "false");
    out += ",\"distanceM\":";
    number(out, r.distanceM, 1);
    out += ",\"maxKmh\":";
    number(out, r.maxKmh, 1);
    trackOf(out, r);
    eventsOf(out, r);
    out += '}';
}

} // namespace

QByteArray tripsPageJson(const std::vector<IndexedRecording>& recordings, const std::vector<Trip>& trips) {
    std::vector<int> tripOf(recordings.size(), -1);
    // Times are shown on the camera's clock, as the recordings' names and the player show them.
    std::string out = "{\"clockOffsetMs\":" + std::to_string(kCameraClockOffsetMs) + ",\"trips\":[";
    out.reserve(64 + recordings.size() * 600);
    for (size_t t = 0; t < trips.size(); ++t)
        tripJson(out, trips[t], t, tripOf);
    out += "],\"recordings\":[";
    for (size_t i = 0; i < recordings.size(); ++i)
        recordingJson(out, recordings[i], i, tripOf[i]);
    out += "]}";
    return QByteArray::fromStdString(out);
}

QByteArray nearPageJson(const std::vector<PlaceHit>& hits, const std::vector<IndexedRecording>& recordings) {
    std::string out = "[";
    bool first = true;
    for (const PlaceHit& hit : hits) {
        size_t index = recordings.size();
        for (size_t i = 0; i < recordings.size(); ++i)
            if (recordings[i].id == hit.recordingId || recordings[i].path == hit.path) {
                index = i;
                break;
            }
        if (index == recordings.size())
            continue;
        out += first ? "{" : ",{";
        first = false;
        out += "\"recording\":" + std::to_string(index) + ",\"offsetMs\":";
        integer(out, hit.offsetMs);
        out += ",\"distanceM\":";
        number(out, hit.distanceM, 1);
        out += '}';
    }
    out += ']';
    return QByteArray::fromStdString(out);
}

std::optional<TripsExportRequest> parseTripsExport(const QString& text, size_t tripCount) {
    const QStringList parts = text.split(QLatin1Char(';'));
    TripsExportRequest request;
    const QString format = parts.value(0).trimmed().toLower();
    if (format == QLatin1String("gpx"))
        request.format = TripsExportRequest::Format::Gpx;
    else if (format == QLatin1String("csv"))
        request.format = TripsExportRequest::Format::Csv;
    else
        return std::nullopt;
    for (const QString& item : parts.value(1).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const qulonglong t = item.trimmed().toULongLong(&ok);
        if (!ok || t >= tripCount)
            return std::nullopt;
        if (std::find(request.trips.begin(), request.trips.end(), size_t(t)) == request.trips.end())
            request.trips.push_back(size_t(t));
    }
    if (parts.size() > 2) {
        request.eventTypes.fill(false);
        for (const QString& item : parts.value(2).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            DrivingEventType type;
            if (DrivingEventFromName(item.trimmed().toStdString(), &type))
                request.eventTypes[size_t(type)] = true;
        }
    }
    std::sort(request.trips.begin(), request.trips.end());
    return request;
}

TripsExportData selectForExport(const TripsExportRequest& request, const std::vector<Trip>& trips,
                                const std::vector<IndexedRecording>& recordings) {
    TripsExportData data;
    for (size_t t : request.trips) {
        if (t >= trips.size())
            continue;
        Trip trip = trips[t];
        trip.recordings.clear();
        trip.eventCounts.fill(0);
        for (size_t i : trips[t].recordings) {
            if (i >= recordings.size())
                continue;
            IndexedRecording r = recordings[i];
            std::erase_if(r.events,
                          [&](const DrivingEvent& e) { return !request.eventTypes[size_t(e.type)]; });
            for (const DrivingEvent& e : r.events)
                ++trip.eventCounts[size_t(e.type)];
            trip.recordings.push_back(data.recordings.size());
            data.recordings.push_back(std::move(r));
        }
        data.trips.push_back(std::move(trip));
    }
    return data;
}
