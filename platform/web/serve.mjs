// Serves a built page on localhost:
//   node serve.mjs DIR [--port N] [--plain]
// with the two headers that make it cross-origin isolated (SharedArrayBuffer, so the
// show draws on every core), or without them (--plain: one thread).
import {createServer} from 'node:http';
import {readFile} from 'node:fs/promises';
import {extname, join, normalize, resolve} from 'node:path';
import {pathToFileURL} from 'node:url';

const kTypes = {
    '.html': 'text/html; charset=utf-8',
    '.js': 'text/javascript; charset=utf-8',
    '.mjs': 'text/javascript; charset=utf-8',
    '.css': 'text/css; charset=utf-8',
    '.wasm': 'application/wasm',
    '.png': 'image/png',
    '.json': 'application/json',
};

const kIsolation = {
    'Cross-Origin-Opener-Policy': 'same-origin',
    'Cross-Origin-Embedder-Policy': 'require-corp',
};

// Resolves with the listening server; port 0 takes any free port.
export function startServer(directory, {port = 8080, isolated = true} = {}) {
    const root = resolve(directory);
    const server = createServer(async (request, response) => {
        const path = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
        const file = normalize(join(root, path.endsWith('/') ? `${path}index.html` : path));
        const headers = isolated ? {...kIsolation} : {};
        if (!file.startsWith(root)) {
            response.writeHead(403, headers).end();
            return;
        }
        try {
            const body = await readFile(file);
            headers['Content-Type'] = kTypes[extname(file)] ?? 'application/octet-stream';
            headers['Cache-Control'] = 'no-cache';
            response.writeHead(200, headers).end(body);
        } catch {
            response.writeHead(404, headers).end();
        }
    });
    return new Promise((done, fail) => {
        server.once('error', fail);
        server.listen(port, '127.0.0.1', () => done(server));
    });
}

async function main(args) {
    const directory = args.find((arg) => !arg.startsWith('--') && !/^\d+$/.test(arg));
    const portAt = args.indexOf('--port');
    const port = portAt >= 0 ? Number(args[portAt + 1]) : 8080;
    if (!directory || !Number.isInteger(port) || port < 0 || port > 65535) {
        console.error('serve.mjs: usage: node serve.mjs DIR [--port N] [--plain]');
        process.exit(2);
    }
    const isolated = !args.includes('--plain');
    const server = await startServer(directory, {port, isolated});
    const {port: bound} = server.address();
    console.log(`The show's page: http://localhost:${bound}/` +
                (isolated ? ' (cross-origin isolated: drawing on every core)' : ' (one thread)'));
    console.log(`The module player: http://localhost:${bound}/vorn3/player.html`);
}

if (import.meta.url === pathToFileURL(process.argv[1]).href) {
    main(process.argv.slice(2)).catch((error) => {
        console.error(`serve.mjs: ${error.message}`);
        process.exit(1);
    });
}
