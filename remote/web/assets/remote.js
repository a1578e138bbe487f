// The web remote: shows the panel's state as the WebSocket sends it and
// posts the operator's taps to the API. Plain script, no build step.
'use strict';

(() => {
  const TOKEN_KEY = 'plaxon-token';
  const LANG_KEY = 'plaxon-lang';
  const CZECH = 0;
  const ENGLISH = 1;
  const RETRY_FIRST_MS = 250;
  const RETRY_MAX_MS = 2000;
  const REPEAT_GUARD_MS = 300;
  const TOAST_MS = 3000;
  const TOAST_ERROR_MS = 5000;
  const DARK_FACE_LUMINANCE = 0.18;
  const STATIONS = 4;

  // Texts in the panel's two languages, picked by the state's language.
  const TEXTS = [
    {
      full: 'Připojeno',
      partial: 'Částečně připojeno',
      none: 'Nepřipojeno',
      connecting: 'Připojuji k panelu…',
      reconnecting: 'Obnovuji spojení s panelem…',
      refused: 'Přístup odmítnut',
      noToken: 'Chybí přístupový klíč: otevřete adresu, kterou vypsal Plaxon (končí #token=…).',
      badToken: 'Panel klíč odmítl: otevřete znovu adresu, kterou vypsal Plaxon.',
      forbidden: 'Panel toto spojení odmítl (adresa stránky neodpovídá).',
      dialog: 'Na panelu je otevřený dialog; dokud se nezavře, panel příkazy odmítá',
      brightness: 'Jas',
      send: 'Nastavit jas',
      noStation: 'Zaškrtněte aspoň jednu stanici.',
      refusedBy: 'Panel odmítl: ',
      failed: 'Panel neodpovídá.',
      sentTo: 'Odesláno',
      reachedNone: 'Nedoručeno',
      launch: (n) => `Tlačítko ${n}`,
      links: 'spojení',
    },
    {
      full: 'Connected',
      partial: 'Partially connected',
      none: 'Not connected',
      connecting: 'Connecting to the panel…',
      reconnecting: 'Reconnecting to the panel…',
      refused: 'Access refused',
      noToken: 'No access token: open the address Plaxon printed (it ends in #token=…).',
      badToken: 'The panel refused the token: open the address Plaxon printed again.',
      forbidden: 'The panel refused this connection (the page address does not match).',
      dialog: 'A dialog is open on the panel; it refuses commands until the dialog closes',
      brightness: 'Brightness',
      send: 'Set brightness',
      noStation: 'Tick at least one station.',
      refusedBy: 'The panel refused: ',
      failed: 'The panel does not answer.',
      sentTo: 'Sent',
      reachedNone: 'Not delivered',
      launch: (n) => `Button ${n}`,
      links: 'links',
    },
  ];

  const $ = (id) => document.getElementById(id);
  const el = {
    banner: $('banner'),
    title: $('title'),
    notice: $('notice'),
    panel: $('panel'),
    grid: $('grid'),
    play: $('play'),
    pause: $('pause'),
    stop: $('stop'),
    brightness: $('brightness'),
    ticks: $('ticks'),
    brightnessLabel: $('brightness-label'),
    level: $('level'),
    levelValue: $('level-value'),
    send: $('send-brightness'),
    toast: $('toast'),
  };

  let language = Number(sessionStorage.getItem(LANG_KEY) ?? (navigator.language.startsWith('cs') ? CZECH : ENGLISH));
  let token = '';
  let state = null;
  let live = false; // the WebSocket is open and has sent a state
  let socket = null;
  let retryMs = RETRY_FIRST_MS;
  let retryTimer = 0;
  let toastTimer = 0;
  let problem = ''; // a lasting failure (token refused, ...) shown in the banner
  const lastTap = new Map(); // control → time of its last accepted tap
  const cells = []; // grid cells, kept between states so a tap in progress is not lost
  let levelTouched = false; // the slider's value belongs to the operator until sent
  let ticksTouched = false; // the ticks belong to the operator once changed here
  const ticks = [];

  const text = () => TEXTS[language === CZECH ? CZECH : ENGLISH];

  // The token comes in the fragment (never sent to the server with the page)
  // and is kept for this tab, so a reload works; the fragment is then dropped
  // from the address bar.
  function takeToken() {
    const match = /(?:^#|&)token=([0-9A-Za-z]+)/.exec(location.hash);
    if (match) {
      sessionStorage.setItem(TOKEN_KEY, match[1]);
      history.replaceState(null, '', location.pathname + location.search);
    }
    return sessionStorage.getItem(TOKEN_KEY) ?? '';
  }

  // ---------------------------------------------------------------- drawing

  function luminance(hex) {
    const channel = (i) => {
      const c = parseInt(hex.slice(i, i + 2), 16) / 255;
      return c <= 0.04045 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4;
    };
    return 0.2126 * channel(1) + 0.7152 * channel(3) + 0.0722 * channel(5);
  }

  function hexOf(r, g, b) {
    return '#' + [r, g, b].map((v) => v.toString(16).padStart(2, '0')).join('');
  }

  // An inline button without a colour of its own gets the panel's tint of the default face.
  const DEFAULT_FACE = getComputedStyle(document.documentElement).getPropertyValue('--face').trim() || '#d9d9d9';
  const INLINE_FACE = (() => {
    const v = (i) => parseInt(DEFAULT_FACE.slice(i, i + 2), 16);
    return hexOf(v(1), Math.floor((2 * v(5)) / 3), Math.floor((2 * v(3)) / 3));
  })();

  function makeCell(index) {
    const cell = document.createElement('div');
    cell.className = 'cell';
    const button = document.createElement('button');
    button.type = 'button';
    button.className = 'launch';
    button.dataset.index = String(index);
    const caption = document.createElement('span');
    caption.className = 'caption';
    const markers = document.createElement('span');
    markers.className = 'markers';
    button.append(caption, markers);
    button.addEventListener('click', () => launch(index, button));
    cell.append(button);
    return { cell, button, caption, markers, key: '' };
  }

  function drawButton(c, b, lastButton) {
    c.button.hidden = !b.shown;
    if (!b.shown)
      return;
    const face = b.color ?? (b.inline ? INLINE_FACE : null);
    const key = JSON.stringify([b.caption, face, b.markers, b.reachable]);
    c.button.classList.toggle('last', b.index === lastButton);
    if (key === c.key)
      return;
    c.key = key;
    c.caption.textContent = b.caption.replace(/\r\n|\r/g, '\n');
    c.button.style.background = face ?? '';
    c.button.classList.toggle('dark', face !== null && luminance(face) < DARK_FACE_LUMINANCE);
    const marks = b.markers.map((pc) => {
      const mark = document.createElement('span');
      mark.className = `marker pc${pc}`;
      mark.textContent = String(pc);
      if (!b.reachable.includes(pc))
        mark.classList.add('unreachable');
      return mark;
    });
    c.markers.replaceChildren(...marks);
  }

  function drawGrid() {
    const { columns, inView } = state.layout;
    el.grid.style.gridTemplateColumns = `repeat(${columns}, minmax(0, 1fr))`;
    // Rows below the last shown button stay off the page: a tablet needs the room.
    let lastShown = 0;
    for (let i = 0; i < inView; ++i)
      if (state.buttons[i].shown)
        lastShown = i + 1;
    const count = Math.ceil(lastShown / columns) * columns;
    while (cells.length < count)
      cells.push(makeCell(cells.length + 1));
    const wanted = cells.slice(0, count).map((c) => c.cell);
    if (el.grid.children.length !== wanted.length || wanted.some((c, i) => el.grid.children[i] !== c))
      el.grid.replaceChildren(...wanted);
    const last = state.last;
    // The panel keeps its mark through PLAY, PAUSE and brightness; STOP clears it.
    const lastButton = last ? last.button : null;
    for (let i = 0; i < count; ++i)
      drawButton(cells[i], state.buttons[i], lastButton);
  }

  function drawBrightness() {
    const b = state.brightness;
    el.brightness.hidden = !b.enabled;
    if (!b.enabled)
      return;
    const enabled = state.stations.filter((s) => s.enabled).map((s) => s.pc);
    for (let pc = 1; pc <= STATIONS; ++pc) {
      const tick = ticks[pc - 1];
      tick.label.hidden = !enabled.includes(pc);
      if (!ticksTouched)
        tick.box.checked = b.selected.includes(pc);
    }
    if (!levelTouched) {
      el.level.value = String(b.value);
      el.levelValue.value = String(b.value);
    }
  }

  function drawBanner() {
    const t = text();
    let name;
    if (problem)
      name = 'refused';
    else if (!live)
      name = state ? 'reconnecting' : 'connecting';
    else
      name = state.linkState;
    el.banner.dataset.state = name;
    el.banner.textContent = problem || t[name];
    el.notice.hidden = !(live && state && state.dialogOpen);
    el.notice.textContent = t.dialog;
  }

  function drawTexts() {
    const t = text();
    document.documentElement.lang = language === CZECH ? 'cs' : 'en';
    el.brightnessLabel.textContent = t.brightness;
    el.send.textContent = t.send;
  }

  function draw() {
    drawTexts();
    drawBanner();
    const idle = !live || !state || state.dialogOpen;
    el.panel.classList.toggle('idle', idle);
    for (const control of [el.play, el.pause, el.stop, el.send, el.level, ...ticks.map((t) => t.box)])
      control.disabled = idle;
    for (const c of cells)
      c.button.disabled = idle;
    if (!state)
      return;
    document.title = state.title || 'Plaxon';
    el.title.textContent = state.title;
    drawGrid();
    drawBrightness();
  }

  function showToast(message, kind) {
    el.toast.textContent = message;
    el.toast.className = kind ? `toast ${kind}` : 'toast';
    el.toast.hidden = false;
    clearTimeout(toastTimer);
    toastTimer = setTimeout(() => { el.toast.hidden = true; }, kind === 'error' ? TOAST_ERROR_MS : TOAST_MS);
  }

  // ---------------------------------------------------------------- commands

  // "Sent — PC1 2/2 · PC3 0/1 links": which stations the command went out to.
  function deliveryText(what, delivery) {
    const t = text();
    const stations = Object.keys(delivery).sort();
    // In flight: handed over, the station's acknowledgement not in yet (the
    // answer leaves before it can come back); it counts as sent, not reached.
    const sent = (pc) => delivery[pc].reached + (delivery[pc].inFlight || 0);
    const parts = stations.map((pc) => `PC${pc} ${sent(pc)}/${delivery[pc].links}`);
    const reachedAny = stations.some((pc) => sent(pc) > 0);
    const reachedAll = stations.every((pc) => sent(pc) === delivery[pc].links);
    const head = reachedAny ? t.sentTo : t.reachedNone;
    const message = `${what}: ${head}${parts.length ? ' — ' + parts.join(' · ') + ' ' + t.links : ''}`;
    return { message, kind: !reachedAny ? 'error' : reachedAll ? '' : 'warn' };
  }

  // A second tap on the same control within REPEAT_GUARD_MS is taken as a
  // bounce of the first, never as a second command.
  function guard(key) {
    const now = performance.now();
    const before = lastTap.get(key);
    if (before !== undefined && now - before < REPEAT_GUARD_MS)
      return false;
    lastTap.set(key, now);
    return true;
  }

  async function post(path, what, body) {
    const t = text();
    const init = { method: 'POST', headers: { Authorization: `Bearer ${token}` }, cache: 'no-store' };
    if (body !== undefined) {
      init.headers['Content-Type'] = 'application/json';
      init.body = JSON.stringify(body);
    }
    let reply;
    let answer = null;
    try {
      reply = await fetch(path, init);
      answer = await reply.json().catch(() => null);
    } catch {
      showToast(t.failed, 'error');
      return false;
    }
    if (reply.ok && answer && answer.ok) {
      const shown = deliveryText(what, answer.delivery ?? {});
      showToast(shown.message, shown.kind);
      return true;
    }
    if (reply.status === 401) {
      showToast(t.badToken, 'error');
      return false;
    }
    const reason = answer && answer.reason ? answer.reason : `HTTP ${reply.status}`;
    showToast(t.refusedBy + reason, reply.status === 409 ? 'warn' : 'error');
    return false;
  }

  function launch(index, button) {
    if (!guard(`launch/${index}`))
      return;
    button.classList.add('pressed');
    setTimeout(() => button.classList.remove('pressed'), 150);
    post(`/api/launch/${index}`, text().launch(index));
  }

  function transport(name, label) {
    if (guard(name))
      post(`/api/${name}`, label);
  }

  async function sendBrightness() {
    if (!guard('brightness'))
      return;
    const stations = ticks.filter((t) => !t.label.hidden && t.box.checked).map((t) => t.pc);
    if (stations.length === 0) {
      showToast(text().noStation, 'warn');
      return;
    }
    const value = Number(el.level.value);
    if (await post('/api/brightness', `${text().brightness} ${value}`, { value, stations }))
      levelTouched = false;
  }

  // ---------------------------------------------------------------- live state

  function scheduleReconnect() {
    clearTimeout(retryTimer);
    retryTimer = setTimeout(connect, retryMs);
    retryMs = Math.min(retryMs * 2, RETRY_MAX_MS);
  }

  function connect() {
    const scheme = location.protocol === 'https:' ? 'wss:' : 'ws:';
    const ws = new WebSocket(`${scheme}//${location.host}/api/events?token=${encodeURIComponent(token)}`);
    socket = ws;
    ws.addEventListener('message', (event) => {
      let message;
      try {
        message = JSON.parse(event.data);
      } catch {
        return;
      }
      if (message.type !== 'state' || !message.state)
        return;
      state = message.state;
      live = true;
      problem = '';
      retryMs = RETRY_FIRST_MS;
      if (state.language !== language) {
        language = state.language;
        sessionStorage.setItem(LANG_KEY, String(language));
      }
      draw();
    });
    ws.addEventListener('close', async () => {
      if (socket !== ws)
        return;
      socket = null;
      live = false;
      problem = await refusalReason();
      draw();
      // A refused token may be replaced by a new address; keep trying, slowly.
      if (problem)
        retryMs = RETRY_MAX_MS;
      scheduleReconnect();
    });
  }

  // A refused handshake shows the browser no status, so the state is asked
  // for once: 401 and 403 say why; anything else is a panel away.
  async function refusalReason() {
    try {
      const reply = await fetch('/api/state', { headers: { Authorization: `Bearer ${token}` } });
      if (reply.status === 401)
        return text().badToken;
      if (reply.status === 403)
        return text().forbidden;
    } catch {
      // Not reachable: Plaxon is restarting or gone.
    }
    return '';
  }

  function start() {
    token = takeToken();
    if (socket) {
      const old = socket;
      socket = null;
      old.close();
    }
    clearTimeout(retryTimer);
    retryMs = RETRY_FIRST_MS;
    live = false;
    problem = token ? '' : text().noToken;
    draw();
    if (token)
      connect();
  }

  // ---------------------------------------------------------------- set-up

  for (let pc = 1; pc <= STATIONS; ++pc) {
    const label = document.createElement('label');
    label.className = 'tick';
    const box = document.createElement('input');
    box.type = 'checkbox';
    box.addEventListener('change', () => { ticksTouched = true; });
    label.append(box, `PC${pc}`);
    label.hidden = true;
    ticks.push({ pc, label, box });
    el.ticks.append(label);
  }
  el.level.addEventListener('input', () => {
    levelTouched = true;
    el.levelValue.value = el.level.value;
  });
  el.send.addEventListener('click', sendBrightness);
  el.play.addEventListener('click', () => transport('play', 'PLAY'));
  el.pause.addEventListener('click', () => transport('pause', 'PAUSE'));
  el.stop.addEventListener('click', () => transport('stop', 'STOP'));
  window.addEventListener('hashchange', () => {
    if (/(?:^#|&)token=/.test(location.hash))
      start();
  });

  start();
})();
