#!/usr/bin/env python3
"""Power-cut check of the patch job, --restore and recovery.

Runs korvel-patch on sample games under strace, recording every file and folder operation in the
game's folder (the engines' included), and rebuilds the states a power cut after each operation
may leave there:

  * a file's data is durable only after a flush of that file; before it, the file may hold its
    durable data ("as it was"), nothing ("missing") or its new data cut short, or the new data;
  * a folder's created, renamed, linked or removed names are durable only after a flush of that
    folder; before it, any subset of them may have landed, in any order (a rename is atomic).

For each state it runs the recovery (the next ordinary run on the game, and --restore) and checks
that JAR and JAD are the original pair or an adapted pair, whole and matching, that a kept backup
is a copy of the original, and that nothing else is left beside the game. A power cut during the
recovery that follows a power cut is checked the same way, for every state that leaves a journal.

Usage: PowerCut.py PROGRAM_DIR CORPUS_DIR   (PROGRAM_DIR holds korvel-patch and the engines)
Exit status 0 when no state loses or mismatches a game; the states checked are counted.
"""

import concurrent.futures
import hashlib
import io
import itertools
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

TRACED = ("open,openat,creat,write,pwrite64,writev,pwritev,ftruncate,rename,renameat,renameat2,"
          "link,linkat,unlink,unlinkat,fsync,fdatasync,close,copy_file_range,sendfile,dup,dup2,"
          "dup3")
INJECTED = "com/quillmoss/fullscreen/FullCn.class"


# --- Reading the trace --------------------------------------------------------------------------

def unhex(text):
    return re.sub(rb"\\x([0-9a-f]{2})", lambda m: bytes([int(m.group(1), 16)]),
                  text.encode()).decode("utf-8", "surrogateescape")


def split_args(text):
    """The top-level arguments of a call, as strace prints them."""
    args, depth, start, quoted = [], 0, 0, False
    for i, c in enumerate(text):
        if c == '"':
            quoted = not quoted
        elif quoted:
            continue
        elif c in "[{(<":
            depth += 1
        elif c in "]})>":
            depth -= 1
        elif c == "," and depth == 0:
            args.append(text[start:i].strip())
            start = i + 1
    if text[start:].strip():
        args.append(text[start:].strip())
    return args


def fd_of(arg):
    """fd number and path of an argument such as 3</dir/file>."""
    m = re.match(r"(-?\d+|AT_FDCWD)(?:<(.*)>)?$", arg)
    if not m:
        return None, None
    return m.group(1), unhex(m.group(2)) if m.group(2) is not None else None


def string_of(arg):
    m = re.match(r'"(.*)"', arg)
    return unhex(m.group(1)).encode("utf-8", "surrogateescape") if m else b""


def read_trace(path):
    """(name, args, result) of every completed call, in order."""
    calls, pending = [], {}
    line_re = re.compile(r"^(\d+)\s+(.*)$")
    with open(path) as trace:
        for raw in trace:
            m = line_re.match(raw.rstrip("\n"))
            if not m:
                continue
            pid, rest = m.groups()
            if rest.endswith("<unfinished ...>"):
                pending[pid] = rest[: -len("<unfinished ...>")].rstrip()
                continue
            resumed = re.match(r"<\.\.\. (\w+) resumed>(.*)$", rest)
            if resumed:
                rest = pending.pop(pid, "") + resumed.group(2)
            call = re.match(r"^(\w+)\((.*)\)\s+=\s+(.*)$", rest)
            if not call:
                continue
            name, args, result = call.groups()
            calls.append((name, split_args(args), result))
    return calls


# --- The model of the game's folder -------------------------------------------------------------

class Inode:
    def __init__(self, content=b"", durable=None):
        self.content = content  # what the file holds now
        self.durable = durable  # what a power cut keeps for sure; None: nothing yet


class Folder:
    """The game's folder: names, their durable state, and the changes not yet flushed."""

    def __init__(self, path):
        self.path = path
        self.inodes = {}
        self.entries = {}
        for name in sorted(os.listdir(path)):
            with open(os.path.join(path, name), "rb") as f:
                data = f.read()
            ino = len(self.inodes)
            self.inodes[ino] = Inode(data, data)
            self.entries[name] = ino
        self.durable = dict(self.entries)
        self.pending = []  # ("link", name, ino) / ("unlink", name) / ("rename", old, new, ino)
        self.fds = {}  # fd number -> [inode or "dir", offset]

    def name(self, path):
        """The name in this folder of `path`, or None for a path elsewhere."""
        if path is None:
            return None
        if os.path.dirname(path) != self.path:
            return None
        return os.path.basename(path)

    def snapshot(self):
        return (dict(self.durable), list(self.pending),
                {ino: (i.content, i.durable) for ino, i in self.inodes.items()})

    def apply(self, name, args, result):
        ok = not result.startswith("-1")
        if not ok:
            return False
        ret_fd, ret_path = fd_of(result.split(" ")[0]) if result[0].isdigit() else (None, None)
        if name in ("open", "openat", "creat"):
            flags = args[2] if name == "openat" else (args[1] if name == "open" else "O_CREAT|O_TRUNC")
            entry = self.name(ret_path)
            if entry is None:
                return False
            if entry not in self.entries:
                ino = len(self.inodes)
                self.inodes[ino] = Inode()
                self.entries[entry] = ino
                self.pending.append(("link", entry, ino))
            ino = self.entries[entry]
            if "O_TRUNC" in flags and self.inodes[ino].content:
                self.inodes[ino].content = b""
            self.fds[ret_fd] = [ino, 0]
            return True
        if name in ("write", "pwrite64"):
            fd, path = fd_of(args[0])
            return self.write(fd, path, string_of(args[1]),
                              int(args[3]) if name == "pwrite64" else None)
        if name in ("writev", "pwritev"):
            fd, path = fd_of(args[0])
            data = b"".join(string_of(part) for part in
                            re.findall(r'iov_base=("[^"]*")', args[1]))
            return self.write(fd, path, data, int(args[3]) if name == "pwritev" else None)
        if name == "ftruncate":
            fd, path = fd_of(args[0])
            if self.name(path) is None or fd not in self.fds:
                return False
            ino = self.fds[fd][0]
            size = int(args[1])
            content = self.inodes[ino].content
            self.inodes[ino].content = content[:size] + b"\0" * max(0, size - len(content))
            return True
        if name in ("fsync", "fdatasync"):
            fd, path = fd_of(args[0])
            if path == self.path:
                self.durable = dict(self.entries)
                self.pending = []
                return True
            if self.name(path) is None or fd not in self.fds:
                return False
            inode = self.inodes[self.fds[fd][0]]
            inode.durable = inode.content
            return True
        if name in ("rename", "renameat", "renameat2"):
            old, new = (args[0], args[1]) if name == "rename" else (args[1], args[3])
            old_name = self.name(self.resolve(args, name, 0))
            new_name = self.name(self.resolve(args, name, 1))
            if old_name is None or new_name is None or old_name not in self.entries:
                return False
            ino = self.entries.pop(old_name)
            self.entries[new_name] = ino
            self.pending.append(("rename", old_name, new_name, ino))
            return True
        if name in ("link", "linkat"):
            old_name = self.name(self.resolve(args, name, 0))
            new_name = self.name(self.resolve(args, name, 1))
            if old_name is None or new_name is None or old_name not in self.entries:
                return False
            ino = self.entries[old_name]
            self.entries[new_name] = ino
            self.pending.append(("link", new_name, ino))
            return True
        if name in ("unlink", "unlinkat"):
            entry = self.name(self.resolve(args, name, 0))
            if entry is None or entry not in self.entries:
                return False
            del self.entries[entry]
            self.pending.append(("unlink", entry))
            return True
        if name in ("copy_file_range", "sendfile"):
            if name == "copy_file_range":
                fd_in, path_in = fd_of(args[0])
                fd_out, path_out = fd_of(args[2])
            else:
                fd_out, path_out = fd_of(args[0])
                fd_in, path_in = fd_of(args[1])
            count = int(result)
            if self.name(path_out) is None or fd_out not in self.fds:
                return False
            if self.name(path_in) is not None and fd_in in self.fds:
                source_ino, source_offset = self.fds[fd_in]
                data = self.inodes[source_ino].content[source_offset:source_offset + count]
                self.fds[fd_in][1] += count
            else:
                with open(path_in, "rb") as f:
                    data = f.read()[:count]
            return self.write(fd_out, path_out, data, None)
        if name == "close":
            fd, _ = fd_of(args[0])
            self.fds.pop(fd, None)
            return False
        if name in ("dup", "dup2", "dup3"):
            fd, _ = fd_of(args[0])
            if fd in self.fds:
                self.fds[ret_fd] = self.fds[fd]
            return False
        return False

    def resolve(self, args, name, which):
        """The path of a call's `which`th path argument."""
        if name in ("rename", "link", "unlink"):
            return self.absolute(None, string_of(args[which]).decode("utf-8", "surrogateescape"))
        dirfd, dirpath = fd_of(args[2 * which])
        return self.absolute(dirpath, string_of(args[2 * which + 1]).decode("utf-8",
                                                                             "surrogateescape"))

    def absolute(self, dirpath, path):
        if os.path.isabs(path):
            return os.path.normpath(path)
        return os.path.normpath(os.path.join(dirpath or self.path, path))

    def write(self, fd, path, data, offset):
        if self.name(path) is None or fd not in self.fds:
            return False
        ino, position = self.fds[fd]
        at = position if offset is None else offset
        content = self.inodes[ino].content
        content = content[:at] + b"\0" * max(0, at - len(content)) + data + content[at + len(data):]
        self.inodes[ino].content = content
        if offset is None:
            self.fds[fd][1] = at + len(data)
        return True


def record(program, folder, args, recovery_only=False):
    """Runs korvel-patch `args` in `folder` under strace; the folder's snapshots before the run
    and after each operation on it. With `recovery_only`, only as far as the run's recovery goes:
    up to the first file the run itself makes."""
    trace = os.path.join(os.path.dirname(folder), "trace")
    model = Folder(folder)
    subprocess.run(["strace", "-f", "-qq", "-y", "-xx", "-s", "1000000000", "-e",
                    "trace=" + TRACED, "-o", trace, os.path.join(program, "korvel-patch")] + args,
                   cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False,
                   env=environment(program))
    snapshots = [model.snapshot()]
    for name, call_args, result in read_trace(trace):
        if model.apply(name, call_args, result):
            if recovery_only and any(change[0] == "link" for change in model.pending):
                break
            snapshots.append(model.snapshot())
    os.remove(trace)
    return snapshots


def environment(program):
    """The environment korvel-patch runs in: with the program folder's no-links.so preloaded,
    when there is one, the file system keeps no second names (as FAT)."""
    env = dict(os.environ)
    shim = os.path.join(program, "no-links.so")
    if os.path.exists(shim):
        env["LD_PRELOAD"] = shim
    return env


# --- Crash states -------------------------------------------------------------------------------

def landed(durable, pending):
    """Every name map that some subset of the pending changes, landed in any order, can give."""
    seen, results, frontier = set(), {}, [(frozenset(), tuple(sorted(durable.items())))]
    while frontier:
        applied, entries = frontier.pop()
        if (applied, entries) in seen:
            continue
        seen.add((applied, entries))
        results[entries] = True
        for index, change in enumerate(pending):
            if index in applied:
                continue
            names = dict(entries)
            if change[0] == "link":
                names[change[1]] = change[2]
            elif change[0] == "unlink":
                names.pop(change[1], None)
            else:
                _, old, new, ino = change
                if names.get(old) == ino:
                    del names[old]
                names[new] = ino
            frontier.append((applied | {index}, tuple(sorted(names.items()))))
    return [dict(entries) for entries in results]


def data_variants(content, durable):
    """What a power cut may leave of a file's data."""
    if content == durable:
        return [content]
    variants = {content, b"", content[: len(content) // 2]}
    if durable is not None:
        variants.add(durable)
    return sorted(variants)


def crash_states(snapshots):
    """The distinct folder contents (name -> bytes) a power cut at any point may leave."""
    states = {}
    for durable, pending, inodes in snapshots:
        for names in landed(durable, pending):
            files = sorted(names.items())
            choices = [data_variants(*inodes[ino]) for _, ino in files]
            for contents in itertools.product(*choices):
                state = tuple((name, data) for (name, _), data in zip(files, contents))
                key = hashlib.sha256(repr(state).encode()).hexdigest()
                states.setdefault(key, dict(state))
    return list(states.values())


# --- Checks -------------------------------------------------------------------------------------

class Game:
    def __init__(self, corpus, folder, jar, jad, stem=None):
        """A sample game; with `stem`, under that name instead of its own."""
        self.jar_name = (stem + ".jar") if stem else jar
        self.jad_name = os.path.splitext(self.jar_name)[0] + ".jad"
        with open(os.path.join(corpus, folder, jar), "rb") as f:
            self.jar = f.read()
        self.jad = None
        if jad:
            with open(os.path.join(corpus, folder, jad), "rb") as f:
                self.jad = f.read()

    def original(self):
        files = {self.jar_name: self.jar}
        if self.jad is not None:
            files[self.jad_name] = self.jad
        return files


def adapted_jar(data):
    try:
        with zipfile.ZipFile(io.BytesIO(data)) as z:
            return z.testzip() is None and INJECTED in z.namelist()
    except (zipfile.BadZipFile, OSError, ValueError):
        return False


def jad_size(data):
    m = re.search(rb"MIDlet-Jar-Size:\s*(\d+)", data)
    return int(m.group(1)) if m else None


def problems(game, files, expected=None):
    """What is wrong with the game's folder `files` (name -> bytes) after recovery; `expected`
    "original" or "adapted" for a recovery that said it succeeded."""
    found = []
    jar, jad = files.get(game.jar_name), files.get(game.jad_name)
    if jar is None:
        return ["the JAR is gone"]
    if expected == "adapted" and jar == game.jar:
        found.append("a run that succeeded left the original JAR")
    if expected == "original" and jar != game.jar:
        found.append("a restore that succeeded left another JAR")
    if jar == game.jar:
        if jad != game.jad:
            found.append("the original JAR beside another JAD")
    elif adapted_jar(jar):
        if jad is None or jad_size(jad) != len(jar):
            found.append("the adapted JAR beside a JAD that does not match it")
    else:
        found.append("the JAR is neither the original nor a whole adapted one")
    backup = files.get(game.jar_name + ".bak")
    jad_backup = files.get(game.jad_name + ".bak")
    if backup is not None and backup != game.jar:
        found.append("the JAR backup is not the original")
    if jad_backup is not None and jad_backup != (game.jad if game.jad is not None else b""):
        found.append("the JAD backup is not the original")
    if backup is not None and jad_backup is None and game.jad is not None:
        found.append("a JAR backup without its JAD backup")
    allowed = {game.jar_name, game.jad_name, game.jar_name + ".bak", game.jad_name + ".bak"}
    stray = sorted(set(files) - allowed)
    if stray:
        found.append("left beside the game: " + ", ".join(stray))
    return found


def whole_restore_journal(game, files):
    """Whether a restore's journal in `files` was written whole (so that its restore goes on)."""
    journal = files.get(game.jar_name + ".korvel-restore")
    return journal is not None and journal.endswith(b"\nend\n")


def describe(game, files):
    """The folder's names, each with what it holds when that is telling."""
    parts = []
    for name in sorted(files):
        data = files[name]
        if data == game.jar:
            what = "original JAR"
        elif game.jad is not None and data == game.jad:
            what = "original JAD"
        elif name.endswith(".korvel-commit") or name.endswith(".tmp"):
            what = repr(data.decode("utf-8", "replace"))
        elif adapted_jar(data):
            what = "adapted JAR of %d bytes" % len(data)
        elif jad_size(data) is not None:
            what = "JAD for %d bytes" % jad_size(data)
        else:
            what = "%d bytes" % len(data)
        parts.append("%s: %s" % (name, what))
    return "; ".join(parts)


def materialize(folder, files):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


def read_folder(folder):
    files = {}
    for name in os.listdir(folder):
        with open(os.path.join(folder, name), "rb") as f:
            files[name] = f.read()
    return files


def run(program, folder, args):
    return subprocess.run([os.path.join(program, "korvel-patch")] + args, cwd=folder,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          env=environment(program)).returncode


def check_state(folder, program, game, state, options, nested):
    """Recovers one crash state both ways in the game's folder; the problems found, and how many
    states were recovered."""
    report, checked = [], 0
    for recovery in (["--quiet"] + options + [game.jar_name], ["--restore", game.jar_name]):
        materialize(folder, state)
        if nested and "--restore" not in recovery:
            # A power cut during this recovery too: every state it may leave, recovered again.
            for inner in crash_states(record(program, folder, recovery, recovery_only=True)):
                materialize(folder, inner)
                status = run(program, folder, recovery)
                checked += 1
                for problem in problems(game, read_folder(folder),
                                        "adapted" if status == 0 else None):
                    report.append(("a power cut during recovery", problem, inner))
            materialize(folder, state)
        status = run(program, folder, recovery)
        checked += 1
        expected = None if status != 0 else "original" if "--restore" in recovery else "adapted"
        for problem in problems(game, read_folder(folder), expected):
            report.append((" ".join(recovery[:-1]), problem, state))
        if "--restore" in recovery and status != 0 and whole_restore_journal(game, state):
            report.append(("--restore", "a restore its recovery finished was called failed",
                           state))
    return report, checked


NO_LINKS = r"""
#include <errno.h>
int link(const char* from, const char* to) { (void)from; (void)to; errno = EPERM; return -1; }
int linkat(int a, const char* from, int b, const char* to, int flags) {
  (void)a; (void)from; (void)b; (void)to; (void)flags; errno = EPERM; return -1;
}
"""


def sweep(program, corpus, case):
    folder_name, jar, jad, options, actions, links, stem = case
    game = Game(corpus, folder_name, jar, jad, stem)
    jar = game.jar_name
    with tempfile.TemporaryDirectory(dir="/dev/shm" if os.path.isdir("/dev/shm") else None) as work:
        prog = os.path.join(work, "prog")
        os.makedirs(prog)
        for name in ("korvel-patch", "libpackeng.so", "libunpkeng.so"):
            shutil.copy2(os.path.join(program, name), prog)
        if not links:
            source = os.path.join(work, "no-links.c")
            with open(source, "w") as f:
                f.write(NO_LINKS)
            subprocess.run(["cc", "-shared", "-fPIC", "-o", os.path.join(prog, "no-links.so"),
                            source], check=True)
        # The states are recovered in the folder they were recorded in, as they would be.
        folder = os.path.join(work, "games")
        materialize(folder, game.original())
        states = {}
        for args in actions:
            # Each action starts from where the previous one left the game.
            for state in crash_states(record(prog, folder, args + options + [jar])):
                states[hashlib.sha256(repr(sorted(state.items())).encode()).hexdigest()] = state
        report, checked, nested_shapes = [], 0, set()
        for state in states.values():
            # A power cut during recovery is checked once for each set of names with a journal.
            shape = tuple(sorted(state))
            nested = any(name.endswith((".korvel-commit", ".korvel-restore")) for name in state) \
                and shape not in nested_shapes
            nested_shapes.add(shape)
            found, count = check_state(folder, prog, game, state, options, nested)
            checked += count
            for where, problem, bad in found:
                report.append("%s %s, after %s: %s [%s]" % (
                    jar, " ".join(options), where, problem, describe(game, bad)))
        return checked, report


CASES = [
    # folder, JAR, JAD, options, the runs recorded in turn, whether the file system has links
    # and the name the game has (None: its own)
    ("apress-hello", "hello.jar", "hello.jad", ["--backup"], [[], ["--restore"], []], True, None),
    ("apress-hello", "hello.jar", "hello.jad", ["--no-backup"], [[]], True, None),
    ("apress-hello", "hello.jar", "hello.jad", ["--backup"], [[]], False, None),
    ("saymond-systeminfo", "SystemInfo.jar", None, ["--backup"], [[], ["--restore"]], True, None),
    ("ray-tetris-n3410", "Tetris_N3410.jar", "Tetris_N3410.jad", ["--backup"], [[]], True, None),
    # A line break, a tab and a byte that is not UTF-8 in the game's name.
    ("apress-hello", "hello.jar", "hello.jad", ["--backup"], [[], ["--restore"]], True,
     "odd\nname\t" + b"\xe9".decode("utf-8", "surrogateescape")),
]


def main():
    program, corpus = sys.argv[1], sys.argv[2]
    total, failures = 0, []
    with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        for checked, report in pool.map(lambda c: sweep(program, corpus, c), CASES):
            total += checked
            failures += report
    for line in sorted(set(failures)):
        print("FAIL " + line.encode("utf-8", "surrogateescape").decode("utf-8", "replace"))
    print("%d crash states recovered and checked, %d problems" % (total, len(set(failures))))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
