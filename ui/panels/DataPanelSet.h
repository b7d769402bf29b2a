// The main window's data panels (G-sensor, accelerometer, speed, map) as one set: creates them,
// hands them the playback session, carries speed-unit changes to the speed panel, and docks or
// floats them. The main window installs the widgets in its panel places and lays docked ones out.
#pragma once

#include "ui/panels/GsensorPopup.h"
#include "ui/panels/AccelerometerPanel.h"
#include "ui/panels/GsensorPanel.h"
#include "ui/map/MapPanel.h"
#include "ui/panels/SpeedPanel.h"

#include <QObject>
#include <QPointer>
#include <QRect>

#include <array>
#include <functional>

class PlaybackSession;
class QWidget;

class DataPanelSet : public QObject {
    Q_OBJECT
public:
    enum class Which { Gsensor, Accelerometer, Speed, Map, Count };
    static constexpr int kFloatingWidth = 640;
    static constexpr int kFloatingHeight = 240; // the map floats 480 high

    // The panels are created as children of `mainWindow`; `monitor` is the map's connection
    // check (nullptr: its own).
    explicit DataPanelSet(QWidget* mainWindow, ConnectivityMonitor* monitor = nullptr);
    ~DataPanelSet() override;

    SpeedPanel* speed() const { return m_speed; }
    GsensorPanel* gsensor() const { return m_gsensor; }
    AccelerometerPanel* accelerometer() const { return m_accelerometer; }
    MapPanel* map() const { return m_map; }
    QWidget* panel(Which which) const;

    // Every panel follows `session` (nullptr: none).
    void setSession(PlaybackSession* session);
    // The speed panel's unit (1 km/h, 2 mph, else knots): full scale and curve follow.
    void setSpeedUnit(int unit);

    // Tells the main window a panel's docking flag changed: a docked panel is placed by its
    // layout, a floating one is left where it is. Returns whether a docked panel is shown (the
    // map only is hidden while the map display is off).
    using DockedSetter = std::function<bool(Which which, bool docked)>;
    void setDockedSetter(DockedSetter setter) { m_setDocked = std::move(setter); }
    // A floating panel (or any with `forceDock`) docks, a docked one floats.
    // A floating panel comes back where and as large as it was last time in this run (moved onto a
    // screen if that one is gone); the first time it opens beside the main window.
    void dockOrFloat(Which which, bool forceDock = false);
    // Closing: floating panels come home so they close with the window.
    void dockAll();

    // Command 1098 ("btnGSensor"): creates the two pop-up G-sensor windows on first use, then
    // shows each that is hidden (side by side beside the main window) and hides each that is shown.
    // They hide by themselves when the player goes idle.
    void toggleGsensorWindows();
    GsensorPopup* gsensorWindow() const { return m_gsensorWindow; }
    GsensorPopup* accelerometerWindow() const { return m_accelerometerWindow; }

signals:
    // A G-sensor pop-up's close button was clicked: the main window toggles the two pop-ups.
    void gsensorWindowsClosed();

private:
    QRect floatingFrame(Which which) const; // frame rectangle of a panel's first float

    QWidget* m_mainWindow;
    QPointer<SpeedPanel> m_speed;
    QPointer<GsensorPanel> m_gsensor;
    QPointer<AccelerometerPanel> m_accelerometer;
    QPointer<MapPanel> m_map;
    QPointer<GsensorPopup> m_gsensorWindow;
    QPointer<GsensorPopup> m_accelerometerWindow;
    PlaybackSession* m_session = nullptr;
    std::array<QRect, static_cast<int>(Which::Count)> m_floatingGeometry{};
    DockedSetter m_setDocked;
};
