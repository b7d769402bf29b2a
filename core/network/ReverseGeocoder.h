// The street address of a position for the print report. The service is a setting: the camera
// maker's kind of service ("<host>/ajax/geo?lat=&lng=", plain UTF-8 reply), OpenStreetMap's
// Nominatim reverse geocoding, or none. Nominatim is asked at most once per second, with the
// program's own user agent, and every answer is kept for the rest of the run.
#pragma once

#include "core/network/UrlTextFetcher.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

class ReverseGeocoder : public QObject {
    Q_OBJECT
public:
    enum class Kind { Off, Service, Nominatim };
    static constexpr const char* kNominatimBase = "https://nominatim.openstreetmap.org";
    static constexpr int64_t kNominatimIntervalMs = 1000;

    struct Options {
        Kind kind = Kind::Nominatim;
        QString serviceHost;                                         // "http://host[:port]" for Service
        QString nominatimBase = QString::fromLatin1(kNominatimBase); // replaced by tests
        QString language = QStringLiteral("en");                     // Nominatim's accept-language
    };

    // From the stored settings "geocoder" ("service", "nominatim" or "off"; default nominatim),
    // "geocoderhost" and "nominatimhost"; the language follows the program's.
    static Options OptionsFromSettings();

    explicit ReverseGeocoder(Options options, QObject* parent = nullptr);

    using Done = std::function<void(const QString& address)>;
    // Calls `done` once, later, with the address or an empty string (no service, no network, no
    // answer in time).
    void lookup(double latitude, double longitude, Done done);

    // The address URL of a position ("%lf" texts of latitude and longitude).
    QUrl requestUrl(const QString& latitude, const QString& longitude) const;
    // The address in a Nominatim JSON answer; empty when it holds none.
    static QString NominatimAddress(const QByteArray& json);
    // Delay before a request at `nowMs` may go out, reserving its slot (one per interval).
    int64_t reserveSlot(int64_t nowMs);

private:
    Options m_options;
    UrlTextFetcher* m_fetcher;
    QHash<QString, QString> m_cache;
    int64_t m_nextSlotMs = 0;
    bool m_anySlot = false;
};
