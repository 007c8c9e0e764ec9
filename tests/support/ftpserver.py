#!/usr/bin/python3
"""Loopback FTP server for the tests.

Serves one folder to one user on a port the system picks, prints "PORT <n>" once it
listens, and appends every command line it receives to a log file so that a test can
check what a client sent, and a line "SENT <name> <bytes>" for every file transfer that
ends. Some files misbehave on purpose: a stalled file is announced with 150 and then never
sent; a trickled file is sent in small blocks with a pause before each; a dropped file has
its first transfer cut off after a number of bytes. With --no-rest the server refuses REST.
"""
import argparse
import os
import sys
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


class TrickleProducer:
    def __init__(self, path, blocks, pause, start):
        with open(path, "rb") as f:
            data = f.read()[start:]
        size = max(1, (len(data) + blocks - 1) // blocks)
        self.pieces = [data[i:i + size] for i in range(0, len(data), size)]
        self.pause = pause

    def more(self):
        if not self.pieces:
            return b""
        time.sleep(self.pause)  # blocks this one-client server, which is the point
        return self.pieces.pop(0)


class DropProducer:
    """Sends the file up to limit bytes, then fails, which aborts the data connection (426)."""

    def __init__(self, fd, limit):
        self.fd = fd
        self.left = limit

    def more(self):
        if self.left <= 0:
            raise ConnectionAbortedError("transfer dropped on purpose")
        data = self.fd.read(min(65536, self.left))
        self.left -= len(data)
        return data


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--stall", default="")
    parser.add_argument("--trickle", default="")
    parser.add_argument("--trickle-blocks", type=int, default=8)
    parser.add_argument("--trickle-pause-ms", type=int, default=300)
    parser.add_argument("--drop", default="")
    parser.add_argument("--drop-after", type=int, default=0)
    parser.add_argument("--no-rest", action="store_true")
    args = parser.parse_args()
    dropped = []

    class Handler(FTPHandler):
        def pre_process_command(self, line, cmd, arg):
            with open(args.log, "a") as log:
                log.write(line + "\n")
            return super().pre_process_command(line, cmd, arg)

        def log_transfer(self, cmd, filename, receive, completed, elapsed, bytes):
            with open(args.log, "a") as log:
                log.write("SENT %s %d\n" % (os.path.basename(filename), bytes))
            return super().log_transfer(cmd, filename, receive, completed, elapsed, bytes)

        def ftp_REST(self, line):
            if args.no_rest:
                self.respond("502 Command not implemented.")
                return None
            return super().ftp_REST(line)

        def ftp_RETR(self, file):
            name = os.path.basename(file)
            if args.drop and name == args.drop and not dropped and os.path.isfile(file):
                dropped.append(name)  # only the first transfer of it is cut off
                self._restart_position = 0
                self.use_sendfile = False  # the producer, not the kernel, sends this one
                fd = open(file, "rb")
                producer = DropProducer(fd, args.drop_after)
                self.push_dtp_data(producer, isproducer=True, file=fd, cmd="RETR")
                return file
            if args.stall and name == args.stall:
                self.respond("150 File status okay. About to open data connection.")
                return None
            if args.trickle and name == args.trickle and os.path.isfile(file):
                start = self._restart_position  # a REST before it is honoured
                self._restart_position = 0
                producer = TrickleProducer(file, args.trickle_blocks,
                                           args.trickle_pause_ms / 1000.0, start)
                self.push_dtp_data(producer, isproducer=True, cmd="RETR")
                return file
            return super().ftp_RETR(file)

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elr")
    Handler.authorizer = authorizer
    server = FTPServer(("127.0.0.1", 0), Handler)
    print("PORT %d" % server.address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
