// The camera setup page. The program shows a setup record with the page functions below (populate)
// and gets it back as the setting string: values 0..86 joined by "|", passed with DoSetupHandler
// "btnSave" (save to a .cfg file) and "btnWrite" (keep for the next opening). Button values are
// 1-based. Every control is limited to values the record can hold; values the program sends that no
// choice offers are kept (shown as their number) so that nothing is lost on the way back.
(function () {
  'use strict';

  var TEXTS = {
    english: {
      tabRecording: 'Recording', tabEvents: 'Events', tabGsensor: 'G-sensor', tabLed: 'LEDs and overlay',
      tabNetwork: 'Network', tabTime: 'Time zone', tabGps: 'GPS', tabBackup: 'Backup and storage',
      tabIdentity: 'Vehicle and user',
      load: 'Load file…', saveFile: 'Save to file…', fromMovie: 'From open recording', defaults: 'Defaults',
      write: 'OK', close: 'Cancel',
      off: 'Off', on: 'On', auto: 'Auto', low: 'Low', medium: 'Medium', high: 'High', lowest: 'Lowest',
      highest: 'Highest', normal: 'Normal', rotated: 'Rotated 180°', fixedHint: 'set by the camera',
      quality: 'Picture quality', fps: 'Frame rate', audio: 'Record sound', recTime: 'Length of a recording (s)',
      eventPre: 'Event: seconds before', eventAfter: 'Event: seconds after', fileType: 'File type',
      namingRule: 'File naming', namingDate: 'Date and time', namingSerial: 'Serial number',
      rear: 'Rear camera', frontRotation: 'Front camera picture', cabinRotation: 'In-cabin camera picture',
      rearMirror: 'Rear camera mirror', videoMode: 'Video standard', videoOut: 'Video output',
      composite: 'Composite', sound: 'Speaker volume', emergency: 'Emergency button recording',
      externalEvent: 'External event input', parking: 'Parking recording', motion: 'Motion', timelapse: 'Time lapse',
      parkFps: 'Parking frame rate', parkFpsHint: 'follows the frame rate',
      slide2: 'Parking impact threshold', slide3: 'Motion sensitivity', slide4: 'Motion detection area',
      overspeed: 'Overspeed event', overspeedLimit: 'Speed limit (km/h)', overspeedTime: 'Overspeed duration (s)',
      useOverspeedFps: 'Own frame rate when overspeeding', overspeedFps: 'Overspeed frame rate',
      suddenAccel: 'Sudden acceleration event', suddenAccelThreshold: 'Sudden acceleration threshold (km/h)',
      suddenAccelTime: 'Sudden acceleration within (s)', suddenBrake: 'Sudden braking event',
      suddenBrakeThreshold: 'Sudden braking threshold (km/h)', suddenBrakeTime: 'Sudden braking within (s)',
      gSensor: 'Impact sensitivity', harshAccel: 'Harsh acceleration', harshBrake: 'Harsh braking',
      harshLeft: 'Harsh left turn', harshRight: 'Harsh right turn', range: 'range', level: 'level',
      valueA: 'threshold (g)', valueB: 'duration (s)',
      frontLed: 'Front LED', securityLed: 'Security LED', securityScenario: 'On, with scenario',
      ledScenario: 'LED scenario', overlayTime: 'Date and time on the picture', speedType: 'Speed on the picture',
      kmh: 'km/h', mph: 'mph', overlayType: 'Overlay layout', overlaySize: 'Overlay size',
      network: 'Wi-Fi', ssid: 'Network name (SSID)', key: 'Network key', lanType: 'Connection type',
      wireless: 'Wireless', wired: 'Wired', lan: 'Address', dhcp: 'Automatic (DHCP)', staticIp: 'Fixed',
      networkSendType: 'Upload mode', modemPort: 'Modem port', port: 'Port', streamingChannel: 'Streaming channel',
      channel: 'Channel', hostname: 'Server address', localHostname: 'Camera name on the network',
      timezone: 'Time zone entry', timezoneOffset: 'Offset from UTC', summertime: 'Daylight saving time',
      dstA: 'Daylight saving starts (MMDD)', dstB: 'Daylight saving ends (MMDD)',
      gps2: 'Log the position', gps3: 'Set the clock from GPS', gps4: 'Speed from GPS',
      fileBackup: 'Back up event files', localBackup: 'Keep a copy on the card', usbBackup: 'Back up to USB',
      usbStorage: 'USB storage', usbEvent: 'Events to USB', lbp: 'Low battery protection',
      lbpTime: 'Protection after (hours)',
      company: 'Company', vehicle: 'Vehicle', vehicleNumber: 'Registration number', driver: 'Driver',
      user: 'Recording ID', passwd: 'Recording password', tooLong: 'too long for the camera'
    },
    korean: {
      tabRecording: '녹화', tabEvents: '이벤트', tabGsensor: 'G-센서', tabLed: 'LED 및 화면 표시',
      tabNetwork: '네트워크', tabTime: '시간대', tabGps: 'GPS', tabBackup: '백업 및 저장',
      tabIdentity: '차량 및 사용자',
      load: '파일 불러오기…', saveFile: '파일로 저장…', fromMovie: '열린 영상에서', defaults: '기본값',
      write: '확인', close: '취소',
      off: '끄기', on: '켜기', auto: '자동', low: '낮음', medium: '보통', high: '높음', lowest: '매우 낮음',
      highest: '매우 높음', normal: '기본', rotated: '180° 회전', fixedHint: '카메라가 정하는 값',
      quality: '화질', fps: '프레임 수', audio: '음성 녹음', recTime: '녹화 파일 길이(초)',
      eventPre: '이벤트 이전 시간(초)', eventAfter: '이벤트 이후 시간(초)', fileType: '파일 형식',
      namingRule: '파일 이름 규칙', namingDate: '날짜와 시간', namingSerial: '일련번호',
      rear: '후방 카메라', frontRotation: '전방 카메라 화면', cabinRotation: '실내 카메라 화면',
      rearMirror: '후방 카메라 좌우 반전', videoMode: '비디오 방식', videoOut: '비디오 출력',
      composite: '컴포지트', sound: '스피커 음량', emergency: '비상 버튼 녹화',
      externalEvent: '외부 이벤트 입력', parking: '주차 녹화', motion: '움직임 감지', timelapse: '타임랩스',
      parkFps: '주차 프레임 수', parkFpsHint: '프레임 수를 따름',
      slide2: '주차 충격 기준', slide3: '움직임 감도', slide4: '움직임 감지 영역',
      overspeed: '과속 이벤트', overspeedLimit: '제한 속도(km/h)', overspeedTime: '과속 지속 시간(초)',
      useOverspeedFps: '과속 시 별도 프레임 수', overspeedFps: '과속 프레임 수',
      suddenAccel: '급가속 이벤트', suddenAccelThreshold: '급가속 기준(km/h)',
      suddenAccelTime: '급가속 판단 시간(초)', suddenBrake: '급제동 이벤트',
      suddenBrakeThreshold: '급제동 기준(km/h)', suddenBrakeTime: '급제동 판단 시간(초)',
      gSensor: '충격 감도', harshAccel: '급가속', harshBrake: '급제동',
      harshLeft: '급좌회전', harshRight: '급우회전', range: '범위', level: '단계',
      valueA: '기준값(g)', valueB: '지속 시간(초)',
      frontLed: '전방 LED', securityLed: '보안 LED', securityScenario: '켜기(시나리오)',
      ledScenario: 'LED 시나리오', overlayTime: '화면에 날짜와 시간 표시', speedType: '화면에 속도 표시',
      kmh: 'km/h', mph: 'mph', overlayType: '표시 배치', overlaySize: '표시 크기',
      network: 'Wi-Fi', ssid: '네트워크 이름(SSID)', key: '네트워크 암호', lanType: '연결 방식',
      wireless: '무선', wired: '유선', lan: '주소', dhcp: '자동(DHCP)', staticIp: '고정',
      networkSendType: '전송 방식', modemPort: '모뎀 포트', port: '포트', streamingChannel: '스트리밍 채널',
      channel: '채널', hostname: '서버 주소', localHostname: '네트워크의 카메라 이름',
      timezone: '시간대 번호', timezoneOffset: 'UTC와의 시차', summertime: '일광 절약 시간',
      dstA: '일광 절약 시작(MMDD)', dstB: '일광 절약 종료(MMDD)',
      gps2: '위치 기록', gps3: 'GPS로 시계 맞춤', gps4: 'GPS 속도 사용',
      fileBackup: '이벤트 파일 백업', localBackup: '카드에 사본 보관', usbBackup: 'USB로 백업',
      usbStorage: 'USB 저장 장치', usbEvent: '이벤트를 USB로', lbp: '배터리 방전 방지',
      lbpTime: '보호 시작(시간)',
      company: '회사', vehicle: '차량', vehicleNumber: '차량 번호', driver: '운전자',
      user: '영상 아이디', passwd: '영상 비밀번호', tooLong: '카메라에 저장하기에 너무 김'
    }
  };

  var t = TEXTS.english;
  var values = [];      // the 87 values of the setting string, as text
  var controls = [];    // {idx, kind, el, ...}
  var outputTrigger = 0;
  var tzHour = 9, tzMinute = 0;

  function send(command, value) {
    if (window.external && typeof window.external.DoSetupHandler === 'function')
      window.external.DoSetupHandler(command, value === undefined ? '' : String(value));
  }

  // Bytes a text takes in the camera's code page: ASCII one byte, anything else two.
  function cameraBytes(s) {
    var n = 0;
    for (var i = 0; i < s.length; i++) n += s.charCodeAt(i) < 128 ? 1 : 2;
    return n;
  }

  function opt(value, key) { return { value: value, key: key }; }
  function onOff() { return [opt(1, 'off'), opt(2, 'on')]; }
  function numbered(count, key, first) {
    var list = [];
    for (var i = 0; i < count; i++) list.push({ value: i + 1, text: (key ? t[key] + ' ' : '') + (first + i) });
    return list;
  }
  function fpsChoices() {
    return [5, 10, 15, 20, 30].map(function (f, i) { return { value: i + 1, text: f + ' fps' }; });
  }

  // Sections and their controls. kind: choice (1-based button value, `fn` the populate function),
  // number (integer in min..max), float, text (max bytes), slide (slider number), plus the special
  // controls of the time zone offset, the harsh-driving groups and the GPS bits.
  var SECTIONS = [
    { id: 'recording', tab: 'tabRecording', fields: [
      { idx: 8, kind: 'choice', fn: 'btnQuality_click', label: 'quality', opts: function () { return [opt(1, 'highest'), opt(2, 'high'), opt(3, 'normal')]; } },
      { idx: 9, kind: 'choice', fn: 'btnFps_click', label: 'fps', opts: fpsChoices },
      { idx: 11, kind: 'choice', fn: 'btnAudio_click', label: 'audio', opts: onOff },
      { idx: 65, kind: 'number', name: 'rectime', label: 'recTime', min: 60, max: 120, fixed: true },
      { idx: 66, kind: 'number', name: 'eventpretime', label: 'eventPre', min: 1, max: 15, fixed: true },
      { idx: 67, kind: 'number', name: 'eventaftertime', label: 'eventAfter', min: 1, max: 15, fixed: true },
      { idx: 22, kind: 'choice', fn: 'btnFiletype_click', label: 'fileType', fixed: true, opts: function () { return [{ value: 1, text: 'AVI' }, { value: 2, text: 'QMV' }]; } },
      { idx: 29, kind: 'choice', fn: 'btnFilenamingrule_click', label: 'namingRule', opts: function () { return [opt(1, 'namingDate'), opt(2, 'namingSerial')]; } },
      { idx: 7, kind: 'choice', fn: 'btnRear_click', label: 'rear', fixed: true, opts: function () { return [opt(1, 'off'), opt(2, 'on'), opt(3, 'auto')]; } },
      { idx: 20, kind: 'choice', fn: 'btnFrontrotation_click', label: 'frontRotation', opts: function () { return [opt(1, 'normal'), opt(2, 'rotated')]; } },
      { idx: 21, kind: 'choice', fn: 'btnIncabinrotation_click', label: 'cabinRotation', opts: function () { return [opt(1, 'normal'), opt(2, 'rotated')]; } },
      { idx: 25, kind: 'choice', fn: 'btnRearmirror_click', label: 'rearMirror', opts: onOff },
      { idx: 16, kind: 'choice', fn: 'btnVideomode_click', label: 'videoMode', opts: function () { return [{ value: 1, text: 'NTSC' }, { value: 2, text: 'PAL' }]; } },
      { idx: 17, kind: 'choice', fn: 'btnVideoout_click', label: 'videoOut', opts: function () { return [opt(1, 'off'), opt(2, 'composite'), opt(3, 'auto')]; } },
      { idx: 15, kind: 'choice', fn: 'btnSound_click', label: 'sound', opts: function () { return [opt(1, 'off'), opt(2, 'low'), opt(3, 'medium'), opt(4, 'high')]; } },
      { idx: 13, kind: 'choice', fn: 'btnEmergency_click', label: 'emergency', opts: onOff },
      { idx: 41, kind: 'choice', fn: 'btnExternalevent_click', label: 'externalEvent', opts: onOff },
      { idx: 10, kind: 'choice', fn: 'btnParking_click', label: 'parking', opts: function () { return [opt(1, 'off'), opt(2, 'motion'), opt(3, 'timelapse')]; } },
      { idx: 38, kind: 'choice', fn: 'btnParkFPS_click', label: 'parkFps', fixed: true, hint: 'parkFpsHint', opts: fpsChoices },
      { idx: 3, kind: 'slide', slide: 2, label: 'slide2', min: 0, max: 255 },
      { idx: 4, kind: 'slide', slide: 3, label: 'slide3', min: 1, max: 20 },
      { idx: 5, kind: 'slide', slide: 4, label: 'slide4', min: 1, max: 20 }
    ] },
    { id: 'events', tab: 'tabEvents', fields: [
      { idx: 26, kind: 'choice', fn: 'btnOverspeed_click', label: 'overspeed', opts: onOff },
      { idx: 0, kind: 'number', name: 'txtOverspeed', label: 'overspeedLimit', min: 0, max: 300 },
      { idx: 70, kind: 'number', fn: 'setOverspeedTime', label: 'overspeedTime', min: 0, max: 600 },
      { idx: 23, kind: 'choice', fn: 'btnUseoverspeedfps_click', label: 'useOverspeedFps', fixed: true, opts: onOff },
      { idx: 24, kind: 'choice', fn: 'btnOverspeedfps_click', label: 'overspeedFps', fixed: true, hint: 'parkFpsHint', opts: fpsChoices },
      { idx: 27, kind: 'choice', fn: 'btnSuddenaccel_click', label: 'suddenAccel', opts: onOff },
      { idx: 1, kind: 'number', name: 'txtSuddenaccel', label: 'suddenAccelThreshold', min: 1, max: 100 },
      { idx: 71, kind: 'number', fn: 'setSuddenaccelTime', label: 'suddenAccelTime', min: 1, max: 10 },
      { idx: 28, kind: 'choice', fn: 'btnSuddenbrake_click', label: 'suddenBrake', opts: onOff },
      { idx: 2, kind: 'number', name: 'txtSuddenbrake', label: 'suddenBrakeThreshold', min: 1, max: 100 },
      { idx: 72, kind: 'number', fn: 'setSuddenbrakeTime', label: 'suddenBrakeTime', min: 1, max: 10 }
    ] },
    { id: 'gsensor', tab: 'tabGsensor', fields: [
      { idx: 14, kind: 'choice', fn: 'btnGsensor_click', label: 'gSensor', opts: function () { return [opt(1, 'lowest'), opt(2, 'low'), opt(3, 'medium'), opt(4, 'high'), opt(5, 'highest')]; } },
      { kind: 'harsh', fn: 'setHarshAccel', label: 'harshAccel', group: 49, level: 75, a: 79, b: 83 },
      { kind: 'harsh', fn: 'setHarshBrake', label: 'harshBrake', group: 50, level: 76, a: 80, b: 84 },
      { kind: 'harsh', fn: 'setHarshLeft', label: 'harshLeft', level: 77, a: 81, b: 85 },
      { kind: 'harsh', fn: 'setHarshRight', label: 'harshRight', level: 78, a: 82, b: 86 }
    ] },
    { id: 'led', tab: 'tabLed', fields: [
      { idx: 18, kind: 'choice', fn: 'btnFrontled_click', label: 'frontLed', opts: onOff },
      { idx: 19, kind: 'choice', fn: 'btnSecurityled_click', label: 'securityLed', opts: function () { return [opt(1, 'off'), opt(2, 'on'), opt(3, 'securityScenario')]; } },
      { idx: 36, kind: 'choice', fn: 'btnLedscenario_click', label: 'ledScenario', opts: onOff },
      { idx: 30, kind: 'choice', fn: 'btnOverlaytime_click', label: 'overlayTime', opts: function () { return [opt(1, 'on'), opt(2, 'off')]; } },
      { idx: 31, kind: 'choice', fn: 'btnSpeedtype_click', label: 'speedType', opts: function () { return [opt(1, 'kmh'), opt(2, 'mph'), opt(3, 'off')]; } },
      { idx: 32, kind: 'choice', fn: 'btnOverlaytype_click', label: 'overlayType', fixed: true, opts: function () { return numbered(4, '', 1); } },
      { idx: 33, kind: 'choice', fn: 'btnOverlaysize_click', label: 'overlaySize', fixed: true, opts: function () { return [opt(1, 'normal'), opt(2, 'high')]; } }
    ] },
    { id: 'network', tab: 'tabNetwork', fields: [
      // The record keeps Wi-Fi as 0 (off) or 6 (on): the page offers those two.
      { idx: 34, kind: 'choice', fn: 'btnWifi_click', label: 'network', opts: function () { return [opt(1, 'off'), opt(7, 'on')]; } },
      { idx: 61, kind: 'text', name: 'ssid', label: 'ssid', bytes: 63 },
      { idx: 62, kind: 'text', name: 'key', label: 'key', bytes: 63, password: true },
      { idx: 47, kind: 'choice', fn: 'btnLantype_click', label: 'lanType', opts: function () { return [opt(1, 'wireless'), opt(2, 'wired')]; } },
      { idx: 48, kind: 'choice', fn: 'btnLan_click', label: 'lan', opts: function () { return [opt(1, 'dhcp'), opt(2, 'staticIp')]; } },
      { idx: 46, kind: 'choice', fn: 'btnNetworkSendType_click', label: 'networkSendType', fixed: true, opts: function () { return numbered(2, '', 1); } },
      { idx: 35, kind: 'choice', fn: 'btnModemport_click', label: 'modemPort', opts: function () { return numbered(4, 'port', 1); } },
      { idx: 37, kind: 'choice', fn: 'btnStreamingchannel_click', label: 'streamingChannel', opts: function () { return numbered(3, 'channel', 1); } },
      { idx: 64, kind: 'text', name: 'hostname', label: 'hostname', bytes: 31 },
      { idx: 69, kind: 'text', name: 'localhostname', label: 'localHostname', bytes: 31 }
    ] },
    { id: 'time', tab: 'tabTime', fields: [
      { kind: 'tzoffset', label: 'timezoneOffset' },
      { idx: 54, kind: 'number', fn: 'setTimezone', label: 'timezone', min: 0, max: 255 },
      { idx: 12, kind: 'choice', fn: 'btnSummertime_click', label: 'summertime', opts: onOff },
      { idx: 73, kind: 'number', label: 'dstA', min: 0, max: 1231 },
      { idx: 74, kind: 'number', label: 'dstB', min: 0, max: 1231 }
    ] },
    { id: 'gps', tab: 'tabGps', fields: [
      { kind: 'gpsbit', bit: 2, label: 'gps2' },
      { kind: 'gpsbit', bit: 3, label: 'gps3' },
      { kind: 'gpsbit', bit: 4, label: 'gps4' }
    ] },
    { id: 'backup', tab: 'tabBackup', fields: [
      { idx: 42, kind: 'choice', fn: 'initFileBackup_click', label: 'fileBackup', opts: onOff },
      { idx: 45, kind: 'choice', fn: 'initLocalBackup_click', label: 'localBackup', opts: onOff },
      { idx: 39, kind: 'choice', fn: 'initUSBBackup_click', label: 'usbBackup', opts: onOff },
      { idx: 43, kind: 'choice', fn: 'btnUSBStorage_click', label: 'usbStorage', fixed: true, opts: onOff },
      { idx: 44, kind: 'choice', fn: 'btnUSBEvent_click', label: 'usbEvent', opts: onOff },
      { idx: 40, kind: 'choice', fn: 'btnLBP_click', label: 'lbp', opts: onOff },
      { idx: 63, kind: 'number', name: 'txtLBPTime', label: 'lbpTime', min: 0, max: 48 }
    ] },
    { id: 'identity', tab: 'tabIdentity', fields: [
      { idx: 55, kind: 'text', name: 'company', label: 'company', bytes: 31 },
      { idx: 56, kind: 'text', name: 'vehicle', label: 'vehicle', bytes: 39 },
      { idx: 57, kind: 'text', name: 'vehiclenumber', label: 'vehicleNumber', bytes: 23 },
      { idx: 58, kind: 'text', name: 'driver', label: 'driver', bytes: 31 },
      { idx: 59, kind: 'text', name: 'user', label: 'user', bytes: 31 },
      { idx: 60, kind: 'text', name: 'passwd', label: 'passwd', bytes: 31, password: true }
    ] }
  ];

  var byName = {};     // setText / setNetwork element names -> control
  var byIndex = {};    // value index -> control
  var harshControls = {};
  var gpsBits = {};
  var gps = 1;         // bit 0 is not shown and always kept

  function el(tag, cls, text) {
    var e = document.createElement(tag);
    if (cls) e.className = cls;
    if (text !== undefined) e.textContent = text;
    return e;
  }

  function setValue(idx, v) { values[idx] = String(v); }

  function addField(section, labelKey, control, fixed, hintKey, cls) {
    var row = el('div', 'field' + (fixed ? ' fixed' : '') + (cls ? ' ' + cls : ''));
    var label = el('label', '', t[labelKey] || labelKey);
    label.dataset.text = labelKey;
    row.appendChild(label);
    var box = el('div', 'control');
    (Array.isArray(control) ? control : [control]).forEach(function (c) { box.appendChild(c); });
    if (fixed || hintKey) {
      var hint = el('span', 'hint', t[hintKey || 'fixedHint']);
      hint.dataset.text = hintKey || 'fixedHint';
      box.appendChild(hint);
    }
    row.appendChild(box);
    section.appendChild(row);
  }

  function fillChoice(c) {
    var keep = c.el.value;
    c.el.innerHTML = '';
    c.opts().forEach(function (o) {
      var option = el('option', '', o.key ? t[o.key] : o.text);
      option.value = String(o.value);
      c.el.appendChild(option);
    });
    if (keep) selectChoice(c, keep);
  }

  // The record keeps the security LED's third choice as "on" plus the LED scenario, and an "on"
  // security LED clears the scenario: the scenario is a choice of its own only while the LED is off.
  function applyLedRule() {
    var led = byIndex[19], scenario = byIndex[36];
    if (!led || !scenario) return;
    var v = led.el.value;
    scenario.el.disabled = v === '2' || v === '3';
    if (v === '2') selectChoice(scenario, 1);
    else if (v === '3') selectChoice(scenario, 2);
  }

  // A value no option offers is kept as its own entry.
  function selectChoice(c, v) {
    v = String(parseInt(v, 10) || 0);
    var found = false;
    for (var i = 0; i < c.el.options.length; i++) if (c.el.options[i].value === v) found = true;
    if (!found) {
      var extra = el('option', 'extra', '(' + v + ')');
      extra.value = v;
      c.el.appendChild(extra);
    }
    c.el.value = v;
    setValue(c.idx, v);
    if (c.idx === 19) applyLedRule();
  }

  function numberInput(c) {
    var input = el('input');
    input.type = 'number';
    input.min = c.min;
    input.max = c.max;
    input.step = c.step || 1;
    input.disabled = !!c.fixed;
    input.addEventListener('change', function () {
      var v = c.kind === 'float' ? parseFloat(input.value) : parseInt(input.value, 10);
      if (isNaN(v)) v = c.min;
      v = Math.min(c.max, Math.max(c.min, v));
      input.value = c.kind === 'float' ? String(v) : String(v);
      if (c.onValue) c.onValue(input.value); else setValue(c.idx, input.value);
    });
    return input;
  }

  function build() {
    var tabs = document.getElementById('tabs');
    var main = document.getElementById('sections');
    SECTIONS.forEach(function (s, n) {
      var tab = el('button', n === 0 ? 'current' : '', t[s.tab]);
      tab.dataset.text = s.tab;
      tab.dataset.section = s.id;
      tabs.appendChild(tab);
      var section = el('section', n === 0 ? 'current' : '');
      section.id = 'section-' + s.id;
      var title = el('h2', '', t[s.tab]);
      title.dataset.text = s.tab;
      section.appendChild(title);
      s.fields.forEach(function (f) { buildField(section, f); });
      main.appendChild(section);
    });
    tabs.addEventListener('click', function (e) {
      var b = e.target.closest('button');
      if (b) showSection(b.dataset.section);
    });
  }

  function showSection(id) {
    document.querySelectorAll('#tabs button').forEach(function (b) { b.classList.toggle('current', b.dataset.section === id); });
    document.querySelectorAll('section').forEach(function (s) { s.classList.toggle('current', s.id === 'section-' + id); });
  }

  function buildField(section, f) {
    var c = { idx: f.idx, kind: f.kind, def: f };
    if (f.kind === 'choice') {
      c.el = el('select');
      c.el.id = f.fn;
      c.opts = f.opts;
      c.el.disabled = !!f.fixed;
      fillChoice(c);
      c.el.addEventListener('change', function () {
        setValue(c.idx, c.el.value);
        if (c.idx === 19) applyLedRule();
      });
      window[f.fn] = function (v) { selectChoice(c, v); };
      addField(section, f.label, c.el, f.fixed, f.hint);
    } else if (f.kind === 'number') {
      c.min = f.min; c.max = f.max; c.fixed = f.fixed;
      c.el = numberInput(c);
      c.el.id = f.name || f.fn || ('value' + f.idx);
      if (f.name) byName[f.name] = c;
      if (f.fn) window[f.fn] = function (v) { c.el.value = String(v); setValue(c.idx, v); };
      addField(section, f.label, c.el, f.fixed);
    } else if (f.kind === 'text') {
      c.el = el('input');
      c.el.type = f.password ? 'password' : 'text';
      c.el.id = f.name;
      c.bytes = f.bytes;
      c.el.addEventListener('input', function () {
        // Longer texts would be cut by the camera: the field takes no more than it can keep.
        var s = c.el.value;
        while (cameraBytes(s) > c.bytes) s = s.substring(0, s.length - 1);
        if (s !== c.el.value) c.el.value = s;
        setValue(c.idx, s.replace(/\|/g, '_'));
      });
      byName[f.name] = c;
      addField(section, f.label, c.el);
    } else if (f.kind === 'slide') {
      c.el = el('input');
      c.el.type = 'range';
      c.el.min = f.min; c.el.max = f.max; c.min = f.min; c.max = f.max;
      c.el.id = 'slide' + f.slide;
      var shown = el('span', 'value');
      c.shown = shown;
      c.el.addEventListener('input', function () { shown.textContent = c.el.value; setValue(c.idx, c.el.value); });
      c.slide = f.slide;
      addField(section, f.label, [c.el, shown]);
    } else if (f.kind === 'harsh') {
      buildHarsh(section, f);
      return;
    } else if (f.kind === 'tzoffset') {
      buildTimezoneOffset(section, f);
      return;
    } else if (f.kind === 'gpsbit') {
      var box = el('input');
      box.type = 'checkbox';
      box.id = 'gps' + f.bit;
      box.addEventListener('change', function () { setGpsBit(f.bit, box.checked); });
      gpsBits[f.bit] = box;
      addField(section, f.label, box);
      return;
    }
    if (c.idx !== undefined) byIndex[c.idx] = c;
    controls.push(c);
  }

  // Harsh levels: acceleration and braking come as a range (1..4) and a level (0..4) within it; turns
  // as one level 0..19. Thresholds and durations are floats.
  function buildHarsh(section, f) {
    var parts = [];
    var h = { def: f };
    if (f.group !== undefined) {
      h.group = { idx: f.group, kind: 'choice', opts: function () { return numbered(4, 'range', 1); } };
      h.group.el = el('select');
      h.group.el.id = f.fn + 'Group';
      fillChoice(h.group);
      h.group.el.addEventListener('change', function () { setValue(f.group, h.group.el.value); });
      parts.push(h.group.el);
      h.level = { idx: f.level, kind: 'number', min: 0, max: 4 };
    } else {
      h.level = { idx: f.level, kind: 'number', min: 0, max: 19 };
    }
    h.level.el = numberInput(h.level);
    h.level.el.id = f.fn + 'Level';
    h.level.el.title = t.level;
    parts.push(h.level.el);
    h.a = { idx: f.a, kind: 'float', min: -16, max: 16, step: 0.01 };
    h.a.el = numberInput(h.a);
    h.a.el.id = f.fn + 'A';
    h.a.el.title = t.valueA;
    parts.push(h.a.el);
    h.b = { idx: f.b, kind: 'float', min: 0, max: 60, step: 0.01 };
    h.b.el = numberInput(h.b);
    h.b.el.id = f.fn + 'B';
    h.b.el.title = t.valueB;
    parts.push(h.b.el);
    [h.group, h.level, h.a, h.b].forEach(function (c) {
      if (c) { byIndex[c.idx] = c; controls.push(c); }
    });
    window[f.fn] = function (level, a, b) {
      var l = parseInt(level, 10) || 0;
      if (h.group) {
        selectChoice(h.group, l >= 0 ? Math.floor(l / 5) + 1 : 1);
        l = l >= 0 ? l % 5 : l;
      }
      h.level.el.value = String(l); setValue(f.level, l);
      h.a.el.value = String(parseFloat(a) || 0); setValue(f.a, a);
      h.b.el.value = String(parseFloat(b) || 0); setValue(f.b, b);
    };
    harshControls[f.fn] = h;
    addField(section, f.label, parts, false, undefined, 'harsh');
  }

  // The offset from UTC travels as hours * 100 + minutes (value 51), in quarter hours from -12:00 to +14:00.
  function buildTimezoneOffset(section, f) {
    var sel = el('select');
    sel.id = 'timezoneOffset';
    for (var q = -48; q <= 56; q++) {
      var minutes = q * 15;
      var h = minutes < 0 ? -Math.floor(-minutes / 60) : Math.floor(minutes / 60);
      var m = minutes - h * 60;
      var o = el('option', '', 'UTC' + (minutes < 0 ? '−' : '+') + Math.abs(h) + ':' + ('0' + Math.abs(m)).slice(-2));
      o.value = String(h * 100 + m);
      sel.appendChild(o);
    }
    var c = { idx: 51, kind: 'choice', el: sel, opts: null };
    sel.addEventListener('change', function () { setValue(51, sel.value); });
    byIndex[51] = c;
    controls.push(c);
    addField(section, f.label, sel);
  }

  function showTimezoneOffset() {
    var v = String(tzHour * 100 + tzMinute);
    var sel = byIndex[51].el;
    var found = false;
    for (var i = 0; i < sel.options.length; i++) if (sel.options[i].value === v) found = true;
    if (!found) { var o = el('option', 'extra', '(' + v + ')'); o.value = v; sel.appendChild(o); }
    sel.value = v;
    setValue(51, v);
  }

  function setGpsBit(bit, on) {
    var mask = 1 << (bit - 1);
    gps = on ? (gps | mask) : (gps & ~mask);
    setValue(68, gps);
  }

  var TEXT_VALUES = [55, 56, 57, 58, 59, 60, 61, 62, 64, 69];

  function defaults() {
    for (var i = 0; i < 87; i++) values[i] = TEXT_VALUES.indexOf(i) >= 0 ? '' : '0';
    values[6] = '1';
    values[68] = '1';
  }

  function applyLanguage() {
    document.documentElement.lang = t === TEXTS.korean ? 'ko' : 'en';
    document.querySelectorAll('[data-text]').forEach(function (e) { e.textContent = t[e.dataset.text]; });
    controls.forEach(function (c) { if (c.kind === 'choice' && c.opts) fillChoice(c); });
    Object.keys(harshControls).forEach(function (fn) {
      var h = harshControls[fn];
      h.level.el.title = t.level; h.a.el.title = t.valueA; h.b.el.title = t.valueB;
    });
  }

  // --- Functions the program calls ---
  window.initLanguage = function (name) {
    t = String(name).toLowerCase() === 'korean' ? TEXTS.korean : TEXTS.english;
    applyLanguage();
  };
  window.setOutputTrigger = function (v) { outputTrigger = parseInt(v, 10) || 0; };
  window.setText = function (name, text) {
    var c = byName[name];
    if (!c) return;
    c.el.value = String(text);
    setValue(c.idx, String(text).replace(/\|/g, '_'));
  };
  window.setNetwork = window.setText;
  window.setNetworkLan = window.setText;
  window.callSetSlide = function (n, v) {
    n = parseInt(n, 10);
    if (n === 5) { setValue(6, v); return; }
    for (var i = 0; i < controls.length; i++) {
      var c = controls[i];
      if (c.kind === 'slide' && c.slide === n) {
        c.el.value = String(v);
        c.shown.textContent = String(v);
        setValue(c.idx, v);
      }
    }
  };
  window.setDst = function (a, b) {
    byIndex[73].el.value = String(a); setValue(73, a);
    byIndex[74].el.value = String(b); setValue(74, b);
  };
  window.setTimezoneHour = function (h) { tzHour = parseInt(h, 10) || 0; showTimezoneOffset(); };
  window.setTimezoneMinute = function (m) { tzMinute = parseInt(m, 10) || 0; showTimezoneOffset(); };
  window.setGPS = function (n) { gpsBits[n].checked = true; setGpsBit(n, true); };
  window.clearGPS = function (n) { gpsBits[n].checked = false; setGpsBit(n, false); };

  // The setting string of what the page shows.
  window.getSettingString = function () { return values.join('|'); };
  // What each control allows, for checks of the page.
  window.describeControls = function () {
    return controls.map(function (c) {
      var d = { idx: c.idx, kind: c.kind, fixed: !!(c.def && c.def.fixed) || !!c.fixed, id: c.el.id };
      if (c.kind === 'choice') d.options = Array.prototype.map.call(c.el.options, function (o) { return parseInt(o.value, 10); });
      else if (c.kind === 'text') d.bytes = c.bytes;
      else { d.min = c.min; d.max = c.max; }
      return d;
    });
  };
  // Sets a control as a user would (tests, keyboard automation): choices, numbers and texts.
  window.userSet = function (idx, v) {
    var c = byIndex[idx];
    if (!c || c.el.disabled) return false;
    c.el.value = String(v);
    c.el.dispatchEvent(new Event(c.kind === 'text' || c.kind === 'slide' ? 'input' : 'change'));
    return true;
  };

  document.addEventListener('DOMContentLoaded', function () {
    defaults();
    build();
    applyLanguage();
    document.getElementById('btnLoad').addEventListener('click', function () { send('btnLoad'); });
    document.getElementById('btnSave').addEventListener('click', function () { send('btnSave', getSettingString()); });
    document.getElementById('btnLoadfrommovie').addEventListener('click', function () { send('btnLoadfrommovie'); });
    document.getElementById('btnDefault').addEventListener('click', function () { send('btnDefault'); });
    document.getElementById('btnWrite').addEventListener('click', function () {
      send('btnWrite', getSettingString());
      send('btnOkey');
    });
    document.getElementById('btnCancel').addEventListener('click', function () { send('btnCancel'); });
  });
})();
