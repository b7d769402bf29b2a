// The print report page. The program fills it once it has loaded:
//   initInfo(company, vehicle, driver), initFilename(name), initImage(base, count) (the pictures
//   are base + "_<n>.jpg"), initLanguage([language]) (Korean when called without a language),
//   setPos(ms), setSpeed(text), setDate(text), setAddress(text),
//   setTiles(urlTemplate, attribution, coords: 'wgs84' or 'gcj02'),
//   setTrack(json [[lat, lon], ...]), setGraphs(speedPicture, gsensorPicture),
//   DrawCurrent(lat, lon), DrawAll(), loadScript(); later setMemo(text) and pp() (print).
// A tile that cannot be loaded (no network) leaves the plain base layer: the path and the marker
// are drawn either way.
(function () {
  'use strict';

  var TEXTS = {
    english: {
      title: 'Driving Record Report', date: 'Date', position: 'Time in recording', speed: 'Speed',
      location: 'Location', address: 'Address', company: 'Company', vehicle: 'Vehicle', driver: 'Driver',
      memo: 'Memo', noPosition: 'No GPS position', speedGraph: 'Speed', gsensorGraph: 'G-sensor',
      channel: 'CH'
    },
    korean: {
      title: '운행 기록 보고서', date: '날짜', position: '녹화 내 시각', speed: '속도',
      location: '위치', address: '주소', company: '회사', vehicle: '차량', driver: '운전자',
      memo: '메모', noPosition: 'GPS 위치 없음', speedGraph: '속도', gsensorGraph: 'G-센서',
      channel: 'CH'
    }
  };
  var texts = TEXTS.english;
  var report = {
    current: null,   // [lat, lon]
    track: [],       // [[lat, lon], ...]
    drawAll: false,
    tiles: '',
    attribution: '',
    coords: 'wgs84',
    map: null
  };

  function $(id) { return document.getElementById(id); }
  function setText(id, value) { $(id).textContent = value === undefined || value === null ? '' : String(value); }

  // A local path as a file URL, each part escaped ("#" and "?" are legal in file names).
  function fileUrl(path) {
    return 'file://' + String(path).split('/').map(encodeURIComponent).join('/');
  }

  function drawTexts() {
    $('title').textContent = texts.title;
    document.querySelectorAll('[data-text]').forEach(function (el) {
      var s = texts[el.dataset.text];
      if (s) el.textContent = s;
    });
    document.querySelectorAll('#pictures figcaption').forEach(function (el, i) {
      el.textContent = texts.channel + (i + 1);
    });
  }

  window.initInfo = function (company, vehicle, driver) {
    setText('company', company);
    setText('vehicle', vehicle);
    setText('driver', driver);
  };

  window.initFilename = function (name) { setText('fileName', name); };

  window.initImage = function (base, count) {
    var n = Math.max(0, Math.min(4, parseInt(count, 10) || 0));
    var box = $('pictures');
    box.innerHTML = '';
    box.className = 'n' + n;
    for (var i = 1; i <= n; i++) {
      var fig = document.createElement('figure');
      var img = document.createElement('img');
      img.src = fileUrl(base + '_' + i + '.jpg');
      img.alt = texts.channel + i;
      var cap = document.createElement('figcaption');
      cap.textContent = texts.channel + i;
      fig.appendChild(img);
      fig.appendChild(cap);
      box.appendChild(fig);
    }
  };

  window.initLanguage = function (language) {
    texts = language === undefined || String(language).toLowerCase() === 'korean' ? TEXTS.korean : TEXTS.english;
    document.documentElement.lang = texts === TEXTS.korean ? 'ko' : 'en';
    drawTexts();
  };

  window.setPos = function (ms) {
    var s = Math.max(0, Math.floor((parseInt(ms, 10) || 0) / 1000));
    var m = Math.floor(s / 60);
    setText('position', (m < 10 ? '0' : '') + m + ':' + (s % 60 < 10 ? '0' : '') + (s % 60));
  };
  window.setSpeed = function (text) { setText('speed', text); };
  window.setDate = function (text) { setText('date', text); };
  window.setAddress = function (text) { setText('address', text); };
  window.setMemo = function (text) { setText('memo', text); };

  window.setTiles = function (template, attribution, coords) {
    report.tiles = template ? String(template) : '';
    report.attribution = attribution ? String(attribution) : '';
    report.coords = coords === 'gcj02' ? 'gcj02' : 'wgs84';
  };

  // The tiles of mainland China are in GCJ-02 (js/gcj02.js).
  function shown(p) {
    return report.coords === 'gcj02' ? QuillentGcj02.fromWgs(p[0], p[1]) : [p[0], p[1]];
  }

  window.setTrack = function (json) {
    try {
      var points = JSON.parse(json);
      report.track = Array.isArray(points) ? points.filter(function (p) {
        return Array.isArray(p) && isFinite(p[0]) && isFinite(p[1]);
      }) : [];
    } catch (e) {
      report.track = [];
    }
  };

  window.setGraphs = function (speedPicture, gsensorPicture) {
    var any = false;
    [['speedGraph', speedPicture], ['gsensorGraph', gsensorPicture]].forEach(function (g) {
      var img = $(g[0]);
      img.parentNode.hidden = !g[1];
      if (g[1]) { img.src = fileUrl(g[1]); any = true; }
    });
    $('graphs').hidden = !any;
  };

  window.DrawCurrent = function (lat, lon) {
    var a = parseFloat(lat), o = parseFloat(lon);
    report.current = isFinite(a) && isFinite(o) && !(a === 0 && o === 0) ? [a, o] : null;
    setText('location', report.current ? a.toFixed(6) + ', ' + o.toFixed(6) : '');
    if (report.map) drawMap();
  };

  window.DrawAll = function () {
    report.drawAll = true;
    if (report.map) drawMap();
  };

  // Builds the map (once) and draws what is known.
  window.loadScript = function () {
    if (!report.map && typeof L !== 'undefined') {
      report.map = L.map('map', { zoomControl: false, attributionControl: !!report.attribution,
                                  fadeAnimation: false, zoomAnimation: false, inertia: false });
      if (report.tiles) {
        L.tileLayer(report.tiles, { maxZoom: 19, attribution: report.attribution }).addTo(report.map);
      }
    }
    drawMap();
  };

  var layers = [];
  function drawMap() {
    var map = report.map;
    if (!map) return;
    layers.forEach(function (l) { map.removeLayer(l); });
    layers = [];
    var path = (report.drawAll ? report.track : []).map(shown);
    var current = report.current ? shown(report.current) : null;
    if (path.length > 1) {
      layers.push(L.polyline(path, { color: '#0078c8', weight: 4, opacity: 0.9 }).addTo(map));
    }
    if (current) {
      layers.push(L.circleMarker(current, { radius: 8, color: '#fff', weight: 3,
                                                   fillColor: '#e0282e', fillOpacity: 1 }).addTo(map));
    }
    if (path.length > 1) {
      map.fitBounds(L.latLngBounds(path).pad(0.15), { animate: false, maxZoom: 17 });
    } else if (current) {
      map.setView(current, 16, { animate: false });
    }
    $('map').classList.toggle('drawn', layers.length > 0);
  }

  window.pp = function () { window.print(); };

  document.addEventListener('DOMContentLoaded', drawTexts);
})();
