-- wrk script: load a forward HTTP proxy with one request per connection.
--
--   wrk -t1 -c256 -d6s -s wrk-proxy.lua http://PROXY_HOST:PORT/ -- http://ORIGIN_HOST:PORT/1k.bin
--
-- wrk connects to the URL given to it (the proxy, or the origin for the direct
-- path); the URL after "--" is written on the request line in absolute form,
-- as a client configured with a proxy sends it.  "Connection: close" has the
-- server end each connection after its answer and wrk open a new one, so each
-- request pays a connect, as with ab's HTTP/1.0.
--
-- done() prints one line starting with "WRK " for bench.py to parse.

local target = "http://127.0.0.1/1k.bin"

function init(args)
   if args[1] then target = args[1] end
   wrk.path = target
   wrk.headers["Host"] = target:match("^%a+://([^/]+)")
   wrk.headers["Connection"] = "close"
end

function done(summary, latency, requests)
   local e = summary.errors
   io.write(string.format(
      "WRK requests=%d duration_us=%d bytes=%d err_connect=%d err_read=%d " ..
      "err_write=%d err_status=%d err_timeout=%d lat_mean_us=%.1f " ..
      "lat_p50_us=%d lat_p99_us=%d lat_max_us=%d\n",
      summary.requests, summary.duration, summary.bytes, e.connect, e.read,
      e.write, e.status, e.timeout, latency.mean, latency:percentile(50),
      latency:percentile(99), latency.max))
end
