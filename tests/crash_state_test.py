#!/usr/bin/env python3
"""A power cut is not a kill: records the real program's saves with strace and
enumerates every state a file system like ext4 may be left in by a power cut
at any moment (directory operations atomic and in order, lasting once the
folder is synced; data not yet synced as any subset of its 4 KiB pieces,
holes read as zeros; no credit for auto_da_alloc). Every state of every file
the program saves must be a version whose save returned no earlier than the
last one acknowledged, or the initial one. Usage: crash_state_test.py VOBRIK"""
import itertools, os, re, struct, subprocess, sys, tempfile

PAGE = 4096
CALL = re.compile(r'^\d+ +(\w+)\((.*)\) = (-?\d+)(?:<.*>)?$')


def unhex(text):
    return bytes(int(h, 16) for h in re.findall(r"\\x([0-9a-f]{2})", text))


class Disk:
    """The folder as the program sees it, and what a power cut may leave."""

    def __init__(self, folder, initial):
        self.folder, self.inodes, self.fds = folder, [], {}
        self.initial = {name: self.new(data) for name, data in initial.items()}
        self.names = dict(self.initial)
        self.log, self.lasting = [], 0  # directory operations (name, inode, old name), how many last

    def new(self, data=b""):
        self.inodes.append({"now": bytearray(data), "synced": bytes(data)})
        return len(self.inodes) - 1

    def link(self, name, inode, old=None):
        self.log.append((name, inode, old))
        self.names.pop(old, None)
        if inode is None:
            self.names.pop(name, None)
        else:
            self.names[name] = inode

    def apply(self, call, args, result):
        paths = [unhex(p).decode("latin-1") for p in re.findall(r'"((?:\\x[0-9a-f]{2})*)"', args)]
        names = [os.path.basename(p) for p in paths if os.path.dirname(p) == self.folder]
        fd = re.match(r"(\d+)<((?:\\x[0-9a-f]{2})*)>", args)
        node = self.inodes[self.fds[int(fd.group(1))]] if fd and int(fd.group(1)) in self.fds else None
        if call == "openat" and names and "O_DIRECTORY" not in args:
            if names[0] not in self.names and "O_CREAT" in args:
                self.link(names[0], self.new())
                self.inodes[-1]["synced"] = b""
            if "O_TRUNC" in args:
                self.inodes[self.names[names[0]]]["now"] = bytearray()
            self.fds[result] = self.names[names[0]]
        elif call in ("write", "pwrite64") and node:
            data = unhex(args[fd.end():].split('"')[1])
            at = int(args.rsplit(",", 1)[1]) if call == "pwrite64" else len(node["now"])
            node["now"][at:at + len(data)] = data
        elif call in ("fsync", "fdatasync"):
            if node:
                node["synced"] = bytes(node["now"])
            elif fd and unhex(fd.group(2)).decode("latin-1") == self.folder:
                self.lasting = len(self.log)
        elif call.startswith("rename") and len(names) == 2:
            self.link(names[1], self.names[names[0]], names[0])
        elif call.startswith("unlink") and names:
            self.link(names[0], None)
        elif call == "close" and fd:
            self.fds.pop(int(fd.group(1)), None)

    def states(self, name):
        """Every content `name` may have after a power cut now."""
        for keep in range(self.lasting, len(self.log) + 1):
            names = dict(self.initial)
            for new, inode, old in self.log[:keep]:
                names.pop(old, None)
                names[new] = inode
            if names.get(name) is None:
                yield None
                continue
            node = self.inodes[names[name]]
            now, synced = bytes(node["now"]), node["synced"]
            pieces = [p for p in range(0, max(len(now), len(synced)), PAGE) if now[p:p + PAGE] != synced[p:p + PAGE]]
            for size in {len(now), len(synced)}:
                for chosen in itertools.product((False, True), repeat=len(pieces)):
                    data = bytearray(synced.ljust(size, b"\0")[:size])
                    for piece, new in zip(pieces, chosen):
                        if new:
                            data[piece:piece + PAGE] = now[piece:piece + PAGE].ljust(PAGE, b"\0")
                    yield bytes(data[:size])


def traced(program, folder, *args):
    with tempfile.NamedTemporaryFile() as trace:
        subprocess.run(["strace", "-f", "-qq", "-y", "-xx", "-s", "1000000", "-e", "signal=none", "-o", trace.name,
                        "-e", "trace=openat,write,pwrite64,fsync,fdatasync,rename,renameat,renameat2,unlinkat,"
                        "unlink,close", program, *args, "--dir", folder], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return [m.groups() for m in map(CALL.match, open(trace.name).read().splitlines()) if m]


def check(program, initial, runs):
    """Runs the commands one after the other in a fresh folder holding `initial`."""
    with tempfile.TemporaryDirectory() as folder:
        for name, data in initial.items():
            open(os.path.join(folder, name), "wb").write(data)
        disk, acknowledged, states = Disk(folder, initial), dict(initial), 0
        for run in runs:
            calls = traced(program, folder, *run)
            versions = {n: open(os.path.join(folder, n), "rb").read() for n in os.listdir(folder)}
            for call, args, result in calls:
                if int(result) >= 0:
                    disk.apply(call, args, int(result))
                for name in set(versions) | set(acknowledged):
                    allowed = {acknowledged.get(name), versions.get(name)}
                    for state in disk.states(name):
                        states += 1
                        if state not in allowed:
                            sys.exit(f"{run}: after {call}({args[:60]}...) {name} may hold {state!r:.80} "
                                     f"of {len(state or b'')} bytes, neither the acknowledged nor the new version")
            acknowledged = {n: v for n, v in versions.items() if not n.startswith("ALARMS.VBK.tmp-")}
        return states


def main():
    program = sys.argv[1]
    add = lambda i: ["--add", f"Rappel {i}", "--at", f"2030-01-{i % 28 + 1:02d} 10:00"]
    record = lambda i: struct.pack("<i200sBii", 1900000000 + i, f"n{i}".encode(), 1, 0, 0)
    big = {"ALARMS.VBK": b"".join(record(i) for i in range(60))}  # four pieces of 4 KiB
    states = check(program, {}, [add(1), add(2)])
    states += check(program, big, [add(3), add(4), add(5)])
    print(f"{states} crash states, each a whole version, never older than the last acknowledged")


if __name__ == "__main__":
    main()
