// Main page of the player: sends every control's command through window.external.DoClick and
// offers the functions the program calls (directly or through callInternal).
'use strict';

var RATES = ['1.0', '2.0', '2.7', '3.4', '4.0'];
var UNITS = {1: 'Km/h', 2: 'Mile/h', 3: 'Knot/h'};
// The program sends km/h; the read-out shows the chosen unit (factors from knots: 1.852, 1.150779, 1).
var FROM_KMH = {1: 1, 2: 1.150779 / 1.852, 3: 1 / 1.852};

var TEXTS = {
    english: {
        play: 'Play', pause: 'Pause', home: 'Previous recording', end: 'Next recording',
        prev: 'Back 2 seconds', next: 'Forward 1 second', frameDown: 'Back 1 second', frameUp: 'Next frame',
        slower: 'Slower', faster: 'Faster', rate: 'Speed', repeat: 'Repeat',
        loop: 'Repeat the recording', loopStart: 'Repeat from here', loopEnd: 'Repeat up to here',
        loopClose: 'Stop repeating', open: 'Open card or folder', fileOpen: 'Open a recording file',
        search: 'Search recordings', picture: 'Save snapshot', print: 'Print report', save: 'Protected copy',
        convert: 'Convert to AVI', download: 'Copy to PC', merge: 'Join channels', clip: 'Evidence clip', log: 'Export event log', gpx: 'Save the track as GPX', trips: 'Trips of the card on a map',
        deleteFile: 'Delete checked recordings', format: 'Format card', quickSetting: 'Quick settings on the card', mirror: 'Mirror', flip: 'Flip',
        change: 'Swap screens', collect: 'Grid view', tripple: 'Screen layout', zoom: 'Zoom',
        gsensor: 'G-sensor windows', map: 'Show map', mapsetting: 'Map service', setting: 'Camera settings',
        info: 'Recording information', homepage: 'Home page', brightness: 'Brightness', darker: 'Darker',
        brighter: 'Brighter', volume: 'Volume', unit: 'Speed unit', channels: 'CH'
    },
    korean: {
        play: '재생', pause: '일시정지', home: '이전 파일', end: '다음 파일',
        prev: '2초 뒤로', next: '1초 앞으로', frameDown: '1초 뒤로', frameUp: '다음 프레임',
        slower: '느리게', faster: '빠르게', rate: '배속', repeat: '반복',
        loop: '구간 반복', loopStart: '여기부터 반복', loopEnd: '여기까지 반복',
        loopClose: '반복 해제', open: '카드/폴더 열기', fileOpen: '영상 파일 열기',
        search: '영상 검색', picture: '스냅샷 저장', print: '보고서 인쇄', save: '보안 복사',
        convert: 'AVI 변환', download: 'PC로 복사', merge: '채널 합치기', clip: '증거 클립 만들기', log: '이벤트 로그 내보내기', gpx: '경로를 GPX로 저장', trips: '카드의 주행을 지도에',
        deleteFile: '선택 영상 삭제', format: '카드 포맷', quickSetting: '카드의 빠른 설정', mirror: '좌우 반전', flip: '상하 반전',
        change: '화면 전환', collect: '분할 보기', tripple: '화면 배치', zoom: '확대',
        gsensor: 'G-센서 창', map: '지도 보기', mapsetting: '지도 서비스', setting: '카메라 설정',
        info: '영상 정보', homepage: '홈페이지', brightness: '밝기', darker: '어둡게',
        brighter: '밝게', volume: '볼륨', unit: '속도 단위', channels: 'CH'
    }
};

var state = {
    language: 'english',
    playing: false,     // the pause button is shown
    posMs: 0,
    rangeMs: 0,
    rateIndex: 0,
    brightness: 10,
    volume: 50,
    unit: 1,
    loopActive: false,
    loopStart: 0,
    loopEnd: 0,
    channels: 0,
    windowMap: '',
    dragging: false,
    dragFromMs: 0
};

function $(id) { return document.getElementById(id); }

function send(name, value) {
    try {
        window.external.DoClick(name, value === undefined ? '' : value);
    } catch (e) {
        // No program behind the page (opened on its own): nothing to do.
    }
}

function toInt(v) {
    var n = parseInt(v, 10);
    return isNaN(n) ? 0 : n;
}

function two(n) { return (n < 10 ? '0' : '') + n; }

function formatTime(ms) {
    var s = Math.max(0, Math.floor(ms / 1000));
    var m = Math.floor(s / 60);
    return two(m) + ':' + two(s % 60);
}

// ---- drawing ----

function fraction(ms) {
    if (state.rangeMs <= 0) return 0;
    return Math.min(1, Math.max(0, ms / state.rangeMs));
}

function drawTime() {
    // The range the program sends is a little shorter than the recording: the last moments
    // show as its end, never past it.
    var shown = state.rangeMs > 0 ? Math.min(state.posMs, state.rangeMs) : state.posMs;
    $('timeText').textContent = formatTime(shown) + ' / ' + formatTime(state.rangeMs);
    var pct = (fraction(shown) * 100).toFixed(3) + '%';
    $('progress').style.width = pct;
    $('thumb').style.left = pct;
    var tl = $('timeline');
    tl.setAttribute('aria-valuemax', String(state.rangeMs));
    tl.setAttribute('aria-valuenow', String(shown));
}

function drawLoop() {
    var band = $('loopRange');
    band.hidden = !state.loopActive;
    if (state.loopActive) {
        var a = fraction(Math.min(state.loopStart, state.loopEnd));
        var b = fraction(Math.max(state.loopStart, state.loopEnd));
        band.style.left = (a * 100).toFixed(3) + '%';
        band.style.width = ((b - a) * 100).toFixed(3) + '%';
    }
    $('btnLoop').classList.toggle('on', state.loopActive);
    $('btnLoopStart').disabled = !state.loopActive;
    $('btnLoopEnd').disabled = !state.loopActive;
    $('btnLoopClose').disabled = !state.loopActive;
}

function drawPlay() {
    var b = $('btnPlay');
    b.querySelector('use').setAttribute('href', state.playing ? '#i-pause' : '#i-play');
    b.dataset.tip = state.playing ? 'pause' : 'play';
    b.title = texts()[b.dataset.tip];
}

function drawRate() { $('rateText').textContent = RATES[state.rateIndex] + '×'; }

function drawBrightness() {
    var fill = $('brightFill');
    var off = (state.brightness - 10) * 5; // percent of the meter either side of the middle
    fill.style.left = (off >= 0 ? 50 : 50 + off) + '%';
    fill.style.width = Math.abs(off) + '%';
    $('brightMeter').title = texts().brightness + ' ' + (state.brightness - 10);
}

function drawVolume() {
    var v = $('btnVolumn');
    v.value = String(state.volume);
    v.style.setProperty('--fill', state.volume + '%');
    $('volumeIcon').querySelector('use').setAttribute('href', state.volume === 0 ? '#i-mute' : '#i-volume');
}

function drawUnit() {
    var text = UNITS[state.unit] || UNITS[1];
    $('speedUnit').textContent = text;
    $('btnUnit').textContent = text;
    drawSpeedValue();
}

function drawSpeedValue() {
    var kmh = (state.speedKmh1000 || 0) / 1000;
    $('speedValue').textContent = String(Math.round(kmh * (FROM_KMH[state.unit] || 1)));
}

function texts() { return TEXTS[state.language] || TEXTS.english; }

function drawTexts() {
    var t = texts();
    document.documentElement.lang = state.language === 'korean' ? 'ko' : 'en';
    document.querySelectorAll('[data-tip]').forEach(function (el) {
        var s = t[el.dataset.tip];
        if (s) { el.title = s; el.setAttribute('aria-label', s); }
    });
    document.querySelectorAll('[data-text]').forEach(function (el) {
        var s = t[el.dataset.text];
        if (s) el.textContent = s;
    });
    drawBrightness();
}

// ---- functions the program calls ----

function callInternal(name, value) {
    var f = window[name];
    if (typeof f === 'function' && f !== callInternal) f(value);
}

function initLanguage(name) {
    state.language = String(name).toLowerCase() === 'korean' ? 'korean' : 'english';
    drawTexts();
}

function setWindowMap(value) {
    state.windowMap = String(value);
    document.body.dataset.windowMap = state.windowMap;
}

function setSpeedUnit(unit) {
    var u = toInt(unit);
    if (UNITS[u]) state.unit = u;
    drawUnit();
}

function setPlay() { state.playing = false; drawPlay(); }
function setPause() { state.playing = true; drawPlay(); }

function setPos(ms) {
    if (state.dragging) return; // the user is choosing a position
    state.posMs = Math.max(0, toInt(ms));
    drawTime();
}

function drawSpeed(value) {
    state.speedKmh1000 = toInt(value);
    drawSpeedValue();
}

function setChannel(count) {
    state.channels = toInt(count);
    var badge = $('channelBadge');
    badge.hidden = state.channels <= 0;
    badge.textContent = state.channels + texts().channels;
}

function setRange(ms) {
    state.rangeMs = Math.max(0, toInt(ms));
    drawTime();
    drawLoop();
}

function setLoopRange(ms) {
    state.loopActive = true;
    state.loopStart = 0;
    state.loopEnd = Math.max(0, toInt(ms));
    drawLoop();
}

function clearLoopRange() {
    state.loopActive = false;
    state.loopStart = 0;
    state.loopEnd = 0;
    drawLoop();
}

function clearEventMark() { $('marks').innerHTML = ''; }

function addEventMark(x, code) {
    var pos = Math.min(260, Math.max(0, Number(x) || 0));
    var mark = document.createElement('div');
    var c = String(code === undefined ? '' : code).charAt(0);
    mark.className = 'mark' + (c ? ' k-' + c.toLowerCase() : '');
    mark.style.left = (pos / 260 * 100).toFixed(3) + '%';
    mark.dataset.code = c;
    mark.title = c;
    $('marks').appendChild(mark);
}

// ---- controls ----

function bindCommands() {
    document.querySelectorAll('[data-cmd]').forEach(function (el) {
        el.addEventListener('click', function () { send(el.dataset.cmd, ''); });
    });

    $('btnPlay').addEventListener('click', function () { send(state.playing ? 'btnPause' : 'btnPlay', ''); });

    $('btnSpeedDown').addEventListener('click', function () {
        state.rateIndex = Math.max(0, state.rateIndex - 1);
        drawRate();
        send('btnSpeedDown', state.rateIndex);
    });
    $('btnSpeedUp').addEventListener('click', function () {
        state.rateIndex = Math.min(RATES.length - 1, state.rateIndex + 1);
        drawRate();
        send('btnSpeedUp', state.rateIndex);
    });

    $('btnControlDown1').addEventListener('click', function () {
        state.brightness = Math.max(0, state.brightness - 1);
        drawBrightness();
        send('btnControlDown1', state.brightness);
    });
    $('btnControlUp1').addEventListener('click', function () {
        state.brightness = Math.min(20, state.brightness + 1);
        drawBrightness();
        send('btnControlUp1', state.brightness);
    });

    $('btnVolumn').addEventListener('input', function () {
        state.volume = toInt(this.value);
        drawVolume();
        send('btnVolumn', state.volume);
    });

    $('btnUnit').addEventListener('click', function () {
        state.unit = state.unit % 3 + 1;
        drawUnit();
        send('btnUnit', state.unit);
    });

    $('btnLoop').addEventListener('click', function () {
        if (state.loopActive) {
            state.loopActive = false;
            drawLoop();
            send('btnLoopClose', '');
        } else {
            send('btnLoop', ''); // the program answers with setLoopRange
        }
    });
    $('btnLoopClose').addEventListener('click', function () {
        state.loopActive = false;
        drawLoop();
    });
    $('btnLoopStart').addEventListener('click', function () {
        state.loopStart = state.posMs;
        drawLoop();
        send('btnLoopStart', state.posMs);
    });
    $('btnLoopEnd').addEventListener('click', function () {
        state.loopEnd = state.posMs;
        drawLoop();
        send('btnLoopEnd', state.posMs);
    });

    bindTimeline();
}

function bindTimeline() {
    var tl = $('timeline');
    function msAt(clientX) {
        var r = tl.getBoundingClientRect();
        if (r.width <= 0) return 0;
        var f = Math.min(1, Math.max(0, (clientX - r.left) / r.width));
        return Math.round(f * state.rangeMs);
    }
    tl.addEventListener('pointerdown', function (e) {
        // Nothing loaded (no range): there is nowhere to go, the bar stays where it is.
        if (e.button !== 0 || state.rangeMs <= 0) return;
        state.dragging = true;
        tl.classList.add('dragging');
        state.dragFromMs = state.posMs;
        try { tl.setPointerCapture(e.pointerId); } catch (err) { /* synthetic events */ }
        state.posMs = msAt(e.clientX);
        drawTime();
    });
    tl.addEventListener('pointermove', function (e) {
        if (!state.dragging) return;
        state.posMs = msAt(e.clientX);
        drawTime();
    });
    function finish(e) {
        if (!state.dragging) return;
        state.dragging = false;
        tl.classList.remove('dragging');
        state.posMs = msAt(e.clientX);
        drawTime();
        send('btnPosition', state.posMs);
    }
    tl.addEventListener('pointerup', finish);
    tl.addEventListener('pointercancel', function () {
        if (!state.dragging) return;
        state.dragging = false;
        tl.classList.remove('dragging');
        // Nothing was sought: the time line goes back to where playback is.
        state.posMs = state.dragFromMs;
        drawTime();
    });
}

// Right clicks and drags never show the browser's own behaviour.
document.addEventListener('contextmenu', function (e) { e.preventDefault(); });
document.addEventListener('dragstart', function (e) { e.preventDefault(); });

bindCommands();
drawTexts();
drawPlay();
drawRate();
drawVolume();
drawUnit();
drawTime();
drawLoop();
