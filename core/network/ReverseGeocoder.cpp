#include "core/network/ReverseGeocoder.h"

#include "core/config/Settings.h"
#include "core/config/ViewerConfig.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QUrlQuery>

#include <algorithm>

ReverseGeocoder::Options ReverseGeocoder::OptionsFromSettings() {
    Options o;
    const QString kind = QString::fromStdString(ReadSetting("geocoder")).trimmed().toLower();
    if (kind == u"service")
        o.kind = Kind::Service;
    else if (kind == u"off")
        o.kind = Kind::Off;
    o.serviceHost = QString::fromStdString(ReadSetting("geocoderhost")).trimmed();
    const QString nominatim = QString::fromStdString(ReadSetting("nominatimhost")).trimmed();
    if (!nominatim.isEmpty())
        o.nominatimBase = nominatim;
    o.language = GetInstallerLanguage() == "korean" ? QStringLiteral("ko") : QStringLiteral("en");
    if (o.kind == Kind::Service && o.serviceHost.isEmpty())
        o.kind = Kind::Off; // a service without a host cannot be asked
    return o;
}

ReverseGeocoder::ReverseGeocoder(Options options, QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_fetcher(new UrlTextFetcher(this)) {}

QUrl ReverseGeocoder::requestUrl(const QString& latitude, const QString& longitude) const {
    if (m_options.kind == Kind::Service) {
        QString host = m_options.serviceHost;
        if (!host.contains(QLatin1String("://")))
            host.prepend(QLatin1String("http://"));
        while (host.endsWith(u'/'))
            host.chop(1);
        return QUrl(host + QStringLiteral("/ajax/geo?lat=%1&lng=%2").arg(latitude, longitude));
    }
    if (m_options.kind == Kind::Nominatim) {
        QUrl url(m_options.nominatimBase + QStringLiteral("/reverse"));
        QUrlQuery query;
        query.addQueryItem(QStringLiteral("format"), QStringLiteral("jsonv2"));
        query.addQueryItem(QStringLiteral("lat"), latitude);
        query.addQueryItem(QStringLiteral("lon"), longitude);
        query.addQueryItem(QStringLiteral("zoom"), QStringLiteral("18"));
        query.addQueryItem(QStringLiteral("accept-language"), m_options.language);
        url.setQuery(query);
        return url;
    }
    return {};
}

QString ReverseGeocoder::NominatimAddress(const QByteArray& json) {
    const QJsonDocument doc = QJsonDocument::fromJson(json);
    return doc.isObject() ? doc.object().value(QLatin1String("display_name")).toString() : QString();
}

int64_t ReverseGeocoder::reserveSlot(int64_t nowMs) {
    const int64_t slot = m_anySlot ? std::max(nowMs, m_nextSlotMs) : nowMs;
    m_anySlot = true;
    m_nextSlotMs = slot + kNominatimIntervalMs;
    return slot - nowMs;
}

void ReverseGeocoder::lookup(double latitude, double longitude, Done done) {
    const QString lat = QString::asprintf("%lf", latitude);
    const QString lon = QString::asprintf("%lf", longitude);
    const QUrl url = requestUrl(lat, lon);
    const QString key = lat + u',' + lon;
    if (url.isEmpty()) {
        QTimer::singleShot(0, this, [done] { done({}); });
        return;
    }
    if (const auto it = m_cache.constFind(key); it != m_cache.constEnd()) {
        const QString cached = *it;
        QTimer::singleShot(0, this, [done, cached] { done(cached); });
        return;
    }
    const bool nominatim = m_options.kind == Kind::Nominatim;
    auto answer = [this, key, nominatim, done](const QString& text) {
        const QString address = nominatim ? NominatimAddress(text.toUtf8()) : text.trimmed();
        if (!address.isEmpty())
            m_cache.insert(key, address);
        done(address);
    };
    const int64_t delay = nominatim ? reserveSlot(QDateTime::currentMSecsSinceEpoch()) : 0;
    QTimer::singleShot(static_cast<int>(delay), this,
                       [this, url, answer] { m_fetcher->FetchUrlText(url, answer); });
}
