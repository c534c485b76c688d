"""Turns the Markdown user guide into one HTML page and puts the images it
shows beside it, so that the page and its folder can be installed as they are.

    user-guide.py GUIDE.md OUTPUT.html FOOTER

Images and linked files are looked up relative to the guide's folder and copied
to the same relative place beside the page. A link to a local file that does
not exist fails the build: the installed guide would show a broken picture.
"""

import html
import html.parser
import os
import shutil
import sys
import tempfile
import urllib.parse

import markdown

IMAGE_EXTENSIONS = (".png", ".jpg", ".jpeg", ".gif", ".svg", ".webp")

STYLE = """
body { margin: 0; font: 16px/1.5 system-ui, sans-serif; color: #1d2330; background: #fdfdfd; }
main { max-width: 52em; margin: 0 auto; padding: 1em 1.5em 3em; }
h1, h2, h3 { line-height: 1.25; }
h2 { margin-top: 2em; border-bottom: 1px solid #d8dce3; padding-bottom: 0.2em; }
img { max-width: 100%; height: auto; border: 1px solid #d8dce3; }
code, pre { font-family: ui-monospace, monospace; font-size: 0.92em; background: #eef1f5; }
code { padding: 0.1em 0.3em; border-radius: 3px; }
pre { padding: 0.8em 1em; overflow-x: auto; border-radius: 4px; }
pre code { padding: 0; background: none; }
table { border-collapse: collapse; margin: 1em 0; }
th, td { border: 1px solid #c8ced8; padding: 0.3em 0.6em; text-align: left; vertical-align: top; }
th { background: #eef1f5; }
kbd { border: 1px solid #b8bfcb; border-radius: 3px; padding: 0 0.3em; font-size: 0.9em; }
footer { max-width: 52em; margin: 0 auto; padding: 1em 1.5em; color: #6a7282; font-size: 0.9em; }
@media (prefers-color-scheme: dark) {
  body { color: #dde2ea; background: #1b1f26; }
  h2 { border-color: #3a414d; }
  img { border-color: #3a414d; }
  code, pre, th { background: #272d37; }
  th, td { border-color: #3a414d; }
  footer { color: #98a1b0; }
}
"""


class References(html.parser.HTMLParser):
    """Collects the src of every image and the href of every link."""

    def __init__(self):
        super().__init__()
        self.images = []
        self.links = []

    def handle_starttag(self, tag, attrs):
        values = dict(attrs)
        if tag == "img" and values.get("src"):
            self.images.append(values["src"])
        elif tag == "a" and values.get("href"):
            self.links.append(values["href"])


def local_path(reference):
    """The relative file a reference names, or None for a web address, an
    anchor or an absolute path."""
    parts = urllib.parse.urlsplit(reference)
    if parts.scheme or parts.netloc or not parts.path or parts.path.startswith("/"):
        return None
    return os.path.normpath(urllib.parse.unquote(parts.path))


def title_of(text):
    for line in text.splitlines():
        if line.startswith("# "):
            return line[2:].strip()
    return "Vandrel User Guide"


def write_atomically(path, data):
    folder = os.path.dirname(path) or "."
    handle, temporary = tempfile.mkstemp(dir=folder, prefix=".user-guide.")
    try:
        with os.fdopen(handle, "w", encoding="utf-8") as out:
            out.write(data)
        os.chmod(temporary, 0o644)
        os.replace(temporary, path)
    except BaseException:
        os.unlink(temporary)
        raise


def main(arguments):
    if len(arguments) != 3:
        sys.exit("usage: user-guide.py GUIDE.md OUTPUT.html FOOTER")
    guide, output, footer = arguments
    source_folder = os.path.dirname(os.path.abspath(guide))
    output_folder = os.path.dirname(os.path.abspath(output))
    os.makedirs(output_folder, exist_ok=True)

    with open(guide, encoding="utf-8") as source:
        text = source.read()
    body = markdown.markdown(text, extensions=["extra", "sane_lists", "toc"],
                             output_format="html")

    references = References()
    references.feed(body)
    wanted = set()
    for reference in references.images + references.links:
        path = local_path(reference)
        if path is None:
            continue
        if path.startswith(".."):
            sys.exit(f"{guide}: '{reference}' is outside the guide's folder, "
                     "so the installed guide cannot show it")
        if not os.path.isfile(os.path.join(source_folder, path)):
            sys.exit(f"{guide}: '{reference}' does not exist")
        wanted.add(path)

    for path in sorted(wanted):
        target = os.path.join(output_folder, path)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(os.path.join(source_folder, path), target)
        os.chmod(target, 0o644)
    # Images the guide no longer shows must not be installed with it.
    for folder, _, names in os.walk(output_folder):
        for name in names:
            path = os.path.relpath(os.path.join(folder, name), output_folder)
            if name.lower().endswith(IMAGE_EXTENSIONS) and path not in wanted:
                os.unlink(os.path.join(folder, name))

    page = (
        "<!DOCTYPE html>\n"
        '<html lang="en">\n<head>\n<meta charset="utf-8">\n'
        '<meta name="viewport" content="width=device-width, initial-scale=1">\n'
        f"<title>{html.escape(title_of(text))}</title>\n"
        f"<style>{STYLE}</style>\n</head>\n<body>\n<main>\n{body}\n</main>\n"
        f"<footer>{html.escape(footer)}</footer>\n</body>\n</html>\n"
    )
    write_atomically(output, page)


if __name__ == "__main__":
    main(sys.argv[1:])
