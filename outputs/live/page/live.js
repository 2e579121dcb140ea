// The live page: the recorder's event stream (api/stream) drawn as it comes.
// Everything the page knows is in window.zarnLive, for scripts and tests.
'use strict';
(function () {
  const COLOURS = window.ZARN_COLOURS;
  const WINDOW_S = 600;  // the waterfall and strip charts show the last 10 minutes
  const CURRENT = '#fde725', HOLD = '#ff6f59';
  // The bars' length: one fixed scale, so that 2 dB is the same length on every bar and page.
  const BAR_LO = -120, BAR_HI = -20;
  const NOTES_KEPT = 12;
  const token = new URLSearchParams(location.search).get('token');
  const withToken = (path) => path + (token ? '?token=' + encodeURIComponent(token) : '');

  const live = window.zarnLive = {
    connected: false, ended: false, connections: 0, live: false,
    status: null, boardUp: null, boardLost: 0, kind: '',
    records: 0, historyRecords: 0, lastOffset: null,
    peakMhz: null, peakDbm: null, holdPeakDbm: null, sweepPoints: 0, waterfallRows: 0,
    strips: {}, bars: 0, servers: 0, readout: null, scale: null, notes: [], alarms: [], waterfallColumns: 0,
    barScale: { lo: BAR_LO, hi: BAR_HI },
    colourOf: (dbm) => colourOf(dbm),
  };

  const $ = (id) => document.getElementById(id);
  const fmt = (v, digits) => (v === null || v === undefined ? '\u2013' : Number(v).toFixed(digits));
  // A level as the log holds it: whole dB whole, else to a tenth.
  const dbmText = (v) => (v === null || v === undefined || Number.isNaN(v) ? '\u2013' :
    (Number.isInteger(Number(v)) ? String(Number(v)) : Number(v).toFixed(1)) + ' dBm');

  // zarnlog plot's colours: viridis over whole tens of dB around what was seen.
  let scale = { lo: COLOURS.lo, hi: COLOURS.hi };
  let seenLo = Infinity, seenHi = -Infinity;
  function see(dbm) {
    if (dbm === null) return;
    if (dbm < seenLo) seenLo = dbm;
    if (dbm > seenHi) seenHi = dbm;
  }
  function tens() {
    if (!(seenHi >= seenLo)) return { lo: COLOURS.lo, hi: COLOURS.hi };
    const r = { lo: Math.floor(seenLo / 10) * 10, hi: Math.ceil(seenHi / 10) * 10 };
    if (!(r.hi > r.lo)) r.hi = r.lo + 10;
    return r;
  }
  function colourIndex(dbm) {
    const t = (dbm - scale.lo) / (scale.hi - scale.lo);
    if (!(t > 0)) return 0;
    if (t >= 1) return 255;
    return Math.floor(t * 255 + 0.5);
  }
  function colourOf(dbm) {
    return '#' + COLOURS.viridis[colourIndex(dbm)].toString(16).padStart(6, '0');
  }
  function rescale() {
    const next = tens();
    if (next.lo === scale.lo && next.hi === scale.hi) return false;
    scale = next;
    live.scale = scale;
    return true;
  }

  // A record's stamp: the device's clock as stored, counted as UTC so stamps subtract.
  function seconds(time) {
    const m = /^(\d{4})-(\d\d)-(\d\d)T(\d\d):(\d\d):(\d\d)/.exec(time || '');
    return m ? Date.UTC(+m[1], m[2] - 1, +m[3], +m[4], +m[5], +m[6]) / 1000 : 0;
  }
  const num = (v) => (v === null || v === undefined ? null : Number(v));

  // ---- what the stream brought -------------------------------------------------
  let sweep = null;       // {band, first, step, n, current, hold, rows: [{t, levels}]}
  let strips = {};        // band -> {channel, mhz, points: [{t, dbm}]}
  let values = [];        // the last table or servers record's values
  let notes = [];         // the notes of the records seen, newest first
  let statusAt = 0;

  function reset() {
    sweep = null; strips = {}; values = []; notes = [];
    seenLo = Infinity; seenHi = -Infinity; scale = { lo: COLOURS.lo, hi: COLOURS.hi };
    Object.assign(live, { records: 0, historyRecords: 0, live: false, lastOffset: null, peakMhz: null,
      peakDbm: null, holdPeakDbm: null, sweepPoints: 0, waterfallRows: 0, strips: {}, bars: 0, servers: 0,
      readout: null, scale, ended: false, notes: [] });
    $('ended').hidden = true;
    showNotes();
    dirty = true;
  }

  function takeStatus(s) {
    live.status = s;
    live.boardUp = !!s.board.up;
    live.boardLost = s.board.lost;
    if (live.kind !== s.measurement.kind) dirty = true;
    live.kind = s.measurement.kind;
    statusAt = performance.now();
    showStatus();
    showConnection();
  }

  function takeRecord(r) {
    live.records += 1;
    if (!live.live) live.historyRecords += 1;
    live.lastOffset = r.offset;
    if (r.note) takeNote(r.time, r.note);
    const t = seconds(r.time);
    if (r.kind === 'spectrum' && r.sweep) takeSweep(r.sweep, t);
    else if (r.kind === 'single') takeSingle(r.values, t);
    else if (r.kind === 'table' || r.kind === 'servers') takeValues(r.kind, r.values);
    dirty = true;
  }

  function takeSweep(s, t) {
    const levels = Float32Array.from(s.dbm, (v) => (v === null ? NaN : v));
    const first = Number(s.first_mhz), step = Number(s.step_mhz);
    if (!sweep || sweep.band !== s.band || sweep.first !== first || sweep.step !== step || sweep.n !== levels.length) {
      sweep = { band: s.band, first, step, n: levels.length, hold: levels.map(() => NaN), rows: [] };
    }
    sweep.current = levels;
    let peak = -1;
    for (let i = 0; i < levels.length; i++) {
      const v = levels[i];
      if (Number.isNaN(v)) continue;
      see(v);
      if (!(sweep.hold[i] >= v)) sweep.hold[i] = v;
      if (peak < 0 || v > levels[peak]) peak = i;
    }
    sweep.rows.push({ t, levels, pixels: null });
    while (sweep.rows.length && sweep.rows[0].t < t - WINDOW_S) sweep.rows.shift();
    live.sweepPoints = levels.length;
    live.waterfallRows = sweep.rows.length;
    live.peakMhz = peak < 0 ? null : Math.round((first + peak * step) * 1e5) / 1e5;
    live.peakDbm = peak < 0 ? null : levels[peak];
    live.holdPeakDbm = Math.max(...sweep.hold.filter((v) => !Number.isNaN(v)), -Infinity);
    if (live.holdPeakDbm === -Infinity) live.holdPeakDbm = null;
  }

  function takeSingle(vals, t) {
    const active = new Set((live.status ? live.status.measurement.channels : []).map((c) => c.band));
    for (const v of vals || []) {
      if (active.size && !active.has(v.band)) continue;
      const dbm = num(v.dbm);
      const strip = strips[v.band] || (strips[v.band] = { points: [] });
      strip.channel = v.channel;
      strip.mhz = v.mhz;
      strip.points.push({ t, dbm });
      while (strip.points.length && strip.points[0].t < t - WINDOW_S) strip.points.shift();
      see(dbm);
      live.strips[v.band] = strip.points.length;
    }
  }

  function takeNote(time, text) {
    notes.unshift({ time, text });
    if (notes.length > NOTES_KEPT) notes.pop();
    live.notes = notes.map((n) => n.text);
    showNotes();
  }

  function takeValues(kind, vals) {
    values = vals || [];
    for (const v of values) see(num(v.dbm));
    if (kind === 'table') live.bars = values.length;
    else live.servers = values.length;
  }

  // ---- the stream ----------------------------------------------------------------
  let source = null, retry = 1000, goneTimer = 0;
  function connect() {
    source = new EventSource(withToken('api/stream'));
    source.onopen = () => {
      live.connected = true;
      live.connections += 1;
      retry = 1000;
      clearTimeout(goneTimer);
      $('gone').hidden = true;
      reset();
      showConnection();
    };
    source.addEventListener('status', (e) => takeStatus(JSON.parse(e.data)));
    source.addEventListener('record', (e) => takeRecord(JSON.parse(e.data)));
    source.addEventListener('live', () => { live.live = true; dirty = true; });
    source.addEventListener('end', () => { live.ended = true; $('ended').hidden = false; });
    source.onerror = () => {
      live.connected = false;
      showConnection();
      clearTimeout(goneTimer);
      goneTimer = setTimeout(() => { if (!live.connected) $('gone').hidden = false; }, 2000);
      // The browser tries again by itself after a broken connection, not after a refusal.
      if (source.readyState === EventSource.CLOSED) {
        setTimeout(connect, retry);
        retry = Math.min(retry * 2, 30000);
      }
    };
  }

  // "live" only while the recorder is reached and its board answers.
  function showConnection() {
    const c = $('connection');
    const boardLost = live.connected && live.boardUp === false;
    c.textContent = !live.connected ? 'reconnecting' : boardLost ? 'board lost' : 'live';
    c.className = 'pill ' + (live.connected && !boardLost ? 'on' : boardLost ? 'lost' : 'off');
  }

  // ---- the facts -----------------------------------------------------------------
  function bytes(n) {
    if (n < 1e6) return (n / 1e3).toFixed(1) + ' kB';
    if (n < 1e9) return (n / 1e6).toFixed(1) + ' MB';
    return (n / 1e9).toFixed(2) + ' GB';
  }
  function clock(s) {
    s = Math.max(0, Math.floor(s));
    const two = (v) => String(v).padStart(2, '0');
    return (s >= 86400 ? Math.floor(s / 86400) + 'd ' : '') + two(Math.floor(s / 3600) % 24) + ':' +
      two(Math.floor(s / 60) % 60) + ':' + two(s % 60);
  }
  function measurementText(m) {
    const band = m.band ? ' (' + m.band + ' MHz band)' : '';
    const channels = (m.channels || []).map((c) => c.band + ' ch ' + c.channel + ' ' + fmt(c.mhz, 2) + ' MHz');
    switch (m.kind) {
      case 'spectrum': return 'Spectrum ' + fmt(m.first_mhz, 2) + '\u2013' + fmt(m.last_mhz, 2) + ' MHz' + band;
      case 'single': return 'Single channel: ' + channels.join(', ');
      case 'table': return 'Channel table' + (m.title ? ' \u201c' + m.title + '\u201d' : '') + ': ' +
        channels.length + ' channels';
      case 'servers': return 'Best servers' + band;
      default: return 'no measurement yet';
    }
  }
  function showStatus() {
    const s = live.status;
    if (!s) return;
    $('measurement').textContent = measurementText(s.measurement);
    const b = $('board');
    b.textContent = s.board.up ? 'up' : 'LOST';
    b.className = s.board.up ? 'up' : 'lost';
    $('board-more').textContent = [s.board.firmware && 'firmware ' + s.board.firmware,
      s.board.serial_number && 'serial ' + s.board.serial_number, s.board.port,
      s.board.lost ? 'lost ' + s.board.lost + '\u00d7' : ''].filter(Boolean).join(' \u00b7 ');
    $('lost').hidden = !!s.board.up;
    const g = s.gps;
    $('gps').textContent = g.state;
    $('gps-more').textContent = g.lat === null ? '' :
      fmt(g.lat, 6) + ', ' + fmt(g.lon, 6) + (g.altitude_m === null ? '' : ' \u00b7 ' + fmt(g.altitude_m, 0) + ' m');
    $('log').textContent = bytes(s.log.bytes) + ' \u00b7 ' + s.log.records + ' records';
    $('log-more').textContent = s.log.path;
    $('viewers').textContent = s.live ? s.live.clients + ' watching' : '';
    showAlarms(s.alarms || []);
    showOccupancy(s.occupancy);
    showAge();
  }

  // ---- alarms, occupancy and notes ------------------------------------------------
  const timeOf = (iso) => (iso ? iso.slice(11) : '');  // the clock of a stamp; the day is the recording's
  function lasting(s) {
    if (s < 120) return s + ' s';
    if (s < 7200) return Math.round(s / 60) + ' min';
    return Math.round(s / 360) / 10 + ' h';
  }
  function cell(tag, className, text) {
    const el = document.createElement(tag);
    if (className) el.className = className;
    el.textContent = text;
    return el;
  }
  function where(mhz, dbm) {
    return [mhz === null || mhz === undefined ? '' : fmt(mhz, 2) + ' MHz', dbm === null || dbm === undefined ? '' :
      dbmText(dbm)].filter(Boolean).join(', ');
  }
  function showAlarms(alarms) {
    live.alarms = alarms.map((a) => ({ name: a.name, state: a.state, changes: a.changes }));
    $('alarm-panel').hidden = !alarms.length;
    $('alarms').replaceChildren(...alarms.map((a) => {
      const on = a.state === 'ON';
      const row = document.createElement('div');
      row.className = 'alarm ' + (on ? 'raised' : 'quiet');
      row.dataset.name = a.name;
      row.dataset.state = a.state;
      const said = on ? 'raised ' + timeOf(a.time) : a.changes ? 'cleared ' + timeOf(a.time) : 'not raised';
      const seen = where(a.mhz, a.dbm);
      row.title = a.time || '';
      row.append(cell('span', 'state', on ? 'ON' : 'OFF'), cell('span', 'name', a.name),
        cell('span', 'when', said + (seen ? ' \u00b7 ' + seen : '')), cell('span', 'rule small', a.rule));
      return row;
    }));
    watchShown();
  }
  function showOccupancy(o) {
    $('occupancy-panel').hidden = !o;
    if (o) {
      const b = o.busiest;
      $('occupancy').textContent = b ? 'busiest ' + (b.channel === null ? '' : b.band + ' ch ' + b.channel + ' \u00b7 ') +
        fmt(b.mhz, 2) + ' MHz: ' + fmt(b.occupancy * 100, 0) + ' % above ' + dbmText(b.threshold_dbm) : 'nothing measured';
      const floors = Object.entries(o.noise_floor_dbm || {}).filter(([, v]) => v !== null)
        .map(([band, v]) => band + ' MHz noise ' + dbmText(v));
      $('occupancy-more').textContent = ['from ' + timeOf(o.period_start) + ' for ' + lasting(o.period_s),
        'threshold ' + o.threshold, o.places + ' places'].concat(floors).join(' \u00b7 ');
    }
    watchShown();
  }
  function showNotes() {
    $('notes-panel').hidden = !notes.length;
    $('notes').replaceChildren(...notes.map((n) => {
      const li = document.createElement('li');
      li.append(cell('span', 'small', timeOf(n.time) + ' '), cell('span', '', n.text));
      return li;
    }));
    watchShown();
  }
  function watchShown() {
    $('watch').hidden = $('alarm-panel').hidden && $('occupancy-panel').hidden && $('notes-panel').hidden;
  }
  function showAge() {
    const s = live.status;
    if (!s) return;
    $('age').textContent = clock(s.age_s + (live.connected ? (performance.now() - statusAt) / 1000 : 0));
  }

  // ---- drawing -------------------------------------------------------------------
  let dirty = true;
  const dpr = () => window.devicePixelRatio || 1;
  function fit(canvas) {
    const r = dpr(), w = Math.round(canvas.clientWidth * r), h = Math.round(canvas.clientHeight * r);
    if (canvas.width !== w || canvas.height !== h) { canvas.width = w; canvas.height = h; }
    const g = canvas.getContext('2d');
    g.setTransform(r, 0, 0, r, 0, 0);
    return { g, w: canvas.clientWidth, h: canvas.clientHeight };
  }
  function niceStep(span, most) {
    const raw = span / Math.max(most, 1), p = Math.pow(10, Math.floor(Math.log10(raw)));
    for (const m of [1, 2, 5, 10]) if (m * p >= raw) return m * p;
    return 10 * p;
  }
  const PAD = { left: 44, right: 8, top: 18, bottom: 22 };

  // The plot's frame: dB lines every 10 dB, x ticks `step` apart labelled by xLabel.
  function axes(g, w, h, x0, x1, step, lo, hi, xLabel) {
    g.fillStyle = '#000';
    g.fillRect(0, 0, w, h);
    g.strokeStyle = '#2c3036';
    g.fillStyle = '#9aa0a6';
    g.font = '11px system-ui, sans-serif';
    g.lineWidth = 1;
    const pw = w - PAD.left - PAD.right, ph = h - PAD.top - PAD.bottom;
    for (let d = Math.ceil(lo / 10) * 10; d <= hi; d += 10) {
      const y = PAD.top + ph * (hi - d) / (hi - lo);
      g.beginPath(); g.moveTo(PAD.left, y + 0.5); g.lineTo(w - PAD.right, y + 0.5); g.stroke();
      g.textAlign = 'right'; g.textBaseline = 'middle'; g.fillText(String(d), PAD.left - 4, y);
    }
    for (let x = Math.ceil(x0 / step - 1e-9) * step; x <= x1 + 1e-9; x += step) {
      const px = PAD.left + pw * (x - x0) / (x1 - x0 || 1);
      g.beginPath(); g.moveTo(px + 0.5, PAD.top); g.lineTo(px + 0.5, PAD.top + ph); g.stroke();
      const label = xLabel(x, step), half = g.measureText(label).width / 2;
      g.textAlign = 'center'; g.textBaseline = 'top';
      g.fillText(label, Math.min(Math.max(px, half), w - half - 1), PAD.top + ph + 4);
    }
    g.textAlign = 'left'; g.textBaseline = 'top'; g.fillText('dBm', 2, 2);
    return { pw, ph };
  }
  const mhzLabel = (x, step) => x.toFixed(step >= 1 ? 0 : step >= 0.1 ? 1 : 2);
  const ticksFor = (w) => Math.max(2, Math.floor((w - PAD.left - PAD.right) / 70));
  // The time shown: what there is, in whole minutes, from one to ten.
  const spanOf = (seconds) => Math.min(WINDOW_S, Math.max(60, Math.ceil(seconds / 60) * 60));
  // Seconds between time ticks, at most `most` of them over `span`.
  const timeStep = (span, most) => [10, 15, 20, 30, 60, 120, 300, 600].find((s) => s * most >= span) || 600;
  const timeLabel = (x) => {
    const s = Math.round(Math.abs(x));
    return s ? '\u2212' + Math.floor(s / 60) + ':' + String(s % 60).padStart(2, '0') : 'now';
  };

  function line(g, levels, toX, toY, colour) {
    g.strokeStyle = colour;
    g.lineWidth = 1.5;
    g.beginPath();
    let open = false;
    for (let i = 0; i < levels.length; i++) {
      const v = levels[i];
      if (v === null || Number.isNaN(v)) { open = false; continue; }
      if (open) g.lineTo(toX(i), toY(v)); else g.moveTo(toX(i), toY(v));
      open = true;
    }
    g.stroke();
  }

  function drawTrace() {
    const { g, w, h } = fit($('trace'));
    const last = sweep.first + (sweep.n - 1) * sweep.step;
    const { pw, ph } = axes(g, w, h, sweep.first, last, niceStep(last - sweep.first, ticksFor(w)), scale.lo, scale.hi,
      mhzLabel);
    const toX = (i) => PAD.left + pw * (sweep.n > 1 ? i / (sweep.n - 1) : 0.5);
    const toY = (v) => PAD.top + ph * (scale.hi - Math.max(scale.lo, Math.min(scale.hi, v))) / (scale.hi - scale.lo);
    line(g, sweep.hold, toX, toY, HOLD);
    line(g, sweep.current, toX, toY, CURRENT);
    if (live.readout) {
      const x = toX(live.readout.index);
      g.strokeStyle = '#e8e8e8';
      g.setLineDash([3, 3]);
      g.beginPath(); g.moveTo(x + 0.5, PAD.top); g.lineTo(x + 0.5, PAD.top + ph); g.stroke();
      g.setLineDash([]);
    }
    $('sweep-info').textContent = sweep.n + ' points, ' + fmt(sweep.step * 1000, 0) + ' kHz apart';
  }

  // A row as wide as the device pixels it is drawn on: each column the strongest of the
  // points it covers, so that a carrier one point wide stays in sight on a narrow screen.
  function rowPixels(row, columns) {
    if (row.pixels && row.lo === scale.lo && row.hi === scale.hi && row.columns === columns) return row.pixels;
    const px = new Uint8ClampedArray(columns * 4), n = row.levels.length;
    for (let x = 0; x < columns; x++) {
      let v = NaN;
      for (let i = Math.floor(x * n / columns), end = Math.max(i + 1, Math.floor((x + 1) * n / columns)); i < end; i++) {
        if (!(row.levels[i] <= v)) v = Number.isNaN(row.levels[i]) ? v : row.levels[i];
      }
      const c = Number.isNaN(v) ? COLOURS.no_data : COLOURS.viridis[colourIndex(v)];
      px[4 * x] = c >> 16; px[4 * x + 1] = (c >> 8) & 255; px[4 * x + 2] = c & 255; px[4 * x + 3] = 255;
    }
    Object.assign(row, { pixels: px, lo: scale.lo, hi: scale.hi, columns });
    return px;
  }

  // The MHz under a plot `pw` wide from PAD.left, at `y`: ticks and their labels.
  function mhzAxis(g, w, y, pw) {
    const last = sweep.first + (sweep.n - 1) * sweep.step, step = niceStep(last - sweep.first, ticksFor(w));
    g.strokeStyle = '#9aa0a6';
    g.fillStyle = '#9aa0a6';
    g.font = '11px system-ui, sans-serif';
    g.textAlign = 'center';
    g.textBaseline = 'top';
    for (let x = Math.ceil(sweep.first / step - 1e-9) * step; x <= last + 1e-9; x += step) {
      const px = PAD.left + pw * (x - sweep.first) / (last - sweep.first || 1);
      g.beginPath(); g.moveTo(px + 0.5, y); g.lineTo(px + 0.5, y + 4); g.stroke();
      const label = mhzLabel(x, step), half = g.measureText(label).width / 2;
      g.fillText(label, Math.min(Math.max(px, half), w - half - 1), y + 5);
    }
    g.textAlign = 'right';
    g.fillText('MHz', w - 2, y + 5 + 13);
  }

  const sheet = document.createElement('canvas');
  function drawWaterfall() {
    const { g, w, h } = fit($('waterfall'));
    g.fillStyle = '#000';
    g.fillRect(0, 0, w, h);
    const rows = sweep.rows;
    if (!rows.length) return;
    const pw = w - PAD.left - PAD.right, ph = h - PAD.top - PAD.bottom - 14;
    // Newest on top; a row as tall as the time until the next, the last 10 minutes down the height.
    const columns = Math.max(1, Math.min(sweep.n, Math.round(pw * dpr())));
    live.waterfallColumns = columns;
    sheet.width = columns;
    sheet.height = rows.length;
    const sg = sheet.getContext('2d');
    const image = sg.createImageData(columns, rows.length);
    for (let k = 0; k < rows.length; k++) image.data.set(rowPixels(rows[rows.length - 1 - k], columns), k * columns * 4);
    sg.putImageData(image, 0, 0);
    const newest = rows[rows.length - 1].t, oldest = rows[0].t;
    const filled = Math.min(WINDOW_S, Math.max(newest - oldest, 1) * rows.length / Math.max(rows.length - 1, 1));
    const span = spanOf(filled);
    g.imageSmoothingEnabled = false;
    g.drawImage(sheet, PAD.left, PAD.top, pw, Math.max(1, ph * filled / span));
    g.strokeStyle = '#2c3036';
    g.strokeRect(PAD.left - 0.5, PAD.top - 0.5, pw + 1, ph + 1);
    g.fillStyle = '#9aa0a6';
    g.font = '11px system-ui, sans-serif';
    g.textAlign = 'right';
    g.textBaseline = 'middle';
    const step = timeStep(span, Math.max(2, Math.floor(ph / 40)));
    for (let t = 0; t <= span + 1e-9; t += step) g.fillText(timeLabel(t), PAD.left - 4, PAD.top + ph * t / span);
    mhzAxis(g, w, PAD.top + ph + 1, pw);
  }

  // The colour key: the page's colours from scale.lo to scale.hi, a tick each 10 dB.
  function drawColourBar() {
    const c = $('colour-bar');
    const { g, w, h } = fit(c);
    for (let x = 0; x < w; x++) {
      g.fillStyle = '#' + COLOURS.viridis[Math.round(x / Math.max(w - 1, 1) * 255)].toString(16).padStart(6, '0');
      g.fillRect(x, 0, 1, h);
    }
    const ticks = [], every = w / ((scale.hi - scale.lo) / 10) >= 44 ? 10 : 20;
    for (let d = scale.lo; d <= scale.hi; d += 10) {
      const labelled = (d - scale.lo) % every === 0 || d === scale.hi;
      const t = cell('span', labelled ? '' : 'minor', labelled ? String(d) : '');
      t.style.left = (100 * (d - scale.lo) / (scale.hi - scale.lo)) + '%';
      ticks.push(t);
    }
    $('colour-ticks').replaceChildren(...ticks);
  }

  function drawStrips() {
    const holder = $('strips');
    for (const band of Object.keys(strips).sort((a, b) => a - b)) {
      let el = document.getElementById('strip-' + band);
      if (!el) {
        el = document.createElement('div');
        el.className = 'strip';
        el.id = 'strip-' + band;
        el.innerHTML = '<h3></h3><p class="now"></p><div class="chart"><canvas></canvas></div>';
        holder.appendChild(el);
      }
      const s = strips[band], lastPoint = s.points[s.points.length - 1];
      el.querySelector('h3').textContent = band + ' MHz band: channel ' + s.channel + ', ' + fmt(s.mhz, 2) + ' MHz';
      el.querySelector('.now').textContent = lastPoint ? dbmText(lastPoint.dbm) : '';
      const { g, w, h } = fit(el.querySelector('canvas'));
      const newest = lastPoint ? lastPoint.t : 0;
      const span = spanOf(s.points.length ? newest - s.points[0].t : 0);
      const { pw, ph } = axes(g, w, h, -span, 0, timeStep(span, ticksFor(w)), scale.lo, scale.hi, timeLabel);
      const toX = (i) => PAD.left + pw * (s.points[i].t - newest + span) / span;
      const toY = (v) => PAD.top + ph * (scale.hi - Math.max(scale.lo, Math.min(scale.hi, v))) / (scale.hi - scale.lo);
      line(g, s.points.map((p) => p.dbm), toX, toY, CURRENT);
    }
  }

  // Where a level falls on the bars' scale, in percent of its length.
  const barPercent = (dbm) => 100 * (Math.max(BAR_LO, Math.min(BAR_HI, dbm)) - BAR_LO) / (BAR_HI - BAR_LO);

  // The scale over the bars: a tick each 10 dB, labelled each 20.
  function barScaleRow() {
    const row = document.createElement('div');
    row.className = 'bar bar-scale';
    const ticks = document.createElement('div');
    ticks.className = 'ticks track';
    for (let d = BAR_LO; d <= BAR_HI; d += 10) {
      const t = cell('span', (d - BAR_LO) % 20 ? 'minor' : '', (d - BAR_LO) % 20 ? '' : String(d));
      t.style.left = barPercent(d) + '%';
      ticks.appendChild(t);
    }
    row.append(cell('span', 'label small', 'level, dBm'), ticks, cell('span', 'dbm small', ''));
    return row;
  }

  function drawBars(holder, label) {
    holder.replaceChildren(barScaleRow(), ...values.map((v) => {
      const row = document.createElement('div');
      row.className = 'bar';
      const dbm = num(v.dbm);
      const text = label(v);
      const name = cell('span', 'label', text);
      name.title = text;
      const track = document.createElement('div');
      track.className = 'track';
      const fill = document.createElement('div');
      fill.className = 'fill';
      if (dbm !== null) {
        fill.style.width = barPercent(dbm) + '%';
        fill.style.background = colourOf(dbm);
      }
      track.appendChild(fill);
      row.append(name, track, cell('span', 'dbm', dbmText(dbm)));
      return row;
    }));
  }

  // A table slot's name from the status, by its place in the table.
  function slotName(v, k) {
    const c = live.status && live.status.measurement.channels[k];
    return c && c.name && c.channel === v.channel ? ' \u00b7 ' + c.name : '';
  }

  function show(kind) {
    for (const id of ['spectrum', 'single', 'table', 'servers']) $(id).hidden = id !== kind;
    const key = $('colour-key'), holder = $(kind);
    key.hidden = !holder || kind === 'single' || (kind === 'spectrum' && !sweep);
    if (holder && key.parentNode !== holder) holder.appendChild(key);
  }

  function draw() {
    if (dirty) {
      dirty = false;
      rescale();
      show(live.kind || (sweep ? 'spectrum' : ''));
      if (sweep && !$('spectrum').hidden) { drawTrace(); drawWaterfall(); }
      if (!$('single').hidden) drawStrips();
      if (!$('table').hidden) {
        const m = live.status ? live.status.measurement : {};
        $('table-title').textContent = m.title || '';
        $('table-title').hidden = !m.title;
        let k = 0;
        drawBars($('bars'), (v) => v.band + ' ch ' + v.channel + ' \u00b7 ' + fmt(v.mhz, 2) + ' MHz' + slotName(v, k++));
      }
      if (!$('servers').hidden) {
        $('servers-title').textContent = 'The ' + values.length + ' strongest' +
          (live.status && live.status.measurement.band ? ' in the ' + live.status.measurement.band + ' MHz band' : '');
        drawBars($('ranks'), (v) => '#' + v.rank + ' ch ' + v.channel + ' \u00b7 ' + fmt(v.mhz, 2) + ' MHz');
      }
      if (!$('colour-key').hidden) drawColourBar();
    }
    requestAnimationFrame(draw);
  }

  // ---- the readout at the pointer or finger ---------------------------------------
  function pointAt(e) {
    if (!sweep) return;
    const c = $('trace'), box = c.getBoundingClientRect();
    const pw = box.width - PAD.left - PAD.right;
    const f = (e.clientX - box.left - PAD.left) / pw;
    if (f < 0 || f > 1) return;
    const index = Math.round(f * (sweep.n - 1));
    const mhz = sweep.first + index * sweep.step, dbm = sweep.current[index], hold = sweep.hold[index];
    live.readout = { index, mhz: Math.round(mhz * 1e5) / 1e5, dbm: Number.isNaN(dbm) ? null : dbm,
      hold: Number.isNaN(hold) ? null : hold };
    const r = $('readout');
    r.hidden = false;
    r.textContent = fmt(mhz, 2) + ' MHz  ' + dbmText(live.readout.dbm) +
      (live.readout.hold === null ? '' : '  (max ' + dbmText(live.readout.hold) + ')');
    dirty = true;
  }
  $('trace').addEventListener('pointermove', pointAt);
  $('trace').addEventListener('pointerdown', pointAt);
  $('trace').addEventListener('pointerleave', (e) => {
    if (e.pointerType !== 'mouse') return;  // a finger's readout stays where it was lifted
    live.readout = null;
    $('readout').hidden = true;
    dirty = true;
  });

  $('status-link').href = withToken('api/status');
  $('metrics-link').href = withToken('metrics');
  window.addEventListener('resize', () => { dirty = true; });
  setInterval(showAge, 1000);
  live.scale = scale;
  connect();
  requestAnimationFrame(draw);
})();
