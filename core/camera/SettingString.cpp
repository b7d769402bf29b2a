#include "core/camera/SettingString.h"

#include "core/common/CText.h"

#include <array>

namespace {

// Stores a 64-bit intermediate into a field of any width; wider values wrap as the page's
// integer did when it was stored into the field.
template <typename Field> void store(Field& field, int64_t value) {
    field = static_cast<Field>(static_cast<uint64_t>(value));
}

// The values the page shows with a button: their place in the setting string, the record field
// (1-based on the page, 0-based in the record), the page's button function, and the run of the
// page calls that shows them (PopulateCalls shows the runs in order, other calls in between).
// Parse, populate and the setting string all read this one table.
struct ButtonField {
    int index;
    std::string_view function;
    int run;
    int64_t (*get)(const SetupRecord&);
    void (*set)(SetupRecord&, int64_t);
};

#define QUILLENT_BUTTON(index, field, function, run)                                                         \
    ButtonField {                                                                                            \
        index, function, run, [](const SetupRecord& r) -> int64_t { return r.field; },                       \
            [](SetupRecord& r, int64_t value) { store(r.field, value); }                                     \
    }

const ButtonField kButtonFields[] = {
    QUILLENT_BUTTON(7, rear, "btnRear_click", 0),
    QUILLENT_BUTTON(8, quality, "btnQuality_click", 0),
    QUILLENT_BUTTON(9, fps, "btnFps_click", 0),
    QUILLENT_BUTTON(10, parking, "btnParking_click", 0),
    QUILLENT_BUTTON(11, audio, "btnAudio_click", 0),
    QUILLENT_BUTTON(12, summertime, "btnSummertime_click", 0),
    QUILLENT_BUTTON(13, emergency, "btnEmergency_click", 0),
    QUILLENT_BUTTON(14, gSensor, "btnGsensor_click", 0),
    QUILLENT_BUTTON(15, sound, "btnSound_click", 0),
    QUILLENT_BUTTON(16, videoMode, "btnVideomode_click", 0),
    QUILLENT_BUTTON(17, videoOut, "btnVideoout_click", 0),
    QUILLENT_BUTTON(18, frontLed, "btnFrontled_click", 0),
    QUILLENT_BUTTON(19, securityLed, "btnSecurityled_click", 0),
    QUILLENT_BUTTON(20, frontRotation, "btnFrontrotation_click", 0),
    QUILLENT_BUTTON(21, inCabinRotation, "btnIncabinrotation_click", 0),
    QUILLENT_BUTTON(34, network, "btnWifi_click", 0),
    QUILLENT_BUTTON(22, fileType, "btnFiletype_click", 1),
    QUILLENT_BUTTON(23, useOverspeedFps, "btnUseoverspeedfps_click", 2),
    QUILLENT_BUTTON(24, overspeedFps, "btnOverspeedfps_click", 2),
    QUILLENT_BUTTON(25, rearMirror, "btnRearmirror_click", 2),
    QUILLENT_BUTTON(26, overspeed, "btnOverspeed_click", 2),
    QUILLENT_BUTTON(27, suddenAccel, "btnSuddenaccel_click", 2),
    QUILLENT_BUTTON(28, suddenBrake, "btnSuddenbrake_click", 2),
    QUILLENT_BUTTON(29, fileNamingRule, "btnFilenamingrule_click", 2),
    QUILLENT_BUTTON(30, overlayTime, "btnOverlaytime_click", 2),
    QUILLENT_BUTTON(31, speedType, "btnSpeedtype_click", 2),
    QUILLENT_BUTTON(32, overlayType, "btnOverlaytype_click", 2),
    QUILLENT_BUTTON(33, overlaySize, "btnOverlaysize_click", 2),
    QUILLENT_BUTTON(35, modemPort, "btnModemport_click", 2),
    QUILLENT_BUTTON(36, ledScenario, "btnLedscenario_click", 2),
    QUILLENT_BUTTON(37, streamingChannel, "btnStreamingchannel_click", 2),
    QUILLENT_BUTTON(38, parkFps, "btnParkFPS_click", 2),
    QUILLENT_BUTTON(39, usbBackup, "initUSBBackup_click", 2),
    QUILLENT_BUTTON(42, fileBackup, "initFileBackup_click", 2),
    QUILLENT_BUTTON(45, localBackup, "initLocalBackup_click", 2),
    QUILLENT_BUTTON(43, usbStorage, "btnUSBStorage_click", 2),
    QUILLENT_BUTTON(44, usbEvent, "btnUSBEvent_click", 2),
    QUILLENT_BUTTON(40, lbp, "btnLBP_click", 2),
    QUILLENT_BUTTON(41, externalEvent, "btnExternalevent_click", 3),
    QUILLENT_BUTTON(46, networkSendType, "btnNetworkSendType_click", 4),
    QUILLENT_BUTTON(47, lanType, "btnLantype_click", 4),
    QUILLENT_BUTTON(48, lan, "btnLan_click", 4),
};

#undef QUILLENT_BUTTON

// The other values that map onto one record field each, as the setting string carries them:
// decimal numbers, texts (camera code page in the record) and six-decimal fractions. Parse and the
// setting string both read this table; the values built from several fields or with a rule of their
// own (19, 49 to 51, 75, 76) are handled beside it.
struct ValueField {
    int index;
    std::string (*get)(const SetupRecord&);
    void (*set)(SetupRecord&, std::string_view raw);
};

#define QUILLENT_NUMBER(index, field)                                                                        \
    ValueField {                                                                                             \
        index, [](const SetupRecord& r) { return std::to_string(static_cast<int64_t>(r.field)); },           \
            [](SetupRecord& r, std::string_view raw) { store(r.field, static_cast<int64_t>(CAtoi(raw))); }   \
    }
#define QUILLENT_TEXT(index, field)                                                                          \
    ValueField {                                                                                             \
        index, [](const SetupRecord& r) { return GetSetupText(r.field); },                                   \
            [](SetupRecord& r, std::string_view raw) { SetSetupText(r.field, raw); }                         \
    }
#define QUILLENT_FRACTION(index, field)                                                                      \
    ValueField {                                                                                             \
        index, [](const SetupRecord& r) { return FormatFixed6(r.field); },                                   \
            [](SetupRecord& r, std::string_view raw) { r.field = static_cast<float>(CAtof(raw)); }           \
    }

const ValueField kValueFields[] = {
    QUILLENT_NUMBER(0, overspeedLimit),
    QUILLENT_NUMBER(1, suddenAccelThreshold),
    QUILLENT_NUMBER(2, suddenBrakeThreshold),
    QUILLENT_NUMBER(3, slide2),
    QUILLENT_NUMBER(4, slide3),
    QUILLENT_NUMBER(5, slide4),
    QUILLENT_NUMBER(6, slide5), // forced to 1 after the parse
    QUILLENT_NUMBER(54, timezone),
    QUILLENT_TEXT(55, company),
    QUILLENT_TEXT(56, vehicle),
    QUILLENT_TEXT(57, vehicleNumber),
    QUILLENT_TEXT(58, driver),
    QUILLENT_TEXT(59, user),
    QUILLENT_TEXT(60, passwd),
    QUILLENT_TEXT(61, ssid),
    QUILLENT_TEXT(62, key),
    QUILLENT_NUMBER(63, lbpTime),
    QUILLENT_TEXT(64, hostname),
    QUILLENT_NUMBER(65, recTime),
    QUILLENT_NUMBER(66, eventPreTime),
    QUILLENT_NUMBER(67, eventAfterTime),
    QUILLENT_NUMBER(68, gpsFlags),
    QUILLENT_TEXT(69, localHostname),
    QUILLENT_NUMBER(70, overspeedTime),
    QUILLENT_NUMBER(71, suddenAccelTime),
    QUILLENT_NUMBER(72, suddenBrakeTime),
    QUILLENT_NUMBER(73, dstA),
    QUILLENT_NUMBER(74, dstB),
    QUILLENT_NUMBER(77, harshLeftLevel),
    QUILLENT_NUMBER(78, harshRightLevel),
    QUILLENT_FRACTION(79, harshAccelA),
    QUILLENT_FRACTION(80, harshBrakeA),
    QUILLENT_FRACTION(81, harshLeftA),
    QUILLENT_FRACTION(82, harshRightA),
    QUILLENT_FRACTION(83, harshAccelB),
    QUILLENT_FRACTION(84, harshBrakeB),
    QUILLENT_FRACTION(85, harshLeftB),
    QUILLENT_FRACTION(86, harshRightB),
};

#undef QUILLENT_NUMBER
#undef QUILLENT_TEXT
#undef QUILLENT_FRACTION

} // namespace

void ParseSettingString(std::string_view text, SetupRecord& r) {
    SetDefaults(r);
    auto values = SplitText(text, '|');
    auto raw = [&](int i) -> std::string_view {
        return i < static_cast<int>(values.size()) ? values[i] : "";
    };
    auto n = [&](int i) -> int64_t { return CAtoi(raw(i)); };
    auto b = [&](int i) -> int64_t { return n(i) - 1; };

    for (const ValueField& field : kValueFields)
        field.set(r, raw(field.index));
    for (const ButtonField& field : kButtonFields)
        field.set(r, b(field.index));

    // 51: hours * 100 + minutes, signed; 52 and 53 are not used.
    int32_t tz = CAtoi(raw(51));
    r.timezoneHour = tz / 100;
    r.timezoneMinute = tz - 100 * r.timezoneHour;

    // 65 to 67 (file and event times) are read but the firmware's values below replace them.
    if (r.gpsFlags == 0)
        r.gpsFlags = 7;

    // The page splits each harsh level into a group (49, 50) of five steps and a step (75, 76).
    store(r.harshAccelLevel, n(75) + 5 * (n(49) - 1));
    store(r.harshBrakeLevel, n(76) + 5 * (n(50) - 1));

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
    auto buttons = [&](int run) {
        for (const ButtonField& field : kButtonFields)
            if (field.run == run)
                call(std::string(field.function), {field.get(r) + 1});
    };
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

    buttons(0);

    call("setTimezone", {int64_t{r.timezone}});
    call("setTimezoneHour", {int64_t{r.timezoneHour}});
    call("setTimezoneMinute", {int64_t{r.timezoneMinute}});
    buttons(1);
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

    buttons(2);

    text("txtLBPTime", decimal(r.lbpTime));
    text("txtOverspeed", decimal(r.overspeedLimit));
    text("txtSuddenaccel", decimal(r.suddenAccelThreshold));
    text("txtSuddenbrake", decimal(r.suddenBrakeThreshold));

    call("callSetSlide", {int64_t{3}, int64_t{r.slide3}});
    call("callSetSlide", {int64_t{4}, int64_t{r.slide4}});
    r.slide5 = 1;
    call("callSetSlide", {int64_t{5}, int64_t{1}});

    buttons(3);
    text("hostname", GetSetupText(r.hostname));
    text("localhostname", GetSetupText(r.localHostname));

    for (int bit = 1; bit <= 3; ++bit)
        call((r.gpsFlags >> bit) & 1 ? "setGPS" : "clearGPS", {int64_t{bit + 1}});

    call("setOverspeedTime", {int64_t{r.overspeedTime}});
    call("setSuddenaccelTime", {int64_t{r.suddenAccelTime}});
    call("setSuddenbrakeTime", {int64_t{r.suddenBrakeTime}});
    buttons(4);
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
    for (const ValueField& field : kValueFields)
        v[field.index] = field.get(r);
    for (const ButtonField& field : kButtonFields)
        v[field.index] = b(field.get(r));
    // The page's third security-LED choice is "on with scenario".
    v[19] = b(r.securityLed + (r.securityLed == 1 && r.ledScenario == 1));
    // Harsh levels travel as group (1-based) and step 0..4.
    auto group = [](int8_t level) { return level >= 0 ? level / 5 + 1 : 1; };
    auto step = [](int8_t level) { return level >= 0 ? level % 5 : level; };
    v[49] = n(group(r.harshAccelLevel));
    v[50] = n(group(r.harshBrakeLevel));
    v[51] = n(int64_t{r.timezoneHour} * 100 + r.timezoneMinute);
    v[75] = n(step(r.harshAccelLevel));
    v[76] = n(step(r.harshBrakeLevel));
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
