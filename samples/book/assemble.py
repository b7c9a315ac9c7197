#!/usr/bin/env python3
"""Assembles the sample book's JSON source from the files under src/.

    assemble.py SRC_DIR OUT.json

The parts are written for people: topics, questionnaires, flow charts, grids
and index entries each have a compact form that this script turns into the
node tree that vrok-book reads (field, type, text|value|ref, id, children).
Image files are written relative to the output file's folder.

Link shorthand inside any text:
  [[key]] or [[key|shown text]]      a link to the page of key
  [[key#section|shown text]]         the same, with the anchor of a topic section
  [[img:key]]                        an inline image (the row of a figure)
  ((term)) or ((term|shown text))    a link to a term of the glossary (a pop-up)
  {fn:N}                             a superscript link to footnote N of this topic
  {pop:name|shown text}              a link to this topic's own pop-up text
Keys: a topic id ("asthma"), "brief:ID", "drug:ID", "sym:ID", "proc:ID",
"fig:ID", "grid:ID", "q:ID", "fc:ID", and the ids of hand-written tables.
"""
import glob
import json
import os
import re
import sys

DETAIL_SECTIONS = ["def", "causes", "features", "tests", "manage", "watch"]
DETAIL_NAMES = ["Definition", "Causes and risks", "Clinical features", "Investigations",
                "Management", "Watch for"]
BRIEF_SECTIONS = ["summary", "flags", "see"]
BRIEF_NAMES = ["In short", "Act at once if", "See also"]


class Book:
    def __init__(self, src):
        self.src = src
        self.keys = {}      # key -> (node id, default text)
        self.glossary = {}  # term -> node id
        self.items = []     # binary items
        self.errors = []

    def load(self, name):
        with open(os.path.join(self.src, name), encoding="utf-8") as f:
            return json.load(f)

    def key(self, key, node_id, text):
        if key in self.keys:
            self.errors.append(f"key '{key}' defined twice")
        self.keys[key] = (node_id, text)

    # ---- text shorthand -------------------------------------------------
    def expand(self, text, topic=None):
        def link(m):
            target, shown = m.group(1), m.group(2)
            if target.startswith("img:"):
                node = self.keys.get(target.replace("img:", "fig:", 1))
                if not node:
                    self.errors.append(f"unknown image '{target}'")
                    return ""
                return "<IMG SRC='{{row:%s}}'>" % node[0]
            base, _, section = target.partition("#")
            node = self.keys.get(base)
            if not node:
                self.errors.append(f"unknown link '{target}' in: {text[:60]}")
                return shown or target
            href = "{{row:%s}}" % node[0]
            if section:
                href += "#{{row:%s-%s}}" % (node[0], section)
            return "<A HREF='%s'>%s</A>" % (href, shown or node[1])

        def term(m):
            word, shown = m.group(1), m.group(2)
            node = self.glossary.get(word.lower())
            if not node:
                self.errors.append(f"unknown glossary term '{word}'")
                return shown or word
            return "<A HREF='{{row:%s}}'>%s</A>" % (node, shown or word)

        def footnote(m):
            return "<SUP><A HREF='{{row:%s-fn%s}}'>%s</A></SUP>" % (topic, m.group(1), m.group(1))

        def popup(m):
            return "<A HREF='{{row:%s-pop-%s}}'>%s</A>" % (topic, m.group(1), m.group(2))

        text = re.sub(r"\[\[([^\]|]+)(?:\|([^\]]+))?\]\]", link, text)
        text = re.sub(r"\(\(([^)|]+)(?:\|([^)]+))?\)\)", term, text)
        text = re.sub(r"\{fn:(\d+)\}", footnote, text)
        text = re.sub(r"\{pop:([a-z0-9-]+)\|([^}]+)\}", popup, text)
        return text

    def expand_tree(self, node):
        if "text" in node:
            node["text"] = self.expand(node["text"])
        for child in node.get("children", []):
            self.expand_tree(child)
        return node

    # ---- figures ----------------------------------------------------------
    def figure(self, fig, out_dir):
        variants = []
        for size in (240, 480):
            path = os.path.join(self.src, "..", "figures", f"{fig['file']}-{size}.png")
            variants.append({"width": size, "height": size * 4 // 3,
                             "file": os.path.relpath(path, out_dir)})
        self.items.append({"variants": variants})
        item = len(self.items) - 1
        node = {"id": "fig-" + fig["id"], "field": "hierarchy item", "text": fig["title"],
                "children": [{"field": "table type", "text": "figure"},
                             {"field": "data", "value": item}]}
        if fig.get("note"):
            node["children"].append({"field": "note", "text": fig["note"]})
        return node


def s(field, text, **kw):
    node = {"field": field, "text": text}
    node.update(kw)
    return node


def n(field, value, **kw):
    node = {"field": field, "value": value}
    node.update(kw)
    return node


def signed(v):
    return v & 0xFFFFFFFF


def build(src, out):
    b = Book(src)
    out_dir = os.path.dirname(os.path.abspath(out))
    tables = b.load("tables.json")
    chapters = [b.load(os.path.relpath(p, src)) for p in sorted(glob.glob(os.path.join(src, "topics", "*.json")))]
    drugs = b.load("drugs.json")
    symptoms = b.load("symptoms.json")
    procedures = b.load("procedures.json")
    questionnaires = b.load("questionnaires.json")
    charts = b.load("flowcharts.json")
    grids = b.load("grids.json")
    glossary = b.load("glossary.json")
    figures = b.load("figures.json")
    extra_index = b.load("index.json")

    # Every key first, so that any text may link to any page.
    for key, text in (("contents", "Contents"), ("index", "Index"), ("a_z_in_detail", "A to Z in detail"),
                      ("a_z_in_brief", "A to Z in brief"), ("diagnostic_index", "Diagnostic index"),
                      ("procedures", "Practical procedures"), ("emergencies", "Emergencies at a glance"),
                      ("calculators", "Calculators"), ("splash", "Title picture"),
                      ("contents-drugs", "Drug notes"), ("contents-figures", "Figures"),
                      ("contents-quick", "Quick lists")):
        b.key(key, key, text)
    for t in tables["pages"]:
        b.key(t["id"], t["id"], t.get("link text", t["text"]))
    for ch in chapters:
        b.key(ch["id"], "d-" + ch["id"], ch["title"])
        for t in ch["topics"]:
            b.key(t["id"], "d-" + t["id"], t["title"])
            b.key("brief:" + t["id"], "b-" + t["id"], t["title"])
    for d in drugs:
        b.key("drug:" + d["id"], "drug-" + d["id"], d["title"])
    for x in symptoms:
        b.key("sym:" + x["id"], "sym-" + x["id"], x["title"])
    for x in procedures:
        b.key("proc:" + x["id"], "proc-" + x["id"], x["title"])
    for q in questionnaires:
        b.key("q:" + q["id"], "q-" + q["id"], q["title"])
        b.key("calc:" + q["id"], "calc-" + q["id"], q["title"])
    for c in charts:
        b.key("fc:" + c["id"], "fc-" + c["id"], c["name"])
    for g in grids:
        b.key("grid:" + g["id"], "grid-" + g["id"], g["name"])
    for f in figures:
        b.key("fig:" + f["id"], "fig-" + f["id"], f["title"])
    for term in glossary:
        b.glossary[term["term"].lower()] = "gl-" + re.sub(r"[^a-z0-9]+", "-", term["term"].lower())

    root = []

    # Flow charts come first: their "question" field then sorts before
    # "table type", so a chart table's first child is its first question.
    for c in charts:
        kids = []
        for q in c["questions"]:
            answers = []
            for a in q["answers"]:
                akids = [s("result", b.expand(r)) for r in a.get("results", [])]
                if "next" in a:
                    akids.append({"field": "next question", "ref": f"fc-{c['id']}-{a['next']}"})
                answers.append(s("answer", b.expand(a["text"]), children=akids))
            kids.append(s("question", b.expand(q["text"]), id=f"fc-{c['id']}-{q['id']}", children=answers))
        kids.append(s("table type", "flow chart"))
        root.append(s("table", c["name"], id="fc-" + c["id"], children=kids))

    # Hand-written tables (named pages, glossary-free html).
    for t in tables["pages"]:
        node = {k: v for k, v in t.items() if k != "link text"}
        node.setdefault("field", "table")
        root.append(b.expand_tree(node))

    # CONTENTS: a configurable tight hierarchy shown as an html list.
    contents = tables["contents"]
    ckids = [s("table type", "configurable tight hierarchy"), s("view mode", "html list")]
    for entry in contents["entries"]:
        ckids.append(s("hierarchy item", b.expand(entry["text"]),
                       children=[{"field": "link", "ref": b.keys[entry["link"]][0]}]))
    drugs = sorted(drugs, key=lambda d: d["title"].lower())
    ckids.append(s("hierarchy item", "Drug notes", id="contents-drugs", children=[s("view mode", "index with fields")] + [
        s("hierarchy item", d["title"], children=[{"field": "link", "ref": "drug-" + d["id"]}]) for d in drugs]))
    ckids.append(s("hierarchy item", "Figures", id="contents-figures",
                   children=[s("view mode", "index")] + [b.figure(f, out_dir) for f in figures]))
    ckids.append(s("hierarchy item", "Quick lists", id="contents-quick",
                   children=[s("view mode", "html list")] + [
                       s("hierarchy item", q["title"], id="quick-" + q["id"],
                         children=[s("view mode", "index")] + [
                             s("hierarchy item", b.keys[k][1], children=[{"field": "link", "ref": b.keys[k][0]}])
                             for k in q["links"]]) for q in contents["quick lists"]]))
    # The figures and the quick lists keep the order they are read in, not
    # the search's: "sort": false lets vrok-book accept them with a warning.
    root.append(s("table", "CONTENTS", id="contents", sort=False, children=ckids))

    # The drug notes themselves: records of an html list table, reached
    # through the list above and through links.
    root.append(s("table", "Drug notes", id="drug-notes", children=[s("table type", "html list")] + [
        s("field name", x) for x in ["Uses", "Usual adult dose", "Cautions", "Monitoring"]] + [
        s("hierarchy item", d["title"], id="drug-" + d["id"], children=[s("field", b.expand(x)) for x in d["fields"]])
        for d in drugs]))

    # A_Z_IN_DETAIL: chapters of topics, a path table.
    dkids = [s("table type", "configurable tight hierarchy"), s("view mode", "html list"),
             n("is path", 1)] + [s("field name", x) for x in DETAIL_NAMES]
    for ch in chapters:
        topics = []
        for t in ch["topics"]:
            tid = "d-" + t["id"]
            kids = [s("field", b.expand(x, tid), id=f"{tid}-{sec}") for sec, x in zip(DETAIL_SECTIONS, t["detail"])]
            if t.get("pre label"):
                kids.append(s("pre label", t["pre label"]))
            if t.get("footnotes"):
                kids.append(s("footnotes", "", id=tid + "-fns", children=[
                    s("footnote", b.expand(x), id=f"{tid}-fn{i + 1}") for i, x in enumerate(t["footnotes"])]))
            for name, text in t.get("popups", {}).items():
                kids.append(s("popup", b.expand(text), id=f"{tid}-pop-{name}"))
            topics.append(s("hierarchy item", t["title"], id=tid, children=kids))
        dkids.append(s("hierarchy item", ch["title"], id="d-" + ch["id"],
                       children=[s("view mode", "html list"), s("html prelabel", "<I>Chapter</I> ")] + topics))
    root.append(s("table", "A_Z_IN_DETAIL", id="a_z_in_detail", children=dkids))

    # A_Z_IN_BRIEF: one short record per topic, listed A to Z.
    bkids = [s("table type", "configurable tight hierarchy"), s("view mode", "index"), n("is path", 1)]
    bkids += [s("field name", x) for x in BRIEF_NAMES]
    all_topics = sorted((t for ch in chapters for t in ch["topics"]), key=lambda t: t["title"].lower())
    for t in all_topics:
        tid = "b-" + t["id"]
        see = ["<A HREF='{{row:d-%s}}'>Full entry</A>: <A HREF='{{row:d-%s}}#{{row:d-%s-tests}}'>tests</A>, "
               "<A HREF='{{row:d-%s}}#{{row:d-%s-manage}}'>management</A>" % ((t["id"],) * 5)]
        see += [b.expand("[[%s]]" % r) for r in t.get("see", [])]
        texts = [t["brief"][0], t["brief"][1], "<BR>".join(see)]
        bkids.append(s("hierarchy item", t["title"], id=tid, children=[
            s("field", b.expand(x), id=f"{tid}-{sec}") for sec, x in zip(BRIEF_SECTIONS, texts)]))
    root.append(s("table", "A_Z_IN_BRIEF", id="a_z_in_brief", children=bkids))

    # DIAGNOSTIC_INDEX: presenting problems, each a record.
    xkids = [s("table type", "index with fields")] + [s("field name", x) for x in ["Think of", "Ask about", "First tests"]]
    for x in sorted(symptoms, key=lambda x: x["title"].lower()):
        xkids.append(s("hierarchy item", x["title"], id="sym-" + x["id"],
                       children=[s("field", b.expand(f)) for f in x["fields"]]))
    root.append(s("table", "DIAGNOSTIC_INDEX", id="diagnostic_index", children=xkids))

    # Practical procedures: a tight hierarchy with a record preview.
    pkids = [s("table type", "tight hierarchy")] + [s("field name", x) for x in ["Purpose", "Equipment", "Steps", "Afterwards"]]
    groups = {}
    for x in procedures:
        groups.setdefault(x["group"], []).append(x)
    for g, items in groups.items():
        pkids.append(s("hierarchy item", g, children=[
            s("hierarchy item", x["title"], id="proc-" + x["id"], children=[s("field", b.expand(f)) for f in x["fields"]])
            for x in items]))
    root.append(s("table", "Practical procedures", id="procedures", children=pkids))

    # Emergencies: a linked tight hierarchy of links into the book.
    ekids = [s("table type", "linked tight hierarchy")]
    for g in tables["emergencies"]:
        ekids.append(s("hierarchy item", g["title"], children=[
            s("hierarchy item", b.keys[k][1], children=[{"field": "link", "ref": b.keys[k][0]}]) for k in g["links"]]))
    root.append(s("table", "Emergencies at a glance", id="emergencies", children=ekids))

    # Glossary: a definitions table whose terms open as pop-ups.
    gkids = [s("table type", "definitions")]
    for term in sorted(glossary, key=lambda t: t["term"].lower()):
        gkids.append(s("popup", "<B>%s</B>: %s" % (term["term"], b.expand(term["text"])),
                       id=b.glossary[term["term"].lower()]))
    root.append(s("table", "Glossary", id="glossary", children=gkids))

    # Questionnaires, and the calculator list that leads to them.
    calc = [s("table type", "html"), s("html", "The calculators of this book.")]
    for q in questionnaires:
        qkids = []
        for question in q["questions"]:
            groups_ = []
            for g in question["groups"]:
                controls = []
                for c in g["controls"]:
                    label, score = c
                    child = s("formula", score["formula"]) if isinstance(score, dict) else n("points", score & 0xFFFF)
                    controls.append({"field": g["kind"], "type": g["kind"], "text": b.expand(label), "children": [child]})
                groups_.append({"field": "control group", "text": b.expand(g.get("caption", "")), "children": controls}
                               if g.get("caption") else {"field": "control group", "value": 0, "children": controls})
            qkids.append(s("question", b.expand(question["text"]), children=groups_))
        for bound, text in q["scores"]:
            qkids.append(n("score", signed(bound), children=[s("score text", b.expand(text))]))
        qkids += [s("footnote", b.expand(x)) for x in q.get("footnotes", [])]
        qkids.append(s("table type", "questionarie"))
        root.append(s("table", q["name"], id="q-" + q["id"], children=qkids))
        calc.append(s("calculator", q["title"], id="calc-" + q["id"], children=[
            s("table type", "html"),
            s("html", b.expand("<B>%s</B><BR><BR>%s<BR><BR>[[q:%s|Open the calculator]]" % (q["title"], q["about"], q["id"])))]))
    root.append(s("table", "CALCULATORS", id="calculators", children=calc))

    # Grid tables.
    for g in grids:
        gk = [s("table type", "table"), n("column count", len(g["columns"]))]
        gk += [s("column name", b.expand(c)) for c in g["columns"]]
        for row in g["rows"]:
            gk.append(s("row", "", children=[s("field", b.expand(x)) for x in row]))
        for i, f in enumerate(g["footnotes"]):
            gk.append(s("footnote", b.expand(f), id=f"grid-{g['id']}-fn{i + 1}"))
        root.append(s("table", g["name"], id="grid-" + g["id"], children=gk))

    # INDEX: letters, entries with links and entries that hold entries.
    entries = []
    def add(text, key, section=None, sub=None):
        entries.append((text, key, section, sub))
    sec_words = dict(zip(DETAIL_SECTIONS, ["definition", "causes", "features", "investigations", "management", "complications"]))
    for ch in chapters:
        for t in ch["topics"]:
            sub = [("in brief", "brief:" + t["id"], None)] + [(sec_words[x], t["id"], x) for x in DETAIL_SECTIONS]
            add(t["title"], None, None, sub)
            for alias in t.get("aliases", []):
                add(alias, t["id"])
    for d in drugs:
        add(d["title"], "drug:" + d["id"])
        for alias in d.get("aliases", []):
            add(alias, "drug:" + d["id"])
    for x in symptoms:
        add(x["title"], "sym:" + x["id"])
    for x in procedures:
        add(x["title"], "proc:" + x["id"])
    for q in questionnaires:
        add(q["index"], "q:" + q["id"])
    for c in charts:
        add(c["index"], "fc:" + c["id"])
    for g in grids:
        add(g["index"], "grid:" + g["id"])
    for f in figures:
        add(f["index"], "fig:" + f["id"])
    for e in extra_index:
        add(e["text"], e["link"])

    def plain(text):
        return re.sub(r"<[^>]*>", "", text).lower()
    letters = {}
    for e in entries:
        letters.setdefault(plain(e[0])[0].upper(), []).append(e)
    ikids = [s("table type", "index"), s("footnotes", "", children=[
        s("footnote", "Entries with a list under them lead to the sections of a topic; the others open a page."),
        s("footnote", "The list searches as you type: the first entry that begins with the letters is chosen.")])]
    for letter in sorted(letters):
        lk = []
        for text, key, section, sub in sorted(letters[letter], key=lambda e: plain(e[0])):
            if sub:
                lk.append(s("hierarchy item", text, children=[
                    s("hierarchy item", st, children=[{"field": "link", "ref": b.keys[k][0] + ("-" + sc if sc else "")}])
                    for st, k, sc in sub]))
            else:
                if key not in b.keys:
                    b.errors.append(f"index entry '{text}' links to unknown '{key}'")
                    continue
                lk.append(s("hierarchy item", text, children=[{"field": "link", "ref": b.keys[key][0]}]))
        ikids.append(s("hierarchy item", letter, children=lk))
    root.append(s("table", "INDEX", id="index", children=ikids))

    # SPLASH: the picture shown at start.
    b.items.append({"variants": [
        {"width": sz, "height": sz * 4 // 3,
         "file": os.path.relpath(os.path.join(src, "..", "figures", f"splash-{sz}.png"), out_dir)} for sz in (240, 480)]})
    root.append(s("table", "SPLASH", id="splash", children=[
        s("table type", "figure"), n("data", len(b.items) - 1)]))

    # Readable titles for the tables whose names are for page-name lookups
    # (a "title" child; the name stays as it is).
    titles = {t["text"]: t["link text"] for t in tables["pages"] if "link text" in t}
    titles.update({"CONTENTS": "Contents", "A_Z_IN_DETAIL": "A to Z in detail",
                   "A_Z_IN_BRIEF": "A to Z in brief", "DIAGNOSTIC_INDEX": "Diagnostic index",
                   "CALCULATORS": "Calculators", "INDEX": "Index", "SPLASH": "Tarvessa"})
    titles.update({q["name"]: q["title"] for q in questionnaires})
    for table in root:
        title = titles.get(table.get("text"))
        if table.get("field") == "table" and title and title != table["text"]:
            table.setdefault("children", []).append(s("title", title))

    if b.errors:
        for e in b.errors:
            print("assemble.py: " + e, file=sys.stderr)
        sys.exit(1)
    book = {"stamps": [1, 2, 20261207], "items": b.items,
            "root": {"field": "root", "type": "number", "value": 0, "children": root}}
    with open(out, "w", encoding="utf-8") as f:
        json.dump(book, f, ensure_ascii=False, indent=1)
        f.write("\n")


if __name__ == "__main__":
    if len(sys.argv) != 3:
        print("usage: assemble.py SRC_DIR OUT.json", file=sys.stderr)
        sys.exit(2)
    build(sys.argv[1], sys.argv[2])
