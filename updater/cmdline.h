// The updater's command line: the client's full executable path, unquoted, spaces allowed.
#pragma once

#include <string>
#include <vector>

// An owned copy of a text split into tokens in place.
class CommandLineArgs {
public:
    explicit CommandLineArgs(const char* text);
    CommandLineArgs(const CommandLineArgs&) = delete;
    CommandLineArgs& operator=(const CommandLineArgs&) = delete;

    // Splits the copy: tokens are separated by white space; a token that starts with a double
    // quote runs to the next quote followed by white space or the end.
    void Split();
    size_t GetCount() const { return m_tokens.size(); }
    const char* operator[](size_t i) const { return m_tokens[i]; }

private:
    std::vector<char> m_text;
    std::vector<const char*> m_tokens;
};

// The executable path the client passed: the whole command line with surrounding white space and
// one pair of enclosing quotes removed (launchers sometimes add either). Empty when nothing is left.
std::string ExecutablePathFromCommandLine(const char* commandLine);

// The update file written beside the executable.
inline std::string UpdateFilePath(const std::string& exe) { return exe + ".new"; }

// A path the wide file functions accept at any length: absolute paths of MAX_PATH or more get the
// "\\?\" (or "\\?\UNC\") prefix; others are returned as they are.
std::string LongPathForm(const std::string& path);
