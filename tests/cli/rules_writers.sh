# Every file parvex writes follows one set of rules, whichever command writes
# it: only a regular file or a symbolic link is replaced (the link itself,
# never its target); a FIFO or a folder at the name is refused at once; no
# input is ever the output; the output takes the source's permission bits;
# a file it replaces stays whole until the new one is complete, and after a
# failure or Ctrl-C the data stays in NAME.part.
#
# The table: one function per writer. `w_X DIR [ARGS...]` sets up the
# writer's sources in DIR, runs the command with ARGS added (-y, -n) and
# leaves the status in $rc; `target_X DIR` names the file it writes.
#   rules_writers.sh PARVEX HAS_STUB
source "$(dirname "$0")/lib.sh" "$1"
umask 022

random_file data.bin 100000
chmod 600 data.bin
run cut -s 40K -d ref data.bin      # what each piece and the list must hold
expect_rc 0
cp -r ref set && chmod 600 set/*
echo victim >victim.txt

w_cut() { cp -p data.bin "$1/"; run cut -s 40K "${@:2}" "$1/data.bin"; }
target_cut() { echo "$1/data.c01"; }
w_stream() { IN=data.bin run cut - --name data.bin -s 40K -d "$1" "${@:2}"; }
target_stream() { echo "$1/data.c01"; }
w_list() { cp -p data.bin "$1/"; run cut -s 40K "${@:2}" "$1/data.bin"; }
target_list() { echo "$1/data.sha256"; }
w_join() { run join -d "$1" "${@:2}" set/data.c00; }
target_join() { echo "$1/data.bin"; }
w_join_o() { run join -o "$1/out.bin" "${@:2}" set/data.c00; }
target_join_o() { echo "$1/out.bin"; }
# The .part files: one left by an earlier run is replaced without a question.
w_join_part() { w_join "$@"; }
target_join_part() { echo "$1/data.bin.part"; }
w_cut_part() { w_cut "$@"; }
target_cut_part() { echo "$1/data.c01.part"; }

writers=(cut stream list join join_o join_part cut_part)

# What the writer's target must hold once it is written.
expected() {
  case $1 in
    cut | stream) echo ref/data.c01 ;;
    list) echo ref/data.sha256 ;;
    join | join_o) echo data.bin ;;
  esac
}

n=0
for w in "${writers[@]}"; do
  # ---- a regular file at the name ----------------------------------------
  n=$((n + 1)); d=d$n; mkdir "$d"; t=$(target_"$w" "$d")
  echo old >"$t"
  "w_$w" "$d"
  case $w in
    *_part)
      expect_rc 0
      expect_absent "$t" ;;   # replaced, completed and renamed
    *)
      expect_rc 1
      expect_text "$t" old
      expect_absent "$t.part"
      n=$((n + 1)); d=d$n; mkdir "$d"; t=$(target_"$w" "$d")
      echo old >"$t"
      "w_$w" "$d" -y
      expect_rc 0
      expect_same "$(expected "$w")" "$t" ;;
  esac

  # ---- a symbolic link at the name: the link is replaced, never its target
  n=$((n + 1)); d=d$n; mkdir "$d"; t=$(target_"$w" "$d")
  ln -s ../victim.txt "$t"
  "w_$w" "$d" -y
  expect_rc 0
  expect_text victim.txt victim
  [ "$(cat victim.txt)" = victim ] || fail "$w: the link's target victim.txt was written"
  [ ! -L "$t" ] || fail "$w: the link $t is still there after -y"
  case $w in *_part) ;; *) expect_same "$(expected "$w")" "$t" ;; esac

  # ---- a FIFO and a folder at the name: refused, without blocking ------------
  for kind in fifo folder; do
    n=$((n + 1)); d=d$n; mkdir "$d"; t=$(target_"$w" "$d")
    if [ "$kind" = fifo ]; then mkfifo "$t"; else mkdir "$t"; fi
    start=$SECONDS
    ( "w_$w" "$d" -y; echo "$rc" >rc.txt ) &
    pid=$!
    reap "$pid" 10
    rc=$(cat rc.txt 2>/dev/null || echo none)
    [ "$rc" = 1 ] || fail "$w with a $kind at $t: status $rc, expected 1; stderr: $(head -c 300 err.txt)"
    if [ "$kind" = fifo ]; then
      [ -p "$t" ] || fail "$w: the FIFO $t was replaced"
    else
      [ -d "$t" ] || fail "$w: the folder $t was replaced"
    fi
  done

  # ---- the source's permission bits (umask 022) ------------------------------
  [ "$w" = stream ] && continue   # standard input has none
  n=$((n + 1)); d=d$n; mkdir "$d"; t=$(target_"$w" "$d")
  "w_$w" "$d"
  expect_rc 0
  case $w in
    *_part) t=${t%.part} ;;
  esac
  mode=$(stat -c %a "$t" 2>/dev/null)
  [ "$mode" = 600 ] || fail "$w: $t has mode ${mode:-missing}, not 600 like its source"
done

# ---- no input is ever the output ----------------------------------------------
mkdir in1 && cp data.bin in1/data.c01 && cp data.bin keep.bin
run cut -y -s 40K in1/data.c01            # its own piece 1
expect_rc 1
expect_same keep.bin in1/data.c01
for name in data.c01 data.c00 data.sha256 data.c01.part; do
  rm -rf in2 && mkdir in2 && cp data.bin "in2/$name"
  IN="in2/$name" run cut -y - --name data.bin -s 40K -d in2
  expect_rc 1
  cmp -s keep.bin "in2/$name" || fail "cut - read from in2/$name and wrote onto it"
done
cp set/data.sha256 list.keep
run join -y -o set/data.sha256 set/data.c00
expect_rc 1
expect_same list.keep set/data.sha256
mkdir in3 && cp set/data.sha256 in3/out.bin.part
run join -y -o in3/out.bin --checksum in3/out.bin.part set/data.c00
expect_rc 1
expect_same list.keep in3/out.bin.part
expect_absent in3/out.bin

# ---- the old file stays whole until the new one is complete ------------------
# A paused join over an existing output: at the prompt for disk 3 the old
# file is still there and whole; Ctrl-C leaves it so, the data in .part.
mkfifo feed
mkdir keep && echo old >keep/data.bin
"$PARVEX" join -y -p -d keep set/data.c00 <feed >out.txt 2>err.txt &
pid=$!
exec 3>feed
wait_for err.txt "Insert disk 1" && echo >&3
wait_for err.txt "Insert disk 2" && echo >&3
wait_for err.txt "Insert disk 3"
expect_text keep/data.bin old
kill -INT "$pid"
reap "$pid" 10
exec 3>&-
expect_rc 130
expect_text keep/data.bin old
[ -s keep/data.bin.part ] || fail "Ctrl-C during the join left no data in keep/data.bin.part"

# A paused cut over existing pieces and list: every one of them is the old
# file or the complete new one, never something in between.
mkdir keepcut && cp -p data.bin keepcut/
for f in data.c00 data.c01 data.c02 data.sha256; do echo old >"keepcut/$f"; done
"$PARVEX" cut -y -p -s 40K keepcut/data.bin <feed >out.txt 2>err.txt &
pid=$!
exec 3>feed
wait_for err.txt "Insert disk 1" && echo >&3
wait_for err.txt "Insert disk 2" && echo >&3
wait_for err.txt "Insert disk 3"
kill -INT "$pid"
reap "$pid" 10
exec 3>&-
expect_rc 130
echo old >old.txt
for f in data.c00 data.c01 data.c02 data.sha256; do
  cmp -s old.txt "keepcut/$f" || cmp -s "ref/$f" "keepcut/$f" ||
    fail "Ctrl-C during the cut left keepcut/$f neither old nor complete ($(stat -c %s "keepcut/$f") bytes)"
done
cmp -s old.txt keepcut/data.c02 || fail "the cut stopped at disk 3 replaced keepcut/data.c02"

finish
