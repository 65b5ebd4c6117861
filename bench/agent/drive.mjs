// Drives bench-agent through its local API, as the portal page does, and prints what it
// measured as "key value" lines for scripts/bench.
//   node drive.mjs upload   PORT DEVICE ORIGIN PATH ENDPOINT   -> wall_ms, files
//   node drive.mjs download PORT DEVICE ORIGIN URL             -> wall_ms
//   node drive.mjs queue    PORT DEVICE ORIGIN PATH ENDPOINT   -> queue_ms, list_ms, snapshot_ms
// upload and download time from the request until the transfer's "done" event; queue
// leaves the transfer waiting and times the request, GET /transfers and a new event
// stream's snapshot.
import http from 'node:http';

const [command, port, device, origin, ...rest] = process.argv.slice(2);
const headers = { Origin: origin, 'X-Device-Id': device };
// Lists are timed this many times; the median is printed.
const ListRuns = 5;

function fail(message) {
  console.error(`drive: ${message}`);
  process.exit(1);
}

function request(method, path, body) {
  return new Promise((resolve, reject) => {
    const started = process.hrtime.bigint();
    const outgoing = http.request({ host: '127.0.0.1', port, method, path, headers, agent: false }, (answer) => {
      const chunks = [];
      answer.on('data', (chunk) => chunks.push(chunk));
      answer.on('end', () =>
        resolve({
          status: answer.statusCode,
          body: Buffer.concat(chunks).toString(),
          ms: Number(process.hrtime.bigint() - started) / 1e6,
        }),
      );
    });
    outgoing.on('error', reject);
    outgoing.end(body);
  });
}

// Opens the event stream; onEvent(name, data) is called for each event, onEvent(null) at the snapshot's end.
function events(onEvent) {
  return new Promise((resolve, reject) => {
    const path = `/transfers/events?deviceId=${device}`;
    const outgoing = http.request({ host: '127.0.0.1', port, path, headers: { Origin: origin }, agent: false }, (answer) => {
      let pending = '';
      answer.setEncoding('utf8');
      answer.on('data', (chunk) => {
        pending += chunk;
        for (let end; (end = pending.indexOf('\n\n')) >= 0; ) {
          const block = pending.slice(0, end);
          pending = pending.slice(end + 2);
          const name = /^event: (.*)$/m.exec(block)?.[1];
          const data = /^data: (.*)$/m.exec(block)?.[1];
          if (name) {
            onEvent(name, JSON.parse(data), outgoing);
          }
        }
      });
      resolve(outgoing);
    });
    outgoing.on('error', reject);
    outgoing.end();
  });
}

async function create(body) {
  const created = await request('POST', '/transfers', JSON.stringify(body));
  if (created.status !== 201) {
    fail(`POST /transfers answered ${created.status}: ${created.body}`);
  }
  return { id: JSON.parse(created.body).id, ms: created.ms };
}

// Starts a transfer and resolves with its last state event once it has ended.
async function runToEnd(body) {
  let id = null;
  let ended = null;
  let resolveEnd;
  const end = new Promise((resolve) => (resolveEnd = resolve));
  const stream = await events((name, data) => {
    if (name === 'state' && ['done', 'failed', 'cancelled'].includes(data.state)) {
      ended = ended ?? {};
      ended[data.id] = data;
      if (id && ended[id]) resolveEnd(ended[id]);
    }
  });
  const started = process.hrtime.bigint();
  id = (await create(body)).id;
  if (ended?.[id]) resolveEnd(ended[id]);
  const last = await end;
  const wallMs = Number(process.hrtime.bigint() - started) / 1e6;
  stream.destroy();
  if (last.state !== 'done') {
    fail(`transfer ${id} ended ${last.state}: ${last.error}`);
  }
  console.log(`wall_ms ${wallMs.toFixed(1)}`);
  console.log(`files ${last.filesTotal}`);
}

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  const middle = Math.floor(sorted.length / 2);
  return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

async function queue(path, endpoint) {
  const created = await create({ upload: { path, endpoint } });
  const lists = [];
  for (let run = 0; run < ListRuns; ++run) {
    const listed = await request('GET', '/transfers');
    if (listed.status !== 200) fail(`GET /transfers answered ${listed.status}`);
    lists.push(listed.ms);
  }
  const started = process.hrtime.bigint();
  const snapshotMs = await new Promise((resolve) => {
    events((name, data, stream) => {
      if (name === 'snapshot') {
        resolve(Number(process.hrtime.bigint() - started) / 1e6);
        stream.destroy();
      }
    });
  });
  console.log(`queue_ms ${created.ms.toFixed(2)}`);
  console.log(`list_ms ${median(lists).toFixed(2)}`);
  console.log(`snapshot_ms ${snapshotMs.toFixed(2)}`);
}

switch (command) {
  case 'upload':
    await runToEnd({ upload: { path: rest[0], endpoint: rest[1] } });
    break;
  case 'download':
    await runToEnd({ download: { url: rest[0], folder: 'downloads' } });
    break;
  case 'queue':
    await queue(rest[0], rest[1]);
    break;
  default:
    fail('usage: drive.mjs upload|download|queue PORT DEVICE ORIGIN ...');
}
