// The trips page (trips.htm): every drive of a card on one Leaflet map over the offline base layer
// (js/mapbase.js) and the tiles the program serves, coloured by trip or by speed, driving events
// as markers, the drives listed by day with their figures, filters by date, kind and event type,
// the recordings near a chosen point, and GPX or CSV of what is shown.
//
// Functions the program calls (strings in): showTrips(json) (see ui/trips/TripsPageData.h; returns
// the number of trips shown); setProgress(done, total, text) (-1: the run is over, text says how);
// setCard(path); setLanguage('english' or 'korean'); setTileSource(url, attribution, minZoom,
// maxZoom, coords); setOnline('1' or '0'); showNear(json of [{recording, offsetMs, distanceM}]).
// For checks: tripsState(), tripPointOf(recording, point) ("x,y" in the page), clickAt(x, y) (what
// a click there does).
// Calls to the program (window.external.DoHandler): tripsOpen "recording,offsetMs", tripsNear
// "lat,lon,radiusM", tripsExport "gpx|csv;trips;event types", tripsCancel, tripsRefresh, tripsChoose.
(function () {
    'use strict';
    var TEXTS = {
        english: {
            noCard: 'No card or folder is listed: choose one.', choose: 'Card or folder…', refresh: 'Update',
            cancel: 'Stop', from: 'From', to: 'To', kind1: 'Normal', kind3: 'Event', kind2: 'Emergency',
            kind4: 'Parking', type0: 'Braking', type1: 'Acceleration', type2: 'Cornering', type3: 'Speeding',
            withEvents: 'Only trips with these events', colour: 'Colour', byTrip: 'by trip', bySpeed: 'by speed',
            near: 'Recordings near here', pick: 'Click the map…', nearTitle: '%1 recording(s) within %2 m',
            indexing: 'Indexing %1 / %2', indexingStart: 'Looking for recordings…', trips: '%1 trip(s), %2 km',
            recordings: '%1 recording(s)', noGps: 'no GPS', other: 'Not part of a trip', camera: 'camera events',
            max: 'max', mean: 'mean', nothing: 'No trips to show.'
        },
        korean: {
            noCard: '목록에 카드나 폴더가 없습니다. 선택하십시오.', choose: '카드/폴더…', refresh: '업데이트',
            cancel: '중지', from: '시작', to: '끝', kind1: '상시', kind3: '이벤트', kind2: '긴급',
            kind4: '주차', type0: '급제동', type1: '급가속', type2: '급회전', type3: '과속',
            withEvents: '이 이벤트가 있는 주행만', colour: '색상', byTrip: '주행별', bySpeed: '속도별',
            near: '이 근처의 영상', pick: '지도를 클릭하십시오…', nearTitle: '%2 m 이내의 영상 %1개',
            indexing: '색인 중 %1 / %2', indexingStart: '영상을 찾는 중…', trips: '주행 %1개, %2 km',
            recordings: '영상 %1개', noGps: 'GPS 없음', other: '주행에 속하지 않음', camera: '카메라 이벤트',
            max: '최고', mean: '평균', nothing: '표시할 주행이 없습니다.'
        }
    };
    var TYPE_NAMES = ['braking', 'acceleration', 'cornering', 'speeding'];
    var TYPE_COLOURS = ['#e8452c', '#2fb84a', '#ffb400', '#b04fd6'];
    var TRIP_COLOURS = ['#1d6fd6', '#d6361d', '#1e9e49', '#9b3fd1', '#e07b00', '#0097a7', '#c2185b',
                        '#5d7b00', '#6d4c41', '#3949ab'];
    var SPEEDS = [{below: 30, colour: '#2fb84a'}, {below: 60, colour: '#a4c400'}, {below: 90, colour: '#ffb400'},
                  {below: 120, colour: '#e8452c'}, {below: Infinity, colour: '#8e24aa'}];
    var HIT_PX = 9; // how near a click must be to a route or an event

    var language = 'english';
    var data = {trips: [], recordings: []};
    var shownTrips = [];     // trip indexes that pass the filters
    var shownRecs = [];      // recording indexes drawn or listed
    var selectedTrip = -1;
    var fitted = false;      // the view was fitted to this card's trips
    var picking = false;     // the next map click asks for the recordings near it
    var progress = {done: -1, total: -1, text: ''};
    var nearCount = 0;
    var tiles = {url: '', attribution: '', minZoom: 1, maxZoom: 18}, coords = 'wgs84', online = false;
    var map = null, renderer = null, tileLayer = null, routes = null, marks = null, nearLayer = null, legend = null;
    var tip = null;
    var opened = 0;          // tripsOpen calls sent (checks)

    function $(id) { return document.getElementById(id); }
    function t(key) { return (TEXTS[language] || TEXTS.english)[key] || TEXTS.english[key] || ''; }
    function fill(s) { var a = arguments; return String(s).replace(/%(\d)/g, function (m, i) { return a[+i]; }); }
    function send(name, value) {
        if (window.external && window.external.DoHandler) window.external.DoHandler(name, value);
    }
    function shown(lat, lon) {
        var p = coords === 'gcj02' && window.QuillentGcj02 ? QuillentGcj02.fromWgs(lat, lon) : [lat, lon];
        return L.latLng(p[0], p[1]);
    }
    function esc(text) {
        return String(text).replace(/[&<>"']/g, function (c) {
            return {'&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', "'": '&#39;'}[c];
        });
    }
    function pad(n) { return n < 10 ? '0' + n : String(n); }
    // Days and times on the camera's clock (the offset comes with the data), whatever the PC's zone.
    function onCamera(ms) { return new Date(ms + (data.clockOffsetMs || 0)); }
    function dayKey(ms) { var d = onCamera(ms); return d.getUTCFullYear() + '-' + pad(d.getUTCMonth() + 1) + '-' + pad(d.getUTCDate()); }
    function clock(ms) { var d = onCamera(ms); return pad(d.getUTCHours()) + ':' + pad(d.getUTCMinutes()); }
    function km(m) { return (m / 1000).toFixed(m < 10000 ? 2 : 1); }
    function minutes(ms) {
        var m = Math.round(ms / 60000);
        return m < 60 ? m + ' min' : Math.floor(m / 60) + ' h ' + pad(m % 60) + ' min';
    }

    // ---- texts ----
    function drawTexts() {
        document.documentElement.lang = language === 'korean' ? 'ko' : 'en';
        document.querySelectorAll('[data-text]').forEach(function (el) {
            if (el.id === 'card' && data.card) return;
            el.textContent = t(el.dataset.text);
        });
        drawProgress();
        drawNearButton();
    }

    // ---- filters ----
    function checked(selector, attr) {
        var on = {};
        document.querySelectorAll(selector).forEach(function (el) { on[el.dataset[attr]] = el.checked; });
        return on;
    }
    function filters() {
        var from = $('from').value, to = $('to').value;
        return {from: from, to: to, kinds: checked('#kinds input', 'kind'), types: checked('#types input', 'type'),
                withEvents: $('withEvents').checked};
    }
    function dayShown(f, ms) {
        var d = dayKey(ms);
        return (!f.from || d >= f.from) && (!f.to || d <= f.to);
    }
    function eventsShown(f, r) {
        return r.events.filter(function (e) { return f.types[e[0]]; });
    }
    function applyFilters() {
        var f = filters();
        shownTrips = [];
        shownRecs = [];
        var inTrip = {};
        data.trips.forEach(function (trip, i) {
            if (!dayShown(f, trip.start)) return;
            var recs = trip.recordings.filter(function (r) { return f.kinds[data.recordings[r].kind]; });
            if (!recs.length) return;
            if (f.withEvents && !recs.some(function (r) { return eventsShown(f, data.recordings[r]).length; })) return;
            shownTrips.push(i);
            recs.forEach(function (r) { inTrip[r] = true; shownRecs.push(r); });
        });
        data.recordings.forEach(function (r, i) {
            if (r.trip < 0 && f.kinds[r.kind] && dayShown(f, r.start) && !f.withEvents) shownRecs.push(i);
        });
        if (shownTrips.indexOf(selectedTrip) < 0) selectedTrip = -1;
    }

    // ---- map layers ----
    function runsOf(r) {
        // The track cut at its breaks (a jump or a lost fix never gets a line).
        var runs = [], run = [], b = 0, n = r.track.length / 4;
        for (var i = 0; i < n; ++i) {
            if (b < r.breaks.length && r.breaks[b] === i) {
                if (run.length > 1) runs.push(run);
                run = [];
                ++b;
            }
            run.push(i);
        }
        if (run.length > 1) runs.push(run);
        return runs;
    }
    function point(r, i) { return shown(r.track[4 * i], r.track[4 * i + 1]); }
    function speedBand(kmh) {
        for (var s = 0; s < SPEEDS.length; ++s) if (kmh < SPEEDS[s].below) return s;
        return SPEEDS.length - 1;
    }
    function tripColour(trip) { return trip < 0 ? '#777777' : TRIP_COLOURS[trip % TRIP_COLOURS.length]; }

    function drawRoutes() {
        routes.clearLayers();
        var bySpeed = $('colour').value === 'speed';
        var groups = {}; // colour key -> array of lat/lng runs
        shownRecs.forEach(function (i) {
            var r = data.recordings[i];
            if (!r.gps || r.track.length < 8) return;
            runsOf(r).forEach(function (run) {
                if (!bySpeed) {
                    var key = r.trip;
                    (groups[key] = groups[key] || []).push(run.map(function (p) { return point(r, p); }));
                    return;
                }
                // A piece of one speed band at a time, each from the point before it.
                var band = -1, piece = null;
                for (var k = 1; k < run.length; ++k) {
                    var kmh = (r.track[4 * run[k - 1] + 3] + r.track[4 * run[k] + 3]) / 2, b = speedBand(kmh);
                    if (b !== band) {
                        piece = [point(r, run[k - 1])];
                        (groups['s' + b] = groups['s' + b] || []).push(piece);
                        band = b;
                    }
                    piece.push(point(r, run[k]));
                }
            });
        });
        Object.keys(groups).forEach(function (key) {
            var speed = key.charAt(0) === 's';
            var trip = speed ? -2 : Number(key);
            var colour = speed ? SPEEDS[Number(key.substring(1))].colour : tripColour(trip);
            var weight = trip >= 0 && trip === selectedTrip ? 7 : 4;
            L.polyline(groups[key], {renderer: renderer, color: colour, weight: weight, opacity: 0.85,
                                     interactive: false, smoothFactor: 1.5}).addTo(routes);
        });
        if (selectedTrip >= 0 && bySpeed) {
            // The chosen trip outlined under the speed colours.
            var outline = [];
            data.trips[selectedTrip].recordings.forEach(function (i) {
                var r = data.recordings[i];
                if (r.gps) runsOf(r).forEach(function (run) { outline.push(run.map(function (p) { return point(r, p); })); });
            });
            var line = L.polyline(outline, {renderer: renderer, color: '#000', weight: 9, opacity: 0.35, interactive: false});
            line.addTo(routes);
            line.bringToBack();
        }
        drawLegend(bySpeed);
    }
    function drawEvents() {
        marks.clearLayers();
        var f = filters();
        shownRecs.forEach(function (i) {
            eventsShown(f, data.recordings[i]).forEach(function (e) {
                if (!e[5]) return; // no place
                L.circleMarker(shown(e[2], e[3]), {renderer: renderer, radius: 6, color: '#fff', weight: 2,
                                                   fillColor: TYPE_COLOURS[e[0]], fillOpacity: 1, interactive: false})
                    .addTo(marks);
            });
        });
    }
    function drawLegend(bySpeed) {
        if (legend) { map.removeControl(legend); legend = null; }
        if (!bySpeed || !L.Control) return;
        legend = L.control({position: 'bottomright'});
        legend.onAdd = function () {
            var box = L.DomUtil.create('div', 'q-legend leaflet-bar'), html = '', low = 0;
            SPEEDS.forEach(function (s) {
                html += '<i style="background:' + s.colour + '"></i>' + (s.below === Infinity ? low + '+' : low + '–' + s.below);
                low = s.below;
            });
            box.innerHTML = html + ' km/h';
            return box;
        };
        legend.addTo(map);
    }
    function fitShown() {
        var bounds = L.latLngBounds([]);
        shownRecs.forEach(function (i) {
            var r = data.recordings[i];
            for (var k = 0; k + 1 < r.track.length; k += 4) bounds.extend(shown(r.track[k], r.track[k + 1]));
        });
        if (bounds.isValid()) map.fitBounds(bounds, {padding: [24, 24], maxZoom: Math.min(16, map.getMaxZoom()), animate: false});
        return bounds.isValid();
    }

    // ---- what a click hits ----
    function segmentHit(p, a, b) {
        var dx = b.x - a.x, dy = b.y - a.y, len = dx * dx + dy * dy;
        var f = len > 0 ? Math.max(0, Math.min(1, ((p.x - a.x) * dx + (p.y - a.y) * dy) / len)) : 0;
        var x = a.x + f * dx - p.x, y = a.y + f * dy - p.y;
        return {d: Math.sqrt(x * x + y * y), f: f};
    }
    // The event or route point under container point `p` among the recordings `recs`:
    // {recording, ms, event}, or null.
    function hitAmong(p, recs) {
        var f = filters(), best = null, bestD = HIT_PX;
        recs.forEach(function (i) {
            eventsShown(f, data.recordings[i]).forEach(function (e) {
                if (!e[5]) return;
                var q = map.latLngToContainerPoint(shown(e[2], e[3])), d = q.distanceTo(p);
                if (d <= bestD) { bestD = d; best = {recording: i, ms: e[1], event: e}; }
            });
        });
        if (best) return best;
        bestD = HIT_PX + 0.01; // on a stretch recorded twice the earlier recording wins
        var view = map.getBounds().pad(0.1);
        recs.forEach(function (i) {
            var r = data.recordings[i];
            if (!r.gps) return;
            if (!r.box) {
                r.box = L.latLngBounds([]);
                for (var k = 0; k + 1 < r.track.length; k += 4) r.box.extend(shown(r.track[k], r.track[k + 1]));
            }
            if (!r.box.isValid() || !view.intersects(r.box)) return;
            runsOf(r).forEach(function (run) {
                var prev = map.latLngToContainerPoint(point(r, run[0]));
                for (var k = 1; k < run.length; ++k) {
                    var next = map.latLngToContainerPoint(point(r, run[k]));
                    var h = segmentHit(p, prev, next);
                    if (h.d < bestD) {
                        var a = r.track[4 * run[k - 1] + 2], b = r.track[4 * run[k] + 2];
                        bestD = h.d;
                        best = {recording: i, ms: Math.round(a + h.f * (b - a)), event: null};
                    }
                    prev = next;
                }
            });
        });
        return best;
    }
    // The chosen trip's recordings first: the same road is often driven on several days.
    function hitAt(p) {
        if (selectedTrip >= 0) {
            var own = hitAmong(p, shownRecs.filter(function (i) { return data.recordings[i].trip === selectedTrip; }));
            if (own) return own;
        }
        return hitAmong(p, shownRecs);
    }
    function openHit(hit) {
        ++opened;
        send('tripsOpen', hit.recording + ',' + hit.ms);
    }
    function onMapClick(latlng, p) {
        if (picking) {
            picking = false;
            drawNearButton();
            askNear(latlng);
            return;
        }
        var hit = hitAt(p);
        if (hit) openHit(hit);
    }
    function askNear(latlng) {
        var radius = Number($('radius').value) || 50;
        nearLayer.clearLayers();
        L.circle(latlng, {radius: radius, color: '#00a8ff', weight: 2, fillOpacity: 0.12, interactive: false}).addTo(nearLayer);
        // The index holds WGS-84: a shifted map's point goes back first.
        var wgs = [latlng.lat, latlng.lng];
        if (coords === 'gcj02' && window.QuillentGcj02) {
            var there = QuillentGcj02.fromWgs(wgs[0], wgs[1]); // the shift is nearly the same a few hundred metres away
            wgs = [2 * wgs[0] - there[0], 2 * wgs[1] - there[1]];
        }
        send('tripsNear', wgs[0].toFixed(6) + ',' + wgs[1].toFixed(6) + ',' + radius);
    }
    function drawNearButton() {
        var b = $('btnNear');
        b.textContent = picking ? t('pick') : t('near');
        b.classList.toggle('on', picking);
        if (map) map.getContainer().classList.toggle('picking', picking);
    }
    function showTip(p) {
        var hit = hitAt(p);
        map.getContainer().classList.toggle('over', !!hit && !picking);
        if (hit && hit.event) {
            var r = data.recordings[hit.recording], e = hit.event;
            var strength = e[0] === 3 ? Math.round(e[4]) + ' km/h' : e[4].toFixed(2) + ' G';
            if (!tip) tip = L.tooltip({className: 'q-tip', direction: 'top', offset: [0, -8]});
            tip.setLatLng(shown(e[2], e[3])).setContent(t('type' + e[0]) + ' · ' + strength + ' · ' +
                clock(r.start + e[1]) + ' · ' + esc(r.name));
            if (!map.hasLayer(tip)) tip.addTo(map);
        } else if (tip && map.hasLayer(tip)) {
            map.removeLayer(tip);
        }
    }

    // ---- the list ----
    function eventLine(f, recs) {
        var counts = [0, 0, 0, 0];
        recs.forEach(function (i) { eventsShown(f, data.recordings[i]).forEach(function (e) { ++counts[e[0]]; }); });
        var html = '';
        counts.forEach(function (c, k) {
            if (c) html += '<span><i class="ev t' + k + '"></i>' + t('type' + k) + ' ' + c + '</span>';
        });
        return html;
    }
    function drawList() {
        var f = filters(), list = $('list'), days = {}, order = [];
        function day(ms) {
            var k = dayKey(ms);
            if (!days[k]) { days[k] = {items: [], distance: 0}; order.push(k); }
            return days[k];
        }
        var total = 0;
        shownTrips.forEach(function (ti) {
            var trip = data.trips[ti], d = day(trip.start);
            d.items.push({trip: ti, start: trip.start});
            d.distance += trip.distanceM;
            total += trip.distanceM;
        });
        shownRecs.forEach(function (i) {
            var r = data.recordings[i];
            if (r.trip < 0) day(r.start).items.push({recording: i, start: r.start});
        });
        order.sort().reverse();
        var html = '';
        order.forEach(function (k) {
            var d = days[k];
            d.items.sort(function (a, b) { return b.start - a.start; });
            html += '<div class="day">' + k + (d.distance ? '<small>' + km(d.distance) + ' km</small>' : '') + '</div>';
            d.items.forEach(function (item) {
                if (item.trip !== undefined) {
                    var trip = data.trips[item.trip];
                    var recs = trip.recordings.filter(function (r) { return f.kinds[data.recordings[r].kind]; });
                    var noGps = recs.filter(function (r) { return !data.recordings[r].gps; }).length;
                    html += '<div class="item' + (item.trip === selectedTrip ? ' selected' : '') + '" data-trip="' + item.trip + '">' +
                        '<div class="when"><span class="swatch" style="background:' + tripColour(item.trip) + '"></span>' +
                        clock(trip.start) + '–' + clock(trip.end) + ' · ' + km(trip.distanceM) + ' km · ' +
                        minutes(trip.end - trip.start) + '</div>' +
                        '<div class="figures">' + t('max') + ' ' + Math.round(trip.maxKmh) + ' · ' + t('mean') + ' ' +
                        Math.round(trip.meanKmh) + ' km/h · ' + fill(t('recordings'), recs.length) +
                        (noGps ? ' <span class="note">(' + noGps + ' ' + t('noGps') + ')</span>' : '') +
                        (trip.camera ? ' · ' + trip.camera + ' ' + t('camera') : '') + '</div>' +
                        '<div class="events">' + eventLine(f, recs) + '</div></div>';
                } else {
                    var r = data.recordings[item.recording];
                    html += '<div class="item other" data-recording="' + item.recording + '"><div class="when">' +
                        clock(r.start) + ' · ' + esc(r.name) + '</div><div class="figures">' + t('kind' + r.kind) + ' · ' +
                        t('other') + (r.gps ? '' : ' · ' + t('noGps')) + '</div></div>';
                }
            });
        });
        list.innerHTML = html || '<div class="item other">' + t('nothing') + '</div>';
        $('summary').textContent = fill(t('trips'), shownTrips.length, km(total));
    }
    function redraw() {
        applyFilters();
        if (!map) return;
        drawRoutes();
        drawEvents();
        drawList();
    }

    // ---- progress and card ----
    function drawProgress() {
        var bar = $('bar'), text = $('progressText');
        var running = progress.done >= 0;
        bar.classList.toggle('idle', !running);
        bar.classList.toggle('unknown', running && progress.total <= 0);
        bar.firstElementChild.style.width = running && progress.total > 0 ?
            Math.round(100 * progress.done / progress.total) + '%' : '';
        text.textContent = running ? (progress.total > 0 ? fill(t('indexing'), progress.done, progress.total) : t('indexingStart')) +
            (progress.text ? ' · ' + progress.text : '') : progress.text;
        $('btnCancel').style.display = running ? '' : 'none';
        $('btnRefresh').style.display = running || !data.card ? 'none' : '';
    }

    // ---- functions the program calls ----
    window.showTrips = function (json) {
        var next;
        try { next = JSON.parse(json); } catch (e) { next = null; }
        if (!next || !next.trips || !next.recordings) return '0';
        next.card = data.card;
        data = next;
        redraw();
        if (map && !fitted) fitted = fitShown();
        return String(shownTrips.length);
    };
    window.setProgress = function (done, total, text) {
        progress = {done: Number(done), total: Number(total), text: String(text || '')};
        drawProgress();
        return '';
    };
    window.setCard = function (path) {
        var card = String(path || '');
        if (card !== data.card) {
            fitted = false;
            nearLayer && nearLayer.clearLayers();
            $('nearBox').hidden = true;
        }
        data.card = card;
        $('card').textContent = card || t('noCard');
        $('card').title = card;
        drawProgress();
        return '';
    };
    window.setLanguage = function (name) {
        language = String(name).toLowerCase() === 'korean' ? 'korean' : 'english';
        drawTexts();
        if (map) drawList();
        return '';
    };
    window.setTileSource = function (url, attribution, minZoom, maxZoom, coordinates) {
        tiles.url = String(url || '');
        tiles.attribution = String(attribution || '');
        tiles.minZoom = parseInt(minZoom, 10) || 0;
        tiles.maxZoom = parseInt(maxZoom, 10) || 18;
        var next = coordinates === 'gcj02' ? 'gcj02' : 'wgs84', changed = next !== coords;
        coords = next;
        if (!map) return '';
        if (tileLayer) { map.removeLayer(tileLayer); tileLayer = null; }
        var most = Math.max(tiles.maxZoom, 1), least = Math.max(0, Math.min(tiles.minZoom, tiles.maxZoom));
        var z = map.getZoom();
        if (z < least || z > most) map.setZoom(Math.min(most, Math.max(least, z)), {animate: false});
        map.setMaxZoom(most);
        map.setMinZoom(least);
        if (tiles.url) {
            tileLayer = L.tileLayer(tiles.url, {attribution: tiles.attribution, minZoom: tiles.minZoom,
                                                maxZoom: tiles.maxZoom, crossOrigin: false, zIndex: 1});
            tileLayer.addTo(map);
        }
        if (changed) {
            data.recordings.forEach(function (r) { r.box = null; });
            redraw();
        }
        return '';
    };
    window.setOnline = function (flag) {
        var now = String(flag) === '1' || flag === true, changed = now !== online;
        online = now;
        if (now && changed && tileLayer) tileLayer.redraw();
        return '';
    };
    window.showNear = function (json) {
        var hits = [];
        try { hits = JSON.parse(json) || []; } catch (e) { hits = []; }
        nearCount = hits.length;
        $('nearTitle').textContent = fill(t('nearTitle'), hits.length, $('radius').value);
        var html = '';
        hits.forEach(function (h) {
            var r = data.recordings[h.recording];
            if (!r) return;
            html += '<div class="item" data-recording="' + h.recording + '" data-ms="' + h.offsetMs + '"><div class="when">' +
                dayKey(r.start + h.offsetMs) + ' ' + clock(r.start + h.offsetMs) + ' · ' + Math.round(h.distanceM) +
                ' m</div><div class="figures">' + esc(r.name) + ' · ' + t('kind' + r.kind) + '</div></div>';
        });
        $('nearList').innerHTML = html;
        $('nearBox').hidden = false;
        return String(hits.length);
    };

    window.tripsState = function () {
        return JSON.stringify({
            loaded: !!map, card: data.card || '', language: language,
            trips: data.trips.map(function (trip, i) {
                return {start: trip.start, distanceM: trip.distanceM, shown: shownTrips.indexOf(i) >= 0,
                        events: trip.events, recordings: trip.recordings.length};
            }),
            shownTrips: shownTrips.length, shownRecordings: shownRecs.length, routes: routes ? routes.getLayers().length : 0,
            markers: marks ? marks.getLayers().length : 0, listItems: document.querySelectorAll('#list .item[data-trip]').length,
            progress: progress, near: nearCount, opened: opened, selected: selectedTrip, zoom: map ? map.getZoom() : 0,
            size: map ? [map.getSize().x, map.getSize().y] : [0, 0], tiles: !!tileLayer,
            base: !!window.QUILLENT_BASEMAP && typeof topojson !== 'undefined'
        });
    };
    // Where point `point` of recording `recording` is in the page ("x,y", CSS pixels), after
    // bringing it into view (at `zoom` when given).
    window.tripPointOf = function (recording, pointIndex, zoom) {
        var r = data.recordings[Number(recording)], i = Number(pointIndex);
        if (!map || !r || i < 0 || 4 * i + 1 >= r.track.length) return '';
        var at = point(r, i);
        if (zoom) map.setView(at, Math.min(Number(zoom), map.getMaxZoom()), {animate: false});
        else if (!map.getBounds().pad(-0.1).contains(at)) map.setView(at, map.getZoom(), {animate: false});
        var p = map.latLngToContainerPoint(at), box = map.getContainer().getBoundingClientRect();
        return Math.round(p.x + box.left) + ',' + Math.round(p.y + box.top);
    };
    // The same for event `event` of recording `recording`.
    window.eventPointOf = function (recording, event) {
        var r = data.recordings[Number(recording)], e = r && r.events[Number(event)];
        if (!map || !e || !e[5]) return '';
        var at = shown(e[2], e[3]);
        if (!map.getBounds().pad(-0.1).contains(at)) map.setView(at, map.getZoom(), {animate: false});
        var p = map.latLngToContainerPoint(at), box = map.getContainer().getBoundingClientRect();
        return Math.round(p.x + box.left) + ',' + Math.round(p.y + box.top);
    };
    window.clickAt = function (x, y) {
        if (!map) return '';
        var box = map.getContainer().getBoundingClientRect();
        var p = L.point(Number(x) - box.left, Number(y) - box.top);
        var hit = picking ? null : hitAt(p);
        onMapClick(map.containerPointToLatLng(p), p);
        return hit ? hit.recording + ',' + hit.ms : '';
    };

    // ---- controls ----
    function exportShown(format) {
        var f = filters(), types = [];
        Object.keys(f.types).forEach(function (k) { if (f.types[k]) types.push(TYPE_NAMES[k]); });
        send('tripsExport', format + ';' + shownTrips.join(',') + ';' + types.join(','));
    }
    function wire() {
        ['from', 'to', 'withEvents', 'colour'].forEach(function (id) { $(id).addEventListener('change', redraw); });
        document.querySelectorAll('#kinds input, #types input').forEach(function (el) { el.addEventListener('change', redraw); });
        $('btnChoose').addEventListener('click', function () { send('tripsChoose', ''); });
        $('btnRefresh').addEventListener('click', function () { send('tripsRefresh', ''); });
        $('btnCancel').addEventListener('click', function () { send('tripsCancel', ''); });
        $('btnGpx').addEventListener('click', function () { exportShown('gpx'); });
        $('btnCsv').addEventListener('click', function () { exportShown('csv'); });
        $('btnNear').addEventListener('click', function () { picking = !picking; drawNearButton(); });
        $('btnNearClose').addEventListener('click', function () {
            $('nearBox').hidden = true;
            nearLayer.clearLayers();
        });
        $('list').addEventListener('click', function (e) {
            var item = e.target.closest('.item');
            if (!item) return;
            if (item.dataset.trip !== undefined) {
                selectedTrip = Number(item.dataset.trip) === selectedTrip ? -1 : Number(item.dataset.trip);
                redraw();
                if (selectedTrip >= 0) {
                    var bounds = L.latLngBounds([]);
                    data.trips[selectedTrip].recordings.forEach(function (i) {
                        var r = data.recordings[i];
                        for (var k = 0; k + 1 < r.track.length; k += 4) bounds.extend(shown(r.track[k], r.track[k + 1]));
                    });
                    if (bounds.isValid()) map.fitBounds(bounds, {padding: [30, 30], maxZoom: 16, animate: false});
                }
            } else if (item.dataset.recording !== undefined) {
                openHit({recording: Number(item.dataset.recording), ms: 0});
            }
        });
        $('list').addEventListener('dblclick', function (e) {
            var item = e.target.closest('.item[data-trip]');
            if (item) openHit({recording: data.trips[Number(item.dataset.trip)].recordings[0], ms: 0});
        });
        $('nearList').addEventListener('click', function (e) {
            var item = e.target.closest('.item');
            if (item) openHit({recording: Number(item.dataset.recording), ms: Number(item.dataset.ms) || 0});
        });
    }

    function start() {
        wire();
        drawTexts();
        if (typeof L === 'undefined') return; // the page still answers, with nothing drawn
        map = L.map('map', {zoomControl: true, attributionControl: true, worldCopyJump: true, fadeAnimation: false,
                            maxZoom: 18, minZoom: 1, preferCanvas: true});
        map.attributionControl.setPrefix(false);
        L.control.scale({imperial: false, maxWidth: 100}).addTo(map);
        map.setView([20, 0], 2);
        if (window.QuillentMapBase) QuillentMapBase.add(map, shown);
        renderer = L.canvas({padding: 0.3});
        routes = L.layerGroup().addTo(map);
        marks = L.layerGroup().addTo(map);
        nearLayer = L.layerGroup().addTo(map);
        map.on('click', function (e) { onMapClick(e.latlng, e.containerPoint); });
        map.on('contextmenu', function (e) { askNear(e.latlng); });
        var pending = false;
        map.on('mousemove', function (e) {
            if (pending) return;
            pending = true;
            window.requestAnimationFrame(function () { pending = false; showTip(e.containerPoint); });
        });
        if (window.ResizeObserver)
            new ResizeObserver(function () { map.invalidateSize({pan: false}); }).observe($('map'));
        redraw();
    }
    start();
})();
