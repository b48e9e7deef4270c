#!/usr/bin/env python3
"""Checks the HTML manual in resources/help.

Usage: test_help_pages.py SOURCE_DIR

- every page is well-formed HTML5 (doctype, language, charset, title, tags
  closed in order, ids unique) and needs nothing from outside the folder;
- every relative link and picture resolves to a file of the manual (or to one
  of the screenshots the build puts in images/), and every #fragment names an
  id of the target page;
- every English page has a Japanese counterpart, or the Japanese contents page
  links the English one; every page is reachable from its contents page;
- the shortcut pages list every shortcut of the command table, and the
  command-line page every script command and export option of kinovela-cli,
  so the manual cannot silently fall behind the program.
"""
import html.parser
import os
import re
import sys
import urllib.parse

SCREENSHOTS = {"editor.png", "about.png", "texture-folders.png", "export-options.png"}
VOID = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source", "track", "wbr"}
# Elements whose end tag HTML5 lets a page leave out; the manual closes them
# anyway, but the parser must not call a correct page broken.
OPTIONAL_END = {"li", "p", "td", "th", "tr", "dt", "dd", "option"}

failures = []


def fail(message):
    failures.append(message)


class Page(html.parser.HTMLParser):
    def __init__(self, path):
        super().__init__(convert_charrefs=True)
        self.path = path
        self.stack = []
        self.ids = set()
        self.links = []  # (attribute value, line)
        self.doctype = False
        self.lang = None
        self.charset = False
        self.title = ""
        self.in_title = False
        self.text = []

    def error_at(self, message):
        fail(f"{self.path}:{self.getpos()[0]}: {message}")

    def handle_decl(self, decl):
        if decl.lower() == "doctype html":
            self.doctype = True

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "html":
            self.lang = a.get("lang")
        if tag == "meta" and a.get("charset", "").lower() == "utf-8":
            self.charset = True
        if tag == "title":
            self.in_title = True
        if tag == "script":
            self.error_at("pages need no scripts")
        if "id" in a:
            if a["id"] in self.ids:
                self.error_at(f"id {a['id']!r} used twice")
            self.ids.add(a["id"])
        for name in ("href", "src"):
            if name in a:
                self.links.append((a[name], self.getpos()[0], tag))
        if tag == "img" and not a.get("alt"):
            self.error_at("a picture without alt text")
        if tag not in VOID:
            self.stack.append((tag, self.getpos()[0]))
        self.separate(tag)

    def handle_startendtag(self, tag, attrs):
        self.handle_starttag(tag, attrs)
        if tag not in VOID:
            self.stack.pop()

    def handle_endtag(self, tag):
        if tag in VOID:
            self.error_at(f"</{tag}> closes a void element")
            return
        if tag == "title":
            self.in_title = False
        self.separate(tag)
        while self.stack and self.stack[-1][0] != tag and self.stack[-1][0] in OPTIONAL_END:
            self.stack.pop()
        if not self.stack or self.stack[-1][0] != tag:
            open_tag = self.stack[-1] if self.stack else None
            self.error_at(f"</{tag}> does not close the open element {open_tag}")
            return
        self.stack.pop()

    def separate(self, tag):
        # Words of neighbouring cells must not run together; the parts of a
        # key (<kbd>Ctrl</kbd>+<kbd>P</kbd>) must.
        if tag != "kbd":
            self.text.append(" ")

    def handle_data(self, data):
        if self.in_title:
            self.title += data
        self.text.append(data)

    def finish(self):
        self.close()
        if not self.doctype:
            fail(f"{self.path}: no <!DOCTYPE html>")
        if not self.lang:
            fail(f"{self.path}: <html> has no lang")
        if not self.charset:
            fail(f"{self.path}: no <meta charset=\"utf-8\">")
        if not self.title.strip():
            fail(f"{self.path}: no title")
        left = [t for t, _ in self.stack if t not in OPTIONAL_END]
        if left:
            fail(f"{self.path}: elements left open: {left}")


def read_pages(help_dir):
    pages = {}
    for root, _, files in os.walk(help_dir):
        for name in files:
            if name.endswith(".html"):
                path = os.path.join(root, name)
                page = Page(os.path.relpath(path, help_dir))
                with open(path, encoding="utf-8") as f:
                    page.feed(f.read())
                page.finish()
                pages[os.path.normpath(path)] = page
    return pages


def check_links(help_dir, pages):
    """Returns, for each page, the pages it links to."""
    linked = {}
    for path, page in pages.items():
        linked[path] = set()
        for value, line, tag in page.links:
            where = f"{page.path}:{line}"
            parts = urllib.parse.urlsplit(value)
            if parts.scheme or parts.netloc or value.startswith("/"):
                fail(f"{where}: {value!r} is not a relative link")
                continue
            if not parts.path:  # a fragment of this page
                if parts.fragment and parts.fragment not in page.ids:
                    fail(f"{where}: no id {parts.fragment!r} on this page")
                continue
            target = os.path.normpath(os.path.join(os.path.dirname(path), urllib.parse.unquote(parts.path)))
            if not target.startswith(os.path.normpath(help_dir) + os.sep):
                fail(f"{where}: {value!r} leaves the help folder")
                continue
            relative = os.path.relpath(target, help_dir)
            screenshot = os.path.dirname(relative) == "images" and os.path.basename(relative) in SCREENSHOTS
            if not os.path.isfile(target) and not screenshot:
                fail(f"{where}: {value!r} names no file")
                continue
            if tag == "img" and os.path.dirname(relative) == "images" and not screenshot:
                fail(f"{where}: {value!r} is not one of the screenshots {sorted(SCREENSHOTS)}")
            if target in pages:
                linked[path].add(target)
                if parts.fragment and parts.fragment not in pages[target].ids:
                    fail(f"{where}: {relative} has no id {parts.fragment!r}")
            elif parts.fragment:
                fail(f"{where}: a fragment on {relative}, which is not a page")
    return linked


def check_languages(help_dir, pages, linked):
    en_dir = os.path.join(help_dir, "en")
    ja_dir = os.path.join(help_dir, "ja")
    for d in (en_dir, ja_dir):
        if os.path.join(d, "index.html") not in pages:
            fail(f"{os.path.relpath(d, help_dir)}/index.html is missing")
            return
    ja_index = os.path.join(ja_dir, "index.html")
    for path in pages:
        if os.path.dirname(path) != en_dir:
            continue
        name = os.path.basename(path)
        if os.path.join(ja_dir, name) not in pages and path not in linked[ja_index]:
            fail(f"en/{name} has no Japanese page, and ja/index.html does not link it")
    for lang, d in (("en", en_dir), ("ja", ja_dir)):
        index = os.path.join(d, "index.html")
        reached, todo = {index}, [index]
        while todo:
            for target in linked[todo.pop()]:
                if os.path.dirname(target) == d and target not in reached:
                    reached.add(target)
                    todo.append(target)
        for path in pages:
            if os.path.dirname(path) == d and path not in reached:
                fail(f"{lang}/{os.path.basename(path)} cannot be reached from {lang}/index.html")
            if os.path.dirname(path) == d and pages[path].lang != lang:
                fail(f"{lang}/{os.path.basename(path)} says lang={pages[path].lang!r}")


def page_text(page):
    # Keys are written as <kbd>Ctrl</kbd>+<kbd>P</kbd>: the text reads "Ctrl+P".
    return re.sub(r"\s+", " ", "".join(page.text))


def read_source(source_dir, name, pattern):
    with open(os.path.join(source_dir, name), encoding="utf-8") as f:
        return sorted(set(re.findall(pattern, f.read())))


def check_mentions(help_dir, pages, name, words, word_chars):
    """Each language's page `name`, where present, names every word whole."""
    for lang in ("en", "ja"):
        page = pages.get(os.path.join(help_dir, lang, name))
        if page is None:
            continue
        text = page_text(page)
        for word in words:
            if not re.search(f"(?<![{word_chars}])" + re.escape(word) + f"(?![{word_chars}])", text):
                fail(f"{lang}/{name} does not mention {word}")


def check_program_coverage(source_dir, help_dir, pages):
    shortcuts = read_source(source_dir, "src/ui/CommandTexts.cpp", r'\\t([A-Za-z0-9+]+)"')
    commands = read_source(source_dir, "src/cli/Script.cpp", r'Add\("([a-z-]+)"')
    options = read_source(source_dir, "src/cli/ExportArgs.cpp", r"(--[a-z-]+)")
    # Too few means the program's sources changed shape, not that the
    # manual is complete.
    if len(shortcuts) < 40 or len(commands) < 30 or len(options) < 15:
        fail(f"read {len(shortcuts)} shortcuts, {len(commands)} script commands and {len(options)} export options:"
             " the patterns no longer fit the sources")
    check_mentions(help_dir, pages, "shortcuts.html", shortcuts, "A-Za-z0-9+")
    check_mentions(help_dir, pages, "cli.html", commands + options, "A-Za-z0-9-")


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    source_dir = sys.argv[1]
    help_dir = os.path.normpath(os.path.join(source_dir, "resources/help"))
    pages = read_pages(help_dir)
    if not pages:
        fail("no pages in resources/help")
    else:
        linked = check_links(help_dir, pages)
        check_languages(help_dir, pages, linked)
        check_program_coverage(source_dir, help_dir, pages)
    for f in failures:
        print(f"FAIL {f}")
    print(f"{len(pages)} pages checked, {len(failures)} problems")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
