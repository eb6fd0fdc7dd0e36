// Modal message boxes and the open-file dialog: recording, scripted answers,
// and the hand-over to the main thread.
//
// A box may be asked for from any thread; it always runs on the main thread
// (loop_call_blocking, which waits through the loop when called from a worker) and
// the caller gets the answer when it was given. Each box is recorded before it
// is answered, then the answer is found in this order: the hook, the next
// scripted answer, then the backend (the Qt view asks the operator; headless
// gives the default: OK, or No for a Yes/No box). The file dialog follows the
// same path with its own script and record.
#include <sys/stat.h>

#include <deque>
#include <optional>

#include "platform/cp1252.h"
#include "platform/loop.h"
#include "platform/win_internal.h"

namespace plat {

using namespace winimpl;

namespace {

struct BoxState {
    std::mutex mu;
    std::vector<WinBoxRecord> shown;
    uint64_t generation = 0;  // bumped by a clear, so a late answer finds no stale row
    std::deque<WinAnswer> script;
    WinBoxHook hook;
    std::deque<std::optional<std::string>> file_script;
    std::vector<WinFileRecord> files;
};

BoxState &boxes() {
    static BoxState s;
    return s;
}

bool fits(WinButtons buttons, WinAnswer a) {
    if (buttons == WIN_BOX_OK) return a == WIN_ANSWER_OK;
    return a == WIN_ANSWER_YES || a == WIN_ANSWER_NO;
}

WinAnswer default_answer(WinButtons buttons) {
    return buttons == WIN_BOX_OK ? WIN_ANSWER_OK : WIN_ANSWER_NO;
}

// Runs one box on the main thread.
WinAnswer box_on_main(WinBoxRecord rec) {
    BoxState &s = boxes();
    {
        std::lock_guard lk(reg().mu);
        if (!find(rec.owner)) rec.owner = -1;
    }
    size_t row;
    uint64_t gen;
    WinBoxHook hook;
    {
        std::lock_guard lk(s.mu);
        row = s.shown.size();
        gen = s.generation;
        s.shown.push_back(rec);
        hook = s.hook;
    }
    WinAnswer a = WIN_ANSWER_NONE;
    if (hook) {
        a = hook(rec);
        if (a != WIN_ANSWER_NONE && !fits(rec.buttons, a)) a = default_answer(rec.buttons);
    }
    if (a == WIN_ANSWER_NONE) {
        std::lock_guard lk(s.mu);
        if (!s.script.empty()) {
            a = s.script.front();
            s.script.pop_front();
            if (!fits(rec.buttons, a)) a = default_answer(rec.buttons);
        }
    }
    if (View *v = current_view()) a = v->box(rec, a);
    if (!fits(rec.buttons, a)) a = default_answer(rec.buttons);
    {
        std::lock_guard lk(s.mu);
        if (s.generation == gen && row < s.shown.size()) s.shown[row].answer = a;
    }
    return a;
}

// `path` is Windows-1252 like every text of the layer; the file system's names are UTF-8.
bool is_file(const std::string &path) {
    struct stat st {};
    return stat(cp1252_to_utf8(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Appends the default extension to a name whose last part has no dot.
std::string with_ext(const std::string &path, const std::string &def_ext) {
    const std::string ext = bare_ext(def_ext);
    if (ext.empty()) return path;
    const size_t slash = path.find_last_of('/');
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    if (base.empty() || base.find('.') != std::string::npos) return path;
    return path + "." + ext;
}

}  // namespace

namespace winimpl {
std::string bare_ext(const std::string &def_ext) {
    return !def_ext.empty() && def_ext[0] == '.' ? def_ext.substr(1) : def_ext;
}

void boxes_reset() {
    win_boxes_clear();
    win_set_box_hook(nullptr);
}
}  // namespace winimpl

WinIcon win_icon_from_style(unsigned style) {
    if (style & 1) return WIN_ICON_STOP;
    if (style & 2) return WIN_ICON_QUESTION;
    if (style & 4) return WIN_ICON_EXCLAMATION;
    return WIN_ICON_NONE;
}

WinAnswer win_message_box(int owner, const char *caption, const char *body, WinButtons buttons,
                          WinIcon icon) {
    WinBoxRecord rec{owner,
                     caption ? caption : "",
                     body ? body : "",
                     buttons == WIN_BOX_YESNO ? WIN_BOX_YESNO : WIN_BOX_OK,
                     icon,
                     WIN_ANSWER_NONE};
    WinAnswer a = WIN_ANSWER_NONE;
    loop_call_blocking([&] { a = box_on_main(rec); });
    return a;
}

void win_script_box(WinAnswer answer) {
    BoxState &s = boxes();
    std::lock_guard lk(s.mu);
    s.script.push_back(answer);
}

void win_set_box_hook(WinBoxHook hook) {
    BoxState &s = boxes();
    std::lock_guard lk(s.mu);
    s.hook = std::move(hook);
}

std::vector<WinBoxRecord> win_boxes_shown() {
    BoxState &s = boxes();
    std::lock_guard lk(s.mu);
    return s.shown;
}

void win_boxes_clear() {
    BoxState &s = boxes();
    std::lock_guard lk(s.mu);
    s.shown.clear();
    s.files.clear();
    s.script.clear();
    s.file_script.clear();
    ++s.generation;
}

int win_open_file(const WinOpenFileArgs &args, std::string *path) {
    if (!path || args.filters.size() % 2 != 0) return WIN_OPEN_BAD_ARG;
    path->clear();
    int result = WIN_OPEN_CANCEL;
    loop_call_blocking([&] {
        BoxState &s = boxes();
        std::optional<std::optional<std::string>> scripted;
        {
            std::lock_guard lk(s.mu);
            if (!s.file_script.empty()) {
                scripted = s.file_script.front();
                s.file_script.pop_front();
            }
        }
        std::string chosen;
        if (scripted) {
            if (scripted->has_value()) {
                chosen = with_ext(**scripted, args.def_ext);
                result = (!args.must_exist || is_file(chosen)) ? WIN_OPEN_CHOSEN : WIN_OPEN_CANCEL;
            }
        } else if (View *v = current_view()) {
            result = v->open_file(args, &chosen);
        }
        if (result != WIN_OPEN_CHOSEN) chosen.clear();
        *path = chosen;
        std::lock_guard lk(s.mu);
        s.files.push_back(WinFileRecord{args, chosen, result});
    });
    return result;
}

void win_script_file(const char *path) {
    BoxState &s = boxes();
    std::lock_guard lk(s.mu);
    if (path)
        s.file_script.emplace_back(std::string(path));
    else
        s.file_script.emplace_back(std::nullopt);
}

std::vector<WinFileRecord> win_files_shown() {
    BoxState &s = boxes();
    std::lock_guard lk(s.mu);
    return s.files;
}

}  // namespace plat
