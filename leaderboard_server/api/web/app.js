// The leaderboard pages. Every processor name is client-chosen text: it only ever reaches the
// page through textContent, attribute values and URLSearchParams, never as markup.
'use strict';

const SVG = 'http://www.w3.org/2000/svg';
const params = new URLSearchParams(location.search);
const kinds = ['single', 'smt', 'multi'];
const kind = kinds.includes(params.get('kind')) ? params.get('kind') : 'single';
const kindName = { single: 'Single-Core', smt: 'Single-Core + SMT', multi: 'Multi-Core' };
const kindRuns = { single: 'single-core', smt: 'SMT', multi: 'multi-core' };
document.body.classList.add(kind);

const $ = (id) => document.getElementById(id);
const fmt = (n) => Number(n).toLocaleString('en-US');

function el(tag, className, text) {
  const e = document.createElement(tag);
  if (className) e.className = className;
  if (text !== undefined) e.textContent = String(text);
  return e;
}

function svg(tag, attrs, parent) {
  const e = document.createElementNS(SVG, tag);
  for (const [k, v] of Object.entries(attrs)) e.setAttribute(k, String(v));
  if (parent) parent.appendChild(e);
  return e;
}

function svgText(parent, x, y, text, anchor, className) {
  const t = svg('text', { x, y, 'text-anchor': anchor || 'start', class: className || 'axis' }, parent);
  t.textContent = text;
  return t;
}

function cpuHref(name) {
  return '/cpu?' + new URLSearchParams({ name, kind });
}

async function getJson(url) {
  const reply = await fetch(url, { headers: { Accept: 'application/json' } });
  const body = await reply.json().catch(() => ({}));
  if (!reply.ok) throw new Error(body.error || 'HTTP ' + reply.status);
  return body;
}

// ---- the leaderboard ----------------------------------------------------------------------

// One row's runs as fractions of its median, on a scale shared by the rows shown, so that equally
// consistent processors get equally wide bars whatever their score: whisker from minimum to
// maximum, box from the 10th to the 90th percentile, tick at the median.
function spreadBar(row, lo, hi) {
  const x = (v) => ((v / row.median - lo) / (hi - lo)) * 100;
  const s = svg('svg', { viewBox: '0 0 100 12', preserveAspectRatio: 'none', class: 'bar', role: 'img' });
  svg('title', {}, s).textContent =
    `median ${fmt(row.median)}, 10th–90th percentile ${fmt(row.p10)}–${fmt(row.p90)}, ` +
    `minimum ${fmt(row.min)}, maximum ${fmt(row.max)}`;
  svg('line', { x1: x(row.min), x2: x(row.max), y1: 6, y2: 6, class: 'whisker' }, s);
  const left = x(row.p10);
  svg('rect', { x: left, y: 2, width: Math.max(x(row.p90) - left, 0.8), height: 8, class: 'box' }, s);
  svg('line', { x1: x(row.median), x2: x(row.median), y1: 0, y2: 12, class: 'median' }, s);
  return s;
}

// Fewer runs than this behind an average and its row is dimmed and marked.
const CONFIDENT_RUNS = 5;
const countedRuns = (row) => (row.counted_runs === undefined ? row.runs : row.counted_runs);

function showRows(reply, filter, minRuns) {
  const rows = $('rows');
  rows.replaceChildren();
  // At least 5 % either side, so that a row of identical runs is not drawn across the cell.
  const lo = Math.min(0.95, ...reply.rows.map((r) => r.min / r.median));
  const hi = Math.max(1.05, ...reply.rows.map((r) => r.max / r.median));
  for (const r of reply.rows) {
    const tr = el('tr');
    const counted = countedRuns(r);
    if (counted < CONFIDENT_RUNS) {
      tr.className = 'few';
      tr.title = `Average of ${counted} counted run${counted === 1 ? '' : 's'}: it may still change a lot`;
    }
    tr.appendChild(el('td', 'rank', r.rank));
    const name = el('td', 'name');
    const link = el('a', '', r.cpu);
    link.href = cpuHref(r.cpu);
    name.appendChild(link);
    if (counted < CONFIDENT_RUNS) name.appendChild(el('span', 'few-label', 'few runs'));
    tr.appendChild(name);
    tr.appendChild(el('td', 'num score', fmt(r.avg_score)));
    tr.appendChild(el('td', 'num runs', fmt(r.runs)));
    const spread = el('td', 'spread');
    spread.appendChild(spreadBar(r, lo, hi));
    tr.appendChild(spread);
    rows.appendChild(tr);
  }
  const shown = reply.rows.length < reply.matches ? `, the first ${fmt(reply.rows.length)} shown` : '';
  const enough = minRuns ? ` with at least ${CONFIDENT_RUNS} runs` : '';
  let status;
  if (reply.processors === 0) status = `No ${kindRuns[kind]} runs yet.`;
  else if (!filter && !minRuns) status = `${fmt(reply.processors)} processor${reply.processors === 1 ? '' : 's'}${shown}.`;
  else if (reply.matches === 0) status = `No processor${filter ? ` matches “${filter}”` : ''}${enough}.`;
  else if (!filter) status = `${fmt(reply.matches)} of ${fmt(reply.processors)} processors${enough}${shown}.`;
  else status = `${fmt(reply.matches)} of ${fmt(reply.processors)} processors match “${filter}”${enough}${shown}.`;
  $('status').textContent = status;
  // With no row to show, the column headers and the legend explain nothing.
  $('board').hidden = reply.rows.length === 0;
  $('legend').hidden = reply.rows.length === 0;
}

function boardPage() {
  const input = $('q');
  input.value = params.get('q') || '';
  const minRunsBox = $('min-runs');
  minRunsBox.checked = params.get('min_runs') === String(CONFIDENT_RUNS);
  $('kind').value = kind;
  $('tab-' + kind).setAttribute('aria-current', 'page');
  const setTabs = (filter, minRuns) => {
    for (const k of kinds) {
      const p = new URLSearchParams({ kind: k });
      if (filter) p.set('q', filter);
      if (minRuns) p.set('min_runs', CONFIDENT_RUNS);
      $('tab-' + k).href = '/?' + p;
    }
  };

  let latest = 0;
  const load = async () => {
    const filter = input.value;
    const minRuns = minRunsBox.checked;
    const ticket = ++latest;
    // The address holds the filters, so that the list as seen can be shared as a link.
    const query = new URLSearchParams(filter ? { q: filter, kind } : { kind });
    if (minRuns) query.set('min_runs', CONFIDENT_RUNS);
    history.replaceState(null, '', '/?' + query);
    setTabs(filter, minRuns);
    try {
      const reply = await getJson('/board.json?' + query);
      if (ticket === latest) showRows(reply, filter, minRuns);
    } catch (e) {
      if (ticket === latest) $('status').textContent = 'Cannot load the leaderboard: ' + e.message;
    }
  };

  let timer = 0;
  input.addEventListener('input', () => {
    clearTimeout(timer);
    timer = setTimeout(load, 150);
  });
  minRunsBox.addEventListener('change', () => {
    clearTimeout(timer);
    load();
  });
  $('search').addEventListener('submit', (event) => {
    event.preventDefault();
    clearTimeout(timer);
    load();
  });
  load();
}

// ---- one processor ------------------------------------------------------------------------

function fact(list, term, value) {
  const pair = el('div');
  pair.appendChild(el('dt', '', term));
  pair.appendChild(el('dd', '', value));
  list.appendChild(pair);
}

function histogram(h, max) {
  const W = 600;
  const H = 180;
  const base = H - 24;
  const s = svg('svg', { viewBox: `0 0 ${W} ${H}`, class: 'plot', role: 'img' });
  const top = Math.max(...h.counts);
  const step = W / h.counts.length;
  h.counts.forEach((count, i) => {
    const height = (count / top) * (base - 16);
    const from = h.from + i * h.width;
    const bar = svg('rect', { x: i * step + 1, y: base - height, width: Math.max(step - 2, 1), height, class: 'bin' }, s);
    const range = h.width > 1 ? `${fmt(from)}–${fmt(from + h.width - 1)}` : fmt(from);
    svg('title', {}, bar).textContent = `${range}: ${count} run${count === 1 ? '' : 's'}`;
    if (count > 0) svgText(s, i * step + step / 2, base - height - 4, count, 'middle', 'count');
  });
  svg('line', { x1: 0, x2: W, y1: base, y2: base, class: 'axis-line' }, s);
  svgText(s, 0, H - 6, fmt(h.from));
  if (max > h.from) svgText(s, W, H - 6, fmt(max), 'end');
  return s;
}

// One point per day with runs: its mean, with a bar from its lowest to its highest run.
// history: [[day, runs, mean, lowest, highest], ...], oldest first.
function timeline(history, lo, hi) {
  const W = 600;
  const H = 180;
  const left = 56;
  const base = H - 24;
  const s = svg('svg', { viewBox: `0 0 ${W} ${H}`, class: 'plot', role: 'img' });
  const times = history.map((day) => Date.parse(day[0]));
  const first = Math.min(...times);
  const last = Math.max(...times);
  const x = (t) => (last > first ? left + 8 + ((t - first) / (last - first)) * (W - left - 16) : (left + W) / 2);
  const y = (v) => (hi > lo ? base - 8 - ((v - lo) / (hi - lo)) * (base - 24) : base / 2);
  svg('line', { x1: left, x2: W, y1: base, y2: base, class: 'axis-line' }, s);
  svg('line', { x1: left, x2: left, y1: 0, y2: base, class: 'axis-line' }, s);
  history.forEach(([day, runs, mean, lowest, highest], i) => {
    if (highest > lowest) svg('line', { x1: x(times[i]), x2: x(times[i]), y1: y(lowest), y2: y(highest), class: 'axis-line' }, s);
    const dot = svg('circle', { cx: x(times[i]), cy: y(mean), r: 3.5, class: 'dot' }, s);
    svg('title', {}, dot).textContent =
      `${day}: ${fmt(runs)} run${runs === 1 ? '' : 's'}, mean ${fmt(mean)}` + (highest > lowest ? ` (${fmt(lowest)} to ${fmt(highest)})` : '');
  });
  svgText(s, left - 6, y(hi) + 4, fmt(hi), 'end');
  if (hi > lo) svgText(s, left - 6, y(lo) + 4, fmt(lo), 'end');
  const day = (t) => new Date(t).toISOString().slice(0, 10);
  svgText(s, left, H - 6, day(first));
  if (last > first) svgText(s, W, H - 6, day(last), 'end');
  return s;
}

// What the histogram rests on, in words: the runs, where the middle eight in ten of them lie, and
// a warning when the average counts only a few.
function histogramNote(cpu) {
  const counted = countedRuns(cpu);
  let note = `Based on ${fmt(cpu.runs)} run${cpu.runs === 1 ? '' : 's'}.`;
  if (cpu.runs > 1) {
    note += ` Eight in ten scored between ${fmt(cpu.p10)} and ${fmt(cpu.p90)} (10th to 90th percentile).`;
  }
  if (counted < CONFIDENT_RUNS) {
    note += ` The average counts ${fmt(counted)} of them: too few to be sure of it.`;
  }
  return note;
}

async function cpuPage() {
  const name = params.get('name') || '';
  $('name').textContent = name;
  document.title = name + ' – Strelvik leaderboard';
  $('kind-label').textContent = kindName[kind];
  $('back').href = '/?' + new URLSearchParams({ kind });
  let cpu;
  try {
    cpu = await getJson('/cpu.json?' + new URLSearchParams({ name, kind }));
  } catch (e) {
    $('status').textContent = `No ${kindRuns[kind]} results for this processor: ${e.message}.`;
    return;
  }
  $('status').textContent = '';
  $('status').hidden = true;
  const facts = $('facts');
  fact(facts, 'Rank', `#${cpu.rank} of ${fmt(cpu.processors)}`);
  fact(facts, 'Score', fmt(cpu.avg_score));
  fact(facts, 'Runs', fmt(cpu.runs));
  fact(facts, 'Median', fmt(cpu.median));
  fact(facts, '10th–90th percentile', `${fmt(cpu.p10)} – ${fmt(cpu.p90)}`);
  fact(facts, 'Minimum – maximum', `${fmt(cpu.min)} – ${fmt(cpu.max)}`);
  $('histogram').appendChild(histogram(cpu.histogram, cpu.max));
  $('histogram-note').textContent = histogramNote(cpu);
  $('timeline').appendChild(timeline(cpu.history, cpu.min, cpu.max));
  const threads = $('threads');
  for (const t of cpu.thread_counts)
    threads.appendChild(el('li', '', `${t.threads} thread${t.threads === 1 ? '' : 's'}: ${fmt(t.runs)} run${t.runs === 1 ? '' : 's'}`));
  $('details').hidden = false;
  showSmtUplift(name, cpu, facts);
}

// What a core's other hardware threads add: median SMT score over median single-core score,
// less one, for a processor with runs of both kinds.
async function showSmtUplift(name, cpu, facts) {
  const median = async (k) => {
    if (k === kind) return cpu.median;
    try {
      return (await getJson('/cpu.json?' + new URLSearchParams({ name, kind: k }))).median;
    } catch (e) {
      return undefined;  // no runs of that kind
    }
  };
  const [single, smt] = await Promise.all([median('single'), median('smt')]);
  if (!(single > 0 && smt > 0)) return;
  const percent = Math.round((smt / single - 1) * 100);
  fact(facts, 'SMT uplift', `${percent >= 0 ? '+' : ''}${percent} %`);
}

if ($('board-page')) boardPage();
else if ($('cpu-page')) cpuPage();
