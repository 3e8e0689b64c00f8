#!/usr/bin/env node
// Talvarind's browser build as a console engine: standard input goes to the engine's worker line by line,
// its lines come back on standard output, so UCI interfaces and tournament managers drive it as they drive
// the native program. Arguments are the program's own (uci when there are none):
//   node talvarind-uci.js            a UCI engine
//   node talvarind-uci.js xboard     an XBoard engine
//   node talvarind-uci.js bench 12   the bench
// As a module, startEngine(args) gives { postMessage(line), end(), addListener(fn), exited, terminate() }.
'use strict';

const path = require('path');
const { Worker } = require('worker_threads');

function startEngine(args = ['uci']) {
  const worker = new Worker(path.join(__dirname, 'talvarind-worker.js'), { workerData: { args } });
  const listeners = [];
  worker.on('message', (line) => {
    for (const listener of listeners) listener(line);
  });
  const exited = new Promise((resolve) => {
    worker.on('exit', resolve);
    worker.on('error', (error) => {
      process.stderr.write(`talvarind: ${error && error.stack ? error.stack : error}\n`);
      resolve(1);
    });
  });
  return {
    postMessage: (line) => worker.postMessage(line),
    end: () => worker.postMessage({ end: true }),
    addListener: (listener) => listeners.push(listener),
    exited,
    terminate: () => worker.terminate(),
  };
}

module.exports = { startEngine };

if (require.main === module) {
  const engine = startEngine(process.argv.length > 2 ? process.argv.slice(2) : ['uci']);
  engine.addListener((line) => process.stdout.write(line + '\n'));
  const input = require('readline').createInterface({ input: process.stdin, terminal: false });
  input.on('line', (line) => engine.postMessage(line));
  input.on('close', () => engine.end());
  engine.exited.then((code) => {
    process.exitCode = code;
    input.close();
    process.stdin.destroy();
  });
}
