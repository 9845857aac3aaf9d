// The validator page: each file dropped, picked or named by ?file=URL is
// checked by KVELRead compiled to WebAssembly and drawn by the timeline.
// Nothing leaves the page. window.kvelPage lets tests follow the work.
(function () {
  'use strict';
  var modulePromise = null;
  var queue = Promise.resolve();
  var page = window.kvelPage = { results: [], pending: 0, loadUrls: loadUrls };
  var $ = function (id) { return document.getElementById(id); };

  function kvel() {
    if (!modulePromise) modulePromise = createKvelModule();
    return modulePromise;
  }

  function setStatus() {
    $('status').textContent = page.pending ? 'Checking ' + page.pending + ' file(s)...' :
      page.results.length ? page.results.length + ' file(s) checked in this page.' : '';
  }

  function call(M, name, args) {
    var types = args.map(function (a) { return typeof a === 'number' ? 'number' : 'string'; });
    var answer = JSON.parse(M.ccall(name, 'string', types, args));
    if (answer.error) throw new Error(answer.error);
    return answer;
  }

  async function check(name, bytes) {
    var section = document.createElement('section');
    section.className = 'file';
    $('results').appendChild(section);
    var result = { name: name, size: bytes.length };
    try {
      var M = await kvel();
      var started = performance.now();
      var at = M._malloc(Math.max(1, bytes.length));
      if (!at) throw new Error('no memory for ' + bytes.length + ' bytes');
      var model;
      try {
        M.HEAPU8.set(bytes, at);
        result.check = call(M, 'kvel_web_check',
          [at, bytes.length, name, $('no-warnings').checked ? 1 : 0, $('allow-user').checked ? 1 : 0]);
        result.checkMs = performance.now() - started;
        model = call(M, 'kvel_web_model', [at, bytes.length]);
        result.modelMs = performance.now() - started - result.checkMs;
      } finally {
        M._free(at);
      }
      var view = document.createElement('div');
      section.appendChild(view);
      KvelTimeline.show(view, model, bytes);
      result.totalMs = performance.now() - started;
    } catch (e) {
      // A module that failed (out of memory, say) is not used again.
      modulePromise = null;
      result.error = String(e && e.message || e);
      var p = document.createElement('p');
      p.className = 'file-error';
      p.textContent = name + ': could not be checked in this page: ' + result.error;
      section.appendChild(p);
    }
    page.results.push(result);
  }

  // Files are checked one at a time, in the order they came, whenever their
  // bytes arrive: the module has one default reader.
  function schedule(name, bytes) {
    bytes.catch(function () {});  // answered in turn below, not reported as unhandled now
    page.pending++;
    setStatus();
    queue = queue.then(function () { return bytes; }).then(function (buffer) {
      return check(name, new Uint8Array(buffer));
    }, function (e) {
      page.results.push({ name: name, error: e.message });
      var p = document.createElement('p');
      p.className = 'file-error';
      p.textContent = name + ': cannot be loaded: ' + e.message;
      $('results').appendChild(p);
    }).then(function () {
      page.pending--;
      setStatus();
    });
    return queue;
  }

  function loadUrls(urls) {
    urls.forEach(function (u) {
      var url = new URL(u, location.href);
      schedule(u, url.origin !== location.origin ? Promise.reject(new Error('only files from this site can be loaded')) :
        fetch(url).then(function (r) {
          if (!r.ok) throw new Error('HTTP ' + r.status);
          return r.arrayBuffer();
        }));
    });
    return queue;
  }

  function takeFiles(files) {
    Array.prototype.forEach.call(files, function (f) { schedule(f.name, f.arrayBuffer()); });
  }

  $('pick').addEventListener('change', function (e) { takeFiles(e.target.files); e.target.value = ''; });
  var drop = $('drop');
  document.addEventListener('dragover', function (e) { e.preventDefault(); drop.classList.add('over'); });
  document.addEventListener('dragleave', function () { drop.classList.remove('over'); });
  document.addEventListener('drop', function (e) {
    e.preventDefault();
    drop.classList.remove('over');
    takeFiles(e.dataTransfer.files);
  });
  var named = new URLSearchParams(location.search).getAll('file');
  if (named.length) loadUrls(named);
})();
