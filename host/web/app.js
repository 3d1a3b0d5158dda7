// The match-history page: shows what the plug-in answers, as the client's
// match-history page would, using only the plug-in's endpoints and the host's
// session and configuration resources, all on this server.
'use strict';

const MATCH_HISTORY = '/kzo-match-history/v1';
const SESSION = '/kzo-login/v1/session';
const CONFIGURATION = '/kzo-platform-config/v1/namespaces/NewMatchHistory';
// The sample player, as the host's sample session logs in.
const SAMPLE_LOGIN = { state: 'SUCCEEDED', summonerId: 28034063, accountId: 200000 };
const TEAM_NAMES = { 100: 'Blue team', 200: 'Red team' };
const MARKERS = {
  CHAMPION_KILL: { letter: 'K', one: 'champion kill', many: 'champion kills' },
  BUILDING_KILL: { letter: 'T', one: 'building', many: 'buildings' },
  ELITE_MONSTER_KILL: { letter: 'M', one: 'elite monster', many: 'elite monsters' },
};

const state = { accountId: 0, chart: null, generation: 0 };

// ---- Talking to the host ----

// Every answer, good or bad, as { ok, status, data, message }: an error's
// message is the one the server sent ({"message": ..., "status": N}), so the
// page always has something to show.
async function call(method, path, body) {
  const init = { method, cache: 'no-store', headers: {} };
  if (body !== undefined) {
    init.headers['Content-Type'] = 'application/json';
    init.body = JSON.stringify(body);
  }
  let response;
  try {
    response = await fetch(path, init);
  } catch (error) {
    return { ok: false, status: 0, data: null, message: `The host did not answer (${error.message})` };
  }
  const text = await response.text();
  let data = null;
  try {
    data = text ? JSON.parse(text) : null;
  } catch (error) {
    data = null;
  }
  if (response.ok) return { ok: true, status: response.status, data, message: '' };
  const said = data && typeof data.message === 'string' && data.message ? data.message : '';
  const message = said || `${response.statusText || 'Error'} (the answer had no message)`;
  return { ok: false, status: response.status, data, message: `${response.status}: ${message}` };
}

// ---- Small helpers ----

function element(tag, properties = {}, children = []) {
  const node = document.createElement(tag);
  for (const [name, value] of Object.entries(properties)) {
    if (name === 'dataset') Object.assign(node.dataset, value);
    else if (name === 'className') node.className = value;
    else if (name === 'text') node.textContent = value;
    else node.setAttribute(name, value);
  }
  for (const child of children) node.append(child);
  return node;
}

function cell(text, className) {
  return element('td', className ? { className, text: String(text) } : { text: String(text) });
}

function showError(node, message) {
  node.textContent = message;
  node.hidden = !message;
}

function formatDate(text) {
  // "2023-11-17T05:25:15.969Z" -> "2023-11-17 05:25"
  return typeof text === 'string' && text.length >= 16 ? `${text.slice(0, 10)} ${text.slice(11, 16)}` : '';
}

function formatDuration(seconds) {
  const whole = Math.max(0, Math.round(Number(seconds) || 0));
  const minutes = Math.floor(whole / 60);
  return `${minutes}:${String(whole % 60).padStart(2, '0')}`;
}

function formatNumber(value) {
  return Number(value || 0).toLocaleString('en-US');
}

function kda(stats) {
  return `${stats.kills ?? 0} / ${stats.deaths ?? 0} / ${stats.assists ?? 0}`;
}

// The player's own participant of a game: the one whose identity has the
// logged-in account, else the only (or first) one listed.
function playerOf(game) {
  const identities = game.participantIdentities || [];
  const mine = identities.find((identity) => identity.player && state.accountId !== 0 &&
    identity.player.accountId === state.accountId);
  const participants = game.participants || [];
  if (mine) {
    const found = participants.find((p) => p.participantId === mine.participantId);
    if (found) return found;
  }
  return participants[0] || null;
}

function summonerNameOf(game, participantId) {
  const identity = (game.participantIdentities || []).find((i) => i.participantId === participantId);
  return identity && identity.player ? identity.player.summonerName : `Participant ${participantId}`;
}

// ---- Views ----

function viewSection(name) {
  return document.querySelector(`section[data-view="${name}"]`);
}

function beginView(section) {
  showError(section.querySelector(':scope > .error'), '');
  const status = section.querySelector(':scope > .status');
  status.hidden = false;
  status.textContent = 'Loading…';
  return status;
}

async function showGames() {
  const section = viewSection('games');
  const status = beginView(section);
  const table = section.querySelector('#games');
  const body = table.querySelector('tbody');
  const answer = await call('GET', `${MATCH_HISTORY}/matchlist`);
  status.hidden = true;
  if (!answer.ok) {
    table.hidden = true;
    body.replaceChildren();
    showError(section.querySelector(':scope > .error'), answer.message);
    return;
  }
  const games = (answer.data && answer.data.games && answer.data.games.games) || [];
  body.replaceChildren(...games.map((game) => {
    const player = playerOf(game);
    const stats = (player && player.stats) || {};
    const row = element('tr', { dataset: { gameId: String(game.gameId) }, tabindex: '0',
      title: `Game ${game.gameId}` }, [
      cell(formatDate(game.gameCreationDate)),
      cell(game.gameMode || ''),
      cell(formatDuration(game.gameDuration), 'number'),
      cell(player ? player.championId : '', 'number'),
      cell(kda(stats), 'number'),
      cell(stats.win ? 'Win' : 'Loss', stats.win ? 'win' : 'loss'),
    ]);
    const open = () => { location.hash = `#/games/${game.gameId}`; };
    row.addEventListener('click', open);
    row.addEventListener('keydown', (event) => { if (event.key === 'Enter') open(); });
    return row;
  }));
  table.hidden = false;
  if (games.length === 0) {
    status.hidden = false;
    status.textContent = 'No games.';
  }
}

function teamTable(game, teamId) {
  const team = (game.teams || []).find((t) => t.teamId === teamId) || {};
  const won = team.win === 'Win';
  const rows = (game.participants || []).filter((p) => p.teamId === teamId).map((p) => {
    const stats = p.stats || {};
    return element('tr', { className: 'participant', dataset: { participantId: String(p.participantId) } }, [
      cell(summonerNameOf(game, p.participantId)),
      cell(p.championId, 'number'),
      cell(kda(stats), 'number'),
      cell(formatNumber(stats.goldEarned), 'number'),
      cell(formatNumber(stats.totalDamageDealtToChampions), 'number'),
      cell((stats.totalMinionsKilled || 0) + (stats.neutralMinionsKilled || 0), 'number'),
    ]);
  });
  const caption = element('caption', { text: `${TEAM_NAMES[teamId] || `Team ${teamId}`} — ${won ? 'Victory' : 'Defeat'}` });
  const head = element('thead', {}, [element('tr', {}, ['Summoner', 'Champion', 'K / D / A', 'Gold', 'Damage', 'CS']
    .map((title, i) => element('th', { text: title, className: i === 0 ? '' : 'number' })))]);
  return element('table', { className: `team team-${teamId}` }, [caption, head, element('tbody', {}, rows)]);
}

// The team that scored an event: the killer's, or, when no champion got the
// kill (a minion, a tower), the other team than the victim's or the building's.
function scoringTeam(event, teamOf) {
  if (teamOf.has(event.killerId)) return teamOf.get(event.killerId);
  const other = (teamId) => (teamId === 100 ? 200 : teamId === 200 ? 100 : 0);
  if (event.type === 'CHAMPION_KILL' && teamOf.has(event.victimId)) return other(teamOf.get(event.victimId));
  if (event.type === 'BUILDING_KILL' && event.teamId) return other(event.teamId);
  return 0;
}

function drawGoldPlot(game, frames) {
  const plot = document.getElementById('gold-plot');
  if (state.chart) {
    state.chart.destroy();
    state.chart = null;
  }
  plot.replaceChildren();
  plot.removeAttribute('data-points');
  plot.removeAttribute('data-markers');
  if (frames.length === 0) return;
  if (typeof Dygraph !== 'function') {
    showError(document.getElementById('timeline-error'),
      'The chart library did not load (GET /lib/dygraph.min.js failed): install libjs-dygraphs.');
    return;
  }
  const teamOf = new Map((game.participants || []).map((p) => [p.participantId, p.teamId]));
  const teams = [100, 200];
  const rows = frames.map((frame) => {
    const gold = { 100: 0, 200: 0 };
    for (const participant of Object.values(frame.participantFrames || {})) {
      const team = teamOf.get(participant.participantId);
      if (team in gold) gold[team] += participant.totalGold || 0;
    }
    return [(frame.timestamp || 0) / 60000, gold[100], gold[200]];
  });
  const labels = ['Minute', TEAM_NAMES[100], TEAM_NAMES[200]];
  const annotations = [];
  // The library keeps one marker per point of a series, so each team's
  // events of a frame share one marker that names every kind in it.
  frames.forEach((frame, index) => {
    for (const team of teams) {
      const counts = new Map();
      for (const event of frame.events || []) {
        if (MARKERS[event.type] && scoringTeam(event, teamOf) === team) {
          counts.set(event.type, (counts.get(event.type) || 0) + 1);
        }
      }
      if (counts.size === 0) continue;
      const kinds = Object.keys(MARKERS).filter((type) => counts.has(type));
      const letters = kinds.map((type) => MARKERS[type].letter).join('');
      const said = kinds.map((type) => {
        const count = counts.get(type);
        return `${count} ${count === 1 ? MARKERS[type].one : MARKERS[type].many}`;
      });
      annotations.push({
        series: TEAM_NAMES[team],
        x: rows[index][0],
        shortText: letters,
        text: `${TEAM_NAMES[team]}, up to minute ${rows[index][0].toFixed(1)}: ${said.join(', ')}`,
        width: 8 + 9 * letters.length,
        // Blue's markers hang below its line, red's stand above, so they overlap less.
        tickHeight: team === 100 ? -26 : 14,
        tickWidth: 1,
      });
    }
  });
  state.chart = new Dygraph(plot, rows, {
    labels,
    colors: ['#2f6fb3', '#b8413a'],
    xlabel: 'Minute',
    ylabel: 'Total gold',
    strokeWidth: 2,
    drawPoints: true,
    legend: 'follow',
    labelsKMB: true,
    drawCallback: (chart, initial) => {
      if (initial) {
        chart.setAnnotations(annotations);
        // The rows the library drew, read back from it.
        plot.dataset.points = String(chart.numRows());
        plot.dataset.markers = String(annotations.length);
      }
    },
  });
}

async function showGame(gameId) {
  const section = viewSection('game');
  const status = beginView(section);
  const teams = document.getElementById('teams');
  teams.replaceChildren();
  showError(document.getElementById('timeline-error'), '');
  document.getElementById('game-title').textContent = `Game ${gameId}`;
  const [game, timeline] = await Promise.all([
    call('GET', `${MATCH_HISTORY}/games/${encodeURIComponent(gameId)}`),
    call('GET', `${MATCH_HISTORY}/game-timelines/${encodeURIComponent(gameId)}`),
  ]);
  status.hidden = true;
  if (!game.ok) {
    showError(section.querySelector(':scope > .error'), game.message);
    drawGoldPlot({}, []);
    return;
  }
  const data = game.data || {};
  document.getElementById('game-title').textContent =
    `Game ${data.gameId} — ${data.gameMode || ''}, ${formatDate(data.gameCreationDate)} UTC, ${formatDuration(data.gameDuration)}`;
  const teamIds = [...new Set((data.participants || []).map((p) => p.teamId))].sort();
  teams.replaceChildren(...teamIds.map((teamId) => teamTable(data, teamId)));
  if (!timeline.ok) {
    showError(document.getElementById('timeline-error'), timeline.message);
    drawGoldPlot({}, []);
    return;
  }
  drawGoldPlot(data, (timeline.data && timeline.data.frames) || []);
}

async function showRecent() {
  const section = viewSection('recent');
  const status = beginView(section);
  const table = section.querySelector('#recent');
  const body = table.querySelector('tbody');
  const answer = await call('GET', `${MATCH_HISTORY}/recently-played-summoners`);
  status.hidden = true;
  if (!answer.ok) {
    table.hidden = true;
    body.replaceChildren();
    showError(section.querySelector(':scope > .error'), answer.message);
    return;
  }
  const summoners = Array.isArray(answer.data) ? answer.data : [];
  body.replaceChildren(...summoners.map((s) => element('tr', { className: 'summoner',
    dataset: { summonerId: String(s.summonerId) } }, [
    cell(s.summonerName || ''),
    cell(s.summonerId, 'number'),
    cell(s.championId, 'number'),
    cell(TEAM_NAMES[s.teamId] || s.teamId),
    cell(s.gameId, 'number'),
    cell(formatDate(s.gameCreationDate)),
  ])));
  table.hidden = false;
  if (summoners.length === 0) {
    status.hidden = false;
    status.textContent = 'Nobody yet.';
  }
}

// ---- The player's controls: session, configuration, web address ----

async function showControls() {
  const [session, configuration, webUrl] = await Promise.all([
    call('GET', SESSION), call('GET', CONFIGURATION), call('GET', `${MATCH_HISTORY}/web-url`)]);
  const loggedIn = session.ok && session.data && session.data.state === 'SUCCEEDED';
  state.accountId = loggedIn ? session.data.accountId : 0;
  const label = document.getElementById('login-state');
  label.textContent = loggedIn
    ? `Logged in: account ${session.data.accountId}, summoner ${session.data.summonerId}`
    : 'Logged out';
  label.dataset.loggedIn = String(loggedIn);
  document.getElementById('logout').disabled = !loggedIn;
  document.getElementById('login').disabled = loggedIn;
  // As the plug-in reads it: without a configuration it is enabled; in one,
  // only an "Enabled" of true enables it.
  const enabled = configuration.ok ? Boolean(configuration.data && configuration.data.Enabled === true) : true;
  document.getElementById('enabled').checked = enabled;
  const target = document.getElementById('web-url-value');
  if (!webUrl.ok) {
    target.textContent = webUrl.message;
  } else if (isWebAddress(webUrl.data)) {
    target.replaceChildren(element('a', { href: webUrl.data, id: 'web-url-link', rel: 'noopener noreferrer' },
      [webUrl.data]));
  } else if (typeof webUrl.data === 'string' && webUrl.data) {
    // Any other scheme (javascript:, data:, file:) is shown, never followed.
    target.textContent = webUrl.data;
  } else {
    target.textContent = '(none configured)';
  }
}

// Whether `text` is an absolute http or https address, the only kind the page links.
function isWebAddress(text) {
  if (typeof text !== 'string') return false;
  try {
    const address = new URL(text);
    return address.protocol === 'http:' || address.protocol === 'https:';
  } catch {
    return false;
  }
}

// Runs a change, shows its error if it fails, and shows everything again.
async function change(method, path, body) {
  const answer = await call(method, path, body);
  showError(document.getElementById('control-error'), answer.ok ? '' : answer.message);
  await refresh();
}

async function setEnabled(enabled) {
  // The configuration is written back whole, so that the web address stays.
  const current = await call('GET', CONFIGURATION);
  const keys = current.ok && current.data && typeof current.data === 'object' ? current.data : {};
  await change('PUT', CONFIGURATION, { ...keys, Enabled: enabled });
}

// ---- Routing ----

function route() {
  const hash = location.hash || '#/games';
  const game = /^#\/games\/([0-9]+)$/.exec(hash);
  if (game) return { view: 'game', gameId: game[1] };
  if (hash === '#/recent') return { view: 'recent' };
  return { view: 'games' };
}

async function refresh() {
  // Only the latest refresh marks the page ready, however the answers interleave.
  const generation = ++state.generation;
  document.body.dataset.ready = 'false';
  await showControls();
  const current = route();
  for (const section of document.querySelectorAll('section[data-view]')) {
    section.hidden = section.dataset.view !== current.view;
  }
  document.getElementById('nav-games').classList.toggle('current', current.view !== 'recent');
  document.getElementById('nav-recent').classList.toggle('current', current.view === 'recent');
  document.body.dataset.view = current.view;
  if (current.view === 'game') await showGame(current.gameId);
  else if (current.view === 'recent') await showRecent();
  else await showGames();
  if (generation === state.generation) document.body.dataset.ready = 'true';
}

document.addEventListener('DOMContentLoaded', () => {
  document.getElementById('logout').addEventListener('click', () => change('DELETE', SESSION));
  document.getElementById('login').addEventListener('click', () => change('PUT', SESSION, SAMPLE_LOGIN));
  document.getElementById('enabled').addEventListener('change', (event) => setEnabled(event.target.checked));
  window.addEventListener('hashchange', refresh);
  refresh();
});
