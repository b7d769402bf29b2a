#include "core/camera/SettingString.h"

#include "core/common/CText.h"

#include <array>

namespace {

// Stores a 64-bit intermediate into a field of any width; wider values wrap as the page's
// integer did when it was stored into the field.
template <typename Field> void store(Field& field, int64_t value) {
    field = static_cast<Field>(static_cast<uint64_t>(value));
}

// Button values are 1-based on the page and 0-based in the record.
struct ButtonField {
    int index;
    std::string_view function;
};

} // namespace

void ParseSettingString(std::string_view text, SetupRecord& r) {
    SetDefaults(r);
    auto values = SplitText(text, '|');
    auto raw = [&](int i) -> std::string_view {
        return i < static_cast<int>(values.size()) ? values[i] : "";
    };
    auto n = [&](int i) -> int64_t { return CAtoi(raw(i)); };
    auto b = [&](int i) -> int64_t { return n(i) - 1; };
    auto f = [&](int i) -> float { return static_cast<float>(CAtof(raw(i))); };

    store(r.overspeedLimit, n(0));
    store(r.suddenAccelThreshold, n(1));
    store(r.suddenBrakeThreshold, n(2));
    store(r.slide2, n(3));
    store(r.slide3, n(4));
    store(r.slide4, n(5));
    // 6: slide5 is always 1.

    store(r.rear, b(7));
    store(r.quality, b(8));
    store(r.fps, b(9));
    store(r.parking, b(10));
    store(r.audio, b(11));
    store(r.summertime, b(12));
    store(r.emergency, b(13));
    store(r.gSensor, b(14));
    store(r.sound, b(15));
    store(r.videoMode, b(16));
    store(r.videoOut, b(17));
    store(r.frontLed, b(18));
    store(r.securityLed, b(19));
    store(r.frontRotation, b(20));
    store(r.inCabinRotation, b(21));

    store(r.fileType, b(22));
    store(r.useOverspeedFps, b(23));
    store(r.overspeedFps, b(24));
    store(r.rearMirror, b(25));
    store(r.overspeed, b(26));
    store(r.suddenAccel, b(27));
    store(r.suddenBrake, b(28));
    store(r.fileNamingRule, b(29));
    store(r.overlayTime, b(30));
    store(r.speedType, b(31));
    store(r.overlayType, b(32));
    store(r.overlaySize, b(33));
    store(r.network, b(34));
    store(r.modemPort, b(35));
    store(r.ledScenario, b(36));

    store(r.streamingChannel, b(37));
    store(r.parkFps, b(38));
    store(r.usbBackup, b(39));
    store(r.lbp, b(40));
    store(r.externalEvent, b(41));
    store(r.fileBackup, b(42));
    store(r.usbStorage, b(43));
    store(r.usbEvent, b(44));
    store(r.localBackup, b(45));
    store(r.networkSendType, b(46));
    store(r.lanType, b(47));
    store(r.lan, b(48));

    // 51: hours * 100 + minutes, signed; 52 and 53 are not used.
    int32_t tz = CAtoi(raw(51));
    r.timezoneHour = tz / 100;
    r.timezoneMinute = tz - 100 * r.timezoneHour;
    store(r.timezone, n(54));

    SetSetupText(r.company, raw(55));
    SetSetupText(r.vehicle, raw(56));
    SetSetupText(r.vehicleNumber, raw(57));
    SetSetupText(r.driver, raw(58));
    SetSetupText(r.user, raw(59));
    SetSetupText(r.passwd, raw(60));
    SetSetupText(r.ssid, raw(61));
    SetSetupText(r.key, raw(62));
    store(r.lbpTime, n(63));
    std::memset(r.hostname, 0, sizeof(r.hostname));
    SetSetupText(r.hostname, raw(64));

    int64_t recTime = n(65);
    store(r.recTime, recTime < 60 ? 60 : recTime > 120 ? 120 : recTime);
    auto eventTime = [](int64_t v) -> int64_t { return (v == 0 || v > 15) ? 15 : v; };
    store(r.eventPreTime, n(66));
    store(r.eventAfterTime, n(67));
    r.eventPreTime = static_cast<uint16_t>(eventTime(r.eventPreTime));
    r.eventAfterTime = static_cast<uint16_t>(eventTime(r.eventAfterTime));
    store(r.gpsFlags, n(68));
    if (r.gpsFlags == 0)
        r.gpsFlags = 7;
    std::memset(r.localHostname, 0, sizeof(r.localHostname));
    SetSetupText(r.localHostname, raw(69));
    store(r.overspeedTime, n(70));
    store(r.suddenAccelTime, n(71));
    store(r.suddenBrakeTime, n(72));
    store(r.dstA, n(73));
    store(r.dstB, n(74));

    // The page splits each harsh level into a group (49, 50) of five steps and a step (75, 76).
    store(r.harshAccelLevel, n(75) + 5 * (n(49) - 1));
    store(r.harshBrakeLevel, n(76) + 5 * (n(50) - 1));
    store(r.harshLeftLevel, n(77));
    store(r.harshRightLevel, n(78));
    r.harshAccelA = f(79);
    r.harshBrakeA = f(80);
    r.harshLeftA = f(81);
    r.harshRightA = f(82);
    r.harshAccelB = f(83);
    r.harshBrakeB = f(84);
    r.harshLeftB = f(85);
    r.harshRightB = f(86);

    // Values the camera firmware does not let the user change.
    r.recTime = 60;
    r.eventPreTime = 15;
    r.eventAfterTime = 15;
    r.networkSendType = 1;
    r.rear = 2;
    r.fileType = 1;
    r.useOverspeedFps = 0;
    r.overspeedFps = r.fps;
    r.parkFps = r.fps;
    r.overlayType = 3;
    r.overlaySize = 1;
    r.usbStorage = 0;
    r.slide5 = 1;

    // The page's three security-LED choices are two record fields: 2 means "on with scenario".
    if (r.securityLed == 1) {
        r.ledScenario = 0;
    } else if (r.securityLed == 2) {
        r.securityLed = 1;
        r.ledScenario = 1;
    }
}

std::vector<PageCall> PopulateCalls(SetupRecord& r) {
    std::vector<PageCall> calls;
    auto call = [&](std::string function, std::vector<PageArg> args) {
        calls.push_back({std::move(function), std::move(args)});
    };
    auto button = [&](const char* function, int64_t field) { call(function, {field + 1}); };
    auto text = [&](const char* element, std::string value) {
        call("setText", {std::string(element), value});
    };
    auto decimal = [](int64_t v) { return std::to_string(v); };

    if (r.ledScenario == 1 && r.securityLed == 1)
        r.securityLed = 2;
    if (r.network == 1)
        r.network = 0;
    else if (r.network != 0)
        r.network = 6;

    button("btnRear_click", r.rear);
    button("btnQuality_click", r.quality);
    button("btnFps_click", r.fps);
    button("btnParking_click", r.parking);
    button("btnAudio_click", r.audio);
    button("btnSummertime_click", r.summertime);
    button("btnEmergency_click", r.emergency);
    button("btnGsensor_click", r.gSensor);
    button("btnSound_click", r.sound);
    button("btnVideomode_click", r.videoMode);
    button("btnVideoout_click", r.videoOut);
    button("btnFrontled_click", r.frontLed);
    button("btnSecurityled_click", r.securityLed);
    button("btnFrontrotation_click", r.frontRotation);
    button("btnIncabinrotation_click", r.inCabinRotation);
    button("btnWifi_click", r.network);

    call("setTimezone", {int64_t{r.timezone}});
    call("setTimezoneHour", {int64_t{r.timezoneHour}});
    call("setTimezoneMinute", {int64_t{r.timezoneMinute}});
    button("btnFiletype_click", r.fileType);
    call("callSetSlide", {int64_t{2}, int64_t{r.slide2}});

    text("company", GetSetupText(r.company));
    text("vehicle", GetSetupText(r.vehicle));
    text("vehiclenumber", GetSetupText(r.vehicleNumber));
    text("driver", GetSetupText(r.driver));
    text("user", GetSetupText(r.user));
    text("passwd", GetSetupText(r.passwd));

    ClampTimesForShow(r);
    text("rectime", decimal(r.recTime));
    text("eventpretime", decimal(r.eventPreTime));
    text("eventaftertime", decimal(r.eventAfterTime));

    if (r.network == 6) {
        const char* function = (r.lanType == 1 && r.lan == 1) ? "setNetworkLan" : "setNetwork";
        call(function, {std::string("ssid"), GetSetupText(r.ssid)});
        call(function, {std::string("key"), GetSetupText(r.key)});
    }

    button("btnUseoverspeedfps_click", r.useOverspeedFps);
    button("btnOverspeedfps_click", r.overspeedFps);
    button("btnRearmirror_click", r.rearMirror);
    button("btnOverspeed_click", r.overspeed);
    button("btnSuddenaccel_click", r.suddenAccel);
    button("btnSuddenbrake_click", r.suddenBrake);
    button("btnFilenamingrule_click", r.fileNamingRule);
    button("btnOverlaytime_click", r.overlayTime);
    button("btnSpeedtype_click", r.speedType);
    button("btnOverlaytype_click", r.overlayType);
    button("btnOverlaysize_click", r.overlaySize);
    button("btnModemport_click", r.modemPort);
    button("btnLedscenario_click", r.ledScenario);
    button("btnStreamingchannel_click", r.streamingChannel);
    button("btnParkFPS_click", r.parkFps);
    button("initUSBBackup_click", r.usbBackup);
    button("initFileBackup_click", r.fileBackup);
    button("initLocalBackup_click", r.localBackup);
    button("btnUSBStorage_click", r.usbStorage);
    button("btnUSBEvent_click", r.usbEvent);
    button("btnLBP_click", r.lbp);

    text("txtLBPTime", decimal(r.lbpTime));
    text("txtOverspeed", decimal(r.overspeedLimit));
    text("txtSuddenaccel", decimal(r.suddenAccelThreshold));
    text("txtSuddenbrake", decimal(r.suddenBrakeThreshold));

    call("callSetSlide", {int64_t{3}, int64_t{r.slide3}});
    call("callSetSlide", {int64_t{4}, int64_t{r.slide4}});
    r.slide5 = 1;
    call("callSetSlide", {int64_t{5}, int64_t{1}});

    button("btnExternalevent_click", r.externalEvent);
    text("hostname", GetSetupText(r.hostname));
    text("localhostname", GetSetupText(r.localHostname));

    for (int bit = 1; bit <= 3; ++bit)
        call((r.gpsFlags >> bit) & 1 ? "setGPS" : "clearGPS", {int64_t{bit + 1}});

    call("setOverspeedTime", {int64_t{r.overspeedTime}});
    call("setSuddenaccelTime", {int64_t{r.suddenAccelTime}});
    call("setSuddenbrakeTime", {int64_t{r.suddenBrakeTime}});
    button("btnNetworkSendType_click", r.networkSendType);
    button("btnLantype_click", r.lanType);
    button("btnLan_click", r.lan);
    call("setDst", {int64_t{r.dstA}, int64_t{r.dstB}});

    auto harsh = [&](const char* function, int8_t level, float a, float b) {
        call(function, {decimal(level), FormatFixed6(a), FormatFixed6(b)});
    };
    harsh("setHarshAccel", r.harshAccelLevel, r.harshAccelA, r.harshAccelB);
    harsh("setHarshBrake", r.harshBrakeLevel, r.harshBrakeA, r.harshBrakeB);
    harsh("setHarshLeft", r.harshLeftLevel, r.harshLeftA, r.harshLeftB);
    harsh("setHarshRight", r.harshRightLevel, r.harshRightA, r.harshRightB);
    return calls;
}

std::string MakeSettingString(const SetupRecord& r) {
    std::array<std::string, kSettingStringValues> v;
    auto n = [](int64_t x) { return std::to_string(x); };
    auto b = [](int64_t x) { return std::to_string(x + 1); };
    v[0] = n(r.overspeedLimit);
    v[1] = n(r.suddenAccelThreshold);
    v[2] = n(r.suddenBrakeThreshold);
    v[3] = n(r.slide2);
    v[4] = n(r.slide3);
    v[5] = n(r.slide4);
    v[6] = n(r.slide5);
    const int64_t buttons1[] = {r.rear,
                                r.quality,
                                r.fps,
                                r.parking,
                                r.audio,
                                r.summertime,
                                r.emergency,
                                r.gSensor,
                                r.sound,
                                r.videoMode,
                                r.videoOut,
                                r.frontLed,
                                r.securityLed + (r.securityLed == 1 && r.ledScenario == 1),
                                r.frontRotation,
                                r.inCabinRotation};
    for (int i = 0; i < 15; ++i)
        v[7 + i] = b(buttons1[i]);
    const int64_t buttons2[] = {r.fileType,    r.useOverspeedFps, r.overspeedFps, r.rearMirror,
                                r.overspeed,   r.suddenAccel,     r.suddenBrake,  r.fileNamingRule,
                                r.overlayTime, r.speedType,       r.overlayType,  r.overlaySize,
                                r.network,     r.modemPort,       r.ledScenario};
    for (int i = 0; i < 15; ++i)
        v[22 + i] = b(buttons2[i]);
    const int64_t buttons3[] = {r.streamingChannel, r.parkFps,         r.usbBackup,  r.lbp,
                                r.externalEvent,    r.fileBackup,      r.usbStorage, r.usbEvent,
                                r.localBackup,      r.networkSendType, r.lanType,    r.lan};
    for (int i = 0; i < 12; ++i)
        v[37 + i] = b(buttons3[i]);
    // Harsh levels travel as group (1-based) and step 0..4.
    auto group = [](int8_t level) { return level >= 0 ? level / 5 + 1 : 1; };
    auto step = [](int8_t level) { return level >= 0 ? level % 5 : level; };
    v[49] = n(group(r.harshAccelLevel));
    v[50] = n(group(r.harshBrakeLevel));
    v[51] = n(int64_t{r.timezoneHour} * 100 + r.timezoneMinute);
    v[54] = n(r.timezone);
    v[55] = GetSetupText(r.company);
    v[56] = GetSetupText(r.vehicle);
    v[57] = GetSetupText(r.vehicleNumber);
    v[58] = GetSetupText(r.driver);
    v[59] = GetSetupText(r.user);
    v[60] = GetSetupText(r.passwd);
    v[61] = GetSetupText(r.ssid);
    v[62] = GetSetupText(r.key);
    v[63] = n(r.lbpTime);
    v[64] = GetSetupText(r.hostname);
    v[65] = n(r.recTime);
    v[66] = n(r.eventPreTime);
    v[67] = n(r.eventAfterTime);
    v[68] = n(r.gpsFlags);
    v[69] = GetSetupText(r.localHostname);
    v[70] = n(r.overspeedTime);
    v[71] = n(r.suddenAccelTime);
    v[72] = n(r.suddenBrakeTime);
    v[73] = n(r.dstA);
    v[74] = n(r.dstB);
    v[75] = n(step(r.harshAccelLevel));
    v[76] = n(step(r.harshBrakeLevel));
    v[77] = n(r.harshLeftLevel);
    v[78] = n(r.harshRightLevel);
    v[79] = FormatFixed6(r.harshAccelA);
    v[80] = FormatFixed6(r.harshBrakeA);
    v[81] = FormatFixed6(r.harshLeftA);
    v[82] = FormatFixed6(r.harshRightA);
    v[83] = FormatFixed6(r.harshAccelB);
    v[84] = FormatFixed6(r.harshBrakeB);
    v[85] = FormatFixed6(r.harshLeftB);
    v[86] = FormatFixed6(r.harshRightB);
    std::string out;
    for (int i = 0; i < kSettingStringValues; ++i) {
        if (i)
            out += '|';
        // "|" would split the value; the page cannot send one either.
        for (char c : v[i])
            out += c == '|' ? '_' : c;
    }
    return out;
}
