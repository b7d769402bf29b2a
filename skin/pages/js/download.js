// The download window's page. The program calls initLanguage(language), setVersion1(file name)
// once the page has loaded, setProgress(percent) as the file arrives (100 when it is complete) and
// setError(kind, detail) when the download failed. The buttons answer through
// window.external.DoDownloadHandler: "btnOk" and "btnCancel".
(function () {
  'use strict';

  var TEXTS = {
    english: {
      title: 'Downloading the recording', ok: 'OK', cancel: 'Cancel', done: 'Download complete',
      status: 'The server did not deliver the file.', network: 'The server cannot be reached.',
      file: 'The file cannot be saved on the desktop.', address: 'The link does not name a web address.'
    },
    korean: {
      title: '녹화 파일 다운로드', ok: '확인', cancel: '취소', done: '다운로드 완료',
      status: '서버가 파일을 보내지 않았습니다.', network: '서버에 연결할 수 없습니다.',
      file: '바탕 화면에 파일을 저장할 수 없습니다.', address: '링크가 웹 주소가 아닙니다.'
    }
  };
  var texts = TEXTS.english;

  function $(id) { return document.getElementById(id); }

  function send(command) {
    if (window.external && typeof window.external.DoDownloadHandler === 'function')
      window.external.DoDownloadHandler(command, '');
  }

  function drawTexts() {
    $('title').textContent = texts.title;
    $('btnOk').textContent = texts.ok;
    $('btnCancel').textContent = texts.cancel;
  }

  window.initLanguage = function (language) {
    texts = String(language).toLowerCase() === 'korean' ? TEXTS.korean : TEXTS.english;
    drawTexts();
  };

  window.setVersion1 = function (name) {
    $('name').textContent = String(name);
    $('name').title = String(name);
  };

  window.setProgress = function (percent) {
    var p = Math.max(0, Math.min(100, parseInt(percent, 10) || 0));
    $('fill').style.width = p + '%';
    $('percent').textContent = p + '%';
    if (p === 100) {
      document.body.classList.add('done');
      $('message').textContent = texts.done;
      $('btnOk').disabled = false;
    }
  };

  window.setError = function (kind, detail) {
    document.body.classList.add('failed');
    $('message').textContent = texts[kind] || texts.network;
    $('message').title = detail ? String(detail) : '';
    $('btnOk').disabled = false;
  };

  document.addEventListener('DOMContentLoaded', function () {
    drawTexts();
    $('btnOk').addEventListener('click', function () { send('btnOk'); });
    $('btnCancel').addEventListener('click', function () { send('btnCancel'); });
    document.addEventListener('keydown', function (e) {
      if (e.key === 'Escape') send('btnCancel');
    });
  });
})();
