// The search page. The program fills it with callListInsert(name, date, size), one call per
// recording in list order, and calls initLanguage(language) once the page has loaded. The choice goes
// back through window.external.DoSearchHandler: "btnFilename" with the chosen name, or "btnCancel".
(function () {
  'use strict';

  var TEXTS = {
    english: { placeholder: 'Search by name or date', name: 'Filename', date: 'Date', size: 'Size',
               ok: 'Open', cancel: 'Cancel', empty: 'No recordings', count: '%d files', countOne: '1 file' },
    korean: { placeholder: '파일 이름 또는 날짜로 검색', name: '파일 이름', date: '날짜', size: '크기',
              ok: '열기', cancel: '취소', empty: '녹화 파일이 없습니다', count: '%d개', countOne: '1개' }
  };
  var texts = TEXTS.english;
  var entries = [];   // {name, date, size, row}
  var selected = null;
  var pendingRender = false;

  function send(command, value) {
    if (window.external && typeof window.external.DoSearchHandler === 'function') {
      window.external.DoSearchHandler(command, value === undefined ? '' : String(value));
    }
  }

  function kindOf(name) {
    var head = name.substring(0, 4);
    if (head === 'EMER') return 2;
    if (head === 'EVEN') return 3;
    if (head === 'PARK' || head === 'MOTI') return 4;
    return 1;
  }

  function makeRow(entry) {
    var row = document.createElement('div');
    row.className = 'row';
    var name = document.createElement('span');
    name.className = 'name';
    var dot = document.createElement('i');
    dot.className = 'kind k' + kindOf(entry.name);
    name.appendChild(dot);
    name.appendChild(document.createTextNode(entry.name));
    name.title = entry.name;
    var date = document.createElement('span');
    date.className = 'date';
    date.textContent = entry.date;
    var size = document.createElement('span');
    size.className = 'size';
    size.textContent = entry.size;
    row.appendChild(name);
    row.appendChild(date);
    row.appendChild(size);
    row.addEventListener('click', function () { select(entry); });
    row.addEventListener('dblclick', function () { select(entry); choose(); });
    entry.row = row;
    return row;
  }

  function select(entry) {
    if (selected && selected.row) selected.row.classList.remove('selected');
    selected = entry;
    if (entry && entry.row) {
      entry.row.classList.add('selected');
      entry.row.scrollIntoView({ block: 'nearest' });
    }
    document.getElementById('btnOk').disabled = !entry;
  }

  function choose() {
    if (selected) send('btnFilename', selected.name);
    else send('btnOkey', '');
  }

  function visibleEntries() {
    var out = [];
    for (var i = 0; i < entries.length; i++) {
      if (entries[i].row && entries[i].row.style.display !== 'none') out.push(entries[i]);
    }
    return out;
  }

  function applyFilter() {
    pendingRender = false;
    var q = document.getElementById('query').value.trim().toLowerCase();
    var shown = 0;
    for (var i = 0; i < entries.length; i++) {
      var e = entries[i];
      var match = !q || e.name.toLowerCase().indexOf(q) >= 0 || e.date.indexOf(q) >= 0;
      e.row.style.display = match ? '' : 'none';
      if (match) shown++;
    }
    if (selected && selected.row.style.display === 'none') select(null);
    document.getElementById('count').textContent =
      shown === 1 ? texts.countOne : texts.count.replace('%d', shown);
    document.body.classList.toggle('nothing', shown === 0);
  }

  function scheduleFilter() {
    // Thousands of inserts arrive one by one: count and filter once they have stopped.
    if (!pendingRender) {
      pendingRender = true;
      window.setTimeout(applyFilter, 0);
    }
  }

  window.callListInsert = function (name, date, size) {
    var entry = { name: String(name), date: String(date), size: String(size), row: null };
    entries.push(entry);
    document.getElementById('list').appendChild(makeRow(entry));
    scheduleFilter();
    return entries.length;
  };

  window.initLanguage = function (language) {
    texts = String(language).toLowerCase() === 'korean' ? TEXTS.korean : TEXTS.english;
    document.documentElement.lang = texts === TEXTS.korean ? 'ko' : 'en';
    document.getElementById('query').placeholder = texts.placeholder;
    document.getElementById('colName').textContent = texts.name;
    document.getElementById('colDate').textContent = texts.date;
    document.getElementById('colSize').textContent = texts.size;
    document.getElementById('btnOk').textContent = texts.ok;
    document.getElementById('btnCancel').textContent = texts.cancel;
    document.getElementById('empty').textContent = texts.empty;
    applyFilter();
  };

  // For tests and for the program: the rows in their order.
  window.listNames = function () {
    return entries.map(function (e) { return e.name + '|' + e.date + '|' + e.size; });
  };
  window.chooseName = function (name) {
    for (var i = 0; i < entries.length; i++) {
      if (entries[i].name === name) { select(entries[i]); choose(); return true; }
    }
    return false;
  };

  document.addEventListener('DOMContentLoaded', function () {
    document.getElementById('btnOk').addEventListener('click', choose);
    document.getElementById('btnCancel').addEventListener('click', function () { send('btnCancel', ''); });
    document.getElementById('query').addEventListener('input', applyFilter);
    document.addEventListener('keydown', function (ev) {
      var list = visibleEntries();
      var at = selected ? list.indexOf(selected) : -1;
      if (ev.key === 'ArrowDown' && list.length) { select(list[Math.min(list.length - 1, at + 1)]); ev.preventDefault(); }
      else if (ev.key === 'ArrowUp' && list.length) { select(list[Math.max(0, at - 1)]); ev.preventDefault(); }
      else if (ev.key === 'Enter') { if (selected || list.length !== 1) choose(); else { select(list[0]); choose(); } }
      else if (ev.key === 'Escape') send('btnCancel', '');
    });
    document.body.classList.add('nothing');
    document.getElementById('query').focus();
  });
})();
