# SPDX-License-Identifier: GPL-3.0-or-later
# Reads the JSON of core_bench (one key per line, as Google Benchmark writes it) and prints one
# table: time per element at each size (of the fastest round), peak memory at the largest size
# (of the round that needed most), and whether the time from 100,000 to 1,000,000 elements stays
# within 12 times (10 times the elements).
function unquote(s) { gsub(/^[ \t]*"|"[ \t]*,?[ \t]*$/, "", s); return s }
function number(s) { sub(/,[ \t]*$/, "", s); return s + 0 }
function flush() {
  if (name == "") return
  split(name, p, "/")
  key = p[1] "/" p[2]; n = p[3]
  if (!(key in seen)) { seen[key] = 1; order[++count] = key }
  scale = unit == "s" ? 1e9 : unit == "ms" ? 1e6 : unit == "us" ? 1e3 : 1
  if (aggregate == "min") {
    time[key, n] = real * scale        # ns per round
    elems[key, n] = elements
  }
  if (aggregate == "max") peak[key, n] = peakmb
  if (error) failed[key, n] = 1
  name = ""; error = 0; peakmb = 0; elements = 0; aggregate = ""
}
/^[ \t]*"name":/ { flush(); v = $0; sub(/^[^:]*:/, "", v); name = unquote(v) }
/^[ \t]*"real_time":/ { v = $0; sub(/^[^:]*:/, "", v); real = number(v) }
/^[ \t]*"time_unit":/ { v = $0; sub(/^[^:]*:/, "", v); unit = unquote(v) }
/^[ \t]*"elements":/ { v = $0; sub(/^[^:]*:/, "", v); elements = number(v) }
/^[ \t]*"peak_MB":/ { v = $0; sub(/^[^:]*:/, "", v); peakmb = number(v) }
/^[ \t]*"aggregate_name":/ { v = $0; sub(/^[^:]*:/, "", v); aggregate = unquote(v) }
/^[ \t]*"error_occurred": true/ { error = 1 }
# The GAMS checks run in every conversion, on its input: their time at 1,000,000 elements against
# the conversion's, which includes them. A check beside the conversion (on a second thread, as for
# large element text) takes its time from the other core; one before it adds its time.
function share(check, convert, what, beside,    c, v) {
  c = check SUBSEP 1000000; v = convert SUBSEP 1000000
  if (!(c in time) || !(v in time) || time[v] <= 0 || failed[c] || failed[v]) return
  if (beside)
    printf "GAMS checks of %s: %.0f ms beside a %.0f ms conversion, on a second thread\n",
           what, time[c] / 1e6, time[v] / 1e6
  else
    printf "GAMS checks of %s: %.0f ms of a %.0f ms conversion (%.1f%%; without them %.0f ms)\n",
           what, time[c] / 1e6, time[v] / 1e6, 100 * time[c] / time[v], (time[v] - time[c]) / 1e6
}
END {
  flush()
  printf "%-34s %11s %11s %11s %10s %9s %8s  %s\n", "path/shape", "ns/el 10k", "ns/el 100k",
         "ns/el 1M", "peak MB 1M", "B/el 1M", "1M/100k", "linear (<=12x)"
  misses = 0; measured = 0
  for (i = 1; i <= count; i++) {
    k = order[i]
    line = sprintf("%-34s", k)
    for (j = 1; j <= 3; j++) {
      n = j == 1 ? 10000 : j == 2 ? 100000 : 1000000
      if ((k SUBSEP n) in time && !failed[k, n] && elems[k, n] > 0)
        line = line sprintf(" %11.1f", time[k, n] / elems[k, n])
      else
        line = line sprintf(" %11s", "-")
    }
    big = k SUBSEP 1000000; mid = k SUBSEP 100000
    if ((big in time) && elems[big] > 0)
      line = line sprintf(" %10.1f %9.0f", peak[big], peak[big] * 1048576 / elems[big])
    else
      line = line sprintf(" %10s %9s", "-", "-")
    if ((big in time) && (mid in time) && time[mid] > 0 && !failed[big] && !failed[mid]) {
      r = time[big] / time[mid]
      ok = r <= 12
      measured++
      if (!ok) misses++
      line = line sprintf(" %8.2f  %s", r, ok ? "yes" : "NO")
    } else {
      line = line sprintf(" %8s  %s", "-", "not measured")
    }
    print line
  }
  print ""
  print "ns/el: the fastest round; peak MB: heap in use at the peak of a round above what was in"
  print "use before it, of the round that needed most;"
  print "for Convert* the converter process's peak resident memory. Copy/DeleteSubtree count"
  print "the elements of the subtree (a tenth of the tree)."
  for (si = 1; si <= 3; si++) {
    shape = si == 1 ? "balanced" : si == 2 ? "classification" : "lowercase"
    share("GamsCheckText/" shape, "ConvertTreeToPc/" shape, "element text (" shape ", .tree to .PC)", 1)
    share("GamsCheckPc/" shape, "ConvertPcToTree/" shape, "tuples (" shape ", .PC to .tree)", 0)
  }
  if (measured == 0) print "no path was measured at both 100k and 1M: linearity not checked"
  else if (misses > 0) printf "%d of %d paths miss the linearity target\n", misses, measured
  else printf "all %d paths measured at 100k and 1M meet the linearity target\n", measured
}
