// orvo's command line: a table of the few arguments it knows.
#include <cctype>
#include <cstring>

#include "driver/driver.h"
#include "platform/platform.h"

namespace driver {
namespace {

struct Known {
    const char* name;
    Command command;        // help or version; run for the presentation choices
    uint32_t presentation;  // the choice's bits
    bool stats;
    bool sound;      // --sound: a screensaver that is heard
    bool root;       // the screensaver daemon's window, else the root window
    bool window_id;  // the next word is a window's id
};

// A screensaver is silent unless asked (hacks are), whatever the order.
constexpr uint32_t kScreensaver = platform::kPresentInWindow | platform::kPresentSilent;

constexpr Known kKnown[] = {
    {"--help", Command::help, 0, false, false, false, false},
    {"--version", Command::version, 0, false, false, false, false},
    {"--window", Command::run, platform::kPresentWindowed, false, false, false, false},
    {"--sharp", Command::run, platform::kPresentSharp, false, false, false, false},
    {"--stats", Command::run, 0, true, false, false, false},
    {"--root", Command::run, kScreensaver, false, false, true, false},
    {"--window-id", Command::run, kScreensaver, false, false, false, true},
    {"--sound", Command::run, 0, false, true, false, false},
    // Windows starts a screensaver (orvo.scr) with these, in either case,
    // with - for /, and a window's handle after a space or a colon.
    {"/s", Command::run, platform::kPresentScreensaver, false, false, false, false},
    {"/p", Command::run, kScreensaver, false, false, false, true},
    {"/c", Command::settings, 0, false, false, false, false},
};

// "/S", "-s", "/p:1234", "/c:5678" as the table's "/s", "/p", "/c"; the
// handle after a colon, if any, in *attached. Other words stay as they are.
const char* screensaver_form(const char* word, char (&form)[3], const char** attached) {
    *attached = nullptr;
    if ((word[0] != '/' && word[0] != '-') || word[1] == '\0' || (word[2] != '\0' && word[2] != ':')) return word;
    const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(word[1])));
    if (letter != 's' && letter != 'p' && letter != 'c') return word;
    form[0] = '/';
    form[1] = letter;
    form[2] = '\0';
    if (word[2] == ':') *attached = word + 3;
    return form;
}

// Windows runs a screensaver with no argument to ask for its settings.
bool named_as_screensaver(const char* program) {
    const size_t length = std::strlen(program);
    if (length < 4) return false;
    const char* end = program + length - 4;
    return end[0] == '.' && std::tolower(static_cast<unsigned char>(end[1])) == 's' &&
           std::tolower(static_cast<unsigned char>(end[2])) == 'c' &&
           std::tolower(static_cast<unsigned char>(end[3])) == 'r';
}

Arguments refuse(int index, const char* word, const char* why) {
    return {Command::refuse, 0, false, 0, index, word, why};
}

}  // namespace

bool parse_window_id(const char* text, uintptr_t* id) {
    const bool hex = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* digit = hex ? text + 2 : text;
    uint64_t value = 0;
    if (*digit == '\0') return false;
    for (; *digit != '\0'; ++digit) {
        int d = -1;
        if (*digit >= '0' && *digit <= '9') d = *digit - '0';
        if (hex && *digit >= 'a' && *digit <= 'f') d = *digit - 'a' + 10;
        if (hex && *digit >= 'A' && *digit <= 'F') d = *digit - 'A' + 10;
        if (d < 0) return false;
        value = value * (hex ? 16 : 10) + static_cast<uint64_t>(d);
        if (value > 0xFFFFFFFFu) return false;  // X ids and window handles that cross processes fit 32 bits
    }
    if (value == 0) return false;
    *id = static_cast<uintptr_t>(value);
    return true;
}

Arguments parse_arguments(int argc, const char* const* argv, const char* screensaver_window) {
    Arguments arguments{Command::run, 0, false, 0, 0, "", ""};
    bool sound = false;
    int root = 0, window_id = 0;  // where each was given
    if (argc == 1 && named_as_screensaver(argv[0])) arguments.command = Command::settings;
    for (int i = 1; i < argc; ++i) {
        char form[3];
        const char* attached = nullptr;
        const char* word = screensaver_form(argv[i], form, &attached);
        const Known* known = nullptr;
        for (const Known& candidate : kKnown) {
            if (std::strcmp(word, candidate.name) == 0) known = &candidate;
        }
        if (known == nullptr) return refuse(i, argv[i], "unknown argument");
        // --help, --version and /c answer only when they stand alone; /c may
        // name the settings dialog's owner, which a message box can do without.
        uintptr_t owner = 0;
        const bool alone =
            argc == 2 || (known->command == Command::settings && argc == 3 && parse_window_id(argv[2], &owner));
        if (known->command != Command::run && !alone) return refuse(i, argv[i], "this argument stands alone:");
        if (known->command != Command::run) arguments.command = known->command;
        if (known->command == Command::settings) break;
        arguments.presentation |= known->presentation;
        arguments.stats = arguments.stats || known->stats;
        sound = sound || known->sound;
        if (known->root) root = i;
        if (known->window_id) {
            if (attached == nullptr && i + 1 == argc) return refuse(i, argv[i], "a window id must follow");
            window_id = i;
            const char* id = attached != nullptr ? attached : argv[++i];
            if (!parse_window_id(id, &arguments.window)) {
                return refuse(i, id, "not a window id (hexadecimal with 0x, or decimal):");
            }
        }
    }
    if (root != 0 && window_id != 0) {
        const int later = root > window_id ? root : window_id;
        return refuse(later, argv[later], "--root and --window-id exclude each other:");
    }
    // xscreensaver names the window it made for its hack in the environment.
    if (root != 0 && screensaver_window != nullptr && screensaver_window[0] != '\0' &&
        !parse_window_id(screensaver_window, &arguments.window)) {
        return refuse(root, screensaver_window, "XSCREENSAVER_WINDOW is not a window id:");
    }
    if (sound) arguments.presentation &= ~platform::kPresentSilent;
    return arguments;
}

const char* usage() {
    return "usage: orvo [--window] [--sharp] [--stats] | --root | --window-id ID [--sound] | /s | /p HWND | /c\n"
           "       orvo --version | --help\n"
           "Plays the Orvo demo on the whole screen until Escape. It reads 02.jpg, 02a.jpg,\n"
           "king.jpg and s.s3m from the working directory, or else from the folder installed\n"
           "with it.\n"
           "  --window        a resizable window instead of the whole screen\n"
           "  --sharp         scale by whole numbers with square pixels, black around\n"
           "  --stats         at exit, one line: frames presented and the interval between them\n"
           "  --root          as an xscreensaver hack: into $XSCREENSAVER_WINDOW, else the\n"
           "                  root window; silent, keys ignored, ends on SIGTERM\n"
           "  --window-id ID  likewise into the X window ID (0x hexadecimal, or decimal)\n"
           "  --sound         with --root or --window-id: play the song too\n"
           "  /s, /p HWND, /c as a Windows screensaver: play until any input, draw into a\n"
           "                  preview window, say that there are no settings\n"
           "Alt+Enter switches between the whole screen and a window.\n";
}

}  // namespace driver
