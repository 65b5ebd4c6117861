// Uploads one file with tus-js-client, a tus client nobody here wrote, and prints what
// happened as one JSON line: {"url", "resumedFrom"}. With --interrupt-at BYTES the first
// attempt is cut off in mid-request once that many bytes are sent, and a second one
// resumes the same upload from the offset the server reports.
//   node tus-upload.mjs --endpoint URL --token TOKEN --file PATH --relative-path PATH [--interrupt-at BYTES]
import { createReadStream, statSync } from "node:fs";
import { parseArgs } from "node:util";
import { Upload } from "tus-js-client";

const { values: options } = parseArgs({
  options: {
    endpoint: { type: "string" },
    token: { type: "string" },
    file: { type: "string" },
    "relative-path": { type: "string" },
    "interrupt-at": { type: "string" },
  },
});

// A request that meets a busy or moving upload (423, 409) is retried after a HEAD.
const RetryDelaysMs = [50, 100, 200, 400, 800, 1600, 3200];

function fail(message) {
  console.error(`tus-upload: ${message}`);
  process.exit(1);
}

for (const required of ["endpoint", "token", "file", "relative-path"]) {
  if (!options[required]) {
    fail(`--${required} is needed`);
  }
}

const relativePath = options["relative-path"];
const interruptAt = options["interrupt-at"] === undefined ? Infinity : Number(options["interrupt-at"]);
let resumedFrom = 0;

function uploadOptions(extra) {
  return {
    endpoint: options.endpoint,
    headers: { Authorization: `Bearer ${options.token}` },
    metadata: { filename: relativePath.split("/").pop(), relativePath },
    uploadSize: statSync(options.file).size,
    retryDelays: RetryDelaysMs,
    onAfterResponse(request, response) {
      if (request.getMethod() === "HEAD") {
        resumedFrom = Number(response.getHeader("Upload-Offset"));
      }
    },
    ...extra,
  };
}

// Runs an upload until it succeeds, fails, or is cut off at interruptAt bytes.
function run(extra) {
  return new Promise((resolve, reject) => {
    let upload = null;
    upload = new Upload(
      createReadStream(options.file),
      uploadOptions({
        onError: reject,
        onSuccess: () => resolve({ url: upload.url, interrupted: false }),
        onProgress(bytesSent) {
          if (bytesSent >= interruptAt) {
            upload.abort().then(() => resolve({ url: upload.url, interrupted: true }), reject);
          }
        },
        ...extra,
      }),
    );
    upload.start();
  });
}

try {
  let outcome = await run({});
  if (outcome.interrupted) {
    outcome = await run({ uploadUrl: outcome.url, onProgress: null });
  }
  console.log(JSON.stringify({ url: outcome.url, resumedFrom }));
} catch (error) {
  fail(error.message);
}
