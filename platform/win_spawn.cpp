// Starting an external viewer for a file.
//
// The viewer is configured as a command text ("xdg-open ", "less -R"),
// in Windows-1252 like all the program's texts; the words are converted to
// UTF-8 for the system.
// It is never handed to a shell: the text is split into words here (blanks
// separate, double quotes group and are removed), the file name is added as
// one argument of its own, and the program is started with posix_spawnp. So a
// file name holding blanks, quotes, ';' or '$(...)' reaches the viewer as the
// one name it is and runs nothing. The child gets no descriptors beyond 0-2
// (an open serial port stays ours), and a small detached thread reaps it so
// that no zombie is left behind; nobody waits for the viewer itself.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "platform/cp1252.h"
#include "platform/win.h"

extern char **environ;

namespace plat {

namespace {

// Splits `text` into words; false on an unbalanced quote.
bool split_words(const char *text, std::vector<std::string> *out) {
    if (!text) return true;
    std::string word;
    bool in_word = false, quoted = false;
    for (const char *p = text; *p; ++p) {
        const char c = *p;
        if (c == '"') {
            quoted = !quoted;
            in_word = true;  // "" is an empty word of its own
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (in_word) out->push_back(word);
            word.clear();
            in_word = false;
        } else {
            word += c;
            in_word = true;
        }
    }
    if (quoted) return false;
    if (in_word) out->push_back(word);
    return true;
}

}  // namespace

std::vector<std::string> win_viewer_argv(const char *command, const char *file,
                                         const char *suffix) {
    std::vector<std::string> argv;
    if (!split_words(command, &argv) || argv.empty() || argv[0].empty()) return {};
    if (file && *file) argv.emplace_back(file);
    std::vector<std::string> tail;
    if (!split_words(suffix, &tail)) return {};
    argv.insert(argv.end(), tail.begin(), tail.end());
    // The words are Windows-1252; the program and the file system expect UTF-8.
    for (std::string &a : argv) a = cp1252_to_utf8(a);
    return argv;
}

int win_start_viewer(const char *command, const char *file, const char *suffix) {
    const std::vector<std::string> args = win_viewer_argv(command, file, suffix);
    if (args.empty()) return 1;
    std::vector<char *> argv;
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addclosefrom_np(&fa, 3);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) return 2;
    std::thread([pid] {
        int status;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    }).detach();
    return 0;
}

}  // namespace plat
