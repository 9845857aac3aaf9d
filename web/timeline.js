// The timeline of one KVMF file: zones, bars and beats, chords, melody,
// outline markers and the check's records on one time axis, with the records
// as a table linked both ways with the drawing. `kvel view` embeds this file
// in its page; the web validator loads it. Both feed it the same model
// (tools/kvel/view_model.h) and the file's bytes, from which the event
// records are read where the model says they lie.
var KvelTimeline = (function () {
  'use strict';

  // Above this many events a view is summarised (zones, bars, records) until
  // no more than this many lie in the visible range.
  var FULL_LIMIT = 100000;
  var MARGIN = 96;  // room for the lane names
  var SVGNS = 'http://www.w3.org/2000/svg';
  var LANES = [
    ['axis', 22], ['zones', 40], ['outline', 30], ['beats', 30], ['chords', 28],
    ['absolute chords', 22], ['melody', 96], ['other', 16], ['records', 30]
  ];

  function esc(s) {
    return String(s).replace(/[&<>"]/g, function (c) {
      return { '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;' }[c];
    });
  }
  function hex(v, digits) { return '0x' + (v >>> 0).toString(16).padStart(digits, '0'); }
  function clock(seconds) {
    if (!isFinite(seconds)) return '-';
    var ms = Math.floor(seconds * 1000 + 1e-6);
    return Math.floor(ms / 60000) + ':' + String(Math.floor(ms / 1000) % 60).padStart(2, '0') + '.' +
      String(ms % 1000).padStart(3, '0');
  }
  function el(tag, cls, text) {
    var e = document.createElement(tag);
    if (cls) e.className = cls;
    if (text !== undefined) e.textContent = text;
    return e;
  }

  function bytesFromBase64(text) {
    var bin = atob(text);
    var out = new Uint8Array(bin.length);
    for (var i = 0; i < bin.length; ++i) out[i] = bin.charCodeAt(i);
    return out;
  }

  // ---- The event records, read from the file's bytes -----------------------

  function readEvents(model, bytes) {
    var L = model.layout;
    var base = L.firstEventOffset === undefined ? 0 : L.firstEventOffset;
    var n = L.firstEventOffset === undefined ? 0 : L.eventCount;
    n = Math.max(0, Math.min(n, Math.floor((bytes.length - base) / 10)));
    var ev = {
      n: n, base: base, barBeat: new Uint16Array(n), value: new Uint32Array(n), sample: new Uint32Array(n),
      sorted: true, maxSample: 0
    };
    var dv = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    var lanes = { beats: [], bars: [], chords: [], absolute: [], melody: [], outline: [], other: [] };
    var prev = 0;
    for (var i = 0, o = base; i < n; ++i, o += 10) {
      var v = dv.getUint32(o + 2), s = dv.getUint32(o + 6);
      ev.barBeat[i] = dv.getUint16(o);
      ev.value[i] = v;
      ev.sample[i] = s;
      if (s < prev) ev.sorted = false;
      prev = s;
      if (s > ev.maxSample) ev.maxSample = s;
      var c = (v >>> 24) & 0x7f;
      if (c === 1) {
        lanes.beats.push(i);
        if (v & 0x200000) lanes.bars.push(i);
      } else if (c === 8) lanes.chords.push(i);
      else if (c === 9) lanes.absolute.push(i);
      else if (c === 16) lanes.melody.push(i);
      else if (c === 47) lanes.outline.push(i);
      else lanes.other.push(i);
    }
    if (!ev.sorted) {
      // Sample positions that go backwards are drawn where they point; each
      // lane is searched by time, so it is put in time order.
      var bySample = function (a, b) { return ev.sample[a] - ev.sample[b] || a - b; };
      for (var k in lanes) lanes[k].sort(bySample);
    }
    ev.lanes = lanes;
    return ev;
  }

  // First index of `list` whose event lies at or after sample `s`.
  function lowerBound(ev, list, s) {
    var lo = 0, hi = list.length;
    while (lo < hi) {
      var mid = (lo + hi) >>> 1;
      if (ev.sample[list[mid]] < s) lo = mid + 1; else hi = mid;
    }
    return lo;
  }

  // ---- What events and fields mean ------------------------------------------

  function categoryName(model, c) {
    var n = model.names.categories[c];
    if (n) return n;
    if (c === 24 || c === 25 || c === 32) return 'category ' + c;
    if (c >= 112 && c <= 126) return 'user ' + c;
    return 'invalid ' + c;
  }

  function sharpFlat(flag) { return ['', '\u266f', '\u266d', '\u266f\u266d'][flag & 3]; }

  function chordName(v) { return hex((v >>> 8) & 0xff, 2) + sharpFlat(v); }

  function tonesName(v) {
    var tones = (v >>> 5) & 0x3ffff, set = [];
    for (var b = 0; b < 18; ++b) if (tones & (1 << b)) set.push(b);
    return (set.length ? 'tones ' + set.join(' ') : 'no tones') + sharpFlat(v);
  }

  function outlineName(model, v) {
    var code = v & 0x7f, zone = (v >>> 7) & 0xffff;
    if (code === 1) return zone === 0xffff ? 'zone terminator' : 'zone ' + zone;
    return model.names.outline[code] || 'invalid outline code ' + code;
  }

  function describe(view, i) {
    var ev = view.ev, v = ev.value[i], c = (v >>> 24) & 0x7f;
    if (c === 1) return v & 0x200000 ? 'bar start' + (v & 0x400000 ? ', uncounted' : '') : v & 0x400000 ? 'uncounted' : 'beat';
    if (c === 8) return chordName(v);
    if (c === 9) return tonesName(v);
    if (c === 16) return 'melody ' + hex(v & 0xfff, 3);
    if (c === 47) return outlineName(view.model, v);
    return 'data ' + hex(v & 0xffffff, 6);
  }

  function eventFields(view, i) {
    var ev = view.ev, bb = ev.barBeat[i], bar = bb >> 4;
    var offset = ev.base + 10 * i;
    return [
      'event ' + i + ' at offset ' + hex(offset, 8) + ' (' + offset + ')',
      'position ' + 10 * i + ', bar.beat ' + (bar === 0xfff ? '-' : bar + '.' + (bb & 15)),
      'sample ' + ev.sample[i] + ', ' + clock(ev.sample[i] / view.rate) + ' s',
      categoryName(view.model, (ev.value[i] >>> 24) & 0x7f) + ': ' + describe(view, i),
      'value word ' + hex(ev.value[i], 8)
    ];
  }

  function zoneFields(view, z) {
    var zone = view.zones[z], r = zone.record, L = view.model.layout;
    var offset = L.zoneRecordsOffset + L.zoneRecordSize * z;
    return [
      'zone ' + r.zoneNumber + ' record at offset ' + hex(offset, 8) + ' (' + offset + ')',
      clock(zone.t0) + ' to ' + clock(zone.t1) + ' s, positions ' + r.zoneStartPosition + ' to ' + r.zoneEndPosition,
      zoneLabel(r), 'bars ' + r.barCount,
      'fade in ' + range(r.fadeInStartPosition, r.fadeInEndPosition) +
        ', fade out ' + range(r.fadeOutStartPosition, r.fadeOutEndPosition)
    ];
  }

  function range(a, b) { return a === null && b === null ? '-' : (a === null ? '-' : a) + '..' + (b === null ? '-' : b); }

  function zoneLabel(r) {
    var key = r.key & 0x7f;
    return (r.bpm === null ? '? bpm' : Math.round(r.bpm * 100) / 100 + ' bpm') + ' \u00b7 ' +
      r.meterNumerator + '/' + r.meterDenominator + ' \u00b7 key ' + (key === 0x7f ? 'none' : key) +
      (r.key & 0x80 ? '*' : '') + ' \u00b7 scale ' + ((r.key >> 8) & 3);
  }

  // ---- The model laid out in time -------------------------------------------

  function eventTimeAtPosition(view, position) {
    if (position === null || position % 10 !== 0 || position / 10 >= view.ev.n) return null;
    return view.ev.sample[position / 10] / view.rate;
  }

  function layoutZones(view) {
    var zs = view.model.image.zoneSubFrame ? view.model.image.zoneSubFrame.zones : [];
    var out = [];
    for (var z = 0; z < zs.length; ++z) {
      var t0 = eventTimeAtPosition(view, zs[z].zoneStartPosition);
      var t1 = eventTimeAtPosition(view, zs[z].zoneEndPosition);
      out.push({ record: zs[z], t0: t0, t1: t1 });
    }
    // A position that names no event leaves the band where its neighbours end.
    for (z = 0; z < out.length; ++z) {
      if (out[z].t0 === null) out[z].t0 = z > 0 && out[z - 1].t1 !== null ? out[z - 1].t1 : 0;
      if (out[z].t1 === null) out[z].t1 = z + 1 < out.length && out[z + 1].t0 !== null ? out[z + 1].t0 : view.tEnd;
      if (out[z].t1 < out[z].t0) out[z].t1 = out[z].t0;
    }
    return out;
  }

  // The zone whose record holds `offset`, or null.
  function zoneRecordAt(view, offset) {
    var L = view.model.layout;
    if (offset === null || offset < L.zoneRecordsOffset) return null;
    var z = Math.floor((offset - L.zoneRecordsOffset) / L.zoneRecordSize);
    return z < view.zones.length ? z : null;
  }

  function sectionOf(view, offset) {
    var L = view.model.layout;
    if (offset === null) return 'no offset';
    if (offset < 20) return 'main header';
    if (L.eventSubFrameOffset === undefined || offset < L.eventSubFrameOffset) {
      var z = zoneRecordAt(view, offset);
      return z !== null ? 'zone ' + z + ' record' : 'zone sub-frame';
    }
    if (L.firstEventOffset === undefined || offset < L.firstEventOffset) return 'event sub-frame header';
    return 'beyond the events';
  }

  function layoutRecords(view) {
    var recs = view.model.check.records, ev = view.ev, out = [];
    for (var k = 0; k < recs.length; ++k) {
      var o = recs[k].offset, i = null;
      if (o !== null && ev.n > 0 && o >= ev.base && o < ev.base + 10 * ev.n) i = Math.floor((o - ev.base) / 10);
      var inHeader = i === null && (view.model.layout.eventSubFrameOffset === undefined || o < view.model.layout.eventSubFrameOffset);
      out.push({
        record: recs[k], event: i, t: i === null ? null : ev.sample[i] / view.rate,
        zone: inHeader ? zoneRecordAt(view, o) : null,
        where: i === null ? sectionOf(view, o) : clock(ev.sample[i] / view.rate) + ' s, event ' + i
      });
    }
    return out;
  }

  // ---- Drawing --------------------------------------------------------------

  function laneTops() {
    var tops = {}, y = 0;
    for (var k = 0; k < LANES.length; ++k) { tops[LANES[k][0]] = [y, LANES[k][1]]; y += LANES[k][1]; }
    tops.height = y;
    return tops;
  }

  function niceStep(span, px) {
    var raw = span / Math.max(1, px / 90), p = Math.pow(10, Math.floor(Math.log10(raw)));
    var steps = [1, 2, 5, 10];
    for (var k = 0; k < steps.length; ++k) if (steps[k] * p >= raw) return steps[k] * p;
    return 10 * p;
  }

  function draw(view) {
    var W = Math.max(200, view.svg.clientWidth || view.root.clientWidth || 1000) - MARGIN;
    var T = laneTops(), H = T.height;
    var t0 = view.t0, t1 = view.t1, scale = W / (t1 - t0);
    var x = function (t) { return MARGIN + (t - t0) * scale; };
    var xs = function (t) { return (MARGIN + (t - t0) * scale).toFixed(1); };
    var out = [];
    var ev = view.ev;

    // Zone bands across every lane, labelled in their own.
    var zt = T.zones;
    for (var z = 0; z < view.zones.length; ++z) {
      var zone = view.zones[z];
      if (zone.t1 < t0 || zone.t0 > t1) continue;
      var a = Math.max(x(zone.t0), MARGIN), b = Math.min(x(zone.t1), MARGIN + W);
      out.push('<rect class="kv-zone-bg kv-z' + (z % 4) + '" x="' + a.toFixed(1) + '" y="' + zt[0] + '" width="' +
        Math.max(1, b - a).toFixed(1) + '" height="' + (H - zt[0]) + '"/>');
      var picked = view.selected >= 0 && view.records[view.selected].zone === z;
      out.push('<g class="kv-zone' + (picked ? ' kv-selected' : '') + '" data-zone="' + z + '"><rect class="kv-z' + (z % 4) + '" x="' + a.toFixed(1) +
        '" y="' + (zt[0] + 2) + '" width="' + Math.max(1, b - a).toFixed(1) + '" height="' + (zt[1] - 4) + '"/>' +
        // A nested svg clips the labels to the band.
        (b - a > 30 ? '<svg x="' + a.toFixed(1) + '" y="' + zt[0] + '" width="' + (b - a - 2).toFixed(1) + '" height="' + zt[1] +
          '"><text x="4" y="16">zone ' + esc(zone.record.zoneNumber) + '</text><text class="kv-small" x="4" y="31">' +
          esc(zoneLabel(zone.record)) + '</text></svg>' : '') + '</g>');
    }

    // The time axis.
    var step = niceStep(t1 - t0, W), first = Math.ceil(t0 / step) * step;
    out.push('<line class="kv-axis" x1="' + MARGIN + '" x2="' + (MARGIN + W) + '" y1="' + T.axis[1] + '" y2="' + T.axis[1] + '"/>');
    for (var t = first; t <= t1 + 1e-9; t += step) {
      out.push('<line class="kv-tick" x1="' + xs(t) + '" x2="' + xs(t) + '" y1="' + (T.axis[1] - 5) + '" y2="' + H + '"/>' +
        '<text class="kv-small kv-ticklabel" x="' + (x(t) + 2).toFixed(1) + '" y="12">' + (view.rate === 1 ? Math.round(t) : clock(t)) + '</text>');
    }

    var s0 = Math.floor(t0 * view.rate), s1 = Math.ceil(t1 * view.rate);
    var visible = function (list) { return [lowerBound(ev, list, s0), lowerBound(ev, list, s1 + 1)]; };
    var inView = 0, lanes = ev.lanes;
    for (var name in lanes) if (name !== 'bars') { var r = visible(lanes[name]); inView += r[1] - r[0]; }
    view.summarised = ev.n > FULL_LIMIT && inView > FULL_LIMIT;
    view.inView = inView;

    var bt = T.beats, i, k, rng, last;
    if (view.summarised) {
      // Bar starts only, at most one every two pixels.
      rng = visible(lanes.bars); last = -10;
      var bars = [];
      for (k = rng[0]; k < rng[1]; ++k) {
        i = lanes.bars[k];
        var bx = x(ev.sample[i] / view.rate);
        if (bx - last < 2) continue;
        last = bx;
        bars.push('M' + bx.toFixed(1) + ' ' + bt[0] + 'V' + (bt[0] + bt[1]));
      }
      out.push('<path class="kv-bar" d="' + bars.join('') + '"/>');
    } else {
      drawEvents(view, out, T, x, visible);
    }

    // Records, pinned to their events; several on one event stack upwards.
    var rt = T.records, stack = {};
    for (k = 0; k < view.records.length; ++k) {
      var rec = view.records[k];
      if (rec.t === null || rec.t < t0 || rec.t > t1) continue;
      var level = stack[rec.event] = (stack[rec.event] || 0) + 1;
      var rx = x(rec.t), ry = rt[0] + rt[1] - 6 - Math.min(level - 1, 3) * 6;
      out.push('<path class="kv-record kv-' + rec.record.severity + (view.selected === k ? ' kv-selected' : '') +
        '" data-record="' + k + '" d="M' + rx.toFixed(1) + ' ' + (ry - 8) + 'l5 8h-10z"/>');
    }

    // Lane names over a plain margin, drawn last so they stay on top.
    out.push('<rect class="kv-margin" x="0" y="0" width="' + MARGIN + '" height="' + H + '"/>');
    for (k = 1; k < LANES.length; ++k) {
      var lt = T[LANES[k][0]];
      out.push('<line class="kv-lane" x1="0" x2="' + (MARGIN + W) + '" y1="' + lt[0] + '" y2="' + lt[0] + '"/>' +
        '<text class="kv-lane-name" x="6" y="' + (lt[0] + Math.min(lt[1], 30) / 2 + 4) + '">' + LANES[k][0] + '</text>');
    }
    view.svg.setAttribute('height', H);
    view.svg.innerHTML = out.join('');
    view.notice.textContent = notice(view);
  }

  // Beats, melody notes and events of other categories can be tens of
  // thousands in view: each lane is one path, and hovering finds its event
  // by time (laneEventAt). Chords, outline events and records, far fewer,
  // are an element each.
  function drawEvents(view, out, T, x, visible) {
    var ev = view.ev, lanes = ev.lanes, rate = view.rate, k, i, rng, px;
    var pos = function (i) { return x(ev.sample[i] / rate); };
    // A path segment that lands on the half pixel of the one before it adds
    // nothing to the picture, only to the path's length.
    var dedupe = function () {
      var last = NaN;
      return function (px) { var h = Math.round(px * 2); if (h === last) return false; last = h; return true; };
    };
    var bt = T.beats, beats = [], bars = [], newBeat = dedupe(), newBar = dedupe();
    rng = visible(lanes.beats);
    var lastLabel = -100;
    for (k = rng[0]; k < rng[1]; ++k) {
      i = lanes.beats[k]; px = pos(i);
      if (!(ev.value[i] & 0x200000)) {
        if (newBeat(px)) beats.push('M' + px.toFixed(1) + ' ' + (bt[0] + 14) + 'V' + (bt[0] + bt[1]));
        continue;
      }
      if (newBar(px)) bars.push('M' + px.toFixed(1) + ' ' + (bt[0] + 2) + 'V' + (bt[0] + bt[1]));
      if (px - lastLabel > 28) {
        lastLabel = +px;
        out.push('<text class="kv-small kv-barno" x="' + (px + 2).toFixed(1) + '" y="' + (bt[0] + 10) + '">' + (ev.barBeat[i] >> 4) + '</text>');
      }
    }
    out.push('<path class="kv-beat" data-lane="beats" d="' + beats.join('') + '"/>' +
      '<path class="kv-bar" data-lane="beats" d="' + bars.join('') + '"/>');
    var spans = function (list, lane, cls, label) {
      var r = visible(list), top = T[lane][0] + 3, h = T[lane][1] - 6;
      for (var k = Math.max(0, r[0] - 1); k < r[1]; ++k) {
        var i = list[k], a = pos(i);
        var b = k + 1 < list.length ? pos(list[k + 1]) : x(view.tEnd);
        var w = Math.max(2, Math.min(b, x(view.t1) + 10) - a - 1);
        out.push('<rect class="kv-ev ' + cls + '" data-event="' + i + '" x="' + a.toFixed(1) + '" y="' + top + '" width="' +
          w.toFixed(1) + '" height="' + h + '"/>');
        if (w > 34) out.push('<text class="' + cls + '-name" x="' + (a + 3).toFixed(1) + '" y="' + (top + h - 6) + '">' +
          esc(label(ev.value[i])) + '</text>');
      }
    };
    spans(lanes.chords, 'chords', 'kv-chord', chordName);
    spans(lanes.absolute, 'absolute chords', 'kv-abs', tonesName);

    // Melody as a piano roll: each note lasts until the next, its height the
    // melody data within the range the file uses.
    var mt = T.melody, mr = visible(lanes.melody), lo = view.melodyRange[0], hi = view.melodyRange[1];
    var rowH = Math.max(2, (mt[1] - 8) / Math.max(1, hi - lo + 1)), notes = [], lastNote = '';
    for (k = Math.max(0, mr[0] - 1); k < mr[1]; ++k) {
      i = lanes.melody[k];
      var m = ev.value[i] & 0xfff, a = pos(i);
      var b = k + 1 < lanes.melody.length ? pos(lanes.melody[k + 1]) : a + 6;
      var w = Math.max(2, Math.min(b - a - 1, 4000));
      var y = mt[0] + 4 + (hi - m) * (mt[1] - 8 - rowH) / Math.max(1, hi - lo);
      var note = Math.round(a * 2) + ',' + Math.round(y * 2);
      if (note === lastNote) continue;
      lastNote = note;
      notes.push('M' + a.toFixed(1) + ' ' + y.toFixed(1) + 'h' + w.toFixed(1) + 'v' + rowH.toFixed(1) + 'h' + (-w).toFixed(1) + 'z');
    }
    out.push('<path class="kv-note" data-lane="melody" d="' + notes.join('') + '"/>');

    var xt = T.other, xr = visible(lanes.other), others = [], newOther = dedupe();
    for (k = xr[0]; k < xr[1]; ++k) {
      px = pos(lanes.other[k]);
      if (newOther(px)) others.push('M' + px.toFixed(1) + ' ' + (xt[0] + 2) + 'V' + (xt[0] + xt[1] - 2));
    }
    out.push('<path class="kv-other" data-lane="other" d="' + others.join('') + '"/>');

    // Outline: fade ranges as bands, every other outline event as a marker.
    var ot = T.outline, or = visible(lanes.outline), open = {};
    for (k = 0; k < lanes.outline.length; ++k) {
      i = lanes.outline[k];
      var code = ev.value[i] & 0x7f;
      if (code === 32 || code === 40) open[code] = i;
      if ((code === 33 || code === 41) && open[code - 1] !== undefined) {
        var s = open[code - 1];
        out.push('<rect class="kv-fade" x="' + pos(s).toFixed(1) + '" y="' + (ot[0] + 2) + '" width="' +
          Math.max(1, pos(i) - pos(s)).toFixed(1) + '" height="' + (ot[1] - 4) + '"><title>' +
          (code === 33 ? 'fade in' : 'fade out') + '</title></rect>');
        delete open[code - 1];
      }
    }
    var glyph = { 1: 'Z', 2: 'K', 3: 'T', 4: 'M', 16: '\u25b6', 17: '\u25a0', 32: '\u2197', 33: '\u2197', 40: '\u2198', 41: '\u2198' };
    for (k = or[0]; k < or[1]; ++k) {
      i = lanes.outline[k]; px = pos(i);
      var g = glyph[ev.value[i] & 0x7f] || '?';
      out.push('<g class="kv-ev kv-outline" data-event="' + i + '"><line x1="' + px.toFixed(1) + '" x2="' + px.toFixed(1) +
        '" y1="' + (ot[0] + 16) + '" y2="' + (ot[0] + ot[1]) + '"/><text x="' + (px - 4).toFixed(1) + '" y="' + (ot[0] + 13) +
        '">' + g + '</text></g>');
    }
  }

  function notice(view) {
    var n = view.ev.n, text = n + ' events';
    if (view.summarised)
      return text + ': more than ' + FULL_LIMIT + ' are in view, so only zones, bars and records are drawn. ' +
        'Zoom in until at most ' + FULL_LIMIT + ' events are in view to see them all.';
    if (n > FULL_LIMIT) return text + '; the ' + view.inView + ' events in view are drawn.';
    return text + (n ? ', all drawn.' : '.');
  }

  // ---- Zooming, panning, hovering and the records table ----------------------

  function setRange(view, a, b) {
    var span = Math.max(b - a, view.minSpan);
    span = Math.min(span, view.tEnd * 1.02);
    a = Math.max(-0.01 * view.tEnd, Math.min(a, view.tEnd * 1.01 - span));
    view.t0 = a; view.t1 = a + span;
    if (!view.pending) {
      view.pending = true;
      requestAnimationFrame(function () { view.pending = false; draw(view); });
    }
  }

  function zoom(view, factor, atX) {
    var W = view.svg.clientWidth - MARGIN;
    var f = atX === undefined ? 0.5 : Math.min(1, Math.max(0, (atX - MARGIN) / W));
    var at = view.t0 + f * (view.t1 - view.t0), span = (view.t1 - view.t0) * factor;
    setRange(view, at - f * span, at - f * span + span);
  }

  function pan(view, fraction) {
    var d = (view.t1 - view.t0) * fraction;
    setRange(view, view.t0 + d, view.t1 + d);
  }

  // The event of a path lane nearest to the pointer, within a few pixels.
  function laneEventAt(view, lane, clientX) {
    var list = view.ev.lanes[lane], rect = view.svg.getBoundingClientRect();
    var scale = (rect.width - MARGIN) / (view.t1 - view.t0);
    var s = (view.t0 + (clientX - rect.left - MARGIN) / scale) * view.rate;
    var k = lowerBound(view.ev, list, s), best = null, bestDx = 5;
    for (var j = Math.max(0, k - 1); j <= Math.min(list.length - 1, k); ++j) {
      var dx = Math.abs(view.ev.sample[list[j]] - s) / view.rate * scale;
      if (dx <= bestDx) { best = list[j]; bestDx = dx; }
    }
    return best;
  }

  function tooltipLines(view, target, clientX) {
    var lane = target.closest('[data-lane]');
    if (lane) {
      var i = laneEventAt(view, lane.dataset.lane, clientX);
      return i === null ? null : eventFields(view, i);
    }
    var e = target.closest('[data-event],[data-zone],[data-record]');
    if (!e) return null;
    if (e.dataset.event !== undefined) return eventFields(view, +e.dataset.event);
    if (e.dataset.zone !== undefined) return zoneFields(view, +e.dataset.zone);
    var rec = view.records[+e.dataset.record];
    var lines = [rec.record.message, rec.where];
    return rec.event === null ? lines : lines.concat(eventFields(view, rec.event));
  }

  function select(view, k, scroll) {
    view.selected = k;
    var rows = view.table.querySelectorAll('tr.kv-selected');
    for (var r = 0; r < rows.length; ++r) rows[r].classList.remove('kv-selected');
    var row = view.table.querySelector('tr[data-record="' + k + '"]');
    if (row) {
      row.classList.add('kv-selected');
      if (scroll) row.scrollIntoView({ block: 'nearest' });
    }
    var chips = view.strip.querySelectorAll('.kv-chip');
    for (r = 0; r < chips.length; ++r) chips[r].classList.toggle('kv-selected', +chips[r].dataset.record === k);
    draw(view);
  }

  function showRecord(view, k) {
    var rec = view.records[k];
    if (rec.zone !== null) {
      // A zone record's problem: the whole zone in view, its band marked.
      var zone = view.zones[rec.zone], pad = Math.max((zone.t1 - zone.t0) * 0.1, view.minSpan);
      setRange(view, zone.t0 - pad, zone.t1 + pad);
    }
    if (rec.t !== null && (rec.t < view.t0 || rec.t > view.t1 || view.summarised)) {
      var span = Math.min(view.t1 - view.t0, Math.max(view.minSpan * 50, 2));
      setRange(view, rec.t - span / 2, rec.t + span / 2);
    }
    select(view, k, false);
  }

  function wire(view) {
    var root = view.root, svg = view.svg, tip = view.tip, drag = null;
    svg.addEventListener('wheel', function (e) {
      e.preventDefault();
      var rect = svg.getBoundingClientRect();
      if (e.shiftKey || Math.abs(e.deltaX) > Math.abs(e.deltaY)) pan(view, (e.deltaX || e.deltaY) / 1000);
      else zoom(view, Math.exp(e.deltaY / 300), e.clientX - rect.left);
    }, { passive: false });
    svg.addEventListener('pointerdown', function (e) {
      drag = { x: e.clientX, t0: view.t0, t1: view.t1, moved: false };
      svg.setPointerCapture(e.pointerId);
    });
    svg.addEventListener('pointermove', function (e) {
      if (drag) {
        var dx = e.clientX - drag.x;
        if (Math.abs(dx) > 2) drag.moved = true;
        var dt = -dx * (drag.t1 - drag.t0) / (svg.clientWidth - MARGIN);
        if (drag.moved) setRange(view, drag.t0 + dt, drag.t1 + dt);
      }
    });
    svg.addEventListener('pointerup', function (e) {
      var moved = drag && drag.moved;
      drag = null;
      if (moved) return;
      var hit = e.target.closest('[data-record]');
      if (hit) select(view, +hit.dataset.record, true);
    });
    svg.addEventListener('mousemove', function (e) {
      var lines = drag ? null : tooltipLines(view, e.target, e.clientX);
      if (!lines) { tip.hidden = true; return; }
      tip.textContent = lines.join('\n');
      tip.hidden = false;
      var r = root.getBoundingClientRect();
      tip.style.left = Math.min(e.clientX - r.left + 14, r.width - 320) + 'px';
      tip.style.top = (e.clientY - r.top + 14) + 'px';
    });
    svg.addEventListener('mouseleave', function () { tip.hidden = true; });
    root.addEventListener('keydown', function (e) {
      var handled = true;
      if (e.key === '+' || e.key === '=') zoom(view, 0.5);
      else if (e.key === '-' || e.key === '_') zoom(view, 2);
      else if (e.key === 'ArrowLeft') pan(view, -0.2);
      else if (e.key === 'ArrowRight') pan(view, 0.2);
      else if (e.key === 'Home' || e.key === '0') setRange(view, 0, view.tEnd);
      else handled = false;
      if (handled) e.preventDefault();
    });
    var onRecord = function (e) {
      var hit = e.target.closest('[data-record]');
      if (hit) showRecord(view, +hit.dataset.record);
    };
    view.table.addEventListener('click', onRecord);
    view.strip.addEventListener('click', onRecord);
    window.addEventListener('resize', function () { draw(view); });
  }

  // ---- The whole view -------------------------------------------------------

  function verdictLines(check) {
    var lines = [];
    if (check.reason) lines.push(check.path + ': not checked: ' + check.reason);
    if (check.counts.unlisted > 0)
      lines.push(check.path + ': ' + -check.result + ' problems in all; ' + check.counts.unlisted + ' of them are not listed');
    return lines;
  }

  function summaryText(view) {
    var m = view.model, c = m.check, h = m.image.eventSubFrame;
    var parts = [m.image.source.size + ' bytes', c.counts.errors + ' errors', c.counts.warnings + ' warnings'];
    if (h) parts.push(h.sampleRate + ' Hz', (m.image.zoneSubFrame ? m.image.zoneSubFrame.zones.length : 0) + ' zones',
      view.ev.n + ' events', clock(h.totalSamples / view.rate) + ' long');
    return parts.join(' \u00b7 ');
  }

  function build(view) {
    var root = view.root, m = view.model, c = m.check;
    root.classList.add('kv-timeline');
    root.tabIndex = 0;
    root.dataset.state = c.state;
    var head = el('div', 'kv-head');
    head.appendChild(el('span', 'kv-state kv-state-' + c.state, c.state));
    head.appendChild(el('span', 'kv-path', c.path));
    head.appendChild(el('span', 'kv-facts', summaryText(view)));
    root.appendChild(head);
    if (m.image.stop) {
      root.appendChild(el('p', 'kv-stop', 'The file ends early: stopped at offset ' + m.image.stop.offset + ': ' +
        m.image.stop.reason + '. It is drawn as far as its bytes go.'));
    }
    if (view.rate === 1) root.appendChild(el('p', 'kv-stop', 'The sample rate is 0: the axis counts samples.'));
    view.notice = root.appendChild(el('p', 'kv-notice'));
    view.strip = root.appendChild(el('div', 'kv-strip'));
    view.strip.appendChild(el('span', 'kv-strip-name', 'header records'));
    var headerCount = 0;
    for (var k = 0; k < view.records.length; ++k) {
      var rec = view.records[k];
      if (rec.t !== null) continue;
      var chip = el('button', 'kv-chip kv-' + rec.record.severity, rec.where + ' \u00b7 ' + rec.record.code);
      chip.dataset.record = k;
      chip.title = rec.record.message;
      view.strip.appendChild(chip);
      ++headerCount;
    }
    if (!headerCount) view.strip.appendChild(el('span', 'kv-none', 'none'));
    var frame = root.appendChild(el('div', 'kv-frame'));
    view.svg = frame.appendChild(document.createElementNS(SVGNS, 'svg'));
    view.svg.setAttribute('class', 'kv-svg');
    view.svg.setAttribute('width', '100%');
    view.tip = root.appendChild(el('pre', 'kv-tip'));
    view.tip.hidden = true;
    root.appendChild(el('p', 'kv-help', 'Wheel or + and - zoom, drag or shift+wheel or the arrow keys pan, 0 shows all. ' +
      'Hover over anything for its fields; click a record to find it in the table, a row to find it in the drawing.'));

    var lines = verdictLines(c);
    if (lines.length) root.appendChild(el('pre', 'kv-lines', lines.join('\n')));
    view.table = root.appendChild(el('table', 'kv-records'));
    var headRow = view.table.createTHead().insertRow();
    ['#', 'where', 'record, as kvel check prints it'].forEach(function (t) { headRow.appendChild(el('th', '', t)); });
    var body = view.table.createTBody();
    for (k = 0; k < view.records.length; ++k) {
      var row = body.insertRow();
      row.dataset.record = k;
      row.className = 'kv-' + view.records[k].record.severity;
      row.appendChild(el('td', 'kv-num', String(k)));
      row.appendChild(el('td', 'kv-where', view.records[k].where));
      row.appendChild(el('td', 'kv-line', c.path + ': ' + view.records[k].record.message));
    }
    if (!view.records.length) body.insertRow().appendChild(el('td', 'kv-none', 'No records.')).colSpan = 3;
  }

  function show(root, model, bytes) {
    var h = model.image.eventSubFrame;
    var view = { root: root, model: model, ev: readEvents(model, bytes), selected: -1 };
    view.rate = h && h.sampleRate > 0 ? h.sampleRate : 1;
    var lastSample = Math.max(view.ev.maxSample, h ? h.totalSamples : 0);
    view.tEnd = Math.max(lastSample / view.rate, 1 / view.rate, 1e-3);
    view.minSpan = Math.max(20 / view.rate, 1e-3);
    view.zones = layoutZones(view);
    view.records = layoutRecords(view);
    var mel = view.ev.lanes.melody, lo = 0xfff, hi = 0;
    for (var k = 0; k < mel.length; ++k) { var m = view.ev.value[mel[k]] & 0xfff; if (m < lo) lo = m; if (m > hi) hi = m; }
    view.melodyRange = mel.length ? [lo, hi] : [0, 1];
    build(view);
    view.t0 = 0; view.t1 = view.tEnd;
    draw(view);
    wire(view);
    root.dataset.drawn = '1';
    return view;
  }

  function showEmbedded(root) {
    var model = JSON.parse(document.getElementById('kvel-model').textContent);
    var bytes = bytesFromBase64(document.getElementById('kvel-bytes').textContent.trim());
    var view = show(root, model, bytes);
    document.title = model.check.path + ' - kvel view';
    root.dataset.drawnMs = performance.now().toFixed(1);  // since navigation began
    return view;
  }

  return { show: show, showEmbedded: showEmbedded, FULL_LIMIT: FULL_LIMIT };
})();
