# Sourced, not run: startSite <build-dir> <demo-folder> serves the kit's
# download site (<demo-folder>/site, written by tools/demo.sh) with
# qvl_http_site on a free loopback port and exports QVL_DOWNLOAD_BASE, so
# the program's version check reads the kit's own versions.json. SITE_PID
# holds the server's process (empty when none); the caller ends it. When the
# server cannot start the run goes on without it: the version check then
# cannot reach its site and says so in Log.txt.
startSite() {
  local build="$1" demo="$2" port= _
  SITE_PID=
  if [ ! -x "$build/tools/http_site/qvl_http_site" ] || [ ! -f "$demo/site/versions.json" ]; then
    echo "No download site for the demonstration: the version check will find no site." >&2
    return 0
  fi
  "$build/tools/http_site/qvl_http_site" "$demo/site" > "$demo/site.log" 2>&1 &
  SITE_PID=$!
  # The first line is the port, as soon as the server listens.
  for _ in $(seq 50); do
    port=$(head -n 1 "$demo/site.log" 2>/dev/null)
    [[ "$port" =~ ^[0-9]+$ ]] && break
    port=
    kill -0 "$SITE_PID" 2>/dev/null || break
    sleep 0.1
  done
  if [ -z "$port" ]; then
    echo "The demonstration's download site did not start ($(head -c 300 "$demo/site.log" 2>/dev/null));" \
      "the version check will find no site." >&2
    kill "$SITE_PID" 2>/dev/null || true
    SITE_PID=
    return 0
  fi
  export QVL_DOWNLOAD_BASE="http://127.0.0.1:$port/"
}
