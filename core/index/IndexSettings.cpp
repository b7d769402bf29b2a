#include "core/index/IndexSettings.h"

#include "core/config/Settings.h"

#include <QDir>
#include <QStandardPaths>

#include <cmath>
#include <cstdlib>

namespace {

double number(const std::string& key, double fallback, double low, double high) {
    const std::string text = ReadSetting("Trips/" + key);
    if (text.empty())
        return fallback;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    // A value that is no number, or out of its sensible range, leaves the default in force.
    if (end == text.c_str() || !std::isfinite(v) || v < low || v > high)
        return fallback;
    return v;
}

} // namespace

TripSettings ReadTripSettings() {
    TripSettings s;
    EventThresholds d;
    s.gapMs = int64_t(number("gapSeconds", 180, 1, 24 * 3600) * 1000);
    s.thresholds.brakingG = number("brakingG", d.brakingG, 0.05, 4);
    s.thresholds.accelerationG = number("accelerationG", d.accelerationG, 0.05, 4);
    s.thresholds.corneringG = number("corneringG", d.corneringG, 0.05, 4);
    s.thresholds.speedLimitKmh = number("speedLimitKmh", d.speedLimitKmh, 5, 400);
    s.thresholds.speedingMinMs = int64_t(number("speedingSeconds", 5, 0, 3600) * 1000);
    s.server = ReadSetting("Trips/server");
    s.localPath = ReadSetting("Trips/database");
    if (s.localPath.empty())
        s.localPath = DefaultTripIndexPath();
    return s;
}

std::string DefaultTripIndexPath() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(base).filePath("Quillent/trips.sqlite").toStdString();
}

std::unique_ptr<TripIndex> OpenTripIndex(const TripSettings& settings, std::string* error,
                                         std::string* notice) {
    if (settings.server.empty())
        return TripIndex::open(IndexLocation::sqlite(settings.localPath), error, notice);
    std::string why;
    auto server = IndexLocation::fromServerUrl(settings.server, &why);
    if (!server) {
        auto local = TripIndex::open(IndexLocation::sqlite(settings.localPath), error, notice);
        if (local && notice)
            *notice = why + " The local index is used instead.";
        return local;
    }
    return TripIndex::openWithFallback(*server, settings.localPath, error, notice);
}
