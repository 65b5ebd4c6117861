# The transfer part of scripts/bench: the agent, driven through the local API by
# bench/agent/drive.mjs as the page drives it, against curl and tus-js-client, every one
# on loopback against the same @tus/server with its file store in the benchmark's folder;
# over HTTP, over HTTPS (the demo portal's certificate) and through a proxy that wants a
# login (Debian's tinyproxy with BasicAuth; curl and the agent both give it Basic).
# Source it from scripts/bench after common.sh; it uses that script's WORK, SAMPLES,
# compare, record, median, calc, verdict, judge, margin, row and in_profile.

# Sizes can be made smaller for a trial run; the table names the sizes used.
BIG_MIB="${BENCH_BIG_MIB:-1024}"
TREE_FILES="${BENCH_TREE_FILES:-10000}"
TREE_FILE_BYTES=4096
# One file gives the fixed part of each step.
QUEUE_SIZES=(1 1000 10000 100000)
read -r -a QUEUE_SIZES <<<"${BENCH_QUEUE_SIZES:-${QUEUE_SIZES[*]}}"
UPLOAD_LIMIT=1.05
DOWNLOAD_LIMIT=1.05
# The agent against tus-js-client uploading the same file.
TUS_JS_LIMIT=0.85
PROXY_LIMIT=1.10
TREE_FACTOR=2
# The most connections the agent may open for the tree, and so the server's limit is measured with.
TREE_CONNECTIONS=16
# Where the server's limit is below TREE_FACTOR times tus-js-client, the agent's share of it.
TREE_SERVER_SHARE=0.90
MEMORY_LIMIT_MIB=32
LIST_LIMIT_MS=50
PEER_START_SECONDS=20
DRIVE="$ROOT/bench/agent/drive.mjs"
NODE_PEERS="$ROOT/tests/node"

TUS_PORT=
RANGE_PORT=
TUS_TLS_PORT=
RANGE_TLS_PORT=
PROXY_ADDRESS=
PROXY_LOGIN=bench:bench-secret
CA_FILE="$BUILD_DIR/demo-portal/ca.pem"
PAUSED_TUS_PORT=
PAUSED_TUS_PID=
PEER_PIDS=()

stop_transfer_peers() {
    local pid
    [ -n "$PAUSED_TUS_PID" ] && kill -CONT "$PAUSED_TUS_PID" 2>/dev/null
    for pid in "${PEER_PIDS[@]}"; do
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    PEER_PIDS=()
    return 0
}

# start_peer NAME SCRIPT ARGUMENTS...: a Node peer from tests/node; sets PEER_PORT and PEER_PID.
start_peer() {
    local name=$1 script=$2
    shift 2
    node "$NODE_PEERS/$script" "$@" >"$WORK/$name.out" 2>"$WORK/$name.log" &
    PEER_PID=$!
    PEER_PIDS+=("$PEER_PID")
    wait_for_line "$WORK/$name.out" '^listening ' "$PEER_PID" "$PEER_START_SECONDS" \
        || die "$script did not start; see $WORK/$name.log"
    PEER_PORT=$(awk '/^listening /{print $2; exit}' "$WORK/$name.out")
}

# make_tree FOLDER FILES BYTES: FILES files of BYTES random bytes, 100 to a folder, ten folders to a parent.
make_tree() {
    python3 - "$@" <<'EOF'
import os, sys
root, count, size = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
for index in range(count):
    folder = os.path.join(root, f"d{index // 1000:03}", f"e{index // 100 % 10}")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, f"f{index % 100:02}.bin"), "wb") as file:
        file.write(os.urandom(size))
EOF
}

# curl_tree_config FOLDER ENDPOINT: a curl config with one tus creation per file of FOLDER,
# its bytes sent along and its metadata as tus-js-client sends it.
curl_tree_config() {
    python3 - "$@" <<'EOF'
import base64, os, sys
root, endpoint = sys.argv[1], sys.argv[2]
parent = os.path.dirname(root)
encode = lambda text: base64.b64encode(text.encode()).decode()
files = [os.path.join(folder, name) for folder, _, names in sorted(os.walk(root)) for name in sorted(names)]
for index, full in enumerate(files):
    relative = os.path.relpath(full, parent)
    # curl's "next" starts the options of another transfer.
    print("next" if index else "", f'url = "{endpoint}"', "output = /dev/null", "request = POST",
          f'data-binary = "@{full}"', sep="\n")
    for header in ("Tus-Resumable: 1.0.0", f"Upload-Length: {os.path.getsize(full)}",
                   f"Upload-Metadata: filename {encode(os.path.basename(full))},relativePath {encode(relative)}",
                   "Content-Type: application/offset+octet-stream", "Expect:"):
        print(f'header = "{header}"')
EOF
}

prepare_transfers() {
    ensure_node_packages
    log "making a $BIG_MIB MiB file and a tree of $TREE_FILES files"
    mkdir -p "$WORK/store" "$WORK/paused-store" "$WORK/served"
    head -c "$((BIG_MIB * 1024 * 1024))" /dev/urandom >"$WORK/served/big.bin" || die "cannot write $WORK/served/big.bin"
    make_tree "$WORK/tree" "$TREE_FILES" "$TREE_FILE_BYTES"
    local size
    for size in "${QUEUE_SIZES[@]}"; do
        make_tree "$WORK/queue-$size" "$size" 1
    done
    start_peer tus tus-server.mjs "$WORK/store"
    TUS_PORT=$PEER_PORT
    curl_tree_config "$WORK/tree" "$(tus_origin "$TUS_PORT")/files/" >"$WORK/tree.curl"
    start_peer range range-server.mjs "$WORK/served"
    RANGE_PORT=$PEER_PORT
    local key="$BUILD_DIR/demo-portal/key.pem" cert="$BUILD_DIR/demo-portal/cert.pem"
    start_peer tus-tls tus-server.mjs "$WORK/store" 0 "$key" "$cert"
    TUS_TLS_PORT=$PEER_PORT
    start_peer range-tls range-server.mjs "$WORK/served" "$key" "$cert"
    RANGE_TLS_PORT=$PEER_PORT
    start_proxy
    # Accepts connections and never answers: what the agent queues stays queued.
    start_peer paused-tus tus-server.mjs "$WORK/paused-store"
    PAUSED_TUS_PORT=$PEER_PORT
    PAUSED_TUS_PID=$PEER_PID
    kill -STOP "$PAUSED_TUS_PID"
}

# start_proxy: tinyproxy on a free port, wanting PROXY_LOGIN; sets PROXY_ADDRESS.
start_proxy() {
    local port
    port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    printf 'Port %s\nListen 127.0.0.1\nTimeout 600\nMaxClients 50\nLogFile "%s"\nBasicAuth %s\n' \
        "$port" "$WORK/proxy.log" "${PROXY_LOGIN/:/ }" >"$WORK/proxy.conf"
    tinyproxy -d -c "$WORK/proxy.conf" >/dev/null 2>&1 &
    PEER_PIDS+=("$!")
    PROXY_ADDRESS="http://127.0.0.1:$port"
    local tenths
    for ((tenths = 0; tenths < PEER_START_SECONDS * 10; tenths++)); do
        curl -s -o /dev/null "$PROXY_ADDRESS" && return 0
        sleep 0.1
    done
    die "tinyproxy did not start"
}

tus_origin() { printf 'http://127.0.0.1:%s\n' "$1"; }

# A ROUTE is how a contender reaches the peers: http, https, or proxy (plain HTTP through
# the proxy, to an address that Qt Network does not count as loopback and so sends through it).
# route_origin ROUTE PORT TLS_PORT
route_origin() {
    case $1 in
    http) printf 'http://127.0.0.1:%s\n' "$2" ;;
    https) printf 'https://127.0.0.1:%s\n' "$3" ;;
    proxy) printf 'http://0.0.0.0:%s\n' "$2" ;;
    esac
}

# route_curl ROUTE: curl's options for it.
route_curl() {
    case $1 in
    https) printf '%s\n' --cacert "$CA_FILE" ;;
    proxy) printf '%s\n' -x "$PROXY_ADDRESS" --proxy-user "$PROXY_LOGIN" --proxy-basic ;;
    esac
}
empty_store() { find "$WORK/store" -mindepth 1 -delete; }

# now_ms: wall-clock milliseconds, for timing the command-line contenders.
now_ms() { printf '%s\n' "$(($(date +%s%N) / 1000000))"; }

# proc_kb PID FIELD: a field of /proc/PID/status in KiB.
proc_kb() { awk -v field="$2:" '$1 == field { print $2 }' "/proc/$1/status"; }

# agent_run ROUTE DRIVE_COMMAND PATH DRIVE_ARGUMENTS...: a new bench-agent in a new profile,
# PATH handed over, driven once; prints the driver's lines, then the resident memory it had
# idle and how far its peak rose above that (VmHWM, kept by the kernel). The page's origin is
# the portal loaded. The profile trusts
# the test authority as a company's, and the proxy route sets http_proxy and the login.
agent_run() {
    local route=$1 command=$2 path=$3
    shift 3
    local profile output shell pid port device idle proxy=()
    profile=$(new_profile "agent-$RANDOM$RANDOM")
    output="$profile/agent.out"
    # bench-agent's data folder is named after the program.
    mkdir -p "$profile/.local/share/bench-agent"
    cp "$CA_FILE" "$profile/.local/share/bench-agent/CompanyCAs.pem"
    [ "$route" = proxy ] && proxy=(http_proxy="$PROXY_ADDRESS" BENCH_PROXY_LOGIN="$PROXY_LOGIN")
    # The driver's first argument is the origin of the page it plays.
    in_profile "$profile" env BENCH_PORTAL_ORIGIN="$1" "${proxy[@]}" "$BENCH/bench-agent" "$path" >"$output" \
        2>"$profile/agent.log" &
    shell=$!
    if ! wait_for_line "$output" '^port ' "$shell" "$PEER_START_SECONDS"; then
        kill "$shell" 2>/dev/null
        log "bench-agent did not start; see $profile/agent.log"
        return 1
    fi
    # The program's own process, not the shell that started it.
    read -r _ port _ device _ pid <"$output"
    idle=$(proc_kb "$pid" VmRSS)
    node "$DRIVE" "$command" "$port" "$device" "$@" || {
        kill "$pid" 2>/dev/null
        wait "$shell" 2>/dev/null
        return 1
    }
    printf 'idle_kb %s\ngrowth_kb %s\n' "$idle" "$(($(proc_kb "$pid" VmHWM) - idle))"
    kill "$pid" 2>/dev/null
    wait "$shell" 2>/dev/null
    rm -rf "$profile"
}

# upload_agent ROUTE
upload_agent() {
    empty_store
    local origin
    origin=$(route_origin "$1" "$TUS_PORT" "$TUS_TLS_PORT")
    agent_run "$1" upload "$WORK/served/big.bin" "$origin" "$WORK/served/big.bin" "$origin/files/"
}

# upload_curl ROUTE: the tus creation, then one PATCH streaming the whole file.
upload_curl() {
    empty_store
    local started location options
    mapfile -t options < <(route_curl "$1")
    started=$(now_ms)
    location=$(curl -sS "${options[@]}" -o /dev/null -D - -X POST -H 'Tus-Resumable: 1.0.0' \
        -H "Upload-Length: $((BIG_MIB * 1024 * 1024))" -H 'Upload-Metadata: filename YmlnLmJpbg==' \
        "$(route_origin "$1" "$TUS_PORT" "$TUS_TLS_PORT")/files/" | awk 'tolower($1) == "location:" { print $2 }' \
        | tr -d '\r')
    [ -n "$location" ] || return 1
    curl -sSf "${options[@]}" -o /dev/null -X PATCH -H 'Tus-Resumable: 1.0.0' -H 'Upload-Offset: 0' -H 'Expect:' \
        -H 'Content-Type: application/offset+octet-stream' -T "$WORK/served/big.bin" "$location" || return 1
    printf 'wall_ms %s\n' "$(($(now_ms) - started))"
}

upload_tus_js() {
    empty_store
    node "$NODE_PEERS/tus-tree-upload.mjs" "$(tus_origin "$TUS_PORT")/files/" "$WORK/served/big.bin" 1
}

# download_agent ROUTE
download_agent() {
    local origin
    origin=$(route_origin "$1" "$RANGE_PORT" "$RANGE_TLS_PORT")
    agent_run "$1" download "$WORK/served" "$origin" "$origin/big.bin"
}

# download_curl ROUTE: curl -o's time, and its time with the file then written out (fsync), as
# the agent writes a download out before it calls it done.
download_curl() {
    local started options
    mapfile -t options < <(route_curl "$1")
    started=$(now_ms)
    curl -sSf "${options[@]}" -o "$WORK/downloaded.bin" "$(route_origin "$1" "$RANGE_PORT" "$RANGE_TLS_PORT")/big.bin" \
        || return 1
    printf 'wall_ms %s\n' "$(($(now_ms) - started))"
    sync "$WORK/downloaded.bin" || return 1
    printf 'synced_ms %s\n' "$(($(now_ms) - started))"
    rm -f "$WORK/downloaded.bin"
}

tree_agent() {
    empty_store
    agent_run http upload "$WORK/tree" "$(tus_origin "$TUS_PORT")" "$WORK/tree" "$(tus_origin "$TUS_PORT")/files/"
}

# What the server manages: one curl sending every file of the tree, TREE_CONNECTIONS at once.
tree_curl() {
    empty_store
    local started
    started=$(now_ms)
    curl -sS --no-progress-meter --fail --parallel --parallel-max "$TREE_CONNECTIONS" -K "$WORK/tree.curl" || return 1
    printf 'wall_ms %s\n' "$(($(now_ms) - started))"
    [ "$(find "$WORK/store" -name '*.json' | wc -l)" -eq "$TREE_FILES" ] || return 1
}

tree_tus_js() {
    empty_store
    node "$NODE_PEERS/tus-tree-upload.mjs" "$(tus_origin "$TUS_PORT")/files/" "$WORK/tree" 4
}

# Rounds over every size, the first one dropped as a warm-up, as for the saved servers.
measure_queue() {
    log "measuring queued transfers: $RUNS rounds over ${QUEUE_SIZES[*]} files"
    local round size output
    for ((round = 0; round <= RUNS; round++)); do
        for size in "${QUEUE_SIZES[@]}"; do
            output=$(agent_run http queue "$WORK/queue-$size" "$(tus_origin "$PAUSED_TUS_PORT")" "$WORK/queue-$size" \
                "$(tus_origin "$PAUSED_TUS_PORT")/files/") || die "queueing $size files failed"
            [ "$round" -gt 0 ] && record "queue.$size" <<<"$output"
        done
    done
}

measure_transfers() {
    prepare_transfers
    compare upload "upload_agent http" "upload_curl http" upload_tus_js
    compare upload-tls "upload_agent https" "upload_curl https"
    compare upload-proxy "upload_agent proxy" "upload_curl proxy"
    compare download "download_agent http" "download_curl http"
    compare download-tls "download_agent https" "download_curl https"
    compare tree tree_agent tree_tus_js tree_curl
    measure_queue
    stop_transfer_peers
    rm -rf "$WORK/served" "$WORK/store" "$WORK/tree" "$WORK"/queue-*
}

# ---- rows ---------------------------------------------------------------------------------

# seconds_cell SAMPLES: "<s> s, <MiB/s> MiB/s" for the big file.
seconds_cell() {
    local ms
    ms=$(median "$1.wall_ms")
    printf '%s s, %s MiB/s\n' "$(calc "$ms / 1000" '%.2f')" "$(calc "$BIG_MIB * 1000 / $ms" '%.0f')"
}

# files_per_second SAMPLES
files_per_second() { calc "$TREE_FILES * 1000 / $(median "$1.wall_ms")" '%.0f'; }

# time_row METRIC AGENT BASELINE NAME LIMIT [GOAL]: the agent's time against a baseline's,
# <= LIMIT; GOAL, when given, replaces that judgement.
time_row() {
    local ratio goal=${6:-}
    ratio=$(calc "$(median "$2.wall_ms") / $(median "$3.wall_ms")" '%.2f')
    [ -n "$goal" ] || goal="<= ${5}x: $(verdict "$ratio" "$5" "$(margin "$2.wall_ms" "$3.wall_ms")")"
    row "$1" "$(seconds_cell "$2")" "$(seconds_cell "$3") ($4)" "${ratio}x" "$goal"
}

memory_row() {
    local growth
    growth=$(calc "$(median "$2.growth_kb") / 1024")
    row "$1" "+$growth MiB" "$(calc "$(median "$2.idle_kb") / 1024") MiB (idle)" "" \
        "<= +$MEMORY_LIMIT_MIB MiB: $(verdict "$growth" "$MEMORY_LIMIT_MIB" "$(margin "$2.growth_kb")")"
}

queue_rows() {
    local key=$1 label=$2 size time fixed small=${QUEUE_SIZES[-2]} big=${QUEUE_SIZES[-1]} goal
    fixed=$(median "queue.${QUEUE_SIZES[0]}.$key")
    for size in "${QUEUE_SIZES[@]:1}"; do
        time=$(median "queue.$size.$key")
        goal=
        [ "$size" -eq "$big" ] && goal=$(linearity "$fixed" "$small" "$(median "queue.$small.$key")" "$big" "$time")
        row "$label, $size files" "$(calc "$time" '%.2f') ms" "$(calc "$fixed" '%.2f') ms (1 file)" \
            "$(per_item "$time" "$fixed" "$((size - 1))" file 1000)" "$goal"
    done
}

# The tree against tus-js-client, TREE_FACTOR times its files/s; unless the server's limit (curl,
# TREE_CONNECTIONS at once) is below that: then the agent is judged by its share of that limit.
tree_rows() {
    local ratio share factor_goal share_goal= server_bound
    ratio=$(calc "$(median tree.b.wall_ms) / $(median tree.a.wall_ms)" '%.2f')
    share=$(calc "$(median tree.c.wall_ms) / $(median tree.a.wall_ms)" '%.2f')
    server_bound=$(calc "($(median tree.b.wall_ms) / $(median tree.c.wall_ms) < $TREE_FACTOR)" '%d')
    if [ "$server_bound" -eq 1 ]; then
        factor_goal="server-bound: see the next row"
        share_goal=">= $(calc "$TREE_SERVER_SHARE * 100" '%.0f')%: $(judge "$share" ">=" "$TREE_SERVER_SHARE" "$(margin tree.a.wall_ms tree.c.wall_ms)")"
    else
        factor_goal=">= ${TREE_FACTOR}x: $(judge "$ratio" ">=" "$TREE_FACTOR" "$(margin tree.a.wall_ms tree.b.wall_ms)")"
    fi
    row "upload $TREE_FILES files of 4 KiB" "$(files_per_second tree.a) files/s" \
        "$(files_per_second tree.b) files/s (tus-js-client, 4 at once)" "${ratio}x" "$factor_goal"
    row "server limit, $TREE_FILES files of 4 KiB" "$(files_per_second tree.a) files/s" \
        "$(files_per_second tree.c) files/s (curl, $TREE_CONNECTIONS at once)" "$(calc "$share * 100" '%.0f')%" \
        "$share_goal"
}

# The big upload against tus-js-client, TUS_JS_LIMIT times its time; unless curl's one stream
# is slower than that too: @tus/server takes a file as one stream (it offers no concatenation),
# so curl's time is the server's limit and the agent is judged against curl in the row before.
tus_js_row() {
    local curl_ratio goal=
    curl_ratio=$(calc "$(median upload.b.wall_ms) / $(median upload.c.wall_ms)" '%.2f')
    if [ "$(calc "($curl_ratio > $TUS_JS_LIMIT)" '%d')" -eq 1 ]; then
        goal="server-bound: curl at ${curl_ratio}x, see the row before"
    fi
    time_row "upload $BIG_MIB MiB" upload.a upload.c tus-js-client "$TUS_JS_LIMIT" "$goal"
}

# download_row METRIC AGENT BASELINE NAME: the download against curl -o, DOWNLOAD_LIMIT times its
# time; unless curl -o with the file then written out is slower than that: the agent calls a
# download done only once the file is on the disk, so the disk is then the limit and the agent
# is judged against curl with the same write-out (which curl leaves to the end, where the agent
# starts it as the bytes come).
download_row() {
    local ratio goal=
    if [ "$(calc "($(median "$3.synced_ms") / $(median "$3.wall_ms") > $DOWNLOAD_LIMIT)" '%d')" -eq 1 ]; then
        ratio=$(calc "$(median "$2.wall_ms") / $(median "$3.synced_ms")" '%.2f')
        goal="disk-bound: ${ratio}x curl -o + fsync ($(calc "$(median "$3.synced_ms") / 1000" '%.2f') s), <= ${DOWNLOAD_LIMIT}x: $(verdict "$ratio" "$DOWNLOAD_LIMIT" "$(margin "$2.wall_ms" "$3.synced_ms")")"
    fi
    time_row "$1" "$2" "$3" "$4" "$DOWNLOAD_LIMIT" "$goal"
}

print_transfer_rows() {
    local list_ms
    time_row "upload $BIG_MIB MiB" upload.a upload.b curl "$UPLOAD_LIMIT"
    tus_js_row
    time_row "upload $BIG_MIB MiB, HTTPS" upload-tls.a upload-tls.b "curl, HTTPS" "$UPLOAD_LIMIT"
    time_row "upload $BIG_MIB MiB through a proxy" upload-proxy.a upload-proxy.b "curl, same proxy" "$PROXY_LIMIT"
    download_row "download $BIG_MIB MiB" download.a download.b "curl -o"
    download_row "download $BIG_MIB MiB, HTTPS" download-tls.a download-tls.b "curl -o, HTTPS"
    tree_rows
    memory_row "memory, upload $BIG_MIB MiB" upload.a
    memory_row "memory, upload $TREE_FILES files" tree.a
    queue_rows queue_ms "queue a folder (listing)"
    queue_rows list_ms "GET /transfers"
    queue_rows snapshot_ms "event stream snapshot"
    list_ms=$(median "queue.${QUEUE_SIZES[-1]}.list_ms")
    row "GET /transfers, ${QUEUE_SIZES[-1]} files" "$(calc "$list_ms" '%.2f') ms" "" "" \
        "<= $LIST_LIMIT_MS ms: $(verdict "$list_ms" "$LIST_LIMIT_MS" "$(margin "queue.${QUEUE_SIZES[-1]}.list_ms")")"
}
