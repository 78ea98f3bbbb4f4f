#!/usr/bin/python3
"""A small SMTP server for the mail tests.

Listens on 127.0.0.1, requires AUTH (without TLS) with one fixed user and password and saves
every message it accepts into a folder: NNN.eml (the raw data) and NNN.json (the envelope and
the message decoded by Python's own email package, an implementation independent of ours).
auth.log gets one line per AUTH attempt.

  smtp_server.py --folder DIR --user U --password P [--port N] [--refuse ADDR ...] [--hang]
                 [--hold ADDR ...]

--refuse makes RCPT fail for that address; --hang accepts connections and never answers;
--hold takes the whole message to that address and then never answers it (a server gone
silent mid-message).
Prints "READY <port>" on stdout once it listens.
"""

import argparse
import asyncio
import email
import email.policy
import json
import logging
import os
import socket
import sys

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Saver:
    def __init__(self, folder, refused, held):
        self.folder = folder
        self.refused = {address.lower() for address in refused}
        self.held = {address.lower() for address in held}
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower() in self.refused:
            return "550 5.1.1 <%s>: Recipient address rejected" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        if any(address.lower() in self.held for address in envelope.rcpt_tos):
            await asyncio.Event().wait()
        self.count += 1
        raw = envelope.original_content or envelope.content
        base = os.path.join(self.folder, "%03d" % self.count)
        with open(base + ".eml", "wb") as out:
            out.write(raw)
        message = email.message_from_bytes(raw, policy=email.policy.default)
        login = session.auth_data
        record = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "login": login.login.decode() if isinstance(login, LoginPassword) else None,
            "from": str(message["From"] or ""),
            "to": str(message["To"] or ""),
            "subject": str(message["Subject"] or ""),
            "content_type": message.get_content_type(),
            "charset": message.get_content_charset(),
            "body": message.get_content(),
        }
        with open(base + ".json", "w", encoding="utf-8") as out:
            json.dump(record, out, ensure_ascii=False)
        return "250 Message accepted"


def authenticator(user, password, folder):
    def check(server, session, envelope, mechanism, auth_data):
        # One line per AUTH the client sends, good or bad: a password that reached us.
        with open(os.path.join(folder, "auth.log"), "a") as log:
            log.write(mechanism + "\n")
        ok = (isinstance(auth_data, LoginPassword)
              and auth_data.login == user.encode()
              and auth_data.password == password.encode())
        return AuthResult(success=ok, handled=False, auth_data=auth_data)
    return check


async def hang(reader, writer):
    # Accept and read, never greet: the client must give up on its own time-out.
    while await reader.read(4096):
        pass
    writer.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--folder", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--refuse", action="append", default=[])
    parser.add_argument("--hang", action="store_true")
    parser.add_argument("--hold", action="append", default=[])
    args = parser.parse_args()

    logging.getLogger("mail.log").setLevel(logging.ERROR)
    port = args.port or free_port()
    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    if args.hang:
        factory = asyncio.start_server(hang, "127.0.0.1", port)
    else:
        saver = Saver(args.folder, args.refuse, args.hold)
        check = authenticator(args.user, args.password, args.folder)
        factory = loop.create_server(
            lambda: SMTP(saver, hostname="mail.test", authenticator=check,
                         auth_required=True, auth_require_tls=False),
            "127.0.0.1", port)
    loop.run_until_complete(factory)
    print("READY %d" % port, flush=True)
    try:
        loop.run_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
