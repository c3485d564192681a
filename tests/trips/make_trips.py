#!/usr/bin/env python3
"""The trips secured text takes through mail and chat, as one table.

    make_trips.py HUSHNOTE-CLI OUT.jsonl

Secures a fixed set of messages with HUSHNOTE-CLI, sends each secured text
through every trip below, and writes one JSON line per pair:
  {"trip", "password", "message", "pasted", "expect"}
"expect" is what every front end must do with "pasted":
  back          give exactly "message" back, with no warning;
  told          say that the text was changed or is not secured text;
  back-or-told  either (a chat that formats text may or may not have changed it).
Nothing may ever give a wrong or empty message without a word. The Markdown
rows are rendered by cmark, the CommonMark reference implementation.
"""
import html
import html.parser
import json
import os
import random
import subprocess
import sys
import tempfile

CHAT_FENCE = "```"


def wrap(s, width, prefix="", end="\n", last_end="\n"):
    lines = [s[i:i + width] for i in range(0, len(s), width)]
    return end.join(prefix + line for line in lines) + last_end


def sprinkle(s, rng, what, every):
    out = []
    for i, c in enumerate(s):
        out.append(c)
        if i % every == every - 1:
            out.append(rng.choice(what))
    return "".join(out)


class ShownText(html.parser.HTMLParser):
    """The text a browser shows for rendered HTML, as a user copies it."""

    BLOCKS = {"p", "pre", "div", "blockquote", "li", "h1", "h2", "h3", "br", "hr"}

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.parts = []

    def handle_starttag(self, tag, attrs):
        if tag in self.BLOCKS:
            self.parts.append("\n")

    def handle_endtag(self, tag):
        if tag in self.BLOCKS:
            self.parts.append("\n")

    def handle_data(self, data):
        self.parts.append(data)


def markdown_shown(source):
    rendered = subprocess.run(["cmark"], input=source, capture_output=True, text=True,
                              check=True).stdout
    parser = ShownText()
    parser.feed(rendered)
    return html.unescape("".join(parser.parts))


def format_flowed_quoted(s):
    # RFC 3676: soft breaks end in a blank, and a reply quotes with ">".
    lines = [s[i:i + 66] for i in range(0, len(s), 66)]
    return "".join("> " + line + (" \r\n" if i + 1 < len(lines) else "\r\n")
                   for i, line in enumerate(lines))


def trips(rng, chat_form):
    """(name, how the text is changed, expect)."""
    nbsp, zwsp, shy, bom = "\u00a0", "\u200b", "\u00ad", "\ufeff"
    chat = lambda s: CHAT_FENCE + "\n" + s + "\n" + CHAT_FENCE
    return [
        ("as sent", lambda s: s, "back"),
        ("Copy for Chat, pasted into a Markdown chat and copied as shown",
         lambda s: markdown_shown(chat_form), "back"),
        ("Copy for Chat, as its raw source", lambda s: chat_form, "back"),
        ("mail wrapping at 76, CR LF", lambda s: wrap(s, 76, end="\r\n", last_end="\r\n"), "back"),
        ("a code block copied as the chat shows it", lambda s: markdown_shown(chat(s)), "back"),
        ("a blank around it", lambda s: " " + s + " ", "back"),
        ("a blank line around it", lambda s: "\n\n" + s + "\n\n", "back"),
        ("a tab before it", lambda s: "\t" + s, "back"),
        ("blanks at line ends", lambda s: wrap(s, 70, end="   \n"), "back"),
        ("quoted in a reply", lambda s: wrap(s, 72, "> "), "back"),
        ("quoted twice", lambda s: wrap(s, 72, ">> "), "back"),
        ("quoted twice, spaced", lambda s: wrap(s, 72, "> > "), "back"),
        ("quoted, format=flowed", format_flowed_quoted, "back"),
        ("no-break spaces", lambda s: sprinkle(s, rng, [nbsp, "\u202f"], 37), "back"),
        ("zero-width spaces and joiners", lambda s: sprinkle(s, rng, [zwsp, "\u200c", "\u2060"], 23),
         "back"),
        ("soft hyphens", lambda s: sprinkle(s, rng, [shy], 19), "back"),
        ("a byte order mark", lambda s: bom + s, "back"),
        ("a backtick fence, raw", chat, "back"),
        ("a tilde fence, raw", lambda s: "~~~\n" + s + "\n~~~\n", "back"),
        ("a fence with a language, raw", lambda s: "```text\n" + wrap(s, 80) + "```\n", "back"),
        ("a fence, quoted", lambda s: wrap(chat(s), 78, "> "), "back"),
        ("indented four blanks", lambda s: wrap(s, 76, "    "), "back"),
        ("inline code, raw", lambda s: "`" + s + "`", "back"),
        ("Unicode line separators", lambda s: wrap(s, 60, end="\u2028", last_end=""), "back"),
        ("next-line and form-feed breaks", lambda s: wrap(s, 50, end="\u0085", last_end="\f"),
         "back"),
        ("old Mac CR breaks", lambda s: wrap(s, 64, end="\r", last_end="\r"), "back"),
        ("pasted bare into a Markdown chat", lambda s: markdown_shown(s), "back-or-told"),
        ("wrapped, pasted bare into a Markdown chat", lambda s: markdown_shown(wrap(s, 76)),
         "back-or-told"),
        ("one character dropped inside", lambda s: s[:len(s) // 2] + s[len(s) // 2 + 1:], "told"),
        ("two characters added inside", lambda s: s[:len(s) // 3] + "\\_" + s[len(s) // 3:], "told"),
        ("the end cut off", lambda s: s[:-4], "told"),
        ("a quote marker inside a line", lambda s: s[:20] + ">" + s[20:], "told"),
    ]


def messages(rng):
    words = ["meet", "me", "at", "the", "old", "station", "café", "über", "€20", "eight",
             "o'clock", "_under_", "*star*", "`tick`", "back\\slash", "[link](x)", "#1"]
    out = ["Hi", "x" * 3, "A line\nand another\n"]
    for n in (5, 12, 40, 90, 200, 333, 500, 800, 1200, 2000, 3500, 5000, 8000, 12000, 19000):
        text = " ".join(rng.choice(words) for _ in range(n // 5 + 1))[:n]
        out.append(text.replace(" #", "\n#"))
    out.append("?????????")
    out.append("".join(chr(c) for c in range(0x20, 0x7f)))
    return out


PROSE = "Hello, see you at the station at eight? Bring the tickets."


def main():
    cli, out_path = sys.argv[1], sys.argv[2]
    rng = random.Random(22)
    rows = []
    with tempfile.TemporaryDirectory() as tmp:
        pw_file = os.path.join(tmp, "pw")
        for index, message in enumerate(messages(rng)):
            password = f"pass word {index} é"
            with open(pw_file, "w", encoding="utf-8") as f:
                f.write(password + "\n")
            secured = subprocess.run([cli, "--password-file", pw_file, "secure-text"],
                                     input=message.encode(), capture_output=True,
                                     check=True).stdout.decode().rstrip("\n")
            chat = subprocess.run([cli, "--password-file", pw_file, "secure-text", "--chat"],
                                  input=message.encode(), capture_output=True)
            # A program from before --chat: the form it stands for.
            chat_form = (chat.stdout.decode().rstrip("\n") if chat.returncode == 0
                         else CHAT_FENCE + "\n" + secured + "\n" + CHAT_FENCE)
            for name, change, expect in trips(rng, chat_form):
                rows.append({"trip": name, "password": password, "message": message,
                             "pasted": change(secured), "expect": expect})
        rows.append({"trip": "prose", "password": "x", "message": PROSE, "pasted": PROSE,
                     "expect": "told"})
    with open(out_path, "w", encoding="utf-8") as f:
        for row in rows:
            f.write(json.dumps(row, ensure_ascii=False) + "\n")


if __name__ == "__main__":
    main()
