#include "ui/page/ScriptBridge.h"

#include <QDebug>

#include <cmath>
#include <limits>

namespace {
const char* const kMethodNames[] = {"DoClick",        "DoHandler",       "DoUpdateHandler",
                                    "DoSetupHandler", "DoSearchHandler", "DoDownloadHandler"};
} // namespace

QStringList bridgeMethodNames() {
    QStringList names;
    for (const char* n : kMethodNames)
        names << QString::fromLatin1(n);
    return names;
}

uint32_t GetIDsOfNames(const QStringList& names, QVector<int>& ids) {
    uint32_t result = kResultOk;
    ids.clear();
    for (const QString& name : names) {
        int id = kDispIdUnknown;
        for (int i = 0; i < static_cast<int>(std::size(kMethodNames)); ++i) {
            if (name == QLatin1String(kMethodNames[i])) {
                id = i + 1;
                break;
            }
        }
        if (id == kDispIdUnknown)
            result = kResultUnknownName;
        ids.push_back(id);
    }
    return result;
}

int commandValueToInt(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = value.toDouble();
        if (!std::isfinite(d))
            return 0;
        const double t = std::trunc(d);
        if (t > std::numeric_limits<int32_t>::max())
            return std::numeric_limits<int32_t>::max();
        if (t < std::numeric_limits<int32_t>::min())
            return std::numeric_limits<int32_t>::min();
        return static_cast<int>(t);
    }
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return static_cast<int>(value.toLongLong());
    case QMetaType::Bool:
        return value.toBool() ? 1 : 0;
    case QMetaType::QString: {
        // Like wcstol: optional blanks and sign, then digits; the rest is ignored.
        const QString text = value.toString().trimmed();
        int i = 0;
        bool negative = false;
        if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
            negative = text[i++] == u'-';
        int64_t n = 0;
        for (; i < text.size() && text[i].isDigit() && text[i].unicode() < 128; ++i) {
            n = n * 10 + (text[i].unicode() - u'0');
            if (n > std::numeric_limits<int32_t>::max())
                n = static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1;
        }
        n = negative ? -n : n;
        if (n > std::numeric_limits<int32_t>::max())
            return std::numeric_limits<int32_t>::max();
        if (n < std::numeric_limits<int32_t>::min())
            return std::numeric_limits<int32_t>::min();
        return static_cast<int>(n);
    }
    default:
        return 0;
    }
}

QString commandValueToString(const QVariant& value) {
    if (value.typeId() == QMetaType::Double) {
        const double d = value.toDouble();
        if (std::isfinite(d) && d == std::trunc(d) && std::abs(d) < 1e15)
            return QString::number(static_cast<qint64>(d));
    }
    if (!value.isValid() || value.isNull())
        return {};
    return value.toString();
}

BridgeHost* ScriptBridge::host() const {
    if (m_host)
        return m_host;
    for (QObject* o = parent(); o; o = o->parent()) {
        if (auto* host = dynamic_cast<BridgeHost*>(o))
            return host;
    }
    return nullptr;
}

void ScriptBridge::call(const QString& method, const QVariant& name, const QVariant& value) {
    QVector<int> ids;
    GetIDsOfNames({method}, ids);
    const int dispid = ids.value(0, kDispIdUnknown);
    if (dispid <= 0)
        return;
    // The page's call returns first: a command that opens a window (search, setup, print, map
    // selection, a message box) then runs its window outside the web engine's task.
    runAfterPageCall(
        this, [this, dispid, text = commandValueToString(name), value] { invoke(dispid, text, value); });
}

void ScriptBridge::runAfterPageCall(QObject* context, std::function<void()> work) {
    QMetaObject::invokeMethod(context, std::move(work), Qt::QueuedConnection);
}

void ScriptBridge::invoke(int dispid, const QString& name, const QVariant& value) {
    if (dispid <= 0)
        return;
    BridgeHost* host = this->host();
    if (name == QLatin1String("btnFormat") || dispid == kDispDoClick) {
        if (host)
            host->runPageCommand(name, commandValueToInt(value));
    } else if (host && dispid >= kDispDoSetupHandler && dispid <= kDispDoDownloadHandler) {
        PageCommandHandler* handler = dispid == kDispDoSetupHandler    ? host->setupWindow()
                                      : dispid == kDispDoSearchHandler ? host->searchWindow()
                                                                       : host->downloadWindow();
        if (handler)
            handler->handleCommand(name, commandValueToString(value));
    }
    emit invoked(dispid, name, value);
}
