// The web remote: shows the panel's state as the WebSocket sends it and
// posts the operator's taps to the API. Plain script, no build step.
'use strict';

(() => {
  // The device token this tablet was given when it paired: kept for good,
  // so a bookmark or a home-screen icon opens the remote without a code.
  const DEVICE_KEY = 'plaxon-device';
  const OLD_TOKEN_KEY = 'plaxon-token'; // where pages before pairing kept the API token
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
  const MIN_CELL_PX = 100; // a launch button narrower than this cannot hold a word
  const GRID_GAP_PX = 8;
  const CAPTION_SIZES_PX = [15, 13, 12]; // tried in turn before a caption is cut
  const ELLIPSIS = '\u2026';

  // Texts in the panel's two languages, picked by the state's language.
  const TEXTS = [
    {
      full: 'Připojeno',
      partial: 'Částečně připojeno',
      none: 'Nepřipojeno',
      connecting: 'Připojuji k panelu…',
      reconnecting: 'Panel je nedostupný, obnovuji spojení…',
      paused: 'Na panelu je otevřené nastavení: stanice odpojeny',
      refused: 'Přístup odmítnut',
      unpaired: 'Nespárováno',
      noToken: 'Tento tablet zatím není spárovaný s panelem. Zadejte kód z okna Dálkové ovládání na panelu.',
      badToken: 'Panel tento tablet už nezná. Zadejte nový kód z okna Dálkové ovládání na panelu.',
      badCode: 'Kód neplatí (je chybný, použitý nebo mu vypršela platnost). Vytvořte na panelu nový.',
      codeLabel: 'Kód pro spárování',
      pair: 'Spárovat',
      pairing: 'Páruji…',
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
      reconnecting: 'The panel is not reachable: reconnecting…',
      paused: 'Settings open on the panel: stations disconnected',
      refused: 'Access refused',
      unpaired: 'Not paired',
      noToken: 'This tablet is not paired with the panel yet. Enter the code from the panel\'s Remote control window.',
      badToken: 'The panel no longer knows this tablet. Enter a new code from the panel\'s Remote control window.',
      badCode: 'The code does not work (wrong, used or expired). Make a new one on the panel.',
      codeLabel: 'Pairing code',
      pair: 'Pair',
      pairing: 'Pairing…',
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
    pairing: $('pairing'),
    pairingMessage: $('pairing-message'),
    codeLabel: $('code-label'),
    code: $('code'),
    pair: $('pair'),
  };

  let language = Number(sessionStorage.getItem(LANG_KEY) ?? (navigator.language.startsWith('cs') ? CZECH : ENGLISH));
  let token = '';
  let state = null;
  let live = false; // the WebSocket is open and has sent a state
  let socket = null;
  let retryMs = RETRY_FIRST_MS;
  let retryTimer = 0;
  let toastTimer = 0;
  let problem = ''; // a lasting failure (connection refused, ...) shown in the banner
  let pairingText = ''; // why the page asks for a code; empty while it has a token
  let pairingBusy = false;
  let columns = 0; // as laid out now: the panel's, fewer where the page is narrow
  const lastTap = new Map(); // control → time of its last accepted tap
  const cells = []; // grid cells, kept between states so a tap in progress is not lost
  let levelTouched = false; // the slider's value belongs to the operator until sent
  let ticksTouched = false; // the ticks belong to the operator once changed here
  const ticks = [];

  const text = () => TEXTS[language === CZECH ? CZECH : ENGLISH];

  // The printed address carries a one-time pairing code in its fragment
  // (never sent to the server with the page). It is taken out of the address
  // bar at once; a history entry that keeps it opens nothing once it is used.
  // An API token in the fragment, from an older address, is dropped unused.
  function takeCode() {
    const match = /(?:^#|&)pair=([0-9A-Za-z-]+)/.exec(location.hash);
    if (location.hash)
      history.replaceState(null, '', location.pathname + location.search);
    return match ? match[1] : '';
  }

  async function pair(code) {
    const t = text();
    pairingBusy = true;
    pairingText = t.pairing;
    draw();
    let reply = null;
    let answer = null;
    try {
      reply = await fetch('/api/pair', {
        method: 'POST',
        headers: { 'Content-Type': 'application/json' },
        body: JSON.stringify({ code }),
        cache: 'no-store',
      });
      answer = await reply.json().catch(() => null);
    } catch {
      // answered below as a panel away
    }
    pairingBusy = false;
    if (reply && reply.ok && answer && typeof answer.token === 'string') {
      localStorage.setItem(DEVICE_KEY, answer.token);
      el.code.value = '';
      start();
      return;
    }
    // A code that was not judged (the panel away) stays in the field for another try.
    if (!reply || reply.status !== 401)
      el.code.value = code;
    pairingText = !reply ? t.failed : reply.status === 401 ? t.badCode
                                      : t.refusedBy + (answer && answer.reason ? answer.reason : `HTTP ${reply.status}`);
    draw();
  }

  // The panel refused the stored token (its tablets were forgotten): ask for a new code.
  function forgetToken() {
    localStorage.removeItem(DEVICE_KEY);
    token = '';
    pairingText = text().badToken;
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
    caption.dir = 'auto';
    const markers = document.createElement('span');
    markers.className = 'markers';
    button.append(caption, markers);
    button.addEventListener('click', () => launch(index, button));
    cell.append(button);
    return { cell, button, caption, markers, key: '', full: '', fitted: '' };
  }

  // b is undefined for the places that fill the last row past button 40.
  function drawButton(c, b, lastButton) {
    c.button.hidden = !(b && b.shown);
    if (c.button.hidden)
      return;
    const face = b.color ?? (b.inline ? INLINE_FACE : null);
    const key = JSON.stringify([b.caption, face, b.markers, b.reachable]);
    c.button.classList.toggle('last', b.index === lastButton);
    if (key === c.key)
      return;
    c.key = key;
    c.full = b.caption.replace(/\r\n|\r/g, '\n');
    c.fitted = '';
    c.button.title = c.full;
    c.button.setAttribute('aria-label', `${c.full.replace(/\s+/g, ' ')} (${b.index})`);
    c.button.style.background = face ?? '';
    c.button.classList.toggle('dark', face !== null && luminance(face) < DARK_FACE_LUMINANCE);
    const marks = b.markers.map((pc) => {
      const mark = document.createElement('span');
      mark.className = `marker pc${pc}`;
      mark.textContent = String(pc);
      if (!b.reachable.includes(pc)) {
        // Crossed out as well as paler: no station's state hangs on colour alone.
        mark.classList.add('unreachable');
        mark.title = `PC${pc}: ${text().none}`;
      }
      return mark;
    });
    c.markers.replaceChildren(...marks);
  }

  function fits(box) {
    return box.scrollWidth <= box.clientWidth + 1 && box.scrollHeight <= box.clientHeight + 1;
  }

  // The longest start of text (ending in whole pieces) that fits, with an ellipsis.
  function cutToFit(box, pieces) {
    let low = 1;
    let high = pieces.length;
    let best = '';
    while (low <= high) {
      const mid = (low + high) >> 1;
      box.textContent = pieces.slice(0, mid).join('').trimEnd() + ELLIPSIS;
      if (fits(box)) {
        best = box.textContent;
        low = mid + 1;
      } else {
        high = mid - 1;
      }
    }
    return best;
  }

  // A caption wraps only between words; one that does not fit a smaller size
  // either is cut after its last whole word that fits, with an ellipsis. A
  // single word wider than the face is cut, never carried to the next line.
  function fitCaption(c) {
    const box = c.caption;
    const size = `${c.button.clientWidth}x${c.button.clientHeight}`;
    if (c.fitted === size || c.button.hidden)
      return;
    c.fitted = size;
    box.textContent = c.full;
    for (const px of CAPTION_SIZES_PX) {
      box.style.fontSize = `${px}px`;
      if (fits(box))
        return;
    }
    const words = c.full.split(/(\s+)/).filter((piece) => piece !== '');
    let shown = cutToFit(box, words);
    if (!shown)
      shown = cutToFit(box, [...c.full.split(/\s/)[0]]);
    box.textContent = shown || ELLIPSIS;
  }

  // As many columns as the panel has, or as fit the page with buttons a word wide.
  function columnsFor(width) {
    const fit = Math.max(1, Math.floor((width + GRID_GAP_PX) / (MIN_CELL_PX + GRID_GAP_PX)));
    return Math.max(1, Math.min(state.layout.columns, fit));
  }

  function drawGrid() {
    const { inView } = state.layout;
    columns = columnsFor(el.grid.clientWidth);
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
    for (let i = 0; i < count; ++i)
      fitCaption(cells[i]);
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
    if (!token)
      name = 'unpaired';
    else if (problem)
      name = 'refused';
    else if (!live)
      name = state ? 'reconnecting' : 'connecting';
    else if (state.paused === 'settings')
      name = 'paused';
    else
      name = state.linkState;
    el.banner.dataset.state = name;
    el.banner.textContent = problem || t[name];
    // The settings dialog says more than "a dialog is open" in the banner already.
    el.notice.hidden = !(live && state && state.dialogOpen && state.paused !== 'settings');
    el.notice.textContent = t.dialog;
  }

  function drawPairing() {
    const t = text();
    el.pairing.hidden = Boolean(token) && !pairingBusy;
    el.panel.hidden = !el.pairing.hidden;
    el.pairingMessage.textContent = pairingText;
    el.codeLabel.textContent = t.codeLabel;
    el.pair.textContent = t.pair;
    el.pair.disabled = pairingBusy;
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
    drawPairing();
    const idle = !live || !state || state.dialogOpen;
    el.panel.classList.toggle('idle', idle);
    for (const control of [el.play, el.pause, el.stop, el.send, el.level, ...ticks.map((t) => t.box)])
      control.disabled = idle;
    for (const c of cells)
      c.button.disabled = idle;
    if (!state)
      return;
    // A panel away has no state to tell: its last title would claim links it may not have.
    document.title = (live && state.title) || 'Plaxon';
    el.title.textContent = live ? state.title : '';
    drawGrid();
    drawBrightness();
  }

  // In the bar, beside the banner and in place of the title: it never covers
  // the banner or a control, and nothing moves when it comes and goes.
  function showToast(message, kind) {
    el.toast.textContent = message;
    el.toast.className = kind ? `toast ${kind}` : 'toast';
    el.toast.hidden = false;
    el.title.hidden = true;
    clearTimeout(toastTimer);
    toastTimer = setTimeout(() => {
      el.toast.hidden = true;
      el.title.hidden = false;
    }, kind === 'error' ? TOAST_ERROR_MS : TOAST_MS);
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
      forgetToken();
      start();
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
    // The toast names the button as the operator knows it: by its caption.
    const b = state && state.buttons[index - 1];
    const caption = b && b.caption ? b.caption.replace(/\s+/g, ' ').trim() : '';
    post(`/api/launch/${index}`, caption || text().launch(index));
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
      if (problem === text().badToken) {
        forgetToken();
        problem = '';
        start();
        return;
      }
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
    token = localStorage.getItem(DEVICE_KEY) ?? '';
    if (socket) {
      const old = socket;
      socket = null;
      old.close();
    }
    clearTimeout(retryTimer);
    retryMs = RETRY_FIRST_MS;
    live = false;
    problem = '';
    if (token)
      pairingText = '';
    else if (!pairingText)
      pairingText = text().noToken;
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
  el.pairing.addEventListener('submit', (event) => {
    event.preventDefault();
    const code = el.code.value.trim();
    if (code && !pairingBusy)
      pair(code);
  });
  window.addEventListener('hashchange', () => {
    const code = takeCode();
    if (code)
      pair(code);
  });
  // The columns follow the page's width; captions are fitted again to the new faces.
  new ResizeObserver(() => {
    if (state)
      drawGrid();
  }).observe(el.grid);

  sessionStorage.removeItem(OLD_TOKEN_KEY);
  const code = takeCode();
  start();
  if (code)
    pair(code);
})();
