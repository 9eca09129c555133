#!/usr/bin/env python3
"""CPU time the tool uses while its standard output, made non-blocking, cannot take the record,
and how soon it ends once the output is released: drained, read, or closed by the reader.

usage: stalled_output.py TOOL [SECONDS]

Every kind of output runs at once, stalled for SECONDS (default 60). A blocking write would
sleep while stalled and end as soon as the output is released; the tool should do the same,
with at most 5 ms of CPU time per second stalled, and within about 50 ms.
"""
import fcntl
import os
import pty
import socket
import subprocess
import sys
import time

RECORD = b"abc / 80"  # what argument 0 "http://abc" gives: 8 bytes, as an eventfd takes


def fill(fd):
    """Writes to the non-blocking fd until it takes no more."""
    os.set_blocking(fd, False)
    try:
        while os.write(fd, b"f"):
            pass
    except BlockingIOError:
        pass


def drain(fd):
    """Reads what fd holds without waiting, leaving out the filler."""
    os.set_blocking(fd, False)
    got = b""
    try:
        while chunk := os.read(fd, 65536):
            got += chunk.replace(b"f", b"")
    except (BlockingIOError, OSError):
        pass
    return got


def pipe():
    reader, writer = os.pipe()
    fill(writer)
    return writer, reader, drain


def fifo_reader_goes():
    path = f"/tmp/stalled-output-{os.getpid()}"
    os.mkfifo(path)
    reader = os.open(path, os.O_RDONLY | os.O_NONBLOCK)
    writer = os.open(path, os.O_WRONLY)
    os.unlink(path)
    fill(writer)
    return writer, reader, lambda fd: os.close(fd) or b""


def socket_pair(kind, release):
    tool_end, peer = socket.socketpair(socket.AF_UNIX, kind)
    fill(tool_end.fileno())
    return os.dup(tool_end.fileno()), os.dup(peer.fileno()), release


def close(fd):
    os.close(fd)
    return b""


def stop_reading(fd):
    socket.socket(fileno=os.dup(fd)).shutdown(socket.SHUT_RD)
    return b""


def terminal():
    main, sub = pty.openpty()
    fill(sub)
    return sub, main, drain


def eventfd_near_maximum():
    fd = os.eventfd(0, os.EFD_NONBLOCK)
    os.eventfd_write(fd, 2**64 - 16)
    return fd, os.dup(fd), lambda fd: os.eventfd_read(fd) and b""


def netlink_to_full_peer():
    peer = socket.socket(socket.AF_NETLINK, socket.SOCK_RAW, 2)  # NETLINK_USERSOCK
    peer.bind((0, 0))
    tool_end = socket.socket(socket.AF_NETLINK, socket.SOCK_RAW, 2)
    tool_end.connect(peer.getsockname())
    fill(tool_end.fileno())
    return os.dup(tool_end.fileno()), os.dup(peer.fileno()), drain


OUTPUTS = {
    "pipe, then drained": pipe,
    "FIFO, then its reader goes": fifo_reader_goes,
    "stream socketpair, then closed": lambda: socket_pair(socket.SOCK_STREAM, close),
    "datagram socketpair, then closed": lambda: socket_pair(socket.SOCK_DGRAM, close),
    "seqpacket socketpair, then closed": lambda: socket_pair(socket.SOCK_SEQPACKET, close),
    "stream socketpair, then the peer stops reading":
        lambda: socket_pair(socket.SOCK_STREAM, stop_reading),
    "pty, then drained": terminal,
    "eventfd near its maximum, then read": eventfd_near_maximum,
    "netlink socket to a full peer, then drained": netlink_to_full_peer,
}


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def main():
    tool = sys.argv[1]
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 60
    runs = []
    for name, make in OUTPUTS.items():
        tool_end, peer, release = make()
        os.set_blocking(tool_end, False)
        process = subprocess.Popen(["http://abc"], executable=tool, stdout=tool_end,
                                   stderr=subprocess.PIPE)
        os.close(tool_end)
        runs.append((name, process, peer, release))
    time.sleep(seconds)
    print(f"{tool}: stalled for {seconds:g} s")
    print(f"{'output':48} {'CPU s':>7} {'ends after':>10}  record")
    for name, process, peer, release in runs:
        cpu = cpu_seconds(process.pid)
        got = release(peer)
        released = time.monotonic()
        try:
            process.wait(timeout=10)
            ended = f"{time.monotonic() - released:.2f} s"
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
            ended = "never"
        if name.startswith("eventfd"):
            got = os.eventfd_read(peer).to_bytes(8, sys.byteorder)
        elif release is drain:
            got += drain(peer)
        quiet = process.returncode == 0 and not process.stderr.read()
        record = "whole" if got == RECORD else "none" if not got else repr(got)
        print(f"{name:48} {cpu:7.2f} {ended:>10}  {record}{'' if quiet else ', not quiet'}")


if __name__ == "__main__":
    main()
