// Map pages (map.htm, served as Map.html and Map.baidu.html too): a Leaflet map over the offline
// base layer that ships with the program (country shapes and cities), with the tile source the
// program chooses on top while a connection is there; the recording's whole route, the part
// travelled so far in another colour and a marker turned to the heading. A click on the route asks
// the program to seek.
//
// Functions the program calls (strings in, strings out): DrawCurrent(a, b) with latitude first,
// or longitude first on map.htm; clearPath(); resizeScript();
// setRoute(json of [lat, lon, ms] in WGS-84); setTileSource(url, attribution, minZoom, maxZoom,
// coords: 'wgs84' or 'gcj02'); setOnline('1' or '0'); setMapStatus(text, keepLabel) (the status
// line: online or offline and the source shown; with a label, a button that asks the program to
// keep the map for offline use through DoHandler('mapKeep')); mapState() for checks.
// Tiles come from the program through the quillent-tiles: scheme (the user's map files, then the
// online server through a disk cache), so the tile layer stays while offline: the program answers
// from what it has.
(function () {
    'use strict';
    // One page under three names (the build copies map.htm): the name says how positions arrive.
    var PAGES = {
        'map.htm': {order: 'lonlat', coords: 'wgs84'},       // the main window's map view
        'Map.html': {order: 'latlon', coords: 'wgs84'},      // the map panel
        'Map.baidu.html': {order: 'latlon', coords: 'gcj02'} // the map panel for mainland China
    };
    var page = PAGES[decodeURIComponent(location.pathname.split('/').pop())] || {};
    var order = page.order === 'lonlat' ? 'lonlat' : 'latlon';
    var coords = page.coords === 'gcj02' ? 'gcj02' : 'wgs84';
    var tiles = {url: 'quillent-tiles:/' + (coords === 'gcj02' ? 2 : 1) + '/{z}/{x}/{y}', attribution: '',
                 minZoom: 1, maxZoom: 18};
    var status = {text: '', keep: ''}, statusControl = null;
    var online = false;
    var requested = [];     // "z/x/y" of the tiles asked for, newest last (at most 200)
    var route = [];         // {wgs: [lat, lon], at: L.LatLng shown, ms}
    var travelled = [];     // L.LatLng
    var lastIndex = -1;     // route point of the last DrawCurrent
    var heading = 0;        // degrees clockwise from north
    var current = null;     // [lat, lon] WGS-84 of the last DrawCurrent
    var map = null, tileLayer = null, routeLine = null, travelledLine = null, marker = null;

    function shown(lat, lon) {
        var p = coords === 'gcj02' ? QuillentGcj02.fromWgs(lat, lon) : [lat, lon];
        return L.latLng(p[0], p[1]);
    }

    function bearing(a, b) {
        var f1 = a.lat * Math.PI / 180, f2 = b.lat * Math.PI / 180;
        var dl = (b.lng - a.lng) * Math.PI / 180;
        var y = Math.sin(dl) * Math.cos(f2);
        var x = Math.cos(f1) * Math.sin(f2) - Math.sin(f1) * Math.cos(f2) * Math.cos(dl);
        return (Math.atan2(y, x) * 180 / Math.PI + 360) % 360;
    }

    // ---- tiles ----
    function applyTiles() {
        if (tileLayer) {
            map.removeLayer(tileLayer);
            tileLayer = null;
        }
        // Leaflet brings a zoom outside the new range in with an animation that ends after a route
        // may have been fitted, and would undo the fit: move into the range at once instead.
        var most = Math.max(tiles.maxZoom, 1), least = Math.max(0, Math.min(tiles.minZoom, tiles.maxZoom));
        var z = map.getZoom();
        if (z < least || z > most) map.setZoom(Math.min(most, Math.max(least, z)), {animate: false});
        map.setMaxZoom(most);
        map.setMinZoom(least);
        if (!tiles.url) return;
        tileLayer = L.tileLayer(tiles.url, {
            attribution: tiles.attribution, minZoom: tiles.minZoom, maxZoom: tiles.maxZoom,
            subdomains: tiles.url.indexOf('{s}') >= 0 ? 'abc' : [], crossOrigin: false, zIndex: 1
        });
        tileLayer.on('tileloadstart', function (e) {
            requested.push(e.coords.z + '/' + e.coords.x + '/' + e.coords.y);
            if (requested.length > 200) requested.shift();
        });
        tileLayer.addTo(map);
    }

    // ---- route and marker ----
    function nearestRoutePoint(at, from) {
        var best = -1, bestD = Infinity, i;
        // Playback moves forward: look a little ahead of the last point first.
        if (from >= 0) {
            for (i = from; i < Math.min(route.length, from + 50); ++i) {
                var d = map.distance(at, route[i].at);
                if (d < bestD) { bestD = d; best = i; }
            }
            if (bestD < 30) return best;
        }
        for (i = 0; i < route.length; ++i) {
            var e = map.distance(at, route[i].at);
            if (e < bestD) { bestD = e; best = i; }
        }
        return best;
    }
    function seekTo(latlng) {
        var i = nearestRoutePoint(latlng, -1);
        if (i >= 0 && window.external && window.external.DoHandler)
            window.external.DoHandler('mapSeek', route[i].ms);
    }
    // How far a route or a first position is zoomed in: street level with tiles; without them
    // the base layer has nothing finer than cities, so the view keeps the places around in sight.
    // Without tiles the route still needs street scale to be seen: a drive of a minute is a dot at
    // city scale.
    function fitZoom() {
        return Math.min(16, map.getMaxZoom());
    }
    function markerIcon() {
        return L.divIcon({
            className: 'q-marker', iconSize: [28, 28], iconAnchor: [14, 14],
            html: '<svg viewBox="0 0 28 28" width="28" height="28"><circle cx="14" cy="14" r="11" ' +
                'fill="#1d6fd6" stroke="#fff" stroke-width="2.5"/><path d="M14 6l5 11-5-3-5 3z" fill="#fff"/></svg>'
        });
    }
    function turnMarker() {
        var el = marker && marker.getElement();
        if (el && el.firstChild) el.firstChild.style.transform = 'rotate(' + heading.toFixed(1) + 'deg)';
    }

    window.DrawCurrent = function (a, b) {
        if (!map) return '';
        var first = parseFloat(a), second = parseFloat(b);
        var lat = order === 'latlon' ? first : second, lon = order === 'latlon' ? second : first;
        // No position fix (both 0) or garbage: leave the marker where it is.
        if (!isFinite(lat) || !isFinite(lon) || (lat === 0 && lon === 0) || Math.abs(lat) > 90 || Math.abs(lon) > 180)
            return '';
        var at = shown(lat, lon);
        current = [lat, lon];
        if (route.length) {
            var i = nearestRoutePoint(at, lastIndex);
            if (i >= 0) {
                travelled = route.slice(0, i + 1).map(function (r) { return r.at; });
                travelled.push(at);
                var next = route[Math.min(i + 1, route.length - 1)].at, prev = route[Math.max(i - 1, 0)].at;
                if (!next.equals(prev)) heading = bearing(prev, next);
                lastIndex = i;
            }
        } else {
            var last = travelled.length ? travelled[travelled.length - 1] : null;
            if (last && !last.equals(at)) heading = bearing(last, at);
            travelled.push(at);
        }
        travelledLine.setLatLngs(travelled);
        if (!marker) {
            marker = L.marker(at, {icon: markerIcon(), keyboard: false, interactive: false, zIndexOffset: 1000}).addTo(map);
            if (!route.length) map.setView(at, fitZoom());
        } else {
            marker.setLatLng(at);
        }
        turnMarker();
        if (!map.getBounds().pad(-0.15).contains(at)) map.panTo(at, {animate: false});
        return '';
    };

    window.clearPath = function () {
        travelled = [];
        lastIndex = -1;
        if (travelledLine) travelledLine.setLatLngs([]);
        return '';
    };

    window.resizeScript = function () {
        if (map) map.invalidateSize({pan: false});
        return '';
    };

    window.setRoute = function (json) {
        if (!map) return '0';
        var points = [];
        try { points = JSON.parse(json) || []; } catch (e) { points = []; }
        route = [];
        points.forEach(function (p) {
            var lat = Number(p[0]), lon = Number(p[1]);
            if (!isFinite(lat) || !isFinite(lon) || (lat === 0 && lon === 0)) return;
            route.push({wgs: [lat, lon], at: shown(lat, lon), ms: Number(p[2]) || 0});
        });
        routeLine.setLatLngs(route.map(function (r) { return r.at; }));
        window.clearPath();
        fitRoute();
        return String(route.length);
    };

    // A page that has no size yet (a reloaded page before the view is laid out) would fit the
    // route at the least zoom: it fits when it gets its size instead.
    var fitPending = false;
    function fitRoute() {
        var size = map.getSize();
        fitPending = size.x < 64 || size.y < 64;
        if (fitPending) return;
        if (route.length > 1) map.fitBounds(routeLine.getBounds(), {padding: [24, 24], maxZoom: fitZoom(), animate: false});
        else if (route.length === 1) map.setView(route[0].at, fitZoom(), {animate: false});
    }

    window.setTileSource = function (url, attribution, minZoom, maxZoom, coordinates) {
        tiles.url = String(url || '');
        tiles.attribution = String(attribution || '');
        tiles.minZoom = parseInt(minZoom, 10) || 0;
        tiles.maxZoom = parseInt(maxZoom, 10) || 18;
        var next = coordinates === 'gcj02' ? 'gcj02' : 'wgs84';
        var changed = next !== coords;
        coords = next;
        if (map) {
            applyTiles();
            if (changed) {
                var r = route.map(function (p) { return [p.wgs[0], p.wgs[1], p.ms]; });
                window.setRoute(JSON.stringify(r));
            }
        }
        return '';
    };

    window.setOnline = function (flag) {
        var now = String(flag) === '1' || flag === true;
        var changed = now !== online;
        online = now;
        // A returning connection: ask again for what the files and the cache did not have.
        if (now && tileLayer && (changed || !tileLayer.isLoading())) tileLayer.redraw();
        return '';
    };

    // ---- status line ----
    var StatusControl = L.Control ? L.Control.extend({
        options: {position: 'bottomleft'},
        onAdd: function () {
            var box = L.DomUtil.create('div', 'q-status leaflet-bar');
            L.DomEvent.disableClickPropagation(box);
            this.text = L.DomUtil.create('span', 'q-status-text', box);
            this.button = L.DomUtil.create('button', 'q-status-keep', box);
            this.button.type = 'button';
            L.DomEvent.on(this.button, 'click', function () {
                if (window.external && window.external.DoHandler) window.external.DoHandler('mapKeep', '1');
            });
            return box;
        },
        show: function () {
            this.text.textContent = status.text;
            this.button.textContent = status.keep;
            this.button.style.display = status.keep ? '' : 'none';
            this.getContainer().style.display = status.text || status.keep ? '' : 'none';
        }
    }) : null;
    window.setMapStatus = function (text, keepLabel) {
        status.text = String(text || '');
        status.keep = String(keepLabel || '');
        if (statusControl) statusControl.show();
        return '';
    };

    window.mapState = function () {
        var m = marker ? marker.getLatLng() : null;
        return JSON.stringify({
            loaded: !!map, marker: m ? [m.lat, m.lng] : null, current: current, heading: heading,
            travelled: travelled.length, route: route.length, online: online, tiles: !!tileLayer,
            coords: coords, requested: requested.slice(), zoom: map ? map.getZoom() : 0,
            status: status.text, keep: status.keep,
            base: !!window.QUILLENT_BASEMAP && typeof topojson !== 'undefined',
            size: map ? [map.getSize().x, map.getSize().y] : [0, 0]
        });
    };

    // Where a WGS-84 position lies in the page, in CSS pixels ("x,y"); for checks and clicks.
    window.mapPointOf = function (lat, lon) {
        if (!map) return '';
        var p = map.latLngToContainerPoint(shown(Number(lat), Number(lon)));
        var r = document.getElementById('map').getBoundingClientRect();
        return Math.round(p.x + r.left) + ',' + Math.round(p.y + r.top);
    };

    function start() {
        if (typeof L === 'undefined') return; // the page still answers, with nothing drawn
        map = L.map('map', {zoomControl: true, attributionControl: true, worldCopyJump: true, fadeAnimation: false,
                            maxZoom: 18, minZoom: 1});
        map.attributionControl.setPrefix(false);
        L.control.scale({imperial: false, maxWidth: 100}).addTo(map);
        map.setView([20, 0], 2);
        if (window.QuillentMapBase) QuillentMapBase.add(map, shown);
        if (StatusControl) {
            statusControl = new StatusControl().addTo(map);
            statusControl.show();
        }
        applyTiles();
        routeLine = L.polyline([], {color: '#4a90d9', weight: 5, opacity: 0.55}).addTo(map);
        travelledLine = L.polyline([], {color: '#e8452c', weight: 5, opacity: 0.9}).addTo(map);
        routeLine.on('click', function (e) { seekTo(e.latlng); });
        travelledLine.on('click', function (e) { seekTo(e.latlng); });
        window.addEventListener('resize', window.resizeScript);
        // The view may take its size in steps while the page loads (a panel shown or docked):
        // follow the map element itself, so no part of it is left without tiles.
        if (window.ResizeObserver)
            new ResizeObserver(function () { window.resizeScript(); }).observe(document.getElementById('map'));
        map.on('resize', function () { if (fitPending) fitRoute(); });
    }
    start();
})();
