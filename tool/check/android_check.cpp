// check's part of what Android makes of the keys: the lines at which it refuses the standard
// layout or the virtual keyboard's, and each standard key a customer button reaches that it
// delivers as another.
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/paths.h"
#include "keymap/keymap.h"
#include "tool/android/android.h"
#include "tool/check/diagnostics.h"
#include "tool/files/files.h"
#include "tool/keys/keys.h"
#include "tool/layouts/layouts.h"
#include "tool/options.h"

namespace {

// The layout's name as messages give it: its path when it is not in the folder checked.
std::string shown_name(const std::string &layout, const std::string &dir) {
    return layout == dir + "/" + keyboard_layout_file() ? keyboard_layout_file() : layout;
}

// "Android 9 to 13 refuse", "Android 15 refuses".
std::string versions_refuse(unsigned versions) {
    return android_versions_text(versions) + " " + android_verb(versions, "refuse");
}

void add_remarks(report_t *report, const tool_options_t *options, const std::string &path,
                 const std::vector<android_layout_t> &reads) {
    // A remark made by several versions is said once, naming them.
    std::map<std::tuple<int, int, std::string, std::string>, unsigned> remarks;
    for (const android_layout_t &read : reads) {
        for (const android_remark_t &r : read.remarks) {
            remarks[std::make_tuple(r.line, r.verdict, r.why, r.label)] |= 1u << read.version;
        }
    }
    for (const auto &entry : remarks) {
        int line = std::get<0>(entry.first);
        auto verdict = static_cast<android_verdict_t>(std::get<1>(entry.first));
        const std::string &why = std::get<2>(entry.first);
        std::string nearest =
            std::get<3>(entry.first).empty() ? "" : nearest_android_label(std::get<3>(entry.first));
        std::string hint = nearest.empty() ? "" : " (did you mean \"" + nearest + "\"?)";
        unsigned versions = entry.second;
        std::string what;
        severity_t severity = k_warning;
        if (verdict == k_android_refuses) {
            what = ": " + versions_refuse(versions) + " this file and " +
                   android_verb(versions, "use") + " Generic.kl for every key of the device";
            // The newest version judged refusing too makes it an error; else it holds for some.
            int first;
            int last;
            android_judged(options, &first, &last);
            severity = (versions & (1u << last)) != 0 ? k_error : k_warning;
        } else if (verdict == k_android_may_refuse) {
            what = ": whether " + versions_refuse(versions) + " this file is not known here";
        } else {
            what = " by " + android_versions_text(versions);
        }
        add(report, path, line, severity, "%s%s%s", why.c_str(), what.c_str(), hint.c_str());
    }
}

// Why no layout can deliver name on some of versions, "" when it is a label for all of them.
std::string undeliverable(const std::string &name, unsigned versions) {
    int first;
    int last;
    if (!android_label_versions(name, &first, &last)) {
        return "no layout can deliver \"" + name + "\", which is not an Android key label";
    }
    unsigned lacking = versions & ~android_versions(first, last);
    if (lacking == 0) {
        return "";
    }
    return "no layout can deliver \"" + name + "\" on " + android_versions_text(lacking) +
           ", which " + android_verb(lacking, "lack") + " the label";
}

void warn_delivery(report_t *report, const layout_build_t *build, const delivery_t &d, int scancode,
                   const android_key_t &got, unsigned versions) {
    std::string name = build->base[scancode].name;
    std::string file = shown_name(d.layout, build->dir);
    std::string line = "\"key " + std::to_string(scancode) + " " + name + "\"";
    std::string through;
    std::string fix;
    if (got.route == k_through_layout) {
        const android_layout_t &read =
            d.reads[static_cast<size_t>(__builtin_ctz(versions) - d.first)];
        auto at = read.lines.find(scancode);
        through = file + (at != read.lines.end()
                              ? ":" + std::to_string(at->second)
                              : ", which does not map scancode " + std::to_string(scancode));
        fix = line + " there fixes it";
    } else if (got.route == k_generic_no_layout) {
        through = "Generic.kl";
        fix = keyboard_layout_file() + " with " + line + " fixes it";
    } else {
        through = "Generic.kl, as " + versions_refuse(versions) + " " + file;
        fix = "mend it, with " + line;
    }
    std::string lacking = undeliverable(name, versions);
    fix = lacking.empty() ? fix : lacking;
    add(report, standard_layout_path(build), standard_line_of(build, scancode), k_warning,
        "%s (scancode %d) reaches %s as %s, through %s: %s", name.c_str(), scancode,
        android_versions_text(versions).c_str(), delivered_text(got).c_str(), through.c_str(),
        fix.c_str());
}

}  // namespace

void check_android(report_t *report, const layout_build_t *build, const tool_options_t *options) {
    // Android loads the standard layout too, for the receiver.
    std::string standard = standard_layout_path(build);
    std::vector<android_layout_t> reads;
    std::string why;
    if (read_android_layouts(standard, options, &reads, &why) == 0) {
        add_remarks(report, options, standard, reads);
    }
    if (options->android_apart) {
        return;
    }
    bool on_box = options->on_box || same_folder(options->dir, g_keylayout_dir);
    delivery_t d;
    work_out_delivery(build, find_keyboard_layout(build->dir, on_box), options, &d);
    if (!d.unreadable.empty()) {
        add(report, d.layout, 0, k_warning,
            "cannot be read here (%s): what Android delivers through it is not checked",
            d.unreadable.c_str());
        return;
    }
    add_remarks(report, options, d.layout, d.reads);
    unsigned guessed = 0;  // versions judged through a Generic.kl not known here
    for (int scancode : d.reached) {
        // Versions that deliver alike are said once.
        std::map<std::tuple<std::string, int, bool>, std::pair<android_key_t, unsigned>> keys;
        for (int version = d.first; version <= d.last; version++) {
            android_key_t got = delivered(d, version, scancode);
            auto &alike = keys[std::make_tuple(got.label, got.route, got.lacking)];
            alike.first = got;
            alike.second |= 1u << version;
            guessed |= got.known ? 0 : 1u << version;
        }
        for (const auto &entry : keys) {
            if (entry.second.first.label != build->base[scancode].name) {
                warn_delivery(report, build, d, scancode, entry.second.first, entry.second.second);
            }
        }
    }
    if (guessed != 0) {
        add(report, standard, 0, k_note,
            "%s's Generic.kl is not known here: what it delivers through Generic.kl is judged "
            "by Android %d's",
            android_versions_text(guessed).c_str(), generic_kl_oldest());
    }
}
