#!/usr/bin/env python3
"""Records the real program's saves with strace and enumerates every state a
power cut after any call may leave on a file system like ext4 (directory
operations in order, lasting once the folder is synced; unsynced data as any
subset of its 4 KiB pieces, holes read as zeros; no credit for auto_da_alloc):
each file holds the version acknowledged last, or the one being saved."""
import itertools, os, re, struct, subprocess, sys, tempfile

PAGE = 4096
HEX = r'((?:\\x[0-9a-f]{2})*)'


def unhex(text):
    return bytes(int(h, 16) for h in re.findall(r"\\x([0-9a-f]{2})", text))


class Disk:
    def __init__(self, folder, initial):
        self.folder, self.fds, self.inodes = folder, {}, [{"now": bytearray(d), "synced": d} for d in initial.values()]
        self.initial = dict(zip(initial, range(len(initial))))
        self.names, self.log, self.lasting = dict(self.initial), [], 0  # (name, inode, old name), how many last

    def link(self, name, inode, old=None):
        self.log.append((name, inode, old))
        self.names.pop(old, None)
        self.names[name] = inode

    def apply(self, call, args, result):
        names = [os.path.basename(p) for p in (unhex(q).decode("latin-1") for q in re.findall(f'"{HEX}"', args))
                 if os.path.dirname(p) == self.folder] if call in ("openat", "rename", "unlink") else []
        fd = re.match(rf"(\d+)<{HEX}>", args)
        node = self.inodes[self.fds[int(fd[1])]] if fd and int(fd[1]) in self.fds else None
        if call == "openat" and names and "O_DIRECTORY" not in args:
            if self.names.get(names[0]) is None and "O_CREAT" in args:
                self.inodes.append({"now": bytearray(), "synced": b""})
                self.link(names[0], len(self.inodes) - 1)
            if "O_TRUNC" in args:
                self.inodes[self.names[names[0]]]["now"] = bytearray()
            self.fds[result] = self.names[names[0]]
        elif call == "write" and node:
            node["now"] += unhex(args[fd.end():].split('"')[1])
        elif call == "fsync" and node:
            node["synced"] = bytes(node["now"])
        elif call == "fsync" and fd and unhex(fd[2]).decode("latin-1") == self.folder:
            self.lasting = len(self.log)
        elif call == "rename" and len(names) == 2:
            self.link(names[1], self.names[names[0]], names[0])
        elif call == "unlink" and names:
            self.link(names[0], None)
        elif call == "close" and fd:
            self.fds.pop(int(fd[1]), None)

    def states(self, name):  # every content `name` may have after a power cut now (None: none)
        for keep in range(self.lasting, len(self.log) + 1):
            names = dict(self.initial)
            for new, inode, old in self.log[:keep]:
                names.pop(old, None)
                names[new] = inode
            if names.get(name) is None:
                yield None
                continue
            now, synced = bytes(self.inodes[names[name]]["now"]), self.inodes[names[name]]["synced"]
            pieces = [p for p in range(0, max(len(now), len(synced)), PAGE) if now[p:p + PAGE] != synced[p:p + PAGE]]
            for size, chosen in itertools.product({len(now), len(synced)}, itertools.product((0, 1), repeat=len(pieces))):
                data = bytearray(synced.ljust(size, b"\0")[:size])
                for piece in itertools.compress(pieces, chosen):
                    data[piece:piece + PAGE] = now[piece:piece + PAGE].ljust(PAGE, b"\0")
                yield bytes(data[:size])


def check(program, initial, runs):  # the commands one after the other in a folder holding `initial`
    with tempfile.TemporaryDirectory() as folder, tempfile.NamedTemporaryFile() as trace:
        for name, data in initial.items():
            open(os.path.join(folder, name), "wb").write(data)
        disk, acknowledged, states = Disk(folder, initial), dict(initial), 0
        for run in runs:
            subprocess.run(["strace", "-f", "-qq", "-y", "-xx", "-s", "1000000", "-e", "signal=none", "-o", trace.name,
                            "-e", "trace=openat,write,fsync,rename,unlink,close", program, *run, "--dir", folder],
                           check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            versions = {n: open(os.path.join(folder, n), "rb").read() for n in os.listdir(folder)}
            for call, args, result in re.findall(r"^\d+ +(\w+)\((.*)\) = (-?\d+)", open(trace.name).read(), re.M):
                if int(result) >= 0:
                    disk.apply(call, args, int(result))
                for name in set(versions) | set(acknowledged):
                    for state in disk.states(name):
                        states += 1
                        if state not in (acknowledged.get(name), versions.get(name)):
                            sys.exit(f"{run}: after {call}({args[:60]}...) {name} may hold {len(state or b'')} "
                                     f"bytes {state!r:.80}, neither the acknowledged nor the new version")
            acknowledged = versions
        return states


def main():
    add = lambda i: ["--add", f"Rappel {i}", "--at", f"2030-01-{i + 1:02d} 10:00"]
    record = lambda i: struct.pack("<i200sBii", 1900000000 + i, f"n{i}".encode(), 1, 0, 0)
    states = check(sys.argv[1], {}, [add(1), add(2)])  # the first save into an empty folder
    states += check(sys.argv[1], {"ALARMS.VBK": b"".join(map(record, range(60)))}, [add(3), add(4)])
    print(f"{states} crash states, each a whole version, never older than the last acknowledged")


if __name__ == "__main__":
    main()
