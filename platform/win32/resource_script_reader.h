// Reading a resource script as the resource compiler's preprocessor does:
// comments go, #include "header" brings in the header's #defines, system
// headers are the platform's own and #pragma is ignored. What is left keeps
// its lines, so that the grammar reports the script's own line numbers.
#pragma once

#include <map>
#include <string>

namespace win32_host {

// A define's name and its body, as written.
using ScriptDefines = std::map<std::string, std::string>;

struct PreprocessedScript {
    std::string text; // the script with its preprocessor lines blanked
    ScriptDefines defines;
};

// Throws std::runtime_error with file and line when a line cannot be read.
PreprocessedScript preprocess_script(const std::string& path);

// The whole file; throws std::runtime_error naming it when it cannot be read.
std::string read_script_file(const std::string& path);
// The folder a script's own file names are relative to.
std::string script_directory(const std::string& path);
// Throws std::runtime_error "path:line: what".
[[noreturn]] void script_error(const std::string& path, int line, const std::string& what);

} // namespace win32_host
