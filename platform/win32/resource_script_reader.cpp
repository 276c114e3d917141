// The resource script's preprocessor: comments and preprocessor lines.
#include "platform/win32/resource_script_reader.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace win32_host {

std::string read_script_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error(path + ": cannot be read");
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string script_directory(const std::string& path)
{
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

void script_error(const std::string& path, int line, const std::string& what)
{
    throw std::runtime_error(path + ":" + std::to_string(line) + ": " + what);
}

namespace {

// Index of the last character of the comment that starts at `i`; a block
// comment's line breaks are kept, so that line numbers stay.
size_t skip_comment(const std::string& text, size_t i, std::string& out)
{
    if (text[i + 1] == '/') {
        while (i < text.size() && text[i] != '\n')
            ++i;
        out += '\n';
        return i;
    }
    i += 2;
    while (i + 1 < text.size() && !(text[i] == '*' && text[i + 1] == '/')) {
        if (text[i] == '\n')
            out += '\n';
        ++i;
    }
    return i + 1;
}

bool starts_comment(const std::string& text, size_t i)
{
    return text[i] == '/' && i + 1 < text.size() && (text[i + 1] == '/' || text[i + 1] == '*');
}

std::string strip_comments(const std::string& text)
{
    std::string out;
    bool in_string = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (in_string) {
            out += c;
            if (c == '\\' && i + 1 < text.size())
                out += text[++i];
            else if (c == '"')
                in_string = false;
        } else if (starts_comment(text, i)) {
            i = skip_comment(text, i, out);
        } else {
            in_string = c == '"';
            out += c;
        }
    }
    return out;
}

class Preprocessor {
  public:
    // Returns the file with its preprocessor lines blanked. A header may hold
    // nothing but preprocessor lines.
    std::string read(const std::string& path, bool is_script)
    {
        std::istringstream lines(strip_comments(read_script_file(path)));
        std::string line, out;
        int number = 0;
        while (std::getline(lines, line)) {
            ++number;
            size_t first = line.find_first_not_of(" \t\r");
            if (first != std::string::npos && line[first] == '#') {
                directive(line.substr(first + 1), path, number);
                out += '\n';
                continue;
            }
            if (!is_script && first != std::string::npos)
                script_error(path, number, "only preprocessor lines belong in a header");
            out += line + '\n';
        }
        return out;
    }

    ScriptDefines defines;

  private:
    void directive(const std::string& body, const std::string& path, int line)
    {
        std::istringstream s(body);
        std::string word;
        s >> word;
        if (word == "include") {
            include(s, path, line);
        } else if (word == "define") {
            std::string name, value;
            s >> name;
            std::getline(s, value);
            defines[name] = value;
        } else if (word != "pragma") {
            script_error(path, line, "unsupported #" + word);
        }
    }

    // A quoted header is read for its defines; <header> is the platform's.
    void include(std::istringstream& s, const std::string& path, int line)
    {
        std::string target;
        s >> target;
        if (target.size() > 2 && target.front() == '"')
            read(script_directory(path) + "/" + target.substr(1, target.size() - 2), false);
        else if (target.empty() || target.front() != '<')
            script_error(path, line, "bad #include");
    }
};

} // namespace

PreprocessedScript preprocess_script(const std::string& path)
{
    Preprocessor p;
    std::string text = p.read(path, true);
    return {std::move(text), std::move(p.defines)};
}

} // namespace win32_host
