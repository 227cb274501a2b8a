#!/usr/bin/env python3
"""Prints benchmark results as ratios against the baseline measured in the same run."""
import json
import sys

# measurement -> (baseline, what the ratio means)
PAIRS = {
    "BM_CapitalizeWordsInPlace": ("BM_Memcpy", "bandwidth / memcpy bandwidth"),
    "BM_CapitalizeWordsCopy": ("BM_DeepCopy", "bandwidth / deep-copy bandwidth"),
    "BM_ApplyCapitalizeWords": ("BM_SetPlainText", "time / setPlainText time"),
    "BM_PasteClipboard": ("BM_PasteBaseline", "time / setPlainText time"),
    "BM_InsertInShownDocument": ("BM_PasteBaseline", "time / setPlainText time"),
    "BM_WriteRtf": ("BM_ToHtml", "time / toHtml time"),
    "BM_SaveFile": ("BM_ToHtml", "time / toHtml time"),
    "BM_LoadFileToFirstPaint": ("BM_LibreOfficeLoad", "open to first paint / LibreOffice's load"),
    "BM_StartQuillmere": ("BM_StartFeatherPad", "time to first paint / FeatherPad's"),
    "BM_OpenTable": ("BM_OpenPlainCells", "open to first paint / plain text, a line a cell"),
    "BM_OpenNestedTables": ("BM_OpenPlainNested", "open to first paint / plain text, a line a level"),
    "BM_OpenParagraphs": ("BM_SetPlainTextParagraphs", "open to first paint / setPlainText's"),
    "BM_OpenPictures": ("BM_DecodePictures", "open to first paint / decoding the pictures"),
}
# counter -> what its ratio means; printed as a row of its own wherever both runs carry it
COUNTER_RATIOS = {
    "last_paint_ms": "time until drawing stops / FeatherPad's",
    "idle_rss_mb": "idle resident memory / FeatherPad's",
    "peak_rss_mb": "peak resident memory / the baseline's",
}


def medians(paths):
    results = {}
    for path in paths:
        with open(path, encoding="utf-8") as handle:
            for run in json.load(handle)["benchmarks"]:
                if run.get("aggregate_name", "median") != "median":
                    continue
                results[run["run_name"]] = run
    return results


def main(paths):
    results = medians(paths)
    print("| measurement | baseline | ratio | meaning | extra |")
    print("|---|---|---|---|---|")
    for name, run in sorted(results.items()):
        family, _, args = name.partition("/")
        if family not in PAIRS:
            continue
        baseline_family, meaning = PAIRS[family]
        baseline = results.get(f"{baseline_family}/{args}")
        if baseline is None:
            continue
        if "bytes_per_second" in run:
            ratio = run["bytes_per_second"] / baseline["bytes_per_second"]
        else:
            ratio = run["real_time"] / baseline["real_time"]
        extra = ", ".join(
            f"{key}={run[key]:.1f}"
            for key in ("longest_stall_ms", "longest_stall_cpu_ms", "peak_rss_mb", "rss_growth_mb",
                        "bound_mb", "bytes_per_paragraph")
            if key in run
        )
        base_extra = (f" (baseline longest_stall_ms={baseline['longest_stall_ms']:.1f})"
                      if "longest_stall_ms" in baseline else "")
        print(f"| {name} | {baseline_family} | {ratio:.3f} | {meaning} | {extra}{base_extra} |")
        for counter, counter_meaning in COUNTER_RATIOS.items():
            if counter in run and counter in baseline:
                print(f"| {name} {counter} | {baseline_family} | "
                      f"{run[counter] / baseline[counter]:.3f} | {counter_meaning} | "
                      f"{run[counter]:.1f} against {baseline[counter]:.1f} |")


if __name__ == "__main__":
    main(sys.argv[1:])
