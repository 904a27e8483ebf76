# Helpers of the whole-process benchmarks (sourced; $root is the source tree, $cli the program).

# need COMMAND:PACKAGE...: install the Debian packages whose commands are missing (with sudo
# unless root), then build lutwright-cli when $cli is not there.
need() {
  local missing=() pair
  for pair in "$@"; do
    command -v "${pair%%:*}" > /dev/null || missing+=("${pair#*:}")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
  if [ ! -x "$cli" ]; then
    cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release > /dev/null
    cmake --build "$root/build" -j2 --target lutwright-cli
  fi
}

# A graded N-point .cube, red fastest: saturation, channel cross-talk and a curve per channel.
make_cube() {
  awk -v N="$1" 'BEGIN {
    print "TITLE \"bench\""; print "LUT_3D_SIZE " N;
    for (b = 0; b < N; b++) for (g = 0; g < N; g++) for (r = 0; r < N; r++) {
      R = r/(N-1); G = g/(N-1); B = b/(N-1);
      L = 0.2126*R + 0.7152*G + 0.0722*B;
      R2 = L + (R-L)*1.3; G2 = L + (G-L)*1.3; B2 = L + (B-L)*1.3;
      o1 = 0.9*R2 + 0.08*G2 + 0.02*B2; o2 = 0.05*R2 + 0.9*G2 + 0.05*B2; o3 = 0.02*R2 + 0.13*G2 + 0.85*B2;
      if (o1 < 0) o1 = 0; if (o1 > 1) o1 = 1; if (o2 < 0) o2 = 0; if (o2 > 1) o2 = 1; if (o3 < 0) o3 = 0; if (o3 > 1) o3 = 1;
      o1 = o1*o1*(3-2*o1); o2 = o2^0.9; o3 = sqrt(o3)*0.3 + o3*0.7;
      printf "%.6f %.6f %.6f\n", o1, o2, o3;
    }
  }'
}

# A photograph-like 6000 x 4000 test image: smooth gradients with fine texture, as binary PPM.
make_photo() {
  python3 - "$1" <<'EOF'
import sys
w, h = 6000, 4000
with open(sys.argv[1], "wb") as out:
    out.write(b"P6\n%d %d\n255\n" % (w, h))
    rx = bytes((x * 255 // (w - 1)) for x in range(w))
    for y in range(h):
        row = bytearray(w * 3)
        row[0::3] = rx
        row[1::3] = bytes([(y * 255 // (h - 1)) ^ (y % 7)]) * w
        row[2::3] = bytes(((x * 7 + y * 3 + (x * y) % 17) & 255) for x in range(w))
        out.write(row)
EOF
}

# Mean seconds of command i (0-based) in a hyperfine JSON export.
mean() {
  python3 -c 'import json,sys; print("%.4f" % json.load(open(sys.argv[1]))["results"][int(sys.argv[2])]["mean"])' "$1" "$2"
}


# Peak resident memory of a command, in KB.
peak_kb() {
  /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }'
}
