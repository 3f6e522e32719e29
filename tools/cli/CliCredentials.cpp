#include "CliCredentials.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "CliCommand.h"

namespace cli {
namespace {

// One line without its line end (LF or CRLF); false at end of input with nothing read.
bool ReadLine(FILE* in, std::string& line) {
    line.clear();
    int c;
    bool any = false;
    while ((c = std::fgetc(in)) != EOF) {
        any = true;
        if (c == '\n') break;
        line += static_cast<char>(c);
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return any;
}

bool PromptWithoutEcho(std::string& password) {
    termios old{};
    if (tcgetattr(STDIN_FILENO, &old) != 0) return false;
    termios quiet = old;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    std::fputs("Password: ", stderr);
    std::fflush(stderr);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    bool ok = ReadLine(stdin, password);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
    std::fputs("\n", stderr);
    return ok;
}

}  // namespace

int ResolveCredentials(const ParsedArgs& args, Credentials& credentials, std::string& error,
                       FILE* stdinStream) {
    if (!args.Has("--user") || args.Get("--user").empty()) {
        error = "this command needs --user NAME (the camera's admin user)";
        return kExitUsage;
    }
    credentials.user = args.Get("--user");
    if (args.Has("--password-file")) {
        const std::string path = args.Get("--password-file");
        FILE* file = std::fopen(path.c_str(), "r");
        if (file == nullptr) {
            error = "cannot read the password file " + path + ": " + std::strerror(errno);
            return kExitSystem;
        }
        ReadLine(file, credentials.password);
        std::fclose(file);
    } else if (args.Has("--password-stdin")) {
        if (!ReadLine(stdinStream, credentials.password)) {
            error = "--password-stdin: nothing to read on stdin";
            return kExitUsage;
        }
    } else if (const char* env = std::getenv("TARSEL_PASSWORD")) {
        credentials.password = env;
    } else if (stdinStream == stdin && isatty(STDIN_FILENO) == 1) {
        if (!PromptWithoutEcho(credentials.password)) {
            error = "no password entered";
            return kExitUsage;
        }
    } else {
        error = "no password: give --password-file FILE, --password-stdin or TARSEL_PASSWORD";
        return kExitUsage;
    }
    // A longer text would be cut silently by the camera records; refuse it instead.
    if (credentials.user.size() > kMaxCredentialLength ||
        credentials.password.size() > kMaxCredentialLength) {
        error = "user name and password may have at most 40 characters";
        return kExitUsage;
    }
    return kExitOk;
}

}  // namespace cli
