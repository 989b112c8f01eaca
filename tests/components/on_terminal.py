#!/usr/bin/env python3
"""Runs a program with a terminal as its standard input and output, types ANSWER once it
asks "[y/N]", and passes on what it wrote and its exit code.

    on_terminal.py ANSWER PROGRAM [ARGUMENT...]
"""
import os
import pty
import sys

answer = sys.argv[1].encode() + b"\n"
pid, terminal = pty.fork()
if pid == 0:
    os.execv(sys.argv[2], sys.argv[2:])
output = b""
answered = False
while True:
    try:
        data = os.read(terminal, 4096)
    except OSError:  # the program closed the terminal
        break
    if not data:
        break
    output += data
    if not answered and b"[y/N]" in output:
        os.write(terminal, answer)
        answered = True
sys.stdout.buffer.write(output)
_, status = os.waitpid(pid, 0)
sys.exit(os.waitstatus_to_exitcode(status))
