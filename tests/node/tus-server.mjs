// A tus 1.0.0 server for the tests: @tus/server with its file store, on loopback.
// Usage: node tus-server.mjs STORE_DIR [PORT]   (port 0 or none: any free port)
// Prints "listening PORT" once ready; uploads are kept in STORE_DIR (data and .json info).
import http from 'node:http';
import { Server } from '@tus/server';
import { FileStore } from '@tus/file-store';

const [storeDir, portArgument] = process.argv.slice(2);
if (!storeDir) {
  console.error('usage: node tus-server.mjs STORE_DIR [PORT]');
  process.exit(2);
}

const tus = new Server({ path: '/files', datastore: new FileStore({ directory: storeDir }) });
const server = http.createServer((request, response) => tus.handle(request, response));
server.listen(Number(portArgument ?? 0), '127.0.0.1', () => {
  console.log(`listening ${server.address().port}`);
});
