// The class on a phone or the projector: reads the class's topics from the
// broker that serves this page and shows one card per station and the chart
// of the picked one. It only reads: nothing here publishes.
//
// Everything that comes from the network (station names, scenario steps,
// safety texts, meta names) is untrusted and reaches the page through
// textContent only.
'use strict';

(function () {
  const TEXTS = {
    ru: {
      title: 'Класс {cls}',
      noClass: 'Не указан класс. Добавьте его к адресу страницы: ?class=8B',
      badClass: 'Имя класса не может содержать знаки / + # и пробелы по краям.',
      connecting: 'подключение…',
      noLink: 'нет связи',
      linked: 'на связи',
      noStations: 'Станций пока нет: они появятся, когда начнут работать.',
      online: 'на связи',
      offline: 'не на связи',
      seen: 'на связи {ago} назад',
      sec: '{n} с',
      min: '{n} мин',
      hour: '{n} ч',
      states: {
        measuring: 'измерение',
        paused: 'пауза',
        watching: 'наблюдение',
        connected: 'станция подключена',
        'no station': 'нет станции',
        reconnecting: 'переподключение к станции',
      },
      step: 'Шаг',
      experiment: 'Опыт',
      quantities: ['Температура', 'pH', 'Электропроводность', 'Редокс-потенциал'],
      units: ['°C', '', 'мСм/см', 'В'],
      heater: 'Нагреватель',
      stirrer: 'Мешалка',
      pump: 'Дозатор {n}',
      off: 'выкл',
      safety: 'Защита',
      quantity: 'Величина',
      time: 't, с',
      pick: 'Нажмите на карточку станции, чтобы увидеть её график.',
      noPoints: 'Показаний с открытия страницы ещё нет.',
      language: 'Язык',
    },
    kk: {
      title: '{cls} сыныбы',
      noClass: 'Сынып көрсетілмеген. Оны бет мекенжайына қосыңыз: ?class=8B',
      badClass: 'Сынып атауында / + # белгілері және шетінде бос орын болмауы керек.',
      connecting: 'қосылуда…',
      noLink: 'байланыс жоқ',
      linked: 'байланыс бар',
      noStations: 'Әзірге станциялар жоқ: олар жұмысты бастағанда пайда болады.',
      online: 'байланыста',
      offline: 'байланыста емес',
      seen: '{ago} бұрын байланыста болды',
      sec: '{n} с',
      min: '{n} мин',
      hour: '{n} сағ',
      states: {
        measuring: 'өлшеу',
        paused: 'үзіліс',
        watching: 'бақылау',
        connected: 'станция қосылған',
        'no station': 'станция жоқ',
        reconnecting: 'станцияға қайта қосылу',
      },
      step: 'Қадам',
      experiment: 'Тәжірибе',
      quantities: ['Температура', 'pH', 'Электр өткізгіштік', 'Редокс-потенциал'],
      units: ['°C', '', 'мСм/см', 'В'],
      heater: 'Қыздырғыш',
      stirrer: 'Араластырғыш',
      pump: 'Мөлшерлегіш {n}',
      off: 'өшірулі',
      safety: 'Қорғаныс',
      quantity: 'Шама',
      time: 't, с',
      pick: 'Графигін көру үшін станция картасын басыңыз.',
      noPoints: 'Бет ашылғаннан бері көрсеткіштер әлі жоқ.',
      language: 'Тіл',
    },
    en: {
      title: 'Class {cls}',
      noClass: 'No class given. Add it to the page address: ?class=8B',
      badClass: 'A class name cannot hold / + # nor begin or end with a space.',
      connecting: 'connecting…',
      noLink: 'no connection',
      linked: 'connected',
      noStations: 'No stations yet: they appear once they start.',
      online: 'online',
      offline: 'offline',
      seen: 'seen {ago} ago',
      sec: '{n} s',
      min: '{n} min',
      hour: '{n} h',
      states: {
        measuring: 'measuring',
        paused: 'paused',
        watching: 'watching',
        connected: 'station connected',
        'no station': 'no station',
        reconnecting: 'reconnecting to the station',
      },
      step: 'Step',
      experiment: 'Experiment',
      quantities: ['Temperature', 'pH', 'Conductivity', 'Redox potential'],
      units: ['°C', '', 'mS/cm', 'V'],
      heater: 'Heater',
      stirrer: 'Stirrer',
      pump: 'Pump {n}',
      off: 'off',
      safety: 'Safety',
      quantity: 'Quantity',
      time: 't, s',
      pick: "Tap a station's card to see its chart.",
      noPoints: 'No readings since the page opened.',
      language: 'Language',
    },
  };
  const LANGUAGES = [
    ['ru', 'Рус'],
    ['kk', 'Қаз'],
    ['en', 'Eng'],
  ];
  const LOCALES = { ru: 'ru-RU', kk: 'kk-KZ', en: 'en-GB' };
  // Numbers in Kazakh are written as in Russian, with a decimal comma; some
  // browsers claim Kazakh but write its numbers with a point.
  const NUMBER_LOCALES = { ru: 'ru-RU', kk: 'ru-RU', en: 'en-GB' };
  const CODES = ['LT', 'LP', 'LC', 'LE'];
  const DECIMALS = [1, 2, 2, 3];
  // A phone keeps a few hours of one station at one record a second.
  const MAX_POINTS = 20000;
  const KEEP_RUNS = 3;

  const params = new URLSearchParams(location.search);
  const lang = Object.prototype.hasOwnProperty.call(TEXTS, params.get('lang')) ? params.get('lang') : 'ru';
  const T = TEXTS[lang];
  const numberFormats = DECIMALS.map(
    (d) => new Intl.NumberFormat(NUMBER_LOCALES[lang], { minimumFractionDigits: d, maximumFractionDigits: d, useGrouping: false }),
  );
  const plainFormat = new Intl.NumberFormat(NUMBER_LOCALES[lang], { maximumFractionDigits: 6, useGrouping: false });

  const $ = (id) => document.getElementById(id);
  const fill = (text, values) => text.replace(/\{(\w+)\}/g, (m, key) => (key in values ? String(values[key]) : m));

  function el(tag, className, text) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    if (text !== undefined) node.textContent = text;
    return node;
  }

  const isNumber = (x) => typeof x === 'number' && Number.isFinite(x);
  const isObject = (x) => x !== null && typeof x === 'object' && !Array.isArray(x);
  const text = (x) => (typeof x === 'string' ? x : '');

  // ---------------------------------------------------------------- state

  // name -> { name, status, last, lastAt, seenAt, heardAt }
  const stations = new Map();
  // name -> Map(run -> { meta, seq: [], t: [], v: [], updatedAt })
  const records = new Map();
  let picked = null;
  let quantity = 0;
  let connected = false;
  let linkReason = '';

  function station(name) {
    let st = stations.get(name);
    if (!st) {
      st = { name, status: null, last: null, lastAt: 0, seenAt: 0, heardAt: 0 };
      stations.set(name, st);
    }
    return st;
  }

  function runData(name, run) {
    let runs = records.get(name);
    if (!runs) {
      runs = new Map();
      records.set(name, runs);
    }
    let data = runs.get(run);
    if (!data) {
      data = { meta: null, seq: [], t: [], v: [], updatedAt: 0 };
      runs.set(run, data);
    }
    return data;
  }

  // The records of a station's older runs go when a new run starts to bring
  // its own; a run's meta alone is small and stays.
  function keepRecentRuns(name, run) {
    const older = [...records.get(name).entries()]
      .filter(([r, data]) => r !== run && data.seq.length > 0)
      .sort((a, b) => a[1].updatedAt - b[1].updatedAt);
    for (const [, data] of older.slice(0, Math.max(0, older.length - (KEEP_RUNS - 1)))) {
      data.seq = [];
      data.t = [];
      data.v = [];
    }
  }

  function forget(name) {
    stations.delete(name);
    records.delete(name);
    if (picked === name) picked = null;
  }

  // ---------------------------------------------------------- the contract

  function parse(payload) {
    if (payload.length === 0) return null;
    try {
      return JSON.parse(new TextDecoder('utf-8').decode(payload));
    } catch (e) {
      return undefined;
    }
  }

  function onStatus(name, body, live) {
    if (body === null) {
      forget(name);
      return;
    }
    if (!isObject(body) || typeof body.online !== 'boolean') return;
    const st = station(name);
    st.status = body;
    st.heardAt = Date.now();
    if (live && body.online) st.seenAt = Date.now();
  }

  function onLast(name, body, live) {
    if (body === null) {
      const st = stations.get(name);
      if (st) {
        st.last = null;
        if (!st.status) forget(name);
      }
      return;
    }
    if (!isObject(body) || !Array.isArray(body.v)) return;
    const st = station(name);
    const now = Date.now();
    st.last = body;
    st.heardAt = now;
    // A retained value is as old as the page for all it tells.
    st.lastAt = now;
    if (live) st.seenAt = now;
  }

  // Records go in by number: a record that comes twice (after a lost
  // connection) is dropped, one that comes late (a replay) takes its place.
  function onRec(name, run, body) {
    if (!isObject(body) || !Number.isInteger(body.seq0) || body.seq0 < 0) return;
    if (!Array.isArray(body.t) || !Array.isArray(body.v) || body.t.length !== body.v.length) return;
    const data = runData(name, run);
    if (data.seq.length === 0) keepRecentRuns(name, run);
    for (let i = 0; i < body.t.length; ++i) {
      if (!isNumber(body.t[i]) || !Array.isArray(body.v[i])) continue;
      insertRecord(data, body.seq0 + i, body.t[i], body.v[i]);
    }
    if (data.seq.length > MAX_POINTS) {
      const drop = data.seq.length - MAX_POINTS;
      data.seq.splice(0, drop);
      data.t.splice(0, drop);
      data.v.splice(0, drop);
    }
    data.updatedAt = Date.now();
    const st = stations.get(name);
    if (st) {
      st.seenAt = data.updatedAt;
      if (st.status && st.status.run === run) st.lastAt = data.updatedAt;
    }
  }

  function insertRecord(data, seq, t, v) {
    const seqs = data.seq;
    let at = seqs.length;
    if (at > 0 && seqs[at - 1] >= seq) {
      let lo = 0;
      let hi = seqs.length;
      while (lo < hi) {
        const mid = (lo + hi) >> 1;
        if (seqs[mid] < seq) lo = mid + 1;
        else hi = mid;
      }
      if (seqs[lo] === seq) return;
      at = lo;
    }
    seqs.splice(at, 0, seq);
    data.t.splice(at, 0, t);
    data.v.splice(at, 0, v.slice(0, CODES.length).map((x) => (isNumber(x) ? x : NaN)));
  }

  function onMeta(name, run, body) {
    if (body === null) {
      const runs = records.get(name);
      if (runs && runs.has(run)) runs.get(run).meta = null;
      return;
    }
    if (!isObject(body)) return;
    runData(name, run).meta = body;
  }

  // ---------------------------------------------------------------- cards

  // Three periods without a newer record while the station says it measures;
  // batches leave once a second, so a shorter period still waits 3 s.
  function isStale(st, now) {
    if (!st.status || !st.status.online) return true;
    if (st.status.state !== 'measuring') return false;
    const period = isNumber(st.status.period) && st.status.period > 0 ? st.status.period : 1;
    return now - st.lastAt > 3 * Math.max(period, 1) * 1000;
  }

  function ago(ms) {
    const s = Math.max(0, Math.round(ms / 1000));
    if (s < 120) return fill(T.sec, { n: s });
    if (s < 7200) return fill(T.min, { n: Math.round(s / 60) });
    return fill(T.hour, { n: Math.round(s / 3600) });
  }

  function presence(st, now, stale) {
    const online = st.status && st.status.online;
    if (online && !stale) return T.online;
    const at = online ? st.lastAt : st.seenAt;
    return at ? fill(T.seen, { ago: ago(now - at) }) : T.offline;
  }

  function formatValue(index, x) {
    if (!isNumber(x)) return '—';
    const unit = T.units[index];
    return numberFormats[index].format(x) + (unit ? '\u00a0' + unit : '');
  }

  function outputItems(outputs) {
    const items = [];
    const one = (label, value) => {
      const on = isNumber(value) && value !== 0;
      const item = el('li', on ? 'on' : 'off', label + ' ' + (on ? plainFormat.format(value) : T.off));
      items.push(item);
    };
    if (!isObject(outputs)) return items;
    one(T.heater, outputs.heater);
    one(T.stirrer, outputs.stirrer);
    if (Array.isArray(outputs.pumps)) {
      outputs.pumps.slice(0, 3).forEach((value, i) => one(fill(T.pump, { n: i + 1 }), value));
    }
    return items;
  }

  function cardContent(st, now, stale) {
    const status = st.status || {};
    const parts = [];
    const head = el('header');
    head.append(el('h2', 'name', st.name), el('span', 'presence', presence(st, now, stale)));
    parts.push(head);

    const state = text(status.state);
    const lines = [];
    if (state) lines.push(T.states[state] || state);
    if (text(status.scenario)) lines.push(T.step + ': ' + status.scenario);
    if (lines.length) parts.push(el('p', 'state', lines.join(' · ')));
    if (text(status.experiment)) parts.push(el('p', 'experiment', T.experiment + ': ' + status.experiment));

    const values = el('dl', 'values');
    const v = st.last && Array.isArray(st.last.v) ? st.last.v : [];
    CODES.forEach((code, i) => {
      const cell = el('div');
      const dd = el('dd', '', formatValue(i, v[i]));
      dd.dataset.q = code;
      cell.append(el('dt', '', T.quantities[i]), dd);
      values.append(cell);
    });
    parts.push(values);

    const outputs = outputItems(status.outputs);
    if (outputs.length) {
      const list = el('ul', 'outputs');
      list.append(...outputs);
      parts.push(list);
    }
    if (text(status.safety)) parts.push(el('p', 'safety', T.safety + ': ' + status.safety));
    return parts;
  }

  // The card elements stay while their station does (only what changed is
  // replaced inside), so a tap that spans an update still lands on its card.
  const cardElements = new Map();
  const shownSignatures = new WeakMap();

  // What a card shows: each element's kind, class and own text, in order.
  function signature(node) {
    const parts = [];
    const walker = document.createTreeWalker(node, NodeFilter.SHOW_ELEMENT | NodeFilter.SHOW_TEXT);
    for (let n = walker.nextNode(); n; n = walker.nextNode()) {
      parts.push(n.nodeType === Node.TEXT_NODE ? '"' + n.data : n.tagName + '.' + n.className);
    }
    return parts.join('\u0000');
  }

  function updateCard(st, now) {
    let card = cardElements.get(st.name);
    if (!card) {
      card = el('article');
      card.dataset.station = st.name;
      card.tabIndex = 0;
      card.setAttribute('role', 'button');
      cardElements.set(st.name, card);
    }
    const stale = isStale(st, now);
    card.className = 'card' + (stale ? ' stale' : '') + (picked === st.name ? ' picked' : '');
    card.setAttribute('aria-pressed', picked === st.name ? 'true' : 'false');
    const box = el('div');
    box.append(...cardContent(st, now, stale));
    const shown = signature(box);
    if (shownSignatures.get(card) !== shown) {
      shownSignatures.set(card, shown);
      card.replaceChildren(...box.childNodes);
    }
    return card;
  }

  const collator = new Intl.Collator(LOCALES[lang], { numeric: true });

  function renderCards() {
    const now = Date.now();
    const list = [...stations.values()].sort((a, b) => collator.compare(a.name, b.name));
    for (const [name, card] of cardElements) {
      if (!stations.has(name)) {
        card.remove();
        cardElements.delete(name);
      }
    }
    const container = $('cards');
    list.forEach((st, i) => {
      const card = updateCard(st, now);
      if (container.children[i] !== card) container.insertBefore(card, container.children[i] || null);
    });
    $('empty').hidden = list.length > 0 || !connected;
    $('pick-hint').hidden = list.length === 0 || picked !== null;
  }

  function pick(name) {
    picked = name;
    renderCards();
    renderChart();
  }

  // ---------------------------------------------------------------- chart

  function chartRun(name) {
    const runs = records.get(name);
    const st = stations.get(name);
    const wanted = (st && st.status && text(st.status.run)) || (st && st.last && text(st.last.run)) || '';
    if (!runs) return { run: wanted, data: null };
    const own = runs.get(wanted);
    if (own && own.seq.length) return { run: wanted, data: own };
    let best = null;
    for (const [run, data] of runs) {
      if (data.seq.length && (!best || data.updatedAt > best[1].updatedAt)) best = [run, data];
    }
    return best ? { run: best[0], data: best[1] } : { run: wanted, data: own || null };
  }

  // Round steps (1, 2, 5 times a power of ten) from lo to hi.
  function ticks(lo, hi, count) {
    const raw = (hi - lo) / Math.max(1, count);
    const power = Math.pow(10, Math.floor(Math.log10(raw)));
    const step = [1, 2, 5, 10].map((m) => m * power).find((s) => s >= raw) || 10 * power;
    const out = [];
    for (let x = Math.ceil(lo / step) * step; x <= hi + step * 1e-9; x += step) out.push(Math.abs(x) < step * 1e-9 ? 0 : x);
    return { step, values: out };
  }

  function tickText(x, step) {
    const decimals = Math.max(0, Math.min(6, -Math.floor(Math.log10(step) + 1e-9)));
    return new Intl.NumberFormat(NUMBER_LOCALES[lang], { minimumFractionDigits: decimals, maximumFractionDigits: decimals, useGrouping: false }).format(x);
  }

  function quantityLabel(meta) {
    const code = CODES[quantity];
    const q = meta && Array.isArray(meta.quantities) ? meta.quantities.find((x) => isObject(x) && x.code === code) : null;
    const name = q && text(q.name) ? q.name : T.quantities[quantity];
    const unit = q && typeof q.unit === 'string' ? q.unit : T.units[quantity];
    return unit ? name + ', ' + unit : name;
  }

  // Calls draw once at the next frame, however often it is asked for.
  function perFrame(draw) {
    let pending = false;
    return () => {
      if (pending) return;
      pending = true;
      requestAnimationFrame(() => {
        pending = false;
        draw();
      });
    };
  }

  const chartFrame = perFrame(() => drawChart());
  function renderChart() {
    chartFrame();
  }

  function drawChart() {
    const section = $('chart');
    if (!picked || !stations.has(picked)) {
      section.hidden = true;
      return;
    }
    section.hidden = false;
    const { run, data } = chartRun(picked);
    $('chart-title').textContent = run ? picked + ' · ' + run : picked;
    $('chart-quantity').textContent = quantityLabel(data && data.meta);

    const canvas = $('plot');
    const ratio = window.devicePixelRatio || 1;
    const width = canvas.clientWidth;
    const height = canvas.clientHeight;
    canvas.width = Math.round(width * ratio);
    canvas.height = Math.round(height * ratio);
    const ctx = canvas.getContext('2d');
    ctx.setTransform(ratio, 0, 0, ratio, 0, 0);
    ctx.clearRect(0, 0, width, height);

    const xs = [];
    const ys = [];
    if (data) {
      for (let i = 0; i < data.seq.length; ++i) {
        const y = data.v[i][quantity];
        if (isNumber(y)) {
          xs.push(data.t[i]);
          ys.push(y);
        }
      }
    }
    canvas.dataset.points = String(xs.length);
    canvas.dataset.run = run || '';
    const style = getComputedStyle(canvas);
    const ink = style.color;
    const line = style.getPropertyValue('--line').trim() || '#1565c0';
    const grid = style.getPropertyValue('--grid').trim() || '#ddd';
    ctx.font = style.fontSize + ' ' + style.fontFamily;
    ctx.fillStyle = ink;
    if (xs.length === 0) {
      ctx.textAlign = 'center';
      ctx.textBaseline = 'middle';
      ctx.fillText(T.noPoints, width / 2, height / 2, width - 16);
      return;
    }

    let xlo = Infinity, xhi = -Infinity;
    for (const x of xs) {
      if (x < xlo) xlo = x;
      if (x > xhi) xhi = x;
    }
    let ylo = Infinity, yhi = -Infinity;
    for (const y of ys) {
      if (y < ylo) ylo = y;
      if (y > yhi) yhi = y;
    }
    if (xhi - xlo < 1e-9) {
      xlo -= 1;
      xhi += 1;
    }
    const ypad = yhi - ylo < 1e-9 ? Math.max(Math.abs(yhi) * 0.05, 0.5) : (yhi - ylo) * 0.08;
    ylo -= ypad;
    yhi += ypad;

    const yt = ticks(ylo, yhi, Math.max(2, Math.floor(height / 50)));
    const yLabels = yt.values.map((y) => tickText(y, yt.step));
    const left = 8 + Math.max(...yLabels.map((s) => ctx.measureText(s).width));
    const right = 12;
    const top = 10;
    const em = parseFloat(style.fontSize) || 12;
    const bottom = Math.round(em * 2.8) + 4;
    const plotW = Math.max(10, width - left - right);
    const plotH = Math.max(10, height - top - bottom);
    const px = (x) => left + ((x - xlo) / (xhi - xlo)) * plotW;
    const py = (y) => top + (1 - (y - ylo) / (yhi - ylo)) * plotH;

    ctx.strokeStyle = grid;
    ctx.lineWidth = 1;
    ctx.textAlign = 'right';
    ctx.textBaseline = 'middle';
    yt.values.forEach((y, i) => {
      ctx.beginPath();
      ctx.moveTo(left, Math.round(py(y)) + 0.5);
      ctx.lineTo(left + plotW, Math.round(py(y)) + 0.5);
      ctx.stroke();
      ctx.fillText(yLabels[i], left - 4, py(y));
    });
    // Room for a label of five characters between two ticks.
    const xt = ticks(xlo, xhi, Math.max(2, Math.floor(plotW / (ctx.measureText('00000').width + 12))));
    ctx.textAlign = 'center';
    ctx.textBaseline = 'top';
    for (const x of xt.values) {
      ctx.beginPath();
      ctx.moveTo(Math.round(px(x)) + 0.5, top);
      ctx.lineTo(Math.round(px(x)) + 0.5, top + plotH);
      ctx.stroke();
      const label = tickText(x, xt.step);
      const half = ctx.measureText(label).width / 2;
      ctx.fillText(label, Math.min(px(x), width - half - 1), top + plotH + 4);
    }
    ctx.textAlign = 'right';
    ctx.fillText(T.time, left + plotW, top + plotH + 6 + em * 1.4);

    ctx.strokeStyle = line;
    ctx.fillStyle = line;
    ctx.lineWidth = 2;
    ctx.lineJoin = 'round';
    ctx.beginPath();
    xs.forEach((x, i) => (i ? ctx.lineTo(px(x), py(ys[i])) : ctx.moveTo(px(x), py(ys[i]))));
    ctx.stroke();
    if (xs.length === 1) {
      ctx.beginPath();
      ctx.arc(px(xs[0]), py(ys[0]), 3, 0, 2 * Math.PI);
      ctx.fill();
    }
  }

  // ------------------------------------------------------------ the link

  function showLink() {
    const badge = $('link');
    badge.className = 'link ' + (connected ? 'ok' : 'down');
    badge.textContent = connected ? T.linked : linkReason ? T.noLink + ': ' + linkReason : T.noLink;
  }

  function start(cls) {
    const root = 'vantrel/1/' + cls + '/';
    const options = {
      protocolVersion: 5,
      clean: true,
      clientId: 'vantrel-view-' + Math.random().toString(16).slice(2, 10),
      keepalive: 30,
      reconnectPeriod: 2000,
      connectTimeout: 10000,
      // Worker timers keep the keep-alive going in a background tab, which
      // throttles the page's own timers to a minute and loses the broker.
      timerVariant: 'worker',
    };
    if (params.get('u')) {
      options.username = params.get('u');
      options.password = params.get('p') || '';
    }
    const scheme = location.protocol === 'https:' ? 'wss://' : 'ws://';
    const client = mqtt.connect(scheme + location.host + '/mqtt', options);

    client.on('connect', () => {
      connected = true;
      linkReason = '';
      const connectedAt = Date.now();
      client.subscribe(
        {
          [root + 'st/+/status']: { qos: 1 },
          [root + 'st/+/last']: { qos: 0 },
          [root + 'st/+/run/+/meta']: { qos: 1 },
          [root + 'st/+/run/+/rec']: { qos: 1 },
        },
        (err) => {
          if (err) {
            linkReason = err.message;
            showLink();
            return;
          }
          // The retained topics follow the grant: a station whose topics
          // were cleared while the link was down has not come again by then.
          setTimeout(() => {
            if (!client.connected) return;
            for (const st of [...stations.values()]) if (st.heardAt < connectedAt) forget(st.name);
            renderCards();
            renderChart();
          }, 3000);
        },
      );
      showLink();
      renderCards();
    });
    const down = () => {
      connected = false;
      showLink();
      renderCards();
    };
    client.on('close', down);
    client.on('offline', down);
    client.on('error', (err) => {
      linkReason = err && err.message ? err.message : '';
      connected = false;
      showLink();
    });
    client.on('message', (topic, payload, packet) => {
      if (!topic.startsWith(root)) return;
      const parts = topic.slice(root.length).split('/');
      if (parts[0] !== 'st' || !parts[1]) return;
      const body = parse(payload);
      if (body === undefined) return;
      const name = parts[1];
      const live = !packet.retain;
      if (parts.length === 3 && parts[2] === 'status') onStatus(name, body, live);
      else if (parts.length === 3 && parts[2] === 'last') onLast(name, body, live);
      else if (parts.length === 5 && parts[2] === 'run' && parts[4] === 'rec') onRec(name, parts[3], body);
      else if (parts.length === 5 && parts[2] === 'run' && parts[4] === 'meta') onMeta(name, parts[3], body);
      else return;
      scheduleCards();
      if (name === picked) renderChart();
    });
    // A phone may freeze a hidden page outright: back in front, it asks for
    // the broker at once instead of waiting for the next try.
    document.addEventListener('visibilitychange', () => {
      if (document.visibilityState === 'visible' && !client.connected && !client.reconnecting) client.reconnect();
    });
  }

  const scheduleCards = perFrame(() => renderCards());

  // ------------------------------------------------------------- the page

  function languageLinks() {
    const nav = $('langs');
    nav.setAttribute('aria-label', T.language);
    for (const [code, label] of LANGUAGES) {
      const url = new URL(location.href);
      url.searchParams.set('lang', code);
      const a = el('a', code === lang ? 'current' : '', label);
      a.href = url.toString();
      a.hreflang = code;
      nav.append(a);
    }
  }

  // The broker serves its files without a Content-Type; a browser that
  // refuses a stylesheet without one gets the same file through here.
  function ensureStyle() {
    const link = document.querySelector('link[rel="stylesheet"]');
    // The stylesheet takes the body's margin away.
    if (!link || getComputedStyle(document.body).marginTop === '0px') return;
    fetch(link.getAttribute('href'))
      .then((response) => (response.ok ? response.text() : Promise.reject(new Error(response.statusText))))
      .then((css) => document.head.append(el('style', '', css)))
      .catch(() => {});
  }

  function setUp() {
    ensureStyle();
    document.documentElement.lang = lang;
    languageLinks();
    const cls = params.get('class') || '';
    const notice = $('notice');
    if (!cls || /[/+#\u0000-\u001f]/.test(cls) || cls.trim() !== cls) {
      notice.textContent = cls ? T.badClass : T.noClass;
      notice.hidden = false;
      $('link').hidden = true;
      return;
    }
    document.title = fill(T.title, { cls });
    $('title').textContent = fill(T.title, { cls });
    $('empty').textContent = T.noStations;
    $('pick-hint').textContent = T.pick;
    $('quantity-label').textContent = T.quantity;
    const select = $('quantity');
    CODES.forEach((code, i) => {
      const option = el('option', '', T.quantities[i]);
      option.value = String(i);
      select.append(option);
    });
    select.addEventListener('change', () => {
      quantity = Number(select.value) || 0;
      renderChart();
    });
    const cards = $('cards');
    const choose = (event) => {
      const card = event.target.closest('.card');
      if (card) pick(card.dataset.station);
    };
    cards.addEventListener('click', choose);
    cards.addEventListener('keydown', (event) => {
      if (event.key === 'Enter' || event.key === ' ') {
        event.preventDefault();
        choose(event);
      }
    });
    window.addEventListener('resize', renderChart);
    // "seen N s ago" and the greying move on without new messages.
    setInterval(renderCards, 1000);
    $('link').textContent = T.connecting;
    renderCards();
    start(cls);
  }

  setUp();
})();
