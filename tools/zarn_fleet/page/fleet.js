'use strict';
// The fleet's page: the sites on a map and in a table, kept by the stream; a site's events,
// runs and hourly figures; the tasks, which an operator changes. Everything from this host.
(function () {
  const token = new URLSearchParams(location.search).get('token');
  const headers = token ? { Authorization: 'Bearer ' + token } : {};
  const $ = (id) => document.getElementById(id);
  // changedAt: when each site's state last changed on this page (ms since the epoch).
  const fleet = window.fleet = { sites: [], clockOffset: 0, selected: null, pictures: {}, changedAt: {} };
  const stateClass = (s) => (s || '').replace(/ /g, '-');
  const stateColours = { 'recording': '#2e7d32', 'between tasks': '#1565c0', 'board lost': '#ef6c00',
                         'silent': '#c62828', 'never heard': '#757575' };

  function api(path, options) {
    return fetch(path, Object.assign({ headers: headers, cache: 'no-store' }, options || {}))
      .then((r) => r.json().catch(() => ({})).then((body) => ({ status: r.status, body: body })));
  }

  function cell(row, text, cls) {
    const td = row.insertCell();
    td.textContent = text == null ? '-' : text;
    if (cls) td.className = cls;
    return td;
  }

  function bytes(n) {
    if (n == null) return '-';
    return n >= 1e9 ? (n / 1e9).toFixed(1) + ' GB' : (n / 1e6).toFixed(0) + ' MB';
  }

  function ago(iso) {
    if (!iso) return 'never';
    const s = Math.max(0, Math.round((Date.now() + fleet.clockOffset - Date.parse(iso)) / 1000));
    if (s < 120) return s + ' s ago';
    if (s < 7200) return Math.round(s / 60) + ' min ago';
    return Math.round(s / 3600) + ' h ago';
  }

  // The map: the team's tiles when given, else a plain background; a scale either way.
  const map = L.map('map', { attributionControl: false, worldCopyJump: true });
  if (window.ZARN.tiles) L.tileLayer(window.ZARN.tiles, { maxZoom: 19 }).addTo(map);
  L.control.scale().addTo(map);
  map.setView([20, 0], 2);
  const markers = {};
  let fitted = false;

  function drawMap() {
    const placed = [];
    for (const s of fleet.sites) {
      if (s.lat == null || s.lon == null) continue;
      placed.push([s.lat, s.lon]);
      const colour = stateColours[s.state] || '#757575';
      let m = markers[s.name];
      if (!m) {
        m = markers[s.name] = L.circleMarker([s.lat, s.lon], { radius: 9, weight: 2, fillOpacity: 0.85 }).addTo(map);
        m.on('click', () => select(s.name));
        // An element, not a string: Leaflet would take a string as HTML.
        const tip = document.createElement('span');
        tip.textContent = s.name;
        m.bindTooltip(tip);
      }
      m.setStyle({ color: '#263238', fillColor: colour });
      m.getElement && m.getElement() && m.getElement().setAttribute('data-site', s.name);
      m.getElement && m.getElement() && m.getElement().setAttribute('data-state', s.state);
    }
    if (!fitted && placed.length) {
      fitted = true;
      if (placed.length === 1) map.setView(placed[0], 10);
      else map.fitBounds(placed, { padding: [30, 30], maxZoom: 12 });
    }
  }

  function drawSites() {
    const body = $('sites').tBodies[0];
    body.textContent = '';
    for (const s of fleet.sites) {
      const row = body.insertRow();
      row.dataset.site = s.name;
      cell(row, s.name);
      cell(row, s.state, 'state ' + stateClass(s.state));
      cell(row, s.last_heard ? ago(s.last_heard) : 'never', 'heard').title = s.last_heard || '';
      cell(row, s.task);
      cell(row, s.backlog);
      cell(row, bytes(s.disk_free));
      cell(row, s.alarms);
      row.addEventListener('click', () => select(s.name));
    }
    const chosen = $('task-site').value, beside = $('beside').value;
    $('task-site').textContent = '';
    $('beside').length = 1;
    for (const s of fleet.sites) {
      $('task-site').add(new Option(s.name, s.name));
      if (s.name !== fleet.selected) $('beside').add(new Option(s.name, s.name));
    }
    if (chosen) $('task-site').value = chosen;
    $('beside').value = beside;
    drawMap();
  }

  function takeSites(data) {
    const before = {};
    for (const s of fleet.sites) before[s.name] = s.state;
    if (data.partial) {
      const fresh = {};
      for (const s of data.sites) fresh[s.name] = s;
      fleet.sites = fleet.sites.map((s) => fresh[s.name] || s);
    } else fleet.sites = data.sites || [];
    for (const s of fleet.sites) if (before[s.name] !== s.state) fleet.changedAt[s.name] = Date.now();
    fleet.clockOffset = data.now * 1000 - Date.now();
    drawSites();
  }

  setInterval(() => {
    for (const row of $('sites').tBodies[0].rows) {
      const s = fleet.sites.find((x) => x.name === row.dataset.site);
      if (s && s.last_heard) row.querySelector('.heard').textContent = ago(s.last_heard);
    }
  }, 1000);

  // The stream: the sites as they change, new events, a word that the tasks changed.
  function listen() {
    const stream = new EventSource('/api/stream' + (token ? '?token=' + encodeURIComponent(token) : ''));
    stream.addEventListener('sites', (e) => { takeSites(JSON.parse(e.data)); $('link').textContent = 'live'; });
    stream.addEventListener('events', (e) => {
      const list = JSON.parse(e.data).events || [];
      for (const ev of list) if (ev.site === fleet.selected) addEvent(ev, true);
    });
    stream.addEventListener('tasks', () => loadTasks());
    stream.onerror = () => { $('link').textContent = 'reconnecting'; };
  }

  function addEvent(ev, first) {
    const li = document.createElement('li');
    li.textContent = ev.at.replace('T', ' ').replace(/\.\d+Z$/, 'Z') + '  ' + ev.kind + (ev.detail ? ': ' + ev.detail : '');
    li.dataset.kind = ev.kind;
    const list = $('events');
    if (first) list.insertBefore(li, list.firstChild); else list.appendChild(li);
  }

  function select(name) {
    fleet.selected = name;
    $('site').hidden = false;
    $('site-name').textContent = name;
    drawSites();
    api('/api/sites/' + encodeURIComponent(name)).then((r) => {
      if (r.status !== 200) return;
      const s = r.body.site;
      $('site-about').textContent = [s.description, s.version && 'zarn ' + s.version, s.fix && 'GPS ' + s.fix,
        s.records != null && s.records + ' records', s.dropped ? s.dropped + ' dropped' : ''].filter(Boolean).join(' · ');
      const runs = $('runs').tBodies[0];
      runs.textContent = '';
      for (const run of r.body.runs.slice().reverse()) {
        const row = runs.insertRow();
        [run.task, run.started, run.ended, run.records, run.outcome].forEach((v) => cell(row, v));
      }
    });
    api('/api/sites/' + encodeURIComponent(name) + '/events?limit=100').then((r) => {
      $('events').textContent = '';
      for (const ev of (r.body.events || [])) addEvent(ev, false);
    });
    showWindow();
    $('site').scrollIntoView({ behavior: 'smooth' });
  }

  // Hourly figures: a picture per site, hour down and frequency across, on one scale.
  function windowQuery() {
    const from = $('from').value, days = +$('days').value;
    const to = new Date(Date.parse(from + 'T00:00:00Z') + days * 86400e3).toISOString().slice(0, 10);
    return 'band=' + $('band').value + '&from=' + from + '&to=' + to;
  }

  function viridis(t) {
    const c = window.ZARN.colours.viridis[Math.max(0, Math.min(255, Math.round(t * 255)))];
    return [(c >> 16) & 255, (c >> 8) & 255, c & 255];
  }

  function drawPicture(canvas, data, lo, hi) {
    const w = Math.max(1, data.mhz.length), h = Math.max(1, data.hours);
    canvas.width = w; canvas.height = h;
    const ctx = canvas.getContext('2d'), img = ctx.createImageData(w, h);
    const none = window.ZARN.colours.no_data;
    for (let i = 0; i < w * h; ++i) {
      const v = data.mhz.length ? data.mean[i] : null;
      const [r, g, b] = v == null ? [(none >> 16) & 255, (none >> 8) & 255, none & 255] : viridis((v - lo) / (hi - lo));
      img.data.set([r, g, b, 255], i * 4);
    }
    ctx.putImageData(img, 0, 0);
    canvas.onclick = (e) => {
      if (!data.mhz.length) return;
      const x = Math.floor((e.offsetX / canvas.clientWidth) * w);
      $('mhz').value = data.mhz[Math.max(0, Math.min(w - 1, x))];
      showProfile();
    };
  }

  function drawScale(lo, hi) {
    const box = $('scale');
    box.textContent = '';
    const c = document.createElement('canvas');
    c.width = 256; c.height = 1;
    const ctx = c.getContext('2d'), img = ctx.createImageData(256, 1);
    for (let i = 0; i < 256; ++i) img.data.set(viridis(i / 255).concat([255]), i * 4);
    ctx.putImageData(img, 0, 0);
    const a = document.createElement('span'), b = document.createElement('span');
    a.textContent = lo + ' dBm'; b.textContent = hi + ' dBm';
    box.append(a, c, b);
  }

  function showWindow() {
    if (!fleet.selected) return;
    const q = windowQuery(), beside = $('beside').value;
    const names = [fleet.selected].concat(beside ? [beside] : []);
    Promise.all(names.map((n) => api('/api/sites/' + encodeURIComponent(n) + '/hourly?' + q))).then((replies) => {
      let lo = Infinity, hi = -Infinity;
      for (const r of replies) for (const v of (r.body.mean || [])) if (v != null) { lo = Math.min(lo, v); hi = Math.max(hi, v); }
      if (!isFinite(lo)) { lo = window.ZARN.colours.lo; hi = window.ZARN.colours.hi; }
      lo = Math.floor(lo / 5) * 5; hi = Math.max(lo + 5, Math.ceil(hi / 5) * 5);
      fleet.pictures = { lo: lo, hi: hi };
      ['a', 'b'].forEach((k, i) => {
        const r = replies[i];
        if (k === 'b') $('figure-b').hidden = !r;
        if (!r) return;
        const caption = $('caption-' + k);
        if (r.status !== 200) { caption.textContent = names[i] + ': ' + (r.body.error || r.status); return; }
        fleet.pictures[names[i]] = r.body;
        const m = r.body.mhz;
        caption.textContent = names[i] + ' · ' + r.body.band + ' · ' + r.body.from.slice(0, 10) + ' to ' + r.body.to.slice(0, 10) +
          (m.length ? ' · ' + m[0] + ' to ' + m[m.length - 1] + ' MHz, hour by hour down' : ' · no figures');
        drawPicture($('picture-' + k), r.body, lo, hi);
      });
      drawScale(lo, hi);
    });
    if ($('mhz').value) showProfile();
  }

  // For a frequency: p10, median and p90 by hour of the day over the days.
  function showProfile() {
    const mhz = $('mhz').value.trim();
    if (!mhz || !fleet.selected) { $('profile-box').hidden = true; return; }
    api('/api/sites/' + encodeURIComponent(fleet.selected) + '/hourly?' + windowQuery() + '&mhz=' + encodeURIComponent(mhz))
      .then((r) => {
        $('profile-box').hidden = false;
        $('profile-title').textContent = r.status === 200 ? fleet.selected + ' · ' + mhz + ' MHz by hour of the day (UTC)'
                                                           : (r.body.error || 'no figures');
        const hours = r.status === 200 ? r.body.hours : [];
        fleet.profile = hours;
        const body = $('profile-table').tBodies[0];
        body.textContent = '';
        for (const h of hours) {
          const row = body.insertRow();
          [h.hour, h.samples, h.p10, h.p50, h.p90].forEach((v) => cell(row, v));
        }
        drawProfile(hours);
      });
  }

  function drawProfile(hours) {
    const c = $('profile'), ctx = c.getContext('2d'), W = c.width, H = c.height, pad = 30;
    ctx.clearRect(0, 0, W, H);
    if (!hours.length) return;
    let lo = Math.min(...hours.map((h) => h.p10)), hi = Math.max(...hours.map((h) => h.p90));
    lo = Math.floor(lo / 5) * 5; hi = Math.max(lo + 5, Math.ceil(hi / 5) * 5);
    const x = (hour) => pad + (hour / 23) * (W - 2 * pad), y = (v) => H - pad - ((v - lo) / (hi - lo)) * (H - 2 * pad);
    ctx.font = '11px sans-serif'; ctx.fillStyle = '#444'; ctx.strokeStyle = '#ccc';
    for (let v = lo; v <= hi; v += 5) { ctx.beginPath(); ctx.moveTo(pad, y(v)); ctx.lineTo(W - pad, y(v)); ctx.stroke(); ctx.fillText(v, 2, y(v) + 4); }
    for (let h = 0; h < 24; h += 6) ctx.fillText(h + 'h', x(h) - 6, H - 10);
    [['p10', '#90a4ae'], ['p50', '#263238'], ['p90', '#90a4ae']].forEach(([k, colour]) => {
      ctx.strokeStyle = colour; ctx.lineWidth = k === 'p50' ? 2 : 1; ctx.beginPath();
      hours.forEach((h, i) => (i ? ctx.lineTo(x(h.hour), y(h[k])) : ctx.moveTo(x(h.hour), y(h[k]))));
      ctx.stroke();
    });
  }

  // Tasks: the list, and an operator's changes; the database has the last word.
  function duration(s) {
    if (s == null) return '';
    return s % 86400 === 0 ? s / 86400 + 'd' : s % 3600 === 0 ? s / 3600 + 'h' : s % 60 === 0 ? s / 60 + 'm' : s + 's';
  }

  function loadTasks() {
    api('/api/tasks').then((r) => {
      const body = $('tasks').tBodies[0];
      body.textContent = '';
      for (const t of (r.body.tasks || [])) {
        const row = body.insertRow();
        row.dataset.task = t.task;
        [t.task, t.site, t.name, t.state, t.priority, duration(t.every), duration(t.for), t.options.join(' ')]
          .forEach((v) => cell(row, v));
        const button = document.createElement('button');
        button.type = 'button';
        button.textContent = t.state === 'on' ? 'Stop' : 'Start';
        button.onclick = (e) => { e.stopPropagation(); change({ action: t.state === 'on' ? 'stop' : 'start', task: t.task }); };
        row.insertCell().appendChild(button);
      }
    });
  }

  function change(fields) {
    const message = $('task-message');
    return api('/api/tasks', { method: 'POST', body: new URLSearchParams(fields),
                               headers: Object.assign({ 'Content-Type': 'application/x-www-form-urlencoded' }, headers) })
      .then((r) => {
        fleet.lastChange = r;
        message.className = r.status < 300 ? '' : 'refused';
        message.textContent = r.status < 300
          ? (fields.action === 'add' ? 'task ' + r.body.task + ' added' : 'task ' + r.body.task + ' ' + r.body.state)
          : r.status + ': ' + (r.body.error || 'refused');
        loadTasks();
        return r;
      });
  }

  $('add-task').addEventListener('submit', (e) => {
    e.preventDefault();
    const fields = { action: 'add' };
    for (const [k, v] of new FormData(e.target)) if (v !== '') fields[k] = v;
    change(fields);
  });
  $('window').addEventListener('submit', (e) => { e.preventDefault(); showWindow(); });

  $('from').value = new Date(Date.now() - 7 * 86400e3).toISOString().slice(0, 10);
  api('/api/sites').then((r) => { if (r.status === 200) takeSites(r.body); });
  loadTasks();
  listen();
})();
