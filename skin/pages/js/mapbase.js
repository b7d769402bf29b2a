// The offline base layer of every map page (map.js, trips.js): country shapes and city dots drawn
// into 256-pixel canvas tiles from the data built with the program (basemap/basemap.js, TopoJSON),
// and the names of the cities in view. QuillentMapBase.add(map, shown) lays it under the map's
// other layers; `shown(lat, lon)` gives where a WGS-84 position is drawn (GCJ-02 maps shift it).
(function () {
    'use strict';
    var map = null, shown = null, labels = null;

    // Country shapes and city dots drawn into 256-pixel canvas tiles, each tile only with the
    // shapes that reach into it, so a route, a pan or a zoom never redraws the whole world.
    var basePolygons = []; // {rings: [[[lat, lon], ...], ...], box: [south, west, north, east]}
    function prepareBase(data) {
        var land = topojson.feature(data.countries, data.countries.objects.countries);
        land.features.forEach(function (f) {
            var g = f.geometry;
            if (!g) return;
            var polys = g.type === 'Polygon' ? [g.coordinates] : g.type === 'MultiPolygon' ? g.coordinates : [];
            polys.forEach(function (poly) {
                var box = [90, 180, -90, -180];
                var rings = poly.map(function (ring) {
                    return ring.map(function (c) {
                        box[0] = Math.min(box[0], c[1]); box[1] = Math.min(box[1], c[0]);
                        box[2] = Math.max(box[2], c[1]); box[3] = Math.max(box[3], c[0]);
                        return [c[1], c[0]];
                    });
                });
                basePolygons.push({rings: rings, box: box});
            });
        });
    }
    var kOutlineZoom = 10; // the deepest zoom at which country outlines are drawn
    function leastPopulation(z) {
        return z >= 8 ? 0 : z >= 6 ? 300000 : z >= 4 ? 1000000 : 5000000;
    }
    var BaseLayer = L.GridLayer.extend({
        createTile: function (coords) {
            var size = this.getTileSize();
            var tile = document.createElement('canvas');
            tile.width = size.x;
            tile.height = size.y;
            var ctx = tile.getContext('2d');
            var origin = coords.scaleBy(size), z = coords.z;
            var b = this._tileCoordsToBounds(coords).pad(0.02);
            var south = b.getSouth(), west = b.getWest(), north = b.getNorth(), east = b.getEast();
            ctx.fillStyle = '#eeeae0';
            ctx.strokeStyle = '#a39a86';
            ctx.lineWidth = 1;
            if (z > kOutlineZoom) {
                // The outlines are a few kilometres coarse: closer in they would put a coastal road
                // into the sea. Land inside them becomes plain ground under the route.
                if (basePolygons.some(function (p) {
                        return !(p.box[0] > north || p.box[2] < south || p.box[1] > east || p.box[3] < west);
                    }))
                    ctx.fillRect(0, 0, size.x, size.y);
                return tile;
            }
            basePolygons.forEach(function (p) {
                if (p.box[0] > north || p.box[2] < south || p.box[1] > east || p.box[3] < west) return;
                ctx.beginPath();
                p.rings.forEach(function (ring) {
                    var lastX = NaN, lastY = NaN;
                    for (var i = 0; i < ring.length; ++i) {
                        var pt = map.project(ring[i], z);
                        var x = pt.x - origin.x, y = pt.y - origin.y;
                        if (i === 0) ctx.moveTo(x, y);
                        else if (Math.abs(x - lastX) + Math.abs(y - lastY) >= 0.7 || i === ring.length - 1) ctx.lineTo(x, y);
                        else continue;
                        lastX = x; lastY = y;
                    }
                    ctx.closePath();
                });
                ctx.fill('evenodd');
                ctx.stroke();
            });
            var data = window.QUILLENT_BASEMAP, least = leastPopulation(z);
            ctx.fillStyle = '#ffffff';
            ctx.strokeStyle = '#6b6254';
            data.cities.forEach(function (c) {
                if (c[3] < least || c[0] > north || c[0] < south || c[1] > east || c[1] < west) return;
                var pt = map.project([c[0], c[1]], z);
                ctx.beginPath();
                ctx.arc(pt.x - origin.x, pt.y - origin.y, c[3] >= 1000000 ? 3 : 2, 0, 2 * Math.PI);
                ctx.fill();
                ctx.stroke();
            });
            return tile;
        }
    });
    function add(target, shownAt) {
        map = target;
        shown = shownAt || function (lat, lon) { return L.latLng(lat, lon); };
        var data = window.QUILLENT_BASEMAP;
        if (!data || typeof topojson === 'undefined') return;
        prepareBase(data);
        new BaseLayer({pane: 'tilePane', zIndex: 0, updateWhenZooming: false, keepBuffer: 1}).addTo(map);
        labels = L.layerGroup().addTo(map);
        map.on('zoomend moveend', drawCityNames);
    }
    // Names of the cities in view, the larger ones first, as many as the zoom leaves room for.
    function drawCityNames() {
        var data = window.QUILLENT_BASEMAP;
        if (!labels || !data) return;
        labels.clearLayers();
        var z = map.getZoom();
        var least = z >= 10 ? 0 : z >= 8 ? 300000 : z >= 6 ? 1000000 : z >= 4 ? 5000000 : Infinity;
        var bounds = map.getBounds(), count = 0;
        for (var i = 0; i < data.cities.length && count < 150; ++i) {
            var c = data.cities[i];
            if (c[3] < least) continue;
            var at = shown(c[0], c[1]);
            if (!bounds.contains(at)) continue;
            L.marker(at, {
                interactive: false, keyboard: false,
                icon: L.divIcon({className: 'q-city', html: '<span></span>', iconSize: null})
            }).addTo(labels).getElement().firstChild.textContent = c[2];
            ++count;
        }
    }

    window.QuillentMapBase = {add: add};
})();
