// serve.mjs started for a test on a free port; resolves once it has printed its address.
import { spawn } from 'node:child_process';
import { join } from 'node:path';

export function startServer(root, extra = [], { nice = false } = {}) {
  const serve = [join(import.meta.dirname, '..', 'serve.mjs'), '--root', root, ...extra];
  const [command, args] = nice ? ['nice', ['-n', '19', process.execPath, ...serve]] : [process.execPath, serve];
  const child = spawn(command, args, { env: { ...process.env, PORT: '0' }, stdio: ['ignore', 'pipe', 'inherit'] });
  return new Promise((resolve, reject) => {
    let out = '';
    child.stdout.on('data', (d) => {
      out += d;
      const m = /http:\/\/localhost:(\d+)\//.exec(out);
      if (m) resolve({ child, port: Number(m[1]), url: `http://localhost:${m[1]}/`, out });
    });
    child.on('exit', (code) => reject(new Error(`serve.mjs exited with ${code}: ${out}`)));
  });
}
