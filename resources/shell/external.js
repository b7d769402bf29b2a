// Installs window.external in every skin page before the page's own scripts run. The six
// methods send (name, value) to the program through the web channel; calls made before the
// channel is connected are queued. Frames without the channel forward to the top window.
(function () {
    'use strict';
    var methods = ['DoClick', 'DoHandler', 'DoUpdateHandler',
                   'DoSetupHandler', 'DoSearchHandler', 'DoDownloadHandler'];

    function install(obj) {
        try {
            Object.defineProperty(window, 'external', {value: obj, configurable: true, writable: true});
        } catch (e) {
            window.external = obj;
        }
    }

    function normalise(v) {
        if (v === undefined || v === null) return '';
        if (typeof v === 'number' || typeof v === 'string') return v;
        if (typeof v === 'boolean') return v ? 1 : 0;
        return String(v);
    }

    var isTop = true;
    try { isTop = window.top === window; } catch (e) { isTop = false; }
    var hasChannel = typeof qt !== 'undefined' && qt && qt.webChannelTransport;

    var ext = {};
    if (!isTop && !hasChannel) {
        methods.forEach(function (m) {
            ext[m] = function (name, value) {
                try { window.top.external[m](name, value); } catch (e) { /* top not reachable */ }
            };
        });
        install(ext);
        return;
    }

    var queue = [];
    var bridge = null;
    methods.forEach(function (m) {
        ext[m] = function (name, value) {
            var call = [m, name === undefined || name === null ? '' : String(name), normalise(value)];
            if (bridge) bridge.call(call[0], call[1], call[2]);
            else queue.push(call);
        };
    });
    install(ext);

    var connecting = false;
    function connect() {
        if (connecting || bridge) return;
        if (typeof qt === 'undefined' || !qt || !qt.webChannelTransport || typeof QWebChannel === 'undefined') {
            setTimeout(connect, 5);
            return;
        }
        connecting = true;
        new QWebChannel(qt.webChannelTransport, function (channel) {
            bridge = channel.objects.quillentBridge;
            var pending = queue;
            queue = [];
            pending.forEach(function (c) { bridge.call(c[0], c[1], c[2]); });
        });
    }
    connect();
})();
