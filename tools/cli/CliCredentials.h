#pragma once
// Where a command's admin password comes from, in this order: --password-file FILE (its
// first line), --password-stdin, the environment variable TARSEL_PASSWORD, or a prompt
// without echo when stdin is a terminal. Never from the command line itself, where other
// users of the machine could read it.

#include <cstdio>
#include <string>

#include "CliArgs.h"

namespace cli {

// The longest user name and password the cameras' records hold.
inline constexpr size_t kMaxCredentialLength = 40;

struct Credentials {
    std::string user;
    std::string password;
};

// How a command that takes --user is given the password, for its --help (and so the
// manual page) and for `tarsel --help`.
inline constexpr char kPasswordHelp[] =
    "\n"
    "password: --user U names the camera's administrator; the password comes from, in this\n"
    "order: --password-file FILE (its first line), --password-stdin (the first line of\n"
    "stdin), the environment variable TARSEL_PASSWORD, or a prompt without echo when stdin\n"
    "is a terminal. It is never given on the command line, where other users of this\n"
    "machine could read it. User name and password hold at most 40 characters.\n"
    "  --user U               the administrator's user name\n"
    "  --password-file FILE   read the password from the first line of FILE\n"
    "  --password-stdin       read the password from the first line of stdin\n";

// Fills credentials from --user and the password sources. Returns an exit code: 0, 1 for
// a usage error (no --user, no password source, too long), 6 for an unreadable file.
int ResolveCredentials(const ParsedArgs& args, Credentials& credentials, std::string& error,
                       FILE* stdinStream = stdin);

}  // namespace cli
