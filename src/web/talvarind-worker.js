// Talvarind in a worker: every message in is a UCI line (or several, one per line of the string), every
// message out is one line the engine wrote. In a browser this is the script of a Web Worker:
//   const engine = new Worker('talvarind-worker.js');
//   engine.onmessage = (e) => console.log(e.data);
//   engine.postMessage('uci');
// Under Node it runs in a worker_threads worker that talvarind-uci.js starts, with the program's arguments
// in workerData.args; there the message { end: true } says that the input has ended.
'use strict';

const InNode = typeof importScripts !== 'function';
let Post, Arguments = ['uci'], Here;
if (InNode) {
  const { parentPort, workerData } = require('worker_threads');
  Post = (line) => parentPort.postMessage(line);
  parentPort.on('message', receive);
  if (workerData && Array.isArray(workerData.args)) Arguments = workerData.args;
  Here = (name) => require('path').join(__dirname, name);
} else {
  Post = (line) => self.postMessage(line);
  self.onmessage = (event) => receive(event.data);
  Here = (name) => new URL(name, self.location.href).href;
}

// Lines that come before the engine has started wait here, in order.
let Engine = null;
const Waiting = [];

function receive(data) {
  if (Engine === null) Waiting.push(data);
  else deliver(data);
}

function deliver(data) {
  if (typeof data === 'string') {
    for (const line of data.split(/\r?\n/)) Engine.ccall('talvarind_input_line', null, ['string'], [line]);
  } else if (data && data.end) {
    Engine.ccall('talvarind_input_end', null, [], []);
  }
}

const Options = {
  arguments: Arguments,
  print: (line) => Post(line),
  printErr: (line) => (InNode ? process.stderr.write(line + '\n') : console.warn(line)),
  locateFile: (name) => Here(name),
  // The threads' workers load the program from here.
  mainScriptUrlOrBlob: Here('talvarind.js'),
};
if (InNode) {
  // This emscripten's loader would fetch() a file path under Node 20; handing it the bytes avoids that.
  Options.wasmBinary = require('fs').readFileSync(Here('talvarind.wasm'));
}

const Factory = InNode ? require(Here('talvarind.js')) : (importScripts(Here('talvarind.js')), self.Talvarind);
Factory(Options).then((Module) => {
  Engine = Module;
  for (const data of Waiting.splice(0)) deliver(data);
});
