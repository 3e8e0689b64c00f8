// The engine in its worker, one UCI line per message each way. Only one search runs at a
// time: a new one first stops the old and waits for its bestmove, so that no stale
// bestmove or info line is taken for the new position's.
import { parseBestmove, parseInfo, parseOption } from './uci.js';

export class Engine {
  constructor(url, { onLine = () => {}, onError = () => {} } = {}) {
    this.worker = new Worker(url);
    this.onLine = onLine;
    this.options = new Map();
    this.waiters = []; // { prefix, resolve } for uciok / readyok
    this.search = null; // { onInfo, resolve, promise, stopping }
    this.generation = 0;
    this.worker.onmessage = (e) => this.receive(String(e.data));
    this.worker.onerror = (e) => onError(e.message || 'the engine worker failed to start');
  }

  send(line) {
    this.onLine('> ' + line);
    this.worker.postMessage(line);
  }

  receive(line) {
    this.onLine(line);
    if (line.startsWith('option ')) {
      const option = parseOption(line);
      if (option) this.options.set(option.name, option);
      return;
    }
    if (line.startsWith('info ')) {
      if (this.search && !this.search.stopping) {
        const info = parseInfo(line);
        if (info && !('string' in info)) this.search.onInfo(info);
      }
      return;
    }
    if (line.startsWith('bestmove')) {
      const search = this.search;
      this.search = null;
      if (search) search.resolve(parseBestmove(line));
      return;
    }
    const i = this.waiters.findIndex((w) => line.startsWith(w.prefix));
    if (i >= 0) this.waiters.splice(i, 1)[0].resolve();
  }

  waitFor(prefix) {
    return new Promise((resolve) => this.waiters.push({ prefix, resolve }));
  }

  async start() {
    const uciok = this.waitFor('uciok');
    this.send('uci');
    await uciok;
    return this.ready();
  }

  ready() {
    const readyok = this.waitFor('readyok');
    this.send('isready');
    return readyok;
  }

  // Options are set only while no search runs, as UCI asks.
  async setOptions(values) {
    await this.stop();
    for (const [name, value] of Object.entries(values)) this.send(`setoption name ${name} value ${value}`);
    await this.ready();
  }

  async newGame() {
    await this.stop();
    this.send('ucinewgame');
    await this.ready();
  }

  // Starts `go goArgs` from `position`; resolves with the bestmove, or with null when a later
  // call to go() or cancel() has taken its place.
  async go(position, goArgs, onInfo = () => {}) {
    const generation = ++this.generation;
    await this.stop();
    if (generation !== this.generation) return null;
    this.send(position);
    this.send(`go ${goArgs}`);
    let resolve;
    const promise = new Promise((r) => (resolve = r));
    this.search = { onInfo, resolve, promise, stopping: false };
    const best = await promise;
    return generation === this.generation ? best : null;
  }

  // Stops the running search, if any, and waits for its bestmove.
  stop() {
    if (!this.search) return Promise.resolve(null);
    if (!this.search.stopping) {
      this.search.stopping = true;
      this.send('stop');
    }
    return this.search.promise;
  }

  // Stops and makes the pending go() resolve with null, so its answer is not played.
  cancel() {
    this.generation++;
    return this.stop();
  }

  get searching() {
    return this.search !== null;
  }
}
