import { copyFileSync, existsSync, mkdirSync, readFileSync } from 'node:fs';
import { resolve } from 'node:path';
import { defineConfig } from 'vite';

// The engine is built outside the page (WebAssembly with its own pthread workers) and is
// served beside it, untouched by the bundler.
export const ENGINE_FILES = ['talvarind-worker.js', 'talvarind.js', 'talvarind.wasm', 'talvarind.worker.js'];
const engineDir = resolve(import.meta.dirname, process.env.TALVARIND_WEB_BUILD || '../build-web');

const isolation = {
  'Cross-Origin-Opener-Policy': 'same-origin',
  'Cross-Origin-Embedder-Policy': 'require-corp',
};

function copyEngine() {
  let outDir;
  return {
    name: 'copy-engine',
    apply: 'build',
    configResolved(config) {
      outDir = resolve(config.root, config.build.outDir);
    },
    closeBundle() {
      const missing = ENGINE_FILES.filter((f) => !existsSync(resolve(engineDir, f)));
      if (missing.length) {
        this.warn(`engine build not found in ${engineDir} (missing ${missing.join(', ')}); the page will run without it`);
        return;
      }
      mkdirSync(resolve(outDir, 'engine'), { recursive: true });
      for (const f of ENGINE_FILES) copyFileSync(resolve(engineDir, f), resolve(outDir, 'engine', f));
    },
  };
}

// `vite` (the dev server) serves the engine straight from its build folder.
function serveEngine() {
  return {
    name: 'serve-engine',
    apply: 'serve',
    configureServer(server) {
      server.middlewares.use('/engine', (req, res, next) => {
        const name = new URL(req.url, 'http://localhost').pathname.slice(1);
        if (!ENGINE_FILES.includes(name) || !existsSync(resolve(engineDir, name))) return next();
        res.setHeader('Content-Type', name.endsWith('.wasm') ? 'application/wasm' : 'text/javascript');
        res.end(readFileSync(resolve(engineDir, name)));
      });
    },
  };
}

export default defineConfig({
  base: './',
  publicDir: false,
  plugins: [copyEngine(), serveEngine()],
  server: { headers: isolation },
  preview: { headers: isolation },
});
